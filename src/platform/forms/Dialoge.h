#pragma once
// The modal dialogs of a VB-style program: message box, input box and the
// file-open dialog, behind one interface so that tests can script them.
// Styles, answers and flags are coded as the VB calls pass them (vb::…).
#include <optional>

#include <QString>
#include <QStringList>

class QWidget;

namespace forms {

// The program's title: what a message box without a title of its own shows.
void ProgrammtitelSetzen(const QString& titel);
QString Programmtitel();

// Settings of the file-open dialog going in, the choice coming out.
struct Dateiauswahl {
    QString Filter;       // "Beschreibung|*.a;*.b|Beschreibung|*.c"
    int FilterIndex = 1;  // 1-based; in: preselected, out: the filter chosen when it closed
    QString InitDir;      // start folder; empty: the dialog's default
    QString DialogTitle;
    int Flags = 0;     // DateiMussExistieren, SchreibschutzAusblenden
    QString FileName;  // out: the chosen path
};
inline constexpr int DateiMussExistieren = 4096, SchreibschutzAusblenden = 4;

class Dialogdienst {
public:
    virtual ~Dialogdienst() = default;
    // Answer code of the button pressed (vb::OK, vb::Yes, …). Without a title
    // the box shows the program's title; an empty title stays empty.
    virtual int MsgBox(const QString& prompt, int stil, const std::optional<QString>& titel) = 0;
    // The entered text; "" when cancelled.
    virtual QString InputBox(const QString& prompt, const QString& titel, const QString& vorgabe) = 0;
    // False when cancelled (nothing in `auswahl` changes); else FileName and
    // FilterIndex hold the choice.
    virtual bool DateiÖffnen(Dateiauswahl& auswahl) = 0;
};

// The real dialogs, modal over `besitzer` (may be null).
class QtDialoge : public Dialogdienst {
public:
    explicit QtDialoge(QWidget* besitzer = nullptr) : besitzer_(besitzer) {}
    // The window the dialogs stand over, once it exists.
    void BesitzerSetzen(QWidget* besitzer) { besitzer_ = besitzer; }
    int MsgBox(const QString& prompt, int stil, const std::optional<QString>& titel) override;
    QString InputBox(const QString& prompt, const QString& titel, const QString& vorgabe) override;
    bool DateiÖffnen(Dateiauswahl& auswahl) override;

private:
    QWidget* besitzer_;
};

// CR LF and lone CR as the line breaks Qt shows.
QString Zeilenumbrüche(const QString& text);
// "Access|*.mdb|Alle|*.mdb;*.xls" as Qt's name filters "Access (*.mdb)", "Alle (*.mdb *.xls)".
QStringList Namensfilter(const QString& vbFilter);

}  // namespace forms
