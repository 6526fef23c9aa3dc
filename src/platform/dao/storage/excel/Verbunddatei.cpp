#include "platform/dao/storage/excel/Verbunddatei.h"

#include <cstring>

#include "platform/dao/storage/Bytes.h"

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

// The file's sectors as the header sizes them.
struct Sektoren {
    std::string_view datei;
    size_t größe = 0, anzahl = 0;

    std::string_view Daten(uint32_t s) const {
        const size_t von = (size_t{s} + 1) * größe;
        if (s >= anzahl || von >= datei.size()) kaputt(u"ein Sektor liegt hinter dem Dateiende");
        return datei.substr(von, größe);  // the last sector may be short
    }

    void Lesen(const std::vector<uint32_t>& kette, std::string& ziel) const {
        for (uint32_t s : kette) {
            std::string_view d = Daten(s);
            ziel.append(d);
            ziel.append(größe - d.size(), '\0');
        }
    }
};

Sektoren KopfPrüfen(std::string_view datei) {
    if (datei.size() < 512 || std::memcmp(datei.data(), kSignatur, 8) != 0)
        kaputt(u"die Datei ist kein Verbunddokument (Kopf fehlt)");
    const uint16_t verschiebung = le16(datei, 0x1E);
    if (le16(datei, 0x1C) != 0xFFFE || (verschiebung != 9 && verschiebung != 12) || le16(datei, 0x20) != 6)
        kaputt(u"der Kopf des Verbunddokuments ist ungültig");
    const size_t sektor = size_t{1} << verschiebung;
    return {datei, sektor, (datei.size() > sektor ? datei.size() - sektor + sektor - 1 : 0) / sektor};
}

// The FAT's own sectors: the first 109 in the header, the rest through the DIFAT chain.
std::vector<uint32_t> DifatLesen(const Sektoren& sektoren) {
    const std::string_view datei = sektoren.datei;
    const size_t sektor = sektoren.größe;
    const uint32_t fatAnzahl = le32(datei, 0x2C);
    if (fatAnzahl > sektoren.anzahl) kaputt(u"die Zahl der FAT-Sektoren ist zu groß");
    std::vector<uint32_t> fatSektoren;
    for (size_t i = 0; i < 109 && fatSektoren.size() < fatAnzahl; ++i) fatSektoren.push_back(le32(datei, 0x4C + 4 * i));
    uint32_t difat = le32(datei, 0x44);
    for (size_t runden = 0; fatSektoren.size() < fatAnzahl; ++runden) {
        if (difat == kKettenende || difat == kFrei || runden > sektoren.anzahl)
            kaputt(u"die DIFAT-Kette ist unterbrochen");
        std::string_view d = sektoren.Daten(difat);
        if (d.size() < sektor) kaputt(u"die DIFAT-Kette ist unterbrochen");
        for (size_t i = 0; i + 1 < sektor / 4 && fatSektoren.size() < fatAnzahl; ++i)
            fatSektoren.push_back(le32(d, 4 * i));
        difat = le32(d, sektor - 4);
    }
    return fatSektoren;
}

// A short last FAT sector counts its missing entries as free.
std::vector<uint32_t> FatLesen(const Sektoren& sektoren, const std::vector<uint32_t>& fatSektoren) {
    std::vector<uint32_t> fat;
    for (uint32_t s : fatSektoren) {
        std::string_view d = sektoren.Daten(s);
        for (size_t i = 0; i < sektoren.größe / 4; ++i) fat.push_back(4 * i + 4 <= d.size() ? le32(d, 4 * i) : kFrei);
    }
    if (fat.size() > sektoren.anzahl) fat.resize(sektoren.anzahl);
    return fat;
}

std::vector<Verzeichniseintrag> VerzeichnisLesen(const Sektoren& sektoren, const std::vector<uint32_t>& fat) {
    std::string verzeichnis;
    sektoren.Lesen(Kette(fat, le32(sektoren.datei, 0x30), sektoren.anzahl), verzeichnis);
    const size_t anzahl = verzeichnis.size() / 128;
    if (anzahl == 0) kaputt(u"das Verzeichnis des Verbunddokuments ist leer");
    std::vector<Verzeichniseintrag> einträge;
    for (size_t i = 0; i < anzahl; ++i) {
        Verzeichniseintrag e;
        e.roh = verzeichnis.substr(128 * i, 128);
        e.art = static_cast<uint8_t>(e.roh[66]);
        const uint16_t nameBytes = le16(e.roh, 64);
        if (e.art != 0) {
            if (nameBytes > 64 || nameBytes % 2 != 0) kaputt(u"ein Verzeichniseintrag hat einen ungültigen Namen");
            for (size_t k = 0; k + 2 < nameBytes; k += 2) e.name.push_back(static_cast<char16_t>(le16(e.roh, k)));
        }
        einträge.push_back(std::move(e));
    }
    if (einträge[0].art != 5) kaputt(u"der erste Verzeichniseintrag ist nicht die Wurzel");
    return einträge;
}

// The mini stream's bytes and its table of 64-byte sectors, as read or as built for writing.
struct Ministrom {
    std::string daten;
    std::vector<uint32_t> fat;
};

// The mini stream hangs off the root entry, its table off the header.
Ministrom MinistromLesen(const Sektoren& sektoren, const std::vector<uint32_t>& fat, const Verzeichniseintrag& wurzel) {
    Ministrom mini;
    const uint64_t miniGröße = le32(wurzel.roh, 120);
    if (miniGröße > 0) {
        sektoren.Lesen(Kette(fat, le32(wurzel.roh, 116), sektoren.anzahl), mini.daten);
        if (mini.daten.size() < miniGröße) kaputt(u"der Ministrom ist kürzer als angegeben");
    }
    if (le32(sektoren.datei, 0x40) > 0) {
        std::string roh;
        sektoren.Lesen(Kette(fat, le32(sektoren.datei, 0x3C), sektoren.anzahl), roh);
        for (size_t i = 0; i + 4 <= roh.size(); i += 4) mini.fat.push_back(le32(roh, i));
    }
    const size_t miniSektoren = mini.daten.size() / 64;
    if (mini.fat.size() > miniSektoren) mini.fat.resize(miniSektoren);
    return mini;
}

// Streams below the header's cutoff lie in the mini stream, the others in sectors of their own.
void StrömeLesen(const Sektoren& sektoren, const std::vector<uint32_t>& fat, const Ministrom& mini,
                 std::vector<Verzeichniseintrag>& einträge) {
    const uint32_t grenze = le32(sektoren.datei, 0x38);
    const size_t miniSektoren = mini.daten.size() / 64;
    for (size_t i = 1; i < einträge.size(); ++i) {
        Verzeichniseintrag& e = einträge[i];
        if (e.art != 2) continue;
        const uint64_t größe = le32(e.roh, 120) | (sektoren.größe == 4096 ? uint64_t{le32(e.roh, 124)} << 32 : 0);
        if (größe > sektoren.datei.size()) kaputt(u"ein Strom ist größer als die Datei");
        const uint32_t start = le32(e.roh, 116);
        if (größe < grenze) {
            for (uint32_t s : Kette(mini.fat, größe == 0 ? kKettenende : start, miniSektoren))
                e.inhalt.append(mini.daten, size_t{s} * 64, 64);
        } else {
            sektoren.Lesen(Kette(fat, start, sektoren.anzahl), e.inhalt);
        }
        if (e.inhalt.size() < größe) kaputt(u"ein Strom ist kürzer als sein Verzeichniseintrag angibt");
        e.inhalt.resize(größe);
    }
}

}  // namespace

Verbunddatei::Verbunddatei(std::string_view datei) {
    const Sektoren sektoren = KopfPrüfen(datei);
    const std::vector<uint32_t> fat = FatLesen(sektoren, DifatLesen(sektoren));
    einträge_ = VerzeichnisLesen(sektoren, fat);
    const Ministrom mini = MinistromLesen(sektoren, fat, einträge_[0]);
    StrömeLesen(sektoren, fat, mini, einträge_);
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

namespace {

// Writing: version 3 with 512-byte sectors; streams below the cutoff go to the mini stream.
constexpr size_t kSektor = 512, kMiniGrenze = 4096;

size_t SektorenFür(size_t bytes) { return (bytes + kSektor - 1) / kSektor; }

bool EigeneSektoren(const Verzeichniseintrag& e) { return e.art == 2 && e.inhalt.size() >= kMiniGrenze; }

// Small streams go into the mini stream, each as a chain of 64-byte sectors; `start`
// receives their first mini sector.
Ministrom MinistromBauen(const std::vector<Verzeichniseintrag>& einträge, std::vector<uint32_t>& start) {
    Ministrom mini;
    for (size_t i = 1; i < einträge.size(); ++i) {
        const Verzeichniseintrag& e = einträge[i];
        if (e.art != 2 || e.inhalt.empty() || e.inhalt.size() >= kMiniGrenze) continue;
        const size_t n = (e.inhalt.size() + 63) / 64;
        start[i] = static_cast<uint32_t>(mini.fat.size());
        for (size_t k = 0; k < n; ++k)
            mini.fat.push_back(k + 1 < n ? static_cast<uint32_t>(mini.fat.size() + 1) : kKettenende);
        mini.daten += e.inhalt;
        mini.daten.append(n * 64 - e.inhalt.size(), '\0');
    }
    return mini;
}

// Where the parts of the file lie, as the header names them.
struct Anordnung {
    size_t fatSektoren = 1, difatSektoren = 0, miniFatSektoren = 0;
    bool ohneMiniFat = true;
    uint32_t verzStart = kKettenende, miniFatStart = kKettenende, fatStart = 0, difatStart = 0;
};

// The FAT covers its own sectors and the DIFAT's as well, so its size is found by growing
// it until it covers everything.
void FatGrößeBestimmen(size_t datenSektoren, Anordnung& a) {
    for (;;) {
        a.difatSektoren = a.fatSektoren > 109 ? (a.fatSektoren - 109 + 126) / 127 : 0;
        const size_t gesamt = datenSektoren + a.fatSektoren + a.difatSektoren;
        const size_t nötig = (gesamt + 127) / 128;
        if (nötig <= a.fatSektoren) break;
        a.fatSektoren = nötig;
    }
}

// The sectors after the header in file order, with the FAT that chains them.
struct Körper {
    std::vector<uint32_t> fat;
    std::string bytes;

    // Appends the data as one chain; returns its first sector.
    uint32_t Anhängen(const std::string& daten) {
        if (daten.empty()) return kKettenende;
        const uint32_t erster = static_cast<uint32_t>(fat.size());
        const size_t n = SektorenFür(daten.size());
        for (size_t k = 0; k < n; ++k) fat.push_back(k + 1 < n ? static_cast<uint32_t>(fat.size() + 1) : kKettenende);
        bytes += daten;
        bytes.append(n * kSektor - daten.size(), '\0');
        return erster;
    }
};

std::string MiniFatRoh(const std::vector<uint32_t>& miniFat) {
    std::string roh;
    for (uint32_t w : miniFat) {
        roh.append(4, '\0');
        setze32(roh, roh.size() - 4, w);
    }
    return roh;
}

// The entries as read, with the places and sizes of the streams as written now, filled
// up with unused entries to whole sectors.
std::string VerzeichnisBauen(const std::vector<Verzeichniseintrag>& einträge, const std::vector<uint32_t>& start,
                             uint32_t miniStromStart, size_t miniStromGröße) {
    std::string verzeichnis;
    for (size_t i = 0; i < einträge.size(); ++i) {
        std::string e = einträge[i].roh;
        if (einträge[i].art == 5) {
            setze32(e, 116, miniStromStart);
            setze32(e, 120, static_cast<uint32_t>(miniStromGröße));
        } else if (einträge[i].art == 2) {
            setze32(e, 116, start[i]);
            setze32(e, 120, static_cast<uint32_t>(einträge[i].inhalt.size()));
        } else if (einträge[i].art == 1) {
            setze32(e, 116, 0);
            setze32(e, 120, 0);
        }
        setze32(e, 124, 0);
        verzeichnis += e;
    }
    while (verzeichnis.size() % kSektor != 0) {
        std::string leer(128, '\0');
        setze32(leer, 68, kFrei);
        setze32(leer, 72, kFrei);
        setze32(leer, 76, kFrei);
        verzeichnis += leer;
    }
    return verzeichnis;
}

std::string KopfBauen(const Anordnung& a) {
    std::string kopf(kSektor, '\0');
    std::memcpy(kopf.data(), kSignatur, 8);
    setze16(kopf, 0x18, 0x003E);
    setze16(kopf, 0x1A, 3);
    setze16(kopf, 0x1C, 0xFFFE);
    setze16(kopf, 0x1E, 9);
    setze16(kopf, 0x20, 6);
    setze32(kopf, 0x2C, static_cast<uint32_t>(a.fatSektoren));
    setze32(kopf, 0x30, a.verzStart);
    setze32(kopf, 0x38, static_cast<uint32_t>(kMiniGrenze));
    setze32(kopf, 0x3C, a.ohneMiniFat ? kKettenende : a.miniFatStart);
    setze32(kopf, 0x40, static_cast<uint32_t>(a.miniFatSektoren));
    setze32(kopf, 0x44, a.difatSektoren ? a.difatStart : kKettenende);
    setze32(kopf, 0x48, static_cast<uint32_t>(a.difatSektoren));
    for (size_t k = 0; k < 109; ++k)
        setze32(kopf, 0x4C + 4 * k, k < a.fatSektoren ? static_cast<uint32_t>(a.fatStart + k) : kFrei);
    return kopf;
}

std::string FatRoh(const std::vector<uint32_t>& fat) {
    std::string roh(fat.size() * 4, '\0');
    for (size_t k = 0; k < fat.size(); ++k) setze32(roh, 4 * k, fat[k]);
    return roh;
}

// The FAT sectors beyond the header's 109, 127 to a DIFAT sector with the next one's number last.
std::string DifatRoh(const Anordnung& a) {
    std::string roh(a.difatSektoren * kSektor, '\0');
    for (size_t d = 0; d < a.difatSektoren; ++d) {
        for (size_t k = 0; k < 127; ++k) {
            const size_t f = 109 + d * 127 + k;
            setze32(roh, d * kSektor + 4 * k, f < a.fatSektoren ? static_cast<uint32_t>(a.fatStart + f) : kFrei);
        }
        setze32(roh, d * kSektor + 508,
                d + 1 < a.difatSektoren ? static_cast<uint32_t>(a.difatStart + d + 1) : kKettenende);
    }
    return roh;
}

}  // namespace

std::string Verbunddatei::Schreiben() const {
    std::vector<uint32_t> start(einträge_.size(), kKettenende);
    const Ministrom mini = MinistromBauen(einträge_, start);
    Anordnung a;
    a.miniFatSektoren = SektorenFür(mini.fat.size() * 4);
    a.ohneMiniFat = mini.fat.empty();
    size_t datenSektoren = SektorenFür(einträge_.size() * 128) + a.miniFatSektoren + SektorenFür(mini.daten.size());
    for (size_t i = 1; i < einträge_.size(); ++i)
        if (EigeneSektoren(einträge_[i])) datenSektoren += SektorenFür(einträge_[i].inhalt.size());
    FatGrößeBestimmen(datenSektoren, a);

    // Mini FAT, mini stream, the large streams, the directory; then the FAT and DIFAT sectors.
    Körper körper;
    a.miniFatStart = körper.Anhängen(MiniFatRoh(mini.fat));
    const uint32_t miniStromStart = körper.Anhängen(mini.daten);
    for (size_t i = 1; i < einträge_.size(); ++i)
        if (EigeneSektoren(einträge_[i])) start[i] = körper.Anhängen(einträge_[i].inhalt);
    a.verzStart = körper.Anhängen(VerzeichnisBauen(einträge_, start, miniStromStart, mini.daten.size()));
    a.fatStart = static_cast<uint32_t>(körper.fat.size());
    for (size_t k = 0; k < a.fatSektoren; ++k) körper.fat.push_back(kFatSektor);
    a.difatStart = static_cast<uint32_t>(körper.fat.size());
    for (size_t k = 0; k < a.difatSektoren; ++k) körper.fat.push_back(kDifatSektor);
    körper.fat.resize(a.fatSektoren * 128, kFrei);
    return KopfBauen(a) + körper.bytes + FatRoh(körper.fat) + DifatRoh(a);
}

}  // namespace dao::speicher::excel
