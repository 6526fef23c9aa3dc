#include "platform/shell/Shell.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cctype>
#include <cstring>
#include <vector>

extern char** environ;

namespace shell {

namespace {
std::string gÖffner = "xdg-open";
}

void ÖffnerSetzen(std::string programm) { gÖffner = programm.empty() ? "xdg-open" : std::move(programm); }
const std::string& Öffner() { return gÖffner; }

std::string UriKodieren(const std::string& utf8) {
    static const char* const hex = "0123456789ABCDEF";
    auto istHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    std::string r;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool erlaubt = std::isalnum(c) || std::strchr("-._~:/?#[]@!$&'()*+,;=", c);
        if (c == '%' && i + 2 < utf8.size() && istHex(utf8[i + 1]) && istHex(utf8[i + 2])) {
            r += '%';
        } else if (erlaubt && c != 0) {
            r += static_cast<char>(c);
        } else {
            r += '%';
            r += hex[c >> 4];
            r += hex[c & 15];
        }
    }
    return r;
}

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
