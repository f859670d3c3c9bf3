#include "app/MessagePromptRecorder.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <fstream>

#include <nlohmann/json.hpp>

namespace kiv {

namespace {

constexpr int kShownMs = 700;

void CloseSoon() {
    QTimer::singleShot(kShownMs, qApp, [] {
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
}

}  // namespace

void TMessagePromptRecorder::Record(const std::string& caption, const std::string& text, int icon,
                                    const char* buttons) {
    std::ofstream log(logFile_, std::ios::app);
    log << nlohmann::json{{"caption", caption}, {"text", text}, {"icon", icon}, {"buttons", buttons}}.dump(
               -1, ' ', false, nlohmann::json::error_handler_t::replace)
        << "\n";
}

TPromptAnswer TMessagePromptRecorder::AskOkCancel(const std::string& caption, const std::string& text) {
    Record(caption, text, 2, "OkCancel");
    CloseSoon();
    return shown_.AskOkCancel(caption, text);
}

bool TMessagePromptRecorder::AskYesNo(const std::string& caption, const std::string& text) {
    Record(caption, text, 1, "YesNo");
    CloseSoon();
    return shown_.AskYesNo(caption, text);
}

}  // namespace kiv
