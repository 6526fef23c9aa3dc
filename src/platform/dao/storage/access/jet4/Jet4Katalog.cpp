// Format facts: mdbtools' HACKING notes and the Apache-licensed Jackcess library.
// What Access writes for a new table was read off the catalogues of files Access made.
#include "platform/dao/storage/access/jet4/Jet4Katalog.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>

#include "platform/dao/storage/access/jet4/Jet4Eigenschaften.h"
#include "platform/dao/storage/access/jet4/Jet4Index.h"
#include "platform/dao/storage/access/jet4/Jet4Schreiber.h"
#include "platform/dao/storage/access/jet4/Jet4Zeilen.h"

namespace dao::speicher::access::jet4 {

namespace {

constexpr int16_t kTypContainer = 3, kTypTabelle = 1, kTypDatenbank = 2;

using Bytes = std::vector<uint8_t>;

[[noreturn]] void Unerwartet(const std::u16string& was) {
    throw NichtSchreibbar(u"Der Systemkatalog der Datei hat nicht die Form, die Access ihm gibt (" + was +
                          u"); Purivo ändert darum nichts daran.");
}

// Index of the column `name` of type `typ` in `def.spalten`.
size_t SpalteFinden(const Tabellendef& def, TextSicht name, uint8_t typ, const char16_t* tabelle) {
    for (size_t i = 0; i < def.spalten.size(); ++i)
        if (def.spalten[i].name == name && def.spalten[i].typ == typ) return i;
    Unerwartet(Text(tabelle) + u" ohne die Spalte " + Text(name));
}

struct AceZeile {
    Bytes sid;
    int32_t acm = 0;
    bool vererbbar = false;
};

struct Objekt {
    int32_t id, parent;
    int16_t typ;
    Text name;
    std::optional<Bytes> owner;
    Zeilenort ort;
};

// What the catalogue says before a table is entered.
struct Katalog {
    Tabellendef objekte;  // MSysObjects
    size_t id = 0, parentId = 0, name = 0, typ = 0, datumNeu = 0, datumGeändert = 0, owner = 0, flags = 0, lvProp = 0;
    int32_t tabellenId = 0;         // the Tables container
    Bytes engine;                   // owner of the Tables container: the engine's SID
    Bytes eigentümer;               // owner of MSysDb: the user who made the database
    uint32_t aceSeite = 0;          // definition of MSysACEs
    uint32_t beziehungenSeite = 0;  // definition of MSysRelationships, 0: none
    int32_t beziehungenId = 0;      // the Relationships container, 0: none
    std::vector<Objekt> alle;
    std::vector<Bytes> namensschlüssel;  // keys of the names in the Tables container
    std::vector<Text> namenGroß;
    std::vector<int32_t> ids;

    // The object `name` of the Tables container: exactly so spelt, else as Access compares.
    const Objekt* Tabelle(TextSicht name) const {
        const Objekt* gleich = nullptr;
        for (const auto& x : alle)
            if (x.parent == tabellenId && x.typ == kTypTabelle) {
                if (x.name == name) return &x;
                if (!gleich && Grossbuchstaben(x.name) == Grossbuchstaben(name)) gleich = &x;
            }
        return gleich;
    }
};

int32_t Ganz(const Variante& v) { return v.istNull() ? 0 : static_cast<int32_t>(v.zahl()); }

// The key the ParentIdName index gives a name: names Access sees as one have one key.
std::optional<Bytes> Namensschlüssel(const Spalte& spalte, TextSicht name) {
    Bytes k;
    try {
        SchlüsselAnhängen(k, spalte, Variante(name), true);
    } catch (const NichtSchreibbar&) {
        return std::nullopt;
    }
    return k;
}

Katalog KatalogLesen(const Datei& datei) {
    if (datei.Seitenzahl() <= kKatalogSeite ||
        datei.Seite(kKatalogSeite)[0] != static_cast<uint8_t>(Seitentyp::Tabelle))
        Unerwartet(u"MSysObjects steht nicht auf Seite 2");
    Katalog k;
    k.objekte = TabelleLesen(datei, kKatalogSeite);
    const Tabellendef& o = k.objekte;
    k.id = SpalteFinden(o, u"Id", kLong, u"MSysObjects");
    k.parentId = SpalteFinden(o, u"ParentId", kLong, u"MSysObjects");
    k.name = SpalteFinden(o, u"Name", kText, u"MSysObjects");
    k.typ = SpalteFinden(o, u"Type", kInteger, u"MSysObjects");
    k.datumNeu = SpalteFinden(o, u"DateCreate", kDatum, u"MSysObjects");
    k.datumGeändert = SpalteFinden(o, u"DateUpdate", kDatum, u"MSysObjects");
    k.owner = SpalteFinden(o, u"Owner", kBinär, u"MSysObjects");
    k.flags = SpalteFinden(o, u"Flags", kLong, u"MSysObjects");
    k.lvProp = SpalteFinden(o, u"LvProp", kOle, u"MSysObjects");

    std::vector<Objekt>& alle = k.alle;
    ZeilenDurchgehen(datei, o, [&](Zeilenort ort, std::span<const uint8_t> zeile) {
        const auto w = ZeileLesen(datei, o, zeile);
        alle.push_back({Ganz(w[k.id]), Ganz(w[k.parentId]), static_cast<int16_t>(Ganz(w[k.typ])),
                        w[k.name].istNull() ? Text() : w[k.name].text(), RohwertLesen(datei, o, zeile, k.owner), ort});
    });

    auto finden = [&](int32_t parent, TextSicht name, int16_t typ) -> const Objekt* {
        const Objekt* gefunden = nullptr;
        for (const auto& x : alle)
            if (x.parent == parent && x.name == name && x.typ == typ) {
                if (gefunden) Unerwartet(u"das Objekt " + Text(name) + u" steht zweimal darin");
                gefunden = &x;
            }
        return gefunden;
    };
    const Objekt* tabellen = finden(kKatalogWurzel, u"Tables", kTypContainer);
    if (!tabellen) Unerwartet(u"der Container der Tabellen fehlt");
    const Objekt* datenbanken = finden(kKatalogWurzel, u"Databases", kTypContainer);
    const Objekt* msysDb = datenbanken ? finden(datenbanken->id, u"MSysDb", kTypDatenbank) : nullptr;
    if (!msysDb || !msysDb->owner || msysDb->owner->empty()) Unerwartet(u"der Eintrag MSysDb mit dem Eigentümer fehlt");
    if (!tabellen->owner || tabellen->owner->empty()) Unerwartet(u"der Container der Tabellen hat keinen Eigentümer");
    const Objekt* selbst = finden(tabellen->id, u"MSysObjects", kTypTabelle);
    if (!selbst || selbst->id != static_cast<int32_t>(kKatalogSeite))
        Unerwartet(u"MSysObjects steht nicht auf Seite 2");
    const Objekt* aces = finden(tabellen->id, u"MSysACEs", kTypTabelle);
    if (!aces || aces->id <= 0 || static_cast<uint32_t>(aces->id) >= datei.Seitenzahl())
        Unerwartet(u"die Tabelle MSysACEs fehlt");

    if (const Objekt* b = finden(kKatalogWurzel, u"Relationships", kTypContainer)) {
        k.beziehungenId = b->id;
        const Objekt* r = finden(tabellen->id, u"MSysRelationships", kTypTabelle);
        if (!r || r->id <= 0 || static_cast<uint32_t>(r->id) >= datei.Seitenzahl())
            Unerwartet(u"die Tabelle MSysRelationships fehlt");
        k.beziehungenSeite = static_cast<uint32_t>(r->id);
    }
    k.tabellenId = tabellen->id;
    k.engine = *tabellen->owner;
    k.eigentümer = *msysDb->owner;
    k.aceSeite = static_cast<uint32_t>(aces->id);
    for (const auto& x : alle) {
        k.ids.push_back(x.id);
        if (x.parent != k.tabellenId) continue;
        if (auto s = Namensschlüssel(o.spalten[k.name], x.name)) k.namensschlüssel.push_back(std::move(*s));
        k.namenGroß.push_back(Grossbuchstaben(x.name));
    }
    return k;
}

void NamePrüfen(const Katalog& k, TextSicht name) {
    if (name.empty() || name.size() > kTabellennameHöchstens)
        throw NichtSchreibbar(u"Ein Tabellenname muss 1 bis 64 Zeichen lang sein.");
    const bool verboten = name.front() == u' ' || std::any_of(name.begin(), name.end(), [](char16_t c) {
                              return c < 0x20 || c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']';
                          });
    if (verboten)
        throw NichtSchreibbar(u"Der Tabellenname \"" + Text(name) +
                              u"\" ist in Access nicht erlaubt (Punkt, Ausrufezeichen, Gravis, eckige Klammern, "
                              u"Steuerzeichen oder ein Leerzeichen am Anfang).");
    const auto schlüssel = Namensschlüssel(k.objekte.spalten[k.name], name);
    if (!schlüssel)
        throw NichtSchreibbar(u"Der Tabellenname \"" + Text(name) +
                              u"\" enthält ein Zeichen, das Access in Objektnamen nicht sortieren kann.");
    const bool doppelt =
        std::find(k.namensschlüssel.begin(), k.namensschlüssel.end(), *schlüssel) != k.namensschlüssel.end() ||
        std::find(k.namenGroß.begin(), k.namenGroß.end(), Grossbuchstaben(name)) != k.namenGroß.end();
    if (doppelt)
        throw NichtSchreibbar(u"In der Datei gibt es schon eine Tabelle oder Abfrage namens \"" + Text(name) +
                              u"\" (Access unterscheidet dabei nicht nach Groß- und Kleinschreibung).");
}

// The Creator's SID (the rights a container grants whoever makes an object in it) is
// the engine's with its second byte xor 7: so in every file Access wrote that we have.
Bytes ErstellerSid(const Bytes& engine) {
    Bytes s = engine;
    if (s.size() == 2) s[1] ^= 0x07;
    else s.clear();
    return s;
}

}  // namespace

std::vector<uint8_t> SpalteneigenschaftenKodieren(const TabellenBeschreibung& beschreibung) {
    std::vector<Eigenschaftsgruppe> gruppen;
    for (const auto& f : beschreibung.felder) {
        Eigenschaftsgruppe g{f.name, {BoolEigenschaft(u"Required", f.pflicht)}, uint16_t{1}};
        if (f.typ == kText || f.typ == kMemo)
            g.eigenschaften.push_back(BoolEigenschaft(u"AllowZeroLength", f.leerErlaubt));
        gruppen.push_back(std::move(g));
    }
    return EigenschaftenKodieren(gruppen);
}

void EintragPrüfen(const Datei& datei, TextSicht name) { NamePrüfen(KatalogLesen(datei), name); }

void TabelleEintragen(Datei& datei, const Tabellendef& def, const TabellenBeschreibung& beschreibung, double jetzt) {
    Katalog k = KatalogLesen(datei);
    NamePrüfen(k, beschreibung.name);
    if (def.seite <= kKatalogSeite || def.seite >= datei.Seitenzahl() || def.seite > 0x00FFFFFF)
        throw Formatfehler("jet4: the new table's definition page is not in the file");
    const auto id = static_cast<int32_t>(def.seite);
    if (std::find(k.ids.begin(), k.ids.end(), id) != k.ids.end())
        Unerwartet(u"ein Objekt trägt schon die Nummer der neuen Tabelle");

    // The access rows: those the Tables container passes on, as Access makes them for a
    // new table, read before anything is written.
    Tabellendef aces = TabelleLesen(datei, k.aceSeite);
    const size_t aceObjekt = SpalteFinden(aces, u"ObjectId", kLong, u"MSysACEs");
    const size_t aceSid = SpalteFinden(aces, u"SID", kBinär, u"MSysACEs");
    const size_t aceAcm = SpalteFinden(aces, u"ACM", kLong, u"MSysACEs");
    const size_t aceErbe = SpalteFinden(aces, u"FInheritable", kBoolean, u"MSysACEs");
    std::vector<AceZeile> container;
    bool schonDa = false;
    ZeilenDurchgehen(datei, aces, [&](Zeilenort, std::span<const uint8_t> zeile) {
        const auto w = ZeileLesen(datei, aces, zeile);
        const int32_t objekt = Ganz(w[aceObjekt]);
        if (objekt == id) schonDa = true;
        if (objekt != k.tabellenId) return;
        auto sid = RohwertLesen(datei, aces, zeile, aceSid);
        container.push_back({sid ? *sid : Bytes(), Ganz(w[aceAcm]), !w[aceErbe].istNull() && w[aceErbe].alsBool()});
    });
    if (schonDa) Unerwartet(u"MSysACEs hat schon Zeilen für die Nummer der neuen Tabelle");
    // Jet passes on the container's inheritable rows; the Creator's row becomes the row of
    // the user who creates the table (the database's owner), in place of that user's own.
    const Bytes ersteller = ErstellerSid(k.engine);
    const bool mitErsteller = std::any_of(container.begin(), container.end(),
                                          [&](const AceZeile& z) { return z.vererbbar && z.sid == ersteller; });
    std::vector<AceZeile> neu;
    for (const auto& z : container) {
        if (!z.vererbbar || z.sid.empty()) continue;
        if (mitErsteller && z.sid == k.eigentümer) continue;
        neu.push_back({z.sid == ersteller ? k.eigentümer : z.sid, z.acm, false});
    }
    if (neu.empty()) Unerwartet(u"der Container der Tabellen vergibt keine Zugriffsrechte");

    {
        std::vector<Variante> werte(k.objekte.spalten.size(), Variante::Null());
        werte[k.id] = Variante(id);
        werte[k.parentId] = Variante(k.tabellenId);
        werte[k.name] = Variante(beschreibung.name);
        werte[k.typ] = Variante(kTypTabelle);
        werte[k.datumNeu] = Variante::Datum(jetzt);
        werte[k.datumGeändert] = Variante::Datum(jetzt);
        werte[k.flags] = Variante(int32_t{0});
        const Rohwerte roh = {{k.owner, k.eigentümer}, {k.lvProp, SpalteneigenschaftenKodieren(beschreibung)}};
        Zeilenschreiber schreiber(datei, k.objekte);
        schreiber.Einfügen(werte, roh);
    }
    {
        Zeilenschreiber schreiber(datei, aces);
        for (const auto& z : neu) {
            std::vector<Variante> werte(aces.spalten.size(), Variante::Null());
            werte[aceObjekt] = Variante(id);
            werte[aceAcm] = Variante(z.acm);
            werte[aceErbe] = Variante(false);
            schreiber.Einfügen(werte, Rohwerte{{aceSid, z.sid}});
        }
    }
    IndizesNeuBauen(datei, k.objekte);
    IndizesNeuBauen(datei, aces);
}

namespace {

constexpr int32_t kNichtErzwungen = 2;  // a relation without referential integrity (dbRelationDontEnforce)

// The places of the rows of `def` that `wählen` picks from their values; collected
// first, so that the caller may change the table afterwards.
std::vector<Zeilenort> ZeilenWählen(const Datei& datei, const Tabellendef& def,
                                    const std::function<bool(const std::vector<Variante>&)>& wählen) {
    std::vector<Zeilenort> orte;
    ZeilenDurchgehen(datei, def, [&](Zeilenort ort, std::span<const uint8_t> zeile) {
        if (wählen(ZeileLesen(datei, def, zeile))) orte.push_back(ort);
    });
    return orte;
}

bool GleichBenannt(const Variante& v, TextSicht name) {
    return !v.istNull() && Grossbuchstaben(v.text()) == Grossbuchstaben(name);
}

// The access rows of object `id` go with it.
void ZugriffsrechteEntfernen(Datei& datei, Tabellendef& aces, int32_t id) {
    const size_t objekt = SpalteFinden(aces, u"ObjectId", kLong, u"MSysACEs");
    for (const Zeilenort ort : ZeilenWählen(datei, aces, [&](const auto& w) { return Ganz(w[objekt]) == id; }))
        ZeileLöschen(datei, aces, ort);
}

struct Beziehungsspalten {
    size_t name, objekt, bezogen, grbit;
    explicit Beziehungsspalten(const Tabellendef& b)
        : name(SpalteFinden(b, u"szRelationship", kText, u"MSysRelationships")),
          objekt(SpalteFinden(b, u"szObject", kText, u"MSysRelationships")),
          bezogen(SpalteFinden(b, u"szReferencedObject", kText, u"MSysRelationships")),
          grbit(SpalteFinden(b, u"grbit", kLong, u"MSysRelationships")) {}
};

}  // namespace

namespace {

// The user table `name` in the catalogue, with a definition page inside the file.
const Objekt& TabellenObjekt(const Katalog& k, const Datei& datei, TextSicht name) {
    const Objekt* t = k.Tabelle(name);
    if (!t) Unerwartet(u"die Tabelle " + Text(name) + u" steht nicht darin");
    if (t->id <= static_cast<int32_t>(kKatalogSeite) || static_cast<uint32_t>(t->id) >= datei.Seitenzahl())
        Unerwartet(u"die Tabelle " + Text(name) + u" hat keine gültige Nummer");
    return *t;
}

}  // namespace

std::pair<uint32_t, Text> TabelleFinden(const Datei& datei, TextSicht name) {
    const Katalog k = KatalogLesen(datei);
    const Objekt& t = TabellenObjekt(k, datei, name);
    return {static_cast<uint32_t>(t.id), t.name};
}

uint32_t TabelleAustragen(Datei& datei, TextSicht name) {
    Katalog k = KatalogLesen(datei);
    const Objekt* t = &TabellenObjekt(k, datei, name);
    if (k.beziehungenSeite) {
        const Tabellendef b = TabelleLesen(datei, k.beziehungenSeite);
        const Beziehungsspalten sp(b);
        ZeilenDurchgehen(datei, b, [&](Zeilenort, std::span<const uint8_t> zeile) {
            const auto w = ZeileLesen(datei, b, zeile);
            if (GleichBenannt(w[sp.objekt], t->name) || GleichBenannt(w[sp.bezogen], t->name))
                throw NichtSchreibbar(u"Die Tabelle \"" + t->name + u"\" gehört noch zur Beziehung \"" +
                                      (w[sp.name].istNull() ? Text() : w[sp.name].text()) + u"\".");
        });
    }
    const int32_t id = t->id;
    Tabellendef aces = TabelleLesen(datei, k.aceSeite);
    ZugriffsrechteEntfernen(datei, aces, id);
    ZeileLöschen(datei, k.objekte, t->ort);
    IndizesNeuBauen(datei, k.objekte);
    IndizesNeuBauen(datei, aces);
    return static_cast<uint32_t>(id);
}

std::optional<Text> BeziehungBleibtGrund(TextSicht name, int32_t attribute) {
    if (attribute & kNichtErzwungen) return std::nullopt;
    return u"Die Beziehung '" + Text(name) +
           u"' wahrt die referentielle Integrität; solche Beziehungen entfernt Purivo nicht aus Access-Dateien. "
           u"Bitte löschen Sie die Beziehung in Access.";
}

void BeziehungAustragen(Datei& datei, TextSicht name) {
    Katalog k = KatalogLesen(datei);
    if (!k.beziehungenSeite) Unerwartet(u"die Tabelle MSysRelationships fehlt");
    Tabellendef b = TabelleLesen(datei, k.beziehungenSeite);
    const Beziehungsspalten sp(b);
    bool erzwungen = false;
    const auto orte = ZeilenWählen(datei, b, [&](const std::vector<Variante>& w) {
        if (!GleichBenannt(w[sp.name], name)) return false;
        erzwungen |= BeziehungBleibtGrund(name, Ganz(w[sp.grbit])).has_value();
        return true;
    });
    if (orte.empty()) Unerwartet(u"die Beziehung " + Text(name) + u" steht nicht darin");
    if (erzwungen) throw NichtSchreibbar(*BeziehungBleibtGrund(name, 0));
    for (const Zeilenort ort : orte) ZeileLöschen(datei, b, ort);
    Tabellendef aces = TabelleLesen(datei, k.aceSeite);
    for (const auto& x : k.alle)
        if (x.parent == k.beziehungenId && Grossbuchstaben(x.name) == Grossbuchstaben(name)) {
            ZugriffsrechteEntfernen(datei, aces, x.id);
            ZeileLöschen(datei, k.objekte, x.ort);
        }
    IndizesNeuBauen(datei, b);
    IndizesNeuBauen(datei, k.objekte);
    IndizesNeuBauen(datei, aces);
}

void TabellenUmbenennen(Datei& datei, const std::vector<std::pair<Text, Text>>& paare, double jetzt) {
    if (paare.empty()) return;
    Katalog k = KatalogLesen(datei);
    std::vector<const Objekt*> objekte;
    for (const auto& [alt, neu] : paare) {
        const Objekt* t = k.Tabelle(alt);
        if (!t) Unerwartet(u"die Tabelle " + alt + u" steht nicht darin");
        objekte.push_back(t);
    }
    // The names as they will be: the others, then each new one in turn.
    k.namensschlüssel.clear();
    k.namenGroß.clear();
    for (const auto& x : k.alle) {
        if (x.parent != k.tabellenId || std::find(objekte.begin(), objekte.end(), &x) != objekte.end()) continue;
        if (auto s = Namensschlüssel(k.objekte.spalten[k.name], x.name)) k.namensschlüssel.push_back(std::move(*s));
        k.namenGroß.push_back(Grossbuchstaben(x.name));
    }
    for (const auto& [alt, neu] : paare) {
        NamePrüfen(k, neu);
        if (auto s = Namensschlüssel(k.objekte.spalten[k.name], neu)) k.namensschlüssel.push_back(std::move(*s));
        k.namenGroß.push_back(Grossbuchstaben(neu));
    }

    for (size_t i = 0; i < paare.size(); ++i) {
        const Text alt = objekte[i]->name, &neu = paare[i].second;
        ZeileErsetzen(datei, k.objekte, objekte[i]->ort, [&](std::vector<Variante>& werte, Rohwerte& roh) {
            werte[k.name] = Variante(neu);
            werte[k.datumGeändert] = Variante::Datum(jetzt);
            // The object's own group of properties may carry its name.
            const auto blob = roh.find(k.lvProp);
            if (blob == roh.end()) return;
            try {
                Eigenschaftsblock block = EigenschaftsblockLesen(blob->second);
                bool geändert = false;
                for (auto& g : block.gruppen)
                    if (g.art.value_or(g.objekt.empty() ? 0 : 1) == 0 && !g.objekt.empty() &&
                        Grossbuchstaben(g.objekt) == Grossbuchstaben(alt)) {
                        g.objekt = neu;
                        geändert = true;
                    }
                if (geändert) blob->second = EigenschaftenKodieren(block);
            } catch (const Formatfehler&) {
                // a blob this writer cannot read stays as it is
            }
        });
    }
    if (k.beziehungenSeite) {
        Tabellendef b = TabelleLesen(datei, k.beziehungenSeite);
        const Beziehungsspalten sp(b);
        const auto neuerName = [&](const Variante& v) -> const Text* {
            for (size_t i = 0; i < paare.size(); ++i)
                if (GleichBenannt(v, objekte[i]->name)) return &paare[i].second;
            return nullptr;
        };
        const auto orte = ZeilenWählen(datei, b, [&](const std::vector<Variante>& w) {
            return neuerName(w[sp.objekt]) || neuerName(w[sp.bezogen]);
        });
        for (const Zeilenort ort : orte)
            ZeileErsetzen(datei, b, ort, [&](std::vector<Variante>& werte, Rohwerte&) {
                for (const size_t spalte : {sp.objekt, sp.bezogen})
                    if (const Text* n = neuerName(werte[spalte])) werte[spalte] = Variante(*n);
            });
        if (!orte.empty()) IndizesNeuBauen(datei, b);
    }
    IndizesNeuBauen(datei, k.objekte);
}

}  // namespace dao::speicher::access::jet4
