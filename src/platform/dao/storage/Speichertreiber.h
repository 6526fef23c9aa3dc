#pragma once
// A storage driver: one file format (dBase folder, Excel workbook, Access file) seen
// as a set of tables. The engine mirrors each table into its private SQLite working
// store on first use and hands the changed tables back when the database is flushed
// or closed; the driver only translates between its format and rows of values.
//
// Values are typed by the Jet field type as the engine reads them: Text/Memo as
// text, Boolean as bool, Byte/Integer/Long as integers, Currency as Variante::Währung,
// Single/Double as numbers, Date/Time as Variante::Datum; a missing value is Null.
// Every failure is an engine error raised through dao::FehlerAuslösen, naming the
// file where there is one.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"

namespace dao::speicher {

struct FeldBeschreibung {
    Text name;
    int16_t typ = 10;       // Jet type code (dbText …)
    int32_t größe = 0;      // Text: characters; fixed types: their storage size; Memo: 0
    int32_t attribute = 0;  // 16: auto-increment
    bool leerErlaubt = true;
    bool pflicht = false;
};

struct IndexBeschreibung {
    Text name;
    std::vector<Text> felder;
    bool eindeutig = false;
    bool primär = false;
};

struct TabellenBeschreibung {
    Text name;
    std::vector<FeldBeschreibung> felder;
    std::vector<IndexBeschreibung> indizes;
    // Last change as Variante::Datum days (e.g. the file's time); 0: unknown, the engine
    // then takes the time of opening. Only read by the engine.
    double geändert = 0;
};

struct RelationsBeschreibung {
    Text name, tabelle, fremdTabelle;
    int32_t attribute = 0;
    std::vector<std::pair<Text, Text>> felder;  // field of tabelle, field of fremdTabelle
};

struct Struktur {
    std::vector<TabellenBeschreibung> tabellen;  // in the order the format keeps them
    std::vector<RelationsBeschreibung> relationen;
};

// Receives one row after the other, values in the order of the fields.
using Zeilenziel = std::function<void(const std::vector<Variante>& zeile)>;
// Fills the next row and returns true, or returns false at the end.
using Zeilenquelle = std::function<bool(std::vector<Variante>& zeile)>;

// What the engine hands back when the database is flushed or closed.
struct Rückschrift {
    enum class Zustand { unverändert, geändert, neu };
    struct Tabelle {
        TabellenBeschreibung beschreibung;  // the structure as it is now
        Text alterName;                     // the name under which the driver listed it ("" when neu)
        Zustand zustand = Zustand::unverändert;
        // geändert: the table the driver listed as alterName was deleted and this one made
        // in its place (a driver may keep the old one's place or drop it and add this one).
        bool ersetzt = false;
        // Rows of the table as they are now; for an unchanged table the engine may
        // have to load it through the driver first.
        std::function<void(const Zeilenziel&)> zeilen;
    };
    std::vector<Tabelle> tabellen;  // every user table, in order
    std::vector<Text> gelöscht;     // names the driver listed that are gone
    // Relations the driver listed that are gone (a driver refuses new ones as they are
    // made, through BeziehungPrüfen, when it cannot hold them).
    std::vector<Text> gelöschteRelationen;
};

class Speichertreiber {
public:
    virtual ~Speichertreiber() = default;
    // The tables and relations of the file, without their rows.
    virtual Struktur StrukturLesen() = 0;
    // Every row of one listed table, in the file's order.
    virtual void ZeilenLesen(const TabellenBeschreibung& tabelle, const Zeilenziel& ziel) = 0;
    // false: the engine raises its read-only error (3027) at the first change, with
    // SchreibschutzGrund() as the description when it is not empty. A file or folder
    // is read-only by its mode bits as well as by the process's rights.
    virtual bool Schreibbar() const = 0;
    virtual Text SchreibschutzGrund() const { return {}; }
    // Refuses (engine error) a table name the format cannot hold, before it is created.
    virtual void TabellennamePrüfen(TextSicht name) const { (void)name; }
    // Why the tables the driver listed keep their structure and rows (they may still be
    // renamed and deleted; new tables can be changed until written): the engine raises
    // its read-only error with it at the first change of such a table. Empty: they can
    // be changed.
    virtual Text BestandsschutzGrund() const { return {}; }
    // Refuses (engine error) a relation the driver cannot create (`anlegen`) or delete,
    // before the engine does either.
    virtual void BeziehungPrüfen(const RelationsBeschreibung& relation, bool anlegen) const {
        (void)relation;
        (void)anlegen;
    }
    // Writes what changed; each file is replaced atomically (temporary file in the same
    // folder, then renamed; the files of one write-back as one set, see Dateisatz.h). A
    // file another program changed or replaced since it was read is not overwritten
    // (3197, naming the file). Called only when something changed, and again after each
    // later change: afterwards the driver lists and reads the file as now written.
    // A failure raises its error and the engine keeps everything for the next call.
    virtual void Schreiben(const Rückschrift& rückschrift) = 0;
};

// The driver for a connect string such as "Dbase 5;", "Excel 5.0;" or ";PWD=…"
// (Access); nullptr for the native SQLite format. `pfad` is the database name given
// to OpenDatabase (a folder for dBase, a file otherwise); `passwort` what the connect
// string holds between ";PWD=" and its final ";".
std::unique_ptr<Speichertreiber> TreiberÖffnen(TextSicht connect, const Text& pfad, const Text& passwort,
                                               bool nurLesen);

}  // namespace dao::speicher
