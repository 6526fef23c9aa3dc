#include "platform/dao/storage/access/jet4/Jet4Tabelle.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <string>

#include "platform/dao/storage/Bytes.h"
#include "platform/dao/storage/access/jet4/Jet4Karte.h"

// Format facts: mdbtools' HACKING notes and the Apache-licensed Jackcess library.
namespace dao::speicher::access::jet4 {
namespace {

// The definition block of the first TDEF page; continuation pages add their bytes from kFortsetzungDaten.
constexpr size_t kNächsteSeite = 4, kDefinitionslänge = 8, kZeilen = 16, kAutoWert = 20, kAutoSchalter = 24,
                 kTabellentyp = 40, kNächsteSpalte = 41, kVariableSpalten = 43, kSpaltenzahl = 45, kIndexzahl = 47,
                 kRealeIndexzahl = 51, kBelegt = 55, kFrei = 59, kKopfEnde = 63;
constexpr size_t kFortsetzungDaten = 8;
constexpr size_t kHöchstDefSeiten = 64;  // 255 columns and 32 indexes with the longest names need 18
constexpr size_t kRealerIndexKopf = 12, kSpaltenblock = 25, kRealerIndexblock = 52, kLogischerIndexblock = 28;
constexpr size_t kIndexspalten = 10;
constexpr uint16_t kKeineSpalte = 0xFFFF;
constexpr size_t kMagieOffset = 12;
constexpr uint32_t kTabellenmagie = 0x0659;  // Access repeats it in every column and logical index block
constexpr uint32_t kIndexmagie = 0x0783;     // at the start of every real index block
constexpr size_t kRiKarte = 34, kRiWurzel = 38, kRiFlags = 46;
constexpr uint8_t kBenutzertabelle = 0x4E;
constexpr size_t kHöchstSpalten = 255, kHöchstIndizes = 32, kHöchstNamenlänge = 64;
constexpr int32_t kAutoWertAttribut = 16;
// The engine's (DAO's) field types and their columns; Text takes its size from the field.
struct Feldtyp {
    int16_t dao;
    uint8_t typ;
    uint16_t länge;
};
constexpr Feldtyp kFeldtypen[] = {{1, kBoolean, 1},  {2, kByte, 1},   {3, kInteger, 2}, {4, kLong, 4},
                                  {5, kCurrency, 8}, {6, kSingle, 4}, {7, kDouble, 8},  {8, kDatum, 8},
                                  {10, kText, 0},    {12, kMemo, 0}};
constexpr uint8_t kFest = 0x01, kNullErlaubt = 0x02, kAuto = 0x04, kKomprimiert = 0x01;
// Access sets 0x80 on every index of its own.
constexpr uint8_t kIndexEindeutig = 0x01, kIndexPflicht = 0x08, kIndexImmer = 0x80;
constexpr uint32_t kKeinIndex = 0xFFFFFFFF;
constexpr uint8_t kKeineBeziehung = 0x04;  // the cascade bytes of an index that is no relation end
constexpr size_t kDatenseiteKopf = 14;     // data page: header up to the row offsets
constexpr uint16_t kKartenzeilePlatz = 69 + 2;
constexpr size_t kIndexEinträgeAb = 0x1E0;  // index page: entries after header and entry bitmap

// Column block offsets.
constexpr size_t kSpTyp = 0, kSpNummer = 5, kSpVarIndex = 7, kSpNummer2 = 9, kSpSortierung = 11, kSpGenauigkeit = 11,
                 kSpStellen = 12, kSpSortversion = 14, kSpFlags = 15, kSpFlagsErw = 16, kSpFestOffset = 21,
                 kSpLänge = 23;


// The definition's bytes over all its pages, and where each real index's counters lie in them.
struct Definition {
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> seiten;
    size_t realeKöpfe = kKopfEnde;  // start of the real indexes' 12-byte counter blocks
    size_t realeBlöcke = 0;         // start of the real indexes' 52-byte blocks

    // Page and offset of byte `p` of the definition.
    std::pair<uint32_t, size_t> Ort(size_t p) const {
        if (p < kSeitengröße) return {seiten[0], p};
        const size_t k = (p - kSeitengröße) / (kSeitengröße - kFortsetzungDaten) + 1;
        return {seiten.at(k), kFortsetzungDaten + (p - kSeitengröße) % (kSeitengröße - kFortsetzungDaten)};
    }
};

class Leser {
public:
    explicit Leser(const std::vector<uint8_t>& b) : b_(b) {}
    const uint8_t* Nimm(size_t n) {
        if (n > b_.size() || pos_ > b_.size() - n) throw Formatfehler("jet4: table definition cut short");
        const uint8_t* p = b_.data() + pos_;
        pos_ += n;
        return p;
    }
    uint8_t Byte() { return *Nimm(1); }
    uint16_t Wort() { return le16(Nimm(2)); }
    uint32_t Doppelwort() { return le32(Nimm(4)); }
    Text Name() {
        const uint16_t n = Wort();
        if (n % 2) throw Formatfehler("jet4: name of odd length in a table definition");
        const uint8_t* p = Nimm(n);
        Text t;
        t.reserve(n / 2);
        for (size_t i = 0; i < n; i += 2) t.push_back(static_cast<char16_t>(p[i] | (p[i + 1] << 8)));
        return t;
    }
    // Formatfehler unless `anzahl` blocks of `größe` bytes can still follow.
    void Platz(uint64_t anzahl, uint64_t größe) const {
        if (anzahl * größe > b_.size() - pos_) throw Formatfehler("jet4: table definition counts beyond its pages");
    }
    size_t Position() const { return pos_; }
    void Setzen(size_t p) { pos_ = p; }

private:
    const std::vector<uint8_t>& b_;
    size_t pos_ = 0;
};

Definition definitionLaden(const Datei& datei, uint32_t seite) {
    Definition d;
    std::set<uint32_t> gesehen;
    for (uint32_t nr = seite; nr != 0;) {
        if (!gesehen.insert(nr).second) throw Formatfehler("jet4: table definition pages form a cycle");
        if (gesehen.size() > kHöchstDefSeiten) throw Formatfehler("jet4: table definition longer than any can be");
        const uint8_t* s = datei.Seite(nr);
        if (s[0] != static_cast<uint8_t>(Seitentyp::Tabelle))
            throw Formatfehler("jet4: page " + std::to_string(nr) + " is no table definition page");
        d.seiten.push_back(nr);
        d.bytes.insert(d.bytes.end(), s + (d.bytes.empty() ? 0 : kFortsetzungDaten), s + kSeitengröße);
        nr = le32(s + kNächsteSeite);
    }
    return d;
}

// A column's 25-byte block; its name follows after all the blocks.
void spalteLesen(const uint8_t* p, Spalte& s) {
    s.typ = p[kSpTyp];
    s.nummer = le16(p + kSpNummer);
    s.varIndex = le16(p + kSpVarIndex);
    s.flags = p[kSpFlags];
    s.flagsErw = p[kSpFlagsErw];
    s.festOffset = le16(p + kSpFestOffset);
    s.länge = le16(p + kSpLänge);
    if (s.typ == kNumerisch) {
        s.genauigkeit = p[kSpGenauigkeit];
        s.stellen = p[kSpStellen];
    } else {
        s.sortierung = le16(p + kSpSortierung);
        s.sortversion = p[kSpSortversion];
    }
}

// A real index's 52-byte block: up to 10 column slots, then its usage map, root page and flags.
void realenIndexLesen(const uint8_t* p, RealerIndex& r) {
    for (size_t i = 0; i < kIndexspalten; ++i) {
        const uint16_t nr = le16(p + 4 + 3 * i);
        if (nr == kKeineSpalte) continue;
        r.spalten.push_back({nr, (p[4 + 3 * i + 2] & 0x01) != 0});
    }
    r.karte = Zeilenort::AusZeiger(le32(p + kRiKarte));
    r.wurzel = le32(p + kRiWurzel);
    r.flags = p[kRiFlags];
}

void logischenIndexLesen(const uint8_t* p, LogischerIndex& li) {
    li.nummer = le32(p + 4);
    li.real = le32(p + 8);
    li.fremdTyp = p[12];
    li.fremdIndex = le32(p + 13);
    li.fremdTabelle = le32(p + 17);
    li.kaskadeÄndern = p[21];
    li.kaskadeLöschen = p[22];
    li.art = p[23];
}

// Memo and OLE columns' own usage maps, up to 0xFFFF.
void spaltenkartenLesen(Leser& l, std::vector<Spalte>& spalten) {
    for (size_t n = 0;; ++n) {
        const uint16_t nr = l.Wort();
        if (nr == kKeineSpalte) break;
        if (n >= spalten.size()) throw Formatfehler("jet4: more column usage maps than columns");
        const uint8_t* p = l.Nimm(8);
        for (Spalte& s : spalten)
            if (s.nummer == nr) {
                s.lvBelegt = Zeilenort::AusZeiger(le32(p));
                s.lvFrei = Zeilenort::AusZeiger(le32(p + 4));
            }
    }
}

Tabellendef definitionLesen(const Datei& datei, uint32_t seite, Definition& d) {
    if (seite == 0) throw Formatfehler("jet4: table definition on page 0");
    d = definitionLaden(datei, seite);
    const uint8_t* k = d.bytes.data();
    Tabellendef def;
    def.seite = seite;
    def.zeilen = le32(k + kZeilen);
    def.autoWert = le32(k + kAutoWert);
    def.typ = k[kTabellentyp];
    def.nächsteSpalte = le16(k + kNächsteSpalte);
    const uint16_t spalten = le16(k + kSpaltenzahl);
    const uint32_t logische = le32(k + kIndexzahl);
    const uint32_t reale = le32(k + kRealeIndexzahl);
    def.belegt = Zeilenort::AusZeiger(le32(k + kBelegt));
    def.frei = Zeilenort::AusZeiger(le32(k + kFrei));

    // The counts are checked against the bytes before anything is sized by them.
    Leser l(d.bytes);
    l.Setzen(kKopfEnde);
    l.Platz(reale, kRealerIndexKopf + kRealerIndexblock);
    l.Platz(logische, kLogischerIndexblock + 2);
    l.Platz(spalten, kSpaltenblock + 2);
    d.realeKöpfe = kKopfEnde;
    def.realeIndizes.resize(reale);
    for (RealerIndex& r : def.realeIndizes) r.zeilen = le32(l.Nimm(kRealerIndexKopf) + 4);
    def.spalten.resize(spalten);
    for (Spalte& s : def.spalten) spalteLesen(l.Nimm(kSpaltenblock), s);
    for (Spalte& s : def.spalten) s.name = l.Name();
    d.realeBlöcke = l.Position();
    for (RealerIndex& r : def.realeIndizes) realenIndexLesen(l.Nimm(kRealerIndexblock), r);
    def.logischeIndizes.resize(logische);
    for (LogischerIndex& li : def.logischeIndizes) {
        logischenIndexLesen(l.Nimm(kLogischerIndexblock), li);
        if (li.real >= reale) throw Formatfehler("jet4: logical index refers to a missing real index");
    }
    for (LogischerIndex& li : def.logischeIndizes) li.name = l.Name();
    spaltenkartenLesen(l, def.spalten);
    def.defSeiten = d.seiten;
    return def;
}

// Access refuses names that are empty, longer than 64 characters, begin with a space or
// hold control characters or any of . ! ` [ ].
bool nameGültig(const Text& name) {
    if (name.empty() || name.size() > kHöchstNamenlänge || name.front() == u' ') return false;
    return std::none_of(name.begin(), name.end(), [](char16_t c) {
        return c < 0x20 || c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']';
    });
}

void wortAnhängen(std::vector<uint8_t>& b, uint16_t w) {
    b.push_back(static_cast<uint8_t>(w));
    b.push_back(static_cast<uint8_t>(w >> 8));
}

void doppelwortAnhängen(std::vector<uint8_t>& b, uint32_t w) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(w >> (8 * i)));
}

// Names are counted in bytes, UTF-16LE without an end mark.
void nameAnhängen(std::vector<uint8_t>& b, const Text& t) {
    wortAnhängen(b, static_cast<uint16_t>(2 * t.size()));
    for (char16_t c : t) wortAnhängen(b, static_cast<uint16_t>(c));
}

// The header up to kKopfEnde; the definition's length is set once all blocks are in.
void kopfSchreiben(std::vector<uint8_t>& b, const Tabellendef& def) {
    b[0] = static_cast<uint8_t>(Seitentyp::Tabelle);
    b[1] = 0x01;
    setze32(&b[kMagieOffset], kTabellenmagie);
    setze32(&b[kZeilen], def.zeilen);
    setze32(&b[kAutoWert], def.autoWert);
    b[kAutoSchalter] = 1;  // Access numbers AutoNumber columns only with this set
    b[kTabellentyp] = def.typ;
    setze16(&b[kNächsteSpalte], def.nächsteSpalte);
    setze16(&b[kVariableSpalten], static_cast<uint16_t>(std::count_if(def.spalten.begin(), def.spalten.end(),
                                                                      [](const Spalte& s) { return !s.Fest(); })));
    setze16(&b[kSpaltenzahl], static_cast<uint16_t>(def.spalten.size()));
    setze32(&b[kIndexzahl], static_cast<uint32_t>(def.logischeIndizes.size()));
    setze32(&b[kRealeIndexzahl], static_cast<uint32_t>(def.realeIndizes.size()));
    setze32(&b[kBelegt], def.belegt.Zeiger());
    setze32(&b[kFrei], def.frei.Zeiger());
}

// A zeroed block of `größe` bytes at the end of `b`.
uint8_t* blockAnhängen(std::vector<uint8_t>& b, size_t größe) {
    const size_t a = b.size();
    b.resize(a + größe, 0);
    return &b[a];
}

void spaltenblöckeAnhängen(std::vector<uint8_t>& b, const Tabellendef& def) {
    for (size_t i = 0; i < def.spalten.size(); ++i) {
        const Spalte& s = def.spalten[i];
        uint8_t* p = blockAnhängen(b, kSpaltenblock);
        p[kSpTyp] = s.typ;
        setze32(p + 1, kTabellenmagie);
        setze16(p + kSpNummer, s.nummer);
        setze16(p + kSpVarIndex, s.varIndex);
        setze16(p + kSpNummer2, static_cast<uint16_t>(i));  // its place in the list
        if (s.typ == kNumerisch) {
            p[kSpGenauigkeit] = s.genauigkeit;
            p[kSpStellen] = s.stellen;
        } else {
            setze16(p + kSpSortierung, s.sortierung);
            p[kSpSortversion] = s.sortversion;
        }
        p[kSpFlags] = s.flags;
        p[kSpFlagsErw] = s.flagsErw;
        setze16(p + kSpFestOffset, s.festOffset);
        setze16(p + kSpLänge, s.länge);
    }
}

void realeIndexblöckeAnhängen(std::vector<uint8_t>& b, const Tabellendef& def) {
    for (const RealerIndex& r : def.realeIndizes) {
        uint8_t* p = blockAnhängen(b, kRealerIndexblock);
        setze32(p, kIndexmagie);
        for (size_t i = 0; i < kIndexspalten; ++i) {
            const bool da = i < r.spalten.size();
            setze16(p + 4 + 3 * i, da ? r.spalten[i].nummer : kKeineSpalte);
            p[4 + 3 * i + 2] = da && r.spalten[i].aufsteigend ? 0x01 : 0x00;
        }
        setze32(p + kRiKarte, r.karte.Zeiger());
        setze32(p + kRiWurzel, r.wurzel);
        p[kRiFlags] = r.flags;
    }
}

void logischeIndexblöckeAnhängen(std::vector<uint8_t>& b, const Tabellendef& def) {
    for (const LogischerIndex& li : def.logischeIndizes) {
        uint8_t* p = blockAnhängen(b, kLogischerIndexblock);
        setze32(p, kTabellenmagie);
        setze32(p + 4, li.nummer);
        setze32(p + 8, li.real);
        p[12] = li.fremdTyp;
        setze32(p + 13, li.fremdIndex);
        setze32(p + 17, li.fremdTabelle);
        p[21] = li.kaskadeÄndern;
        p[22] = li.kaskadeLöschen;
        p[23] = li.art;
    }
}

// Only columns with their own usage maps (Memo, OLE) appear; 0xFFFF ends the list.
void spaltenkartenAnhängen(std::vector<uint8_t>& b, const Tabellendef& def) {
    for (const Spalte& s : def.spalten)
        if (s.lvBelegt.Zeiger() != 0) {
            wortAnhängen(b, s.nummer);
            doppelwortAnhängen(b, s.lvBelegt.Zeiger());
            doppelwortAnhängen(b, s.lvFrei.Zeiger());
        }
    wortAnhängen(b, kKeineSpalte);
}

std::vector<uint8_t> definitionBauen(const Tabellendef& def) {
    std::vector<uint8_t> b(kKopfEnde, 0);
    kopfSchreiben(b, def);
    // Per real index 12 bytes; the second double word counts its rows.
    for (const RealerIndex& r : def.realeIndizes) {
        doppelwortAnhängen(b, 0);
        doppelwortAnhängen(b, r.zeilen);
        doppelwortAnhängen(b, 0);
    }
    spaltenblöckeAnhängen(b, def);
    for (const Spalte& s : def.spalten) nameAnhängen(b, s.name);
    realeIndexblöckeAnhängen(b, def);
    logischeIndexblöckeAnhängen(b, def);
    for (const LogischerIndex& li : def.logischeIndizes) nameAnhängen(b, li.name);
    spaltenkartenAnhängen(b, def);
    setze32(&b[kDefinitionslänge], static_cast<uint32_t>(b.size()));
    return b;
}

[[noreturn]] void abgelehnt(const Text& tabelle, const Text& warum) {
    throw NichtSchreibbar(u"Die Tabelle \"" + tabelle + u"\" kann Purivo nicht anlegen: " + warum);
}

// The column for one field, all but its place among the fixed and variable columns.
Spalte spalteAus(const Text& tabelle, const FeldBeschreibung& f, uint16_t nummer, uint16_t sortierung,
                 uint16_t sortversion) {
    if (!nameGültig(f.name)) abgelehnt(tabelle, u"der Feldname \"" + f.name + u"\" ist in Access nicht erlaubt.");
    Spalte s;
    s.name = f.name;
    s.nummer = nummer;
    const auto art =
        std::find_if(std::begin(kFeldtypen), std::end(kFeldtypen), [&](const Feldtyp& t) { return t.dao == f.typ; });
    if (art == std::end(kFeldtypen))
        abgelehnt(tabelle, u"das Feld \"" + f.name + u"\" hat einen Typ, den Purivo nicht schreibt.");
    s.typ = art->typ;
    s.länge = art->länge;
    if (s.typ == kText) {
        // No size given: the largest Access allows.
        if (f.größe < 0 || f.größe > 255)
            abgelehnt(tabelle, u"das Textfeld \"" + f.name + u"\" ist länger als 255 Zeichen.");
        s.länge = static_cast<uint16_t>(2 * (f.größe == 0 ? 255 : f.größe));
    }
    const bool auto_ = (f.attribute & kAutoWertAttribut) != 0;
    if (auto_ && s.typ != kLong) abgelehnt(tabelle, u"nur Long-Felder können AutoWert sein (\"" + f.name + u"\").");
    const bool festeLänge = s.typ != kText && s.typ != kMemo;
    s.flags = static_cast<uint8_t>((festeLänge ? kFest : 0) | (f.pflicht ? 0 : kNullErlaubt) | (auto_ ? kAuto : 0));
    if (!festeLänge) s.flagsErw = kKomprimiert;
    s.sortierung = sortierung;
    s.sortversion = static_cast<uint8_t>(sortversion);
    return s;
}

void spaltenAnlegen(Tabellendef& def, const TabellenBeschreibung& beschreibung, uint16_t sortierung,
                    uint16_t sortversion) {
    uint16_t fest = 0, variabel = 0;
    for (const FeldBeschreibung& f : beschreibung.felder) {
        Spalte s = spalteAus(beschreibung.name, f, static_cast<uint16_t>(def.spalten.size()), sortierung, sortversion);
        if (s.Fest()) {
            // A fixed column carries the number of variable columns before it; Boolean lives
            // in the Null mask alone and takes no fixed bytes.
            s.varIndex = variabel;
            if (s.typ != kBoolean) {
                s.festOffset = fest;
                fest = static_cast<uint16_t>(fest + s.länge);
            }
        } else {
            s.varIndex = variabel++;
        }
        def.spalten.push_back(std::move(s));
    }
}

// The index's columns, all ascending; NichtSchreibbar for what Access would refuse.
std::vector<IndexSpalte> indexspaltenAus(const Text& tabelle, const Tabellendef& def, const IndexBeschreibung& x) {
    if (x.felder.empty() || x.felder.size() > kIndexspalten)
        abgelehnt(tabelle, u"der Index \"" + x.name + u"\" hat keine oder mehr als 10 Spalten.");
    if (!nameGültig(x.name)) abgelehnt(tabelle, u"der Indexname \"" + x.name + u"\" ist in Access nicht erlaubt.");
    std::vector<IndexSpalte> spalten;
    for (const Text& feld : x.felder) {
        const auto it = std::find_if(def.spalten.begin(), def.spalten.end(),
                                     [&](const Spalte& s) { return Grossbuchstaben(s.name) == Grossbuchstaben(feld); });
        if (it == def.spalten.end())
            abgelehnt(tabelle, u"der Index \"" + x.name + u"\" nennt das unbekannte Feld \"" + feld + u"\".");
        if (it->typ == kMemo) abgelehnt(tabelle, u"ein Memofeld kann nicht indiziert werden (\"" + feld + u"\").");
        spalten.push_back({it->nummer, true});
    }
    return spalten;
}

// Each described index with the number of its real index.
using Indexzuordnung = std::vector<std::pair<const IndexBeschreibung*, uint32_t>>;

// One real index per distinct column list: the primary key's first, then unique ones.
Indexzuordnung realeIndizesAnlegen(Tabellendef& def, const TabellenBeschreibung& beschreibung) {
    std::vector<const IndexBeschreibung*> reihe;
    for (const auto& x : beschreibung.indizes)
        if (x.primär) reihe.push_back(&x);
    for (const auto& x : beschreibung.indizes)
        if (!x.primär && x.eindeutig) reihe.push_back(&x);
    for (const auto& x : beschreibung.indizes)
        if (!x.primär && !x.eindeutig) reihe.push_back(&x);
    Indexzuordnung logisch;
    for (const IndexBeschreibung* x : reihe) {
        const std::vector<IndexSpalte> spalten = indexspaltenAus(beschreibung.name, def, *x);
        const uint8_t flags = static_cast<uint8_t>(kIndexImmer | (x->primär ? kIndexEindeutig | kIndexPflicht : 0) |
                                                   (x->eindeutig ? kIndexEindeutig : 0));
        auto r = std::find_if(def.realeIndizes.begin(), def.realeIndizes.end(), [&](const RealerIndex& ri) {
            return ri.spalten.size() == spalten.size() && std::equal(spalten.begin(), spalten.end(), ri.spalten.begin(),
                                                                     [](const IndexSpalte& a, const IndexSpalte& b) {
                                                                         return a.nummer == b.nummer &&
                                                                                a.aufsteigend == b.aufsteigend;
                                                                     });
        });
        if (r == def.realeIndizes.end()) {
            def.realeIndizes.push_back({});
            r = def.realeIndizes.end() - 1;
            r->spalten = spalten;
        }
        r->flags |= flags;
        logisch.emplace_back(x, static_cast<uint32_t>(r - def.realeIndizes.begin()));
    }
    return logisch;
}

// Access numbers the logical indexes as created and keeps them sorted by name.
void logischeIndizesAnlegen(Tabellendef& def, const TabellenBeschreibung& beschreibung, const Indexzuordnung& logisch) {
    for (const auto& [x, real] : logisch) {
        LogischerIndex li;
        li.name = x->name;
        li.nummer = static_cast<uint32_t>(x - beschreibung.indizes.data());
        li.real = real;
        li.art = x->primär ? 1 : 0;
        li.fremdIndex = kKeinIndex;
        li.kaskadeÄndern = li.kaskadeLöschen = kKeineBeziehung;
        def.logischeIndizes.push_back(std::move(li));
    }
    std::stable_sort(def.logischeIndizes.begin(), def.logischeIndizes.end(),
                     [](const LogischerIndex& a, const LogischerIndex& b) {
                         return Grossbuchstaben(a.name) < Grossbuchstaben(b.name);
                     });
    for (size_t i = 1; i < def.logischeIndizes.size(); ++i)
        if (Grossbuchstaben(def.logischeIndizes[i].name) == Grossbuchstaben(def.logischeIndizes[i - 1].name))
            abgelehnt(beschreibung.name, u"zwei Indizes heißen \"" + def.logischeIndizes[i].name + u"\".");
}

}  // namespace

Tabellendef TabelleLesen(const Datei& datei, uint32_t seite) {
    Definition d;
    return definitionLesen(datei, seite, d);
}

Tabellendef EntwurfAus(const TabellenBeschreibung& beschreibung, uint16_t sortierung, uint16_t sortversion) {
    if (beschreibung.felder.empty()) abgelehnt(beschreibung.name, u"sie hat keine Felder.");
    if (beschreibung.felder.size() > kHöchstSpalten) abgelehnt(beschreibung.name, u"sie hat mehr als 255 Felder.");
    Tabellendef def;
    def.typ = kBenutzertabelle;
    def.nächsteSpalte = static_cast<uint16_t>(beschreibung.felder.size());
    spaltenAnlegen(def, beschreibung, sortierung, sortversion);
    const Indexzuordnung logisch = realeIndizesAnlegen(def, beschreibung);
    logischeIndizesAnlegen(def, beschreibung, logisch);
    return def;
}

namespace {

void entwurfPrüfen(const Tabellendef& def) {
    if (def.spalten.empty() || def.spalten.size() > kHöchstSpalten || def.realeIndizes.size() > kHöchstIndizes ||
        def.logischeIndizes.size() > kHöchstIndizes)
        throw Formatfehler("jet4: table definition out of bounds");
    for (const LogischerIndex& li : def.logischeIndizes)
        if (li.real >= def.realeIndizes.size())
            throw Formatfehler("jet4: logical index refers to a missing real index");
}

// The page after the definition holds its usage-map rows (and more pages like it when
// they do not fit): owned pages, pages with free space, one per real index, and a
// pair per Memo column. Access leaves its tdef field 0 and these pages in no map.
class Kartenzeilen {
public:
    explicit Kartenzeilen(Datei& datei) : datei_(datei) {}
    Zeilenort Nächste() {
        if (seite_ == 0 || le16(datei_.Seite(seite_) + 2) < kKartenzeilePlatz) {
            seite_ = datei_.SeiteAnlegen();
            uint8_t* s = datei_.Seite(seite_);
            s[0] = static_cast<uint8_t>(Seitentyp::Daten);
            s[1] = 0x01;
            setze16(s + 2, static_cast<uint16_t>(kSeitengröße - kDatenseiteKopf));
        }
        return Nutzungskarte::Anlegen(datei_, seite_);
    }

private:
    Datei& datei_;
    uint32_t seite_ = 0;
};

// An empty leaf as the root, as Access writes it for a new index.
uint32_t indexwurzelAnlegen(Datei& datei, uint32_t tabellenseite) {
    const uint32_t wurzel = datei.SeiteAnlegen();
    uint8_t* s = datei.Seite(wurzel);
    s[0] = static_cast<uint8_t>(Seitentyp::IndexBlatt);
    s[1] = 0x01;
    setze16(s + 2, static_cast<uint16_t>(kSeitengröße - kIndexEinträgeAb));
    setze32(s + 4, tabellenseite);
    return wurzel;
}

// Each map row and index root takes its pages as it comes; the file's page order follows from it.
void kartenAnlegen(Datei& datei, Tabellendef& def) {
    Kartenzeilen zeilen(datei);
    def.belegt = zeilen.Nächste();
    def.frei = zeilen.Nächste();
    for (RealerIndex& r : def.realeIndizes) {
        r.karte = zeilen.Nächste();
        r.wurzel = indexwurzelAnlegen(datei, def.seite);
        Nutzungskarte(datei, r.karte).Hinzufügen(r.wurzel);
        r.zeilen = 0;
    }
    for (Spalte& s : def.spalten)
        if (s.typ == kMemo || s.typ == kOle) {
            s.lvBelegt = zeilen.Nächste();
            s.lvFrei = zeilen.Nächste();
        } else {
            s.lvBelegt = s.lvFrei = {};
        }
}

// The definition's bytes over its first page and as many continuation pages as they need.
void definitionVerteilen(Datei& datei, Tabellendef& def, const std::vector<uint8_t>& bytes) {
    def.defSeiten = {def.seite};
    const size_t daten = kSeitengröße - kFortsetzungDaten;
    for (size_t rest = bytes.size() > kSeitengröße ? bytes.size() - kSeitengröße : 0; rest > 0;
         rest -= std::min(rest, daten))
        def.defSeiten.push_back(datei.SeiteAnlegen());
    size_t pos = 0;
    for (size_t k = 0; k < def.defSeiten.size(); ++k) {
        uint8_t* s = datei.Seite(def.defSeiten[k]);
        const size_t kopf = k == 0 ? 0 : kFortsetzungDaten;
        const size_t n = std::min(bytes.size() - pos, kSeitengröße - kopf);
        std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                  bytes.begin() + static_cast<std::ptrdiff_t>(pos + n), s + kopf);
        s[0] = static_cast<uint8_t>(Seitentyp::Tabelle);
        s[1] = 0x01;
        // Free bytes as Access counts them: 8 fewer than the page has left.
        const size_t belegt = kopf + n;
        setze16(s + 2, static_cast<uint16_t>(belegt + 8 >= kSeitengröße ? 0 : kSeitengröße - belegt - 8));
        setze32(s + kNächsteSeite, k + 1 < def.defSeiten.size() ? def.defSeiten[k + 1] : 0);
        pos += n;
    }
}

}  // namespace

void TabelleAnlegen(Datei& datei, Tabellendef& def) {
    entwurfPrüfen(def);
    def.seite = datei.SeiteAnlegen();
    kartenAnlegen(datei, def);
    definitionVerteilen(datei, def, definitionBauen(def));
}

void ZählerSchreiben(Datei& datei, const Tabellendef& def) {
    Definition d;
    const Tabellendef alt = definitionLesen(datei, def.seite, d);
    if (alt.realeIndizes.size() != def.realeIndizes.size())
        throw Formatfehler("jet4: counters for a definition with other indexes");
    const auto schreiben = [&](size_t p, uint32_t wert) {
        for (size_t i = 0; i < 4; ++i) {
            const auto [seite, offset] = d.Ort(p + i);
            datei.Seite(seite)[offset] = static_cast<uint8_t>(wert >> (8 * i));
        }
    };
    schreiben(kZeilen, def.zeilen);
    schreiben(kAutoWert, def.autoWert);
    for (size_t i = 0; i < def.realeIndizes.size(); ++i) {
        schreiben(d.realeKöpfe + kRealerIndexKopf * i + 4, def.realeIndizes[i].zeilen);
        schreiben(d.realeBlöcke + kRealerIndexblock * i + kRiWurzel, def.realeIndizes[i].wurzel);
    }
}

uint16_t FesteLänge(uint8_t typ) {
    switch (typ) {
        case kBoolean:
        case kByte: return 1;
        case kInteger: return 2;
        case kLong:
        case kSingle: return 4;
        case kCurrency:
        case kDouble:
        case kDatum: return 8;
        case kGuid: return 16;
        case kNumerisch: return 17;
        default: return 0;
    }
}

}  // namespace dao::speicher::access::jet4
