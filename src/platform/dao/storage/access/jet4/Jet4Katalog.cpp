// Format facts: mdbtools' HACKING notes and the Apache-licensed Jackcess library.
// What Access writes for a new table was read off the catalogues of files Access made.
#include "platform/dao/storage/access/jet4/Jet4Katalog.h"

#include <algorithm>
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
                          u"); Purivo legt darin keine Tabelle an.");
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

// What the catalogue says before a table is entered.
struct Katalog {
    Tabellendef objekte;  // MSysObjects
    size_t id = 0, parentId = 0, name = 0, typ = 0, datumNeu = 0, datumGeändert = 0, owner = 0, flags = 0,
           lvProp = 0;
    int32_t tabellenId = 0;  // the Tables container
    Bytes engine;            // owner of the Tables container: the engine's SID
    Bytes eigentümer;        // owner of MSysDb: the user who made the database
    uint32_t aceSeite = 0;   // definition of MSysACEs
    std::vector<Bytes> namensschlüssel;  // keys of the names in the Tables container
    std::vector<Text> namenGroß;
    std::vector<int32_t> ids;
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
    if (datei.Seitenzahl() <= kKatalogSeite || datei.Seite(kKatalogSeite)[0] != static_cast<uint8_t>(Seitentyp::Tabelle))
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

    struct Objekt {
        int32_t id, parent;
        int16_t typ;
        Text name;
        std::optional<Bytes> owner;
    };
    std::vector<Objekt> alle;
    ZeilenDurchgehen(datei, o, [&](Zeilenort, std::span<const uint8_t> zeile) {
        const auto w = ZeileLesen(datei, o, zeile);
        alle.push_back({Ganz(w[k.id]), Ganz(w[k.parentId]), static_cast<int16_t>(Ganz(w[k.typ])),
                        w[k.name].istNull() ? Text() : w[k.name].text(), RohwertLesen(datei, o, zeile, k.owner)});
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
    if (!selbst || selbst->id != static_cast<int32_t>(kKatalogSeite)) Unerwartet(u"MSysObjects steht nicht auf Seite 2");
    const Objekt* aces = finden(tabellen->id, u"MSysACEs", kTypTabelle);
    if (!aces || aces->id <= 0 || static_cast<uint32_t>(aces->id) >= datei.Seitenzahl())
        Unerwartet(u"die Tabelle MSysACEs fehlt");

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
        if (f.typ == kText || f.typ == kMemo) g.eigenschaften.push_back(BoolEigenschaft(u"AllowZeroLength", f.leerErlaubt));
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

}  // namespace dao::speicher::access::jet4
