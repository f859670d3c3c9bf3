#include "tools/demo-server/Transcript.h"

#include <stdexcept>

namespace kiv::demo {

TTranscript::TTranscript(const TServerClock& clock, const std::filesystem::path& path) : clock_(clock) {
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) throw std::runtime_error("cannot write the transcript " + path.string());
}

TTranscript::~TTranscript() {
    if (file_) std::fclose(file_);
}

void TTranscript::Write(TJson line) {
    if (!file_) return;
    std::lock_guard lock(mutex_);
    // Taken under the lock, so times never go backwards down the file.
    line["time_ms"] = clock_.NowMs();
    // Client strings come from the wire: never let a bad byte stop the record.
    const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
}

}  // namespace kiv::demo
