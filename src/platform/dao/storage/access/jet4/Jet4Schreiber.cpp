#include "platform/dao/storage/access/jet4/Jet4Schreiber.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "platform/dao/storage/Bytes.h"
#include "platform/dao/storage/access/jet4/Jet4Index.h"
#include "platform/dao/storage/access/jet4/Jet4Karte.h"
#include "platform/dao/storage/access/jet4/Jet4Katalog.h"
#include "platform/dao/storage/access/jet4/Jet4Zeilen.h"

namespace dao::speicher::access::jet4 {
namespace {

constexpr uint16_t kAllgemein = 1033;
constexpr uint8_t kEindeutig = 0x01;

// Collects the index entries of a table's rows, old and new, and builds its trees
// once at the end: one bulk load per index instead of an insert per row.
class Anfüger {
public:
    Anfüger(Datei& datei, Tabellendef& def) : datei_(datei), def_(def), schreiber_(datei, def) {
        einträge_.resize(def.realeIndizes.size());
        // Where each index column's value lies in a row, found once for all rows.
        for (const RealerIndex& index : def.realeIndizes) {
            std::vector<size_t> stellen;
            for (const IndexSpalte& s : index.spalten) {
                const auto it = std::find_if(def.spalten.begin(), def.spalten.end(),
                                             [&](const Spalte& sp) { return sp.nummer == s.nummer; });
                if (it == def.spalten.end())
                    throw Formatfehler("jet4: index column " + std::to_string(s.nummer) + " is not in the table");
                stellen.push_back(static_cast<size_t>(it - def.spalten.begin()));
            }
            spaltenstellen_.push_back(std::move(stellen));
        }
        if (einträge_.empty() || def.zeilen == 0) return;
        ZeilenDurchgehen(datei, def, [&](Zeilenort ort, std::span<const uint8_t> zeile) {
            Eintragen(ZeileLesen(datei, def, zeile), ort);
        });
    }

    void Zeile(std::vector<Variante>& werte) { Eintragen(werte, schreiber_.Einfügen(werte)); }

    void Abschließen() {
        for (size_t i = 0; i < def_.realeIndizes.size(); ++i) {
            RealerIndex& index = def_.realeIndizes[i];
            auto& liste = einträge_[i];
            std::sort(liste.begin(), liste.end(), Vor);
            if (index.flags & kEindeutig) EindeutigPrüfen(index, liste);
            Nutzungskarte karte(datei_, index.karte);
            IndexBauen(datei_, def_, index, karte, liste);
        }
        ZählerSchreiben(datei_, def_);
    }

private:
    Datei& datei_;
    Tabellendef& def_;
    Zeilenschreiber schreiber_;
    std::vector<std::vector<Indexeintrag>> einträge_;
    std::vector<std::vector<size_t>> spaltenstellen_;  // per real index: its columns' places in a row

    bool EinNull(size_t index, const std::vector<Variante>& werte) const {
        for (size_t k : spaltenstellen_[index])
            if (werte.at(k).istNull()) return true;
        return false;
    }

    void Eintragen(const std::vector<Variante>& werte, Zeilenort ort) {
        for (size_t i = 0; i < def_.realeIndizes.size(); ++i) {
            const RealerIndex& index = def_.realeIndizes[i];
            if (OhneEintrag(def_, index, werte)) continue;
            Indexeintrag e{Schlüssel(def_, index, werte), ort};
            // Nulls may repeat in a unique index, as the engine's own tables allow it.
            if ((index.flags & kEindeutig) && EinNull(i, werte)) nullhaltig_.push_back({i, ort});
            einträge_[i].push_back(std::move(e));
        }
    }

    // A unique index with a repeated key would be a file Access reports as damaged.
    void EindeutigPrüfen(const RealerIndex& index, const std::vector<Indexeintrag>& liste) const {
        const size_t nr = static_cast<size_t>(&index - def_.realeIndizes.data());
        for (size_t k = 1; k < liste.size(); ++k) {
            if (liste[k].schlüssel != liste[k - 1].schlüssel) continue;
            const bool mitNull = std::any_of(nullhaltig_.begin(), nullhaltig_.end(),
                                             [&](const auto& n) { return n.first == nr && n.second == liste[k].ort; });
            if (!mitNull)
                throw NichtSchreibbar(u"Ein eindeutiger Index der Tabelle enthält einen Wert doppelt; die Tabelle "
                                      u"wurde nicht geschrieben.");
        }
    }

    std::vector<std::pair<size_t, Zeilenort>> nullhaltig_;
};

}  // namespace

std::optional<Text> Hindernis(const Datei& datei) {
    if (datei.Verschlüsselt())
        return Text(u"Die Datei ist verschlüsselt; Purivo schreibt nur unverschlüsselte Access-Dateien.");
    if (datei.Sortierung() != kAllgemein || datei.Sortierversion() != 0)
        return Text(u"Die Datei verwendet nicht die Sortierreihenfolge \"Allgemein\" von Access 2000 bis 2003; "
                    u"Purivo schreibt nur Dateien mit dieser Sortierreihenfolge.");
    return std::nullopt;
}

void ZeilenAnfügen(Datei& datei, Tabellendef& def, const Zeilenquelle& quelle) {
    Anfüger anfüger(datei, def);
    std::vector<Variante> werte(def.spalten.size());
    while (quelle(werte)) {
        werte.resize(def.spalten.size());
        anfüger.Zeile(werte);
    }
    anfüger.Abschließen();
}

void IndizesNeuBauen(Datei& datei, Tabellendef& def) {
    ZeilenAnfügen(datei, def, [](std::vector<Variante>&) { return false; });
}

void TabelleHinzufügen(Datei& datei, const TabellenBeschreibung& beschreibung,
                       const std::function<void(const Zeilenziel&)>& zeilen, double jetzt) {
    if (const auto grund = Hindernis(datei)) throw NichtSchreibbar(*grund);
    EintragPrüfen(datei, beschreibung.name);
    Tabellendef def = EntwurfAus(beschreibung, datei.Sortierung(), datei.Sortierversion());
    // The definition may order its columns otherwise than the description.
    std::vector<size_t> spalteDesFelds(beschreibung.felder.size());
    for (size_t f = 0; f < beschreibung.felder.size(); ++f) {
        const auto it = std::find_if(def.spalten.begin(), def.spalten.end(),
                                     [&](const Spalte& s) { return s.name == beschreibung.felder[f].name; });
        if (it == def.spalten.end()) throw Formatfehler("jet4: a field is missing from the new definition");
        spalteDesFelds[f] = static_cast<size_t>(it - def.spalten.begin());
    }
    TabelleAnlegen(datei, def);
    {
        Anfüger anfüger(datei, def);
        std::vector<Variante> werte(def.spalten.size());
        zeilen([&](const std::vector<Variante>& zeile) {
            std::fill(werte.begin(), werte.end(), Variante::Null());
            for (size_t f = 0; f < zeile.size() && f < spalteDesFelds.size(); ++f) werte[spalteDesFelds[f]] = zeile[f];
            anfüger.Zeile(werte);
        });
        anfüger.Abschließen();
    }
    TabelleEintragen(datei, def, beschreibung, jetzt);
}

namespace {

constexpr size_t kTdefStelle = 4;  // data and index pages: the owning definition
constexpr size_t kZeilenzahl = 12, kZeilentabelle = 14;
constexpr uint16_t kGelöscht = 0x8000;

// The usage-map rows of a table: owned and free pages, its long-value columns' and its indexes'.
std::vector<Zeilenort> Kartenzeilen(const Tabellendef& def) {
    std::vector<Zeilenort> karten = {def.belegt, def.frei};
    for (const Spalte& s : def.spalten)
        if (s.lvBelegt.seite != 0) {
            karten.push_back(s.lvBelegt);
            karten.push_back(s.lvFrei);
        }
    for (const RealerIndex& r : def.realeIndizes) karten.push_back(r.karte);
    return karten;
}

bool Langwertseite(const uint8_t* s) {
    return s[0] == static_cast<uint8_t>(Seitentyp::Daten) && std::memcmp(s + kTdefStelle, "LVAL", 4) == 0;
}

// Every page that belongs to the table alone, checked before anything changes: a page
// that is not what its map says would be another object's, and freeing it would
// damage the file.
std::set<uint32_t> EigeneSeiten(Datei& datei, const Tabellendef& def, const std::vector<Zeilenort>& karten,
                                const Text& name) {
    const auto fremd = [&](uint32_t nr) {
        return NichtSchreibbar(u"Die Tabelle \"" + name + u"\" verzeichnet die Seite " + ausUtf8(std::to_string(nr)) +
                               u" als ihre, die es nicht ist; Purivo löscht die Tabelle darum nicht.");
    };
    const auto prüfen = [&](uint32_t nr) {
        if (nr <= kKatalogSeite || nr >= datei.Seitenzahl()) throw fremd(nr);
        return datei.Seite(nr);
    };
    std::set<uint32_t> seiten;
    for (const uint32_t nr : Nutzungskarte(datei, def.belegt).Seiten()) {
        const uint8_t* s = prüfen(nr);
        if (!(s[0] == static_cast<uint8_t>(Seitentyp::Daten) && le32(s + kTdefStelle) == def.seite) &&
            !Langwertseite(s))
            throw fremd(nr);
        seiten.insert(nr);
    }
    for (const uint32_t nr : Nutzungskarte(datei, def.frei).Seiten())
        if (!seiten.count(nr)) throw fremd(nr);
    for (const Spalte& sp : def.spalten) {
        if (sp.lvBelegt.seite == 0) continue;
        for (const uint32_t nr : Nutzungskarte(datei, sp.lvBelegt).Seiten()) {
            if (!Langwertseite(prüfen(nr))) throw fremd(nr);
            seiten.insert(nr);
        }
    }
    for (const RealerIndex& r : def.realeIndizes)
        for (const uint32_t nr : Nutzungskarte(datei, r.karte).Seiten()) {
            const uint8_t* s = prüfen(nr);
            const bool index = s[0] == static_cast<uint8_t>(Seitentyp::IndexKnoten) ||
                               s[0] == static_cast<uint8_t>(Seitentyp::IndexBlatt);
            if (!index || le32(s + kTdefStelle) != def.seite) throw fremd(nr);
            seiten.insert(nr);
        }
    for (const Zeilenort k : karten)
        for (const uint32_t nr : Nutzungskarte(datei, k).Kartenseiten()) {
            prüfen(nr);
            seiten.insert(nr);
        }
    for (const uint32_t nr : def.defSeiten) {
        prüfen(nr);
        seiten.insert(nr);
    }

    // A page of map rows goes when it holds no one else's rows; else only ours are deleted.
    std::map<uint32_t, std::set<uint8_t>> zeilen;
    for (const Zeilenort k : karten) zeilen[k.seite].insert(k.zeile);
    for (const auto& [nr, unsere] : zeilen) {
        if (nr == 0 || nr >= datei.Seitenzahl()) throw fremd(nr);
        const uint8_t* s = datei.Seite(nr);
        if (s[0] != static_cast<uint8_t>(Seitentyp::Daten) || seiten.count(nr)) throw fremd(nr);
        if (nr <= kKatalogSeite) continue;  // the global map's page stays whatever it holds
        const size_t zahl = le16(s + kZeilenzahl);
        bool andere = false;
        for (size_t z = 0; z < zahl; ++z)
            if (!(le16(s + kZeilentabelle + 2 * z) & kGelöscht) && !unsere.count(static_cast<uint8_t>(z)))
                andere = true;
        if (!andere) seiten.insert(nr);
    }
    return seiten;
}

}  // namespace

void TabelleLöschen(Datei& datei, TextSicht name) {
    if (const auto grund = Hindernis(datei)) throw NichtSchreibbar(*grund);
    const auto [seite, genau] = TabelleFinden(datei, name);
    const Tabellendef def = TabelleLesen(datei, seite);
    if (def.typ != 0x4E) throw NichtSchreibbar(u"Systemtabellen löscht Purivo nicht.");
    const std::vector<Zeilenort> karten = Kartenzeilen(def);
    const std::set<uint32_t> seiten = EigeneSeiten(datei, def, karten, genau);
    // Map rows on pages that stay: deleted there.
    TabelleAustragen(datei, genau);
    for (const Zeilenort k : karten)
        if (!seiten.count(k.seite)) AlsGelöschtMarkieren(datei, k);
    for (const uint32_t nr : seiten) datei.SeiteFreigeben(nr);
}

}  // namespace dao::speicher::access::jet4
