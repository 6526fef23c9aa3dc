// Scores all successive pairs of 200 000 prepared records of a 12-column address
// table and compares the time with one plain pass that only reads the same values.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlFeldInhalte.h"
#include "foundation/mdlFeldtypen.h"
#include "platform/basic/Laufzeit.h"
#include "search/Suchzeilen.h"
#include "search/mdlSuche.h"

// Counts the allocations, to show that the comparisons make none.
namespace {
size_t allokationen = 0;
}
void* operator new(std::size_t n) {
    ++allokationen;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr int satzzahl = 200000;
constexpr int spaltenzahl = 12;

const char16_t* firmen[] = {u"Müller Bau GmbH",
                            u"Schmidt & Söhne KG",
                            u"Beispiel Computer AG",
                            u"Meier Druck",
                            u"Hansen Logistik GmbH & Co. KG",
                            u"Bäckerei Schulz",
                            u"Weber Elektro GbR",
                            u"Nord Consult",
                            u"Fischer Metallbau GmbH",
                            u"Becker Immobilien"};
const char16_t* branchen[] = {u"Bau", u"Handel", u"EDV", u"Druck", u"Logistik", u"Lebensmittel", u"Elektro"};
const char16_t* straßen[] = {u"Hauptstraße", u"Am Markt",     u"Lindenallee",   u"Bahnhofstr.",
                             u"Ringweg",     u"Goethestraße", u"An der Kirche", u"Industriestraße"};
const char16_t* orte[] = {u"Berlin", u"Köln", u"München", u"Hamburg", u"Frankfurt am Main", u"Leipzig"};
const char16_t* anreden[] = {u"Herr", u"Frau", u"Herr Dr.", u"Frau Prof. Dr."};
const char16_t* vornamen[] = {u"Hans", u"Peter", u"Anna", u"Maria", u"Klaus", u"Sabine", u"Jürgen"};
const char16_t* nachnamen[] = {u"Müller", u"Schmidt", u"Schneider", u"Fischer", u"Weber", u"Meyer", u"Wagner"};

template <size_t N>
Text wahl(std::mt19937& z, const char16_t* (&liste)[N]) {
    return liste[z() % N];
}
Text zahl(std::mt19937& z, int stellen) {
    Text t;
    for (int i = 0; i < stellen; ++i) t += static_cast<char16_t>(u'0' + z() % 10);
    return t;
}

// One raw address, as a source table holds it.
std::vector<Text> rohsatz(std::mt19937& z) {
    const Text vorwahl = u"0" + zahl(z, 3);
    return {wahl(z, firmen),
            wahl(z, branchen),
            wahl(z, straßen) + u" " + zahl(z, 1 + z() % 2) + (z() % 4 ? u"" : u"a"),
            zahl(z, 5),
            wahl(z, orte),
            wahl(z, anreden),
            wahl(z, vornamen),
            wahl(z, nachnamen),
            vorwahl + u"/" + zahl(z, 6),
            vorwahl + u" " + zahl(z, 5),
            u"info@" + zahl(z, 3) + u".example.de",
            u"http://www." + zahl(z, 3) + u".example.de"};
}

// The prepared values, in the forms the record preparation gives them.
std::vector<Variante> aufbereitet(const std::vector<Text>& r) {
    auto text = [](const Text& t) { return Variante(TextNormalisieren(Variante(t))); };
    const Variante firma(r[0]);
    return {Variante(TextNormalisieren(FirmennameNormalisieren(Variante(LCase(r[0]))))) & Variante(u" ") &
                RechtsformNormalisieren(firma),
            text(r[1]),
            Variante(Trim(TextNormalisieren(StraßeNormalisieren(Variante(r[2]))))) & Variante(u" ") &
                Variante(NurZiffern(HausnummerNormalisieren(Variante(r[2])))),
            Variante(NurZiffern(Variante(r[3]))),
            text(r[4]),
            text(r[5]),
            text(r[6]),
            text(r[7]),
            VorwahlNormalisieren(Variante(r[8])) & Variante(u" ") & TelefonNormalisieren(Variante(r[8])),
            TelefonNormalisieren(Variante(r[9])),
            text(r[10]),
            Variante(TextNormalisieren(TeilEntfernen(Variante(r[11]), u"http://")))};
}

double millisekunden(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main() {
    ProgrammVerzeichnisSetzen(u"/nonexistent/");  // built-in weights
    FeldtypenInitialisieren();
    Suchzuordnung = {{2, 3}, {2, 4}, {3, 3}, {3, 4}, {3, 8}, {4, 1}, {4, 2}, {4, 4}, {5, 3}, {5, 4}, {6, 1}, {6, 2}};
    Suchspaltenzahl = static_cast<int16_t>(Suchzuordnung.size());
    KontakteDifferenzieren = false;

    // Records in sort order: every third one a near copy of the one before it.
    std::mt19937 z(20261210);
    std::vector<std::vector<Variante>> spalten(spaltenzahl + 4);
    std::vector<Text> roh;
    for (int n = 0; n < satzzahl; ++n) {
        if (n == 0 || z() % 3 != 0) {
            roh = rohsatz(z);
        } else {
            roh[2] += u"a";
            if (z() % 2) roh[8].clear();
            if (z() % 2) roh[6] = wahl(z, vornamen);
        }
        const std::vector<Variante> satz = aufbereitet(roh);
        for (int c = 0; c < spaltenzahl; ++c)
            spalten[c].push_back(satz[c].istText() && satz[c].text().empty() ? Variante::Null() : satz[c]);
        spalten[spaltenzahl].push_back(Variante(static_cast<uint8_t>(11)));
        spalten[spaltenzahl + 1].push_back(Variante(static_cast<int32_t>(n + 1)));
        spalten[spaltenzahl + 2].push_back(Variante(static_cast<int32_t>(0)));
        spalten[spaltenzahl + 3].push_back(Variante(u""));
    }

    auto t0 = std::chrono::steady_clock::now();
    const Suchzeilen block(std::move(spalten));
    const double aufbau = millisekunden(std::chrono::steady_clock::now() - t0);
    const auto& werte = block.Zeilen();

    // Best of a few rounds of each, so that one slow moment does not decide.
    double lesen = 1e30, vergleich = 1e30;
    size_t prüfsumme = 0;
    int treffer = 0;
    size_t neueAllokationen = 0;
    for (int runde = 0; runde < 5; ++runde) {
        t0 = std::chrono::steady_clock::now();
        size_t summe = 0;
        for (int i = 0; i + 1 < satzzahl; ++i)
            for (int c = 0; c < spaltenzahl; ++c) {
                const Variante& a = werte[c][i];
                const Variante& b = werte[c][i + 1];
                summe += (a.istNull() ? 0 : a.text().size()) + (b.istNull() ? 0 : b.text().size());
            }
        lesen = std::min(lesen, millisekunden(std::chrono::steady_clock::now() - t0));
        prüfsumme += summe;

        const size_t vorher = allokationen;
        t0 = std::chrono::steady_clock::now();
        int n = 0;
        for (int i = 0; i + 1 < satzzahl; ++i) {
            float wert = 0;
            DatensätzeVergleichen(block, block, i, i + 1, wert);
            if (wert >= 0.8f) ++n;
        }
        vergleich = std::min(vergleich, millisekunden(std::chrono::steady_clock::now() - t0));
        treffer = n;
        neueAllokationen = allokationen - vorher;
    }

    const double paare = satzzahl - 1;
    std::printf("records: %d, columns: %d, successive pairs: %.0f\n", satzzahl, spaltenzahl, paare);
    std::printf("preparing the block (once): %.1f ms\n", aufbau);
    std::printf("plain pass reading the values: %.1f ms (checksum %zu)\n", lesen, prüfsumme % 1000003);
    std::printf("comparisons: %.1f ms, pairs scoring at least 0.8: %d\n", vergleich, treffer);
    std::printf("allocations during one round of comparisons: %zu\n", neueAllokationen);
    std::printf("ratio comparisons / plain pass: %.1f\n", vergleich / lesen);
    std::printf("comparisons per second: %.0f\n", paare / (vergleich / 1000.0));
    return 0;
}
