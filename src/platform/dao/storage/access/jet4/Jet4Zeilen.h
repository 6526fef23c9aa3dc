#pragma once
// Rows: the Jet 4 row layout (column count, fixed data, variable data with its offset
// table, Null mask), the rows of data pages, and long values (Memo, OLE) in their three
// forms: inline in the row, a single row on a long-value page, a chain of such rows.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/basic/Variante.h"
#include "platform/dao/storage/access/jet4/Jet4Tabelle.h"

namespace dao::speicher::access::jet4 {

// A text value as stored: UCS-2LE, or "compressed" after FF FE.
Text TextLesen(const uint8_t* p, size_t n);

// The bytes of the row at `ort`, following an overflow pointer; empty for a deleted row.
// Formatfehler for a row that lies outside its page.
std::span<const uint8_t> ZeileAn(const Datei& datei, Zeilenort ort);

// Every live row of the table, in file order (the data pages of its owned map).
void ZeilenDurchgehen(const Datei& datei, const Tabellendef& def,
                      const std::function<void(Zeilenort, std::span<const uint8_t>)>& je);

// The values of a row, one per column in the order of def.spalten, typed as the engine
// reads them (see Speichertreiber.h); long values are fetched from their pages.
std::vector<Variante> ZeileLesen(const Datei& datei, const Tabellendef& def, std::span<const uint8_t> zeile);

// The raw bytes of column `spalte` (index into def.spalten) of a row, long values
// fetched; for the columns the engine has no type for (OLE, Binary, GUID) such as the
// catalogue's property blobs and owner ids. nullopt for Null.
std::optional<std::vector<uint8_t>> RohwertLesen(const Datei& datei, const Tabellendef& def,
                                                 std::span<const uint8_t> zeile, size_t spalte);

// Raw values by column index (into def.spalten) for the columns the engine has no type for.
using Rohwerte = std::map<size_t, std::vector<uint8_t>>;

// Flags the row at `ort` deleted as Access does, and nothing else: its space stays.
void AlsGelöschtMarkieren(Datei& datei, Zeilenort ort);

// Flags the row at `ort` deleted, with the rows of its long values; a long-value page
// left without a live row goes back to the free pages. Counts the row out of def.zeilen;
// the caller rebuilds the indexes and writes the counters back. Formatfehler for a row
// that is not there.
void ZeileLöschen(Datei& datei, Tabellendef& def, Zeilenort ort);

// Replaces the row at `ort` by a new one with its values as `ändern` leaves them
// (typed as ZeileLesen gives them; the columns the engine has no type for as raw bytes
// in `roh`) and deletes the old row. Returns the new row's place; indexes and counters
// as for ZeileLöschen.
Zeilenort ZeileErsetzen(Datei& datei, Tabellendef& def, Zeilenort ort,
                        const std::function<void(std::vector<Variante>& werte, Rohwerte& roh)>& ändern);

// Appends rows to a table: fills data pages (new ones taken from the file and put into
// the table's owned map and, while they have room, its free-space map), writes long
// values to long-value pages, counts rows and the auto-increment value in `def`.
// The caller writes the counters back (ZählerSchreiben) when done.
class Zeilenschreiber {
public:
    // Continues on the table's last page with room (as its free-space map says), if any.
    Zeilenschreiber(Datei& datei, Tabellendef& def);
    ~Zeilenschreiber();
    Zeilenschreiber(const Zeilenschreiber&) = delete;
    Zeilenschreiber& operator=(const Zeilenschreiber&) = delete;
    // Values in the order of def.spalten. An auto-increment column that is Null gets the
    // next value; the value it got is in `werte` afterwards (the indexes need it).
    // NichtSchreibbar for a value the column cannot hold.
    // Columns listed in `roh` take those bytes (their entry in `werte` is ignored).
    // NichtSchreibbar also for a row longer than a page can hold; nothing is written then.
    Zeilenort Einfügen(std::vector<Variante>& werte, const Rohwerte& roh = {});

private:
    struct Zustand;
    // The steps of Einfügen, in their order.
    uint32_t autoWerteVergeben(std::vector<Variante>& werte, const Rohwerte& roh) const;
    size_t werteKodieren(const std::vector<Variante>& werte, const Rohwerte& roh);
    size_t langwerteEinbetten(size_t größe);
    void langwerteSchreiben();
    void zeileBauen(size_t größe);
    Zeilenort zeileAblegen(size_t größe);
    Datei& datei_;
    Tabellendef& def_;
    uint32_t seite_ = 0;  // data page being filled, 0: none yet
    std::unique_ptr<Zustand> z_;
};

}  // namespace dao::speicher::access::jet4
