#include "app/MessageBoxRecorder.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <fstream>

#include <nlohmann/json.hpp>

namespace kiv {

namespace {
constexpr int kShownMs = 700;
}

TMessageBoxResult TMessageBoxRecorder::Show(const TMessageBoxContent& content) {
    {
        std::ofstream log(logFile_, std::ios::app);
        log << nlohmann::json{{"caption", content.caption}, {"text", content.text}, {"icon", content.iconIndex}}.dump(
                   -1, ' ', false, nlohmann::json::error_handler_t::replace)
            << "\n";
    }
    QTimer::singleShot(kShownMs, qApp, [] {
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    shown_.Show(content);
    return TMessageBoxResult::Ok;
}

}  // namespace kiv
