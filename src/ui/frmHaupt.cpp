#include "ui/frmHaupt.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeySequence>
#include <QLayout>
#include <QMenuBar>
#include <QShortcut>

#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlFeldInhalte.h"
#include "foundation/mdlMeldungen.h"
#include "foundation/mdlStart.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "ui/Seiten.h"
#include "ui/frmDublettenBearbeiten.h"
#include "ui/frmHilfe.h"
#include "ui/frmInfo.h"
#include "ui/frmMuellBearbeiten.h"
#include "ui/mdlRahmen.h"

using forms::Pixel;
using forms::Q;
using forms::T;

namespace {
frmHaupt* gHaupt = nullptr;
}

frmHaupt& Haupt() {
    if (!gHaupt) FehlerAuslösen(91, u"Objektvariable oder With-Blockvariable nicht festgelegt");
    return *gHaupt;
}

frmHaupt::frmHaupt(forms::Dialogdienst& dialoge) : tmrDauer(this), tmrFortschritt(this), dialoge_(dialoge) {
    gHaupt = this;
    setObjectName(QStringLiteral("frmHaupt"));
    forms::ProgrammtitelSetzen(QStringLiteral("Purivo"));
    QFont schrift;
    schrift.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    schrift.setPointSize(9);
    QApplication::setFont(schrift);
    // The window's own font too, so controls measured while the pages are built use it already.
    setFont(schrift);

    auto* fläche = new QWidget(this);
    fläche->setObjectName(QStringLiteral("Clientbereich"));
    setCentralWidget(fläche);
    SeitenBauen();
    KnopfleisteBauen();
    MenüsBauen();
    TestknöpfeBauen();
    tmrDauer.Timer = [] { tmrDauer_Timer(); };
    tmrFortschritt.Timer = [] { tmrFortschritt_Timer(); };

    // Ctrl+F exactly; a shortcut matches its modifiers strictly, so Ctrl+Shift+F does not.
    auto* strgF = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    strgF->setContext(Qt::WindowShortcut);
    connect(strgF, &QShortcut::activated, this, [this] { Form_KeyDown(70, 2); });
}

frmHaupt::~frmHaupt() {
    if (gHaupt == this) gHaupt = nullptr;
}

void frmHaupt::SeitenBauen() {
    QWidget* fläche = centralWidget();
    for (int seite : {0, 1, 2, 3, 4, 5, 6, 7, 11, 12, 13, 21, 22, 23, 31, 32, 41, 42, 51, 53, 61, 63}) {
        auto* r = elemente_.Anlegen<forms::Rahmenfeld>(fläche, QStringLiteral("freRahmen"), seite);
        freRahmen[seite] = r;
    }
    for (auto& [seite, r] : freRahmen) r->CaptionSetzen(Q(Rahmenbeschriftung(seite)));
    // Each page is designed where frame 0 lies; Form_Load stacks them there.
    for (auto& [seite, r] : freRahmen)
        forms::Platzieren(r, hauptmaße::Links, hauptmaße::Oben, hauptmaße::Breite, hauptmaße::Höhe);
    SeitenAllgemeinBauen(*this);
    SeiteDurchführungBauen(*this);
    SeitenOptionenBauen(*this);
    SeitenProtokollBauen(*this);
    FeldartenmenüBauen(*this);
    OptionsregelnVerbinden(*this);
    DatenbankseitenVerbinden(*this);
}

void frmHaupt::KnopfleisteBauen() {
    using namespace hauptmaße;
    const int oben = Oben + Höhe + (Knopfleiste - 375) / 2, breite = 1455, abstand = 120;
    const int rechts = Links + Breite;
    struct Knopf {
        forms::Schaltfläche** ziel;
        const char16_t* name;
        const char16_t* caption;
        int links;
    };
    const Knopf knöpfe[] = {
        {&btnHilfe, u"btnHilfe", u"Hilfe", Links},
        {&btnZurück, u"btnZurück", u"<<  Zurück", rechts - 3 * breite - 2 * abstand - 240},
        {&btnWeiter, u"btnWeiter", u"Weiter  >>", rechts - 2 * breite - abstand - 240},
        {&btnBeenden, u"btnBeenden", u"Beenden", rechts - breite},
    };
    for (const Knopf& k : knöpfe) {
        auto* b = elemente_.Anlegen<forms::Schaltfläche>(centralWidget(), Q(k.name));
        b->CaptionSetzen(Q(k.caption));
        forms::Platzieren(b, k.links, oben, breite, 375);
        *k.ziel = b;
    }
    btnWeiter->setDefault(true);
    btnWeiter->Click = [] { btnWeiter_Click(); };
    btnZurück->Click = [] { btnZurück_Click(); };
    btnHilfe->Click = [] { HilfeZeigen(); };
    btnBeenden->Click = [this] { close(); };
}

void frmHaupt::MenüsBauen() {
    mnuProgramm = menuBar()->addMenu(QStringLiteral("&Programm"));
    mnuProgramm->setObjectName(QStringLiteral("mnuProgramm"));
    mnuBeenden = mnuProgramm->addAction(QStringLiteral("&Beenden"));
    mnuBeenden->setObjectName(QStringLiteral("mnuBeenden"));
    connect(mnuBeenden, &QAction::triggered, this, [this] { close(); });

    mnuInformation = menuBar()->addMenu(QStringLiteral("&?"));
    mnuInformation->setObjectName(QStringLiteral("mnuInformation"));
    struct Eintrag {
        QAction** ziel;
        const char16_t* name;
        const char16_t* caption;
        std::function<void()> handler;
    };
    const Eintrag einträge[] = {
        {&mnuHilfe, u"mnuHilfe", u"&Hilfe", [] { HilfeZeigen(); }},
        {nullptr, u"mnuLeer1", u"-", nullptr},
        {&mnuInternetseite, u"mnuInternetseite", u"&Internetseite", [] { InternetseiteÖffnen(Internetseite); }},
        {&mnuSupport, u"mnuSupport", u"&Support",
         [] {
             EmailSenden(Supportadresse, u"Supportanfrage für '" + Text(u"Purivo") + u" " + u"1.0" + u"'",
                         u"Anfrage von %0D%0A%0D%0A");
         }},
        {nullptr, u"mnuLeer2", u"-", nullptr},
        {&mnuInfo, u"mnuInfo", u"I&nfo", [] { mnuInfo_Click(); }},
    };
    for (const Eintrag& e : einträge) {
        QAction* a = e.handler ? mnuInformation->addAction(Q(e.caption)) : mnuInformation->addSeparator();
        a->setObjectName(Q(e.name));
        if (e.ziel) *e.ziel = a;
        if (e.handler) connect(a, &QAction::triggered, this, e.handler);
    }
}

void frmHaupt::TestknöpfeBauen() {
    // Buttons for trying the normalisers by hand; never shown.
    const char16_t* captions[3] = {u"TEST - starten (neue daten)", u"Command2", u"TEST 2"};
    for (int i = 0; i < 3; ++i) {
        auto* k = elemente_.Anlegen<forms::Schaltfläche>(centralWidget(), Q(u"Command" + Text(1, u'1' + i)));
        k->CaptionSetzen(Q(captions[i]));
        k->hide();
        (i == 0 ? Command1 : i == 1 ? Command2 : Command3) = k;
    }
    Command2->Click = [this] {
        const Variante beispiel(u"Brunow-Systeme GmbH Incorp. AG");
        Meldung(u"###" + FirmennameNormalisieren(beispiel).alsText() + u"###" +
                    RechtsformNormalisieren(beispiel).alsText() + u"###",
                vb::OKOnly, std::nullopt);
    };
    Command3->Click = [this] {
        const Variante beispiel(u"+49 (030) 1234567");
        Meldung(u"###" + LandesvorwahlErmitteln(beispiel).alsText() + u"###" +
                    VorwahlNormalisieren(beispiel).alsText() + u"###" + TelefonNormalisieren(beispiel).alsText() +
                    u"###",
                vb::OKOnly, std::nullopt);
    };
}

forms::Rahmenfeld* frmHaupt::Rahmen(int seite) const {
    const auto it = freRahmen.find(seite);
    return it == freRahmen.end() ? nullptr : it->second;
}

bool frmHaupt::Form_Load() {
    if (!ProgrammInitialisieren()) return false;
    setWindowTitle(QStringLiteral(" Purivo"));
    // The client area encloses frame 0 with equal margins left and right, the
    // strip for the buttons below it and a bottom margin as wide as the left one.
    forms::Rahmenfeld* r0 = freRahmen.at(0);
    const int L = forms::Twips(r0->x()), T0 = forms::Twips(r0->y());
    const int W = forms::Twips(r0->width()), H = forms::Twips(r0->height());
    centralWidget()->setFixedSize(Pixel(2 * L + W), Pixel(T0 + H + hauptmaße::Knopfleiste + L));
    for (auto& [seite, r] : freRahmen) {
        r->setGeometry(r0->geometry());
        if (seite > 0) r->hide();
    }
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    gVorgang = VorgangKeiner;
    ::RahmenÖffnen(0, true);
    return true;
}

bool frmHaupt::Form_Unload() {
    // While an operation runs the window stays: closing only asks whether to cancel.
    if (gAktuellerRahmen == rahmen::Durchführung || laufAktiv_) {
        AbbruchFragen();
        return true;
    }
    // A database whose results could not be written stays open, and so does the program.
    if (!ArbeitsbereichSchließen()) return true;
    beendet_ = true;
    return false;
}

void frmHaupt::closeEvent(QCloseEvent* e) {
    if (beendet_ || !Form_Unload()) {
        e->accept();
        return;
    }
    e->ignore();
}

void frmHaupt::Form_KeyDown(int keyCode, int shift) {
    if (keyCode == 70 && shift == 2) gSystemmeldung = !gSystemmeldung;
}

// ---- the seam ----

int frmHaupt::Meldung(const Text& text, int stil, const std::optional<Text>& titel) {
    std::optional<QString> t;
    if (titel) t = Q(*titel);
    return dialoge_.MsgBox(Q(text), stil, t);
}

void frmHaupt::Ereignisse() { forms::Ereignisse(); }

void frmHaupt::Mauszeiger(int zeiger) { forms::Mauszeiger(zeiger); }

forms::Steuerelement& frmHaupt::Element(TextSicht name, int index) const {
    forms::Steuerelement* s = elemente_.Finden(Q(name), index);
    if (!s) FehlerAuslösen(340, u"Steuerelement '" + Text(name) + u"' existiert nicht");
    return *s;
}

void frmHaupt::BeschriftungSetzen(TextSicht name, const Text& text) {
    Element(name, -1).InhaltSetzen(Q(text));
    // The status line shows at once, also in a long step between yields.
    Element(name, -1).Widget()->repaint();
}

void frmHaupt::FortschrittsbalkenSetzen(float wert) { pgbTeilFortschritt->ValueSetzen(wert); }

float frmHaupt::Fortschrittsbalken() const { return pgbTeilFortschritt->Value(); }

namespace {
forms::Zeitgeber& Timer(frmHaupt& f, TextSicht name) {
    if (name == u"tmrDauer") return f.tmrDauer;
    if (name == u"tmrFortschritt") return f.tmrFortschritt;
    FehlerAuslösen(340, u"Steuerelement '" + Text(name) + u"' existiert nicht");
}
}  // namespace

void frmHaupt::TimerSetzen(TextSicht name, int32_t intervall, bool aktiv) {
    forms::Zeitgeber& t = Timer(*this, name);
    t.IntervalSetzen(intervall);
    t.EnabledSetzen(aktiv);
}

int32_t frmHaupt::TimerIntervall(TextSicht name) const { return Timer(const_cast<frmHaupt&>(*this), name).Interval(); }

void frmHaupt::AktivSetzen(TextSicht name, bool aktiv) { Element(name, -1).Widget()->setEnabled(aktiv); }

int32_t frmHaupt::Wert(TextSicht name, int index) const { return Element(name, index).Wert(); }

Text frmHaupt::Inhalt(TextSicht name, int index) const { return T(Element(name, index).Inhalt()); }

namespace {
forms::Listenfeld& Liste(const forms::Steuerelement& s) {
    auto* l = dynamic_cast<forms::Listenfeld*>(const_cast<forms::Steuerelement*>(&s));
    if (!l) FehlerAuslösen(438, u"Objekt unterstützt diese Eigenschaft oder Methode nicht");
    return *l;
}
}  // namespace

void frmHaupt::ListeLeeren(TextSicht liste) { Liste(Element(liste, -1)).Clear(); }

void frmHaupt::ListeHinzufügen(TextSicht liste, const Text& zeile) { Liste(Element(liste, -1)).AddItem(Q(zeile)); }

void frmHaupt::ListeAuswählen(TextSicht liste, int zeile) { Liste(Element(liste, -1)).ListIndexSetzen(zeile); }

void frmHaupt::RahmenÖffnen(int16_t seite, bool einrichten) { ::RahmenÖffnen(seite, einrichten); }

void frmHaupt::RahmenWechseln(int16_t von, int16_t nach, bool prüfen, bool einrichten) {
    ::RahmenWechseln(von, nach, prüfen, einrichten);
}

bool frmHaupt::RahmenSchließen(int16_t seite, bool prüfen) { return ::RahmenSchließen(seite, prüfen); }

int32_t frmHaupt::DublettenBearbeiten() {
    if (beiDublettenBearbeiten) return beiDublettenBearbeiten();
    frmDublettenBearbeiten dialog(this);
    dialog.Hilfe = [] { HilfeZeigen(); };
    // A load ended by its error box has closed the dialog already.
    if (dialog.Form_Load()) dialog.exec();
    return dialog.azlAngereichert;
}

void frmHaupt::MüllBearbeiten() {
    if (beiMüllBearbeiten) return beiMüllBearbeiten();
    frmMüllBearbeiten dialog(this);
    dialog.Hilfe = [] { HilfeZeigen(); };
    if (dialog.Form_Load()) dialog.exec();
}
