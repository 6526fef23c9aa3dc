#pragma once
// What the core sees of the main window: the one seam between the plain C++
// core and the Qt user interface. The main window implements it; tests use a
// scripted fake. Controls are named as on the main window (lblInformation,
// chkQuickSuche, cbxSuchFeld with an index, …).
#include <cstdint>
#include <optional>

#include "platform/basic/Text.h"
#include "platform/basic/VbKonstanten.h"

// Wizard pages used by the core.
namespace rahmen {
inline constexpr int16_t Start = 0, Sicherheitshinweis = 1, Datenbank = 2, Tabelle = 3, Zieltabelle = 4, Vorgang = 5,
                         Durchführung = 6, Feldzuordnung = 7, Suchoptionen = 11, DublettenNachbearbeitung = 12,
                         DublettenProtokoll = 13, MüllKriterien = 21, MüllNachbearbeitung = 22, MüllProtokoll = 23,
                         Splitten = 31, SplittenProtokoll = 32, Verschmelzen = 41, VerschmelzenProtokoll = 42,
                         Datenabgleich = 51, DatenabgleichProtokoll = 53, NeueDaten = 61, NeueDatenProtokoll = 63;
}

class Benutzeroberfläche {
public:
    virtual ~Benutzeroberfläche() = default;

    // A modal message box; returns the answer code (vb::OK, vb::Yes, …). Without a
    // title the box carries the program's; an empty title stays empty.
    virtual int Meldung(const Text& text, int stil, const std::optional<Text>& titel) = 0;
    // Lets pending user input and the timers run.
    virtual void Ereignisse() = 0;
    // Screen mouse pointer: 0 default, 11 hourglass.
    virtual void Mauszeiger(int zeiger) = 0;

    // Captions of labels and the progress bar of the progress page.
    virtual void BeschriftungSetzen(TextSicht steuerelement, const Text& text) = 0;
    virtual void FortschrittsbalkenSetzen(float wert) = 0;
    virtual float Fortschrittsbalken() const = 0;
    // The two progress timers (tmrDauer, tmrFortschritt).
    virtual void TimerSetzen(TextSicht timer, int32_t intervall, bool aktiv) = 0;
    virtual int32_t TimerIntervall(TextSicht timer) const = 0;
    virtual void AktivSetzen(TextSicht steuerelement, bool aktiv) = 0;

    // Option controls the operations read: Value of check boxes, option buttons and
    // sliders, ListIndex of combo boxes; `index` for control arrays (-1: none).
    virtual int32_t Wert(TextSicht steuerelement, int index = -1) const = 0;
    // Text of text boxes and of the chosen combo entry.
    virtual Text Inhalt(TextSicht steuerelement, int index = -1) const = 0;

    // The list box of the field-assignment page.
    virtual void ListeLeeren(TextSicht liste) = 0;
    virtual void ListeHinzufügen(TextSicht liste, const Text& zeile) = 0;
    virtual void ListeAuswählen(TextSicht liste, int zeile) = 0;

    // Page flow of the wizard.
    virtual void RahmenÖffnen(int16_t seite, bool einrichten) = 0;
    virtual void RahmenWechseln(int16_t von, int16_t nach, bool prüfen, bool einrichten) = 0;
    // Leaves a page (with its input checks when `prüfen`); false when a check refused.
    virtual bool RahmenSchließen(int16_t seite, bool prüfen) = 0;

    // The duplicate review dialog, shown modally; returns its azlAngereichert.
    virtual int32_t DublettenBearbeiten() = 0;
    // The junk review dialog, shown modally.
    virtual void MüllBearbeiten() = 0;
    // The main window's argument-less member that runs after the duplicate review.
    virtual void NachDerBearbeitung() = 0;
};

// The window the core talks to; set by the main window at start and by tests.
Benutzeroberfläche& Oberfläche();
void OberflächeSetzen(Benutzeroberfläche* o);
