#pragma once
// A block of TEMP_DS rows as GetRows delivers them ([column][row]), together with
// what the record comparison needs of each row, worked out once when the block is
// filled: the text form of every compared value, the parts of combined columns
// (the normalisers are pure, so their results can be kept), word counts and the
// numeric test. DatensätzeVergleichen then works on views into one character
// store of the block and allocates nothing.
//
// The comparison plan (which columns count, their parts and weights) is formed
// from Suchzuordnung, Suchspaltenzahl and Typen when the block is filled; the
// search sets them before its first pass and does not change them while the
// passes run. Two blocks compared with each other must be filled under the same
// typing.
#include <cstdint>
#include <vector>

#include "foundation/mdlFeldtypen.h"
#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"
#include "search/SucheIntern.h"

class Suchzeilen {
public:
    enum class Verfahren : uint8_t { Wort, Ziffer };
    using Normalisierer = Variante (*)(const Variante&);

    struct Teilplan {
        Verfahren verfahren = Verfahren::Wort;
        Normalisierer normalisierer = nullptr;  // nullptr: the column value itself
    };

    // One column that a row of the branch table applies to.
    struct Spaltenplan {
        int16_t quellspalte = 0;  // position in the source table, Ignorieren columns included
        int16_t spalte = 0;       // position in TEMP_DS
        bool kontakt = false;     // a contact row (gate while KontakteDifferenzieren is set)
        uint8_t teile = 0;        // parts compared, 0 to 3
        uint8_t gewichte = 0;     // weights added: as many as parts, one for Index
        float gewicht[3] = {0, 0, 0};
        double gewichtsumme = 0;  // the weights added in one expression
        Teilplan teil[3];
        uint32_t erstesTeil = 0;  // slot of its first part within a row
    };

    // One compared value of one row: Empty, Null, a text (a view into the
    // block's store) or a value whose text form or part could not be formed,
    // which sends the comparison to its error path.
    enum class Zustand : uint8_t { Empty, Null, Text, Fehler };
    struct Wertsicht {
        uint64_t maske = 0;  // character classes (word parts)
        uint32_t anfang = 0;
        uint32_t länge = 0;
        uint32_t erstesWort = 0;  // into the block's word list (word parts, up to 255 words)
        uint32_t wörter = 0;      // blanks + 1 (word parts)
        Zustand zustand = Zustand::Empty;
        bool numerisch = false;  // digit parts
    };

    Suchzeilen() = default;
    explicit Suchzeilen(std::vector<std::vector<Variante>> zeilen) { Setzen(std::move(zeilen)); }
    // Takes a new block of rows; the buffers of the old one are reused.
    void Setzen(std::vector<std::vector<Variante>> zeilen);

    int32_t Zeilenzahl() const { return zeilenzahl_; }
    int32_t Spaltenzahl() const { return static_cast<int32_t>(zeilen_.size()); }
    // The value as read; outside the block raises error 9.
    const Variante& Wert(int32_t spalte, int32_t zeile) const;
    const std::vector<std::vector<Variante>>& Zeilen() const { return zeilen_; }

    const std::vector<Spaltenplan>& Plan() const { return plan_; }
    // The cells of one row, one per plan column: filled, Empty/Null/"", or not
    // readable; and its parts, indexed by the plan columns' slots.
    static constexpr uint8_t ZelleGefüllt = 0, ZelleLeer = 1, ZelleFehler = 2;
    const uint8_t* Zellen(int32_t zeile) const { return leer_.data() + static_cast<size_t>(zeile) * plan_.size(); }
    const Wertsicht* Teile(int32_t zeile) const { return teile_.data() + static_cast<size_t>(zeile) * teileJeZeile_; }
    TextSicht Zeichen(const Wertsicht& w) const { return TextSicht(zeichen_.data() + w.anfang, w.länge); }
    suche_intern::Wortliste Wörter(const Wertsicht& w) const {
        return {Zeichen(w), wörter_.data() + w.erstesWort, w.wörter, w.maske};
    }

private:
    void planBilden();
    Wertsicht sichtBilden(const Variante& wert, bool ziffern);

    std::vector<std::vector<Variante>> zeilen_;
    int32_t zeilenzahl_ = 0;
    std::vector<Spaltenplan> plan_;
    uint32_t teileJeZeile_ = 0;
    std::vector<uint8_t> leer_;
    std::vector<Wertsicht> teile_;
    std::u16string zeichen_;
    std::vector<suche_intern::Wort> wörter_;
};
