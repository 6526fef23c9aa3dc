#pragma once
// A scripted stand-in for the main window: queued answers to message boxes,
// recorded captions and boxes, settable option controls. An unexpected
// message box fails the test.
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Oberflaeche.h"

struct GezeigteMeldung {
    Text text;
    int stil;
    std::optional<Text> titel;  // none: the program's title
};

class FakeOberfläche : public Benutzeroberfläche {
public:
    FakeOberfläche();
    ~FakeOberfläche() override;

    // The next message box is answered with `antwort`; when `enthält` is given,
    // its text must contain it.
    void Antworten(int antwort, Text enthält = {});
    std::vector<GezeigteMeldung> meldungen;
    size_t offeneAntworten() const { return antworten_.size(); }

    std::map<std::u16string, Text> beschriftungen;
    std::vector<std::pair<std::u16string, Text>> beschriftungsVerlauf;
    float balken = 0;
    struct Zeitgeber {
        int32_t intervall = 0;
        bool aktiv = false;
    };
    std::map<std::u16string, Zeitgeber> timer;
    std::map<std::u16string, bool> aktiv;
    std::map<std::pair<std::u16string, int>, int32_t> werte;
    std::map<std::pair<std::u16string, int>, Text> inhalte;
    std::map<std::u16string, std::vector<Text>> listen;
    std::map<std::u16string, int> auswahl;
    std::vector<std::pair<int16_t, bool>> geöffneteRahmen;
    std::vector<int16_t> wechsel;                              // target pages of RahmenWechseln
    std::vector<std::pair<int16_t, bool>> geschlosseneRahmen;  // RahmenSchließen: page, with checks
    int ereignisse = 0;
    int mauszeiger = 0;
    // Set to act like a user in the review dialogs, or to press "Abbrechen" during a yield.
    std::function<int32_t()> beiDublettenBearbeiten;
    std::function<void()> beiMüllBearbeiten;
    std::function<void()> beiEreignissen;
    int nachDerBearbeitung = 0;

    void WertSetzen(TextSicht name, int32_t wert, int index = -1) { werte[{Text(name), index}] = wert; }
    void InhaltSetzen(TextSicht name, Text inhalt, int index = -1) { inhalte[{Text(name), index}] = inhalt; }
    Text Beschriftung(TextSicht name) const;

    int Meldung(const Text& text, int stil, const std::optional<Text>& titel) override;
    void Ereignisse() override;
    void Mauszeiger(int zeiger) override { mauszeiger = zeiger; }
    void BeschriftungSetzen(TextSicht steuerelement, const Text& text) override;
    void FortschrittsbalkenSetzen(float wert) override { balken = wert; }
    float Fortschrittsbalken() const override { return balken; }
    void TimerSetzen(TextSicht name, int32_t intervall, bool an) override { timer[Text(name)] = {intervall, an}; }
    int32_t TimerIntervall(TextSicht name) const override;
    void AktivSetzen(TextSicht name, bool an) override { aktiv[Text(name)] = an; }
    int32_t Wert(TextSicht name, int index = -1) const override;
    Text Inhalt(TextSicht name, int index = -1) const override;
    void ListeLeeren(TextSicht liste) override {
        listen[Text(liste)].clear();
        auswahl[Text(liste)] = -1;
    }
    void ListeHinzufügen(TextSicht liste, const Text& zeile) override { listen[Text(liste)].push_back(zeile); }
    void ListeAuswählen(TextSicht liste, int zeile) override { auswahl[Text(liste)] = zeile; }
    void RahmenÖffnen(int16_t seite, bool einrichten) override;
    void RahmenWechseln(int16_t von, int16_t nach, bool prüfen, bool einrichten) override;
    bool RahmenSchließen(int16_t seite, bool prüfen) override;
    int32_t DublettenBearbeiten() override;
    void MüllBearbeiten() override;
    void NachDerBearbeitung() override { ++nachDerBearbeitung; }

private:
    struct Antwort {
        int antwort;
        Text enthält;
    };
    std::deque<Antwort> antworten_;
    Benutzeroberfläche* vorher_ = nullptr;
};

// gtest output of UTF-16 texts.
std::string u8(TextSicht t);
