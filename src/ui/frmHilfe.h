#pragma once
// The help window: the text of the current wizard page's topic from the help
// file Hilfe.HLP beside the program, read anew at every opening.
#include <QDialog>
#include <QPlainTextEdit>
#include <QString>

#include "platform/basic/Variante.h"
#include "platform/forms/Steuerelemente.h"

// A read-only multi-line text box with a vertical scroll bar; Text holds CR LF
// as given, the box shows them as line breaks.
class Mehrzeilentextfeld : public QPlainTextEdit, public forms::Steuerelement {
public:
    explicit Mehrzeilentextfeld(QWidget* eltern);
    QString Text() const { return text_; }
    void TextSetzen(const QString& t);
    QString Inhalt() const override { return text_; }
    void InhaltSetzen(const QString& t) override { TextSetzen(t); }
    QWidget* Widget() override { return this; }

private:
    QString text_;
};

class frmHilfe : public QDialog {
public:
    frmHilfe();

    // Chooses the topic from the current page and fills the text box.
    void Form_Load();

    Mehrzeilentextfeld* tbxHilfe = nullptr;
    forms::Schaltfläche* Command1 = nullptr;

private:
    // The topic's text, the no-help text, or Empty when the file is missing.
    static Variante HilfeTextLesen(const Variante& Thema);

    forms::Steuerelementliste elemente_;
};

// Shows the help window modally and returns when it has been closed.
void HilfeZeigen();
