#include "platform/linux/ProcessStarterPosix.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace kiv {

namespace {

// Spawns argv[0] in its own session; folder (when not empty) becomes its
// working folder; hidden, its standard files are /dev/null.
bool Spawn(const std::vector<std::string>& args, const std::string& folder, bool hidden) {
    if (args.empty() || args.front().empty()) return false;
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    // The child's own session keeps it alive when the client's terminal goes away.
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) return false;
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        posix_spawnattr_destroy(&attributes);
        return false;
    }
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    if (hidden) {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }

    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) return false;

    // Not waited for by the caller; reaped here so no zombie stays behind.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

}  // namespace

bool TProcessStarterPosix::Start(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    return Spawn(argv, "", false);
}

bool TProcessStarterPosix::RunShellCommand(const std::string& commandLine, const std::string& folder, bool shown) {
    return Spawn({"/bin/sh", "-c", commandLine}, folder, !shown);
}

}  // namespace kiv
