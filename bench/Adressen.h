#pragma once
// Generated German company addresses for the benchmarks: new ones, and copies of
// earlier ones with the changes a second system makes.
#include <random>

#include "platform/basic/Text.h"

namespace bench {

inline const char16_t* namen[] = {u"Müller",   u"Schmidt", u"Schneider", u"Fischer",    u"Weber",   u"Meyer", u"Wagner",
                                  u"Becker",   u"Schulz",  u"Hoffmann",  u"Koch",       u"Richter", u"Klein", u"Wolf",
                                  u"Schröder", u"Neumann", u"Schwarz",   u"Zimmermann", u"Braun",   u"Krüger"};
inline const char16_t* branchen[] = {u"Bau",       u"Druck",    u"Elektro", u"Logistik", u"Immobilien", u"Consult",
                                     u"Metallbau", u"Computer", u"Reisen",  u"Sanitär",  u"Holz",       u"Optik"};
inline const char16_t* formen[] = {u"GmbH", u"KG", u"AG", u"GmbH & Co. KG", u"OHG", u"e.K.", u"GbR", u""};
inline const char16_t* straßen[] = {u"Hauptstraße",  u"Bahnhofstraße", u"Lindenallee",     u"Am Markt",  u"Ringweg",
                                    u"Goethestraße", u"Schillerplatz", u"Industriestraße", u"Gartenweg", u"Kirchgasse"};
inline const char16_t* orte[] = {u"Berlin",  u"Hamburg", u"München",   u"Köln",       u"Frankfurt am Main",
                                 u"Leipzig", u"Dresden", u"Stuttgart", u"Düsseldorf", u"Bremen"};

template <size_t N>
Text wahl(std::mt19937& z, const char16_t* (&liste)[N]) {
    return liste[z() % N];
}
inline Text ziffern(std::mt19937& z, int n) {
    Text t;
    for (int i = 0; i < n; ++i) t += static_cast<char16_t>(u'0' + z() % 10);
    return t;
}
inline Text silbe(std::mt19937& z) {
    static const char16_t* s[] = {u"ka", u"lo", u"mer", u"tis", u"ben", u"ra", u"nu", u"vel", u"dor", u"sin"};
    return Text(s[z() % 10]) + s[z() % 10];
}

struct Adresse {
    Text firma, straße, plz, ort, telefon;
};

inline Adresse Neu(std::mt19937& z) {
    Text firma = wahl(z, namen) + u" " + silbe(z) + u" " + wahl(z, branchen);
    const Text form = wahl(z, formen);
    if (!form.empty()) firma += u" " + form;
    return {firma, wahl(z, straßen) + u" " + ziffern(z, 1 + z() % 2), ziffern(z, 5), wahl(z, orte),
            u"0" + ziffern(z, 2 + z() % 2) + u"/" + ziffern(z, 6)};
}

// A copy of an address as it reaches a second system: one or two typical changes.
inline Adresse Abwandlung(std::mt19937& z, Adresse a) {
    switch (z() % 5) {
        case 0:
            if (auto p = a.straße.find(u"straße"); p != Text::npos) a.straße.replace(p, 6, u"str.");
            break;
        case 1:
            if (auto p = a.firma.find(u"GmbH"); p != Text::npos) a.firma.replace(p, 4, u"Gesellschaft mbH");
            break;
        case 2:
            if (auto p = a.telefon.find(u'/'); p != Text::npos) a.telefon.replace(p, 1, u" ");
            break;
        case 3:
            if (a.firma.size() > 4) std::swap(a.firma[2], a.firma[3]);
            break;
        default: a.ort += u" (Zentrale)"; break;
    }
    if (z() % 3 == 0) a.telefon.clear();
    return a;
}

}  // namespace bench
