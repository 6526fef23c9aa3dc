#include "foundation/mdlFeldtypen.h"

#include <cfloat>
#include <cmath>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlMeldungen.h"
#include "platform/basic/Laufzeit.h"
#include "platform/basic/Variante.h"

namespace {

struct EingebauterTyp {
    Typcode code;
    const char16_t* name;
    int16_t bit;
    int16_t relevanz;
    int16_t signifikanz;
};

constexpr EingebauterTyp eingebauteTypen[] = {
    {TypIgnorieren, u"Ignorieren", 1, 0, 0},
    {TypIndex, u"Index", 1, 0, 0},
    {TypFirmenname, u"Firmenname", 1, 20, 100},
    {TypRechtsform, u"Rechtsform", 2, 5, 10},
    {TypBranche, u"Branche", 4, 20, 50},
    {TypStraße, u"Straße", 1, 40, 60},
    {TypHausnummer, u"Hausnummer", 2, 20, 40},
    {TypPostleitzahl, u"Postleitzahl", 4, 100, 20},
    {TypOrt, u"Ort", 8, 80, 20},
    {TypAnrede, u"Anrede", 1, 10, 10},
    {TypVorname, u"Vorname", 2, 20, 50},
    {TypNachname, u"Nachname", 4, 30, 60},
    {TypAbteilungPosition, u"Abteilung/Position", 8, 10, 50},
    {TypVorwahl, u"Vorwahl", 1, 80, 80},
    {TypTelefon, u"Telefon", 2, 80, 80},
    {TypTelefax, u"Telefax", 4, 80, 80},
    {TypEmailadresse, u"Emailadresse", 1, 70, 30},
    {TypInternetadresse, u"Internetadresse", 2, 70, 50},
};

constexpr const char16_t* gruppennamen[] = {u"Allgemeines", u"Indices",       u"Unternehmen", u"Adresse",
                                            u"Kontakt",     u"Kommunikation", u"Internet"};

constexpr float eingebauteRelevanz = 0.8f;
constexpr float eingebauteSignifikanz = 0.6f;

// No sensible item comes near this; longer ones are dropped instead of growing
// without bound on a file that is no settings file at all.
constexpr size_t längstesElement = 4096;
constexpr size_t pufferGröße = 64 * 1024;

void TabellenSchreiben(bool mitGewichten) {
    for (int g = Gruppen.Untergrenze(); g <= Gruppen.Obergrenze(); ++g) Gruppen[g].Name = gruppennamen[g];
    for (const auto& t : eingebauteTypen) {
        Feldtyp& typ = Typen[t.code];
        typ.Name = t.name;
        typ.Bit = t.bit;
        if (mitGewichten) {
            typ.Relevanz = t.relevanz;
            typ.Signifikanz = t.signifikanz;
        }
    }
}

bool Abschneiden(TextSicht& rest, TextSicht präfix) {
    if (rest.substr(0, präfix.size()) != präfix) return false;
    rest.remove_prefix(präfix.size());
    return true;
}

std::optional<int16_t> GanzzahlWert(TextSicht rest) {
    const auto z = ZahlAusText(rest);
    if (!z) return std::nullopt;
    const double r = RundenGerade(*z);
    if (!(r >= -32768.0 && r <= 32767.0)) return std::nullopt;
    return static_cast<int16_t>(r);
}

std::optional<float> ProzentWert(TextSicht rest) {
    const auto z = ZahlAusText(rest);
    if (!z) return std::nullopt;
    const double anteil = *z / 100;
    if (!(std::fabs(anteil) <= FLT_MAX)) return std::nullopt;  // does not fit a Single
    return static_cast<float>(anteil);
}

// Reads Einstellungen.CFG item by item. Every item that cannot be applied is
// skipped and the reading goes on; nothing in the file can stop the start-up.
class Einstellungsleser {
public:
    explicit Einstellungsleser(Text& letztesElement) : letztesElement_(letztesElement) {}

    void Lesen(const Text& pfad) {
        std::ifstream datei(nachUtf8(pfad), std::ios::binary);
        if (!datei) return;
        // An editor saving as UTF-8 may put a byte-order mark before the first item.
        char kopf[3] = {};
        datei.read(kopf, 3);
        if (datei.gcount() != 3 || std::string_view(kopf, 3) != "\xEF\xBB\xBF") {
            datei.clear();
            datei.seekg(0);
        }
        std::vector<char> puffer(pufferGröße);
        for (;;) {
            datei.read(puffer.data(), static_cast<std::streamsize>(puffer.size()));
            const auto n = datei.gcount();
            if (n <= 0) break;
            for (std::streamsize i = 0; i < n; ++i) Zeichen(static_cast<unsigned char>(puffer[i]));
        }
        ElementBeenden();
    }

private:
    void Zeichen(unsigned char c) {
        if (c == '\r' || c == '\n' || c == ',') {
            ElementBeenden();
        } else if (!begonnen_ && (c == ' ' || c == '\t')) {
            // blanks before an item belong to the separator
        } else {
            begonnen_ = true;
            if (element_.size() < längstesElement) element_.push_back(static_cast<char>(c));
            else zuLang_ = true;
        }
    }

    void ElementBeenden() {
        if (begonnen_ && !zuLang_) {
            try {
                // Only ASCII forms an item; the code page matters for the item quoted in an error box.
                letztesElement_ = TextAusAnsi(element_);
                Anwenden(letztesElement_);
            } catch (const std::exception&) {
                // an item that fails is left out, like every other unusable item
            }
        }
        element_.clear();
        begonnen_ = false;
        zuLang_ = false;
    }

    void Anwenden(TextSicht element) {
        if (const auto z = ZahlAusText(element)) {
            const double code = RundenGerade(*z);
            // An unknown code leaves no current type, so its weights go nowhere.
            aktuellerTyp_ = (code >= Typen.Untergrenze() && code <= Typen.Obergrenze()) ? static_cast<int>(code) : 0;
            return;
        }
        // Each prefix that matches is cut off before the next is tested.
        TextSicht rest = element;
        if (Abschneiden(rest, u"RelevanzFaktor = "))
            if (const auto w = GanzzahlWert(rest); w && aktuellerTyp_ != 0) Typen[aktuellerTyp_].Relevanz = *w;
        if (Abschneiden(rest, u"SignifikanzFaktor = "))
            if (const auto w = GanzzahlWert(rest); w && aktuellerTyp_ != 0) Typen[aktuellerTyp_].Signifikanz = *w;
        if (Abschneiden(rest, u"gRelevanz = "))
            if (const auto p = ProzentWert(rest)) gRelevanz = *p;
        if (Abschneiden(rest, u"gSignifikanz = "))
            if (const auto p = ProzentWert(rest)) gSignifikanz = *p;
    }

    Text& letztesElement_;
    std::string element_;
    bool begonnen_ = false;
    bool zuLang_ = false;
    int aktuellerTyp_ = 0;  // 0: no code read yet
};

}  // namespace

void FeldtypenInitialisieren() {
    Text letztesElement;
    Fehlerfalle falle(
        [&] { return Text(u"Fehler beim Laden der Einstellungsdatei in Zeile ") + letztesElement + u"."; });

    if (!falle([&] {
            Gruppen.Leeren();
            Typen.Leeren();
        }))
        return;

    const Text pfad = ProgrammVerzeichnis() + u"Einstellungen.CFG";
    bool vorhanden = false;
    if (!falle([&] { vorhanden = DateiExistiert(Variante(pfad)).alsBool(); })) return;

    // With a settings file only the file's weights count; the others stay 0.
    if (!falle([&] { TabellenSchreiben(!vorhanden); })) return;
    if (!falle([&] {
            gRelevanz = eingebauteRelevanz;
            gSignifikanz = eingebauteSignifikanz;
        }))
        return;

    if (vorhanden) Fehlerfalle::ohneFehler([&] { Einstellungsleser(letztesElement).Lesen(pfad); });
}

int16_t GruppeVonFeldtyp(double Code) {
    if (Code < 10) return 0;
    const Text text = Trim(ZahlAlsText(Code));
    if (text.empty() || text[0] < u'0' || text[0] > u'9') FehlerAuslösen(fehlernummer::TypenUnvertraeglich);
    return static_cast<int16_t>(text[0] - u'0');
}

bool FeldtypInMaske(int16_t Maske, int Code) {
    const int16_t bit = Typen[Code].Bit;
    return (bit & Maske) == bit;
}
