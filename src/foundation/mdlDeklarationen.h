#pragma once
// The program-wide state, shared by every part and used on the one UI thread only.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/basic/Text.h"

namespace dao {
class Workspace;
class Database;
}  // namespace dao

// The field assignment of one column: its group and the OR of the bits of its types.
struct Feldzuordnung {
    int16_t Gruppe = 0;
    int16_t Bits = 0;
};

// Operation codes of the wizard.
using Vorgang = uint8_t;
inline constexpr Vorgang VorgangKeiner = 0, VorgangDubletten = 1, VorgangMüll = 2, VorgangSplitten = 3,
                         VorgangVerschmelzen = 4, VorgangDatenabgleich = 5, VorgangNeueDaten = 6;

inline std::shared_ptr<dao::Workspace> gArbeitsbereich;
inline Text gDatenbankPfad;
inline std::shared_ptr<dao::Database> gDatenbank;
inline Text gTabelle1;
inline int16_t gAnzahlFelder = 0;
inline std::vector<Feldzuordnung> gFelder1;
inline Text gTabelle2;
inline std::vector<Feldzuordnung> gFelder2;
inline Text gZieltabelle;
inline Text gRegSchlüssel;
inline Vorgang gVorgang = VorgangKeiner;
inline bool gAbbruch = false;
inline bool gFehlerAbbruch = false;
inline int16_t gAktuellerRahmen = 0;
inline bool gSystemmeldung = false;
inline float gRelevanz = 0.0f;
inline float gSignifikanz = 0.0f;

// Declared beside their owners in the original; kept here with the rest.
inline uint8_t gZuordnungNr = 0;
inline Text gZuordnungTabelle;
inline std::vector<Feldzuordnung> gZuordnung;
inline Text gDAOVerbindung;
inline Text gADOVerbindung;
inline int32_t gAnzahlDubletten = 0;
inline int32_t gAnzahlMüll = 0;
