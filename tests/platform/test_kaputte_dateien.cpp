// Damaged files open with a clear error naming the file, never as if they were fine.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "common/Dateiinhalt.h"
#include "common/TempVerzeichnis.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "platform/dao/storage/dbase/DbaseTreiber.h"
#include "platform/dao/storage/excel/ExcelTreiber.h"

using namespace dao::speicher;

namespace {

// One N(3,0) field, `n` records (deletion flag, then the field); the header's record count and
// record length as given.
std::string dbf(uint32_t kopfAnzahl, uint16_t satzLänge, int n) {
    std::string d(32, '\0');
    d[0] = 0x03;
    for (int i = 0; i < 4; ++i) d[4 + i] = static_cast<char>(kopfAnzahl >> (8 * i));
    d[8] = 65, d[10] = static_cast<char>(satzLänge & 0xFF), d[11] = static_cast<char>(satzLänge >> 8);
    std::string f(32, '\0');
    f.replace(0, 2, "NR");
    f[11] = 'N', f[16] = 3;
    d += f + '\x0D';
    for (int i = 1; i <= n; ++i)
        d += "   " + std::to_string(i % 10) + std::string(satzLänge > 4 ? satzLänge - 4 : 0, ' ');
    return d + '\x1A';
}

std::string fehlerText(const std::function<void()>& f, int32_t& nummer) {
    try {
        f();
    } catch (const LaufzeitFehler& e) {
        nummer = e.Nummer();
        return e.what();
    }
    nummer = 0;
    return "<kein Fehler>";
}

}  // namespace

TEST(KaputteDateien, DbaseKürzerAlsSeinKopfOderMitUnmöglicherSatzlänge) {
    struct Fall {
        const char* name;
        std::string inhalt;
        bool beimLesen;  // else at the listing
        std::vector<std::string> teile;
    };
    std::string cut = dbf(5, 4, 5);
    cut.resize(cut.size() - 7);  // cut inside record 4: 3 whole ones remain
    const std::vector<Fall> fälle = {
        {"kurz", cut, true, {"5 Datensätze", "nur 3", "schreibgeschützt"}},
        {"zuviel", dbf(100, 4, 5), true, {"100 Datensätze", "nur 5"}},
        {"satzlang", dbf(3, 9, 3), false, {"Satzlänge von 9 Bytes", "(4 Bytes)"}},
    };
    for (const Fall& f : fälle) {
        SCOPED_TRACE(f.name);
        TempVerzeichnis t;
        const std::string pfad = t / (std::string(f.name) + ".dbf");
        schreiben(pfad, f.inhalt);
        auto d = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
        int32_t nummer = 0;
        const std::string w = fehlerText(
            [&] {
                const Struktur s = d->StrukturLesen();
                d->ZeilenLesen(s.tabellen.at(0), [](const std::vector<Variante>&) {});
            },
            nummer);
        EXPECT_EQ(nummer, 3343) << w;
        EXPECT_NE(w.find(pfad), std::string::npos) << w;
        for (const auto& teil : f.teile) EXPECT_NE(w.find(teil), std::string::npos) << teil << ": " << w;
        if (!f.beimLesen) {
            auto l = dbase::TreiberÖffnen(ausUtf8(t.pfad()), true);
            EXPECT_THROW(l->StrukturLesen(), LaufzeitFehler);
        }
        EXPECT_EQ(lesen(pfad), f.inhalt);
    }
}

// freexl opens a workbook whose string table is damaged and fails only afterwards.
TEST(KaputteDateien, ExcelMitBeschädigterZeichenkettentabelle) {
    const std::string gut = lesen(std::string(PURIVO_FIXTURES) + "/excel/Test97.xls");
    // The SST record: type 0x00FC, then total and unique counts (10 and 10 in this file).
    size_t sst = std::string::npos;
    for (size_t p = gut.find(std::string("\xFC\x00", 2)); p != std::string::npos;
         p = gut.find(std::string("\xFC\x00", 2), p + 1))
        if (gut.compare(p + 4, 8, std::string("\x0A\0\0\0\x0A\0\0\0", 8)) == 0) sst = p;
    ASSERT_NE(sst, std::string::npos);
    struct Fall {
        const char* name;
        size_t pos;
        std::string bytes;
    };
    for (const Fall& f : {Fall{"Länge der ersten Zeichenkette", sst + 12, std::string("\xFF\x7F", 2)},
                          Fall{"Optionen der ersten Zeichenkette", sst + 14, "\x55"}}) {
        SCOPED_TRACE(f.name);
        TempVerzeichnis t;
        std::string d = gut;
        d.replace(f.pos, f.bytes.size(), f.bytes);
        const std::string pfad = t / "m.xls";
        schreiben(pfad, d);
        int32_t nummer = 0;
        const std::string w = fehlerText([&] { excel::TreiberÖffnen(ausUtf8(pfad), false)->StrukturLesen(); }, nummer);
        EXPECT_EQ(nummer, 3274) << w;
        EXPECT_NE(w.find(pfad), std::string::npos) << w;
        EXPECT_TRUE(lesen(pfad) == d) << "the workbook changed";
    }
}

// Through the engine: an empty .mdb is not taken for a new native database.
TEST(KaputteDateien, LeereMdbDatei) {
    TempVerzeichnis t;
    for (const char* name : {"leer.mdb", "LEER.MDE"}) {
        SCOPED_TRACE(name);
        const std::string pfad = t / name;
        schreiben(pfad, "");
        auto ws = dao::CreateWorkspace(u"", u"admin", u"");
        int32_t nummer = 0;
        const std::string w = fehlerText([&] { ws->OpenDatabase(ausUtf8(pfad)); }, nummer);
        EXPECT_EQ(nummer, 3343) << w;
        EXPECT_NE(w.find(pfad), std::string::npos) << w;
        EXPECT_NE(w.find("leer (0 Bytes)"), std::string::npos) << w;
        EXPECT_EQ(std::filesystem::file_size(pfad), 0u);
    }
}
