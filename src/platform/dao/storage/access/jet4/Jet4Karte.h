#pragma once
// Usage maps: which pages belong to a table, an index, or (the global map on page 1)
// which pages are free. A map's declaration is a row on a data page: type 0 keeps an
// inline bitmap starting at a page number (a few megabytes of reach), type 1 points to
// map pages that each hold a bitmap of their own range.
#include <cstdint>
#include <vector>

#include "platform/dao/storage/access/jet4/Jet4Datei.h"

namespace dao::speicher::access::jet4 {

class Nutzungskarte {
public:
    // The map declared by the row at `ort`. Formatfehler when the row is no map.
    Nutzungskarte(Datei& datei, Zeilenort ort);

    bool Enthält(uint32_t seite) const;
    // Whether the map can record `seite` without moving its start or changing its type.
    bool Reicht(uint32_t seite) const;
    std::vector<uint32_t> Seiten() const;  // ascending
    // The map pages (0x05) of a reference map; none for an inline map.
    std::vector<uint32_t> Kartenseiten() const;
    // Writes straight into the file; an inline map whose reach does not cover `seite`
    // moves its start or becomes a reference map.
    void Hinzufügen(uint32_t seite);
    void Entfernen(uint32_t seite);
    Zeilenort Ort() const { return ort_; }

    // A new, empty inline map row appended to data page `seite` (a page that holds map
    // rows, such as the one Access puts after a table definition); returns its place.
    static Zeilenort Anlegen(Datei& datei, uint32_t seite);

private:
    uint8_t* zeileSchreibbar(uint32_t& länge);
    uint32_t kartenseiteAnlegen(uint32_t k);  // map page for slot k of a reference map
    void bitSetzen(uint32_t seite, bool an);

    Datei* datei_;
    Zeilenort ort_;
};

}  // namespace dao::speicher::access::jet4
