#pragma once
// The compound-file container of an .xls file: read its streams, and write the
// container anew with the same directory (names, tree, class ids, times) and the
// same bytes in every stream but the ones replaced.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/basic/Text.h"

namespace dao::speicher::excel {

// Thrown by the parsing code when the bytes are not what the format allows; the
// driver turns it into an engine error naming the file.
struct Formatfehler {
    Text grund;
};

struct Verzeichniseintrag {
    std::string roh;  // the 128 bytes as read
    Text name;
    uint8_t art = 0;     // 0 unused, 1 storage, 2 stream, 5 root
    std::string inhalt;  // stream bytes
};

class Verbunddatei {
public:
    // Raises Formatfehler for a broken header, sector chain or directory.
    explicit Verbunddatei(std::string_view datei);

    // Index of the stream with this name directly below the root, -1 when none.
    int StromSuchen(TextSicht name) const;
    const std::string& Strom(int index) const { return einträge_[index].inhalt; }
    void StromErsetzen(int index, std::string inhalt) { einträge_[index].inhalt = std::move(inhalt); }
    const std::vector<Verzeichniseintrag>& Einträge() const { return einträge_; }

    // The whole file (version 3, 512-byte sectors).
    std::string Schreiben() const;

private:
    std::vector<Verzeichniseintrag> einträge_;
};

}  // namespace dao::speicher::excel
