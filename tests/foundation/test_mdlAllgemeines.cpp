#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "common/FakeOberflaeche.h"
#include "common/TempVerzeichnis.h"
#include "foundation/mdlAllgemeines.h"
#include "platform/basic/Fehler.h"
#include "platform/shell/Shell.h"

TEST(Allgemeines, TextErsetzen) {
    struct Fall {
        const char16_t *text, *suchen, *ersetzen, *erwartet;
    };
    for (const auto& f :
         {Fall{u"aaa", u"aa", u"b", u"ba"}, Fall{u"Straße", u"ß", u"ss", u"Strasse"}, Fall{u"abc", u"B", u"x", u"abc"},
          Fall{u"abab", u"ab", u"abab", u"abababab"}, Fall{u"abc", u"", u"x", u"abc"}, Fall{u"", u"a", u"b", u""}})
        EXPECT_EQ(TextErsetzen(f.text, f.suchen, f.ersetzen), f.erwartet) << u8(f.text);
    EXPECT_EQ(TextEntfernen(u"G.m.b.H.", u"."), u"GmbH");
}

TEST(Allgemeines, GroßUndKleinschreiben) {
    EXPECT_EQ(Großschreiben(Variante(u"Straße")), u"STRASSE");
    EXPECT_EQ(Kleinschreiben(Variante(u"STRAßE")), u"strasse");
    EXPECT_EQ(Großschreiben(Variante(u"äöü")), u"ÄÖÜ");
    EXPECT_EQ(Großschreiben(Variante(12)), u"12");
    EXPECT_THROW(Großschreiben(Variante::Null()), LaufzeitFehler);
    EXPECT_THROW(Kleinschreiben(Variante::Null()), LaufzeitFehler);
}

TEST(Allgemeines, WortErmitteln) {
    const Variante ort(u"  Hamburg-Altona 22767 ");
    struct Fall {
        int32_t nummer;
        Variante erwartet;
    };
    for (const auto& f : {Fall{1, u"Hamburg"}, Fall{2, u"Altona"}, Fall{3, u"22767"}, Fall{-1, u"22767"},
                          Fall{-3, u"Hamburg"}, Fall{4, Variante::Empty()}, Fall{-4, u""}, Fall{0, Variante::Empty()}})
        EXPECT_TRUE(WortErmitteln(ort, f.nummer).identisch(f.erwartet)) << f.nummer;
    EXPECT_TRUE(WortErmitteln(Variante::Null(), 1).istEmpty());
    EXPECT_TRUE(WortErmitteln(Variante::Empty(), 1).istEmpty());
    EXPECT_TRUE(WortErmitteln(Variante(u"René"), 1).identisch(Variante(u"Ren")));
    EXPECT_TRUE(WortErmitteln(Variante(u"René"), 2).istEmpty());
    EXPECT_TRUE(WortErmitteln(Variante(u"Groß Straße"), -1).identisch(Variante(u"Straße")));
}

TEST(Allgemeines, Pfade) {
    EXPECT_EQ(DateinameErmitteln(Variante(u"C:\\Daten\\Kunden.mdb")), u"Kunden.mdb");
    EXPECT_EQ(VerzeichnisErmitteln(Variante(u"C:\\Daten\\Kunden.mdb")), u"C:\\Daten\\");
    EXPECT_TRUE(DateiendungErmitteln(Variante(u"C:\\Daten\\Kunden.mdb")).identisch(Variante(u"mdb")));
    EXPECT_TRUE(DateiendungErmitteln(Variante(u"C:\\Daten.alt\\Kunden")).identisch(Variante(u"alt\\Kunden")));
    EXPECT_TRUE(DateiendungErmitteln(Variante(u"Kunden")).istEmpty());
    EXPECT_EQ(DateinameErmitteln(Variante(u"/home/a/kunden.dbf ")), u"kunden.dbf");
    EXPECT_EQ(VerzeichnisErmitteln(Variante(u"/home/a/kunden.dbf ")), u"/home/a/");
    EXPECT_EQ(VerzeichnisErmitteln(Variante(u"/home/a/   ")), u"/home/a/");
    EXPECT_EQ(VerzeichnisErmitteln(Variante(u"kunden.dbf")), u"");
    EXPECT_EQ(DateinameErmitteln(Variante(u"kunden.dbf")), u"kunden.dbf");
}

TEST(Allgemeines, MinimumUndBits) {
    EXPECT_TRUE(Minimum(Variante(300), Variante(12)).identisch(Variante(12)));
    EXPECT_TRUE(Minimum(Variante(int16_t{5}), Variante(5)).identisch(Variante(5)));  // equal: the second
    EXPECT_TRUE(BitGesetzt(4352, 256));
    EXPECT_TRUE(BitGesetzt(4352, 4096));
    EXPECT_FALSE(BitGesetzt(4352, 512));
}

TEST(Allgemeines, DateiExistiert) {
    const TempVerzeichnis tmp;
    const std::string dir = tmp.pfad();
    const std::string datei = dir + "/Kunden ä.txt";
    std::ofstream(datei) << "x";
    EXPECT_TRUE(DateiExistiert(Variante(ausUtf8(datei))).alsBool());
    EXPECT_FALSE(DateiExistiert(Variante(ausUtf8(dir))).alsBool());  // a folder is no file
    EXPECT_FALSE(DateiExistiert(Variante(ausUtf8(dir + "/fehlt"))).alsBool());
    EXPECT_FALSE(DateiExistiert(Variante(u"")).alsBool());
    EXPECT_FALSE(DateiExistiert(Variante::Null()).alsBool());
    if (geteuid() != 0) {
        chmod(datei.c_str(), 0);
        EXPECT_FALSE(DateiExistiert(Variante(ausUtf8(datei))).alsBool());
    }
}

TEST(Allgemeines, ShellStartetOhneShell) {
    // A target full of shell syntax reaches the program as one argument and runs nothing.
    const TempVerzeichnis tmp;
    const std::string dir = tmp.pfad();
    const std::string skript = dir + "/opener";
    std::ofstream(skript) << "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/arg\"\n";
    chmod(skript.c_str(), 0755);
    const std::string ziel = "mailto:a@b?Subject=x&Body=$(touch " + dir + "/boese);`touch " + dir + "/boese`";
    ASSERT_TRUE(shell::Öffnen(ziel, skript));
    std::string arg;
    for (int i = 0; i < 200 && arg.empty(); ++i) {
        usleep(10000);
        std::ifstream f(dir + "/arg");
        std::getline(f, arg);
    }
    EXPECT_EQ(arg, ziel);
    EXPECT_NE(access((dir + "/boese").c_str(), F_OK), 0);
    EXPECT_FALSE(shell::Öffnen("x", dir + "/fehlt/nicht-da"));
}
