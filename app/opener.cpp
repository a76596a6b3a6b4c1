// The help page on the desktop: xdg-open in the background, collected once it ends.
#include "app.h"

#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
std::vector<pid_t> openers; // openers started and not yet reaped
} // namespace

void reapOpeners() {
    if (openers.empty())
        return;
    std::vector<pid_t> running;
    for (const pid_t pid : openers)
        if (waitpid(pid, nullptr, WNOHANG) == 0)
            running.push_back(pid);
    openers.swap(running);
}

void openInBrowser(const char* path) {
    // The desktop opener gets an absolute path: a browser that is already running may not share
    // our working directory.
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    std::string target = ec ? std::string(path) : full.string();

    // Started directly, without a shell, with its output silenced; when no "xdg-open" is on the PATH
    // the spawn fails and the help is shown in the overlay only.
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return;
    for (const int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    std::string opener = "xdg-open";
    char* const args[] = {opener.data(), target.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", &actions, nullptr, args, environ) == 0)
        openers.push_back(pid);
    posix_spawn_file_actions_destroy(&actions);
}
