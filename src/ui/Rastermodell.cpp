#include "ui/Rastermodell.h"

#include <algorithm>
#include <string>

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "foundation/mdlDatenbank.h"
#include "foundation/mdlMeldungen.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "platform/forms/Anwendung.h"
#include "search/mdlSuchpuffer.h"

using forms::Q;

namespace {

Text Zahl(int64_t n) { return ausUtf8(std::to_string(n)); }

QString Anzeige(const Variante& v) {
    if (v.istNull() || v.istEmpty()) return {};
    try {
        return Q(v.alsText());
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace

Text Anzeigeabfrage(const Datenquelle& q) {
    Text s = u"SELECT [" + Text(SpalteAnmerkung) + u"],* FROM " + dao::SqlBezeichner(q.tabelle) + u"WHERE ";
    if (q.status.empty()) return s + (q.leerOhneLeerzeichen ? u"1=2" : u"1 = 2");
    Text bedingung;
    for (int status : q.status) {
        if (!bedingung.empty()) bedingung += u" OR ";
        bedingung += u"[" + Text(SpalteStatus) + u"] = " + Zahl(status);
    }
    if (q.gruppe) {
        if (q.status.size() > 1) bedingung = u"(" + bedingung + u")";
        bedingung += u"AND [" + Text(SpalteGruppe) + u"] = " + Zahl(*q.gruppe);
    }
    return s + bedingung;
}

// ---- the data control ----

Rastermodell::Rastermodell(QObject* eltern) : QAbstractTableModel(eltern) {}

Rastermodell::~Rastermodell() = default;

void Rastermodell::RecordSourceSetzen(const Datenquelle& quelle) { quelle_ = quelle; }

void Rastermodell::Leeren() {
    rs_.reset();
    felder_.clear();
    beschriftungen_.clear();
    anzahl_ = 0;
    blöcke_.clear();
    geladen_.clear();
}

void Rastermodell::Refresh() {
    beginResetModel();
    Leeren();
    try {
        auto rs = Datenbank().OpenRecordset(Anzeigeabfrage(quelle_));
        for (const auto& f : rs->Fields().liste()) {
            felder_.push_back(f->Name());
            beschriftungen_.push_back(Q(f->Name()));
        }
        anzahl_ = rs->RecordCount();
        rs_ = std::move(rs);
    } catch (...) {
        Leeren();
        endResetModel();
        throw;
    }
    endResetModel();
}

const std::vector<Variante>& Rastermodell::Zeile(int zeile) const {
    if (!rs_ || zeile < 0 || zeile >= anzahl_)
        FehlerAuslösen(dao::fehler::KeinAktuellerDatensatz, u"Kein aktueller Datensatz.");
    const int nummer = zeile / Blockgröße;
    auto it = blöcke_.find(nummer);
    if (it == blöcke_.end()) {
        // Only the rows of this block are read; the set itself holds row ids only.
        rs_->MoveFirst();
        if (nummer > 0) rs_->Move(nummer * Blockgröße);
        const auto spalten = rs_->GetRows(Blockgröße);
        Block block(spalten.empty() ? 0 : spalten.front().size(), std::vector<Variante>(spalten.size()));
        for (size_t s = 0; s < spalten.size(); ++s)
            for (size_t z = 0; z < spalten[s].size(); ++z) block[z][s] = spalten[s][z];
        if (static_cast<int>(geladen_.size()) >= Blöcke) {
            blöcke_.erase(geladen_.front());
            geladen_.pop_front();
        }
        it = blöcke_.emplace(nummer, std::move(block)).first;
        geladen_.push_back(nummer);
    }
    const auto i = static_cast<size_t>(zeile - nummer * Blockgröße);
    if (i >= it->second.size()) FehlerAuslösen(dao::fehler::KeinAktuellerDatensatz, u"Kein aktueller Datensatz.");
    return it->second[i];
}

Variante Rastermodell::Wert(int zeile, TextSicht name) const {
    if (!rs_) FehlerAuslösen(dao::fehler::KeinAktuellerDatensatz, u"Kein aktueller Datensatz.");
    const int32_t spalte = rs_->Fields().Position(name);
    if (spalte < 0)
        FehlerAuslösen(dao::fehler::NichtInAuflistung,
                       u"Element in dieser Auflistung nicht gefunden: '" + Text(name) + u"'.");
    return Zeile(zeile).at(static_cast<size_t>(spalte));
}

int Rastermodell::rowCount(const QModelIndex& eltern) const { return eltern.isValid() ? 0 : anzahl_; }

int Rastermodell::columnCount(const QModelIndex& eltern) const {
    return eltern.isValid() ? 0 : static_cast<int>(felder_.size());
}

QVariant Rastermodell::data(const QModelIndex& index, int rolle) const {
    if (!index.isValid() || (rolle != Qt::DisplayRole && rolle != Qt::ToolTipRole)) return {};
    try {
        const Variante& v = Zeile(index.row()).at(static_cast<size_t>(index.column()));
        // Remarks run longer than their column: the whole text on hovering.
        if (rolle == Qt::ToolTipRole) return v.istText() && !v.text().empty() ? QVariant(Q(v.text())) : QVariant();
        return Anzeige(v);
    } catch (const std::exception&) {
        // A row gone since the set was fixed shows empty, as the engine cannot read it.
        return {};
    }
}

QVariant Rastermodell::headerData(int abschnitt, Qt::Orientation richtung, int rolle) const {
    if (richtung != Qt::Horizontal || rolle != Qt::DisplayRole) return {};
    if (abschnitt < 0 || abschnitt >= static_cast<int>(beschriftungen_.size())) return {};
    return beschriftungen_[static_cast<size_t>(abschnitt)];
}

bool Rastermodell::setHeaderData(int abschnitt, Qt::Orientation richtung, const QVariant& wert, int rolle) {
    if (richtung != Qt::Horizontal || (rolle != Qt::DisplayRole && rolle != Qt::EditRole)) return false;
    if (abschnitt < 0 || abschnitt >= static_cast<int>(beschriftungen_.size())) return false;
    beschriftungen_[static_cast<size_t>(abschnitt)] = wert.toString();
    emit headerDataChanged(richtung, abschnitt, abschnitt);
    return true;
}

Qt::ItemFlags Rastermodell::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

// ---- the grid ----

Datenraster::Datenraster(QWidget* eltern) : QTableView(eltern) {
    // A child, so that it outlives the view's own clean-up.
    auto* m = new Rastermodell(this);
    setModel(m);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Fixed row heights: the view never measures the rows it does not show.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Hervorheben(false);
}

Rastermodell& Datenraster::Daten() { return *static_cast<Rastermodell*>(model()); }
const Rastermodell& Datenraster::Daten() const { return *static_cast<const Rastermodell*>(model()); }

void Datenraster::Refresh() {
    still_ = true;
    struct Danach {
        bool& still;
        ~Danach() { still = false; }
    } danach{still_};
    Daten().Refresh();
    for (int i = 0; i < Spaltenzahl(); ++i) setColumnHidden(i, false);
    Breiten();
    if (Daten().RecordCount() > 0) ZeileSetzen(0);
}

// Wide enough for the caption and the first rows' texts, within reason.
void Datenraster::Breiten() {
    const QFontMetrics kopf = horizontalHeader()->fontMetrics(), zellen = fontMetrics();
    const int proben = std::min(Daten().RecordCount(), 20);
    for (int s = 0; s < Spaltenzahl(); ++s) {
        int breite = kopf.horizontalAdvance(Daten().headerData(s, Qt::Horizontal, Qt::DisplayRole).toString()) + 16;
        for (int z = 0; z < proben; ++z)
            breite = std::max(
                breite, zellen.horizontalAdvance(Daten().data(Daten().index(z, s), Qt::DisplayRole).toString()) + 12);
        setColumnWidth(s, std::clamp(breite, 48, 240));
    }
}

QString Datenraster::Spaltenbeschriftung(int spalte) const {
    return Daten().headerData(spalte, Qt::Horizontal, Qt::DisplayRole).toString();
}

void Datenraster::SpaltenbeschriftungSetzen(int spalte, const QString& text) {
    Daten().setHeaderData(spalte, Qt::Horizontal, text, Qt::DisplayRole);
}

int Datenraster::Spaltenbreite(int spalte) const { return forms::Twips(columnWidth(spalte)); }

int Datenraster::Kopfbreite(int spalte) const { return forms::Twips(horizontalHeader()->sectionSizeHint(spalte)); }

void Datenraster::Hervorheben(bool stark) {
    const QPalette standard = QApplication::palette(this);
    QPalette p = palette();
    for (const auto gruppe : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(gruppe, QPalette::Highlight,
                   stark ? standard.color(gruppe, QPalette::Highlight) : QColor(214, 226, 242));
        p.setColor(gruppe, QPalette::HighlightedText,
                   standard.color(gruppe, stark ? QPalette::HighlightedText : QPalette::Text));
    }
    setPalette(p);
}

void Datenraster::focusInEvent(QFocusEvent* e) {
    Hervorheben(true);
    QTableView::focusInEvent(e);
}

void Datenraster::focusOutEvent(QFocusEvent* e) {
    Hervorheben(false);
    QTableView::focusOutEvent(e);
}

void Datenraster::SpaltenbreiteSetzen(int spalte, int twips) { setColumnWidth(spalte, forms::Pixel(twips)); }

int Datenraster::Zeile() const {
    const QModelIndex i = currentIndex();
    return i.isValid() && i.row() < Daten().RecordCount() ? i.row() : -1;
}

void Datenraster::ZeileSetzen(int zeile) {
    if (zeile < 0 || zeile >= Daten().RecordCount()) return;
    const int spalte = currentIndex().isValid() ? currentIndex().column() : 0;
    const QModelIndex i = Daten().index(zeile, spalte);
    selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(i);
}

Variante Datenraster::Wert(TextSicht name) const {
    if (EOF_()) FehlerAuslösen(dao::fehler::KeinAktuellerDatensatz, u"Kein aktueller Datensatz.");
    return Daten().Wert(Zeile(), name);
}

void Datenraster::keyPressEvent(QKeyEvent* e) {
    // As the grid's key event: before the key moves the row.
    const int code = VbTastencode(e->key());
    if (code && Taste) Taste(code, VbUmschalt(e->modifiers()));
    QTableView::keyPressEvent(e);
}

void Datenraster::mousePressEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    const Qt::KeyboardModifiers umschalt = e->modifiers();
    int knopf = 0;
    switch (e->button()) {
        case Qt::LeftButton: knopf = 1; break;
        case Qt::RightButton: knopf = 2; break;
        case Qt::MiddleButton: knopf = 4; break;
        default: break;
    }
    if (knopf == 2) {
        // The row a user right-clicks is the one meant.
        const QModelIndex i = indexAt(p);
        if (i.isValid())
            selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        e->accept();
    } else {
        QTableView::mousePressEvent(e);
    }
    if (knopf && Maustaste) {
        const QPoint imRaster = viewport()->mapTo(this, p);
        Maustaste(knopf, VbUmschalt(umschalt), forms::Twips(imRaster.x()), forms::Twips(imRaster.y()));
    }
}

void Datenraster::currentChanged(const QModelIndex& aktuell, const QModelIndex& vorher) {
    QTableView::currentChanged(aktuell, vorher);
    if (!still_ && aktuell.isValid() && aktuell.row() != vorher.row() && Auswahl) Auswahl();
}

int VbTastencode(int k) {
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return 65 + (k - Qt::Key_A);
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return 48 + (k - Qt::Key_0);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F12) return 112 + (k - Qt::Key_F1);
    switch (k) {
        case Qt::Key_Backspace: return 8;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter: return 13;
        case Qt::Key_Shift: return 16;
        case Qt::Key_Control: return 17;
        case Qt::Key_Alt: return 18;
        case Qt::Key_Escape: return 27;
        case Qt::Key_Space: return 32;
        case Qt::Key_PageUp: return 33;
        case Qt::Key_PageDown: return 34;
        case Qt::Key_End: return 35;
        case Qt::Key_Home: return 36;
        case Qt::Key_Left: return 37;
        case Qt::Key_Up: return 38;
        case Qt::Key_Right: return 39;
        case Qt::Key_Down: return 40;
        case Qt::Key_Insert: return 45;
        case Qt::Key_Delete: return 46;
        default: return 0;
    }
}

int VbUmschalt(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}

// ---- the review window ----

namespace {

// A long arrow over a stack of rows: all rows of the folder go that way.
QIcon Verschiebebild(bool abwärts, const QSize& größe) {
    QPixmap bild(größe);
    bild.fill(Qt::transparent);
    QPainter p(&bild);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = größe.width(), h = größe.height();
    const QColor farbe(31, 78, 154);
    // Three short bars: the rows.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 120, 120));
    const qreal oben = abwärts ? 0 : h - 3 * 5;
    for (int i = 0; i < 3; ++i) p.drawRect(QRectF(w * 0.15, oben + i * 5, w * 0.7, 3));
    // The arrow.
    const qreal von = abwärts ? 18 : h - 18, bis = abwärts ? h : 0;
    const qreal spitze = abwärts ? bis - w * 0.55 : bis + w * 0.55;
    p.setBrush(farbe);
    p.drawRect(QRectF(w * 0.38, std::min(von, spitze), w * 0.24, std::abs(spitze - von)));
    QPainterPath kopf;
    kopf.moveTo(w * 0.5, bis);
    kopf.lineTo(w * 0.05, spitze);
    kopf.lineTo(w * 0.95, spitze);
    kopf.closeSubpath();
    p.drawPath(kopf);
    p.end();
    return QIcon(bild);
}

int Status(dao::Recordset& rs) { return rs.Fields()[SpalteStatus]->Value().alsLong(); }

void StatusSetzen(dao::Recordset& rs, int status) {
    rs.Edit();
    rs.Fields()[SpalteStatus]->Value(Variante(static_cast<uint8_t>(status)));
    rs.Update();
}

}  // namespace

Nachbearbeitungsfenster::Nachbearbeitungsfenster(QWidget* eltern, const QString& name, const QString& caption,
                                                 int breite, int höhe, Text fehlertext)
    : QDialog(eltern), fehlertext_(std::move(fehlertext)) {
    setObjectName(name);
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    setFixedSize(forms::Pixel(breite), forms::Pixel(höhe));
}

Nachbearbeitungsfenster::~Nachbearbeitungsfenster() {
    // Never left with a move half done.
    Zurückrollen();
}

void Nachbearbeitungsfenster::reject() {}

void Nachbearbeitungsfenster::closeEvent(QCloseEvent* e) {
    if (schließt_) e->accept();
    else e->ignore();
}

void Nachbearbeitungsfenster::Schließen() {
    schließt_ = true;
    done(QDialog::Accepted);
}

forms::Schaltfläche* Nachbearbeitungsfenster::Knopf(const QString& name, const QString& caption, int links, int oben,
                                                    int breite, int höhe) {
    auto* b = elemente_.Anlegen<forms::Schaltfläche>(this, name);
    b->CaptionSetzen(caption);
    forms::Platzieren(b, links, oben, breite, höhe);
    return b;
}

forms::Schaltfläche* Nachbearbeitungsfenster::Verschiebeknopf(const QString& name, bool abwärts, int links, int oben,
                                                              int breite, int höhe) {
    auto* b = Knopf(name, QString(), links, oben, breite, höhe);
    const QSize größe(std::max(8, b->width() - 14), std::max(24, b->height() - 24));
    b->setIcon(Verschiebebild(abwärts, größe));
    b->setIconSize(größe);
    return b;
}

forms::Beschriftung* Nachbearbeitungsfenster::Beschriftung(const QString& name, const QString& caption, int links,
                                                           int oben, int breite, int höhe) {
    auto* l = elemente_.Anlegen<forms::Beschriftung>(this, name);
    l->CaptionSetzen(caption);
    forms::Platzieren(l, links, oben, breite, höhe);
    return l;
}

Datenraster* Nachbearbeitungsfenster::Raster(const QString& name, const QString& daten, const QString& datenCaption,
                                             int links, int oben, int breite, int höhe) {
    auto* r = elemente_.Anlegen<Datenraster>(this, name);
    r->Daten().setObjectName(daten);
    r->Daten().Caption = datenCaption;
    forms::Platzieren(r, links, oben, breite, höhe);
    return r;
}

bool Nachbearbeitungsfenster::Behandeln(const std::function<void()>& schritt) {
    if (schließt_) return false;
    Fehlerfalle falle([this] { return fehlertext_; }, false);
    const bool weiter = falle([&] {
        try {
            schritt();
        } catch (...) {
            // The box is shown with nothing of the failed move pending.
            Zurückrollen();
            throw;
        }
    });
    if (!weiter && !schließt_) btnAbbrechen_Click();
    return weiter && !schließt_;
}

void Nachbearbeitungsfenster::Beginnen() {
    Arbeitsbereich().BeginTrans();
    transaktion_ = true;
}

void Nachbearbeitungsfenster::Festschreiben() {
    Arbeitsbereich().CommitTrans();
    transaktion_ = false;
}

void Nachbearbeitungsfenster::Zurückrollen() {
    if (!transaktion_) return;
    transaktion_ = false;
    Fehlerfalle::ohneFehler([] { Arbeitsbereich().Rollback(); });
}

void Nachbearbeitungsfenster::AllesZurückrollen() {
    transaktion_ = false;
    Fehlerfalle::ohneFehler([] { Arbeitsbereich().Rollback(); });
}

bool Nachbearbeitungsfenster::EinenSchreiben(const std::shared_ptr<dao::Recordset>& rs, const Variante& nummer,
                                             int (*neu)(int)) {
    Beginnen();
    Objekt(rs).FindFirst(u"[" + Text(SpalteNummer) + u"] = " + nummer.alsText());
    if (rs->NoMatch()) {
        Zurückrollen();
        return false;
    }
    StatusSetzen(*rs, neu(Status(*rs)));
    Festschreiben();
    return true;
}

bool Nachbearbeitungsfenster::AlleSchreiben(std::shared_ptr<dao::Recordset> rs, int (*neu)(int), bool nachgeben) {
    // Held here: "Abbrechen" meanwhile closes the dialog's own reference.
    dao::Recordset& satz = Objekt(rs);
    Beginnen();
    satz.MoveFirst();
    while (!satz.EOF_()) {
        StatusSetzen(satz, neu(Status(satz)));
        satz.MoveNext();
        if (!nachgeben) continue;
        forms::Ereignisse();
        if (schließt_) {
            Zurückrollen();
            return false;
        }
    }
    Festschreiben();
    return true;
}

Nachbearbeitungsfenster::Sperre::Sperre(Nachbearbeitungsfenster& f) : f_(f) {
    f_.alle_ = true;
    for (QWidget* w : f_.gesperrt_) w->setEnabled(false);
}

Nachbearbeitungsfenster::Sperre::~Sperre() {
    f_.alle_ = false;
    if (f_.schließt_) return;
    for (QWidget* w : f_.gesperrt_) w->setEnabled(true);
}
