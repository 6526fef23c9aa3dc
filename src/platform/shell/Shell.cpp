#include "platform/shell/Shell.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <vector>

extern char** environ;

namespace shell {

bool Öffnen(const std::string& ziel, const std::string& programm) {
    // Reap the opener by itself: the program never waits for it.
    static const bool kinderIgnoriert = [] {
        struct sigaction sa {};
        sa.sa_handler = SIG_DFL;
        sa.sa_flags = SA_NOCLDWAIT;
        sigemptyset(&sa.sa_mask);
        return sigaction(SIGCHLD, &sa, nullptr) == 0;
    }();
    (void)kinderIgnoriert;
    std::vector<char*> argv{const_cast<char*>(programm.c_str()), const_cast<char*>(ziel.c_str()), nullptr};
    pid_t pid;
    return posix_spawnp(&pid, programm.c_str(), nullptr, nullptr, argv.data(), environ) == 0;
}

}  // namespace shell
