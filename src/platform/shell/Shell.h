#pragma once
// Hands a web address or a mailto: text to the desktop's opener (xdg-open).
// The program is started directly with an argument vector, never through a
// shell, so no text from a file or the user can run a command.
#include <string>

namespace shell {
// Starts `programm` with the one argument; false when it could not be started.
// The child is not waited for beyond its start; its answer is not examined.
bool Öffnen(const std::string& ziel, const std::string& programm = "xdg-open");
}  // namespace shell
