// Format facts: mdbtools' HACKING notes and the Apache-licensed Jackcess library.
#include "platform/dao/storage/access/jet4/Jet4Eigenschaften.h"

#include <algorithm>
#include <string>

#include "platform/dao/storage/access/jet4/Jet4Datei.h"

namespace dao::speicher::access::jet4 {

namespace {

constexpr uint8_t kKennung[4] = {'M', 'R', '2', 0};
constexpr uint16_t kNamenspool = 0x80;

class Leser {
public:
    explicit Leser(std::span<const uint8_t> d) : d_(d) {}
    size_t Rest() const { return d_.size() - p_; }
    size_t Stelle() const { return p_; }
    void Brauche(size_t n) const {
        if (Rest() < n) throw Formatfehler("jet4: property blob ends inside a field");
    }
    uint8_t U8() {
        Brauche(1);
        return d_[p_++];
    }
    uint16_t U16() {
        Brauche(2);
        const uint16_t w = static_cast<uint16_t>(d_[p_] | (d_[p_ + 1] << 8));
        p_ += 2;
        return w;
    }
    uint32_t U32() {
        const uint32_t lo = U16();
        return lo | (static_cast<uint32_t>(U16()) << 16);
    }
    std::span<const uint8_t> Bytes(size_t n) {
        Brauche(n);
        auto s = d_.subspan(p_, n);
        p_ += n;
        return s;
    }
    Text Name() {
        const uint16_t n = U16();
        if (n % 2) throw Formatfehler("jet4: property name of odd byte length");
        const auto b = Bytes(n);
        Text t(n / 2, u'\0');
        for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<char16_t>(b[2 * i] | (b[2 * i + 1] << 8));
        return t;
    }

private:
    std::span<const uint8_t> d_;
    size_t p_ = 0;
};

void Setze16(std::vector<uint8_t>& d, size_t p, uint16_t w) {
    d[p] = static_cast<uint8_t>(w & 0xFF);
    d[p + 1] = static_cast<uint8_t>(w >> 8);
}
void Setze32(std::vector<uint8_t>& d, size_t p, uint32_t w) {
    Setze16(d, p, static_cast<uint16_t>(w & 0xFFFF));
    Setze16(d, p + 2, static_cast<uint16_t>(w >> 16));
}
void An16(std::vector<uint8_t>& d, uint16_t w) {
    d.push_back(static_cast<uint8_t>(w & 0xFF));
    d.push_back(static_cast<uint8_t>(w >> 8));
}
void An32(std::vector<uint8_t>& d, uint32_t w) {
    An16(d, static_cast<uint16_t>(w & 0xFFFF));
    An16(d, static_cast<uint16_t>(w >> 16));
}

uint16_t Länge16(size_t n, const char* was) {
    if (n > 0xFFFF)
        throw NichtSchreibbar(u"Eine Eigenschaft ist zu lang für den Eigenschaftsblock (" + ausUtf8(was) + u").");
    return static_cast<uint16_t>(n);
}

void NameAnhängen(std::vector<uint8_t>& d, const Text& name) {
    An16(d, Länge16(name.size() * 2, "Name"));
    for (char16_t c : name) An16(d, static_cast<uint16_t>(c));
}

uint16_t ArtDerGruppe(const Eigenschaftsgruppe& g) {
    if (g.art) return *g.art;
    return g.objekt.empty() ? 0 : 1;
}

}  // namespace

Eigenschaftsblock EigenschaftsblockLesen(std::span<const uint8_t> blob) {
    if (blob.size() < 4 || !std::equal(blob.begin(), blob.begin() + 4, kKennung))
        throw Formatfehler("jet4: property blob without its MR2 signature");
    Eigenschaftsblock block;
    bool poolGelesen = false;
    Leser l(blob.subspan(4));
    while (l.Rest() > 0) {
        const uint32_t länge = l.U32();
        const uint16_t art = l.U16();
        if (länge < 6 || länge - 6 > l.Rest()) throw Formatfehler("jet4: property chunk of impossible length");
        Leser c(l.Bytes(länge - 6));
        if (art == kNamenspool) {
            if (poolGelesen) throw Formatfehler("jet4: property blob with two name pools");
            poolGelesen = true;
            while (c.Rest() > 0) block.namen.push_back(c.Name());
            continue;
        }
        if (!poolGelesen) throw Formatfehler("jet4: property values before the name pool");
        Eigenschaftsgruppe g;
        g.art = art;
        const uint32_t kopf = c.U32();
        const size_t vorName = c.Stelle();
        g.objekt = c.Name();
        if (kopf != 4 + (c.Stelle() - vorName)) throw Formatfehler("jet4: property group name of wrong length");
        while (c.Rest() > 0) {
            const uint16_t eintrag = c.U16();
            Eigenschaft e;
            e.ddl = c.U8();
            e.typ = c.U8();
            const uint16_t index = c.U16();
            const uint16_t wertlänge = c.U16();
            if (eintrag != 8u + wertlänge) throw Formatfehler("jet4: property entry of wrong length");
            if (index >= block.namen.size()) throw Formatfehler("jet4: property name index outside the pool");
            e.name = block.namen[index];
            const auto w = c.Bytes(wertlänge);
            e.wert.assign(w.begin(), w.end());
            g.eigenschaften.push_back(std::move(e));
        }
        block.gruppen.push_back(std::move(g));
    }
    return block;
}

std::vector<Eigenschaftsgruppe> EigenschaftenLesen(std::span<const uint8_t> blob) {
    return EigenschaftsblockLesen(blob).gruppen;
}

std::vector<uint8_t> EigenschaftenKodieren(const Eigenschaftsblock& block) {
    std::vector<Text> namen = block.namen;
    for (const auto& g : block.gruppen)
        for (const auto& e : g.eigenschaften)
            if (std::find(namen.begin(), namen.end(), e.name) == namen.end()) namen.push_back(e.name);

    std::vector<uint8_t> d(std::begin(kKennung), std::end(kKennung));
    auto chunkBeginnen = [&](uint16_t art) {
        const size_t anfang = d.size();
        An32(d, 0);
        An16(d, art);
        return anfang;
    };
    auto chunkSchließen = [&](size_t anfang) { Setze32(d, anfang, static_cast<uint32_t>(d.size() - anfang)); };

    const size_t pool = chunkBeginnen(kNamenspool);
    for (const auto& n : namen) NameAnhängen(d, n);
    chunkSchließen(pool);

    for (const auto& g : block.gruppen) {
        const size_t chunk = chunkBeginnen(ArtDerGruppe(g));
        An32(d, static_cast<uint32_t>(4 + 2 + g.objekt.size() * 2));
        NameAnhängen(d, g.objekt);
        for (const auto& e : g.eigenschaften) {
            const auto index = static_cast<size_t>(std::find(namen.begin(), namen.end(), e.name) - namen.begin());
            const uint16_t wertlänge = Länge16(e.wert.size() + 8, "Wert");
            An16(d, wertlänge);
            d.push_back(e.ddl);
            d.push_back(e.typ);
            An16(d, Länge16(index, "Namensliste"));
            An16(d, static_cast<uint16_t>(e.wert.size()));
            d.insert(d.end(), e.wert.begin(), e.wert.end());
        }
        chunkSchließen(chunk);
    }
    return d;
}

std::vector<uint8_t> EigenschaftenKodieren(const std::vector<Eigenschaftsgruppe>& gruppen) {
    return EigenschaftenKodieren(Eigenschaftsblock{{}, gruppen});
}

Eigenschaft BoolEigenschaft(Text name, bool wert) {
    return Eigenschaft{std::move(name), 0x01, 1, {static_cast<uint8_t>(wert ? 1 : 0)}};
}

}  // namespace dao::speicher::access::jet4
