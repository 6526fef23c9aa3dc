#include "platform/basic/Fehler.h"

#include <utility>

LaufzeitFehler::LaufzeitFehler(int32_t nummer, Text beschreibung)
    : nummer_(nummer), beschreibung_(std::move(beschreibung)), utf8_(nachUtf8(beschreibung_)) {}

namespace {
Text standardText(int32_t nummer) {
    switch (nummer) {
        case fehlernummer::UngueltigesArgument: return u"Ungültiger Prozeduraufruf oder ungültiges Argument";
        case fehlernummer::Ueberlauf: return u"Überlauf";
        case fehlernummer::IndexAusserhalb: return u"Index außerhalb des gültigen Bereichs";
        case fehlernummer::DivisionDurchNull: return u"Division durch Null";
        case fehlernummer::TypenUnvertraeglich: return u"Typen unverträglich";
        case fehlernummer::DateiNichtGefunden: return u"Datei nicht gefunden";
        case fehlernummer::EinAusgabefehler: return u"Fehler beim Lesen oder Schreiben einer Datei";
        case fehlernummer::VerwendungVonNull: return u"Unzulässige Verwendung von Null";
        default: return u"Anwendungs- oder objektdefinierter Fehler";
    }
}
}  // namespace

void FehlerAuslösen(int32_t nummer) { throw LaufzeitFehler(nummer, standardText(nummer)); }
void FehlerAuslösen(int32_t nummer, Text beschreibung) { throw LaufzeitFehler(nummer, std::move(beschreibung)); }

FehlerObjekt& Err() {
    static FehlerObjekt err;
    return err;
}
