// A database over a storage driver: its tables mirrored into a private SQLite
// working store, loaded on first use and handed back to the driver when closed.
#include "platform/dao/DaoIntern.h"

namespace dao::detail {
namespace {

speicher::TabellenBeschreibung Beschreibung(TableDef& t) {
    speicher::TabellenBeschreibung b;
    b.name = t.Name();
    if (t.LastUpdated().istDatum()) b.geändert = t.LastUpdated().zahl();
    for (auto& f : t.Fields().liste())
        b.felder.push_back({f->Name(), f->Type(), f->Size(), f->Attributes(), f->AllowZeroLength(), f->Required()});
    for (auto& ix : t.Indexes().liste()) {
        speicher::IndexBeschreibung i{ix->Name(), {}, ix->Unique(), ix->Primary()};
        for (auto& f : ix->Fields().liste()) i.felder.push_back(f->Name());
        b.indizes.push_back(std::move(i));
    }
    return b;
}

}  // namespace

speicher::RelationsBeschreibung RelationsBeschreibungVon(Relation& r) {
    speicher::RelationsBeschreibung b{r.Name(), r.Table(), r.ForeignTable(), r.Attributes(), {}};
    for (auto& f : r.Fields().liste()) b.felder.emplace_back(f->Name(), f->ForeignName());
    return b;
}

void Verbindung::spiegelAnlegen(const speicher::Struktur& s) {
    ausführenInSicherung(*this, [&] {
        ausführen(u"CREATE TABLE __purivo_spiegel(name TEXT PRIMARY KEY, altname TEXT, geladen INTEGER, "
                  u"geaendert INTEGER, neu INTEGER, ersetzt INTEGER)");
        ausführen(u"CREATE TABLE __purivo_geloescht(name TEXT)");
        Anweisung eintragen(db, u"INSERT INTO __purivo_spiegel VALUES(?,?,0,0,0,0)");
        for (auto& b : s.tabellen) {
            if (tabellen.Position(b.name) >= 0)
                FehlerAuslösen(fehler::TabelleVorhanden, u"Die Tabelle '" + b.name + u"' ist mehrfach vorhanden.");
            auto td = TableDef::Neu();
            td->Name(b.name);
            td->erstellt_ = td->geändert_ = b.geändert > 0 ? b.geändert : Jetzt();
            for (auto& fb : b.felder) {
                auto f = std::make_shared<Field>();
                f->name_ = fb.name;
                f->typ_ = fb.typ;
                f->größe_ = fb.größe;
                f->attribute_ = fb.attribute;
                f->leerErlaubt_ = fb.leerErlaubt;
                f->pflicht_ = fb.pflicht;
                f->tabelle_ = td;
                td->felder_.liste_.push_back(f);
            }
            for (auto& ib : b.indizes) {
                auto ix = td->CreateIndex(ib.name);
                for (auto& n : ib.felder) ix->Fields().liste_.push_back(ix->CreateField(n));
                ix->Unique(ib.eindeutig);
                ix->Primary(ib.primär);
                td->indizes_.liste_.push_back(ix);
            }
            TabelleAnlegen(*this, *td);
            eintragen.binden(1, Variante(b.name));
            eintragen.binden(2, Variante(b.name));
            eintragen.schritt();
            eintragen.zurück();
            quellen[b.name] = b;
            tabellen.liste_.push_back(td);
        }
        for (auto& rb : s.relationen) {
            quellRelationen.insert(rb.name);
            auto r = std::make_shared<Relation>();
            r->Name(rb.name);
            r->Table(rb.tabelle);
            r->ForeignTable(rb.fremdTabelle);
            r->Attributes(rb.attribute);
            for (auto& [feld, fremd] : rb.felder) {
                auto f = r->CreateField(feld);
                f->ForeignName(fremd);
                r->Fields().liste_.push_back(f);
            }
            relationen.liste_.push_back(r);
        }
        strukturSchreiben();
    });
    for (auto& td : tabellen.liste()) td->db_ = selbst;
}

void Verbindung::laden(const TableDef& t) {
    if (!treiber) return;
    const Text& name = t.Name();
    if (bekanntGeladen.count(name)) return;
    bool geladen = true;
    Text alt;
    {
        Anweisung q(db, u"SELECT geladen, altname FROM __purivo_spiegel WHERE name=?");
        q.binden(1, Variante(name));
        if (q.schritt()) {
            geladen = sqlite3_column_int(q.s(), 0) != 0;
            alt = SpaltenText(q.s(), 1);
        }
    }
    if (!geladen) {
        auto quelle = quellen.find(alt);
        if (quelle == quellen.end())
            FehlerAuslösen(fehler::Allgemein, u"Die Tabelle '" + name + u"' ist dem Speicher unbekannt.");
        const auto& felder = const_cast<TableDef&>(t).Fields().liste();
        Text sql = u"INSERT INTO " + SqlName(name) + u" VALUES(";
        for (size_t i = 0; i < felder.size(); ++i) sql += i ? u",?" : u"?";
        ausführenInSicherung(*this, [&] {
            Anweisung ein(db, sql + u")");
            treiber->ZeilenLesen(quelle->second, [&](const std::vector<Variante>& zeile) {
                for (size_t i = 0; i < felder.size(); ++i)
                    ein.binden(static_cast<int>(i + 1),
                               i < zeile.size() ? Speicherwert(*felder[i], zeile[i], true) : Variante::Null());
                ein.schritt();
                ein.zurück();
            });
            Anweisung m(db, u"UPDATE __purivo_spiegel SET geladen=1 WHERE name=?");
            m.binden(1, Variante(name));
            m.schritt();
        });
    }
    bekanntGeladen.insert(name);
}

void Verbindung::schreibenVorbereiten(const TableDef& t) {
    schreibbar();
    if (treiber && !bekanntÄnderbar.count(t.Name())) {
        // A table the file already holds may be one the driver can only rename or drop.
        if (const Text grund = treiber->BestandsschutzGrund(); !grund.empty()) {
            Anweisung q(db, u"SELECT neu OR ersetzt FROM __purivo_spiegel WHERE name=?");
            q.binden(1, Variante(t.Name()));
            if (q.schritt() && sqlite3_column_int(q.s(), 0) == 0)
                FehlerAuslösen(fehler::Schreibgeschützt,
                               u"Die Tabelle '" + t.Name() + u"' kann nicht geändert werden. " + grund);
        }
        bekanntÄnderbar.insert(t.Name());
    }
    laden(t);
}

void Verbindung::ändern(const TableDef& t) {
    schreibenVorbereiten(t);
    markieren(t);
}

void Verbindung::markieren(const TableDef& t) {
    if (!treiber) return;
    const Text& name = t.Name();
    if (bekanntGeändert.count(name)) return;
    Anweisung m(db, u"UPDATE __purivo_spiegel SET geaendert=1 WHERE name=?");
    m.binden(1, Variante(name));
    m.schritt();
    bekanntGeändert.insert(name);
}

void Verbindung::spiegelNeu(const TableDef& t) {
    if (!treiber) return;
    const Text& name = t.Name();
    bekanntGeladen.erase(name);
    bekanntGeändert.erase(name);
    bekanntÄnderbar.erase(name);
    // A table made again under the name of one deleted in this session replaces it.
    Text ersetzt;
    int64_t zeile = -1;
    {
        Anweisung g(db, u"SELECT rowid, name FROM __purivo_geloescht");
        while (g.schritt())
            if (NamenSchlüssel(SpaltenText(g.s(), 1)) == NamenSchlüssel(name)) {
                zeile = sqlite3_column_int64(g.s(), 0);
                ersetzt = SpaltenText(g.s(), 1);
            }
    }
    if (zeile >= 0) {
        Anweisung d(db, u"DELETE FROM __purivo_geloescht WHERE rowid=?");
        d.bindenGanz(1, zeile);
        d.schritt();
    }
    Anweisung e(db, u"INSERT INTO __purivo_spiegel VALUES(?,?,1,?,?,?)");
    e.binden(1, Variante(name));
    e.binden(2, Variante(ersetzt));
    e.bindenGanz(3, zeile >= 0 ? 1 : 0);
    e.bindenGanz(4, zeile >= 0 ? 0 : 1);
    e.bindenGanz(5, zeile >= 0 ? 1 : 0);
    e.schritt();
}

void Verbindung::spiegelGelöscht(const TableDef& t) {
    if (!treiber) return;
    const Text& name = t.Name();
    bekanntGeladen.erase(name);
    bekanntGeändert.erase(name);
    bekanntÄnderbar.erase(name);
    Text alt;
    bool neu = true;
    {
        Anweisung q(db, u"SELECT altname, neu FROM __purivo_spiegel WHERE name=?");
        q.binden(1, Variante(name));
        if (q.schritt()) {
            alt = SpaltenText(q.s(), 0);
            neu = sqlite3_column_int(q.s(), 1) != 0;
        }
    }
    Anweisung d(db, u"DELETE FROM __purivo_spiegel WHERE name=?");
    d.binden(1, Variante(name));
    d.schritt();
    if (!neu) {
        Anweisung g(db, u"INSERT INTO __purivo_geloescht VALUES(?)");
        g.binden(1, Variante(alt));
        g.schritt();
    }
}

void Verbindung::spiegelUmbenannt(const Text& alt, const Text& neu) {
    if (!treiber) return;
    for (const Text* n : {&alt, &neu}) {
        bekanntGeladen.erase(*n);
        bekanntGeändert.erase(*n);
        bekanntÄnderbar.erase(*n);
    }
    // A rename alone leaves the rows and structure as they are: the driver renames.
    Anweisung m(db, u"UPDATE __purivo_spiegel SET name=? WHERE name=?");
    m.binden(1, Variante(neu));
    m.binden(2, Variante(alt));
    m.schritt();
}

void Verbindung::rückgängigGemacht() {
    strömeBeenden();
    bekanntGeladen.clear();
    bekanntGeändert.clear();
    bekanntÄnderbar.clear();
    autoWert.clear();
    vorrat.clear();
}

void Verbindung::zurückschreiben() {
    if (!treiber || geschlossen || !db) return;
    if (!sqlite3_get_autocommit(db)) {  // work of open transactions is discarded
        strömeBeenden();
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sicherungsStände.clear();
        rückgängigGemacht();
        strukturLaden();
    }
    std::set<Text> relationenJetzt;
    for (auto& rel : relationen.liste()) relationenJetzt.insert(rel->Name());
    std::vector<Text> relationenWeg;
    for (const Text& n : quellRelationen)
        if (!relationenJetzt.count(n)) relationenWeg.push_back(n);
    {
        Anweisung z(db, u"SELECT (SELECT count(*) FROM __purivo_spiegel WHERE geaendert<>0 OR neu<>0 OR "
                        u"altname IS NOT name) + (SELECT count(*) FROM __purivo_geloescht)");
        z.schritt();
        if (sqlite3_column_int64(z.s(), 0) == 0 && relationenWeg.empty()) return;
    }
    speicher::Rückschrift r;
    Anweisung q(db, u"SELECT altname, geaendert, neu, ersetzt FROM __purivo_spiegel WHERE name=?");
    for (auto& td : tabellen.liste()) {
        speicher::Rückschrift::Tabelle t;
        t.beschreibung = Beschreibung(*td);
        q.binden(1, Variante(td->Name()));
        if (q.schritt()) {
            const bool neu = sqlite3_column_int(q.s(), 2) != 0;
            t.alterName = neu ? Text() : SpaltenText(q.s(), 0);
            t.zustand = neu                            ? speicher::Rückschrift::Zustand::neu
                        : sqlite3_column_int(q.s(), 1) ? speicher::Rückschrift::Zustand::geändert
                                                       : speicher::Rückschrift::Zustand::unverändert;
            t.ersetzt = sqlite3_column_int(q.s(), 3) != 0;
        }
        q.zurück();
        TableDefPtr tabelle = td;
        t.zeilen = [this, tabelle](const speicher::Zeilenziel& ziel) {
            laden(*tabelle);
            const auto& felder = tabelle->Fields().liste();
            Text sql = u"SELECT ";
            for (size_t i = 0; i < felder.size(); ++i) sql += (i ? u"," : u"") + SqlName(felder[i]->Name());
            Anweisung a(db, sql + u" FROM " + SqlName(tabelle->Name()) + u" ORDER BY rowid");
            std::vector<Variante> zeile(felder.size());
            while (a.schritt()) {
                for (size_t i = 0; i < felder.size(); ++i) zeile[i] = Lesen(*felder[i], a.s(), static_cast<int>(i));
                ziel(zeile);
            }
        };
        r.tabellen.push_back(std::move(t));
    }
    {
        Anweisung g(db, u"SELECT name FROM __purivo_geloescht ORDER BY rowid");
        while (g.schritt()) r.gelöscht.push_back(SpaltenText(g.s(), 0));
    }
    r.gelöschteRelationen = relationenWeg;
    // A renamed table that was never read: its rows are loaded under the name the
    // driver knows, before the driver's listing changes.
    for (auto& t : r.tabellen)
        if (t.zustand != speicher::Rückschrift::Zustand::unverändert) laden(*tabellen.Item(t.beschreibung.name));
    treiber->Schreiben(r);
    // What was written is the new baseline: the file now holds every table under
    // its present name, and nothing is new, changed or deleted any more.
    ausführenInSicherung(*this, [&] {
        ausführen(u"UPDATE __purivo_spiegel SET altname=name, geaendert=0, neu=0, ersetzt=0");
        ausführen(u"DELETE FROM __purivo_geloescht");
    });
    bekanntGeändert.clear();
    bekanntÄnderbar.clear();
    // Relations made since are the file's only when its driver keeps them.
    for (auto it = quellRelationen.begin(); it != quellRelationen.end();)
        it = relationenJetzt.count(*it) ? std::next(it) : quellRelationen.erase(it);
    std::map<Text, speicher::TabellenBeschreibung> jetzt;
    for (auto& t : r.tabellen) {
        auto alt = quellen.find(t.alterName);
        if (t.zustand == speicher::Rückschrift::Zustand::unverändert && alt != quellen.end()) {
            // Never loaded: read later as the driver listed it, under its present name.
            jetzt[t.beschreibung.name] = alt->second;
            jetzt[t.beschreibung.name].name = t.beschreibung.name;
        } else {
            jetzt[t.beschreibung.name] = t.beschreibung;
        }
    }
    quellen = std::move(jetzt);
}

void Verbindung::flush() {
    offen();
    if (!sqlite3_get_autocommit(db))
        FehlerAuslösen(fehler::TransaktionOffen,
                       u"Die Datenbank kann nicht gespeichert werden, solange eine Transaktion offen ist.");
    spaltenEntfernen();
    zurückschreiben();
    protokollSichern();
}

void Verbindung::schließen() {
    if (geschlossen) return;
    try {
        spaltenEntfernen();
    } catch (...) {  // the columns stay in the file; the stored structure no longer lists them
    }
    zurückschreiben();
    geschlossen = true;
    strömeBeenden();
    for (auto& td : tabellen.liste()) td->db_.reset();
    vorrat.clear();
    protokollBeenden();
    if (db) sqlite3_close_v2(db);
    db = nullptr;
}

}  // namespace dao::detail
