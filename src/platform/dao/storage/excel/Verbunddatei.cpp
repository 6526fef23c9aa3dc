#include "platform/dao/storage/excel/Verbunddatei.h"
#include "platform/dao/storage/Bytes.h"

#include <cstring>

namespace dao::speicher::excel {
namespace {

constexpr uint32_t kFrei = 0xFFFFFFFF, kKettenende = 0xFFFFFFFE, kFatSektor = 0xFFFFFFFD, kDifatSektor = 0xFFFFFFFC;
constexpr char kSignatur[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};


[[noreturn]] void kaputt(const char16_t* grund) { throw Formatfehler{grund}; }

// Follows a chain through a sector table; every sector is visited at most once.
std::vector<uint32_t> Kette(const std::vector<uint32_t>& tabelle, uint32_t start, size_t höchstens) {
    std::vector<uint32_t> kette;
    std::vector<bool> besucht(tabelle.size(), false);
    for (uint32_t s = start; s != kKettenende;) {
        if (s >= tabelle.size()) kaputt(u"eine Sektorkette zeigt über das Dateiende hinaus");
        if (besucht[s]) kaputt(u"eine Sektorkette läuft im Kreis");
        besucht[s] = true;
        kette.push_back(s);
        if (kette.size() > höchstens) kaputt(u"eine Sektorkette ist länger als ihr Strom");
        s = tabelle[s];
    }
    return kette;
}

}  // namespace

Verbunddatei::Verbunddatei(std::string_view datei) {
    if (datei.size() < 512 || std::memcmp(datei.data(), kSignatur, 8) != 0)
        kaputt(u"die Datei ist kein Verbunddokument (Kopf fehlt)");
    const uint16_t verschiebung = le16(datei, 0x1E);
    if (le16(datei, 0x1C) != 0xFFFE || (verschiebung != 9 && verschiebung != 12) || le16(datei, 0x20) != 6)
        kaputt(u"der Kopf des Verbunddokuments ist ungültig");
    const size_t sektor = size_t{1} << verschiebung;
    const size_t sektoren = (datei.size() > sektor ? datei.size() - sektor + sektor - 1 : 0) / sektor;
    auto sektorDaten = [&](uint32_t s) {
        const size_t von = (size_t{s} + 1) * sektor;
        if (s >= sektoren || von >= datei.size()) kaputt(u"ein Sektor liegt hinter dem Dateiende");
        return datei.substr(von, sektor);  // the last sector may be short
    };
    auto lesen = [&](const std::vector<uint32_t>& kette, std::string& ziel) {
        for (uint32_t s : kette) {
            std::string_view d = sektorDaten(s);
            ziel.append(d);
            ziel.append(sektor - d.size(), '\0');
        }
    };

    // FAT: the first 109 sectors in the header, the rest through the DIFAT chain.
    const uint32_t fatAnzahl = le32(datei, 0x2C);
    if (fatAnzahl > sektoren) kaputt(u"die Zahl der FAT-Sektoren ist zu groß");
    std::vector<uint32_t> fatSektoren;
    for (size_t i = 0; i < 109 && fatSektoren.size() < fatAnzahl; ++i) fatSektoren.push_back(le32(datei, 0x4C + 4 * i));
    uint32_t difat = le32(datei, 0x44);
    for (size_t runden = 0; fatSektoren.size() < fatAnzahl; ++runden) {
        if (difat == kKettenende || difat == kFrei || runden > sektoren) kaputt(u"die DIFAT-Kette ist unterbrochen");
        std::string_view d = sektorDaten(difat);
        if (d.size() < sektor) kaputt(u"die DIFAT-Kette ist unterbrochen");
        for (size_t i = 0; i + 1 < sektor / 4 && fatSektoren.size() < fatAnzahl; ++i)
            fatSektoren.push_back(le32(d, 4 * i));
        difat = le32(d, sektor - 4);
    }
    std::vector<uint32_t> fat;
    for (uint32_t s : fatSektoren) {
        std::string_view d = sektorDaten(s);
        for (size_t i = 0; i < sektor / 4; ++i) fat.push_back(4 * i + 4 <= d.size() ? le32(d, 4 * i) : kFrei);
    }
    if (fat.size() > sektoren) fat.resize(sektoren);

    // Directory.
    std::string verzeichnis;
    lesen(Kette(fat, le32(datei, 0x30), sektoren), verzeichnis);
    const size_t anzahl = verzeichnis.size() / 128;
    if (anzahl == 0) kaputt(u"das Verzeichnis des Verbunddokuments ist leer");
    for (size_t i = 0; i < anzahl; ++i) {
        Verzeichniseintrag e;
        e.roh = verzeichnis.substr(128 * i, 128);
        e.art = static_cast<uint8_t>(e.roh[66]);
        const uint16_t nameBytes = le16(e.roh, 64);
        if (e.art != 0) {
            if (nameBytes > 64 || nameBytes % 2 != 0) kaputt(u"ein Verzeichniseintrag hat einen ungültigen Namen");
            for (size_t k = 0; k + 2 < nameBytes; k += 2) e.name.push_back(static_cast<char16_t>(le16(e.roh, k)));
        }
        einträge_.push_back(std::move(e));
    }
    if (einträge_[0].art != 5) kaputt(u"der erste Verzeichniseintrag ist nicht die Wurzel");

    // Mini stream and its table.
    const uint32_t grenze = le32(datei, 0x38);
    std::string miniStrom;
    const uint64_t miniGröße = le32(einträge_[0].roh, 120);
    if (miniGröße > 0) {
        lesen(Kette(fat, le32(einträge_[0].roh, 116), sektoren), miniStrom);
        if (miniStrom.size() < miniGröße) kaputt(u"der Ministrom ist kürzer als angegeben");
    }
    std::vector<uint32_t> miniFat;
    if (le32(datei, 0x40) > 0) {
        std::string roh;
        lesen(Kette(fat, le32(datei, 0x3C), sektoren), roh);
        for (size_t i = 0; i + 4 <= roh.size(); i += 4) miniFat.push_back(le32(roh, i));
    }
    const size_t miniSektoren = miniStrom.size() / 64;
    if (miniFat.size() > miniSektoren) miniFat.resize(miniSektoren);

    for (size_t i = 1; i < einträge_.size(); ++i) {
        Verzeichniseintrag& e = einträge_[i];
        if (e.art != 2) continue;
        const uint64_t größe = le32(e.roh, 120) | (sektor == 4096 ? uint64_t{le32(e.roh, 124)} << 32 : 0);
        if (größe > datei.size()) kaputt(u"ein Strom ist größer als die Datei");
        const uint32_t start = le32(e.roh, 116);
        if (größe < grenze) {
            for (uint32_t s : Kette(miniFat, größe == 0 ? kKettenende : start, miniSektoren))
                e.inhalt.append(miniStrom, size_t{s} * 64, 64);
        } else {
            lesen(Kette(fat, start, sektoren), e.inhalt);
        }
        if (e.inhalt.size() < größe) kaputt(u"ein Strom ist kürzer als sein Verzeichniseintrag angibt");
        e.inhalt.resize(größe);
    }
}

int Verbunddatei::StromSuchen(TextSicht name) const {
    // The root's children form a tree; a name below the root suffices for a workbook.
    const auto gleich = [](TextSicht a, TextSicht b) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i) {
            char16_t x = a[i], y = b[i];
            if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
            if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
            if (x != y) return false;
        }
        return true;
    };
    std::vector<uint32_t> offen{le32(einträge_[0].roh, 76)};
    std::vector<bool> besucht(einträge_.size(), false);
    while (!offen.empty()) {
        const uint32_t i = offen.back();
        offen.pop_back();
        if (i >= einträge_.size() || besucht[i]) continue;
        besucht[i] = true;
        const Verzeichniseintrag& e = einträge_[i];
        if (e.art == 2 && gleich(e.name, name)) return static_cast<int>(i);
        offen.push_back(le32(e.roh, 68));
        offen.push_back(le32(e.roh, 72));
    }
    return -1;
}

std::string Verbunddatei::Schreiben() const {
    constexpr size_t S = 512, grenze = 4096;
    // Small streams go into the mini stream, the others into their own sectors.
    std::string miniStrom;
    std::vector<uint32_t> miniFat;
    std::vector<uint32_t> start(einträge_.size(), kKettenende);
    for (size_t i = 1; i < einträge_.size(); ++i) {
        const Verzeichniseintrag& e = einträge_[i];
        if (e.art != 2 || e.inhalt.empty() || e.inhalt.size() >= grenze) continue;
        const size_t n = (e.inhalt.size() + 63) / 64;
        start[i] = static_cast<uint32_t>(miniFat.size());
        for (size_t k = 0; k < n; ++k)
            miniFat.push_back(k + 1 < n ? static_cast<uint32_t>(miniFat.size() + 1) : kKettenende);
        miniStrom += e.inhalt;
        miniStrom.append(n * 64 - e.inhalt.size(), '\0');
    }
    auto sektorenFür = [](size_t bytes) { return (bytes + S - 1) / S; };
    const size_t verzSektoren = sektorenFür(einträge_.size() * 128);
    const size_t miniFatSektoren = sektorenFür(miniFat.size() * 4);
    const size_t miniStromSektoren = sektorenFür(miniStrom.size());
    size_t datenSektoren = verzSektoren + miniFatSektoren + miniStromSektoren;
    for (size_t i = 1; i < einträge_.size(); ++i)
        if (einträge_[i].art == 2 && einträge_[i].inhalt.size() >= grenze) datenSektoren += sektorenFür(einträge_[i].inhalt.size());
    size_t fatSektoren = 1, difatSektoren = 0;
    for (;;) {
        difatSektoren = fatSektoren > 109 ? (fatSektoren - 109 + 126) / 127 : 0;
        const size_t gesamt = datenSektoren + fatSektoren + difatSektoren;
        const size_t nötig = (gesamt + 127) / 128;
        if (nötig <= fatSektoren) break;
        fatSektoren = nötig;
    }

    std::vector<uint32_t> fat;
    std::string körper;
    auto kette = [&](const std::string& daten) -> uint32_t {
        if (daten.empty()) return kKettenende;
        const uint32_t erster = static_cast<uint32_t>(fat.size());
        const size_t n = sektorenFür(daten.size());
        for (size_t k = 0; k < n; ++k) fat.push_back(k + 1 < n ? static_cast<uint32_t>(fat.size() + 1) : kKettenende);
        körper += daten;
        körper.append(n * S - daten.size(), '\0');
        return erster;
    };
    std::string miniFatRoh;
    for (uint32_t w : miniFat) {
        miniFatRoh.append(4, '\0');
        setze32(miniFatRoh, miniFatRoh.size() - 4, w);
    }
    const uint32_t miniFatStart = kette(miniFatRoh);
    const uint32_t miniStromStart = kette(miniStrom);
    for (size_t i = 1; i < einträge_.size(); ++i)
        if (einträge_[i].art == 2 && einträge_[i].inhalt.size() >= grenze) start[i] = kette(einträge_[i].inhalt);
    std::string verzeichnis;
    for (size_t i = 0; i < einträge_.size(); ++i) {
        std::string e = einträge_[i].roh;
        if (einträge_[i].art == 5) {
            setze32(e, 116, miniStromStart);
            setze32(e, 120, static_cast<uint32_t>(miniStrom.size()));
        } else if (einträge_[i].art == 2) {
            setze32(e, 116, start[i]);
            setze32(e, 120, static_cast<uint32_t>(einträge_[i].inhalt.size()));
        } else if (einträge_[i].art == 1) {
            setze32(e, 116, 0);
            setze32(e, 120, 0);
        }
        setze32(e, 124, 0);
        verzeichnis += e;
    }
    while (verzeichnis.size() % S != 0) {
        std::string leer(128, '\0');
        setze32(leer, 68, kFrei);
        setze32(leer, 72, kFrei);
        setze32(leer, 76, kFrei);
        verzeichnis += leer;
    }
    const uint32_t verzStart = kette(verzeichnis);
    const uint32_t fatStart = static_cast<uint32_t>(fat.size());
    for (size_t k = 0; k < fatSektoren; ++k) fat.push_back(kFatSektor);
    const uint32_t difatStart = static_cast<uint32_t>(fat.size());
    for (size_t k = 0; k < difatSektoren; ++k) fat.push_back(kDifatSektor);
    fat.resize(fatSektoren * 128, kFrei);

    std::string kopf(S, '\0');
    std::memcpy(kopf.data(), kSignatur, 8);
    setze16(kopf, 0x18, 0x003E);
    setze16(kopf, 0x1A, 3);
    setze16(kopf, 0x1C, 0xFFFE);
    setze16(kopf, 0x1E, 9);
    setze16(kopf, 0x20, 6);
    setze32(kopf, 0x2C, static_cast<uint32_t>(fatSektoren));
    setze32(kopf, 0x30, verzStart);
    setze32(kopf, 0x38, static_cast<uint32_t>(grenze));
    setze32(kopf, 0x3C, miniFat.empty() ? kKettenende : miniFatStart);
    setze32(kopf, 0x40, static_cast<uint32_t>(miniFatSektoren));
    setze32(kopf, 0x44, difatSektoren ? difatStart : kKettenende);
    setze32(kopf, 0x48, static_cast<uint32_t>(difatSektoren));
    for (size_t k = 0; k < 109; ++k) setze32(kopf, 0x4C + 4 * k, k < fatSektoren ? static_cast<uint32_t>(fatStart + k) : kFrei);

    std::string fatRoh(fat.size() * 4, '\0');
    for (size_t k = 0; k < fat.size(); ++k) setze32(fatRoh, 4 * k, fat[k]);
    std::string difatRoh(difatSektoren * S, '\0');
    for (size_t d = 0; d < difatSektoren; ++d) {
        for (size_t k = 0; k < 127; ++k) {
            const size_t f = 109 + d * 127 + k;
            setze32(difatRoh, d * S + 4 * k, f < fatSektoren ? static_cast<uint32_t>(fatStart + f) : kFrei);
        }
        setze32(difatRoh, d * S + 508, d + 1 < difatSektoren ? static_cast<uint32_t>(difatStart + d + 1) : kKettenende);
    }
    return kopf + körper + fatRoh + difatRoh;
}

}  // namespace dao::speicher::excel
