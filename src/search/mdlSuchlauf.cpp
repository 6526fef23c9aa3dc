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

#include "foundation/mdlDatenbank.h"
#include "foundation/Oberflaeche.h"
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

// ---- quick mode: the remarks of the open batch, by position ----
struct Bemerkungsauftrag {
    int32_t position;
    int32_t paar;  // the first position of the pair that gave it
    Variante text;
};
std::vector<Bemerkungsauftrag> bemerkungen;

// Writes the remarks of the batch through cursor B in one forward walk, each step
// reported as its pair's comparison reports it; false after an abort.
bool BemerkungenSchreiben() {
    Fehlerfalle falle([] {
        return Beschreibung(Variante(u"Fehler bei der Dublettensuche (Quickmodus) an der Stelle ") &
                            Variante(PositionA) & Variante(u"."));
    });
    const int32_t position = PositionA;
    for (const Bemerkungsauftrag& b : bemerkungen) {
        PositionA = b.paar;
        if (!falle([&] {
                Bewegen(Cursor(rsVergleichB), b.position - PositionB);
                PositionB = b.position;
            }))
            return false;
        if (!falle([&] { Cursor(rsVergleichB).Edit(); })) return false;
        if (!falle([&] { Cursor(rsVergleichB).Fields()[u"TEMP_AMK"]->Value(b.text); })) return false;
        if (!falle([&] { Cursor(rsVergleichB).Update(); })) return false;
    }
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

void FensterLeeren() {
    bemerkungen.clear();
    for (auto& f : fenster) {
        f.zeilen.Setzen({});
        f.anfang = f.anzahl = 0;
    }
    fensterCursor = 0;
}

void FensterFüllen(Fenster& f, int32_t pos) {
    f.anfang = f.anzahl = 0;
    f.zeilen.Setzen({});
    dao::Recordset& a = Cursor(rsPuffer);
    if (fensterCursor == 0) {
        a.MoveFirst();
        fensterCursor = 1;
    }
    Bewegen(a, pos - fensterCursor);
    fensterCursor = 0;
    auto z = a.GetRows(Fensterzeilen);
    const int32_t n = z.empty() ? 0 : static_cast<int32_t>(z[0].size());
    fensterCursor = pos + n;
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
            // with its batch. A record of two pairs in a row keeps the later remark.
            const Variante bemerkung(Bemerkung(wert));
            for (int32_t ziel : {p, p + 1}) {
                if (!bemerkungen.empty() && bemerkungen.back().position == ziel)
                    bemerkungen.back() = {ziel, p, bemerkung};
                else
                    bemerkungen.push_back({ziel, p, bemerkung});
            }
        }
    }
    ++gFortschrittPosition;
    Oberfläche().Ereignisse();
    PositionA = p + 1;
}

void BereichVergleichen(const int32_t& Von, const int32_t& Bis) {
    Fehlerfalle falle([&] {
        return Beschreibung(Variante(u"Fehler bei der Dublettensuche im Bereich ") & Variante(Von) & Variante(u" bis ") &
                            Variante(Bis) & Variante(u"\ran der Stelle ") & Variante(PositionA) & Variante(u"."));
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
    // A chunk: from memory (the cursor moved past it) or read through the cursor.
    auto holen = [&](dao::Recordset& rs, int32_t stück, int32_t n, Suchzeilen& einzeln) -> Suchzeilen& {
        Suchzeilen& z = merken ? stücke[static_cast<size_t>(stück)] : einzeln;
        if (merken && stückGeladen[static_cast<size_t>(stück)]) {
            Bewegen(rs, n);
            return z;
        }
        z.Setzen({});
        z.Setzen(rs.GetRows(n));
        if (merken) stückGeladen[static_cast<size_t>(stück)] = 1;
        return z;
    };

    const int32_t blockNr = arbeit ? arbeit->BlockSuchen(Von, Bis) : -1;
    float wert = 0;  // an abort in the comparison leaves the previous pair's score
    while (PositionA <= Bis) {
        const int32_t nA = std::min<int32_t>(k, Bis - PositionA + 1);
        const int32_t a = (PositionA - Von) / k;
        // The workers' results for this chunk of cursor A, when they have them.
        const suche_intern::Ereignis* ereignis = nullptr;
        const suche_intern::Ereignis* ereignisEnde = nullptr;
        const bool vorausberechnet = blockNr >= 0 && arbeit->Ereignisse(blockNr, a, ereignis, ereignisEnde);
        Suchzeilen* zeilenA = &einzelA;
        if (!falle([&] { zeilenA = &holen(Cursor(rsPuffer), a, nA, einzelA); })) return;
        PositionA += nA;
        if (!falle([&] {
                Bewegen(Cursor(rsVergleichB), (PositionA - nA) - PositionB);
                PositionB = PositionA - nA;
            }))
            return;
        bool erstes = true;
        while (PositionB <= Bis) {
            const int32_t nB = std::min<int32_t>(k, Bis - PositionB + 1);
            const int32_t b = (PositionB - Von) / k;
            Suchzeilen* zeilenB = zeilenA;
            if (b == a) {
                if (!falle([&] { Bewegen(Cursor(rsVergleichB), nB); })) return;
            } else {
                zeilenB = &einzelB;
                if (!falle([&] { zeilenB = &holen(Cursor(rsVergleichB), b, nB, einzelB); })) return;
            }
            PositionB += nB;
            // A chunk whose read failed and was ignored holds no rows.
            const int32_t zA = std::min(nA, zeilenA->Zeilenzahl()), zB = std::min(nB, zeilenB->Zeilenzahl());
            const int32_t anfangA = PositionA - nA, anfangB = PositionB - nB;
            if (vorausberechnet) {
                // The pairs that matter, as the workers found them, in the order of the
                // comparisons; the progress counts the others as they pass.
                const int32_t basis = gFortschrittPosition;
                const bool vollständig = zA == nA && zB == nB;
                for (; ereignis != ereignisEnde && ereignis->q >= anfangB && ereignis->q < anfangB + nB; ++ereignis) {
                    if (!vollständig) continue;  // a chunk whose read failed: compared below
                    const int32_t i = ereignis->p - anfangA, j = ereignis->q - anfangB;
                    gFortschrittPosition = static_cast<int32_t>(basis + Versatz(erstes, i, j, zB));
                    if (ereignis->vorherBekannt) wert = ereignis->vorher;
                    if (ereignis->art == suche_intern::Ereignisart::Treffer) {
                        wert = ereignis->wert;
                    } else {
                        DatensätzeVergleichen(*zeilenA, *zeilenB, i, j, wert);
                        if (gFehlerAbbruch) return;
                    }
                    if (wert >= gRelevanz) {
                        if (!falle([&] { DublettenpaarEintragen(Satznummer(*zeilenA, i), Satznummer(*zeilenB, j)); }))
                            return;
                    }
                }
                if (vollständig) {
                    gFortschrittPosition = static_cast<int32_t>(basis + Anzahl(erstes, zA, zB));
                    erstes = false;
                    Oberfläche().Ereignisse();
                    if (gAbbruch || gFehlerAbbruch) return;
                    continue;
                }
            }
            for (int32_t i = 0; i < zA; ++i) {
                for (int32_t j = erstes ? i + 1 : 0; j < zB; ++j) {
                    DatensätzeVergleichen(*zeilenA, *zeilenB, i, j, wert);
                    if (gFehlerAbbruch) return;
                    if (wert >= gRelevanz) {
                        if (!falle([&] { DublettenpaarEintragen(Satznummer(*zeilenA, i), Satznummer(*zeilenB, j)); }))
                            return;
                    }
                    ++gFortschrittPosition;
                }
            }
            erstes = false;
            Oberfläche().Ereignisse();
            if (gAbbruch || gFehlerAbbruch) return;
        }
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

    o.BeschriftungSetzen(u"lblInformation", u"Tabelle öffnen ...");
    if (!falle([&] {
            rsPuffer = Datenbank().OpenRecordset(u"SELECT * FROM " + dao::SqlBezeichner(Suchpuffername) + u" ORDER BY " +
                                                 Sortierliste);
        }))
        return;
    if (!falle([&] { Cursor(rsPuffer).MoveLast(); })) return;
    if (!falle([&] { Cursor(rsPuffer).MoveFirst(); })) return;
    PositionA = 1;
    if (!falle([&] { rsVergleichB = Cursor(rsPuffer).Clone(); })) return;
    if (!falle([&] { Cursor(rsVergleichB).MoveLast(); })) return;
    if (!falle([&] { Cursor(rsVergleichB).MoveFirst(); })) return;
    PositionB = 1;

    if (Quick) {
        o.BeschriftungSetzen(u"lblInformation", u"Durchsuche die Tabelle nach Dubletten ... \r\nUnter Sortierung der "
                                                u"Tabelle nach \"" + Sortierliste + u"\" im Quicksuch-Modus.");
        int32_t gesamt = 0;
        if (!falle([&] { gesamt = Cursor(rsPuffer).RecordCount() - 1; })) return;
        FortschrittZurücksetzen();
        FortschrittStarten(gesamt, 0.3);
        if (!falle([&] { Cursor(rsPuffer).MoveFirst(); })) return;
        fensterCursor = 1;
        // The remarks are written in batches: one commit per record would make the
        // pass wait on the disk. A cancel rolls the open batch back with the tables.
        if (!falle([] { Arbeitsbereich().BeginTrans(); })) return;
        for (;;) {
            int32_t anzahl = 0;
            if (!falle([&] { anzahl = Cursor(rsPuffer).RecordCount(); })) return;
            if (PositionA >= anzahl) break;
            QuicksucheVergleichen(PositionA);
            if (gFehlerAbbruch) return;
            if (gAbbruch) return;
            if (PositionA % 1000 == 0 &&
                !(BemerkungenSchreiben() && falle([] { Arbeitsbereich().CommitTrans(); }) &&
                  falle([] { Arbeitsbereich().BeginTrans(); })))
                return;
        }
        if (!BemerkungenSchreiben()) return;
        if (!falle([] { Arbeitsbereich().CommitTrans(); })) return;
        FortschrittBeenden();
        if (!falle([&] { Cursor(rsVergleichB).Close(); })) return;
        if (!falle([&] { Cursor(rsPuffer).Close(); })) return;
        FensterLeeren();
        return;
    }

    // Full mode: the time estimate forms the blocks; the comparisons walk the same blocks.
    vollmodus = true;
    if (!falle([&] { rsBereich = Cursor(rsPuffer).Clone(); })) return;
    o.BeschriftungSetzen(u"lblInformation", u"Berechne notwendige Zeit ...");
    FortschrittZurücksetzen();
    int32_t gesamt = 0;
    std::vector<Block> blöcke;
    // With workers the scan also prepares every row and notes where its data stands.
    const int32_t arbeiterzahl = Arbeiterzahl();
    std::vector<int32_t> slots;
    Suchzeilen scan;
    if (!falle([&] { Cursor(rsBereich).MoveFirst(); })) return;
    {
        int32_t position = 0, von = 0;
        Blockschlüssel schlüssel;
        auto abschließen = [&](int32_t bis) -> bool {
            const bool vergleichen = !schlüssel.null && !schlüssel.text.empty();
            blöcke.push_back({von, bis, vergleichen});
            start = Variante(von);
            ende = Variante(bis);
            if (!vergleichen) return true;
            return falle([&] {
                const int64_t m = bis - von + 1;
                const int64_t summe = gesamt + (m - 1) * m / 2;
                if (summe > std::numeric_limits<int32_t>::max()) FehlerAuslösen(fehlernummer::Ueberlauf);
                gesamt = static_cast<int32_t>(summe);
            });
        };
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
                return;
            if (!gelesen || zeilen[static_cast<size_t>(Hauptspalte)].empty()) break;
            if (arbeiterzahl > 1) {
                scan.Setzen(std::move(zeilen));
                for (int32_t r = 0; r < scan.Zeilenzahl(); ++r) slots.push_back(scan.Suchslot(r));
            }
            const auto& spalte =
                (arbeiterzahl > 1 ? scan.Zeilen() : zeilen)[static_cast<size_t>(Hauptspalte)];
            for (const Variante& v : spalte) {
                ++position;
                Blockschlüssel k = schlüssel;  // a key that cannot be formed continues the block
                if (!falle([&] { k = SchlüsselBilden(v, Zeichen); })) return;
                if (von == 0) {
                    von = position;
                    schlüssel = std::move(k);
                    start = Variante(von);
                } else if (k.verschieden(schlüssel)) {
                    if (!abschließen(position - 1)) return;
                    von = position;
                    schlüssel = std::move(k);
                    start = Variante(von);
                }
                ende = Variante(position);
            }
        }
        if (von > 0 && !abschließen(position)) return;
    }
    if (gesamt == 0) {
        HinweisAnzeigen(Variante(u"Kein Vergleich notwendig.\r\nVersuchen sie es eventuell noch einmal mit dem "
                                 u"Quicksuche-Modus."));
        gAbbruch = true;
        return;
    }

    o.BeschriftungSetzen(u"lblInformation", u"Durchsuche die Tabelle nach Dubletten ... \r\nUnter Sortierung der "
                                            u"Tabelle nach \"" + Sortierliste + u"\".");
    FortschrittZurücksetzen();
    FortschrittStarten(gesamt, 0.3);
    Arbeitsstand arbeitsstand;
    if (arbeiterzahl > 1) {
        std::vector<suche_intern::Vollblock> vollblöcke;
        for (const Block& b : blöcke) {
            if (!b.vergleichen) continue;
            const int32_t m = b.bis - b.von + 1;
            const auto k = static_cast<int16_t>(std::floor(std::log(static_cast<double>(m)) / std::log(1.5) + 1));
            vollblöcke.push_back({b.von, b.bis, k});
        }
        scan.Setzen({});
        // Without workers (none could be started) the pass compares alone.
        suche_intern::SuchvergleichsdatenGesperrt = true;
        try {
            arbeitsstand.sucharbeit = std::make_unique<suche_intern::Sucharbeit>(
                suche_intern::Suchvergleichsdaten(), std::move(slots), std::move(vollblöcke), gRelevanz,
                KontakteDifferenzieren, arbeiterzahl);
            arbeit = arbeitsstand.sucharbeit.get();
        } catch (const std::exception&) {
            arbeitsstand.Beenden();
        }
    }
    for (const Block& b : blöcke) {
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
