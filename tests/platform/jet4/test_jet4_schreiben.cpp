// New tables written into copies of the Access-made files through the driver's
// write-back, read back by the driver itself (libmdb), by mdbtools and by mdb-reader,
// and walked by the structural checker.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "common/AccessVorlagen.h"
#include "common/FremdeLeser.h"
#include "common/Jet4Pruefer.h"
#include "common/Rueckschrift.h"
#include "common/TempVerzeichnis.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "platform/dao/storage/Dateisatz.h"
#include "platform/dao/storage/access/AccessKopf.h"
#include "platform/dao/storage/access/AccessTreiber.h"
#include "platform/dao/storage/access/jet4/Jet4Datei.h"
#include "platform/dao/storage/access/jet4/Jet4Karte.h"
#include "platform/dao/storage/access/jet4/Jet4Katalog.h"
#include "platform/dao/storage/access/jet4/Jet4Schreiber.h"
#include "platform/dao/storage/access/jet4/Jet4Tabelle.h"
#include "platform/dao/storage/access/jet4/Jet4Zeilen.h"

namespace {

using namespace dao::speicher;
namespace fs = std::filesystem;
using Zustand = Rückschrift::Zustand;
using namespace dao;

// The files written by Access with a database password have "password".
Text Kennwort(const std::string& datei) { return datei.find("with-password") != std::string::npos ? u"password" : u""; }

std::string Lesen(const std::string& pfad) {
    std::ifstream ein(pfad, std::ios::binary);
    return {std::istreambuf_iterator<char>(ein), {}};
}

std::unique_ptr<Speichertreiber> Öffnen(const std::string& pfad, const Text& passwort) {
    return access::TreiberÖffnen(ausUtf8(pfad), passwort, false);
}

FeldBeschreibung Feld(Text name, int16_t typ, int32_t größe = 0, bool pflicht = false, bool leer = true) {
    FeldBeschreibung f = feld(std::move(name), typ, größe);
    f.pflicht = pflicht;
    f.leerErlaubt = leer;
    return f;
}

// Every field type the engine has, with a primary key on the counter and a unique
// index over two columns.
TabellenBeschreibung Prüftabelle(Text name) {
    TabellenBeschreibung b;
    b.name = std::move(name);
    FeldBeschreibung id = Feld(u"Nr", dbLong, 4, true);
    id.attribute = dbAutoIncrField;
    b.felder = {id,
                Feld(u"Ja", dbBoolean, 1),
                Feld(u"Klein", dbByte, 1),
                Feld(u"Ganz", dbInteger, 2),
                Feld(u"Lang", dbLong, 4),
                Feld(u"Betrag", dbCurrency, 8),
                Feld(u"Einfach", dbSingle, 4),
                Feld(u"Doppelt", dbDouble, 8),
                Feld(u"Wann", dbDate, 8),
                Feld(u"Straße", dbText, 255, false, false),
                Feld(u"K", dbText, 1, true),
                Feld(u"Notiz", dbMemo)};
    IndexBeschreibung primär{u"PrimaryKey", {u"Nr"}, true, true};
    IndexBeschreibung eindeutig{u"OrtUndZahl", {u"Straße", u"Lang"}, true, false};
    IndexBeschreibung schlicht{u"Datum", {u"Wann"}, false, false};
    b.indizes = {primär, eindeutig, schlicht};
    return b;
}

const Text kUmlaute = u"Größenwahn Ärger Übermut ßüöä ÄÖÜ — Привет Ελλάδα";

std::vector<Variante> Prüfzeile(int i) {
    auto oderNull = [&](int k, Variante v) { return (i % 7 == k) ? Variante::Null() : v; };
    Text straße = i == 1 ? Text(255, u'ä') : u"Straße " + ausUtf8(std::to_string(i)) + (i % 3 ? kUmlaute : Text());
    Text notiz;
    if (i == 2) notiz = Text(70000, u'x') + kUmlaute;  // a chain of long-value pages
    else if (i == 3) notiz = Text(3000, u'ö');         // one long-value page
    else if (i == 4) notiz = u"";
    else notiz = u"kurz " + ausUtf8(std::to_string(i));
    return {Variante(int32_t(i + 1)),
            Variante(i % 2 == 0),  // a Boolean is never Null in Jet
            oderNull(2, Variante(uint8_t(i == 5 ? 255 : i % 256))),
            oderNull(3, Variante(int16_t(i == 5 ? -32768 : i * 3 - 100))),
            oderNull(4, Variante(int32_t(i == 5 ? INT32_MIN : (i % 20000) * 100003))),
            oderNull(5, Variante::Währung(i == 5 ? -9223372036854775807LL : int64_t(i) * 12345 - 99999)),
            oderNull(6, Variante(float(i) / 8.0f)),
            oderNull(0, Variante(i == 6 ? 1.7976931348623157e308 : -i / 3.0)),
            oderNull(1, Variante::Datum(i == 6 ? -657434.0 : 45000.25 + i)),
            i == 0 ? Variante(u"") : Variante(straße),
            Variante(Text(1, char16_t(u'a' + i % 26))),
            oderNull(3, Variante(notiz))};
}

std::vector<std::vector<Variante>> Prüfzeilen(int n) {
    std::vector<std::vector<Variante>> z;
    for (int i = 0; i < n; ++i) z.push_back(Prüfzeile(i));
    return z;
}

std::vector<std::vector<Variante>> AlleZeilen(Speichertreiber& t, const Text& name) {
    for (const auto& b : t.StrukturLesen().tabellen)
        if (b.name == name) {
            std::vector<std::vector<Variante>> z;
            t.ZeilenLesen(b, [&](const std::vector<Variante>& zeile) { z.push_back(zeile); });
            return z;
        }
    ADD_FAILURE() << "table missing: " << nachUtf8(name);
    return {};
}

void GleicheZeilen(const std::vector<std::vector<Variante>>& ist, const std::vector<std::vector<Variante>>& soll) {
    ASSERT_EQ(ist.size(), soll.size());
    for (size_t r = 0; r < ist.size(); ++r) {
        ASSERT_EQ(ist[r].size(), soll[r].size());
        for (size_t c = 0; c < ist[r].size(); ++c)
            EXPECT_TRUE(ist[r][c].identisch(soll[r][c]))
                << "row " << r << " column " << c << ": " << ist[r][c] << " instead of " << soll[r][c];
    }
}

void StrukturGesund(const std::string& pfad) {
    Jet4Prüfbericht bericht;
    const auto probleme = Jet4Prüfen(DateiBytes(pfad), &bericht);
    for (const auto& p : probleme) ADD_FAILURE() << p;
    EXPECT_GT(bericht.schlüsselVerglichen, 0u);
}

// A foreign reader's cell against the value written: texts exact, numbers and dates as
// numbers (the readers print them each in their own way).
double DatumAusText(const std::string& t) {
    int j = 0, mo = 0, ta = 0, h = 0, mi = 0;
    double se = 0;
    if (std::sscanf(t.c_str(), "%d-%d-%d%*c%d:%d:%lf", &j, &mo, &ta, &h, &mi, &se) < 3) return NAN;
    // Days from 1899-12-30 by the civil calendar (negative dates count back, time forward).
    auto tage = [](int y, int m, int d) {
        y -= m <= 2;
        const int era = (y >= 0 ? y : y - 399) / 400;
        const int yoe = y - era * 400;
        const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + doe - 719468;
    };
    const double tag = tage(j, mo, ta) - tage(1899, 12, 30);
    const double zeit = (h * 3600 + mi * 60 + se) / 86400.0;
    return tag >= 0 ? tag + zeit : tag - zeit;
}

int64_t WährungAusText(const std::string& t) {
    const bool minus = !t.empty() && t[0] == '-';
    int64_t ganz = 0, bruch = 0;
    int stellen = 0;
    bool nachKomma = false;
    for (char c : t.substr(minus ? 1 : 0)) {
        if (c == '.') nachKomma = true;
        else if (!nachKomma) ganz = ganz * 10 + (c - '0');
        else if (stellen < 4) bruch = bruch * 10 + (c - '0'), ++stellen;
    }
    while (stellen++ < 4) bruch *= 10;
    const int64_t betrag = ganz * 10000 + bruch;
    return minus ? -betrag : betrag;
}

void ZelleGleich(const fremd::Zelle& ist, const Variante& soll, bool leerIstNull, const std::string& wo) {
    if (soll.istNull() || (leerIstNull && soll.istText() && soll.text().empty())) {
        EXPECT_EQ(ist, std::nullopt) << wo;
        return;
    }
    ASSERT_TRUE(ist.has_value()) << wo << ": Null instead of " << soll;
    switch (soll.typ()) {
        case VTyp::Text: EXPECT_EQ(*ist, nachUtf8(soll.text())) << wo; break;
        case VTyp::Boolean:
            EXPECT_TRUE(*ist == (soll.alsBool() ? "true" : "false") || *ist == (soll.alsBool() ? "1" : "0"))
                << wo << ": " << *ist;
            break;
        case VTyp::Currency: EXPECT_EQ(WährungAusText(*ist), soll.währungRoh()) << wo << ": " << *ist; break;
        case VTyp::Date:
            // mdbtools prints the days before 1900 wrong ("1900-01-00").
            if (ist->rfind("1900-01-00", 0) == 0 && soll.zahl() < 1) break;
            EXPECT_NEAR(DatumAusText(*ist), soll.zahl(), 1.0 / 86400) << wo << ": " << *ist;
            break;
        case VTyp::Single:
            EXPECT_FLOAT_EQ(static_cast<float>(std::strtod(ist->c_str(), nullptr)), static_cast<float>(soll.zahl()))
                << wo;
            break;
        case VTyp::Double:
            EXPECT_DOUBLE_EQ(std::strtod(ist->c_str(), nullptr), soll.zahl()) << wo << ": " << *ist;
            break;
        default: EXPECT_EQ(std::strtoll(ist->c_str(), nullptr, 10), static_cast<long long>(soll.zahl())) << wo; break;
    }
}

// mdb-export and mdb-reader read the table as written.
void FremdGleich(const std::string& pfad, const Text& tabelle, const std::vector<std::vector<Variante>>& soll,
                 const std::string& passwort = "") {
    if (!fremd::MdbtoolsDa() || !fremd::MdbReaderDa()) {
        ADD_FAILURE() << "mdbtools oder mdb-reader fehlen";
        return;
    }
    const std::string name = nachUtf8(tabelle);
    const fremd::Tabelleninhalt export_ = fremd::MdbExport(pfad, name);
    ASSERT_EQ(export_.zeilen.size(), soll.size()) << "mdb-export " << name;
    const auto leser = fremd::MdbReaderLesen(pfad, name, passwort);
    ASSERT_EQ(leser.size(), 1u) << "mdb-reader " << name;
    ASSERT_EQ(leser[0].zeilen.size(), soll.size()) << "mdb-reader " << name;
    EXPECT_EQ(leser[0].zeilenzahl, static_cast<long>(soll.size()));
    for (size_t z = 0; z < soll.size(); ++z)
        for (size_t s = 0; s < soll[z].size(); ++s) {
            const std::string wo = name + " row " + std::to_string(z) + " column " + std::to_string(s);
            ZelleGleich(export_.zeilen[z].at(s), soll[z][s], true, "mdb-export " + wo);
            ZelleGleich(leser[0].zeilen[z].at(s), soll[z][s], false, "mdb-reader " + wo);
        }
}

Rückschrift NeueTabelle(const TabellenBeschreibung& b, std::vector<std::vector<Variante>> zeilen) {
    Rückschrift r;
    r.tabellen.push_back(eintrag(b, Zustand::neu, u"", std::move(zeilen)));
    return r;
}

// The other tables as they were: the write-back lists them unchanged beside the new one.
Rückschrift MitBestand(Speichertreiber& t, const TabellenBeschreibung& b, std::vector<std::vector<Variante>> zeilen) {
    Rückschrift r;
    for (const auto& alt : t.StrukturLesen().tabellen) {
        Rückschrift::Tabelle e;
        e.beschreibung = alt;
        e.alterName = alt.name;
        e.zustand = Zustand::unverändert;
        e.zeilen = [&t, alt](const Zeilenziel& ziel) { t.ZeilenLesen(alt, ziel); };
        r.tabellen.push_back(std::move(e));
    }
    r.tabellen.push_back(eintrag(b, Zustand::neu, u"", std::move(zeilen)));
    return r;
}

TEST(Jet4Schreiben, JedeFeldartKommtInJederDateiGleichZurück) {
    ACCESS_FIXTUREN_NOETIG();
    for (const std::string& datei : kJet4Dateien) {
        SCOPED_TRACE(datei);
        const Text passwort = Kennwort(datei);
        TempVerzeichnis t;
        const std::string pfad = AccessKopie(t, datei);
        std::vector<std::pair<Text, std::vector<std::vector<Variante>>>> vorher;
        {
            auto treiber = Öffnen(pfad, passwort);
            ASSERT_TRUE(treiber->Schreibbar()) << nachUtf8(treiber->SchreibschutzGrund());
            for (const auto& b : treiber->StrukturLesen().tabellen)
                vorher.emplace_back(b.name, AlleZeilen(*treiber, b.name));
            Rückschrift r = MitBestand(*treiber, Prüftabelle(u"Prüfung Ä"), Prüfzeilen(40));
            r.tabellen.push_back(eintrag(Prüftabelle(u"leer"), Zustand::neu, u"", {}));
            r.tabellen.push_back(eintrag(Prüftabelle(u"eins"), Zustand::neu, u"", Prüfzeilen(1)));
            treiber->Schreiben(r);
            // The driver reads what it wrote.
            GleicheZeilen(AlleZeilen(*treiber, u"Prüfung Ä"), Prüfzeilen(40));
        }
        auto wieder = Öffnen(pfad, passwort);
        const auto struktur = wieder->StrukturLesen();
        ASSERT_EQ(struktur.tabellen.size(), vorher.size() + 3);
        for (size_t i = 0; i < vorher.size(); ++i) {
            EXPECT_EQ(struktur.tabellen[i].name, vorher[i].first);
            GleicheZeilen(AlleZeilen(*wieder, vorher[i].first), vorher[i].second);
        }
        GleicheZeilen(AlleZeilen(*wieder, u"Prüfung Ä"), Prüfzeilen(40));
        GleicheZeilen(AlleZeilen(*wieder, u"leer"), {});
        GleicheZeilen(AlleZeilen(*wieder, u"eins"), Prüfzeilen(1));
        StrukturGesund(pfad);
        FremdGleich(pfad, u"Prüfung Ä", Prüfzeilen(40), nachUtf8(passwort));
        FremdGleich(pfad, u"leer", {}, nachUtf8(passwort));
        for (const auto& [name, zeilen] : vorher) {
            // The tables that were there read as before through the foreign readers too.
            if (fremd::MdbExport(pfad, nachUtf8(name)).zeilen.size() != zeilen.size()) ADD_FAILURE() << nachUtf8(name);
        }
        for (const auto& b : struktur.tabellen) {
            if (b.name != u"Prüfung Ä") continue;
            const TabellenBeschreibung soll = Prüftabelle(u"Prüfung Ä");
            ASSERT_EQ(b.felder.size(), soll.felder.size());
            for (size_t f = 0; f < soll.felder.size(); ++f) {
                EXPECT_EQ(b.felder[f].name, soll.felder[f].name);
                EXPECT_EQ(b.felder[f].typ, soll.felder[f].typ);
                EXPECT_EQ(b.felder[f].größe, soll.felder[f].größe) << nachUtf8(soll.felder[f].name);
                EXPECT_EQ(b.felder[f].attribute & dbAutoIncrField, soll.felder[f].attribute & dbAutoIncrField);
                EXPECT_EQ(b.felder[f].pflicht, soll.felder[f].pflicht) << nachUtf8(soll.felder[f].name);
                EXPECT_EQ(b.felder[f].leerErlaubt, soll.felder[f].leerErlaubt) << nachUtf8(soll.felder[f].name);
            }
            ASSERT_EQ(b.indizes.size(), soll.indizes.size());
            for (const auto& ix : soll.indizes) {
                bool gefunden = false;
                for (const auto& ist : b.indizes)
                    if (ist.name == ix.name) {
                        gefunden = true;
                        EXPECT_EQ(ist.felder, ix.felder);
                        EXPECT_EQ(ist.eindeutig, ix.eindeutig);
                        EXPECT_EQ(ist.primär, ix.primär);
                    }
                EXPECT_TRUE(gefunden) << nachUtf8(ix.name);
            }
        }
    }
}

namespace jet4 = access::jet4;

// The pages a write-back may change: the global map, the free pages it reuses, and the
// pages of the two catalogue tables it adds rows to (definition, map rows and maps,
// data, index and long-value pages).
std::set<uint32_t> Katalogseiten(const std::vector<uint8_t>& inhalt) {
    jet4::Datei datei(inhalt);
    std::set<uint32_t> seiten{1};
    for (uint32_t s : jet4::Nutzungskarte(datei, {1, 0}).Seiten()) seiten.insert(s);
    auto karte = [&](jet4::Zeilenort ort) {
        if (ort == jet4::Zeilenort{}) return;
        seiten.insert(ort.seite);
        for (uint32_t s : jet4::Nutzungskarte(datei, ort).Seiten()) seiten.insert(s);
    };
    auto tabelle = [&](uint32_t tdef) {
        const jet4::Tabellendef def = jet4::TabelleLesen(datei, tdef);
        seiten.insert(def.defSeiten.begin(), def.defSeiten.end());
        karte(def.belegt);
        karte(def.frei);
        for (const auto& ix : def.realeIndizes) karte(ix.karte);
        for (const auto& sp : def.spalten) {
            karte(sp.lvBelegt);
            karte(sp.lvFrei);
        }
        return def;
    };
    const jet4::Tabellendef objekte = tabelle(jet4::kKatalogSeite);
    size_t name = 0, id = 0;
    for (size_t i = 0; i < objekte.spalten.size(); ++i) {
        if (objekte.spalten[i].name == u"Name") name = i;
        if (objekte.spalten[i].name == u"Id") id = i;
    }
    jet4::ZeilenDurchgehen(datei, objekte, [&](jet4::Zeilenort, std::span<const uint8_t> zeile) {
        const auto werte = jet4::ZeileLesen(datei, objekte, zeile);
        if (werte[name].istText() && werte[name].text() == u"MSysACEs")
            tabelle(static_cast<uint32_t>(werte[id].alsLong()));
    });
    return seiten;
}

// Everything the engine never sees (queries, forms, relations, other tables) lives on
// pages outside the catalogue's: those stay byte for byte.
TEST(Jet4Schreiben, AnderesBleibtByteFürByte) {
    ACCESS_FIXTUREN_NOETIG();
    for (const std::string& datei : kJet4Dateien) {
        SCOPED_TRACE(datei);
        TempVerzeichnis t;
        const std::string pfad = AccessKopie(t, datei);
        const std::vector<uint8_t> vorher = DateiBytes(pfad);
        Öffnen(pfad, Kennwort(datei))->Schreiben(NeueTabelle(Prüftabelle(u"neu"), Prüfzeilen(30)));
        const std::vector<uint8_t> nachher = DateiBytes(pfad);
        std::set<uint32_t> erlaubt = Katalogseiten(vorher);
        for (uint32_t s : Katalogseiten(nachher)) erlaubt.insert(s);
        size_t geändert = 0;
        for (uint32_t s = 0; s < vorher.size() / jet4::kSeitengröße; ++s) {
            const size_t a = size_t{s} * jet4::kSeitengröße;
            if (std::equal(vorher.begin() + a, vorher.begin() + a + jet4::kSeitengröße, nachher.begin() + a)) continue;
            ++geändert;
            // Map pages of a reference map may grow with the table they belong to.
            if (!erlaubt.count(s) && nachher[a] != static_cast<uint8_t>(jet4::Seitentyp::Karte))
                ADD_FAILURE() << "page " << s << " (type " << int(vorher[a]) << ") changed";
        }
        EXPECT_GT(geändert, 0u);
    }
}

// A header field in the masked part of page 0, changed as a file of that kind would have it.
std::vector<uint8_t> MitKopffeld(std::vector<uint8_t> inhalt, size_t offset, std::vector<uint8_t> wert) {
    using namespace access;
    uint8_t* maskiert = inhalt.data() + kVerschlüsseltAb;
    Rc4Anwenden(kKopfSchlüssel, sizeof kKopfSchlüssel, maskiert, kVerschlüsseltJet4);
    std::copy(wert.begin(), wert.end(), inhalt.begin() + static_cast<long>(offset));
    Rc4Anwenden(kKopfSchlüssel, sizeof kKopfSchlüssel, maskiert, kVerschlüsseltJet4);
    return inhalt;
}

// Another sort order or encrypted pages: the writer refuses, saying why, and writes nothing.
TEST(Jet4Schreiben, FremdeSortierungUndVerschlüsselungBleibenUngeschrieben) {
    ACCESS_FIXTUREN_NOETIG();
    const std::vector<uint8_t> roh = DateiBytes(kAccessOrdner + "empty.mdb");
    EXPECT_EQ(jet4::Hindernis(jet4::Datei(roh)), std::nullopt);
    const struct {
        size_t offset;
        std::vector<uint8_t> wert;
        const char16_t* grund;
    } fälle[] = {
        {0x6E, {0x07, 0x04}, u"Sortierreihenfolge"},         // 1031: German phone book
        {0x6E + 3, {0x01}, u"Sortierreihenfolge"},           // General, the newer variant
        {0x3E, {0x11, 0x22, 0x33, 0x44}, u"verschlüsselt"},  // a database key
    };
    for (const auto& f : fälle) {
        jet4::Datei datei(MitKopffeld(roh, f.offset, f.wert));
        const auto grund = jet4::Hindernis(datei);
        ASSERT_TRUE(grund.has_value());
        EXPECT_NE(grund->find(f.grund), Text::npos) << nachUtf8(*grund);
        const std::vector<uint8_t> vorher = datei.Inhalt();
        try {
            jet4::TabelleHinzufügen(
                datei, Prüftabelle(u"neu"), [](const Zeilenziel&) {}, 45000);
            ADD_FAILURE() << "written";
        } catch (const jet4::NichtSchreibbar& n) {
            EXPECT_EQ(n.grund, *grund);
        }
        EXPECT_TRUE(datei.Inhalt() == vorher);
    }
}

// Page 0 stays as it was: the password, the header, the creation date.
TEST(Jet4Schreiben, KopfUndKennwortBleiben) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis t;
    const std::string pfad = AccessKopie(t, "V2003_with-password.mdb");
    const std::string vorher = Lesen(pfad);
    Öffnen(pfad, u"password")->Schreiben(NeueTabelle(Prüftabelle(u"neu"), Prüfzeilen(3)));
    const std::string nachher = Lesen(pfad);
    EXPECT_EQ(nachher.substr(0, 4096), vorher.substr(0, 4096));
    try {
        Öffnen(pfad, u"falsch");
        ADD_FAILURE() << "opened with a wrong password";
    } catch (const LaufzeitFehler& e) {
        EXPECT_EQ(e.Nummer(), 3031);
    }
    GleicheZeilen(AlleZeilen(*Öffnen(pfad, u"password"), u"neu"), Prüfzeilen(3));
}

TEST(Jet4Schreiben, HunderttausendZeilen) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis t;
    const std::string pfad = AccessKopie(t, "empty.mdb");
    auto zeilen = Prüfzeilen(100000);
    for (auto& z : zeilen) z[11] = Variante::Null();  // the memo's long pages are tested above
    Öffnen(pfad, u"")->Schreiben(NeueTabelle(Prüftabelle(u"Adressen"), zeilen));
    GleicheZeilen(AlleZeilen(*Öffnen(pfad, u""), u"Adressen"), zeilen);
    StrukturGesund(pfad);
    EXPECT_EQ(fremd::MdbExport(pfad, "Adressen").zeilen.size(), zeilen.size());
}

// One write-back after the other, each adding tables, until the catalogue's index pages
// have split several times.
TEST(Jet4Schreiben, VieleTabellenNacheinander) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis t;
    const std::string pfad = AccessKopie(t, "sample-adressen.mdb");
    int nr = 0;
    for (int runde = 0; runde < 6; ++runde) {
        auto treiber = Öffnen(pfad, u"");
        Rückschrift r;
        for (int k = 0; k < 40; ++k, ++nr) {
            TabellenBeschreibung b;
            b.name = u"Tabelle mit einem recht langen Namen Nummer " + ausUtf8(std::to_string(nr)) + u" äöü";
            b.felder = {Feld(u"Wert", dbText, 100)};
            r.tabellen.push_back(eintrag(b, Zustand::neu, u"", {{Variante(b.name)}}));
        }
        treiber->Schreiben(r);
    }
    auto treiber = Öffnen(pfad, u"");
    EXPECT_EQ(treiber->StrukturLesen().tabellen.size(), 1u + 240u);
    const Text letzte = u"Tabelle mit einem recht langen Namen Nummer 239 äöü";
    GleicheZeilen(AlleZeilen(*treiber, letzte), {{Variante(letzte)}});
    StrukturGesund(pfad);
    EXPECT_EQ(fremd::MdbTabellen(pfad).size(), 241u);
    EXPECT_EQ(fremd::MdbReaderLesen(pfad, nachUtf8(letzte)).at(0).zeilen.size(), 1u);
}

TEST(Jet4Schreiben, WasNichtGeschriebenWirdSagtWarum) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis t;
    {
        const std::string pfad = AccessKopie(t, "testV1997.mdb");
        auto treiber = Öffnen(pfad, u"");
        EXPECT_FALSE(treiber->Schreibbar());
        EXPECT_NE(treiber->SchreibschutzGrund().find(u"Jet 3"), Text::npos) << nachUtf8(treiber->SchreibschutzGrund());
    }
    {
        // The fixtures themselves are marked read-only.
        auto treiber = Öffnen(kAccessOrdner + "sample-adressen.mdb", u"");
        EXPECT_FALSE(treiber->Schreibbar());
        EXPECT_NE(treiber->SchreibschutzGrund().find(u"schreibgeschützt"), Text::npos);
    }
    {
        // Opened read-only: no reason of its own, the engine says it.
        const std::string pfad = AccessKopie(t, "empty.mdb");
        EXPECT_FALSE(access::TreiberÖffnen(ausUtf8(pfad), u"", true)->Schreibbar());
    }
    {
        // A change to a table of the user's is refused, the file untouched.
        const std::string pfad = AccessKopie(t, "sample-adressen.mdb");
        const std::string vorher = Lesen(pfad);
        auto treiber = Öffnen(pfad, u"");
        const auto b = treiber->StrukturLesen().tabellen.front();
        Rückschrift r;
        r.tabellen.push_back(eintrag(b, Zustand::geändert, b.name, {}));
        try {
            treiber->Schreiben(r);
            ADD_FAILURE() << "changed a table";
        } catch (const LaufzeitFehler& e) {
            EXPECT_EQ(e.Nummer(), 3027);
            EXPECT_NE(e.Beschreibung().find(b.name), Text::npos);
        }
        EXPECT_EQ(Lesen(pfad), vorher);
    }
}

// A write-back ended at any step leaves the file as it was or complete, never between.
TEST(Jet4Schreiben, EinAbbruchLässtDieDateiGanz) {
    ACCESS_FIXTUREN_NOETIG();
    for (int nach = 1; nach <= 4; ++nach) {
        SCOPED_TRACE("killed after step " + std::to_string(nach));
        TempVerzeichnis t;
        const std::string pfad = AccessKopie(t, "sample-adressen.mdb");
        const std::string vorher = Lesen(pfad);
        std::fflush(nullptr);
        const pid_t kind = fork();
        ASSERT_GE(kind, 0);
        if (kind == 0) {
            int schritt = 0;
            gSchreibHaken = [&](std::string_view) {
                if (++schritt == nach) _exit(0);
            };
            try {
                Öffnen(pfad, u"")->Schreiben(NeueTabelle(Prüftabelle(u"neu"), Prüfzeilen(20)));
            } catch (...) {
                _exit(2);
            }
            _exit(1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(kind, &status, 0), kind);
        ASSERT_TRUE(WIFEXITED(status));
        auto treiber = Öffnen(pfad, u"");  // completes or discards what the kill left
        const bool vollständig = Lesen(pfad) != vorher;
        if (vollständig) GleicheZeilen(AlleZeilen(*treiber, u"neu"), Prüfzeilen(20));
        else EXPECT_EQ(treiber->StrukturLesen().tabellen.size(), 1u);
        for (const auto& e : fs::directory_iterator(t.pfad()))
            EXPECT_EQ(e.path().filename().string().find(".purivo-"), std::string::npos) << e.path();
    }
}

// Through the engine, as the program writes its result tables.
TEST(Jet4Schreiben, ErgebnistabelleÜberDieEngine) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis t;
    const std::string pfad = AccessKopie(t, "sample-adressen.mdb");
    auto ws = dao::CreateWorkspace(u"", u"admin", u"");
    {
        auto db = ws->OpenDatabase(ausUtf8(pfad), false, false, u";PWD=;");
        auto quelle = db->TableDefs()[u"Adressen"];
        auto ziel = db->CreateTableDef(u"Adressen korrigiert");
        for (int32_t i = 0; i < quelle->Fields().Count(); ++i) {
            const auto f = quelle->Fields()[i];
            auto neu = ziel->CreateField(f->Name(), f->Type(), f->Size());
            neu->AllowZeroLength(f->AllowZeroLength());
            neu->Required(f->Required());
            ziel->Fields().Append(neu);
        }
        db->TableDefs().Append(ziel);
        auto von = db->OpenRecordset(u"Adressen");
        auto nach = db->OpenRecordset(u"Adressen korrigiert");
        for (; !von->EOF_(); von->MoveNext()) {
            nach->AddNew();
            for (int32_t i = 0; i < quelle->Fields().Count(); ++i) nach->Fields()[i]->Value(von->Fields()[i]->Value());
            nach->Update();
        }
        von->Close();
        nach->Close();
        db->Close();
    }
    auto treiber = Öffnen(pfad, u"");
    GleicheZeilen(AlleZeilen(*treiber, u"Adressen korrigiert"), AlleZeilen(*treiber, u"Adressen"));
}

// ---- Dropping, renaming and replacing tables ----

std::shared_ptr<dao::Database> EngineÖffnen(const std::string& pfad, const Text& passwort) {
    static auto ws = dao::CreateWorkspace(u"", u"admin", u"");
    return ws->OpenDatabase(ausUtf8(pfad), false, false, u";PWD=" + passwort + u";");
}

// A result table as the operations make one: a key, a text and a memo.
void ErgebnisAnlegen(dao::Database& db, const Text& name, const std::vector<std::vector<Variante>>& zeilen) {
    auto t = db.CreateTableDef(name);
    t->Fields().Append(t->CreateField(u"Nr", dbLong, 4));
    t->Fields().Append(t->CreateField(u"Name", dbText, 50));
    t->Fields().Append(t->CreateField(u"Notiz", dbMemo, 0));
    auto ix = t->CreateIndex(u"PrimaryKey");
    ix->Fields().Append(ix->CreateField(u"Nr"));
    ix->Primary(true);
    ix->Unique(true);
    t->Indexes().Append(ix);
    db.TableDefs().Append(t);
    auto rs = db.OpenRecordset(name);
    for (const auto& z : zeilen) {
        rs->AddNew();
        for (size_t k = 0; k < z.size(); ++k) rs->Fields()[static_cast<int32_t>(k)]->Value(z[k]);
        rs->Update();
    }
    rs->Close();
}

std::vector<std::vector<Variante>> Ergebniszeilen(int n, const Text& art) {
    std::vector<std::vector<Variante>> z;
    for (int i = 0; i < n; ++i)
        z.push_back({Variante(int32_t(i + 1)), Variante(art + u" Müller " + ausUtf8(std::to_string(i))),
                     i == 3 ? Variante(Text(5000, u'ß')) : Variante(u"Notiz " + art)});
    return z;
}

// mdb-export's view of every listed table, to tell that the ones not touched stayed so.
std::map<std::string, std::vector<fremd::Zeile>> Bestand(const std::string& pfad, const std::set<std::string>& ohne) {
    std::map<std::string, std::vector<fremd::Zeile>> b;
    for (const auto& name : fremd::MdbTabellen(pfad))
        if (!ohne.count(name)) b[name] = fremd::MdbExport(pfad, name).zeilen;
    return b;
}

// Through the engine on a copy of each Access file: a result table added, renamed,
// replaced by one of the same name in other case, and dropped; after each write-back
// the foreign readers see exactly that, the file is sound and the rest is as it was.
TEST(Jet4Schreiben, LöschenUmbenennenErsetzenInJederDatei) {
    ACCESS_FIXTUREN_NOETIG();
    for (const std::string& datei : kJet4Dateien) {
        SCOPED_TRACE(datei);
        const Text passwort = Kennwort(datei);
        TempVerzeichnis t;
        const std::string pfad = AccessKopie(t, datei);
        const auto vorher = Bestand(pfad, {});
        std::vector<std::string> tabellen = fremd::MdbTabellen(pfad);
        const auto prüfen = [&](const std::string& schritt, const Text& name,
                                const std::vector<std::vector<Variante>>& soll) {
            SCOPED_TRACE(schritt);
            std::vector<std::string> erwartet = tabellen;
            if (!name.empty()) erwartet.push_back(nachUtf8(name));
            EXPECT_EQ(fremd::MdbTabellen(pfad), erwartet);
            if (!name.empty()) FremdGleich(pfad, name, soll, nachUtf8(passwort));
            StrukturGesund(pfad);
            EXPECT_TRUE(Bestand(pfad, {nachUtf8(name)}) == vorher) << "the other tables changed";
        };
        auto db = EngineÖffnen(pfad, passwort);
        ErgebnisAnlegen(*db, u"Ergebnis Ä", Ergebniszeilen(30, u"erst"));
        db->Flush();
        prüfen("angelegt", u"Ergebnis Ä", Ergebniszeilen(30, u"erst"));

        db->TableDefs()[u"Ergebnis Ä"]->Name(u"Ergebnis Öl");
        db->Flush();
        prüfen("umbenannt", u"Ergebnis Öl", Ergebniszeilen(30, u"erst"));
        EXPECT_NE(fremd::MdbSchema(pfad, "Ergebnis Öl").find("[Notiz]"), std::string::npos);

        db->TableDefs().Delete(u"Ergebnis Öl");
        ErgebnisAnlegen(*db, u"ERGEBNIS ÖL", Ergebniszeilen(12, u"zweit"));
        db->Flush();
        prüfen("ersetzt", u"ERGEBNIS ÖL", Ergebniszeilen(12, u"zweit"));

        db->TableDefs().Delete(u"ERGEBNIS ÖL");
        db->Close();
        prüfen("gelöscht", u"", {});
        EXPECT_NO_THROW(EngineÖffnen(pfad, passwort)->Close());
    }
}

// Tables of the user's renamed, two of them swapped through a third name, in one
// write-back: rows stay, the relation rows name the tables by their new names.
TEST(Jet4Schreiben, BestehendeTabellenUmbenennen) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis t;
    const std::string pfad = AccessKopie(t, "indexTestV2000.mdb");
    const auto vorher = Bestand(pfad, {});
    {
        auto db = EngineÖffnen(pfad, u"");
        db->TableDefs()[u"Table2"]->Name(u"Zweite Tabelle ä");
        db->TableDefs()[u"Table1"]->Name(u"Zwischen");
        db->TableDefs()[u"Table3"]->Name(u"Table1");
        db->TableDefs()[u"Zwischen"]->Name(u"Table3");
        db->Close();
    }
    StrukturGesund(pfad);
    const auto nachher = Bestand(pfad, {});
    EXPECT_TRUE(nachher.at("Zweite Tabelle ä") == vorher.at("Table2"));
    EXPECT_TRUE(nachher.at("Table3") == vorher.at("Table1"));
    EXPECT_TRUE(nachher.at("Table1") == vorher.at("Table3"));
    EXPECT_EQ(nachher.size(), vorher.size());
    std::set<std::pair<std::string, std::string>> enden;
    const auto beziehungen = fremd::MdbExport(pfad, "MSysRelationships");
    size_t objekt = 0, bezogen = 0, name = 0;
    for (size_t i = 0; i < beziehungen.spalten.size(); ++i) {
        if (beziehungen.spalten[i] == "szObject") objekt = i;
        if (beziehungen.spalten[i] == "szReferencedObject") bezogen = i;
        if (beziehungen.spalten[i] == "szRelationship") name = i;
    }
    for (const auto& z : beziehungen.zeilen)
        if (z.at(name)->rfind("MSys", 0) != 0) enden.insert({*z.at(objekt), *z.at(bezogen)});
    EXPECT_EQ(enden,
              (std::set<std::pair<std::string, std::string>>{{"Table3", "Zweite Tabelle ä"}, {"Table3", "Table1"}}));
    auto db = EngineÖffnen(pfad, u"");
    EXPECT_EQ(db->Relations()[u"Table2Table1"]->Table(), u"Zweite Tabelle ä");
    EXPECT_EQ(db->Relations()[u"Table2Table1"]->ForeignTable(), u"Table3");
    EXPECT_EQ(fremd::MdbReaderLesen(pfad, "Zweite Tabelle ä").at(0).zeilen.size(), vorher.at("Table2").size());
}

// A table of the user's dropped: its pages are free, and the next table takes them.
TEST(Jet4Schreiben, GelöschteTabelleGibtIhreSeitenFrei) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis t;
    const std::string pfad = AccessKopie(t, "sample-adressen.mdb");
    const auto größeVorher = fs::file_size(pfad);
    const auto freieSeiten = [&] {
        jet4::Datei d(DateiBytes(pfad));
        const auto frei = jet4::Nutzungskarte(d, {1, 0}).Seiten();
        return std::count_if(frei.begin(), frei.end(), [&](uint32_t s) { return s < d.Seitenzahl(); });
    };
    const auto freiVorher = freieSeiten();
    std::vector<std::vector<Variante>> zeilen;
    TabellenBeschreibung b;
    {
        auto treiber = Öffnen(pfad, u"");
        zeilen = AlleZeilen(*treiber, u"Adressen");
        b = treiber->StrukturLesen().tabellen.at(0);
        Rückschrift r;
        r.gelöscht = {u"Adressen"};
        treiber->Schreiben(r);
        EXPECT_TRUE(treiber->StrukturLesen().tabellen.empty());
    }
    EXPECT_TRUE(fremd::MdbTabellen(pfad).empty());
    EXPECT_GT(freieSeiten(), freiVorher + 5);
    for (const auto& p : Jet4Prüfen(DateiBytes(pfad))) ADD_FAILURE() << p;
    {
        auto treiber = Öffnen(pfad, u"");
        treiber->Schreiben(NeueTabelle(b, zeilen));
        GleicheZeilen(AlleZeilen(*treiber, u"Adressen"), zeilen);
    }
    EXPECT_LE(fs::file_size(pfad), größeVorher);
    StrukturGesund(pfad);
}

// What the writer does not do is refused at the first step, and the file stays as it was.
TEST(Jet4Schreiben, BestehendeTabellenUndBeziehungenBleiben) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis t;
    const std::string pfad = AccessKopie(t, "indexTestV2000.mdb");
    const std::string vorher = Lesen(pfad);
    const auto abgelehnt = [](const std::function<void()>& schritt, int32_t nummer, const Text& grund) {
        try {
            schritt();
            ADD_FAILURE() << "not refused: " << nachUtf8(grund);
        } catch (const LaufzeitFehler& e) {
            EXPECT_EQ(e.Nummer(), nummer) << nachUtf8(e.Beschreibung());
            EXPECT_NE(e.Beschreibung().find(grund), Text::npos) << nachUtf8(e.Beschreibung());
        }
    };
    {
        auto db = EngineÖffnen(pfad, u"");
        const Text bestand = u"bestehende Tabellen ändert es nicht";
        auto rs = db->OpenRecordset(u"Table2");
        abgelehnt([&] { rs->Edit(); }, 3027, bestand);
        abgelehnt([&] { rs->AddNew(); }, 3027, bestand);
        rs->Close();
        abgelehnt([&] { db->Execute(u"DELETE FROM [Table2]"); }, 3027, bestand);
        abgelehnt(
            [&] {
                db->TableDefs()[u"Table3"]->Fields().Append(db->TableDefs()[u"Table3"]->CreateField(u"x", dbText, 5));
            },
            3027, bestand);
        abgelehnt([&] { db->Relations().Delete(u"Table2Table1"); }, 3027, u"referentielle Integrität");
        abgelehnt([&] { db->TableDefs().Delete(u"Table2"); }, 3303, u"Table2");
        ErgebnisAnlegen(*db, u"Neu", Ergebniszeilen(3, u"n"));
        auto r = db->CreateRelation(u"NeuTable1", u"Neu", u"Table1", 0);
        auto f = r->CreateField(u"Nr");
        f->ForeignName(u"otherfk3");
        r->Fields().Append(f);
        abgelehnt([&] { db->Relations().Append(r); }, 3027, u"keine Beziehungen");
        db->TableDefs().Delete(u"Neu");
        db->Close();
    }
    EXPECT_TRUE(Lesen(pfad) == vorher);
    {
        // Read-only by its mode: refused at the first change, also for root.
        fs::permissions(pfad, fs::perms::owner_read);
        auto db = EngineÖffnen(pfad, u"");
        abgelehnt([&] { db->TableDefs()[u"Table1"]->Name(u"anders"); }, 3027, u"schreibgeschützt");
        abgelehnt([&] { ErgebnisAnlegen(*db, u"Neu", {}); }, 3027, u"schreibgeschützt");
        db->Close();
    }
    EXPECT_TRUE(Lesen(pfad) == vorher);
}

// Many rounds of adding a big table and dropping it again: freed pages are taken again,
// so the file keeps its size.
TEST(Jet4Schreiben, HinzufügenUndLöschenImWechselWächstNicht) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis t;
    const std::string pfad = AccessKopie(t, "empty.mdb");
    TabellenBeschreibung b;
    b.name = u"Zwischenergebnis";
    b.felder = {Feld(u"Nr", dbLong, 4), Feld(u"Name", dbText, 60), Feld(u"Ort", dbText, 40)};
    b.indizes = {{u"PrimaryKey", {u"Nr"}, true, true}, {u"Name", {u"Name"}, false, false}};
    std::vector<std::vector<Variante>> zeilen;
    for (int i = 0; i < 10000; ++i)
        zeilen.push_back({Variante(int32_t(i)), Variante(u"Name Nummer " + ausUtf8(std::to_string(i * 7919 % 10000))),
                          Variante(i % 5 ? Variante(u"Köln") : Variante::Null())});
    auto treiber = Öffnen(pfad, u"");
    {
        // A table beyond an inline map's reach keeps its pages in map pages, which go too.
        std::vector<std::vector<Variante>> viele;
        for (int i = 0; i < 60000; ++i)
            viele.push_back({Variante(int32_t(i)), Variante(Text(40, u'x')), Variante(u"Ort")});
        treiber->Schreiben(NeueTabelle(b, viele));
        jet4::Datei d(DateiBytes(pfad));
        const jet4::Tabellendef def = jet4::TabelleLesen(d, jet4::TabelleFinden(d, b.name).first);
        EXPECT_FALSE(jet4::Nutzungskarte(d, def.belegt).Kartenseiten().empty());
        const auto größe = fs::file_size(pfad);
        Rückschrift weg;
        weg.gelöscht = {b.name};
        treiber->Schreiben(weg);
        StrukturGesund(pfad);
        treiber->Schreiben(NeueTabelle(b, viele));
        EXPECT_LE(fs::file_size(pfad), größe);
        treiber->Schreiben(weg);
    }
    uintmax_t nachErsterRunde = 0;
    for (int runde = 1; runde <= 50; ++runde) {
        treiber->Schreiben(NeueTabelle(b, zeilen));
        Rückschrift weg;
        weg.gelöscht = {b.name};
        treiber->Schreiben(weg);
        if (runde == 1) nachErsterRunde = fs::file_size(pfad);
    }
    EXPECT_LE(fs::file_size(pfad), nachErsterRunde * 3 / 2);
    treiber->Schreiben(NeueTabelle(b, zeilen));
    EXPECT_EQ(fremd::MdbExport(pfad, "Zwischenergebnis").zeilen.size(), 10000u);
    StrukturGesund(pfad);
}

// A write-back of a drop and a rename cut off (killed) or failing (the file size limit
// a full disk stands for): the file is as it was or as written, never between; the
// failure is an error with a German text.
TEST(Jet4Schreiben, LöschenUndUmbenennenAbgebrochenOderOhnePlatz) {
    ACCESS_FIXTUREN_NOETIG();
    const auto umbau = [](const std::string& pfad) {
        auto treiber = Öffnen(pfad, u"");
        Rückschrift r;
        r.gelöscht = {u"Zweite"};
        for (const auto& b : treiber->StrukturLesen().tabellen) {
            if (b.name == u"Zweite") continue;
            Rückschrift::Tabelle e;
            e.beschreibung = b;
            e.alterName = b.name;
            if (b.name == u"Adressen") e.beschreibung.name = u"Erste";
            r.tabellen.push_back(std::move(e));
        }
        treiber->Schreiben(r);
    };
    for (int nach = 0; nach <= 4; ++nach) {
        SCOPED_TRACE(nach == 0 ? std::string("file size limit") : "killed after step " + std::to_string(nach));
        TempVerzeichnis t;
        const std::string pfad = AccessKopie(t, "sample-adressen.mdb");
        Öffnen(pfad, u"")->Schreiben(NeueTabelle(Prüftabelle(u"Zweite"), Prüfzeilen(20)));
        const std::string vorher = Lesen(pfad);
        std::fflush(nullptr);
        const pid_t kind = fork();
        ASSERT_GE(kind, 0);
        if (kind == 0) {
            int schritt = 0;
            if (nach == 0) {
                signal(SIGXFSZ, SIG_IGN);
                const rlimit grenze{vorher.size() / 2, vorher.size() / 2};
                if (setrlimit(RLIMIT_FSIZE, &grenze) != 0) _exit(3);
            } else {
                gSchreibHaken = [&](std::string_view) {
                    if (++schritt == nach) _exit(0);
                };
            }
            try {
                umbau(pfad);
            } catch (const LaufzeitFehler& e) {
                _exit(nach == 0 && !e.Beschreibung().empty() ? 0 : 2);
            }
            _exit(1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(kind, &status, 0), kind);
        ASSERT_TRUE(WIFEXITED(status));
        // 0: failed with a message, or killed; 1: done, the write-back has fewer steps.
        if (nach == 0) ASSERT_EQ(WEXITSTATUS(status), 0);
        else ASSERT_LE(WEXITSTATUS(status), 1);
        auto treiber = Öffnen(pfad, u"");  // completes or discards what the kill left
        std::set<Text> namen;
        for (const auto& b : treiber->StrukturLesen().tabellen) namen.insert(b.name);
        if (Lesen(pfad) == vorher) {
            EXPECT_EQ(namen, (std::set<Text>{u"Adressen", u"Zweite"}));
        } else {
            EXPECT_NE(nach, 0);
            EXPECT_EQ(namen, (std::set<Text>{u"Erste"}));
            StrukturGesund(pfad);
        }
        for (const auto& e : fs::directory_iterator(t.pfad()))
            EXPECT_EQ(e.path().filename().string().find(".purivo-"), std::string::npos) << e.path();
    }
}

}  // namespace
