// kiv-status: the floating status window of the traffic of the running client
// sessions. The client starts it; it ends when the last session has ended.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "status/StatusProgram.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::puts("usage: kiv-status\n\n"
                      "The floating status window of the client's sessions: for each running session the\n"
                      "server, the application and the traffic of the last second and the last minute.\n"
                      "The client starts it when \"ShowNetRate=1\" stands in [Local Property] of\n"
                      "KivClient.ini; it ends when the last session has ended.");
            return 0;
        }
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    kiv::status::TStatusProgram program;
    if (!program.Start()) return 0;
    return QApplication::exec();
}
