#include "platform/dao/storage/dbase/DbaseTreiber.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <map>
#include <set>

#include "platform/dao/DaoFehler.h"
#include "platform/dao/DaoGrundlagen.h"
#include "platform/dao/storage/Dateisatz.h"
#include "platform/dao/storage/dbase/DbfDatei.h"

namespace dao::speicher::dbase {
namespace {

std::string klein(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

Text systemFehler() { return ausUtf8(std::strerror(errno)); }

struct Eintrag {
    Text name;                   // the file's name without extension, as on disk
    std::string dbf, memo, cpg;  // paths; "" when there is no such file
    std::string codepage;
    DbfKopf kopf;
    double geändert = 0;                               // the file's time as a date value
    Dateikennung dbfKennung, memoKennung, cpgKennung;  // the files as they were read
};

double DatumAusZeit(std::time_t zeit) {
    std::tm tm{};
    if (!localtime_r(&zeit, &tm)) return 0;
    using namespace std::chrono;
    const sys_days tag{year{tm.tm_year + 1900} / (tm.tm_mon + 1) / tm.tm_mday};
    const double tage = static_cast<double>((tag - sys_days{year{1899} / 12 / 30}).count());
    return tage + (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) / 86400.0;
}

DbfFeld Standardfeld(const FeldBeschreibung& f) {
    DbfFeld d;
    d.name = f.name;
    switch (f.typ) {
        case dbText:
            d.typ = 'C';
            d.breite = static_cast<uint16_t>(std::clamp(f.größe > 0 ? f.größe : 50, 1, 255));
            break;
        case dbBoolean:
            d.typ = 'L';
            d.breite = 1;
            break;
        case dbByte:
            d.typ = 'N';
            d.breite = 3;
            break;
        case dbInteger:
            d.typ = 'N';
            d.breite = 6;
            break;
        case dbLong:
            d.typ = 'N';
            d.breite = 11;
            break;
        case dbCurrency:
            d.typ = 'N';
            d.breite = 20;
            d.dezimalen = 4;
            break;
        case dbSingle:
            d.typ = 'N';
            d.breite = 20;
            d.dezimalen = 6;
            break;
        case dbDouble:
            d.typ = 'N';
            d.breite = 20;
            d.dezimalen = 8;
            break;
        case dbDate:
        case dbTime:
            d.typ = 'D';
            d.breite = 8;
            break;
        default:
            d.typ = 'M';
            d.breite = 10;
            break;  // Memo and what has no dBase form
    }
    return d;
}

class DbaseTreiber final : public Speichertreiber {
public:
    DbaseTreiber(std::string ordner, bool nurLesen) : ordner_(std::move(ordner)), nurLesen_(nurLesen) {
        struct stat st {};
        if (ordner_.empty() || ::stat(ordner_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            FehlerAuslösen(fehler::PfadUngültig,
                           u"'" + ausUtf8(ordner_) +
                               u"' ist kein zulässiger Pfad. Stellen Sie sicher, dass der Pfad richtig "
                               u"geschrieben ist und dass eine Verbindung mit dem Server besteht, auf dem "
                               u"sich die Datei befindet.");
        while (ordner_.size() > 1 && ordner_.back() == '/') ordner_.pop_back();
        OrdnerAufräumen(ordner_);
    }

    Struktur StrukturLesen() override {
        auflisten();
        Struktur s;
        for (const auto& e : tabellen_) {
            TabellenBeschreibung t;
            t.name = e.name;
            t.geändert = e.geändert;
            for (const auto& f : e.kopf.felder) {
                const JetTyp j = JetTypVon(f);
                FeldBeschreibung b;
                b.name = f.name;
                b.typ = j.typ;
                b.größe = j.größe;
                t.felder.push_back(std::move(b));  // "" and blanks are one in a dBase field
            }
            s.tabellen.push_back(std::move(t));
        }
        return s;
    }

    void ZeilenLesen(const TabellenBeschreibung& tabelle, const Zeilenziel& ziel) override {
        Eintrag* e = finden(tabelle.name);
        if (!e)
            FehlerAuslösen(fehler::ObjektNichtGefunden, u"Das Objekt '" + tabelle.name + u"' wurde nicht gefunden.");
        const Text datei = ausUtf8(e->dbf);
        const std::string daten = DateiLesen(e->dbf, e->dbfKennung);
        const Zeichensatz zs(e->codepage);
        e->kopf = KopfLesen(daten, e->dbfKennung.größe, datei, zs);  // the file as it is now
        // Read-only, a cut file gives what it holds; open for writing, the missing records
        // would be lost at the write-back.
        if (!nurLesen_ && e->kopf.anzahl < e->kopf.anzahlKopf)
            FehlerAuslösen(fehler::FormatUnbekannt, u"Die Datei '" + datei +
                                                        u"' ist beschädigt oder abgeschnitten: ihr Kopf nennt " +
                                                        ausUtf8(std::to_string(e->kopf.anzahlKopf)) +
                                                        u" Datensätze, vollständig "
                                                        u"lesbar sind nur " +
                                                        ausUtf8(std::to_string(e->kopf.anzahl)) +
                                                        u". Sie kann nur schreibgeschützt geöffnet werden.");
        Memodaten memo;
        std::string memoBytes;
        if (!e->memo.empty()) {
            memoBytes = DateiLesen(e->memo, e->memoKennung);
            memo.vorhanden = true;
            memo.daten = memoBytes;
            memo.datei = ausUtf8(e->memo);
        }
        // The engine's fields by name onto the file's.
        std::vector<size_t> quelle;
        for (const auto& f : tabelle.felder) {
            const Text k = NamenSchlüssel(f.name);
            const auto it = std::find_if(e->kopf.felder.begin(), e->kopf.felder.end(),
                                         [&](const DbfFeld& d) { return NamenSchlüssel(d.name) == k; });
            if (it == e->kopf.felder.end())
                FehlerAuslösen(fehler::NichtInAuflistung,
                               u"Das Feld '" + f.name + u"' fehlt in der Datei '" + datei + u"'.");
            quelle.push_back(static_cast<size_t>(it - e->kopf.felder.begin()));
        }
        std::vector<Variante> zeile(quelle.size());
        SätzeLesen(e->kopf, daten, memo, zs, datei, [&](const std::vector<Variante>& werte) {
            for (size_t i = 0; i < quelle.size(); ++i) zeile[i] = werte[quelle[i]];
            ziel(zeile);
        });
    }

    bool Schreibbar() const override { return !nurLesen_ && SchreibschutzGrund().empty(); }

    Text SchreibschutzGrund() const override {
        if (nurLesen_) return {};
        if (!Beschreibbar(ordner_))
            return u"Der Ordner '" + ausUtf8(ordner_) +
                   u"' ist schreibgeschützt; seine dBase-Tabellen können nur gelesen werden.";
        // A write-back replaces whole files: one marked read-only makes the folder read-only.
        for (const auto& e : tabellen_)
            for (const std::string* p : {&e.dbf, &e.memo, &e.cpg})
                if (!p->empty() && ::access(p->c_str(), F_OK) == 0 && !Beschreibbar(*p))
                    return u"Die Datei '" + ausUtf8(*p) + u"' ist schreibgeschützt; die dBase-Tabellen des Ordners '" +
                           ausUtf8(ordner_) + u"' können nur gelesen werden.";
        return {};
    }

    void TabellennamePrüfen(TextSicht name) const override {
        const bool gut = !name.empty() && name.size() <= 8 && name.front() != u' ' &&
                         std::none_of(name.begin(), name.end(), [](char16_t c) {
                             return c < 0x20 || TextSicht(u":/\\*?[].").find(c) != TextSicht::npos;
                         });
        if (!gut)
            FehlerAuslösen(fehler::NameUngültig,
                           u"'" + Text(name) +
                               u"' ist kein zulässiger Name für eine dBase-Tabelle: höchstens 8 Zeichen, "
                               u"keines von : / \\ * ? [ ] und kein Punkt.");
    }

    void Schreiben(const Rückschrift& r) override {
        if (nurLesen_) FehlerAuslösen(fehler::Schreibgeschützt, u"Die Datenbank oder das Objekt ist schreibgeschützt.");
        if (const Text grund = SchreibschutzGrund(); !grund.empty()) FehlerAuslösen(fehler::Schreibgeschützt, grund);
        Dateisatz satz(ordner_);
        std::vector<std::string> entfernen;

        for (const auto& t : r.tabellen) {
            const Eintrag* alt = t.zustand == Rückschrift::Zustand::neu ? nullptr : finden(t.alterName);
            const bool umbenannt = alt && alt->name != t.beschreibung.name;
            if (alt && !umbenannt && t.zustand == Rückschrift::Zustand::unverändert) continue;

            const std::string stamm = ordner_ + "/" + nachUtf8(t.beschreibung.name);
            std::string dbfZiel = stamm + ".dbf", memoZiel = stamm + ".dbt";
            if (alt && !umbenannt) {
                dbfZiel = alt->dbf;  // the spelling on disk stays
                const std::string endung = dbfZiel.substr(dbfZiel.size() - 4);
                const std::string dbt = endung == ".DBF" ? ".DBT" : ".dbt";
                memoZiel = alt->memo.empty() ? dbfZiel.substr(0, dbfZiel.size() - 4) + dbt : alt->memo;
                if (klein(memoZiel).ends_with(".fpt"))
                    memoZiel.replace(memoZiel.size() - 4, 4, dbt);  // FoxPro becomes dBase IV
            }
            // A new table takes what its source holds, when it is a structure copy of one.
            const Eintrag* vorlage = alt ? alt : vorlageFür(t.beschreibung);
            const std::string codepage = vorlage ? vorlage->codepage : "windows-1252";
            const Zeichensatz zs(codepage);
            uint8_t treiber = SprachtreiberFür(codepage);
            const bool altDbase =
                vorlage && (vorlage->kopf.format == Format::dBase3 || vorlage->kopf.format == Format::dBase4);
            // The byte stays as it was, also a 0 (no language driver: the default or the .cpg decides).
            if (altDbase &&
                (vorlage->kopf.sprachtreiber == 0 || CodepageAusSprachtreiber(vorlage->kopf.sprachtreiber) == codepage))
                treiber = vorlage->kopf.sprachtreiber;

            std::vector<DbfFeld> felder;
            for (const auto& f : t.beschreibung.felder) felder.push_back(feldFür(f, vorlage));
            DbfSchreiber s(std::move(felder), treiber, vorlage && vorlage->kopf.version == 0x83, zs, ausUtf8(dbfZiel),
                           nachUtf8(t.beschreibung.name));
            t.zeilen([&](const std::vector<Variante>& zeile) { s.Zeile(zeile); });

            if (s.HatMemo()) {
                zielPrüfen(memoZiel);
                satz.Ersetzen(memoZiel, s.MemoBytes());
            }
            // A renamed table and a structure copy carry the .cpg that names their code page.
            const Eintrag* cpgQuelle = umbenannt ? alt : alt ? nullptr : vorlage;
            if (cpgQuelle && !cpgQuelle->cpg.empty()) {
                const std::string cpgZiel = stamm + ".cpg";
                zielPrüfen(cpgZiel);
                Dateikennung k;
                const std::string cpg = DateiLesen(cpgQuelle->cpg, k);
                KennungPrüfen(cpgQuelle->cpg, cpgQuelle->cpgKennung);
                satz.Ersetzen(cpgZiel, cpg);
            }
            zielPrüfen(dbfZiel);
            satz.Ersetzen(dbfZiel, s.DbfBytes());
            if (alt) {
                if (umbenannt) entfernen.insert(entfernen.end(), {alt->dbf, alt->cpg});
                entfernen.push_back(alt->memo);  // kept below when it was just written
            }
        }
        for (const auto& name : r.gelöscht)
            if (const Eintrag* e = finden(name)) entfernen.insert(entfernen.end(), {e->dbf, e->memo, e->cpg});

        for (const auto& p : entfernen)
            if (!p.empty()) {
                zielPrüfen(p);
                satz.Entfernen(p);
            }
        // Every file of every table as one set: after a kill the next open completes it.
        satz.Ausführen();
        auflisten();
    }

private:
    Eintrag* finden(TextSicht name) {
        const Text k = NamenSchlüssel(name);
        for (auto& e : tabellen_)
            if (NamenSchlüssel(e.name) == k) return &e;
        return nullptr;
    }
    const Eintrag* finden(TextSicht name) const { return const_cast<DbaseTreiber*>(this)->finden(name); }

    // A structure copy (the work and result tables) holds every field of its source, in
    // the source's order and with the same types, maybe with fields of its own between
    // them: the largest listed table so contained, none when two tie.
    const Eintrag* vorlageFür(const TabellenBeschreibung& b) const {
        const Eintrag* beste = nullptr;
        size_t besteZahl = 0;
        bool gleichstand = false;
        for (const auto& e : tabellen_) {
            size_t j = 0;
            for (const auto& f : b.felder)
                if (j < e.kopf.felder.size() && NamenSchlüssel(f.name) == NamenSchlüssel(e.kopf.felder[j].name) &&
                    JetTypVon(e.kopf.felder[j]).typ == f.typ)
                    ++j;
            if (j == 0 || j != e.kopf.felder.size()) continue;
            if (j > besteZahl) {
                beste = &e;
                besteZahl = j;
                gleichstand = false;
            } else if (j == besteZahl) {
                gleichstand = true;
            }
        }
        return gleichstand ? nullptr : beste;
    }

    // A file about to be replaced or removed must be the one read; one not listed must not exist.
    void zielPrüfen(const std::string& pfad) const {
        for (const auto& e : tabellen_) {
            if (pfad == e.dbf) return KennungPrüfen(pfad, e.dbfKennung);
            if (pfad == e.memo) return KennungPrüfen(pfad, e.memoKennung);
            if (pfad == e.cpg) return KennungPrüfen(pfad, e.cpgKennung);
        }
        KennungPrüfen(pfad, Dateikennung{});
    }

    // The file's own layout for a field it had with the same type, else the standard one.
    static DbfFeld feldFür(const FeldBeschreibung& f, const Eintrag* alt) {
        if (alt) {
            const Text k = NamenSchlüssel(f.name);
            for (const auto& d : alt->kopf.felder) {
                if (NamenSchlüssel(d.name) != k) continue;
                const JetTyp j = JetTypVon(d);
                const bool writable = d.typ != 'C' || d.breite <= 255;
                if (j.typ == f.typ && writable && (f.typ != dbText || j.größe == f.größe)) {
                    DbfFeld n = d;
                    n.name = f.name;
                    if (n.typ == 'M') n.breite = 10;  // Visual FoxPro's binary block numbers become dBase's
                    return n;
                }
            }
        }
        return Standardfeld(f);
    }

    void auflisten() {
        DIR* dir = ::opendir(ordner_.c_str());
        if (!dir)
            FehlerAuslösen(fehler::EinAusgabe, u"Der Ordner '" + ausUtf8(ordner_) + u"' kann nicht gelesen werden (" +
                                                   systemFehler() + u").");
        std::map<std::string, std::string> dateien;  // lower-case name -> name on disk
        std::vector<std::string> dbfs;
        while (const dirent* d = ::readdir(dir)) {
            const std::string n = d->d_name;
            if (n.empty() || n[0] == '.') continue;
            dateien.emplace(klein(n), n);
            if (n.size() > 4 && klein(n.substr(n.size() - 4)) == ".dbf") dbfs.push_back(n);
        }
        ::closedir(dir);
        std::sort(dbfs.begin(), dbfs.end(), [](const std::string& a, const std::string& b) {
            const Text ka = NamenSchlüssel(ausUtf8(a)), kb = NamenSchlüssel(ausUtf8(b));
            return ka != kb ? ka < kb : a < b;
        });
        std::vector<Eintrag> neu;
        std::set<Text> namen;
        for (const auto& n : dbfs) {
            const std::string pfad = ordner_ + "/" + n;
            struct stat st {};
            if (::stat(pfad.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            Eintrag e;
            e.name = ausUtf8(n.substr(0, n.size() - 4));
            if (!namen.insert(NamenSchlüssel(e.name)).second) continue;  // "A.dbf" beside "a.DBF": the first one
            e.dbf = pfad;
            e.geändert = DatumAusZeit(st.st_mtime);
            const std::string stamm = klein(n.substr(0, n.size() - 4));
            auto nebendatei = [&](const char* endung) {
                const auto it = dateien.find(stamm + endung);
                return it == dateien.end() ? std::string{} : ordner_ + "/" + it->second;
            };
            const Text datei = ausUtf8(pfad);
            const std::string kopf = DateiLesen(pfad, e.dbfKennung, 65536 + 68);
            const uint64_t größe = e.dbfKennung.größe;
            const Vorkopf v = VorkopfLesen(kopf, datei);
            e.cpg = nebendatei(".cpg");
            std::string codepage;
            if (!e.cpg.empty()) codepage = CodepageAusCpg(DateiLesen(e.cpg, e.cpgKennung, 256));
            e.codepage = codepage.empty() ? v.codepage : codepage;
            const Zeichensatz zs(e.codepage);
            e.codepage = zs.name();
            e.kopf = KopfLesen(kopf, größe, datei, zs);
            const bool fox = e.kopf.format == Format::FoxPro || e.kopf.format == Format::VisualFoxPro;
            e.memo = nebendatei(fox ? ".fpt" : ".dbt");
            if (!e.memo.empty()) e.memoKennung = KennungLesen(e.memo);
            neu.push_back(std::move(e));
        }
        tabellen_ = std::move(neu);
    }

    std::string ordner_;
    bool nurLesen_;
    std::vector<Eintrag> tabellen_;
};

}  // namespace

std::unique_ptr<Speichertreiber> TreiberÖffnen(const Text& ordner, bool nurLesen) {
    return std::make_unique<DbaseTreiber>(nachUtf8(ordner), nurLesen);
}

}  // namespace dao::speicher::dbase
