#pragma once
// Hands a web address or a mailto: text to the desktop's opener (xdg-open).
// The program is started directly with an argument vector, never through a
// shell, so no text from a file or the user can run a command.
#include <string>

namespace shell {
// The opener used when none is named: xdg-open unless set (tests capture with a script).
void ÖffnerSetzen(std::string programm);
const std::string& Öffner();
// Starts `programm` with the one argument; false when it could not be started.
// The child is not waited for beyond its start; its answer is not examined.
bool Öffnen(const std::string& ziel, const std::string& programm = Öffner());
// A mailto: or web address as an opener takes it: every byte outside the
// characters a URI may carry percent-encoded (blanks, umlauts); "%" followed by
// two hex digits stays, so a text that is encoded already keeps its meaning.
std::string UriKodieren(const std::string& utf8);
}  // namespace shell
