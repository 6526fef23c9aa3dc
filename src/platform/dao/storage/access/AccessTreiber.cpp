#include "platform/dao/storage/access/AccessTreiber.h"

// libmdb needs glib's types before its own header.
#include <glib.h>
#include <mdbtools.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/dao/DaoFehler.h"
#include "platform/dao/DaoGrundlagen.h"
#include "platform/dao/DaoIntern.h"
#include "platform/dao/storage/Dateisatz.h"
#include "platform/dao/storage/access/AccessKopf.h"
#include "platform/dao/storage/access/jet4/Jet4Katalog.h"
#include "platform/dao/storage/access/jet4/Jet4Schreiber.h"
#include "platform/dao/storage/access/jet4/Jet4Zeilen.h"

namespace dao::speicher::access {
namespace {

constexpr int kOffsetMaske = 0x1FFF;  // row offsets on a data page carry flags above

Text Name(const char* utf8) { return ausUtf8(utf8 ? std::string_view(utf8) : std::string_view()); }

[[noreturn]] void Beschädigt(const Text& datei) {
    dao::FehlerAuslösen(fehler::FormatUnbekannt, u"Die Datei '" + datei + u"' ist unvollständig oder beschädigt.");
}

uint64_t LeserLE(const uint8_t* p, int n) {
    uint64_t w = 0;
    for (int k = n - 1; k >= 0; --k) w = (w << 8) | p[k];
    return w;
}

double DoubleLE(const uint8_t* p) {
    const uint64_t w = LeserLE(p, 8);
    double d;
    std::memcpy(&d, &w, sizeof d);
    return d;
}

float SingleLE(const uint8_t* p) {
    const auto w = static_cast<uint32_t>(LeserLE(p, 4));
    float f;
    std::memcpy(&f, &w, sizeof f);
    return f;
}

int16_t JetTyp(int libmdbTyp) {
    switch (libmdbTyp) {
        case MDB_REPID: return 15;                        // dbGUID
        case MDB_NUMERIC: return 20;                      // dbDecimal
        default: return static_cast<int16_t>(libmdbTyp);  // libmdb numbers the others as Jet does
    }
}

int32_t FesteGröße(int libmdbTyp) {
    switch (libmdbTyp) {
        case MDB_BOOL:
        case MDB_BYTE: return 1;
        case MDB_INT: return 2;
        case MDB_LONGINT:
        case MDB_FLOAT: return 4;
        case MDB_MONEY:
        case MDB_DOUBLE:
        case MDB_DATETIME: return 8;
        case MDB_REPID: return 16;
        case MDB_NUMERIC: return 17;
        default: return 0;
    }
}

bool EigenschaftJa(const MdbColumn* spalte, const char* name, bool vorgabe) {
    const char* wert = mdb_col_get_prop(spalte, name);
    if (!wert) return vorgabe;
    return g_ascii_strcasecmp(wert, "yes") == 0 || g_ascii_strcasecmp(wert, "true") == 0 ||
           std::strcmp(wert, "1") == 0 || std::strcmp(wert, "-1") == 0;
}

struct TabelleFreigabe {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};
using TabellePtr = std::unique_ptr<MdbTableDef, TabelleFreigabe>;

MdbColumn* Spalte(MdbTableDef* t, unsigned int i) { return static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i)); }

class AccessTreiber final : public Speichertreiber {
public:
    AccessTreiber(Text datei, JetKopf kopf, MdbHandle* mdb, bool nurLesen = true)
        : datei_(std::move(datei)), kopf_(std::move(kopf)), mdb_(mdb), nurLesen_(nurLesen) {
        KatalogLesen();
    }
    ~AccessTreiber() override { mdb_close(mdb_); }

    // What was read at opening; a write-back refuses a file that changed since.
    void KennungMerken(const Dateikennung& kennung, std::optional<Text> hindernis) {
        kennung_ = kennung;
        hindernis_ = std::move(hindernis);
    }

    void KatalogLesen() {
        tabellen_.clear();
        relationen_ = objekte_ = nullptr;
        GPtrArray* katalog = mdb_read_catalog(mdb_, MDB_ANY);
        if (!katalog) Beschädigt(datei_);
        for (unsigned int i = 0; i < katalog->len; ++i) {
            auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(katalog, i));
            if (e->object_type != MDB_TABLE) continue;
            if (mdb_is_system_table(e)) {
                if (g_ascii_strcasecmp(e->object_name, "MSysRelationships") == 0) relationen_ = e;
                if (g_ascii_strcasecmp(e->object_name, "MSysObjects") == 0) objekte_ = e;
                continue;
            }
            tabellen_.push_back({Name(e->object_name), e});
        }
    }

    Struktur StrukturLesen() override {
        Struktur s;
        const std::map<Text, double> geändert = Änderungszeiten();
        for (const auto& [name, eintrag] : tabellen_) {
            s.tabellen.push_back(Beschreibung(name, eintrag));
            if (const auto z = geändert.find(name); z != geändert.end()) s.tabellen.back().geändert = z->second;
        }
        if (relationen_) s.relationen = RelationenLesen();
        return s;
    }

    void ZeilenLesen(const TabellenBeschreibung& tabelle, const Zeilenziel& ziel) override {
        MdbCatalogEntry* e = Eintrag(tabelle.name);
        std::vector<Text> felder;
        for (const auto& f : tabelle.felder) felder.push_back(f.name);
        Zeilen(e, felder, ziel);
    }

    bool Schreibbar() const override { return !nurLesen_ && SchreibschutzGrund().empty(); }
    Text SchreibschutzGrund() const override {
        if (nurLesen_) return {};
        if (kopf_.version == 3)
            return u"Access-97-Dateien (Jet 3) werden gelesen, aber noch nicht geschrieben; die Datei '" + datei_ +
                   u"' bleibt unverändert.";
        if (hindernis_) return u"Die Datei '" + datei_ + u"' kann nur gelesen werden. " + *hindernis_;
        if (!Beschreibbar(nachUtf8(datei_)))
            return u"Die Datei '" + datei_ + u"' ist schreibgeschützt und kann nur gelesen werden.";
        if (!Beschreibbar(Ordner()))
            return u"Der Ordner der Datei '" + datei_ + u"' ist schreibgeschützt; die Datei kann nur gelesen werden.";
        return {};
    }

    void TabellennamePrüfen(TextSicht name) const override {
        bool gut = !name.empty() && name.size() <= 64;
        for (char16_t c : name)
            if (c == u'!' || c == u'.' || c == u'[' || c == u']' || c == u'\'' || c == u'"') gut = false;
        if (!gut)
            dao::FehlerAuslösen(
                fehler::NameUngültig,
                u"'" + Text(name) +
                    u"' ist kein zulässiger Tabellenname: höchstens 64 Zeichen, ohne ! . [ ] ' und \".");
    }

    Text BestandsschutzGrund() const override {
        return u"In Access-Dateien legt Purivo neue Tabellen an, benennt Tabellen um und löscht sie; bestehende "
               u"Tabellen ändert es nicht.";
    }

    void BeziehungPrüfen(const RelationsBeschreibung& r, bool anlegen) const override {
        if (anlegen)
            dao::FehlerAuslösen(fehler::Schreibgeschützt,
                                u"Die Beziehung '" + r.name +
                                    u"' wurde nicht erstellt: In Access-Dateien legt Purivo keine Beziehungen an.");
        if (const auto grund = jet4::BeziehungBleibtGrund(r.name, r.attribute))
            dao::FehlerAuslösen(fehler::Schreibgeschützt, *grund);
    }

    void Schreiben(const Rückschrift& rückschrift) override {
        if (!Schreibbar()) {
            const Text grund = SchreibschutzGrund();
            dao::FehlerAuslösen(fehler::Schreibgeschützt,
                                grund.empty() ? u"Die Datei '" + datei_ + u"' ist schreibgeschützt geöffnet." : grund);
        }
        const auto unverändert = [&](const Text& warum) {
            dao::FehlerAuslösen(fehler::Schreibgeschützt,
                                u"Die Datei '" + datei_ + u"' wurde nicht geändert: " + warum);
        };
        // In the order they are carried out: relations, dropped tables (a replaced one
        // too), renames, new tables; so names and pages are free for what follows.
        std::vector<Text> weg = rückschrift.gelöscht;
        std::vector<std::pair<Text, Text>> umbenannt;
        std::vector<const Rückschrift::Tabelle*> neu;
        for (const auto& t : rückschrift.tabellen) {
            if (t.zustand == Rückschrift::Zustand::neu) {
                neu.push_back(&t);
            } else if (t.zustand == Rückschrift::Zustand::geändert && t.ersetzt) {
                weg.push_back(t.alterName);
                neu.push_back(&t);
            } else if (t.zustand == Rückschrift::Zustand::geändert) {
                unverändert(u"Die Tabelle '" + t.alterName + u"' kann nicht geändert werden. " + BestandsschutzGrund());
            } else if (t.beschreibung.name != t.alterName) {
                umbenannt.emplace_back(t.alterName, t.beschreibung.name);
            }
        }
        const std::vector<Text>& beziehungenWeg = rückschrift.gelöschteRelationen;
        if (neu.empty() && weg.empty() && umbenannt.empty() && beziehungenWeg.empty()) return;

        const std::string pfad = nachUtf8(datei_);
        KennungPrüfen(pfad, kennung_);
        // The file is held once in memory, changed there and written from there.
        Dateikennung gelesen;
        std::vector<uint8_t> roh = DateiBytesLesen(pfad, gelesen);
        KennungPrüfen(pfad, kennung_);
        std::optional<jet4::Datei> datei;
        try {
            datei.emplace(std::move(roh));
            const double jetzt = dao::detail::Jetzt();
            if (const auto grund = jet4::Hindernis(*datei)) throw jet4::NichtSchreibbar(*grund);
            for (const Text& r : beziehungenWeg) jet4::BeziehungAustragen(*datei, r);
            for (const Text& t : weg) jet4::TabelleLöschen(*datei, t);
            jet4::TabellenUmbenennen(*datei, umbenannt, jetzt);
            for (const Rückschrift::Tabelle* t : neu)
                jet4::TabelleHinzufügen(*datei, t->beschreibung, t->zeilen, jetzt);
        } catch (const jet4::NichtSchreibbar& n) {
            unverändert(n.grund);
        } catch (const jet4::Formatfehler&) {
            Beschädigt(datei_);
        }
        const auto& inhalt = datei->Inhalt();
        Dateisatz satz(Ordner());
        satz.Ersetzen(pfad, std::string_view(reinterpret_cast<const char*>(inhalt.data()), inhalt.size()));
        satz.Ausführen();
        datei.reset();
        kennung_ = KennungLesen(pfad);
        // From now on the driver lists and reads the file as written.
        MdbHandle* wieder = mdb_open(pfad.c_str(), MDB_NOFLAGS);
        if (!wieder)
            dao::FehlerAuslösen(fehler::DateiNichtÖffenbar,
                                u"Die Datei '" + datei_ + u"' kann nicht wieder geöffnet werden.");
        mdb_close(mdb_);
        mdb_ = wieder;
        KatalogLesen();
    }

private:
    std::string Ordner() const {
        const std::string p = nachUtf8(datei_);
        const size_t s = p.rfind('/');
        return s == std::string::npos ? std::string(".") : s == 0 ? std::string("/") : p.substr(0, s);
    }

    MdbCatalogEntry* Eintrag(const Text& name) const {
        for (const auto& [n, e] : tabellen_)
            if (n == name) return e;
        const Text schlüssel = NamenSchlüssel(name);
        for (const auto& [n, e] : tabellen_)
            if (NamenSchlüssel(n) == schlüssel) return e;
        dao::FehlerAuslösen(fehler::TabelleNichtGefunden,
                            u"Die Tabelle '" + name + u"' gibt es in der Datei '" + datei_ + u"' nicht.");
    }

    TabellePtr Lesen(MdbCatalogEntry* e) const {
        TabellePtr t(mdb_read_table(e));
        if (!t || !mdb_read_columns(t.get()) || t->num_cols != t->columns->len) Beschädigt(datei_);
        return t;
    }

    TabellenBeschreibung Beschreibung(const Text& name, MdbCatalogEntry* e) const {
        TabellePtr t = Lesen(e);
        TabellenBeschreibung b;
        b.name = name;
        for (unsigned int i = 0; i < t->num_cols; ++i) {
            MdbColumn* c = Spalte(t.get(), i);
            FeldBeschreibung f;
            f.name = Name(c->name);
            f.typ = JetTyp(c->col_type);
            if (c->col_type == MDB_TEXT) f.größe = kopf_.version == 3 ? c->col_size : c->col_size / 2;
            else if (c->col_type == MDB_BINARY) f.größe = c->col_size;
            else f.größe = FesteGröße(c->col_type);
            if (c->is_long_auto) f.attribute = dbAutoIncrField;
            f.leerErlaubt = EigenschaftJa(c, "AllowZeroLength", true);
            f.pflicht = EigenschaftJa(c, "Required", false);
            b.felder.push_back(std::move(f));
        }
        mdb_read_indices(t.get());
        for (unsigned int i = 0; t->indices && i < t->num_idxs && i < t->indices->len; ++i) {
            auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(t->indices, i));
            if (idx->index_type == 2) continue;  // the foreign side of a relation belongs to the relation
            IndexBeschreibung x;
            x.name = Name(idx->name);
            x.primär = idx->index_type == 1;
            x.eindeutig = x.primär || (idx->flags & MDB_IDX_UNIQUE);
            for (unsigned int k = 0; k < idx->num_keys && k < MDB_MAX_IDX_COLS; ++k) {
                const int nr = idx->key_col_num[k];
                if (nr < 1 || nr > static_cast<int>(t->num_cols)) Beschädigt(datei_);
                x.felder.push_back(Name(Spalte(t.get(), static_cast<unsigned int>(nr - 1))->name));
            }
            b.indizes.push_back(std::move(x));
        }
        return b;
    }

    // When each table was last changed, as the catalogue keeps it (DateUpdate).
    std::map<Text, double> Änderungszeiten() const {
        std::map<Text, double> zeiten;
        if (!objekte_) return zeiten;
        constexpr int32_t kTabelle = 1;
        Zeilen(objekte_, {u"Name", u"Type", u"DateUpdate"}, [&](const std::vector<Variante>& z) {
            if (z[0].istNull() || z[1].istNull() || z[2].istNull() || z[1].alsLong() != kTabelle) return;
            zeiten[z[0].alsText()] = z[2].zahl();
        });
        return zeiten;
    }

    std::vector<RelationsBeschreibung> RelationenLesen() const {
        struct Teil {
            int32_t position;
            Text feld, fremdFeld;
        };
        struct Roh {
            RelationsBeschreibung r;
            std::vector<Teil> teile;
        };
        std::vector<Roh> liste;
        std::map<Text, size_t> nachName;
        Zeilen(relationen_,
               {u"szRelationship", u"grbit", u"icolumn", u"szObject", u"szColumn", u"szReferencedObject",
                u"szReferencedColumn"},
               [&](const std::vector<Variante>& z) {
                   if (z[0].istNull() || z[3].istNull() || z[5].istNull()) return;
                   const Text name = z[0].alsText();
                   auto [it, neu] = nachName.emplace(name, liste.size());
                   if (neu) {
                       Roh roh;
                       roh.r.name = name;
                       roh.r.tabelle = z[5].alsText();       // the primary table
                       roh.r.fremdTabelle = z[3].alsText();  // the table that refers to it
                       roh.r.attribute = z[1].istNull() ? 0 : z[1].alsLong();
                       liste.push_back(std::move(roh));
                   }
                   liste[it->second].teile.push_back({z[2].istNull() ? 0 : z[2].alsLong(),
                                                      z[6].istNull() ? Text() : z[6].alsText(),
                                                      z[4].istNull() ? Text() : z[4].alsText()});
               });
        auto bekannt = [&](const Text& n) {
            for (const auto& t : tabellen_)
                if (t.first == n) return true;
            return false;
        };
        std::vector<RelationsBeschreibung> aus;
        for (auto& roh : liste) {
            // Relations among system tables stay out with those tables.
            if (!bekannt(roh.r.tabelle) || !bekannt(roh.r.fremdTabelle)) continue;
            std::stable_sort(roh.teile.begin(), roh.teile.end(),
                             [](const Teil& a, const Teil& b) { return a.position < b.position; });
            for (auto& t : roh.teile) roh.r.felder.emplace_back(std::move(t.feld), std::move(t.fremdFeld));
            aus.push_back(std::move(roh.r));
        }
        return aus;
    }

    // The rows of one table, values in the order of `felder` (names of its columns).
    void Zeilen(MdbCatalogEntry* e, const std::vector<Text>& felder, const Zeilenziel& ziel) const {
        TabellePtr t = Lesen(e);
        const unsigned int spalten = t->num_cols;
        std::vector<int> quelle(spalten, -1);  // column -> position in the row handed out
        for (size_t k = 0; k < felder.size(); ++k) {
            bool gefunden = false;
            for (unsigned int i = 0; i < spalten && !gefunden; ++i)
                if (quelle[i] < 0 && Name(Spalte(t.get(), i)->name) == felder[k]) {
                    quelle[i] = static_cast<int>(k);
                    gefunden = true;
                }
            if (!gefunden)
                dao::FehlerAuslösen(fehler::NichtInAuflistung,
                                    u"Das Feld '" + felder[k] + u"' gibt es in der Tabelle '" + Name(e->object_name) +
                                        u"' der Datei '" + datei_ + u"' nicht.");
        }
        std::vector<MdbField> roh(spalten);
        std::vector<Variante> zeile(felder.size());
        mdb_rewind_table(t.get());
        while (mdb_fetch_row(t.get())) {
            int anfang = 0;
            size_t länge = 0;
            if (t->cur_row == 0 || mdb_find_row(mdb_, static_cast<int>(t->cur_row - 1), &anfang, &länge) != 0)
                Beschädigt(datei_);
            if (mdb_crack_row(t.get(), anfang & kOffsetMaske, länge, roh.data()) < 0) Beschädigt(datei_);
            for (unsigned int i = 0; i < spalten; ++i) {
                const MdbField& f = roh[i];
                if (f.colnum < 0 || static_cast<unsigned int>(f.colnum) >= spalten) Beschädigt(datei_);
                const int ziel = quelle[static_cast<unsigned int>(f.colnum)];
                if (ziel >= 0)
                    zeile[static_cast<size_t>(ziel)] = Wert(Spalte(t.get(), static_cast<unsigned int>(f.colnum)), f);
            }
            ziel(zeile);
        }
    }

    Text TextWert(const uint8_t* p, size_t n) const {
        if (kopf_.version == 3)
            return TextAusCodepage(std::string_view(reinterpret_cast<const char*>(p), n), kopf_.codepage);
        return jet4::TextLesen(p, n);
    }

    // A memo: 12 bytes in the row, the text inline or in a chain of LVAL rows.
    Text Memo(const uint8_t* p, size_t n) const {
        if (n < MDB_MEMO_OVERHEAD) Beschädigt(datei_);
        const auto kopf = static_cast<uint32_t>(LeserLE(p, 4));
        const uint32_t länge = kopf & 0x3FFFFFFF;
        if (kopf & 0x80000000) return TextWert(p + MDB_MEMO_OVERHEAD, n - MDB_MEMO_OVERHEAD);
        auto zeigerzeile = static_cast<int>(LeserLE(p + 4, 4));
        std::vector<uint8_t> daten;
        void* seite = nullptr;
        int anfang = 0;
        size_t stück = 0;
        if (kopf & 0x40000000) {
            if (mdb_find_pg_row(mdb_, zeigerzeile, &seite, &anfang, &stück) != 0) Beschädigt(datei_);
            const auto* q = static_cast<const uint8_t*>(seite) + anfang;
            daten.assign(q, q + std::min<size_t>(stück, länge));
        } else if ((kopf & 0xFF000000) == 0) {
            // Each row of the chain starts with the pointer to the next one; a
            // damaged chain must not loop, so it may not hold more rows than pages.
            const size_t höchstens = static_cast<size_t>(mdb_->f->map_sz) * 8 + 100000;
            for (size_t schritte = 0; zeigerzeile != 0 && daten.size() < länge; ++schritte) {
                if (schritte > höchstens) Beschädigt(datei_);
                if (mdb_find_pg_row(mdb_, zeigerzeile, &seite, &anfang, &stück) != 0 || stück < 4) Beschädigt(datei_);
                const auto* q = static_cast<const uint8_t*>(seite) + anfang;
                zeigerzeile = static_cast<int>(LeserLE(q, 4));
                daten.insert(daten.end(), q + 4, q + stück);
            }
            if (daten.size() > länge) daten.resize(länge);
        } else {
            Beschädigt(datei_);
        }
        return TextWert(daten.data(), daten.size());
    }

    Variante Wert(const MdbColumn* c, const MdbField& f) const {
        if (c->col_type == MDB_BOOL) return Variante(!f.is_null);  // Jet keeps a Yes/No in the null mask
        if (f.is_null) return Variante::Null();
        const auto seitengröße = static_cast<int>(mdb_->fmt->pg_size);
        if (f.start < 0 || f.siz < 0 || f.start > seitengröße || f.siz > seitengröße - f.start) Beschädigt(datei_);
        const uint8_t* p = mdb_->pg_buf + f.start;
        const auto n = static_cast<size_t>(f.siz);
        if (n < static_cast<size_t>(FesteGröße(c->col_type))) Beschädigt(datei_);
        switch (c->col_type) {
            case MDB_BYTE: return Variante(p[0]);
            case MDB_INT: return Variante(static_cast<int16_t>(LeserLE(p, 2)));
            case MDB_LONGINT: return Variante(static_cast<int32_t>(LeserLE(p, 4)));
            case MDB_MONEY: return Variante::Währung(static_cast<int64_t>(LeserLE(p, 8)));
            case MDB_FLOAT: return Variante(SingleLE(p));
            case MDB_DOUBLE: return Variante(DoubleLE(p));
            case MDB_DATETIME: return Variante::Datum(DoubleLE(p));
            case MDB_TEXT: return Variante(TextWert(p, n));
            case MDB_MEMO: return Variante(Memo(p, n));
            case MDB_REPID: {
                char* s = mdb_uuid_to_string(mdb_->pg_buf, f.start);
                Text t = Name(s);
                g_free(s);
                return Variante(std::move(t));
            }
            case MDB_NUMERIC: {
                char* s = mdb_numeric_to_string(mdb_, f.start, c->col_scale, c->col_prec);
                double d = 0;
                const char* ende = s + std::strlen(s);
                const auto [rest, fehler] = std::from_chars(s, ende, d);
                g_free(s);
                if (fehler != std::errc()) Beschädigt(datei_);
                (void)rest;
                return Variante(d);
            }
            default:
                // Binary and OLE objects have no value type of their own here.
                return Variante::Null();
        }
    }

    Text datei_;
    JetKopf kopf_;
    MdbHandle* mdb_;
    bool nurLesen_ = true;
    Dateikennung kennung_;
    std::optional<Text> hindernis_;                            // why the writer must leave this file alone
    std::vector<std::pair<Text, MdbCatalogEntry*>> tabellen_;  // user tables in catalog order
    MdbCatalogEntry* relationen_ = nullptr;
    MdbCatalogEntry* objekte_ = nullptr;  // MSysObjects
};

// libmdb trusts what the pages say: a damaged page deep in the file can make it
// crash or loop. So a child process reads the whole file once through the driver;
// only when it gets through is the file opened here.
bool LiestSauber(const std::string& pfad, const Text& datei, const JetKopf& kopf, uintmax_t größe) {
    std::fflush(nullptr);
    const pid_t kind = fork();
    if (kind < 0) return true;  // no process to spare: read as it is
    if (kind == 0) {
        // libmdb reports its trouble on stdout and stderr.
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) _exit(2);
        try {
            MdbHandle* mdb = mdb_open(pfad.c_str(), MDB_NOFLAGS);
            if (!mdb || mdb->fmt->pg_size != static_cast<ssize_t>(kopf.seitengröße)) _exit(1);
            AccessTreiber treiber(datei, kopf, mdb);
            for (const auto& t : treiber.StrukturLesen().tabellen)
                treiber.ZeilenLesen(t, [](const std::vector<Variante>&) {});
        } catch (...) {
            _exit(1);
        }
        _exit(0);
    }
    // Generous for big files, but never endless.
    const auto frist = std::chrono::steady_clock::now() + std::chrono::seconds(8 + größe / 2000000);
    int status = 0;
    for (;;) {
        const pid_t r = waitpid(kind, &status, WNOHANG);
        if (r == kind) break;
        if (r < 0) return false;
        if (std::chrono::steady_clock::now() > frist) {
            kill(kind, SIGKILL);
            waitpid(kind, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::unique_ptr<Speichertreiber> TreiberÖffnen(const Text& datei, const Text& passwort, bool nurLesen) {
    namespace fs = std::filesystem;
    const std::string pfad = nachUtf8(datei);
    {
        const size_t s = pfad.rfind('/');
        OrdnerAufräumen(s == std::string::npos ? std::string(".") : s == 0 ? std::string("/") : pfad.substr(0, s));
    }
    const Dateikennung kennung = KennungLesen(pfad);
    std::error_code ec;
    const fs::file_status status = fs::status(pfad, ec);
    if (ec || !fs::exists(status))
        dao::FehlerAuslösen(fehler::DateiNichtGefunden, u"Die Datei '" + datei + u"' wurde nicht gefunden.");
    if (!fs::is_regular_file(status))
        dao::FehlerAuslösen(fehler::FormatUnbekannt,
                            u"'" + datei + u"' ist keine Datei, sondern ein Ordner oder ein Gerät.");
    const uintmax_t größe = fs::file_size(pfad, ec);
    std::ifstream ein(pfad, std::ios::binary);
    if (ec || !ein)
        dao::FehlerAuslösen(fehler::DateiNichtÖffenbar, u"Die Datei '" + datei + u"' kann nicht gelesen werden.");
    if (größe == 0)
        dao::FehlerAuslösen(fehler::FormatUnbekannt,
                            u"Die Datei '" + datei + u"' ist leer (0 Bytes) und keine Access-Datenbank.");

    std::vector<uint8_t> seite0(4096);
    ein.read(reinterpret_cast<char*>(seite0.data()), static_cast<std::streamsize>(seite0.size()));
    seite0.resize(static_cast<size_t>(ein.gcount()));

    JetKopf kopf;
    switch (KopfLesen(seite0.data(), seite0.size(), kopf)) {
        case Kopfbefund::gültig: break;
        case Kopfbefund::zuKurz:
            if (seite0.size() >= 4 && seite0[0] == 0 && seite0[1] == 1 && seite0[2] == 0 && seite0[3] == 0)
                Beschädigt(datei);
            [[fallthrough]];
        case Kopfbefund::keinJet:
            dao::FehlerAuslösen(fehler::FormatUnbekannt, u"Die Datei '" + datei + u"' ist keine Access-Datenbank.");
        case Kopfbefund::neueresFormat:
            dao::FehlerAuslösen(fehler::FormatUnbekannt,
                                u"Die Datei '" + datei +
                                    u"' ist in einem neueren Access-Format (.accdb) gespeichert; gelesen werden "
                                    u"Access-Datenbanken der Versionen 97 bis 2003 (.mdb).");
    }
    // libmdb trusts the page structure; a file cut off or with a foreign first
    // pages would make it read past what is there.
    if (größe % kopf.seitengröße != 0 || größe < 3 * static_cast<uintmax_t>(kopf.seitengröße)) Beschädigt(datei);
    if (kopf.datenbankschlüssel == 0) {
        // Page 2 holds the definition of the catalog table.
        ein.seekg(2 * static_cast<std::streamoff>(kopf.seitengröße));
        char art = 0;
        if (!ein.get(art) || art != MDB_PAGE_TABLE) Beschädigt(datei);
    }
    ein.close();

    if (!KennwortPasst(kopf, passwort)) dao::FehlerAuslösen(fehler::KennwortUngültig, u"Kein gültiges Kennwort.");
    if (!LiestSauber(pfad, datei, kopf, größe)) Beschädigt(datei);

    MdbHandle* mdb = mdb_open(pfad.c_str(), MDB_NOFLAGS);
    if (!mdb)
        dao::FehlerAuslösen(fehler::DateiNichtÖffenbar, u"Die Datei '" + datei + u"' kann nicht geöffnet werden.");
    if (mdb->fmt->pg_size != static_cast<ssize_t>(kopf.seitengröße)) {
        mdb_close(mdb);
        Beschädigt(datei);
    }
    try {
        std::optional<Text> hindernis;
        if (kopf.version == 4) {
            // The writer's header checks need only the first pages.
            std::vector<uint8_t> anfang(3 * static_cast<size_t>(kopf.seitengröße));
            std::ifstream wieder(pfad, std::ios::binary);
            if (wieder.read(reinterpret_cast<char*>(anfang.data()), static_cast<std::streamsize>(anfang.size()))) {
                try {
                    hindernis = jet4::Hindernis(jet4::Datei(std::move(anfang)));
                } catch (const jet4::Formatfehler&) {
                    // found again, and reported, when a write-back reads the whole file
                }
            }
        }
        auto treiber = std::make_unique<AccessTreiber>(datei, std::move(kopf), mdb, nurLesen);
        treiber->KennungMerken(kennung, std::move(hindernis));
        return treiber;
    } catch (...) {
        // The driver's destructor did not run; the handle is still ours.
        mdb_close(mdb);
        throw;
    }
}

}  // namespace dao::speicher::access
