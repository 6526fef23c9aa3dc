// The field-assignment page: a press on a column's row opens the menu of
// field types, and a choice retypes exactly that column.
#include <QEvent>
#include <QMenu>
#include <QMouseEvent>

#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlFeldInhalte.h"
#include "foundation/mdlFeldtypen.h"
#include "foundation/mdlMeldungen.h"
#include "platform/dao/Dao.h"
#include "ui/Seiten.h"
#include "ui/frmHaupt.h"

namespace {

struct Feldart {
    const char16_t* caption;
    int16_t gruppe;
    std::vector<Typcode> codes;
};

// The entries of each menu array by index; an empty caption opens a submenu.
const std::vector<Feldart>& Menü(int menü) {
    static const std::vector<Feldart> menüs[6] = {
        {{u"Ignorieren", 0, {1}},
         {u"Index", 1, {11}},
         {u"Unternehmen", -1, {}},
         {u"Adresse", -1, {}},
         {u"Kontakt", -1, {}},
         {u"Kommunikation", -1, {}},
         {u"Internet", -1, {}}},
        {{u"Firmenname", 2, {21}},
         {u"Rechtsform", 2, {22}},
         {u"Firmenname+Rechtsform", 2, {21, 22}},
         {u"Branche", 2, {23}}},
        {{u"Straße", 3, {31}},
         {u"Hausnummer", 3, {32}},
         {u"Straße+Hausnummer", 3, {31, 32}},
         {u"Postleitzahl", 3, {33}},
         {u"Ort", 3, {34}},
         {u"Postleitzahl+Ort", 3, {33, 34}}},
        {{u"Anrede", 4, {41}},
         {u"Vorname", 4, {42}},
         {u"Nachname", 4, {43}},
         {u"Vorname+Nachname", 4, {42, 43}},
         {u"Anrede+Nachname", 4, {41, 43}},
         {u"Anrede+Vorname+Nachname", 4, {41, 42, 43}},
         {u"Abteilung/Position", 4, {44}}},
        {{u"Vorwahl", 5, {51}},
         {u"Telefon", 5, {52}},
         {u"Telefax", 5, {53}},
         {u"Vorwahl+Telefon", 5, {51, 52}},
         {u"Vorwahl+Telefax", 5, {51, 53}}},
        {{u"Emailadresse", 6, {61}}, {u"Internetadresse", 6, {62}}},
    };
    return menüs[menü];
}

const char16_t* const Menünamen[6] = {u"smnFeldArten", u"smnUnternehmen",   u"smnAdresse",
                                      u"smnKontakt",   u"smnKommunikation", u"smnInternet"};

// One choice of menu `menü` at `Index` for the selected row.
void FeldartWählen(int menü, int Index) {
    frmHaupt& f = Haupt();
    const int r = f.lstFelder->ListIndex();
    const auto& einträge = Menü(menü);
    if (r < 0 || Index < 0 || Index >= static_cast<int>(einträge.size())) return;
    const Feldart& e = einträge[Index];
    if (e.codes.empty()) return;
    // The handlers report nothing; a row that cannot be rewritten stays as it was.
    Fehlerfalle::ohneFehler([&] {
        if (r >= static_cast<int>(gZuordnung.size())) FehlerAuslösen(9);
        int16_t bits = 0;
        for (Typcode c : e.codes) bits = static_cast<int16_t>(bits | Typen[c].Bit);
        const Text name = Datenbank().TableDefs()[gZuordnungTabelle]->Fields()[r]->Name();
        gZuordnung[r] = {e.gruppe, bits};
        f.lstFelder->item(r)->setText(forms::Q(Zuordnungszeile(name, Typenbeschriftung(e.codes))));
    });
}

// A left press on a row selects it and opens the menu centred at the pointer;
// a press below the last row hits no column and opens nothing.
class Listendruck : public QObject {
public:
    explicit Listendruck(QObject* liste) : QObject(liste) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::MouseButtonPress) return false;
        auto* m = static_cast<QMouseEvent*>(e);
        lstFelder_MouseDown(m->button() == Qt::LeftButton    ? 1
                            : m->button() == Qt::RightButton ? 2
                                                             : 4,
                            m->position().toPoint());
        return true;
    }
};

}  // namespace

void smnFeldArten_Click(int Index) { FeldartWählen(0, Index); }
void smnUnternehmen_Click(int Index) { FeldartWählen(1, Index); }
void smnAdresse_Click(int Index) { FeldartWählen(2, Index); }
void smnKontakt_Click(int Index) { FeldartWählen(3, Index); }
void smnKommunikation_Click(int Index) { FeldartWählen(4, Index); }
void smnInternet_Click(int Index) { FeldartWählen(5, Index); }

namespace {
void (*const Handler[6])(int) = {smnFeldArten_Click, smnUnternehmen_Click,   smnAdresse_Click,
                                 smnKontakt_Click,   smnKommunikation_Click, smnInternet_Click};
}  // namespace

void lstFelder_MouseDown(int Button, const QPoint& Position) {
    frmHaupt& f = Haupt();
    if (Button != 1) return;
    QListWidgetItem* zeile = f.lstFelder->itemAt(Position);
    if (!zeile) return;
    f.lstFelder->ListIndexSetzen(f.lstFelder->row(zeile));
    QMenu* menü = f.mnuFeldArten;
    const QPoint zeiger = f.lstFelder->viewport()->mapToGlobal(Position);
    const QPoint links(zeiger.x() - menü->sizeHint().width() / 2, zeiger.y());
    // The chosen entry names its menu array and index; its array's handler acts on it.
    const QAction* wahl = f.MenüZeigen(*menü, links);
    if (!wahl || !wahl->data().isValid()) return;
    const int code = wahl->data().toInt();
    Handler[code / 100](code % 100);
}

void FeldartenmenüBauen(frmHaupt& f) {
    auto* haupt = new QMenu(QStringLiteral("Feldarten"), &f);
    haupt->setObjectName(QStringLiteral("mnuFeldArten"));
    f.mnuFeldArten = haupt;
    int untermenü = 1;
    const auto& oben = Menü(0);
    for (int i = 0; i < static_cast<int>(oben.size()); ++i) {
        QAction* a;
        if (oben[i].codes.empty()) {
            QMenu* unter = haupt->addMenu(forms::Q(oben[i].caption));
            unter->setObjectName(forms::Q(Menünamen[untermenü]));
            const auto& einträge = Menü(untermenü);
            for (int j = 0; j < static_cast<int>(einträge.size()); ++j) {
                QAction* b = unter->addAction(forms::Q(einträge[j].caption));
                b->setObjectName(forms::Objektname(forms::Q(Menünamen[untermenü]), j));
                b->setData(untermenü * 100 + j);
            }
            a = unter->menuAction();
            ++untermenü;
        } else {
            a = haupt->addAction(forms::Q(oben[i].caption));
            a->setData(i);
        }
        a->setObjectName(forms::Objektname(QStringLiteral("smnFeldArten"), i));
    }
    f.lstFelder->viewport()->installEventFilter(new Listendruck(f.lstFelder));
}
