// libFuzzer target for the .dbf reader: header, records and memo blocks from one input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/basic/Fehler.h"
#include "platform/dao/storage/dbase/DbfDatei.h"

using namespace dao::speicher::dbase;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first two bytes say where the .dbf ends and its memo file begins.
    const size_t teilung = std::min<size_t>(size - 2, (data[0] | data[1] << 8));
    const std::string_view alles(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::string_view dbf = alles.substr(0, teilung), memo = alles.substr(teilung);
    try {
        const Text datei = u"fuzz.dbf";
        const Vorkopf v = VorkopfLesen(dbf, datei);
        const dao::speicher::Zeichensatz zs(v.codepage);
        const DbfKopf k = KopfLesen(dbf, dbf.size(), datei, zs);
        Memodaten m;
        m.vorhanden = !memo.empty();
        m.daten = memo;
        m.datei = u"fuzz.dbt";
        // Whatever was read, written again: the writer must take it or refuse it cleanly.
        std::vector<DbfFeld> felder = k.felder;
        for (auto& f : felder) {
            if (f.typ == 'M') f.breite = 10;
            if (f.typ == 'C') f.breite = std::min<uint16_t>(f.breite, 254);
        }
        DbfSchreiber schreiber(felder, k.sprachtreiber, k.version == 0x83, zs, datei, "fuzz");
        SätzeLesen(k, dbf, m, zs, datei, [&](const std::vector<Variante>& zeile) {
            try {
                schreiber.Zeile(zeile);
            } catch (const LaufzeitFehler&) {
            }
        });
        // What the writer made reads again without a fault.
        const std::string neu = schreiber.DbfBytes();
        const std::string memoNeu = schreiber.MemoBytes();
        try {
            const DbfKopf k2 = KopfLesen(neu, neu.size(), datei, zs);
            Memodaten m2;
            m2.vorhanden = schreiber.HatMemo();
            m2.daten = memoNeu;
            SätzeLesen(k2, neu, m2, zs, datei, [](const std::vector<Variante>&) {});
        } catch (const LaufzeitFehler& e) {
            std::fprintf(stderr, "eigene Datei unlesbar: %s\n", e.what());
            std::abort();
        }
    } catch (const LaufzeitFehler&) {
    }
    return 0;
}
