#include "common/FakeOberflaeche.h"

#include <gtest/gtest.h>

#include "foundation/mdlDeklarationen.h"

std::string u8(TextSicht t) { return nachUtf8(t); }

FakeOberfläche::FakeOberfläche() { OberflächeSetzen(this); }
FakeOberfläche::~FakeOberfläche() {
    OberflächeSetzen(nullptr);
    EXPECT_TRUE(antworten_.empty()) << antworten_.size() << " erwartete Meldung(en) kamen nicht";
}

void FakeOberfläche::Antworten(int antwort, Text enthält) { antworten_.push_back({antwort, std::move(enthält)}); }

int FakeOberfläche::Meldung(const Text& text, int stil, const std::optional<Text>& titel) {
    meldungen.push_back({text, stil, titel});
    if (antworten_.empty()) {
        ADD_FAILURE() << "unerwartete Meldung: " << u8(titel.value_or(u"(Programmtitel)")) << " | " << u8(text);
        return (stil & 7) == vb::AbortRetryIgnore ? vb::Abort : vb::No;
    }
    const Antwort a = antworten_.front();
    antworten_.pop_front();
    if (!a.enthält.empty()) {
        EXPECT_NE(text.find(a.enthält), Text::npos) << "Meldung " << u8(text) << " enthält nicht " << u8(a.enthält);
    }
    return a.antwort;
}

void FakeOberfläche::Ereignisse() {
    ++ereignisse;
    if (beiEreignissen) beiEreignissen();
}

void FakeOberfläche::BeschriftungSetzen(TextSicht name, const Text& text) {
    beschriftungen[Text(name)] = text;
    beschriftungsVerlauf.emplace_back(Text(name), text);
}

Text FakeOberfläche::Beschriftung(TextSicht name) const {
    const auto it = beschriftungen.find(Text(name));
    return it == beschriftungen.end() ? Text() : it->second;
}

int32_t FakeOberfläche::TimerIntervall(TextSicht name) const {
    const auto it = timer.find(Text(name));
    return it == timer.end() ? 0 : it->second.intervall;
}

int32_t FakeOberfläche::Wert(TextSicht name, int index) const {
    const auto it = werte.find({Text(name), index});
    return it == werte.end() ? 0 : it->second;
}

Text FakeOberfläche::Inhalt(TextSicht name, int index) const {
    const auto it = inhalte.find({Text(name), index});
    return it == inhalte.end() ? Text() : it->second;
}

void FakeOberfläche::RahmenÖffnen(int16_t seite, bool einrichten) {
    geöffneteRahmen.emplace_back(seite, einrichten);
    gAktuellerRahmen = seite;
}

void FakeOberfläche::RahmenWechseln(int16_t, int16_t nach, bool, bool einrichten) {
    wechsel.push_back(nach);
    RahmenÖffnen(nach, einrichten);
}

bool FakeOberfläche::RahmenSchließen(int16_t seite, bool prüfen) {
    geschlosseneRahmen.emplace_back(seite, prüfen);
    gAktuellerRahmen = -1;
    return true;
}

int32_t FakeOberfläche::DublettenBearbeiten() { return beiDublettenBearbeiten ? beiDublettenBearbeiten() : 0; }
void FakeOberfläche::MüllBearbeiten() {
    if (beiMüllBearbeiten) beiMüllBearbeiten();
}
