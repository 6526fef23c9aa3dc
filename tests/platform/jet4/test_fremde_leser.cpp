// The independent readers the Jet 4 tests compare with: mdbtools and mdb-reader must read
// the same values from a file that Access can open, through our parsing of their output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/FremdeLeser.h"

namespace {

std::string Vorlage(const std::string& name) { return std::string(PURIVO_SHARED) + "/fixtures/access/" + name; }

#define LESER_ODER_SKIP()                                                                                              \
    do {                                                                                                               \
        if (!std::filesystem::exists(Vorlage("sample-adressen.mdb"))) GTEST_SKIP() << "Die Access-Testdateien fehlen"; \
        if (!fremd::MdbtoolsDa()) GTEST_SKIP() << "mdbtools ist nicht installiert";                                    \
        if (!fremd::MdbReaderDa())                                                                                     \
            GTEST_SKIP() << "mdb-reader ist nicht installiert (node und npm ci in tests/leser)";                       \
    } while (0)

// mdb-reader's cell in mdb-export's spelling: a space before the time, 0/1 for Booleans,
// and Null for the zero-length text mdb-export cannot tell from it.
fremd::Zelle WieMdbExport(const fremd::Zelle& z, const std::string& typ) {
    if (!z) return z;
    if (typ == "datetime") return z->substr(0, 10) + " " + z->substr(11);
    if (typ == "boolean") return std::string(*z == "true" ? "1" : "0");
    if (z->empty()) return std::nullopt;
    return z;
}

}  // namespace

TEST(FremdeLeser, BeideLeserLesenDieselbenWerte) {
    LESER_ODER_SKIP();
    for (const char* name : {"sample-adressen.mdb", "indexTestV2000.mdb", "testUnicodeCompV2003.mdb"}) {
        const std::string datei = Vorlage(name);
        const auto tabellen = fremd::MdbReaderLesen(datei);
        ASSERT_FALSE(tabellen.empty()) << name;
        std::vector<std::string> namen;
        for (const auto& t : tabellen) namen.push_back(t.name);
        EXPECT_EQ(namen, fremd::MdbTabellen(datei)) << name;
        for (const auto& t : tabellen) {
            const fremd::Tabelleninhalt export_ = fremd::MdbExport(datei, t.name);
            ASSERT_EQ(export_.spalten.size(), t.spalten.size()) << name << " " << t.name;
            for (size_t s = 0; s < t.spalten.size(); ++s) EXPECT_EQ(export_.spalten[s], t.spalten[s].name);
            ASSERT_EQ(export_.zeilen.size(), t.zeilen.size()) << name << " " << t.name;
            EXPECT_EQ(t.zeilenzahl, static_cast<long>(t.zeilen.size())) << name << " " << t.name;
            for (size_t z = 0; z < t.zeilen.size(); ++z)
                for (size_t s = 0; s < t.spalten.size(); ++s)
                    EXPECT_EQ(export_.zeilen[z][s], WieMdbExport(t.zeilen[z][s], t.spalten[s].typ))
                        << name << " " << t.name << " Zeile " << z << " Spalte " << t.spalten[s].name;
        }
    }
}

TEST(FremdeLeser, MdbReaderTypisiertEindeutig) {
    LESER_ODER_SKIP();
    const auto tabellen = fremd::MdbReaderLesen(Vorlage("sample-adressen.mdb"), "Adressen");
    ASSERT_EQ(tabellen.size(), 1u);
    const auto& t = tabellen[0];
    auto spalte = [&](const std::string& n) {
        for (size_t i = 0; i < t.spalten.size(); ++i)
            if (t.spalten[i].name == n) return i;
        ADD_FAILURE() << "keine Spalte " << n;
        return size_t(0);
    };
    EXPECT_EQ(t.spalten[spalte("Straße")].typ, "text");
    EXPECT_EQ(t.spalten[spalte("Umsatz")].typ, "currency");
    const auto& erste = t.zeilen.at(0);
    EXPECT_EQ(erste[spalte("Straße")], "Hauptstraße 12");
    EXPECT_EQ(erste[spalte("Erfasst")], "2024-02-29T13:45:10");
    EXPECT_EQ(erste[spalte("Umsatz")], "1234.5600");
    EXPECT_EQ(erste[spalte("Aktiv")], "true");
    EXPECT_EQ(t.zeilen.at(1)[spalte("Firma")], std::nullopt);
    EXPECT_EQ(t.zeilen.at(3)[spalte("Telefon")], "");  // zero-length, not Null
    // A file with a database password opens with it.
    const auto geschützt = fremd::MdbReaderLesen(Vorlage("V2003_with-password.mdb"), "", "password");
    EXPECT_FALSE(geschützt.empty());
}

TEST(FremdeLeser, JsonMitEscapesUndUnicode) {
    const fremd::Json j = fremd::JsonLesen(R"({"a":[1,-2.5e3,true,null,"x\"\u00e4\ud83d\ude00\n"],"b":{}})");
    ASSERT_EQ(j.art, fremd::Json::Objekt);
    const fremd::Json& a = *j.Feld("a");
    ASSERT_EQ(a.liste.size(), 5u);
    EXPECT_EQ(a.liste[1].text, "-2.5e3");
    EXPECT_EQ(a.liste[2].art, fremd::Json::Wahrheit);
    EXPECT_EQ(a.liste[3].art, fremd::Json::Null);
    EXPECT_EQ(a.liste[4].text, "x\"\xc3\xa4\xf0\x9f\x98\x80\n");
    EXPECT_EQ(j.Feld("b")->art, fremd::Json::Objekt);
    EXPECT_THROW(fremd::JsonLesen("[1,"), std::runtime_error);
    EXPECT_THROW(fremd::JsonLesen("{} x"), std::runtime_error);
}

TEST(FremdeLeser, MdbtoolsSchemaUndTabellen) {
    LESER_ODER_SKIP();
    const std::string datei = Vorlage("sample-adressen.mdb");
    const std::string schema = fremd::MdbSchema(datei, "Adressen");
    EXPECT_NE(schema.find("CREATE TABLE [Adressen]"), std::string::npos) << schema;
    EXPECT_NE(schema.find("[Straße]\t\t\tText (60)"), std::string::npos) << schema;
    const auto alle = fremd::MdbTabellen(datei, true);
    EXPECT_NE(std::find(alle.begin(), alle.end(), "MSysObjects"), alle.end());
    EXPECT_EQ(fremd::MdbTabellen(datei), std::vector<std::string>{"Adressen"});
    EXPECT_THROW(fremd::MdbExport(datei, "GibtEsNicht"), std::runtime_error);
}
