#include "foundation/mdlDatenbank.h"

#include <vector>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlLaufTabellen.h"
#include "foundation/mdlMeldungen.h"
#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"
#include "platform/dao/Dao.h"

namespace {
constexpr char16_t CR = u'\r';

Variante V(const char16_t* text) { return Variante(text); }
}  // namespace

dao::Database& Datenbank() { return Objekt(gDatenbank); }
dao::Workspace& Arbeitsbereich() { return Objekt(gArbeitsbereich); }

std::vector<Text> Spaltennamen(const Text& Tabelle) {
    std::vector<Text> namen;
    for (const auto& f : Datenbank().TableDefs()[Tabelle]->Fields().liste()) namen.push_back(f->Name());
    return namen;
}

void RecordsetSchließen(std::shared_ptr<dao::Recordset>& rs) {
    Fehlerfalle::ohneFehler([&] {
        if (rs) rs->Close();
    });
    rs.reset();
}

// ---- Opening and closing ----

void DatenbankÖffnen(const Variante& Pfad, const Variante& Passwort, std::shared_ptr<dao::Database>& Datenbank) {
    auto& o = Oberfläche();
    try {
        gFehlerAbbruch = false;
        gDatenbankPfad = Pfad.alsText();
        Text name = gDatenbankPfad;
        const Variante passwort = Passwort;
        o.Mauszeiger(11);

        const Text endung = Großschreiben(DateiendungErmitteln(Variante(gDatenbankPfad)));
        if (endung == u"MDB") {
            gDAOVerbindung = (V(u";PWD=") & passwort & V(u";")).alsText();
        } else if (endung == u"XLS") {
            gDAOVerbindung = u"Excel 5.0;";
        } else if (endung == u"DBF") {
            const Text ordner = VerzeichnisErmitteln(Pfad);
            // A bare file name has no folder to open.
            if (ordner.empty()) FehlerAuslösen(fehlernummer::UngueltigesArgument);
            name = ordner.substr(0, ordner.size() - 1);
            gDAOVerbindung = u"Dbase 5;";
        } else if (endung == u"DB" || endung == u"TXT") {
            name = VerzeichnisErmitteln(Pfad);
        } else {
            gDAOVerbindung.clear();
        }

        gADOVerbindung = (V(u"Provider=Microsoft.Jet.OLEDB.4.0;") & V(u"Data Source=") & Pfad & V(u";") &
                          V(u"Jet OLEDB:Database Password=") & passwort & V(u";"))
                             .alsText();

        Datenbank = Objekt(gArbeitsbereich).OpenDatabase(name, false, false, gDAOVerbindung);

        if (gDAOVerbindung == u"Dbase III;" || gDAOVerbindung == u"Dbase IV;") {
            auto& tabellen = Datenbank->TableDefs();
            for (int32_t i = 0; i < tabellen.Count(); ++i) {
                const Text tabelle = tabellen[i]->Name();
                if (tabelle.size() > 8) {
                    o.Mauszeiger(0);
                    o.Meldung(Text(u"Bitte geben sie der Tabelle \"") + tabelle + u"\"" + CR +
                                  u"einen Namen mit maximal 8 Zeichen Länge, sonst" + CR +
                                  u"können bei diesen älteren Formaten Probleme auftreten.",
                              vb::OKOnly, std::nullopt);
                    gFehlerAbbruch = true;
                    return;
                }
            }
        }

        Datenbank->QueryTimeout(1);
        o.Mauszeiger(0);
    } catch (const std::exception&) {
        // The engine's own text is not shown: it could hold the connect string.
        AchtungAnzeigen(Variante(Text(u"Fehler beim Öffnen der Datenbank.") + CR +
                                 u"Das Datenbankformat wird nicht unterstützt oder" + CR +
                                 u"das eingegebene Passwort ist nicht korrekt."));
        gFehlerAbbruch = true;
        o.Mauszeiger(0);
    }
}

namespace {
Text Speicherfehler() { return u"Fehler beim Speichern der Datenbank."; }
}  // namespace

void DatenbankSchließen(std::shared_ptr<dao::Database>& Datenbank) {
    if (!Datenbank) return;
    // Only the write-back can fail on a close that matters; a reference to a database
    // that is already closed is cleared quietly.
    bool geschlossen = false;
    Fehlerfalle falle(Speicherfehler);
    falle([&] {
        try {
            Datenbank->Close();
        } catch (const LaufzeitFehler& e) {
            if (e.Nummer() != dao::fehler::ObjektUngültig) throw;
        }
        geschlossen = true;
    });
    if (geschlossen) Datenbank.reset();
}

bool DatenbankSpeichern() {
    Fehlerfalle falle(Speicherfehler);
    return falle([] { Datenbank().Flush(); });
}

int32_t DatensätzeZählen(const std::shared_ptr<dao::Recordset>& rs) {
    auto& r = Objekt(rs);
    if (r.EOF_()) return 0;
    r.MoveLast();
    const int32_t anzahl = r.RecordCount();
    r.MoveFirst();
    return anzahl;
}

int16_t TabellenIndexErmitteln(const Variante& Name) {
    auto& tabellen = Datenbank().TableDefs();
    for (int32_t i = 0; i < tabellen.Count(); ++i)
        if (Großschreiben(Variante(tabellen[i]->Name())) == Großschreiben(Name)) return static_cast<int16_t>(i);
    return -1;
}

// ---- Structure copy and relations ----

bool RelationenBehandeln() {
    const Text& v = gDAOVerbindung;
    if (v == u"Access") return true;
    // An Access file as the open builds it: ";PWD=" & password & ";".
    return v.size() >= 6 && v.rfind(u";PWD=", 0) == 0 && v.back() == u';';
}

namespace {
// One group of a new field: taken only when name, type and size are all given.
struct NeuesFeld {
    const Wahlweise& name;
    const Wahlweise& typ;
    const Wahlweise& größe;
    bool vollständig() const { return name && typ && größe; }
};

Text Verknüpfungswarnung(const dao::Relation& r) {
    const Text& fremd = r.ForeignTable();
    Text t = u"Es besteht eine Verknüpfung zur Tabelle '" + fremd + u"'." + CR;
    t += BitGesetzt(r.Attributes(), dao::dbRelationUpdateCascade)
             ? u"1. Alle Änderungen der Datensätze werden weitergegeben!"
             : u"1. Änderungen der Datensätze werden nicht weitergegeben.";
    t += CR;
    t += BitGesetzt(r.Attributes(), dao::dbRelationDeleteCascade)
             ? u"2. Verknüpfte Datensätze werden ebenfalls in '" + fremd + u"' gelöscht!"
             : u"2. Verknüpfte Datensätze werden nicht in '" + fremd + u"' gelöscht.";
    t += CR;
    t += CR;
    t += u"Änderungen dieser Einstellungen nehmen sie bitte mit den entsprechenden Programmen vor.";
    t += CR;
    t += u"Möchten sie fortsetzen?";
    return t;
}
}  // namespace

void TabelleKopieren(const Variante& Quelle, const Variante& Ziel, bool MitRelationen, const Wahlweise& NachFeld,
                     const Wahlweise& /*Reserve*/, const Wahlweise& Name1, const Wahlweise& Typ1,
                     const Wahlweise& Größe1, const Wahlweise& Name2, const Wahlweise& Typ2, const Wahlweise& Größe2,
                     const Wahlweise& Name3, const Wahlweise& Typ3, const Wahlweise& Größe3) {
    // Replacing the source by its own empty copy would lose its records: refused,
    // and whatever the answer, the routine ends as after abort. The box says why
    // in its own text, the system-message line being optional.
    static constexpr const char16_t* dieselbeTabelle =
        u"Quell- und Zieltabelle sind dieselbe Tabelle; sie wird nicht überschrieben.";
    bool dieselbe = false;
    Fehlerfalle falle([&] {
        Variante t = V(u"Fehler beim Kopieren der Tabelle '") & Quelle & V(u"' nach '") & Ziel & V(u"'.");
        if (dieselbe) t = t & Variante(Text(1, CR) + dieselbeTabelle);
        return t.alsText();
    });

    if (!falle([&] {
            dieselbe = Großschreiben(Quelle) == Großschreiben(Ziel);
            if (dieselbe) FehlerAuslösen(fehlernummer::UngueltigesArgument, dieselbeTabelle);
        }))
        return;
    if (dieselbe) {
        gFehlerAbbruch = true;
        return;
    }

    int16_t vorhanden = -1;
    if (!falle([&] { vorhanden = TabellenIndexErmitteln(Ziel); })) return;
    if (vorhanden != -1) {
        const Text frage = (V(u"Sind sie sicher, dass die Tabelle \"") & Ziel & V(u"\"\r") &
                            V(u"inklusive ihrer Relationen überschrieben werden soll?"))
                               .alsText();
        if (Oberfläche().Meldung(frage, vb::YesNo + vb::Exclamation, Text()) != vb::Yes) {
            gAbbruch = true;
            return;
        }
        if (RelationenBehandeln()) {
            // Names first: deleting while walking the collection would skip relations.
            std::vector<Text> namen;
            if (!falle([&] {
                    namen.clear();
                    for (const auto& r : Datenbank().Relations().liste())
                        if (Variante(r->Table()) == Ziel) namen.push_back(r->Name());
                }))
                return;
            for (const Text& n : namen)
                if (!falle([&] { Datenbank().Relations().Delete(n); })) return;
        }
        if (!falle([&] { Datenbank().TableDefs().Delete(Ziel.alsText()); })) return;
    }

    dao::TableDefPtr quelle, neu;
    if (!falle([&] { quelle = Datenbank().TableDefs()[Quelle.alsText()]; })) return;
    if (!falle([&] { neu = Datenbank().CreateTableDef(); })) return;
    if (!falle([&] { Objekt(neu).Attributes(Objekt(quelle).Attributes()); })) return;
    if (!falle([&] { Objekt(neu).Name(Ziel.alsText()); })) return;

    const NeuesFeld gruppen[] = {{Name1, Typ1, Größe1}, {Name2, Typ2, Größe2}, {Name3, Typ3, Größe3}};
    int32_t felder = 0;
    if (!falle([&] { felder = Objekt(quelle).Fields().Count(); })) return;
    for (int32_t i = 0; i < felder; ++i) {
        dao::FieldPtr feld;
        if (!falle([&] {
                const auto& q = Objekt(Objekt(quelle).Fields()[i]);
                feld = Objekt(neu).CreateField(q.Name(), q.Type(), q.Size());
            }))
            return;
        if (!falle([&] { Objekt(neu).Fields().Append(feld); })) return;
        if (!falle([&] { Objekt(neu).Fields()[Objekt(feld).Name()]->AllowZeroLength(true); })) return;
        if (!falle([&] {
                Objekt(neu).Fields()[Objekt(feld).Name()]->Attributes(Objekt(quelle).Fields()[i]->Attributes());
            }))
            return;
        bool dahinter = false;
        if (!falle([&] { dahinter = NachFeld && Variante(Objekt(quelle).Fields()[i]->Name()) == *NachFeld; })) return;
        if (!dahinter) continue;
        for (const auto& g : gruppen) {
            if (!g.vollständig()) continue;
            if (!falle([&] {
                    Objekt(neu).Fields().Append(
                        Objekt(neu).CreateField(g.name->alsText(), CInt(g.typ->alsDouble()), g.größe->alsLong()));
                }))
                return;
        }
    }

    int32_t indizes = 0;
    if (!falle([&] { indizes = Objekt(quelle).Indexes().Count(); })) return;
    for (int32_t i = 0; i < indizes; ++i) {
        dao::IndexPtr index;
        if (!falle([&] { index = Objekt(neu).CreateIndex(Objekt(quelle).Indexes()[i]->Name()); })) return;
        if (!falle([&] { Objekt(index).Fields(Objekt(quelle).Indexes()[i]->Fields()); })) return;
        if (!falle([&] { Objekt(index).Unique(Objekt(quelle).Indexes()[i]->Unique()); })) return;
        if (!falle([&] { Objekt(index).Primary(Objekt(quelle).Indexes()[i]->Primary()); })) return;
        if (!falle([&] { Objekt(neu).Indexes().Append(index); })) return;
    }

    if (!falle([&] {
            Datenbank().TableDefs().Append(neu);
            LaufTabelleAngelegt(Ziel.alsText());
        }))
        return;

    if (!MitRelationen || !RelationenBehandeln()) return;
    int32_t relationen = 0;
    if (!falle([&] { relationen = Datenbank().Relations().Count(); })) return;
    for (int32_t i = 0; i < relationen; ++i) {
        Text warnung;
        if (!falle([&] {
                warnung.clear();
                const auto& r = Objekt(Datenbank().Relations()[i]);
                if (Variante(r.Table()) == Quelle) warnung = Verknüpfungswarnung(r);
            }))
            return;
        if (warnung.empty()) continue;
        if (Oberfläche().Meldung(warnung, vb::YesNo + vb::Information, Text()) != vb::Yes) {
            gAbbruch = true;
            return;
        }
    }
}

void RelationenErstellen(const Variante& Quelle, const Variante& Ziel) {
    if (!RelationenBehandeln()) return;
    Fehlerfalle falle([] { return Text(u"Fehler beim Erstellen der Relationen."); });

    // Counted once, so the relations appended here are not visited again.
    int32_t anzahl = 0;
    if (!falle([&] { anzahl = Datenbank().Relations().Count(); })) return;
    for (int32_t i = 0; i < anzahl; ++i) {
        dao::RelationPtr alt, neu;
        bool betroffen = false;
        if (!falle([&] { alt = Datenbank().Relations()[i]; })) return;
        if (!falle([&] { betroffen = Variante(Objekt(alt).Table()) == Quelle; })) return;
        if (!betroffen) continue;
        if (!falle([&] {
                neu = Datenbank().CreateRelation(Objekt(alt).Name() + u" (korrigiert)", Ziel.alsText(),
                                                 Objekt(alt).ForeignTable(), Objekt(alt).Attributes());
            }))
            return;
        if (!falle([&] { Objekt(neu).Name(Objekt(alt).Name() + u" (korrigiert)"); })) return;
        int32_t paare = 0;
        if (!falle([&] { paare = Objekt(alt).Fields().Count(); })) return;
        for (int32_t j = 0; j < paare; ++j) {
            dao::FieldPtr feld;
            if (!falle([&] { feld = Objekt(neu).CreateField(Objekt(alt).Fields()[j]->Name()); })) return;
            if (!falle([&] { Objekt(feld).ForeignName(Objekt(alt).Fields()[j]->ForeignName()); })) return;
            if (!falle([&] { Objekt(neu).Fields().Append(feld); })) return;
        }
        if (!falle([&] { Datenbank().Relations().Append(neu); })) return;
    }
}

namespace {
void IndexAnhängen(dao::TableDef& Tabelle, const Indexbild& Bild, bool Schlüssel) {
    auto ix = Tabelle.CreateIndex(Bild.Name);
    for (size_t i = 0; i < Bild.Felder.size(); ++i) {
        auto f = ix->CreateField(Bild.Felder[i]);
        f->Attributes(Bild.Attribute[i]);
        ix->Fields().Append(f);
    }
    ix->Unique(Schlüssel && Bild.Unique);
    ix->Primary(Schlüssel && Bild.Primary);
    Tabelle.Indexes().Append(ix);
}
}  // namespace

std::vector<Indexbild> Schlüsselindizes(const Text& Tabelle) {
    std::vector<Indexbild> bilder;
    for (const auto& ix : Datenbank().TableDefs()[Tabelle]->Indexes().liste()) {
        if (!ix->Unique() && !ix->Primary()) continue;
        Indexbild b{ix->Name(), {}, {}, ix->Unique(), ix->Primary()};
        for (const auto& f : ix->Fields().liste()) {
            b.Felder.push_back(f->Name());
            b.Attribute.push_back(f->Attributes());
        }
        bilder.push_back(std::move(b));
    }
    return bilder;
}

std::vector<Indexbild> IndizesEntschärfen(const Text& Tabelle) {
    auto t = Datenbank().TableDefs()[Tabelle];
    const std::vector<Indexbild> bilder = Schlüsselindizes(Tabelle);
    for (const auto& b : bilder) {
        t->Indexes().Delete(b.Name);
        IndexAnhängen(*t, b, false);
    }
    return bilder;
}

void IndizesWiederherstellen(const Text& Tabelle, const std::vector<Indexbild>& Bilder) {
    auto t = Datenbank().TableDefs()[Tabelle];
    for (const auto& b : Bilder) {
        t->Indexes().Delete(b.Name);
        try {
            IndexAnhängen(*t, b, true);
        } catch (const LaufzeitFehler&) {
            IndexAnhängen(*t, b, false);
            throw;
        }
    }
}
