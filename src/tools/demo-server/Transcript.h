#pragma once
// The server's record of what happened, one JSON object per line, flushed
// after each line so a test can poll the file while the server runs. Every
// line gets "time_ms" (milliseconds since the server started) last.
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>

#include "tools/demo-server/ServerClock.h"

namespace kiv::demo {

using TJson = nlohmann::ordered_json;

class TTranscript {
public:
    // Records nothing.
    explicit TTranscript(const TServerClock& clock) : clock_(clock) {}
    // Truncates `path`; throws std::runtime_error when it cannot be opened.
    TTranscript(const TServerClock& clock, const std::filesystem::path& path);
    ~TTranscript();
    TTranscript(const TTranscript&) = delete;
    TTranscript& operator=(const TTranscript&) = delete;

    // Safe from any thread; lines never interleave.
    void Write(TJson line);

private:
    const TServerClock& clock_;
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
};

}  // namespace kiv::demo
