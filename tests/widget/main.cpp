// The widget tests run on Qt's offscreen platform; the remote-session pixel test
// re-runs this binary as a child on a private X server (see RemoteSessionPixelsTest).
#include <gtest/gtest.h>

#include <QApplication>

#include "widget/RemoteSessionChild.h"

int main(int argc, char** argv) {
    if (kiv::test::IsRemoteSessionChild(argc, argv)) return kiv::test::RunRemoteSessionChild(argc, argv);

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
