#pragma once
// What the two review dialogs are built of: a table model over one display
// query of the engine on the open database (the data control), the table view
// bound to it with the grid's column settings, current row and events, and the
// window both dialogs are, with the transactions of their moves.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <QAbstractTableModel>
#include <QDialog>
#include <QTableView>

#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"
#include "platform/forms/Steuerelemente.h"

namespace dao {
class Recordset;
}

// What a grid shows: the rows of `tabelle` whose TEMP_DSS is one of `status`
// (none: no row at all), with a single status optionally those of one group.
struct Datenquelle {
    Text tabelle;
    std::vector<int> status;
    std::optional<int32_t> gruppe;
    // The empty query as "1=2" rather than "1 = 2"; the two reloads of the
    // group folder send it differently.
    bool leerOhneLeerzeichen = false;
};

// The display query: TEMP_AMK once more in front of all columns.
// "SELECT [TEMP_AMK],* FROM [t]WHERE [TEMP_DSS] = 13AND [TEMP_BN] = 5"
Text Anzeigeabfrage(const Datenquelle& quelle);

// The data control: the query's rows, read through the engine on gDatenbank in
// blocks as the view asks for them. The set of rows is fixed at Refresh.
class Rastermodell : public QAbstractTableModel {
public:
    explicit Rastermodell(QObject* eltern = nullptr);
    ~Rastermodell() override;

    // The data control's own caption; it is never shown.
    QString Caption;
    // Kept as the data controls get it; the rows come through gDatenbank.
    Text ConnectionString;

    // Takes effect at the next Refresh.
    void RecordSourceSetzen(const Datenquelle& quelle);
    const Datenquelle& RecordSource() const { return quelle_; }
    // Runs the query again; raises the engine's error (the model is then empty).
    void Refresh();
    int32_t RecordCount() const { return anzahl_; }
    // Field `name` (the first of that name) of row `zeile`; raises the engine's error.
    Variante Wert(int zeile, TextSicht name) const;
    Text Feldname(int spalte) const { return felder_.at(static_cast<size_t>(spalte)); }

    int rowCount(const QModelIndex& eltern = {}) const override;
    int columnCount(const QModelIndex& eltern = {}) const override;
    QVariant data(const QModelIndex& index, int rolle) const override;
    QVariant headerData(int abschnitt, Qt::Orientation richtung, int rolle) const override;
    bool setHeaderData(int abschnitt, Qt::Orientation richtung, const QVariant& wert, int rolle) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    static constexpr int Blockgröße = 64, Blöcke = 32;
    using Block = std::vector<std::vector<Variante>>;  // [row][column]
    const std::vector<Variante>& Zeile(int zeile) const;
    void Leeren();

    Datenquelle quelle_;
    std::shared_ptr<dao::Recordset> rs_;
    std::vector<Text> felder_;
    std::vector<QString> beschriftungen_;
    int32_t anzahl_ = 0;
    mutable std::map<int, Block> blöcke_;
    mutable std::deque<int> geladen_;  // block numbers, oldest first
};

// A grid bound to its own data control. Cells cannot be edited; the current
// row is the selected one. Column settings are by position from 0 and last
// until the next Refresh, as with the grid that is bound anew.
class Datenraster : public QTableView, public forms::Steuerelement {
public:
    explicit Datenraster(QWidget* eltern);

    Rastermodell& Daten();
    const Rastermodell& Daten() const;
    // The data control's query again; the current row is the first one.
    void Refresh();

    int Spaltenzahl() const { return Daten().columnCount(); }
    QString Spaltenbeschriftung(int spalte) const;
    void SpaltenbeschriftungSetzen(int spalte, const QString& text);
    int Spaltenbreite(int spalte) const;  // twips
    void SpaltenbreiteSetzen(int spalte, int twips);
    // The width the column's caption needs in the font shown, in twips.
    int Kopfbreite(int spalte) const;
    bool SpalteSichtbar(int spalte) const { return !isColumnHidden(spalte); }
    void SpalteSichtbarSetzen(int spalte, bool sichtbar) { setColumnHidden(spalte, !sichtbar); }

    // The current row from 0, -1 when there is none.
    int Zeile() const;
    void ZeileSetzen(int zeile);
    // No current row: the data control is at its end.
    bool EOF_() const { return Zeile() < 0; }
    // Field `name` of the current row; raises 3021 without one. The control's own
    // Wert() stays visible beside it.
    using forms::Steuerelement::Wert;
    Variante Wert(TextSicht name) const;

    // The grid's events: the current row changed by the user; a key pressed (VB key
    // code, shift state); a mouse button pressed (1 left, 2 right, 4 middle; shift
    // state; x and y in twips). A right button makes the row under the pointer current first.
    std::function<void()> Auswahl;
    std::function<void(int tastencode, int umschalt)> Taste;
    std::function<void(int knopf, int umschalt, int x, int y)> Maustaste;

    QWidget* Widget() override { return this; }

protected:
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void currentChanged(const QModelIndex& aktuell, const QModelIndex& vorher) override;

private:
    void Breiten();
    // The current row stands out strongly only in the grid that has the focus.
    void Hervorheben(bool stark);
    bool still_ = false;  // no Auswahl while the grid itself moves the row
};

// VB key code of a Qt key (cursor keys 37-40, page up/down 33/34, letters as
// their capitals, …); 0 for keys without one.
int VbTastencode(int qtTaste);
// VB shift state: 1 Shift, 2 Ctrl, 4 Alt.
int VbUmschalt(Qt::KeyboardModifiers m);

// A review dialog: fixed size, no close, minimise or maximise box, Esc ignored,
// so that only its "Fertig" and "Abbrechen" close it; a dialog closed any
// other way would let the caller delete every record still marked.
class Nachbearbeitungsfenster : public QDialog {
public:
    // `fehlertext`: the message of the error box of the load, which the moves share.
    Nachbearbeitungsfenster(QWidget* eltern, const QString& name, const QString& caption, int breite, int höhe,
                            Text fehlertext);
    ~Nachbearbeitungsfenster() override;

    forms::Steuerelementliste& Elemente() { return elemente_; }
    // Closed or closing: "Fertig" confirmed, "Abbrechen", or the load ended by the error box.
    bool Schließt() const { return schließt_; }
    // A move of all rows of a folder runs; the grids take no other move meanwhile.
    bool VerschiebtAlle() const { return alle_; }
    // Whether a move's transaction is open.
    bool TransaktionOffen() const { return transaktion_; }

    virtual void btnAbbrechen_Click() = 0;

protected:
    void reject() override;
    void closeEvent(QCloseEvent* e) override;
    // Hides the dialog and ends its modal loop.
    void Schließen();

    // A button at twips; a move button is a tall picture without text.
    forms::Schaltfläche* Knopf(const QString& name, const QString& caption, int links, int oben, int breite, int höhe);
    forms::Schaltfläche* Verschiebeknopf(const QString& name, bool abwärts, int links, int oben, int breite, int höhe);
    forms::Beschriftung* Beschriftung(const QString& name, const QString& caption, int links, int oben, int breite,
                                      int höhe);
    Datenraster* Raster(const QString& name, const QString& daten, const QString& datenCaption, int links, int oben,
                        int breite, int höhe);

    // One event's database work under the error box: a failure rolls its
    // transaction back first; retry runs it again, ignore goes on, abort
    // closes the dialog as "Abbrechen" does. False when the dialog closes.
    bool Behandeln(const std::function<void()>& schritt);
    // The status of the record numbered `nummer` (TEMP_DSN) in one transaction;
    // false when the set does not hold it (nothing changed, nothing left open).
    bool EinenSchreiben(const std::shared_ptr<dao::Recordset>& rs, const Variante& nummer, int (*neu)(int));
    // Every record of `rs` in one transaction, yielding after each when `nachgeben`;
    // false when the dialog began to close meanwhile (the transaction is rolled back).
    bool AlleSchreiben(std::shared_ptr<dao::Recordset> rs, int (*neu)(int), bool nachgeben);
    // "Abbrechen": the open transaction of the workspace back, whatever opened it.
    void AllesZurückrollen();

    // Disables the buttons a move of all rows locks, until it ends.
    class Sperre {
    public:
        explicit Sperre(Nachbearbeitungsfenster& f);
        ~Sperre();
        Sperre(const Sperre&) = delete;
        Sperre& operator=(const Sperre&) = delete;

    private:
        Nachbearbeitungsfenster& f_;
    };
    std::vector<QWidget*> gesperrt_;  // the buttons a move of all rows disables

private:
    void Beginnen();
    void Festschreiben();
    void Zurückrollen();
    forms::Steuerelementliste elemente_;
    Text fehlertext_;
    bool schließt_ = false;
    bool alle_ = false;
    bool transaktion_ = false;
};
