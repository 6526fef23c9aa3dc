#include "platform/dao/storage/access/jet4/Jet4Datei.h"

#include <algorithm>
#include <cstring>

#include "platform/dao/storage/access/AccessKopf.h"
#include "platform/dao/storage/access/jet4/Jet4Karte.h"

// Format facts: mdbtools' HACKING notes and the Apache-licensed Jackcess library.
namespace dao::speicher::access::jet4 {
namespace {

constexpr Zeilenort kGlobaleKarte{1, 0};
constexpr uint32_t kErsteFreieSeite = 3;  // 0 header, 1 global map, 2 catalogue: never free
constexpr uint32_t kHöchsteSeitenzahl = 0x80000000u / kSeitengröße;
constexpr size_t kSortierungOffset = 0x6E;  // in the masked part: sort order (2 bytes), version at +3

}  // namespace

Datei::Datei(std::vector<uint8_t> inhalt) : inhalt_(std::move(inhalt)) {
    JetKopf kopf;
    if (KopfLesen(inhalt_.data(), inhalt_.size(), kopf) != Kopfbefund::gültig || kopf.version != 4 ||
        kopf.seitengröße != kSeitengröße)
        throw Formatfehler("jet4: no Jet 4 file");
    if (inhalt_.size() % kSeitengröße != 0) throw Formatfehler("jet4: file size is not a multiple of the page size");
    std::vector<uint8_t> klar(inhalt_.begin(), inhalt_.begin() + kVerschlüsseltAb + kVerschlüsseltJet4);
    Rc4Anwenden(kKopfSchlüssel, sizeof kKopfSchlüssel, klar.data() + kVerschlüsseltAb, kVerschlüsseltJet4);
    verschlüsselt_ = kopf.datenbankschlüssel != 0;
    sortierung_ = static_cast<uint16_t>(klar[kSortierungOffset] | (klar[kSortierungOffset + 1] << 8));
    sortversion_ = klar[kSortierungOffset + 3];
}

uint8_t* Datei::Seite(uint32_t nr) {
    if (nr >= Seitenzahl()) throw Formatfehler("jet4: page " + std::to_string(nr) + " beyond the end of the file");
    return inhalt_.data() + static_cast<size_t>(nr) * kSeitengröße;
}

const uint8_t* Datei::Seite(uint32_t nr) const {
    if (nr >= Seitenzahl()) throw Formatfehler("jet4: page " + std::to_string(nr) + " beyond the end of the file");
    return inhalt_.data() + static_cast<size_t>(nr) * kSeitengröße;
}

uint32_t Datei::SeiteAnhängen() {
    if (Seitenzahl() >= kHöchsteSeitenzahl) throw Formatfehler("jet4: file would outgrow 2 GB");
    inhalt_.resize(inhalt_.size() + kSeitengröße, 0);
    return Seitenzahl() - 1;
}

uint32_t Datei::SeiteAnlegen() {
    Nutzungskarte global(*this, kGlobaleKarte);
    if (freiAb_ < Seitenzahl()) {
        for (uint32_t nr : global.Seiten()) {
            if (nr < std::max(freiAb_, kErsteFreieSeite)) continue;
            if (nr >= Seitenzahl()) break;
            global.Entfernen(nr);
            std::memset(Seite(nr), 0, kSeitengröße);
            freiAb_ = nr + 1;
            return nr;
        }
        freiAb_ = Seitenzahl();
    }
    const uint32_t nr = SeiteAnhängen();
    // Past the inline reach the global map turns into a reference map first, so that no
    // used page is ever outside its reach.
    if (!global.Reicht(nr)) global.Hinzufügen(nr);
    global.Entfernen(nr);  // Access marks the pages past the end as free
    freiAb_ = Seitenzahl();
    return nr;
}

void Datei::SeiteFreigeben(uint32_t nr) {
    if (nr < kErsteFreieSeite) throw Formatfehler("jet4: page " + std::to_string(nr) + " cannot be freed");
    std::memset(Seite(nr), 0, kSeitengröße);
    Nutzungskarte(*this, kGlobaleKarte).Hinzufügen(nr);
    freiAb_ = std::min(freiAb_, nr);
}

}  // namespace dao::speicher::access::jet4
