#pragma once
// The error value the platform layers raise: a number and a German description,
// as the runtime's and the database engine's errors carried them.
#include <cstdint>
#include <exception>
#include <string>

#include "platform/basic/Text.h"

class LaufzeitFehler : public std::exception {
public:
    LaufzeitFehler(int32_t nummer, Text beschreibung);
    int32_t Nummer() const noexcept { return nummer_; }
    const Text& Beschreibung() const noexcept { return beschreibung_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    int32_t nummer_;
    Text beschreibung_;
    std::string utf8_;
};

// Runtime error numbers the program meets.
namespace fehlernummer {
inline constexpr int32_t UngueltigesArgument = 5;
inline constexpr int32_t Ueberlauf = 6;
inline constexpr int32_t IndexAusserhalb = 9;
inline constexpr int32_t DivisionDurchNull = 11;
inline constexpr int32_t TypenUnvertraeglich = 13;
inline constexpr int32_t DateiNichtGefunden = 53;
inline constexpr int32_t EinAusgabefehler = 57;
inline constexpr int32_t VerwendungVonNull = 94;
}  // namespace fehlernummer

[[noreturn]] void FehlerAuslösen(int32_t nummer);  // with the runtime's own text
[[noreturn]] void FehlerAuslösen(int32_t nummer, Text beschreibung);

// The error being handled (what the original read from its Err object).
struct FehlerObjekt {
    int32_t Number = 0;
    Text Description;
    void Clear() {
        Number = 0;
        Description.clear();
    }
};
FehlerObjekt& Err();
