#pragma once
// The BIFF5/BIFF8 workbook stream: its globals, the list of sheets with their
// positions, and the rebuilding of the stream when sheets are added, replaced,
// renamed or removed. Every record that does not have to change is copied as it
// is; only the sheet list and the fields that point into the stream are patched.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/basic/Text.h"
#include "platform/dao/storage/excel/Verbunddatei.h"

namespace dao::speicher::excel {

// A refused change (e.g. a sheet that formulas still refer to).
struct Verweigerung {
    Text grund;
};

// Text in the workbook's code page and back (BIFF5 strings). The conversion back
// raises Verweigerung for a character the code page cannot hold.
Text AusCodepage(std::string_view bytes, uint16_t codepage);
std::string InCodepage(TextSicht text, uint16_t codepage);

// A cell value the BIFF records hold where freexl gives none or loses its type.
struct Sonderzelle {
    enum class Art { wahrheit, fehler, zahl, datum, text, leer };
    uint32_t zeile = 0;
    uint16_t spalte = 0;
    Art art = Art::leer;
    double zahl = 0;  // wahrheit: 0/1; datum: serial of the workbook's date system
    Text text;
};

struct Blatt {
    Text name;
    uint8_t art = 0;          // 0 worksheet, 1 macro sheet, 2 chart, 6 module
    size_t von = 0, bis = 0;  // the substream in the workbook stream
};

// One sheet of the rebuilt workbook, in order: an existing one (alt >= 0, kept
// or with new content and/or name) or a new one (alt < 0).
struct BlattPlan {
    int alt = -1;
    Text name;
    std::optional<std::string> inhalt;  // the new substream, BOF to EOF
};

class Arbeitsmappe {
public:
    // Raises Formatfehler for a stream whose records or sheet offsets are broken.
    explicit Arbeitsmappe(std::string strom);

    int Version() const { return version_; }  // 5 or 8; 2..4 for the old single-sheet formats
    uint16_t Codepage() const { return codepage_; }
    bool Datum1904() const { return datum1904_; }
    bool Verschlüsselt() const { return verschlüsselt_; }
    bool Kennwortschutz() const { return kennwortschutz_; }
    const std::vector<Blatt>& Blätter() const { return blätter_; }

    // Booleans, errors, cached formula results and date cells (by serial number) of one sheet.
    std::vector<Sonderzelle> Sonderzellen(size_t blatt) const;

    // Cell formats for written values (appended to the globals when missing).
    uint16_t StandardXf() const { return standardXf_; }
    uint16_t DatumXf(bool mitZeit);

    // A new worksheet substream holding the given rows (first row: the names).
    class Blattschreiber {
    public:
        explicit Blattschreiber(const Arbeitsmappe& mappe);
        void Text_(uint32_t zeile, uint16_t spalte, TextSicht text);
        void Zahl(uint32_t zeile, uint16_t spalte, double wert, uint16_t xf);
        void Wahrheit(uint32_t zeile, uint16_t spalte, bool wert);
        std::string Fertig() const;

    private:
        void Satz(uint16_t typ, const std::string& körper);
        const Arbeitsmappe& mappe_;
        std::string zellen_;
        uint32_t zeilen_ = 0;
        uint16_t spalten_ = 0;
    };

    // The rebuilt stream; raises Verweigerung when a removed sheet is referred to.
    std::string Umbauen(const std::vector<BlattPlan>& plan) const;

    // Sheet names: at most 31 characters, none of : / \ * ? [ ], not empty.
    static bool NameZulässig(TextSicht name);

private:
    struct Umbau;
    struct Satzstelle {
        uint16_t typ;
        size_t pos;  // of the record header
        uint16_t länge;
    };
    std::string strom_;
    std::vector<Satzstelle> globale_;
    size_t globalEnde_ = 0;
    int version_ = 8;
    uint16_t codepage_ = 1252;
    bool datum1904_ = false, verschlüsselt_ = false, kennwortschutz_ = false;
    std::vector<Blatt> blätter_;
    std::vector<size_t> blattSatz_;   // index in globale_ of each sheet's BOUNDSHEET
    std::vector<uint16_t> xfFormat_;  // number format of each XF
    std::vector<bool> xfStil_;
    std::vector<std::pair<uint16_t, Text>> formate_;
    uint16_t standardXf_ = 15;
    std::vector<std::string> neueXf_;  // appended after the last XF
    std::optional<uint16_t> datumXf_, datumZeitXf_;

    bool XfIstDatum(uint16_t xf) const;
    std::string_view Körper(const Satzstelle& s) const { return std::string_view(strom_).substr(s.pos + 4, s.länge); }
    std::string BlattnameKodieren(TextSicht name) const;
    Text BlattnameLesen(std::string_view körper) const;
    // The phases of reading the stream; they fill the members above.
    Satzstelle SatzLesen(size_t pos) const;
    void GlobaleLesen();
    void GlobalenSatzAuswerten(const Satzstelle& s);
    void BlätterAbgrenzen();
};

}  // namespace dao::speicher::excel
