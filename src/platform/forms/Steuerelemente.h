#pragma once
// The controls of a VB-style form over Qt widgets: captions held verbatim,
// Value/ListIndex/Text with VB's meaning, Click handlers that fire on changes
// made by code too, and geometry in twips. A form keeps its controls by name
// and index, so a control array is a set of one name with several indexes.
#include <cstdint>
#include <functional>
#include <map>
#include <type_traits>
#include <utility>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QString>

#include "platform/forms/Dialoge.h"

namespace forms {

// 15 twips per pixel at 96 dpi.
inline constexpr int TwipsProPixel = 15;
constexpr int Pixel(int twips) { return (twips + (twips >= 0 ? 7 : -7)) / TwipsProPixel; }
constexpr int Twips(int pixel) { return pixel * TwipsProPixel; }
// Left, top, width and height in twips, relative to the parent.
void Platzieren(QWidget* w, int links, int oben, int breite, int höhe);

// What a form reads of any control by name: Value (check box, option button,
// slider), ListIndex (list, combo) or 0; Text (text box, combo) or Caption.
class Steuerelement {
public:
    virtual ~Steuerelement() = default;
    virtual int32_t Wert() const { return 0; }
    virtual QString Inhalt() const { return {}; }
    virtual void InhaltSetzen(const QString&) {}
    virtual QWidget* Widget() = 0;
};

// A control with a caption: held verbatim (blanks, CR), shown as the widget shows
// text (a label with CR and CR LF as line breaks, a frame as its title).
template <class W>
class MitCaption : public W, public Steuerelement {
public:
    explicit MitCaption(QWidget* eltern) : W(eltern) {}
    QString Caption() const { return caption_; }
    void CaptionSetzen(const QString& c) {
        caption_ = c;
        if constexpr (std::is_base_of_v<QGroupBox, W>) this->setTitle(c);
        else if constexpr (std::is_base_of_v<QLabel, W>) this->setText(Zeilenumbrüche(c));
        else this->setText(c);
    }
    QString Inhalt() const override { return caption_; }
    void InhaltSetzen(const QString& c) override { CaptionSetzen(c); }
    QWidget* Widget() override { return this; }

private:
    QString caption_;
};

class Beschriftung : public MitCaption<QLabel> {
public:
    explicit Beschriftung(QWidget* eltern);
};

class Schaltfläche : public MitCaption<QPushButton> {
public:
    explicit Schaltfläche(QWidget* eltern);
    std::function<void()> Click;
};

// Value 0 unticked, 1 ticked, 2 grey (set by code only; a click ticks or
// unticks), other values raise 380. Click fires on every change of Value.
class Kontrollkästchen : public MitCaption<QCheckBox> {
public:
    explicit Kontrollkästchen(QWidget* eltern);
    int32_t Value() const;
    void ValueSetzen(int32_t v);
    int32_t Wert() const override { return Value(); }
    std::function<void()> Click;

protected:
    void nextCheckState() override;
};

// Value -1 (True) when chosen, else 0; code may also clear the chosen one.
class Optionsfeld : public MitCaption<QRadioButton> {
public:
    explicit Optionsfeld(QWidget* eltern);
    bool Value() const { return isChecked(); }
    void ValueSetzen(bool v);
    int32_t Wert() const override { return Value() ? -1 : 0; }
    std::function<void()> Click;
};

class Textfeld : public QLineEdit, public Steuerelement {
public:
    explicit Textfeld(QWidget* eltern);
    QString Text() const { return text(); }
    void TextSetzen(const QString& t) { setText(t); }
    QString Inhalt() const override { return text(); }
    void InhaltSetzen(const QString& t) override { setText(t); }
    QWidget* Widget() override { return this; }
};

// ListIndex -1 means none, also once the list has the focus. Click fires when
// ListIndex changes, by the user or by code, but not when the list is cleared or filled.
class Listenfeld : public QListWidget, public Steuerelement {
public:
    explicit Listenfeld(QWidget* eltern);
    void AddItem(const QString& eintrag);
    void Clear();
    int ListCount() const { return count(); }
    QString List(int i) const;
    int ListIndex() const { return currentRow(); }
    void ListIndexSetzen(int i);
    QString Text() const { return List(ListIndex()); }
    int32_t Wert() const override { return ListIndex(); }
    QString Inhalt() const override { return Text(); }
    QWidget* Widget() override { return this; }
    std::function<void()> Click;

protected:
    void focusInEvent(QFocusEvent* e) override;

private:
    bool still_ = false;
};

// A drop-down list (no typing). ListIndex -1 means none and stays so after
// AddItem; setting Text selects the entry of that text (exact, else ignoring
// case) and raises error 383 when there is none. Click as for the list box.
class Kombinationsfeld : public QComboBox, public Steuerelement {
public:
    explicit Kombinationsfeld(QWidget* eltern);
    void AddItem(const QString& eintrag);
    void Clear();
    int ListCount() const { return count(); }
    QString List(int i) const { return itemText(i); }
    int ListIndex() const { return currentIndex(); }
    void ListIndexSetzen(int i);
    QString Text() const { return currentIndex() < 0 ? QString() : currentText(); }
    void TextSetzen(const QString& t);
    int32_t Wert() const override { return ListIndex(); }
    QString Inhalt() const override { return Text(); }
    void InhaltSetzen(const QString& t) override { TextSetzen(t); }
    QWidget* Widget() override { return this; }
    std::function<void()> Click;

private:
    bool still_ = false;
};

class Schieberegler : public QSlider, public Steuerelement {
public:
    explicit Schieberegler(QWidget* eltern);
    int32_t Wert() const override { return value(); }
    QWidget* Widget() override { return this; }
};

// Holds its value as a float (12.5 stays 12.5), drawn as a whole number.
class Fortschrittsbalken : public QProgressBar, public Steuerelement {
public:
    explicit Fortschrittsbalken(QWidget* eltern);
    float Value() const { return wert_; }
    void ValueSetzen(float v);
    QWidget* Widget() override { return this; }

private:
    float wert_ = 0;
};

// A frame with its caption shown as stored, blanks included.
class Rahmenfeld : public MitCaption<QGroupBox> {
public:
    explicit Rahmenfeld(QWidget* eltern);
};

// A filled rectangle.
// A filled rectangle whose geometry is kept in whole twips and turned into
// pixels only where it is drawn, so that sizes computed in twips stay exact.
class Figur : public QFrame, public Steuerelement {
public:
    explicit Figur(QWidget* eltern);
    void FüllfarbeSetzen(const QColor& farbe);
    QWidget* Widget() override { return this; }
    int Links() const { return links_; }
    int Oben() const { return oben_; }
    int Breite() const { return breite_; }
    int Höhe() const { return höhe_; }
    void TwipsSetzen(int links, int oben, int breite, int höhe);
    void ObenSetzen(int oben) { TwipsSetzen(links_, oben, breite_, höhe_); }
    void HöheSetzen(int höhe) { TwipsSetzen(links_, oben_, breite_, höhe); }

private:
    int links_ = 0, oben_ = 0, breite_ = 0, höhe_ = 0;
};

// The controls of one form by name and index (-1 for a control that is no array element).
class Steuerelementliste {
public:
    // Names the widget after the control (object name and accessible description,
    // "name" or "name(index)") and keeps it.
    template <class T>
    T* Anlegen(QWidget* eltern, const QString& name, int index = -1) {
        auto* s = new T(eltern);
        Eintragen(s, name, index);
        return s;
    }
    void Eintragen(Steuerelement* s, const QString& name, int index = -1);
    // Null when there is none.
    Steuerelement* Finden(const QString& name, int index = -1) const;
    // The elements of a control array in ascending index order.
    std::map<int, Steuerelement*> Feld(const QString& name) const;

private:
    std::map<std::pair<QString, int>, Steuerelement*> elemente_;
};

QString Objektname(const QString& name, int index);

}  // namespace forms
