#include "platform/forms/Steuerelemente.h"

#include <cmath>

#include "platform/basic/Fehler.h"
#include "platform/forms/Dialoge.h"

namespace forms {

void Platzieren(QWidget* w, int links, int oben, int breite, int höhe) {
    if (auto* figur = dynamic_cast<Figur*>(w)) return figur->TwipsSetzen(links, oben, breite, höhe);
    w->setGeometry(Pixel(links), Pixel(oben), Pixel(breite), Pixel(höhe));
}

QString Objektname(const QString& name, int index) {
    return index < 0 ? name : name + QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}

void Steuerelementliste::Eintragen(Steuerelement* s, const QString& name, int index) {
    QWidget* w = s->Widget();
    const QString n = Objektname(name, index);
    w->setObjectName(n);
    // Qt 6.4 does not hand object names to assistive tools; the accessible name
    // stays the visible text a screen reader reads out.
    w->setAccessibleDescription(n);
    elemente_[{name, index}] = s;
}

Steuerelement* Steuerelementliste::Finden(const QString& name, int index) const {
    const auto it = elemente_.find({name, index});
    return it == elemente_.end() ? nullptr : it->second;
}

std::map<int, Steuerelement*> Steuerelementliste::Feld(const QString& name) const {
    std::map<int, Steuerelement*> feld;
    for (auto it = elemente_.lower_bound({name, -1}); it != elemente_.end() && it->first.first == name; ++it)
        if (it->first.second >= 0) feld[it->first.second] = it->second;
    return feld;
}

// ---- captions ----

Beschriftung::Beschriftung(QWidget* eltern) : MitCaption(eltern) {
    // VB labels wrap within their width.
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
}


Schaltfläche::Schaltfläche(QWidget* eltern) : MitCaption(eltern) {
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, [this] {
        if (Click) Click();
    });
}


Kontrollkästchen::Kontrollkästchen(QWidget* eltern) : MitCaption(eltern) {
    connect(this, &QCheckBox::stateChanged, this, [this](int) {
        if (Click) Click();
    });
}


int32_t Kontrollkästchen::Value() const {
    switch (checkState()) {
        case Qt::Checked: return 1;
        case Qt::PartiallyChecked: return 2;
        default: return 0;
    }
}

void Kontrollkästchen::ValueSetzen(int32_t v) {
    if (v < 0 || v > 2) FehlerAuslösen(380, u"Unzulässiger Eigenschaftswert");
    if (v == 2) setTristate(true);
    setCheckState(v == 1 ? Qt::Checked : v == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

// Grey is for the program to set: a click ticks a grey box, as it does an empty one.
void Kontrollkästchen::nextCheckState() { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }

Optionsfeld::Optionsfeld(QWidget* eltern) : MitCaption(eltern) {
    connect(this, &QRadioButton::toggled, this, [this](bool an) {
        if (an && Click) Click();
    });
}


void Optionsfeld::ValueSetzen(bool v) {
    if (v || !isChecked()) {
        setChecked(v);
        return;
    }
    // Qt refuses to clear the chosen button of an exclusive group; code may leave none chosen.
    const bool exklusiv = autoExclusive();
    setAutoExclusive(false);
    setChecked(false);
    setAutoExclusive(exklusiv);
}

Textfeld::Textfeld(QWidget* eltern) : QLineEdit(eltern) {}

// ---- lists ----

Listenfeld::Listenfeld(QWidget* eltern) : QListWidget(eltern) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::currentRowChanged, this, [this](int) {
        if (!still_ && Click) Click();
    });
}

void Listenfeld::AddItem(const QString& eintrag) {
    still_ = true;
    addItem(eintrag);
    still_ = false;
}

void Listenfeld::Clear() {
    still_ = true;
    clear();
    still_ = false;
}

void Listenfeld::focusInEvent(QFocusEvent* e) {
    // Qt makes the first entry current when a list without one gets the focus,
    // which would choose it and fire Click on showing the form.
    const bool ohne = currentRow() < 0;
    still_ = true;
    QListWidget::focusInEvent(e);
    if (ohne && currentRow() >= 0) selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    still_ = false;
}

QString Listenfeld::List(int i) const {
    const QListWidgetItem* e = item(i);
    return e ? e->text() : QString();
}

void Listenfeld::ListIndexSetzen(int i) {
    if (i < -1 || i >= count()) FehlerAuslösen(380, u"Unzulässiger Eigenschaftswert");
    if (i == currentRow()) {
        if (Click) Click();
        return;
    }
    setCurrentRow(i);
    if (i >= 0) scrollToItem(item(i));
}

Kombinationsfeld::Kombinationsfeld(QWidget* eltern) : QComboBox(eltern) {
    setEditable(false);
    // The user's choice; changes by code call Click themselves.
    connect(this, &QComboBox::activated, this, [this](int) {
        if (!still_ && Click) Click();
    });
}

void Kombinationsfeld::AddItem(const QString& eintrag) {
    still_ = true;
    const int vorher = currentIndex();
    addItem(eintrag);
    // Qt selects the first entry of an empty box; VB leaves it unselected.
    if (vorher < 0) setCurrentIndex(-1);
    still_ = false;
}

void Kombinationsfeld::Clear() {
    still_ = true;
    clear();
    still_ = false;
}

void Kombinationsfeld::ListIndexSetzen(int i) {
    if (i < -1 || i >= count()) FehlerAuslösen(380, u"Unzulässiger Eigenschaftswert");
    setCurrentIndex(i);
    if (Click) Click();
}

void Kombinationsfeld::TextSetzen(const QString& t) {
    int i = findText(t, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i < 0) i = findText(t, Qt::MatchFixedString);
    if (i < 0) FehlerAuslösen(383, u"Die Eigenschaft 'Text' ist schreibgeschützt");
    ListIndexSetzen(i);
}

Schieberegler::Schieberegler(QWidget* eltern) : QSlider(Qt::Horizontal, eltern) {
    setTickPosition(QSlider::TicksBelow);
    setPageStep(1);
}

Fortschrittsbalken::Fortschrittsbalken(QWidget* eltern) : QProgressBar(eltern) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
}

void Fortschrittsbalken::ValueSetzen(float v) {
    if (!(v >= 0 && v <= 100)) FehlerAuslösen(380, u"Unzulässiger Eigenschaftswert");
    wert_ = v;
    setValue(static_cast<int>(std::lround(v)));
}

Rahmenfeld::Rahmenfeld(QWidget* eltern) : MitCaption(eltern) {}


Figur::Figur(QWidget* eltern) : QFrame(eltern) {
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
}

void Figur::TwipsSetzen(int links, int oben, int breite, int höhe) {
    // A negative size is an error in the runtime, as it is in the original.
    if (breite < 0 || höhe < 0) FehlerAuslösen(380, u"Unzulässiger Eigenschaftswert");
    links_ = links;
    oben_ = oben;
    breite_ = breite;
    höhe_ = höhe;
    setGeometry(Pixel(links), Pixel(oben), Pixel(breite), Pixel(höhe));
}

void Figur::FüllfarbeSetzen(const QColor& farbe) {
    QPalette p = palette();
    p.setColor(QPalette::Window, farbe);
    setPalette(p);
}

}  // namespace forms
