// The digit and word similarity of two column values.
#include <algorithm>
#include <cstring>

#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"
#include "search/SucheIntern.h"
#include "search/mdlSuche.h"

namespace suche_intern {

uint32_t WörterBilden(TextSicht t, std::vector<Wort>& wörter) {
    uint32_t ganz = 0, wort = 0;
    uint32_t start = 0;
    const uint32_t ende = static_cast<uint32_t>(t.size());
    for (uint32_t p = 0;; ++p) {
        if (p < ende && t[p] != u' ') {
            wort |= Zeichenklasse(t[p]);
            continue;
        }
        wörter.push_back({wort, static_cast<uint16_t>(start), static_cast<uint16_t>(p - start)});
        ganz |= wort;
        if (p == ende) return ganz;
        start = p + 1;
        wort = 0;
    }
}

namespace {

bool gleich(const char16_t* a, const char16_t* b, size_t n) { return std::memcmp(a, b, n * sizeof(char16_t)) == 0; }

// Words of `a` found anywhere in the text `b` (not bound to its word limits; the
// empty word is always found). A word holds no blank, so searching `b` stands
// for searching `b` with its blank appended.
uint32_t gefunden(const Wortliste& a, const Wortliste& b) {
    uint32_t n = 0;
    const char16_t* bt = b.text.data();
    const size_t bl = b.text.size();
    for (uint32_t i = 0; i < a.anzahl; ++i) {
        const Wort& w = a.wörter[i];
        if (w.länge == 0) {
            ++n;
            continue;
        }
        if ((w.maske & ~b.maske) != 0 || w.länge > bl) continue;
        const char16_t* wt = a.text.data() + w.anfang;
        // Most words that occur are whole words of the other text.
        bool da = false;
        for (uint32_t j = 0; j < b.anzahl && !da; ++j)
            da = b.wörter[j].länge == w.länge && gleich(bt + b.wörter[j].anfang, wt, w.länge);
        if (!da) {
            const char16_t erstes = wt[0];
            for (size_t p = 0; p + w.länge <= bl; ++p)
                if (bt[p] == erstes && gleich(bt + p + 1, wt + 1, w.länge - 1)) {
                    da = true;
                    break;
                }
        }
        if (da) ++n;
    }
    return n;
}

}  // namespace

float WortKern(const Wortliste& a, const Wortliste& b) {
    const uint32_t gesamt = a.anzahl + b.anzahl;
    // Equal texts find every word.
    if (a.text.size() == b.text.size() && gleich(a.text.data(), b.text.data(), a.text.size())) return 1.0f;
    const uint32_t treffer = gefunden(a, b) + gefunden(b, a);
    return static_cast<float>(static_cast<double>(treffer) / static_cast<double>(gesamt));
}

float ZiffernKern(TextSicht a, TextSicht b) {
    const size_t la = a.size(), lb = b.size();
    const size_t lang = std::max(la, lb), kurz = std::min(la, lb);
    double wert = 0;
    for (size_t p = 0; p < kurz; ++p) {
        if (a[p] == b[p]) wert = wert + 1.0 / static_cast<double>(lang);
        if (!(wert > 0)) break;
    }
    if (la != lb) {
        wert = wert - 0.5 * static_cast<double>(lang - kurz) / static_cast<double>(lang);
        if (wert < 0) wert = 0;
    }
    return static_cast<float>(wert);
}

}  // namespace suche_intern

float ZiffernÄhnlichkeit(const Variante& a, const Variante& b) {
    if (a.istNull() || b.istNull() || !IsNumeric(a) || !IsNumeric(b)) return 0;
    return suche_intern::ZiffernKern(a.alsText(), b.alsText());
}

float WortÄhnlichkeit(const Variante& a, const Variante& b) {
    using namespace suche_intern;
    if (a.istNull() || a.istEmpty() || b.istNull() || b.istEmpty()) return 0;
    const Text ta = a.alsText(), tb = b.alsText();
    std::vector<Wort> wa, wb;
    const uint32_t ma = WörterBilden(ta, wa), mb = WörterBilden(tb, wb);
    if (WortÜberlauf(static_cast<uint32_t>(wa.size()), static_cast<uint32_t>(wb.size()), ta.size(), tb.size()))
        FehlerAuslösen(fehlernummer::Ueberlauf);
    return WortKern({ta, wa.data(), static_cast<uint32_t>(wa.size()), ma},
                    {tb, wb.data(), static_cast<uint32_t>(wb.size()), mb});
}
