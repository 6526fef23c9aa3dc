#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "common/Dateiinhalt.h"
#include "common/TempVerzeichnis.h"
#include "platform/registry/Registry.h"

using namespace registry;

namespace {

std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

class Registry : public ::testing::Test {
protected:
    void SetUp() override { RegistryDateiSetzen(datei); }
    void TearDown() override { RegistryDateiSetzen(""); }

    // Creates the key and returns an open handle with full access.
    int32_t anlegen(const Text& pfad) {
        int32_t h = 0, disp = 0;
        EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, pfad, 0x3F, h, disp), ERROR_SUCCESS);
        return h;
    }
    void setzen(int32_t h, const Text& name, uint32_t typ, const std::string& daten) {
        ASSERT_EQ(RegSetValueEx(h, name, typ, reinterpret_cast<const uint8_t*>(daten.data()),
                                static_cast<uint32_t>(daten.size())),
                  ERROR_SUCCESS);
    }
    // The value's type and bytes as a fresh open of `pfad` finds them.
    std::optional<std::pair<uint32_t, std::vector<uint8_t>>> wert(const Text& pfad, const Text& name) {
        int32_t h = 0;
        if (RegOpenKeyEx(HKEY_CURRENT_USER, pfad, 0x3F, h) != ERROR_SUCCESS) return std::nullopt;
        uint32_t typ = 0, size = 0;
        std::vector<uint8_t> puffer;
        int32_t s = RegQueryValueEx(h, name, typ, nullptr, size);
        if (s == ERROR_SUCCESS) s = RegQueryValueEx(h, name, typ, &puffer, size);
        RegCloseKey(h);
        if (s != ERROR_SUCCESS) return std::nullopt;
        puffer.resize(size);
        return std::make_pair(typ, puffer);
    }

    TempVerzeichnis tmp;
    std::string datei = tmp / "registry";
};

TEST_F(Registry, SchluesselWerdenMitAllenEbenenAngelegtUndOhneGrossKleinGefunden) {
    int32_t h = 0, disp = 0;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"Software\\Purivo", 0x3F, h), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(h, 0);
    EXPECT_FALSE(std::filesystem::exists(datei));  // opening never creates

    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"Software\\Purivo\\Einstellungen", 0x3F, h, disp), ERROR_SUCCESS);
    EXPECT_EQ(disp, REG_CREATED_NEW_KEY);
    EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"SOFTWARE\\purivo\\einstellungen\\", 0x3F, h, disp), ERROR_SUCCESS);
    EXPECT_EQ(disp, REG_OPENED_EXISTING_KEY);
    RegCloseKey(h);

    for (const char16_t* pfad : {u"Software", u"software\\PURIVO", u"Software\\Purivo\\Einstellungen"}) {
        EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, pfad, 0x3F, h), ERROR_SUCCESS) << nachUtf8(pfad);
        // An open key serves as the root of a further open.
        int32_t unter = 0;
        if (Text(pfad) == u"Software") {
            EXPECT_EQ(RegOpenKeyEx(h, u"Purivo\\Einstellungen", 0x3F, unter), ERROR_SUCCESS);
            RegCloseKey(unter);
        }
        RegCloseKey(h);
    }
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"Software\\Purivo\\Fehlt", 0x3F, h), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, WerteBleibenBytesMitTyp) {
    const int32_t h = anlegen(u"Software\\Purivo");
    // Names with blanks, line breaks and escape characters must survive the file.
    const Text name = u"Wert mit Blank\n%0041 ä";
    const std::string daten("\x00\x01\n \xFF%", 6);
    setzen(h, name, REG_BINARY, daten);

    uint32_t typ = 0, size = 0;
    ASSERT_EQ(RegQueryValueEx(h, u"WERT MIT BLANK\n%0041 Ä", typ, nullptr, size), ERROR_SUCCESS);
    EXPECT_EQ(typ, REG_BINARY);
    EXPECT_EQ(size, 6u);

    std::vector<uint8_t> puffer(10, 0xAA);
    size = 5;
    EXPECT_EQ(RegQueryValueEx(h, name, typ, &puffer, size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    size = 10;
    ASSERT_EQ(RegQueryValueEx(h, name, typ, &puffer, size), ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(std::vector<uint8_t>(puffer.begin(), puffer.begin() + 6), bytes(daten));
    EXPECT_EQ(puffer[6], 0xAA);  // the rest of the buffer is not touched

    // Overwriting under another spelling replaces the value, type and all.
    setzen(h, u"wert mit blank\n%0041 ä", REG_DWORD, std::string("\x05\0\0\0", 4));
    EXPECT_EQ(wert(u"Software\\Purivo", name), std::make_pair(REG_DWORD, bytes(std::string("\x05\0\0\0", 4))));
    // The empty name is a value of its own, and an empty value is allowed.
    setzen(h, u"", REG_SZ, "");
    EXPECT_EQ(wert(u"Software\\Purivo", u""), std::make_pair(REG_SZ, std::vector<uint8_t>{}));
    EXPECT_EQ(RegQueryValueEx(h, u"Fehlt", typ, nullptr, size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(h);
}

TEST_F(Registry, WerteLiegenNurInDerDatei) {
    const int32_t h = anlegen(u"Software\\Purivo");
    setzen(h, u"SV", REG_SZ, std::string("C:\\Alt\\\0", 8));
    RegCloseKey(h);
    const std::string alterStand = lesen(datei);

    // As in a later run of the program: a copy of the file is all it takes.
    std::filesystem::copy_file(datei, tmp / "kopie");
    RegistryDateiSetzen(tmp / "kopie");
    EXPECT_EQ(wert(u"Software\\Purivo", u"SV"), std::make_pair(REG_SZ, bytes(std::string("C:\\Alt\\\0", 8))));
    RegistryDateiSetzen(datei);

    // Another process writing the file is seen at once, even by a handle open before.
    int32_t offen = 0;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"Software\\Purivo", 0x3F, offen), ERROR_SUCCESS);
    setzen(offen, u"SV", REG_SZ, std::string("C:\\Neu\\\0", 8));
    schreiben(datei, alterStand);
    uint32_t typ = 0, size = 0;
    ASSERT_EQ(RegQueryValueEx(offen, u"SV", typ, nullptr, size), ERROR_SUCCESS);
    EXPECT_EQ(wert(u"Software\\Purivo", u"SV"), std::make_pair(REG_SZ, bytes(std::string("C:\\Alt\\\0", 8))));
    // ... and so is a key removed under an open handle.
    schreiben(datei, "purivo-registry 1\n");
    EXPECT_EQ(RegQueryValueEx(offen, u"SV", typ, nullptr, size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegSetValueEx(offen, u"SV", REG_SZ, nullptr, 0), ERROR_KEY_DELETED);
    RegCloseKey(offen);

    // Writes go through a temporary file that is renamed over the old one.
    const int32_t h2 = anlegen(u"Software\\Purivo");
    for (int i = 0; i < 3; ++i) setzen(h2, u"N", REG_DWORD, std::string(4, static_cast<char>(i)));
    RegCloseKey(h2);
    std::vector<std::string> namen;
    for (const auto& e : std::filesystem::directory_iterator(tmp.pfad())) namen.push_back(e.path().filename());
    std::sort(namen.begin(), namen.end());
    EXPECT_EQ(namen, (std::vector<std::string>{"kopie", "registry"}));
}

TEST_F(Registry, KaputteDateiIstLeerUndWirdBeimSchreibenErsetzt) {
    const int32_t h = anlegen(u"Software\\Purivo");
    setzen(h, u"SV", REG_SZ, std::string("x\0", 2));
    RegCloseKey(h);
    const std::string gut = lesen(datei);

    for (const std::string& kaputt :
         {std::string(), std::string("Müll\n"), gut.substr(0, gut.size() - 1), std::string("purivo-registry 1"),
          std::string("purivo-registry 1\nV :SV 1 :7800\n"),        // a value before any key
          std::string("purivo-registry 1\nK :A\nV :SV 1 :780\n"),   // odd hex
          std::string("purivo-registry 1\nK :A\nV :SV x :7800\n"),  // no type
          std::string("purivo-registry 1\nK :A\nK :a\n"),           // a key twice
          std::string("purivo-registry 1\nK :A%00\n"),              // cut-off escape
          std::string("purivo-registry 1\nK :A\\\\B\n"),            // empty part
          gut + "K :Software\\Purivo\n"}) {
        schreiben(datei, kaputt);
        int32_t o = 0;
        EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"Software\\Purivo", 0x3F, o), ERROR_FILE_NOT_FOUND) << kaputt;
        EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"A", 0x3F, o), ERROR_FILE_NOT_FOUND) << kaputt;

        const int32_t neu = anlegen(u"Software\\Purivo");
        setzen(neu, u"SV", REG_SZ, std::string("y\0", 2));
        RegCloseKey(neu);
        EXPECT_EQ(wert(u"Software\\Purivo", u"SV"), std::make_pair(REG_SZ, bytes(std::string("y\0", 2)))) << kaputt;
    }
}

TEST_F(Registry, LocalMachineIstLeerUndNurLesbar) {
    int32_t h = 0, disp = 0;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software", 0x3F, h), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Purivo", 0x3F, h, disp), ERROR_ACCESS_DENIED);
    EXPECT_EQ(h, 0);
    uint32_t typ = 0, size = 0;
    EXPECT_EQ(RegQueryValueEx(HKEY_LOCAL_MACHINE, u"SV", typ, nullptr, size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetValueEx(HKEY_LOCAL_MACHINE, u"SV", REG_SZ, nullptr, 0), ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"", 0x3F, h), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueEx(h, u"SV", REG_SZ, nullptr, 0), ERROR_ACCESS_DENIED);
    RegCloseKey(h);
    EXPECT_FALSE(std::filesystem::exists(datei));
    // HKEY_CURRENT_USER is a usable handle as it is.
    const uint8_t eins[4] = {1, 0, 0, 0};
    EXPECT_EQ(RegSetValueEx(HKEY_CURRENT_USER, u"Oben", REG_DWORD, eins, 4), ERROR_SUCCESS);
    EXPECT_EQ(wert(u"", u"Oben"), std::make_pair(REG_DWORD, std::vector<uint8_t>{1, 0, 0, 0}));
}

TEST_F(Registry, HandlesZugriffsrechteUndPfade) {
    const uint8_t x[1] = {0};
    uint32_t typ = 0, size = 0;
    const int32_t h = anlegen(u"Software\\Purivo");
    ASSERT_EQ(RegCloseKey(h), ERROR_SUCCESS);
    for (int32_t falsch : {0, h, 4711, -1, static_cast<int32_t>(0x80000000u)}) {
        EXPECT_EQ(RegQueryValueEx(falsch, u"SV", typ, nullptr, size), ERROR_INVALID_HANDLE) << falsch;
        EXPECT_EQ(RegSetValueEx(falsch, u"SV", REG_SZ, x, 1), ERROR_INVALID_HANDLE) << falsch;
        EXPECT_EQ(RegCloseKey(falsch), ERROR_INVALID_HANDLE) << falsch;
        int32_t o = 0;
        EXPECT_EQ(RegOpenKeyEx(falsch, u"", 0x3F, o), ERROR_INVALID_HANDLE) << falsch;
    }

    int32_t lesend = 0, schreibend = 0, disp = 0;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"Software\\Purivo", KEY_QUERY_VALUE, lesend), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"Software\\Purivo", KEY_SET_VALUE, schreibend), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueEx(lesend, u"SV", REG_SZ, x, 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegSetValueEx(schreibend, u"SV", REG_SZ, x, 1), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueEx(schreibend, u"SV", typ, nullptr, size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegQueryValueEx(lesend, u"SV", typ, nullptr, size), ERROR_SUCCESS);
    int32_t unter = 0;
    EXPECT_EQ(RegCreateKeyEx(lesend, u"Neu", KEY_ALL_ACCESS, unter, disp), ERROR_ACCESS_DENIED);
    RegCloseKey(lesend);
    RegCloseKey(schreibend);

    int32_t o = 0;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"Software", 0x40, o), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueEx(HKEY_CURRENT_USER, u"SV", REG_SZ, nullptr, 1), ERROR_INVALID_PARAMETER);
    for (const char16_t* pfad : {u"\\Software", u"Software\\\\Purivo", u"Software\\Purivo\\\\"}) {
        EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, pfad, 0x3F, o), ERROR_BAD_PATHNAME) << nachUtf8(pfad);
        EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, pfad, 0x3F, o, disp), ERROR_BAD_PATHNAME) << nachUtf8(pfad);
    }
}

TEST_F(Registry, DateiLiegtImKonfigurationsordner) {
    const char* xdgVorher = std::getenv("XDG_CONFIG_HOME");
    const char* homeVorher = std::getenv("HOME");
    const std::string xdgAlt = xdgVorher ? xdgVorher : "", homeAlt = homeVorher ? homeVorher : "";
    RegistryDateiSetzen("");

    setenv("XDG_CONFIG_HOME", (tmp / "cfg").c_str(), 1);
    EXPECT_EQ(RegistryDatei(), tmp / "cfg/purivo/registry");
    int32_t h = 0, disp = 0;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"Software", 0x3F, h, disp), ERROR_SUCCESS);
    RegCloseKey(h);
    EXPECT_TRUE(std::filesystem::exists(tmp / "cfg/purivo/registry"));

    setenv("HOME", tmp.pfad().c_str(), 1);
    for (const char* xdg : {"", "relativ/cfg"}) {
        setenv("XDG_CONFIG_HOME", xdg, 1);
        EXPECT_EQ(RegistryDatei(), tmp / ".config/purivo/registry") << xdg;
    }

    if (xdgVorher) setenv("XDG_CONFIG_HOME", xdgAlt.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
    if (homeVorher) setenv("HOME", homeAlt.c_str(), 1);
    else unsetenv("HOME");
}

TEST(Ansi, Windows1252) {
    struct Fall {
        Text text;
        std::string ansi;
    };
    for (const auto& f : {Fall{u"Müller", "M\xFCller"},
                          Fall{u"Straße", "Stra\xDF"
                                          "e"},
                          Fall{u"ÄÖÜäöü", "\xC4\xD6\xDC\xE4\xF6\xFC"}, Fall{u"5 €", "5 \x80"},
                          Fall{u"„Zitat“ – …", "\x84Zitat\x93 \x96 \x85"}, Fall{u"Œuvre Š", "\x8Cuvre \x8A"},
                          Fall{Text(u"a\0b", 3), std::string("a\0b", 3)}})
        EXPECT_EQ(AnsiAusText(f.text), f.ansi) << nachUtf8(f.text);
    // What the code page lacks is a '?', one per UTF-16 unit.
    EXPECT_EQ(AnsiAusText(u"Łódź"), "?\xF3"
                                    "d?");
    EXPECT_EQ(AnsiAusText(u"😀"), "??");
    EXPECT_EQ(AnsiAusText(u"\u0080"), "?");
    // Every byte has a character, and back to the same byte.
    std::string alle;
    for (int b = 0; b < 256; ++b) alle.push_back(static_cast<char>(b));
    const Text text = TextAusAnsi(alle);
    ASSERT_EQ(text.size(), 256u);
    EXPECT_EQ(text[0x80], u'€');
    EXPECT_EQ(text[0x81], u'\u0081');
    EXPECT_EQ(text[0x9F], u'Ÿ');
    EXPECT_EQ(text[0xE4], u'ä');
    EXPECT_EQ(AnsiAusText(text), alle);
}

}  // namespace
