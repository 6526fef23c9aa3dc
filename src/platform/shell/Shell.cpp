#include "platform/shell/Shell.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
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
    // The opener is started by a short-lived middle child, which is reaped here at
    // once; the opener itself is then init's to reap. Nothing process-wide changes:
    // other parts wait for children of their own (the Access driver's trial read).
    std::vector<char*> argv{const_cast<char*>(programm.c_str()), const_cast<char*>(ziel.c_str()), nullptr};
    const pid_t mitte = fork();
    if (mitte < 0) return false;
    if (mitte == 0) {
        pid_t pid;
        _exit(posix_spawnp(&pid, programm.c_str(), nullptr, nullptr, argv.data(), environ) == 0 ? 0 : 1);
    }
    int status = 0;
    while (waitpid(mitte, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace shell
