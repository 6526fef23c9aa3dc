#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "common/TempVerzeichnis.h"
#include "foundation/mdlRegistry.h"
#include "platform/registry/Registry.h"

using registry::HKEY_CURRENT_USER;
using registry::HKEY_LOCAL_MACHINE;

namespace {

const Text kSchlüssel = u"Software\\Purivo\\Purivo";

struct Roh {
    uint32_t typ;
    std::vector<uint8_t> daten;
    bool operator==(const Roh&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Roh& r) {
    os << "typ " << r.typ << ":";
    for (uint8_t b : r.daten) os << ' ' << int(b);
    return os;
}

std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

class MdlRegistry : public ::testing::Test {
protected:
    void SetUp() override { registry::RegistryDateiSetzen(datei); }
    void TearDown() override { registry::RegistryDateiSetzen(""); }

    // The value as stored, read past the routines under test.
    std::optional<Roh> roh(const Text& name, const Text& pfad = kSchlüssel) {
        int32_t h = 0;
        if (registry::RegOpenKeyEx(HKEY_CURRENT_USER, pfad, 0x3F, h) != 0) return std::nullopt;
        uint32_t typ = 0, size = 0;
        std::vector<uint8_t> puffer;
        int32_t s = registry::RegQueryValueEx(h, name, typ, nullptr, size);
        if (s == 0) s = registry::RegQueryValueEx(h, name, typ, &puffer, size);
        registry::RegCloseKey(h);
        if (s != 0) return std::nullopt;
        puffer.resize(size);
        return Roh{typ, puffer};
    }
    void rohSetzen(const Text& name, uint32_t typ, const std::string& daten) {
        int32_t h = 0;
        ASSERT_EQ(registry::RegOpenKeyEx(HKEY_CURRENT_USER, kSchlüssel, 0x3F, h), 0);
        ASSERT_EQ(registry::RegSetValueEx(h, name, typ, reinterpret_cast<const uint8_t*>(daten.data()),
                                          static_cast<uint32_t>(daten.size())),
                  0);
        registry::RegCloseKey(h);
    }

    TempVerzeichnis tmp;
    std::string datei = tmp / "registry";
};

#define EXPECT_IDENTISCH(a, b) EXPECT_TRUE((a).identisch(b)) << (a) << " statt " << (b)

TEST_F(MdlRegistry, TextMitAbschliessenderNull) {
    RegSchlüsselAnlegen(HKEY_CURRENT_USER, kSchlüssel);
    RegWertSchreiben(HKEY_CURRENT_USER, kSchlüssel, u"SV", 1, Variante(u"C:\\Daten\\"));
    EXPECT_EQ(roh(u"SV"), (Roh{1, bytes(std::string("C:\\Daten\\\0", 10))}));
    const Variante gelesen = RegWertLesen(HKEY_CURRENT_USER, kSchlüssel, u"SV");
    EXPECT_IDENTISCH(gelesen, Variante(u"C:\\Daten\\"));
    EXPECT_EQ(gelesen.text().size(), 9u);

    // A value that is no text is written as its text; Null and Empty as "".
    struct Fall {
        Variante wert;
        std::string gespeichert;
        Variante gelesen;
    };
    for (const auto& f : {Fall{Variante(int32_t{12}), std::string("12\0", 3), Variante(u"12")},
                          Fall{Variante(2.5), std::string("2,5\0", 4), Variante(u"2,5")},
                          Fall{Variante::Null(), std::string(1, '\0'), Variante(u"")},
                          Fall{Variante::Empty(), std::string(1, '\0'), Variante(u"")}}) {
        RegWertSchreiben(HKEY_CURRENT_USER, kSchlüssel, u"SV", 1, f.wert);
        EXPECT_EQ(roh(u"SV"), (Roh{1, bytes(f.gespeichert)})) << f.wert;
        EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, kSchlüssel, u"sv"), f.gelesen);
    }
}

TEST_F(MdlRegistry, ZahlAlsVierBytes) {
    RegSchlüsselAnlegen(HKEY_CURRENT_USER, kSchlüssel);
    struct Fall {
        Variante wert;
        std::vector<uint8_t> gespeichert;
        int32_t gelesen;
    };
    for (const auto& f :
         {Fall{Variante(int32_t{5}), {5, 0, 0, 0}, 5}, Fall{Variante(int32_t{-1}), {0xFF, 0xFF, 0xFF, 0xFF}, -1},
          Fall{Variante(int32_t{0x12345678}), {0x78, 0x56, 0x34, 0x12}, 0x12345678},
          Fall{Variante(u"300"), {0x2C, 0x01, 0, 0}, 300},
          Fall{Variante(2.5), {2, 0, 0, 0}, 2},  // rounded half to even
          Fall{Variante(3.5), {4, 0, 0, 0}, 4}}) {
        RegWertSchreiben(HKEY_CURRENT_USER, kSchlüssel, u"N", 4, f.wert);
        EXPECT_EQ(roh(u"N"), (Roh{4, f.gespeichert})) << f.wert;
        EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, kSchlüssel, u"N"), Variante(f.gelesen));
    }
    // What is no 32-bit number writes nothing and does not raise.
    for (const Variante& kein : {Variante(u"fünf"), Variante::Null(), Variante(3e9)}) {
        int32_t h = 0;
        ASSERT_EQ(registry::RegOpenKeyEx(HKEY_CURRENT_USER, kSchlüssel, 0x3F, h), 0);
        EXPECT_EQ(RegWertSetzen(h, u"N", 4, kein), 0) << kein;
        registry::RegCloseKey(h);
        EXPECT_EQ(roh(u"N"), (Roh{4, {4, 0, 0, 0}})) << kein;
    }
}

TEST_F(MdlRegistry, AndereTypenWerdenNichtGeschrieben) {
    RegSchlüsselAnlegen(HKEY_CURRENT_USER, kSchlüssel);
    int32_t h = 0;
    ASSERT_EQ(registry::RegOpenKeyEx(HKEY_CURRENT_USER, kSchlüssel, 0x3F, h), 0);
    for (int32_t typ : {0, 2, 3, 7, -1}) EXPECT_EQ(RegWertSetzen(h, u"B", typ, Variante(u"x")), 0) << typ;
    EXPECT_EQ(roh(u"B"), std::nullopt);
    // Nor over an existing value.
    EXPECT_EQ(RegWertSetzen(h, u"B", 1, Variante(u"alt")), 0);
    EXPECT_EQ(RegWertSetzen(h, u"B", 3, Variante(u"neu")), 0);
    registry::RegCloseKey(h);
    EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, kSchlüssel, u"B"), Variante(u"alt"));
}

TEST_F(MdlRegistry, FehlendesOderFremdesBleibtEmpty) {
    RegSchlüsselAnlegen(HKEY_CURRENT_USER, kSchlüssel);
    rohSetzen(u"Binär", registry::REG_BINARY, "C:\\");
    rohSetzen(u"Leer", registry::REG_SZ, "");                         // a text without even its 0
    rohSetzen(u"Lang", registry::REG_DWORD, std::string(8, '\x01'));  // more than the 4 bytes read
    rohSetzen(u"Kurz", registry::REG_DWORD, "\x07");

    for (const char16_t* name : {u"Fehlt", u"Binär", u"Leer", u"Lang"})
        EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, kSchlüssel, name), Variante::Empty());
    EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, kSchlüssel, u"Kurz"), Variante(int32_t{7}));

    // Wert is left as it was, with the status as the result.
    int32_t h = 0;
    ASSERT_EQ(registry::RegOpenKeyEx(HKEY_CURRENT_USER, kSchlüssel, 0x3F, h), 0);
    struct Fall {
        const char16_t* name;
        int32_t status;
    };
    for (const auto& f : {Fall{u"Fehlt", registry::ERROR_FILE_NOT_FOUND}, Fall{u"Binär", -1}, Fall{u"Leer", 0},
                          Fall{u"Lang", registry::ERROR_MORE_DATA}}) {
        Variante wert(u"vorher");
        EXPECT_EQ(RegWertAbfragen(h, f.name, wert), f.status) << nachUtf8(f.name);
        EXPECT_IDENTISCH(wert, Variante(u"vorher"));
    }
    registry::RegCloseKey(h);
    Variante wert(u"vorher");
    EXPECT_EQ(RegWertAbfragen(0, u"SV", wert), registry::ERROR_INVALID_HANDLE);
    EXPECT_IDENTISCH(wert, Variante(u"vorher"));
    EXPECT_EQ(RegWertSetzen(0, u"SV", 1, Variante(u"x")), registry::ERROR_INVALID_HANDLE);
}

TEST_F(MdlRegistry, OhneSchluesselWirdNichtsGelesenUndNichtsAngelegt) {
    RegWertSchreiben(HKEY_CURRENT_USER, kSchlüssel, u"SV", 1, Variante(u"C:\\Daten\\"));
    EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, kSchlüssel, u"SV"), Variante::Empty());
    EXPECT_FALSE(std::filesystem::exists(datei));

    // With a parent only, the key below it is still missing.
    RegSchlüsselAnlegen(HKEY_CURRENT_USER, u"Software\\Purivo");
    RegWertSchreiben(HKEY_CURRENT_USER, kSchlüssel, u"SV", 1, Variante(u"C:\\Daten\\"));
    EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, kSchlüssel, u"SV"), Variante::Empty());
    EXPECT_EQ(roh(u"SV", u"Software\\Purivo"), std::nullopt);

    // The machine-wide tree takes nothing.
    RegSchlüsselAnlegen(HKEY_LOCAL_MACHINE, kSchlüssel);
    RegWertSchreiben(HKEY_LOCAL_MACHINE, kSchlüssel, u"SV", 1, Variante(u"x"));
    RegWertSchreiben(HKEY_LOCAL_MACHINE, u"", u"SV", 1, Variante(u"x"));
    EXPECT_IDENTISCH(RegWertLesen(HKEY_LOCAL_MACHINE, kSchlüssel, u"SV"), Variante::Empty());
    EXPECT_IDENTISCH(RegWertLesen(HKEY_LOCAL_MACHINE, u"", u"SV"), Variante::Empty());
}

TEST_F(MdlRegistry, UmlauteGehenDurchWindows1252) {
    RegSchlüsselAnlegen(HKEY_CURRENT_USER, u"Software\\Größe");
    RegWertSchreiben(HKEY_CURRENT_USER, u"Software\\Größe", u"Ablage für Maß", 1,
                     Variante(u"D:\\Müller & Söhne\\Straße 5 €\\"));
    EXPECT_EQ(roh(u"Ablage für Maß", u"Software\\Größe"), (Roh{1, bytes(std::string("D:\\M\xFCller & S\xF6hne\\Stra\xDF"
                                                                                    "e 5 \x80\\\0",
                                                                                    30))}));
    EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, u"SOFTWARE\\GRÖSSE", u"Ablage für Maß"), Variante::Empty());
    EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, u"software\\größe", u"ABLAGE FÜR MAß"),
                     Variante(u"D:\\Müller & Söhne\\Straße 5 €\\"));

    // What the code page lacks comes back as '?', in names as in values.
    RegWertSchreiben(HKEY_CURRENT_USER, u"Software\\Größe", u"Łódź", 1, Variante(u"Łódź"));
    EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, u"Software\\Größe", u"?ód?"), Variante(u"?ód?"));
    EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, u"Software\\Größe", u"Łódź"), Variante(u"?ód?"));
}

TEST_F(MdlRegistry, WertUeberstehtDasProgrammende) {
    RegSchlüsselAnlegen(HKEY_CURRENT_USER, kSchlüssel);
    RegWertSchreiben(HKEY_CURRENT_USER, kSchlüssel, u"SV", 1, Variante(u"C:\\Daten\\"));
    RegSchlüsselAnlegen(HKEY_CURRENT_USER, kSchlüssel);  // again, as at every start: keeps the value
    EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, kSchlüssel, u"SV"), Variante(u"C:\\Daten\\"));

    // The next run finds it in the file alone.
    std::filesystem::copy_file(datei, tmp / "naechster_lauf");
    registry::RegistryDateiSetzen(tmp / "naechster_lauf");
    EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, kSchlüssel, u"SV"), Variante(u"C:\\Daten\\"));
}

TEST_F(MdlRegistry, KaputteDateiGiltAlsLeerUndWirdNeuGeschrieben) {
    std::ofstream(datei, std::ios::binary) << "purivo-registry 1\nK :Software\\Purivo\\Purivo\nV :SV 1 :4x00\n";
    EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, kSchlüssel, u"SV"), Variante::Empty());
    RegWertSchreiben(HKEY_CURRENT_USER, kSchlüssel, u"SV", 1, Variante(u"C:\\Neu\\"));
    EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, kSchlüssel, u"SV"), Variante::Empty());

    RegSchlüsselAnlegen(HKEY_CURRENT_USER, kSchlüssel);
    RegWertSchreiben(HKEY_CURRENT_USER, kSchlüssel, u"SV", 1, Variante(u"C:\\Neu\\"));
    EXPECT_IDENTISCH(RegWertLesen(HKEY_CURRENT_USER, kSchlüssel, u"SV"), Variante(u"C:\\Neu\\"));
}

}  // namespace
