#pragma once
// The main window: the frame stack of the wizard pages, the button strip, the
// menus, the two progress timers and the window's side of the seam the core
// talks to. The pages build their own controls (Seiten*.cpp); the page flow
// lives in mdlRahmen.
#include <array>
#include <functional>
#include <map>
#include <memory>

#include <QDate>
#include <QMainWindow>
#include <QMenu>

#include "foundation/Oberflaeche.h"
#include "platform/forms/Anwendung.h"
#include "platform/forms/Dialoge.h"
#include "platform/forms/Steuerelemente.h"

class QAction;

// Frame 0: where every page lies, in twips of the window's client area.
namespace hauptmaße {
inline constexpr int Links = 120, Oben = 120, Breite = 9600, Höhe = 5760;
inline constexpr int Knopfleiste = 600;  // strip below the pages for the buttons
}  // namespace hauptmaße

class frmHaupt : public QMainWindow, public Benutzeroberfläche {
public:
    explicit frmHaupt(forms::Dialogdienst& dialoge);
    ~frmHaupt() override;

    // Start-up: false when the program cannot run (the user has been told).
    bool Form_Load();
    // Every attempt to close the window; true keeps it open.
    bool Form_Unload();
    void Form_KeyDown(int keyCode, int shift);

    forms::Dialogdienst& Dialoge() { return dialoge_; }
    forms::Steuerelementliste& Elemente() { return elemente_; }
    forms::Rahmenfeld* Rahmen(int seite) const;
    const std::map<int, forms::Rahmenfeld*>& Rahmenliste() const { return freRahmen; }

    // Today's date for the target-name proposal (tests fix it).
    std::function<QDate()> Heute = [] { return QDate::currentDate(); };
    // Set by tests to act as a user in the review dialogs; unset, a review is cancelled.
    std::function<int32_t()> beiDublettenBearbeiten;
    std::function<void()> beiMüllBearbeiten;

    // The enriched records of the last duplicate review (taken over or not).
    int32_t azlAngereichert = 0;

    // Whether an operation runs (started by "Starten" and not yet returned).
    bool LaufAktiv() const { return laufAktiv_; }
    void LaufAktivSetzen(bool an) { laufAktiv_ = an; }

    // ---- Benutzeroberfläche ----
    int Meldung(const Text& text, int stil, const std::optional<Text>& titel) override;
    void Ereignisse() override;
    void Mauszeiger(int zeiger) override;
    void BeschriftungSetzen(TextSicht steuerelement, const Text& text) override;
    void FortschrittsbalkenSetzen(float wert) override;
    float Fortschrittsbalken() const override;
    void TimerSetzen(TextSicht timer, int32_t intervall, bool aktiv) override;
    int32_t TimerIntervall(TextSicht timer) const override;
    void AktivSetzen(TextSicht steuerelement, bool aktiv) override;
    int32_t Wert(TextSicht steuerelement, int index = -1) const override;
    Text Inhalt(TextSicht steuerelement, int index = -1) const override;
    void ListeLeeren(TextSicht liste) override;
    void ListeHinzufügen(TextSicht liste, const Text& zeile) override;
    void ListeAuswählen(TextSicht liste, int zeile) override;
    void RahmenÖffnen(int16_t seite, bool einrichten) override;
    void RahmenWechseln(int16_t von, int16_t nach, bool prüfen, bool einrichten) override;
    bool RahmenSchließen(int16_t seite, bool prüfen) override;
    int32_t DublettenBearbeiten() override;
    void MüllBearbeiten() override;
    void NachDerBearbeitung() override;

    // ---- controls, by page ----
    std::map<int, forms::Rahmenfeld*> freRahmen;
    forms::Schaltfläche *btnHilfe = nullptr, *btnZurück = nullptr, *btnWeiter = nullptr, *btnBeenden = nullptr;
    forms::Zeitgeber tmrDauer, tmrFortschritt;
    QMenu* mnuProgramm = nullptr;
    QAction* mnuBeenden = nullptr;
    QMenu* mnuInformation = nullptr;
    QAction *mnuHilfe = nullptr, *mnuInternetseite = nullptr, *mnuSupport = nullptr, *mnuInfo = nullptr;
    forms::Schaltfläche *Command1 = nullptr, *Command2 = nullptr, *Command3 = nullptr;
    QMenu* mnuFeldArten = nullptr;  // shown only as the popup of the field list
    // Shows a popup menu at a global position and gives the entry chosen (null: none);
    // tests choose without a real popup.
    std::function<QAction*(QMenu&, const QPoint&)> MenüZeigen = [](QMenu& m, const QPoint& p) { return m.exec(p); };

    // The page numbers trail declarations that run over several lines; kept as aligned by hand.
    // clang-format off
    QLabel* Image1 = nullptr;                                            // 0
    forms::Textfeld *tbxDatenbankName = nullptr, *tbxDatenbankPasswort = nullptr;  // 2
    forms::Schaltfläche* btnDatenbankAuswählen = nullptr;
    forms::Listenfeld* lstTabellen = nullptr;                            // 3
    forms::Beschriftung *lblGeändert = nullptr, *lblGröße = nullptr;
    forms::Schaltfläche *cmdTabelleUmbenennen = nullptr, *cmdTabelleLöschen = nullptr;
    forms::Textfeld* tbxZielTabelle = nullptr;                           // 4
    std::array<forms::Schaltfläche*, 6> btnAuswahl{};                   // 5
    forms::Beschriftung *lblInformation = nullptr, *lblDatensätze = nullptr, *lblTeilFortschritt = nullptr,  // 6
                        *lblDauer = nullptr, *lblVerbleibendeZeit = nullptr;
    forms::Fortschrittsbalken* pgbTeilFortschritt = nullptr;
    forms::Listenfeld* lstFelder = nullptr;                              // 7
    std::array<forms::Kontrollkästchen*, 3> chkSucheDurchführen{};     // 11
    std::array<forms::Kombinationsfeld*, 9> cbxSuchFeld{};
    std::array<forms::Schieberegler*, 3> sdrZeichenRichtig{};
    forms::Schieberegler* sdrToleranz = nullptr;
    forms::Kontrollkästchen *chkQuickSuche = nullptr, *chkAnsprechpartnerDifferenzieren = nullptr;
    forms::Kontrollkästchen *chkFirmenname = nullptr, *chkRechtsform = nullptr, *chkBranche = nullptr,  // 21
                            *chkPostalisch = nullptr, *chkHausnummer = nullptr, *chkKontakt = nullptr,
                            *chkAnrede = nullptr, *chkVorname = nullptr, *chkNachname = nullptr,
                            *chkAbteilung = nullptr, *chkTelefon = nullptr, *chkFax = nullptr,
                            *chkEmail = nullptr, *chkInternet = nullptr;
    forms::Kombinationsfeld *cbxSplittenTypus = nullptr, *cbxSplitten1 = nullptr, *cbxSplitten2 = nullptr;  // 31
    forms::Beschriftung *lblSplitten1 = nullptr, *lblSplitten2 = nullptr, *lblSplitten3 = nullptr,
                        *lblSplitten4 = nullptr;
    forms::Textfeld *tbxSplitten1 = nullptr, *tbxSplitten2 = nullptr, *tbxSplitten3 = nullptr,
                    *tbxSplitten_Trennzeichen = nullptr;
    forms::Figur* shpSplitten_Verdeutlichung = nullptr;
    forms::Kontrollkästchen* chkSplittenLöschen = nullptr;
    forms::Kombinationsfeld *cbxVerschmelzen1 = nullptr, *cbxVerschmelzen2 = nullptr;  // 41
    forms::Textfeld *tbxVerschmolzen = nullptr, *tbxTrennzeichen = nullptr;
    std::array<forms::Optionsfeld*, 2> otnTrennzeichen{};
    forms::Kontrollkästchen* chkVerschmelzenLöschen = nullptr;
    forms::Kombinationsfeld* cbxDatenabgleich = nullptr;                 // 51
    forms::Kombinationsfeld* cbxNeueDaten = nullptr;                     // 61
    // clang-format on

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void SeitenBauen();
    void KnopfleisteBauen();
    void MenüsBauen();
    void TestknöpfeBauen();
    forms::Steuerelement& Element(TextSicht name, int index) const;

    forms::Dialogdienst& dialoge_;
    forms::Steuerelementliste elemente_;
    bool laufAktiv_ = false;
    bool beendet_ = false;
};

// The one main window, while it exists.
frmHaupt& Haupt();
