// The search passes over the sorted search copy.
//
// Rows are fetched in chunks and compared in memory, on data prepared once per
// search (Suchzeilen.h). Quick mode reads cursor A in windows of rows and writes
// its remarks through cursor B, a batch at a time before each commit; PositionA
// is the pass position (the first record of the next neighbour pair), the window
// cursor keeps its own position. Full mode keeps the cursors' positions as the
// block walk defines them and prepares each chunk of a block once: a chunk met
// again is taken from memory and the cursor moved past it instead of reading.
// With worker threads (Sucharbeit.h) the scores are computed ahead; the walk, the
// pair list, the progress, the yields and every error box stay on this thread in
// the same order, and a comparison the workers could not make is made here.
#include "search/mdlSuchlauf.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlMeldungen.h"
#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"
#include "search/Sucharbeit.h"
#include "search/SucheIntern.h"
#include "search/Suchzeilen.h"
#include "search/mdlDublettenpaare.h"
#include "search/mdlSuche.h"

namespace {
constexpr int32_t Fensterzeilen = 256;     // rows per quick-mode window
constexpr int32_t Scannerzeilen = 1024;    // rows per read of the block scanner
constexpr int64_t Zellenbudget = 1 << 20;  // cells of a block kept in memory at most

dao::Recordset& Cursor(const dao::RecordsetPtr& rs) { return Objekt(rs); }

void Bewegen(dao::Recordset& rs, int32_t n) {
    if (n != 0) rs.Move(n);
}

// TEMP_DSN: the third column from the end of every TEMP_DS row.
int32_t Satznummer(const Suchzeilen& z, int32_t zeile) { return z.Wert(z.Spaltenzahl() - 3, zeile).alsLong(); }

// The whole percentage of the score, from the single-precision score in double.
Text Bemerkung(float wert) {
    const auto n = static_cast<int64_t>(std::floor(static_cast<double>(wert) * 100.0));
    return ausUtf8(std::to_string(n)) + u"%";
}

Text Beschreibung(const Variante& v) { return v.text(); }

// ---- quick mode: the remarks of the pass ----
struct Bemerkungsauftrag {
    int32_t position;
    int32_t paar;  // the first position of the pair that gave it
    int32_t satz;  // TEMP_DSN of the record
    Variante text;
};
std::vector<Bemerkungsauftrag> bemerkungen;
constexpr size_t Bemerkungsstapel = 1000;  // remarks per transaction

// Writes the remarks of the pass through cursor B, each step reported as its pair's
// comparison reports it; false after an abort. They go in at the end and in the order
// of the records in the table: written as they came, each would touch a page of its
// own, and every commit would carry those pages once more.
bool BemerkungenSchreiben(Fehlerfalle& lauf) {
    Fehlerfalle falle([] {
        return Beschreibung(Variante(u"Fehler bei der Dublettensuche (Quickmodus) an der Stelle ") &
                            Variante(PositionA) & Variante(u"."));
    });
    std::stable_sort(bemerkungen.begin(), bemerkungen.end(),
                     [](const Bemerkungsauftrag& x, const Bemerkungsauftrag& y) { return x.satz < y.satz; });
    const int32_t position = PositionA;
    if (!lauf([] { Arbeitsbereich().BeginTrans(); })) return false;
    for (size_t i = 0; i < bemerkungen.size(); ++i) {
        const Bemerkungsauftrag& b = bemerkungen[i];
        PositionA = b.paar;
        if (!falle([&] {
                Bewegen(Cursor(rsVergleichB), b.position - PositionB);
                PositionB = b.position;
            }))
            return false;
        if (!falle([&] { Cursor(rsVergleichB).Edit(); })) return false;
        if (!falle([&] { Cursor(rsVergleichB).Fields()[u"TEMP_AMK"]->Value(b.text); })) return false;
        if (!falle([&] { Cursor(rsVergleichB).Update(); })) return false;
        if ((i + 1) % Bemerkungsstapel == 0 &&
            !(lauf([] { Arbeitsbereich().CommitTrans(); }) && lauf([] { Arbeitsbereich().BeginTrans(); })))
            return false;
    }
    if (!lauf([] { Arbeitsbereich().CommitTrans(); })) return false;
    PositionA = position;
    bemerkungen.clear();
    return true;
}

// ---- quick mode: two windows of rows read through cursor A ----
struct Fenster {
    Suchzeilen zeilen;
    int32_t anfang = 0;  // position of row 0; 0: empty
    int32_t anzahl = 0;
};
Fenster fenster[2];
int neuestes = 0;
int32_t fensterCursor = 0;  // position of cursor A; 0: unknown

// While the search's store still lacks rows, the windows' rows are read many windows
// at a time and prepared on every core; the windows then take them from here in
// turn. Once a read finds every row prepared (a later pass), windows read as before.
constexpr int32_t Vorauszeilen = 32 * Fensterzeilen;
struct Voraus {
    std::vector<std::vector<Variante>> zeilen;
    int32_t anfang = 0, anzahl = 0, genommen = 0;  // the rows from `anfang`; the first `genommen` handed on
    bool an = true;
    void leeren() {
        std::vector<std::vector<Variante>>().swap(zeilen);
        anfang = anzahl = genommen = 0;
        an = true;
    }
} voraus;

int32_t Arbeiterzahl();

std::vector<std::vector<Variante>> ZeilenLesen(int32_t pos, int32_t n) {
    dao::Recordset& a = Cursor(rsPuffer);
    if (fensterCursor == 0) {
        a.MoveFirst();
        fensterCursor = 1;
    }
    Bewegen(a, pos - fensterCursor);
    fensterCursor = 0;
    auto z = a.GetRows(n);
    fensterCursor = pos + (z.empty() ? 0 : static_cast<int32_t>(z[0].size()));
    return z;
}

// The rows of the window at `pos` from the rows read ahead; false when they are not there.
bool VorausNehmen(int32_t pos, std::vector<std::vector<Variante>>& z) {
    const bool weiter = voraus.genommen < voraus.anzahl && pos == voraus.anfang + voraus.genommen;
    if (!weiter && !voraus.an) return false;
    if (!weiter) {
        voraus.anzahl = voraus.genommen = 0;
        voraus.zeilen = ZeilenLesen(pos, Vorauszeilen);
        voraus.anfang = pos;
        voraus.anzahl = voraus.zeilen.empty() ? 0 : static_cast<int32_t>(voraus.zeilen[0].size());
        if (suche_intern::Vorausbereiten(voraus.zeilen, Arbeiterzahl()) == 0) voraus.an = false;
    }
    const auto von = static_cast<ptrdiff_t>(voraus.genommen);
    const auto n = static_cast<ptrdiff_t>(std::min(Fensterzeilen, voraus.anzahl - voraus.genommen));
    z.resize(voraus.zeilen.size());
    for (size_t c = 0; c < z.size(); ++c) {
        auto& quelle = voraus.zeilen[c];
        z[c].assign(std::make_move_iterator(quelle.begin() + von), std::make_move_iterator(quelle.begin() + von + n));
    }
    voraus.genommen += static_cast<int32_t>(n);
    return true;
}

void FensterLeeren() {
    bemerkungen.clear();
    for (auto& f : fenster) {
        f.zeilen.Setzen({});
        f.anfang = f.anzahl = 0;
    }
    fensterCursor = 0;
    voraus.leeren();
}

void FensterFüllen(Fenster& f, int32_t pos) {
    f.anfang = f.anzahl = 0;
    f.zeilen.Setzen({});
    std::vector<std::vector<Variante>> z;
    if (!VorausNehmen(pos, z)) z = ZeilenLesen(pos, Fensterzeilen);
    const int32_t n = z.empty() ? 0 : static_cast<int32_t>(z[0].size());
    f.zeilen.Setzen(std::move(z));
    f.anfang = pos;
    f.anzahl = n;
}

bool Enthält(const Fenster& f, int32_t pos) { return f.anfang > 0 && pos >= f.anfang && pos < f.anfang + f.anzahl; }

// The window holding record `pos`; a new window replaces the one not holding `schonen`.
const Fenster& Zeile(int32_t pos, int32_t schonen) {
    for (int i = 0; i < 2; ++i)
        if (Enthält(fenster[i], pos)) return fenster[i];
    int ziel = 1 - neuestes;
    if (Enthält(fenster[ziel], schonen)) ziel = neuestes;
    FensterFüllen(fenster[ziel], pos);
    neuestes = ziel;
    if (!Enthält(fenster[ziel], pos)) FehlerAuslösen(dao::fehler::KeinAktuellerDatensatz, u"Kein aktueller Datensatz.");
    return fenster[ziel];
}

// ---- full mode: the workers' results while a pass runs on them ----
suche_intern::Sucharbeit* arbeit = nullptr;

// The workers of one pass and the lock of the prepared data they read.
struct Arbeitsstand {
    std::unique_ptr<suche_intern::Sucharbeit> sucharbeit;
    ~Arbeitsstand() { Beenden(); }
    void Beenden() {
        arbeit = nullptr;
        sucharbeit.reset();
        suche_intern::SuchvergleichsdatenGesperrt = false;
    }
};

int32_t Arbeiterzahl() {
    if (SuchArbeiter > 0) return SuchArbeiter;
    return static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
}

// Comparisons before (i, j) in a pair of chunks, and in all of it.
int64_t Versatz(bool erstes, int32_t i, int32_t j, int32_t nB) {
    if (!erstes) return static_cast<int64_t>(i) * nB + j;
    return static_cast<int64_t>(i) * nB - static_cast<int64_t>(i) * (i + 1) / 2 + (j - i - 1);
}
int64_t Anzahl(bool erstes, int32_t nA, int32_t nB) {
    return erstes ? static_cast<int64_t>(nA) * (nA - 1) / 2 : static_cast<int64_t>(nA) * nB;
}

// ---- full mode: the chunks of the current block ----
std::vector<Suchzeilen> stücke;
std::vector<char> stückGeladen;
Suchzeilen einzelA, einzelB;

void StückeLeeren() {
    std::vector<Suchzeilen>().swap(stücke);
    stückGeladen = {};
    einzelA.Setzen({});
    einzelB.Setzen({});
}

struct Block {
    int32_t von, bis;
    bool vergleichen;  // a key neither Null nor empty (blanks only count as empty)
};

struct Blockschlüssel {
    bool null = false;
    Text text;
    // Null equals only Null.
    bool verschieden(const Blockschlüssel& b) const { return null != b.null || (!null && text != b.text); }
};

Blockschlüssel SchlüsselBilden(const Variante& v, int32_t zeichen) {
    if (v.istNull()) return {true, {}};
    // A value of blanks only has the empty key, like the empty text, so its block is skipped.
    if (v.istText() && suche_intern::NurLeerzeichen(v.text())) return {false, {}};
    return {false, Left(v.alsText(), zeichen)};
}

// ---- full mode: one block, chunk by chunk ----
// A chunk: from memory (the cursor moved past it) or read through the cursor.
Suchzeilen& StückHolen(dao::Recordset& rs, int32_t stück, int32_t n, Suchzeilen& einzeln, bool merken) {
    Suchzeilen& z = merken ? stücke[static_cast<size_t>(stück)] : einzeln;
    if (merken && stückGeladen[static_cast<size_t>(stück)]) {
        Bewegen(rs, n);
        return z;
    }
    z.Setzen({});
    z.Setzen(rs.GetRows(n));
    if (merken) stückGeladen[static_cast<size_t>(stück)] = 1;
    return z;
}

// The walk of a block: each chunk of cursor A against itself and the later chunks through cursor B.
struct Bereichslauf {
    Fehlerfalle& falle;
    int32_t von, bis;
    int16_t k;       // rows per chunk
    bool merken;     // the block's chunks kept in memory
    float wert = 0;  // an abort in the comparison leaves the previous pair's score
    // Chunk a of cursor A and the workers' results for it, when they have them.
    int32_t a = 0, nA = 0;
    Suchzeilen* zeilenA = nullptr;
    bool vorausberechnet = false;
    const suche_intern::Ereignis* ereignis = nullptr;
    const suche_intern::Ereignis* ereignisEnde = nullptr;
    bool erstes = true;  // the chunk of cursor B is chunk a itself
    // The chunk of cursor B; the rows both hold and the positions of their first rows.
    Suchzeilen* zeilenB = nullptr;
    int32_t nB = 0;
    int32_t zA = 0, zB = 0, anfangA = 0, anfangB = 0;
};

// The pairs that matter, as the workers found them, in the order of the
// comparisons; the progress counts the others as they pass. `übernommen` unless a
// read failed: then the pass compares the pair of chunks itself.
bool ErgebnisseÜbernehmen(Bereichslauf& l, bool& übernommen) {
    const int32_t basis = gFortschrittPosition;
    const bool vollständig = l.zA == l.nA && l.zB == l.nB;
    for (; l.ereignis != l.ereignisEnde && l.ereignis->q >= l.anfangB && l.ereignis->q < l.anfangB + l.nB;
         ++l.ereignis) {
        if (!vollständig) continue;  // a chunk whose read failed: compared below
        const int32_t i = l.ereignis->p - l.anfangA, j = l.ereignis->q - l.anfangB;
        gFortschrittPosition = static_cast<int32_t>(basis + Versatz(l.erstes, i, j, l.zB));
        if (l.ereignis->vorherBekannt) l.wert = l.ereignis->vorher;
        if (l.ereignis->art == suche_intern::Ereignisart::Treffer) {
            l.wert = l.ereignis->wert;
        } else {
            DatensätzeVergleichen(*l.zeilenA, *l.zeilenB, i, j, l.wert);
            if (gFehlerAbbruch) return false;
        }
        if (l.wert >= gRelevanz) {
            if (!l.falle([&] { DublettenpaarEintragen(Satznummer(*l.zeilenA, i), Satznummer(*l.zeilenB, j)); }))
                return false;
        }
    }
    if (vollständig) {
        gFortschrittPosition = static_cast<int32_t>(basis + Anzahl(l.erstes, l.zA, l.zB));
        übernommen = true;
    }
    return true;
}

// Every pair of the two chunks, compared here; a chunk against itself only after each row.
bool SelbstVergleichen(Bereichslauf& l) {
    for (int32_t i = 0; i < l.zA; ++i) {
        for (int32_t j = l.erstes ? i + 1 : 0; j < l.zB; ++j) {
            DatensätzeVergleichen(*l.zeilenA, *l.zeilenB, i, j, l.wert);
            if (gFehlerAbbruch) return false;
            if (l.wert >= gRelevanz) {
                if (!l.falle([&] { DublettenpaarEintragen(Satznummer(*l.zeilenA, i), Satznummer(*l.zeilenB, j)); }))
                    return false;
            }
            ++gFortschrittPosition;
        }
    }
    return true;
}

// The next chunk of cursor B against chunk a, then a yield; false when the pass must leave.
bool StückpaarVergleichen(Bereichslauf& l) {
    l.nB = std::min<int32_t>(l.k, l.bis - PositionB + 1);
    const int32_t b = (PositionB - l.von) / l.k;
    l.zeilenB = l.zeilenA;
    if (b == l.a) {
        if (!l.falle([&] { Bewegen(Cursor(rsVergleichB), l.nB); })) return false;
    } else {
        l.zeilenB = &einzelB;
        if (!l.falle([&] { l.zeilenB = &StückHolen(Cursor(rsVergleichB), b, l.nB, einzelB, l.merken); })) return false;
    }
    PositionB += l.nB;
    // A chunk whose read failed and was ignored holds no rows.
    l.zA = std::min(l.nA, l.zeilenA->Zeilenzahl());
    l.zB = std::min(l.nB, l.zeilenB->Zeilenzahl());
    l.anfangA = PositionA - l.nA;
    l.anfangB = PositionB - l.nB;
    bool übernommen = false;
    if (l.vorausberechnet && !ErgebnisseÜbernehmen(l, übernommen)) return false;
    if (!übernommen && !SelbstVergleichen(l)) return false;
    l.erstes = false;
    Oberfläche().Ereignisse();
    if (gAbbruch || gFehlerAbbruch) return false;
    return true;
}

// ---- the pass: opening, quick mode, the estimate of full mode ----
// Cursor A on the sorted copy and its clone as cursor B, both at the first record.
bool SuchlaufÖffnen(Fehlerfalle& falle, Benutzeroberfläche& o, const Text& Sortierliste) {
    o.BeschriftungSetzen(u"lblInformation", u"Tabelle öffnen ...");
    if (!falle([&] {
            rsPuffer = Datenbank().OpenRecordset(u"SELECT * FROM " + dao::SqlBezeichner(Suchpuffername) +
                                                 u" ORDER BY " + Sortierliste);
        }))
        return false;
    if (!falle([&] { Cursor(rsPuffer).MoveLast(); })) return false;
    if (!falle([&] { Cursor(rsPuffer).MoveFirst(); })) return false;
    PositionA = 1;
    if (!falle([&] { rsVergleichB = Cursor(rsPuffer).Clone(); })) return false;
    if (!falle([&] { Cursor(rsVergleichB).MoveLast(); })) return false;
    if (!falle([&] { Cursor(rsVergleichB).MoveFirst(); })) return false;
    PositionB = 1;
    return true;
}

// Quick mode: every record against its successor, to the closing of the cursors.
void QuicksucheDurchlaufen(Fehlerfalle& falle, Benutzeroberfläche& o, const Text& Sortierliste) {
    o.BeschriftungSetzen(u"lblInformation", u"Durchsuche die Tabelle nach Dubletten ... \r\nUnter Sortierung der "
                                            u"Tabelle nach \"" +
                                                Sortierliste + u"\" im Quicksuch-Modus.");
    int32_t gesamt = 0;
    if (!falle([&] { gesamt = Cursor(rsPuffer).RecordCount() - 1; })) return;
    FortschrittZurücksetzen();
    FortschrittStarten(gesamt, 0.3);
    if (!falle([&] { Cursor(rsPuffer).MoveFirst(); })) return;
    fensterCursor = 1;
    for (;;) {
        int32_t anzahl = 0;
        if (!falle([&] { anzahl = Cursor(rsPuffer).RecordCount(); })) return;
        if (PositionA >= anzahl) break;
        QuicksucheVergleichen(PositionA);
        if (gFehlerAbbruch) return;
        if (gAbbruch) return;  // the remarks go with the tables
    }
    if (!BemerkungenSchreiben(falle)) return;
    FortschrittBeenden();
    if (!falle([&] { Cursor(rsVergleichB).Close(); })) return;
    if (!falle([&] { Cursor(rsPuffer).Close(); })) return;
    FensterLeeren();
}

// What the estimate of full mode leaves to the comparisons.
struct Zeitschätzung {
    int32_t gesamt = 0;  // comparisons of all blocks
    std::vector<Block> blöcke;
    int32_t arbeiterzahl = 1;
    // With workers the scan also prepares every row and notes where its data stands.
    std::vector<int32_t> slots;
    Suchzeilen scan;
};

// The block being formed as the scan walks the main column; `start` and `ende`
// are the bounds the pass's error box names.
struct Blockbildung {
    Fehlerfalle& falle;
    Zeitschätzung& schätzung;
    Variante& start;
    Variante& ende;
    int32_t position = 0, von = 0;
    Blockschlüssel schlüssel{};

    // Closes the block at `bis`; one to compare adds its comparisons to the total.
    bool Abschließen(int32_t bis) {
        const bool vergleichen = !schlüssel.null && !schlüssel.text.empty();
        schätzung.blöcke.push_back({von, bis, vergleichen});
        start = Variante(von);
        ende = Variante(bis);
        if (!vergleichen) return true;
        return falle([&] {
            const int64_t m = bis - von + 1;
            const int64_t summe = schätzung.gesamt + (m - 1) * m / 2;
            if (summe > std::numeric_limits<int32_t>::max()) FehlerAuslösen(fehlernummer::Ueberlauf);
            schätzung.gesamt = static_cast<int32_t>(summe);
        });
    }

    // The keys of one read of the scanner; false when the pass must leave.
    bool Fortsetzen(const std::vector<Variante>& spalte, int32_t Zeichen) {
        for (const Variante& v : spalte) {
            ++position;
            Blockschlüssel k = schlüssel;  // a key that cannot be formed continues the block
            if (!falle([&] { k = SchlüsselBilden(v, Zeichen); })) return false;
            if (von == 0) {
                von = position;
                schlüssel = std::move(k);
                start = Variante(von);
            } else if (k.verschieden(schlüssel)) {
                if (!Abschließen(position - 1)) return false;
                von = position;
                schlüssel = std::move(k);
                start = Variante(von);
            }
            ende = Variante(position);
        }
        return true;
    }
};

// One read of the whole sorted copy through rsBereich forms the blocks.
bool BlöckeBilden(Fehlerfalle& falle, Zeitschätzung& s, int32_t Hauptspalte, int32_t Zeichen, Variante& start,
                  Variante& ende) {
    if (!falle([&] { Cursor(rsBereich).MoveFirst(); })) return false;
    Blockbildung bildung{falle, s, start, ende};
    for (;;) {
        std::vector<std::vector<Variante>> zeilen;
        bool gelesen = false;
        if (!falle([&] {
                if (Cursor(rsBereich).EOF_()) return;
                zeilen = Cursor(rsBereich).GetRows(Scannerzeilen);
                if (Hauptspalte < 0 || static_cast<size_t>(Hauptspalte) >= zeilen.size())
                    FehlerAuslösen(dao::fehler::NichtInAuflistung, u"Element in dieser Auflistung nicht gefunden.");
                gelesen = true;
            }))
            return false;
        if (!gelesen || zeilen[static_cast<size_t>(Hauptspalte)].empty()) break;
        if (s.arbeiterzahl > 1) {
            s.scan.Setzen(std::move(zeilen));
            for (int32_t r = 0; r < s.scan.Zeilenzahl(); ++r) s.slots.push_back(s.scan.Suchslot(r));
        }
        const auto& spalte = (s.arbeiterzahl > 1 ? s.scan.Zeilen() : zeilen)[static_cast<size_t>(Hauptspalte)];
        if (!bildung.Fortsetzen(spalte, Zeichen)) return false;
    }
    if (bildung.von > 0 && !bildung.Abschließen(bildung.position)) return false;
    return true;
}

// The time estimate of full mode forms the blocks; false when the pass ends here,
// also when no block needs a comparison.
bool ZeitSchätzen(Fehlerfalle& falle, Benutzeroberfläche& o, Zeitschätzung& s, int32_t Hauptspalte, int32_t Zeichen,
                  Variante& start, Variante& ende) {
    if (!falle([&] { rsBereich = Cursor(rsPuffer).Clone(); })) return false;
    o.BeschriftungSetzen(u"lblInformation", u"Berechne notwendige Zeit ...");
    FortschrittZurücksetzen();
    s.arbeiterzahl = Arbeiterzahl();
    if (!BlöckeBilden(falle, s, Hauptspalte, Zeichen, start, ende)) return false;
    if (s.gesamt == 0) {
        HinweisAnzeigen(Variante(u"Kein Vergleich notwendig.\r\nVersuchen sie es eventuell noch einmal mit dem "
                                 u"Quicksuche-Modus."));
        gAbbruch = true;
        return false;
    }
    return true;
}

// Starts the workers on the blocks to compare, with the rows the scan prepared.
void SucharbeitStarten(Arbeitsstand& arbeitsstand, Zeitschätzung& s) {
    std::vector<suche_intern::Vollblock> vollblöcke;
    for (const Block& b : s.blöcke) {
        if (!b.vergleichen) continue;
        const int32_t m = b.bis - b.von + 1;
        const auto k = static_cast<int16_t>(std::floor(std::log(static_cast<double>(m)) / std::log(1.5) + 1));
        vollblöcke.push_back({b.von, b.bis, k});
    }
    s.scan.Setzen({});
    // Without workers (none could be started) the pass compares alone.
    suche_intern::SuchvergleichsdatenGesperrt = true;
    try {
        arbeitsstand.sucharbeit = std::make_unique<suche_intern::Sucharbeit>(
            suche_intern::Suchvergleichsdaten(), std::move(s.slots), std::move(vollblöcke), gRelevanz,
            KontakteDifferenzieren, s.arbeiterzahl);
        arbeit = arbeitsstand.sucharbeit.get();
    } catch (const std::exception&) {
        arbeitsstand.Beenden();
    }
}

}  // namespace

int32_t SuchArbeiterLaufend() { return suche_intern::LaufendeArbeiter(); }

void QuicksucheVergleichen(int32_t& Position) {
    Fehlerfalle falle([] {
        return Beschreibung(Variante(u"Fehler bei der Dublettensuche (Quickmodus) an der Stelle ") &
                            Variante(PositionA) & Variante(u"."));
    });
    const int32_t p = Position;
    PositionA = p;
    const Fenster* fa = nullptr;
    const Fenster* fb = nullptr;
    if (!falle([&] {
            fa = nullptr;
            fb = nullptr;
            fa = &Zeile(p, p + 1);
            fb = &Zeile(p + 1, p);
        }))
        return;
    float wert = 0;
    if (fa && fb) {
        const int32_t ia = p - fa->anfang, ib = p + 1 - fb->anfang;
        DatensätzeVergleichen(fa->zeilen, fb->zeilen, ia, ib, wert);
        if (gFehlerAbbruch) return;
        if (wert >= gRelevanz) {
            bool gelesen = false;
            int32_t a = 0, b = 0;
            if (!falle([&] {
                    a = Satznummer(fa->zeilen, ia);
                    b = Satznummer(fb->zeilen, ib);
                    gelesen = true;
                }))
                return;
            if (gelesen && !falle([&] { DublettenpaarEintragen(a, b); })) return;
            // Both records get the remark, the earlier one first; the pass writes them
            // at its end. A record of two pairs in a row keeps the later remark.
            const Variante bemerkung(Bemerkung(wert));
            for (const auto& [ziel, satz] : {std::pair{p, a}, std::pair{p + 1, b}}) {
                if (!bemerkungen.empty() && bemerkungen.back().position == ziel)
                    bemerkungen.back() = {ziel, p, satz, bemerkung};
                else bemerkungen.push_back({ziel, p, satz, bemerkung});
            }
        }
    }
    ++gFortschrittPosition;
    Oberfläche().Ereignisse();
    PositionA = p + 1;
}

void BereichVergleichen(const int32_t& Von, const int32_t& Bis) {
    Fehlerfalle falle([&] {
        return Beschreibung(Variante(u"Fehler bei der Dublettensuche im Bereich ") & Variante(Von) &
                            Variante(u" bis ") & Variante(Bis) & Variante(u"\ran der Stelle ") & Variante(PositionA) &
                            Variante(u"."));
    });
    if (!falle([&] {
            Bewegen(Cursor(rsPuffer), Von - PositionA);
            PositionA = Von;
        }))
        return;
    const int32_t m = Bis - Von + 1;
    if (m < 1) return;
    const auto k = static_cast<int16_t>(std::floor(std::log(static_cast<double>(m)) / std::log(1.5) + 1));
    const int32_t stückzahl = (m + k - 1) / k;

    int32_t spalten = 0;
    if (!falle([&] { spalten = Cursor(rsPuffer).Fields().Count(); })) return;
    const bool merken = static_cast<int64_t>(m) * std::max(spalten, 1) <= Zellenbudget;
    if (merken) {
        if (stücke.size() < static_cast<size_t>(stückzahl)) stücke.resize(static_cast<size_t>(stückzahl));
        stückGeladen.assign(static_cast<size_t>(stückzahl), 0);
    }

    const int32_t blockNr = arbeit ? arbeit->BlockSuchen(Von, Bis) : -1;
    Bereichslauf l{falle, Von, Bis, k, merken};
    while (PositionA <= Bis) {
        l.nA = std::min<int32_t>(k, Bis - PositionA + 1);
        l.a = (PositionA - Von) / k;
        l.ereignis = l.ereignisEnde = nullptr;
        l.vorausberechnet = blockNr >= 0 && arbeit->Ereignisse(blockNr, l.a, l.ereignis, l.ereignisEnde);
        l.zeilenA = &einzelA;
        if (!falle([&] { l.zeilenA = &StückHolen(Cursor(rsPuffer), l.a, l.nA, einzelA, merken); })) return;
        PositionA += l.nA;
        if (!falle([&] {
                Bewegen(Cursor(rsVergleichB), (PositionA - l.nA) - PositionB);
                PositionB = PositionA - l.nA;
            }))
            return;
        l.erstes = true;
        while (PositionB <= Bis)
            if (!StückpaarVergleichen(l)) return;
    }
}

void SuchlaufZustandZurücksetzen() {
    FensterLeeren();
    StückeLeeren();
    neuestes = 0;
}

void SuchlaufDurchführen(int32_t Hauptspalte, int32_t Zeichen, const Text& Sortierliste, bool Quick) {
    bool vollmodus = false;
    Variante start, ende;  // the current block's bounds; Empty before the first
    Fehlerfalle falle([&] {
        if (!vollmodus)
            return Beschreibung(Variante(u"Fehler bei der Dublettensuche an der Position ") & Variante(PositionA) &
                                Variante(u"."));
        return Beschreibung(Variante(u"Fehler bei der Dublettensuche im Bereich ") & start & Variante(u" bis ") & ende &
                            Variante(u"."));
    });
    auto& o = Oberfläche();
    FensterLeeren();
    StückeLeeren();

    if (!SuchlaufÖffnen(falle, o, Sortierliste)) return;
    if (Quick) {
        QuicksucheDurchlaufen(falle, o, Sortierliste);
        return;
    }

    // Full mode: the time estimate forms the blocks; the comparisons walk the same blocks.
    vollmodus = true;
    Zeitschätzung schätzung;
    if (!ZeitSchätzen(falle, o, schätzung, Hauptspalte, Zeichen, start, ende)) return;

    o.BeschriftungSetzen(u"lblInformation", u"Durchsuche die Tabelle nach Dubletten ... \r\nUnter Sortierung der "
                                            u"Tabelle nach \"" +
                                                Sortierliste + u"\".");
    FortschrittZurücksetzen();
    FortschrittStarten(schätzung.gesamt, 0.3);
    Arbeitsstand arbeitsstand;
    if (schätzung.arbeiterzahl > 1) SucharbeitStarten(arbeitsstand, schätzung);
    for (const Block& b : schätzung.blöcke) {
        start = Variante(b.von);
        ende = Variante(b.bis);
        if (!b.vergleichen) continue;
        BereichVergleichen(b.von, b.bis);
        if (gFehlerAbbruch) return;
        if (gAbbruch) return;
    }
    arbeitsstand.Beenden();
    FortschrittBeenden();
    StückeLeeren();
    if (!falle([&] { Cursor(rsBereich).Close(); })) return;
    if (!falle([&] { Cursor(rsVergleichB).Close(); })) return;
    if (!falle([&] { Cursor(rsPuffer).Close(); })) return;
}
