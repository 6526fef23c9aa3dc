// libFuzzer target for the page reading of the Jet 4 writer: any bytes as pages 1.. of a
// file behind a valid header page, then every table definition, its usage maps, its rows
// and long values, and its index trees; a row deleted, a table dropped and renamed. Formatfehler and NichtSchreibbar are the
// expected answers to garbage; any other exception, crash or hang is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "platform/dao/storage/access/AccessKopf.h"
#include "platform/dao/storage/access/jet4/Jet4Datei.h"
#include "platform/dao/storage/access/jet4/Jet4Index.h"
#include "platform/dao/storage/access/jet4/Jet4Karte.h"
#include "platform/dao/storage/access/jet4/Jet4Katalog.h"
#include "platform/dao/storage/access/jet4/Jet4Schreiber.h"
#include "platform/dao/storage/access/jet4/Jet4Tabelle.h"
#include "platform/dao/storage/access/jet4/Jet4Zeilen.h"

using namespace dao::speicher::access;
using namespace dao::speicher::access::jet4;

namespace {

constexpr size_t kMindestens = 4, kHöchstens = 128;  // pages, header included

// Page 0 of a Jet 4 file with the "General" sort order, masked as Access stores it.
std::vector<uint8_t> Kopfseite() {
    std::vector<uint8_t> s(kSeitengröße, 0);
    const uint8_t anfang[] = {0x00, 0x01, 0x00, 0x00};
    std::memcpy(s.data(), anfang, sizeof anfang);
    std::memcpy(s.data() + 4, "Standard Jet DB", 16);
    s[kVersionOffset] = 1;
    s[0x6E] = 1033 & 0xFF;  // sort order, among the masked bytes
    s[0x6F] = 1033 >> 8;
    Rc4Anwenden(kKopfSchlüssel, sizeof kKopfSchlüssel, s.data() + kVerschlüsseltAb, kVerschlüsseltJet4);
    return s;
}

template <typename F>
void Versuchen(F&& f) {
    try {
        f();
    } catch (const Formatfehler&) {
    } catch (const NichtSchreibbar&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, size_t länge) {
    static const std::vector<uint8_t> kopf = Kopfseite();
    size_t seiten = 1 + (länge + kSeitengröße - 1) / kSeitengröße;
    if (seiten < kMindestens) seiten = kMindestens;
    if (seiten > kHöchstens) seiten = kHöchstens;
    std::vector<uint8_t> inhalt(seiten * kSeitengröße, 0);
    std::memcpy(inhalt.data(), kopf.data(), kSeitengröße);
    std::memcpy(inhalt.data() + kSeitengröße, daten, std::min(länge, inhalt.size() - kSeitengröße));

    Datei datei(std::move(inhalt));
    Versuchen([&] { (void)Nutzungskarte(datei, Zeilenort{1, 0}).Seiten(); });
    for (uint32_t nr = 1; nr < datei.Seitenzahl(); ++nr) {
        if (datei.Seite(nr)[0] != static_cast<uint8_t>(Seitentyp::Tabelle)) continue;
        Versuchen([&] {
            const Tabellendef def = TabelleLesen(datei, nr);
            Versuchen([&] {
                Nutzungskarte belegt(datei, def.belegt);
                for (uint32_t s : belegt.Seiten()) (void)belegt.Enthält(s);
            });
            Versuchen([&] { (void)Nutzungskarte(datei, def.frei).Seiten(); });
            Versuchen([&] {
                ZeilenDurchgehen(datei, def, [&](Zeilenort ort, std::span<const uint8_t> zeile) {
                    Versuchen([&] { (void)ZeileAn(datei, ort); });
                    Versuchen([&] { (void)ZeileLesen(datei, def, zeile); });
                    for (size_t i = 0; i < def.spalten.size(); ++i) {
                        const uint8_t typ = def.spalten[i].typ;
                        if (typ == kOle || typ == kBinär || typ == kGuid)
                            Versuchen([&] { (void)RohwertLesen(datei, def, zeile, i); });
                    }
                });
            });
            for (const RealerIndex& ix : def.realeIndizes) {
                Versuchen([&] { (void)IndexLesen(datei, ix.wurzel); });
                Versuchen([&] { (void)Nutzungskarte(datei, ix.karte).Seiten(); });
            }
            // Deleting its first row follows the row's long values through the pages.
            Versuchen([&] {
                Datei kopie = datei;
                Tabellendef d = def;
                std::vector<Zeilenort> orte;
                ZeilenDurchgehen(kopie, d, [&](Zeilenort ort, std::span<const uint8_t>) { orte.push_back(ort); });
                if (!orte.empty()) ZeileLöschen(kopie, d, orte.front());
            });
        });
    }
    // Drops and renames walk the catalogue and every page of the table; the names are
    // those of tables in the Access files a corpus starts from.
    for (const char16_t* name : {u"Adressen", u"Table1", u"Table2"}) {
        Versuchen([&] {
            Datei kopie = datei;
            TabelleLöschen(kopie, name);
        });
        Versuchen([&] {
            Datei kopie = datei;
            TabellenUmbenennen(kopie, {{name, u"Neu"}}, 45000);
        });
    }
    return 0;
}
