#include "platform/forms/Dialoge.h"

#include <vector>

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "platform/basic/VbKonstanten.h"

namespace forms {

namespace {

QString& titelSpeicher() {
    static QString titel = QStringLiteral("Purivo");
    return titel;
}

struct Knopf {
    const char* text;
    int antwort;
};

// The buttons of a set in the order Windows shows them. Abort reads
// "Abbrechen" like Cancel, as in German Windows.
std::vector<Knopf> KnöpfeDesSatzes(int satz) {
    switch (satz) {
        case vb::OKCancel: return {{"OK", vb::OK}, {"Abbrechen", vb::Cancel}};
        case vb::AbortRetryIgnore:
            return {{"Abbrechen", vb::Abort}, {"Wiederholen", vb::Retry}, {"Ignorieren", vb::Ignore}};
        case vb::YesNoCancel: return {{"Ja", vb::Yes}, {"Nein", vb::No}, {"Abbrechen", vb::Cancel}};
        case vb::YesNo: return {{"Ja", vb::Yes}, {"Nein", vb::No}};
        case vb::RetryCancel: return {{"Wiederholen", vb::Retry}, {"Abbrechen", vb::Cancel}};
        default: return {{"OK", vb::OK}};
    }
}

QMessageBox::Icon SymbolDesStils(int stil) {
    switch (stil & 0x70) {
        case vb::Critical: return QMessageBox::Critical;
        case vb::Question: return QMessageBox::Question;
        case vb::Exclamation: return QMessageBox::Warning;
        case vb::Information: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

// A message box that closes by Esc or its close box only where Windows lets
// it: with a Cancel button (answering Cancel) or a lone OK. On Yes/No and
// Abort/Retry/Ignore only a button ends it; QMessageBox would pick No or
// Abort as the escape itself.
class Meldungsfenster : public QMessageBox {
public:
    Meldungsfenster(QWidget* besitzer, int stil) : QMessageBox(besitzer) {
        const int satz = stil & 7;
        const auto knöpfe = KnöpfeDesSatzes(satz);
        for (const auto& k : knöpfe) {
            // One role for all keeps the buttons in the set's order on every layout.
            QPushButton* b = addButton(QString::fromUtf8(k.text), QMessageBox::ActionRole);
            antworten_.emplace_back(b, k.antwort);
            if (k.antwort == vb::Cancel || knöpfe.size() == 1) flucht_ = b;
        }
        const size_t vorgabe = static_cast<size_t>((stil & 0x300) >> 8);
        standard_ = antworten_[vorgabe < antworten_.size() ? vorgabe : 0].first;
        setDefaultButton(standard_);
        if (flucht_) {
            setEscapeButton(flucht_);
        } else {
            setWindowFlag(Qt::CustomizeWindowHint, true);
            setWindowFlag(Qt::WindowCloseButtonHint, false);
        }
        setIcon(SymbolDesStils(stil));
        setTextFormat(Qt::PlainText);
    }

    int Antwort() const {
        // No button clicked only when closed from outside (done() on it): then
        // the answer of Esc, or of the default button where Esc does nothing.
        const QAbstractButton* knopf = clickedButton() ? clickedButton() : flucht_ ? flucht_ : standard_;
        for (const auto& [b, antwort] : antworten_)
            if (b == knopf) return antwort;
        return vb::OK;
    }

    void reject() override {
        if (flucht_) flucht_->click();
    }

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->matches(QKeySequence::Cancel) || (e->key() == Qt::Key_Escape && !e->modifiers())) {
            if (flucht_) flucht_->click();
            e->accept();
            return;
        }
        QMessageBox::keyPressEvent(e);
    }

    void closeEvent(QCloseEvent* e) override {
        if (!flucht_) {
            e->ignore();
            return;
        }
        e->accept();
        if (!clickedButton()) flucht_->click();
    }

private:
    std::vector<std::pair<QPushButton*, int>> antworten_;
    QPushButton* flucht_ = nullptr;
    QPushButton* standard_ = nullptr;
};

// "Access (*.mdb)" → "Access": the name the combo shows with hidden details.
QString OhneMuster(const QString& filter) {
    const qsizetype auf = filter.lastIndexOf(QLatin1String(" ("));
    return auf < 0 ? filter : filter.left(auf);
}

}  // namespace

void ProgrammtitelSetzen(const QString& titel) { titelSpeicher() = titel; }

QString Programmtitel() { return titelSpeicher(); }

QString Zeilenumbrüche(const QString& text) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

QStringList Namensfilter(const QString& vbFilter) {
    QStringList filter;
    if (vbFilter.isEmpty()) return filter;
    const QStringList teile = vbFilter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < teile.size(); i += 2) {
        QStringList muster;
        for (const QString& m : teile[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            if (!m.trimmed().isEmpty()) muster << m.trimmed();
        // An empty pattern still takes its place, so that the 1-based indexes stay aligned.
        if (muster.isEmpty()) muster << QStringLiteral("*");
        filter << teile[i] + QLatin1String(" (") + muster.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filter;
}

int QtDialoge::MsgBox(const QString& prompt, int stil, const std::optional<QString>& titel) {
    Meldungsfenster box(besitzer_, stil);
    box.setWindowTitle(titel ? *titel : Programmtitel());
    box.setText(Zeilenumbrüche(prompt));
    box.exec();
    return box.Antwort();
}

QString QtDialoge::InputBox(const QString& prompt, const QString& titel, const QString& vorgabe) {
    QInputDialog dlg(besitzer_);
    dlg.setInputMode(QInputDialog::TextInput);
    dlg.setWindowTitle(titel);
    dlg.setLabelText(Zeilenumbrüche(prompt));
    if (auto* label = dlg.findChild<QLabel*>()) label->setTextFormat(Qt::PlainText);
    dlg.setTextValue(vorgabe);
    dlg.setOkButtonText(QStringLiteral("OK"));
    dlg.setCancelButtonText(QStringLiteral("Abbrechen"));
    if (dlg.exec() != QDialog::Accepted) return {};
    return dlg.textValue();
}

bool QtDialoge::DateiÖffnen(Dateiauswahl& auswahl) {
    QFileDialog dlg(besitzer_);
    // Qt's own dialog matches patterns regardless of case, as Windows does:
    // "*.MDB" finds kunden.mdb. The options go first; they shape the filter combo.
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setOption(QFileDialog::HideNameFilterDetails, true);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode((auswahl.Flags & DateiMussExistieren) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dlg.setWindowTitle(auswahl.DialogTitle.isEmpty() ? QStringLiteral("Öffnen") : auswahl.DialogTitle);
    dlg.setLabelText(QFileDialog::LookIn, QStringLiteral("Suchen in:"));
    dlg.setLabelText(QFileDialog::FileName, QStringLiteral("Dateiname:"));
    dlg.setLabelText(QFileDialog::FileType, QStringLiteral("Dateityp:"));
    dlg.setLabelText(QFileDialog::Accept, QStringLiteral("Öffnen"));
    dlg.setLabelText(QFileDialog::Reject, QStringLiteral("Abbrechen"));
    if (!auswahl.InitDir.isEmpty() && QDir(auswahl.InitDir).exists()) dlg.setDirectory(auswahl.InitDir);

    const QStringList filter = Namensfilter(auswahl.Filter);
    if (!filter.isEmpty()) {
        dlg.setNameFilters(filter);
        const int index = auswahl.FilterIndex >= 1 && auswahl.FilterIndex <= filter.size() ? auswahl.FilterIndex : 1;
        dlg.selectNameFilter(filter[index - 1]);
    }

    if (dlg.exec() != QDialog::Accepted) return false;
    const QStringList dateien = dlg.selectedFiles();
    if (dateien.isEmpty()) return false;
    auswahl.FileName = dateien.first();
    if (!filter.isEmpty()) {
        const QString gewählt = dlg.selectedNameFilter();
        qsizetype index = filter.indexOf(gewählt);
        for (qsizetype i = 0; index < 0 && i < filter.size(); ++i)
            if (OhneMuster(filter[i]) == gewählt) index = i;
        auswahl.FilterIndex = static_cast<int>(index < 0 ? 0 : index) + 1;
    }
    return true;
}

}  // namespace forms
