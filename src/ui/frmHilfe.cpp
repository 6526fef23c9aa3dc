#include "ui/frmHilfe.h"

#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDeklarationen.h"
#include "platform/basic/Laufzeit.h"
#include "platform/basic/VbKonstanten.h"
#include "platform/forms/Anwendung.h"
#include "platform/forms/Dialoge.h"
#include "ui/frmHaupt.h"

using forms::Q;

namespace {

constexpr char16_t KeineHilfe[] = u"Zu diesem Thema ist leider keine Hilfe verfügbar.";

// The help file line by line. A line ends at CR or CR LF, and at LF alone as
// files written on Linux have it. Reading past the end fails and is skipped:
// the line in hand stays as it was.
class Zeilenleser {
public:
    explicit Zeilenleser(Text inhalt) : inhalt_(std::move(inhalt)) {}
    bool Ende() const { return pos_ >= inhalt_.size(); }
    void Lesen(Text& L) {
        if (Ende()) return;
        const size_t ende = inhalt_.find_first_of(u"\r\n", pos_);
        if (ende == Text::npos) {
            L = inhalt_.substr(pos_);
            pos_ = inhalt_.size();
            return;
        }
        L = inhalt_.substr(pos_, ende - pos_);
        pos_ = ende + 1;
        if (inhalt_[ende] == u'\r' && pos_ < inhalt_.size() && inhalt_[pos_] == u'\n') ++pos_;
    }

private:
    Text inhalt_;
    size_t pos_ = 0;
};

bool Kopfzeile(const Text& L) { return L.starts_with(u"###"); }

// The whole file in the ANSI code page; a file that cannot be read gives no lines.
Text DateiLesen(const Text& pfad) {
    std::ifstream datei(nachUtf8(pfad), std::ios::binary);
    if (!datei) return {};
    const std::string bytes((std::istreambuf_iterator<char>(datei)), std::istreambuf_iterator<char>());
    return TextAusAnsi(bytes);
}

}  // namespace

Mehrzeilentextfeld::Mehrzeilentextfeld(QWidget* eltern) : QPlainTextEdit(eltern) {
    setReadOnly(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WordWrap);
}

void Mehrzeilentextfeld::TextSetzen(const QString& t) {
    text_ = t;
    setPlainText(forms::Zeilenumbrüche(t));
}

frmHilfe::frmHilfe() : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmHilfe"));
    setWindowTitle(QStringLiteral(" Hilfe"));
    setFixedSize(forms::Pixel(4950), forms::Pixel(6270));

    tbxHilfe = elemente_.Anlegen<Mehrzeilentextfeld>(this, QStringLiteral("tbxHilfe"));
    forms::Platzieren(tbxHilfe, 240, 240, 4575, 5235);
    tbxHilfe->setAccessibleName(QStringLiteral("Hilfetext"));

    Command1 = elemente_.Anlegen<forms::Schaltfläche>(this, QStringLiteral("Command1"));
    Command1->CaptionSetzen(QStringLiteral("OK"));
    forms::Platzieren(Command1, 1380, 5700, 2055, 435);
    Command1->setDefault(true);
    Command1->Click = [this] { accept(); };
    // Enter closes the window at once; the text box is only read.
    Command1->setFocus();
}

void frmHilfe::Form_Load() {
    Variante Thema;
    switch (gAktuellerRahmen) {
        case rahmen::Start: Thema = Variante(u"Nichts"); break;
        // Page 7 names the table in its caption at run time.
        case rahmen::Feldzuordnung: Thema = Variante(u"Zuordnung der Felder"); break;
        // Both review pages share one caption, each dialog has its own topic.
        case rahmen::DublettenNachbearbeitung: Thema = Variante(u"Dubletten bearbeiten"); break;
        case rahmen::MüllNachbearbeitung: Thema = Variante(u"Mülldatensätze bearbeiten"); break;
        default: {
            const forms::Rahmenfeld* r = Haupt().Rahmen(gAktuellerRahmen);
            // Between two pages no frame is shown, so there is no topic.
            if (!r) {
                tbxHilfe->TextSetzen(Q(KeineHilfe));
                return;
            }
            Thema = Variante(Trim(forms::T(r->Caption())));
        }
    }
    tbxHilfe->TextSetzen(Q(HilfeTextLesen(Thema).alsText()));
}

Variante frmHilfe::HilfeTextLesen(const Variante& Thema) {
    const Text pfad = ProgrammVerzeichnis() + u"Hilfe.HLP";
    if (!DateiExistiert(Variante(pfad)).alsBool()) {
        Oberfläche().Meldung(u"Hilfedatei nicht gefunden!", vb::Critical + vb::OKOnly, Text());
        return Variante::Empty();
    }
    const Text thema = Thema.alsText();
    Zeilenleser datei(DateiLesen(pfad));

    // Every line read is compared with the topic, not only those after a header.
    Text L;
    bool gefunden = false;
    while (!Kopfzeile(L) && !datei.Ende()) {
        datei.Lesen(L);
        if (Kopfzeile(L)) datei.Lesen(L);
        if (L == thema) {
            gefunden = true;
            break;
        }
    }
    if (!gefunden) return Variante(KeineHilfe);

    datei.Lesen(L);  // the line under the topic's name is never shown
    Text T;
    while (!Kopfzeile(L) && !datei.Ende()) {
        datei.Lesen(L);
        if (Kopfzeile(L)) break;
        T += L + u"\r\n";
    }
    return Variante(T);
}

void HilfeZeigen() {
    frmHilfe hilfe;
    hilfe.Form_Load();
    hilfe.exec();
}
