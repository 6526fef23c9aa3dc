// Every page of the wizard as a user sees it: a screenshot per page in the
// build tree, and an automatic check of what the eye would catch first:
// controls outside their frame, clipped texts and controls lying on each other.
#include <QAbstractButton>
#include <QDir>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QSet>
#include <QStyleOptionComboBox>

#include "ui/Fenstertest.h"

namespace {

// A size hint keeps room for a focus frame; a control this much lower still shows its text whole.
constexpr int Toleranz = 3;

QString Benennung(const QWidget* w) {
    if (!w->objectName().isEmpty()) return w->objectName();
    QString text;
    if (const auto* l = qobject_cast<const QLabel*>(w)) text = l->text();
    if (const auto* b = qobject_cast<const QAbstractButton*>(w)) text = b->text();
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString art = QString::fromLatin1(w->metaObject()->className());
    return text.isEmpty() ? art : art + QStringLiteral(" \"") + text.left(40) + QLatin1Char('"');
}

QString Maße(const QRect& r) {
    return QStringLiteral("(%1,%2 %3x%4 px)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The blank run inside a caption that a control is meant to sit in: the first
// three or more blanks, as x from..to where the caption's text starts at x0.
std::pair<int, int> Lücke(const QFontMetrics& m, const QString& text, int x0) {
    const qsizetype anfang = text.indexOf(QStringLiteral("   "));
    if (anfang < 0) return {0, -1};
    qsizetype ende = anfang;
    while (ende < text.size() && text[ende] == QLatin1Char(' ')) ++ende;
    return {x0 + m.horizontalAdvance(text.left(anfang)), x0 + m.horizontalAdvance(text.left(ende))};
}

// Where the caption's text starts inside a host that embeds a text box; -1 for any other control.
int TextAnfang(const QWidget* host) {
    if (const auto* l = qobject_cast<const QLabel*>(host)) return l->contentsRect().x() + std::max(0, l->indent());
    if (const auto* o = qobject_cast<const QRadioButton*>(host)) {
        QStyleOptionButton opt;
        opt.initFrom(o);
        opt.text = o->text();
        return o->style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, o).x();
    }
    return -1;
}

// The text boxes sitting in the blanks of another control's caption, by object name.
const std::map<QString, QString> Einbettungen = {
    {QStringLiteral("tbxSplitten_Trennzeichen"), QStringLiteral("lblSplitten4")},
    {QStringLiteral("tbxTrennzeichen"), QStringLiteral("otnTrennzeichen(0)")},
};

bool Eingebettet(const QWidget* a, const QWidget* b) {
    const auto it = Einbettungen.find(a->objectName());
    return it != Einbettungen.end() && it->second == b->objectName();
}

// An embedded box must cover blanks of its host's caption only, never its letters.
void EinbettungPrüfen(const QWidget* box, const QWidget* host, QStringList& fehler) {
    const QRect g = box->geometry();
    const int x0 = TextAnfang(host);
    const auto [von, bis] = Lücke(host->fontMetrics(), host->property("text").toString(), host->x() + x0);
    // A gap of a blank's width or so to the letters on either side, none needed at the caption's start.
    const int luft = host->fontMetrics().horizontalAdvance(QLatin1Char(' ')) / 2 + 1;
    const int links = von == host->x() + x0 ? von : von + luft;
    if (x0 < 0 || bis < von || g.left() < links || g.x() + g.width() > bis - luft)
        fehler << QStringLiteral("%1 %2 liegt nicht in den Leerzeichen von %3 (x %4..%5)")
                      .arg(Benennung(box), Maße(g), Benennung(host))
                      .arg(von)
                      .arg(bis);
}

// What a label, button, box or list shows must fit into it.
void TextPrüfen(const QWidget* w, QStringList& fehler) {
    const QString wer = Benennung(w) + QLatin1Char(' ') + Maße(w->geometry());
    if (const auto* l = qobject_cast<const QLabel*>(w)) {
        if (l->text().isEmpty() || !l->pixmap().isNull()) return;
        if (l->wordWrap()) {
            const int nötig = l->heightForWidth(l->width());
            if (nötig > l->height())
                fehler << QStringLiteral("%1: umbrochener Text braucht %2 px Höhe").arg(wer).arg(nötig);
        } else {
            const QStringList zeilen = l->text().split(QLatin1Char('\n'));
            int breite = 0;
            for (const QString& z : zeilen) breite = std::max(breite, l->fontMetrics().horizontalAdvance(z));
            if (breite > l->contentsRect().width())
                fehler << QStringLiteral("%1: Text braucht %2 px Breite").arg(wer).arg(breite);
            const int höhe = int(zeilen.size()) * l->fontMetrics().height();
            if (höhe > l->contentsRect().height())
                fehler << QStringLiteral("%1: Text braucht %2 px Höhe").arg(wer).arg(höhe);
        }
    } else if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
        const QSize s = b->sizeHint();
        if (s.width() > b->width() || s.height() > b->height() + Toleranz)
            fehler << QStringLiteral("%1: braucht %2x%3 px").arg(wer).arg(s.width()).arg(s.height());
    } else if (const auto* c = qobject_cast<const QComboBox*>(w)) {
        if (c->height() < c->sizeHint().height() - Toleranz)
            fehler << QStringLiteral("%1: braucht %2 px Höhe").arg(wer).arg(c->sizeHint().height());
        QStyleOptionComboBox opt;
        opt.initFrom(c);
        opt.editable = c->isEditable();
        opt.currentText = c->currentText();
        const QRect feld = c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
        if (c->fontMetrics().horizontalAdvance(c->currentText()) > feld.width())
            fehler << QStringLiteral("%1: \"%2\" passt nicht in %3 px").arg(wer, c->currentText()).arg(feld.width());
    } else if (const auto* e = qobject_cast<const QLineEdit*>(w)) {
        if (e->height() < e->sizeHint().height() - Toleranz)
            fehler << QStringLiteral("%1: braucht %2 px Höhe").arg(wer).arg(e->sizeHint().height());
    } else if (const auto* s = qobject_cast<const QSlider*>(w)) {
        if (s->height() < s->sizeHint().height() - Toleranz)
            fehler << QStringLiteral("%1: braucht %2 px Höhe").arg(wer).arg(s->sizeHint().height());
    } else if (const auto* liste = qobject_cast<const QListWidget*>(w)) {
        if (liste->horizontalScrollBar()->isVisible())
            fehler << QStringLiteral("%1: Zeilen breiter als die Liste").arg(wer);
    }
}

std::vector<QWidget*> SichtbareKinder(const QWidget* eltern) {
    std::vector<QWidget*> r;
    for (QWidget* w : eltern->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isVisible()) r.push_back(w);
    return r;
}

// Each child inside `innen` of its parent, its text fitting, no two lying on each other.
void GeschwisterPrüfen(const std::vector<QWidget*>& kinder, const QRect& innen, const QString& wo,
                       QStringList& fehler) {
    for (size_t i = 0; i < kinder.size(); ++i) {
        QWidget* a = kinder[i];
        if (!innen.contains(a->geometry()))
            fehler << QStringLiteral("%1 %2 ragt aus %3 %4").arg(Benennung(a), Maße(a->geometry()), wo, Maße(innen));
        TextPrüfen(a, fehler);
        for (size_t j = i + 1; j < kinder.size(); ++j) {
            QWidget* b = kinder[j];
            if (!a->geometry().intersects(b->geometry())) continue;
            if (Eingebettet(a, b)) {
                EinbettungPrüfen(a, b, fehler);
            } else if (Eingebettet(b, a)) {
                EinbettungPrüfen(b, a, fehler);
            } else {
                fehler << QStringLiteral("%1 %2 überdeckt %3 %4")
                              .arg(Benennung(a), Maße(a->geometry()), Benennung(b), Maße(b->geometry()));
            }
        }
    }
}

QStringList Layoutfehler(frmHaupt& f, forms::Rahmenfeld* rahmen) {
    QStringList fehler;
    const QWidget* fläche = f.centralWidget();
    const int titel = rahmen->fontMetrics().horizontalAdvance(rahmen->title());
    if (titel + 16 > rahmen->width())
        fehler << QStringLiteral("Rahmentitel \"%1\" braucht %2 px").arg(rahmen->title()).arg(titel);
    // Below the caption, inside the frame's border.
    GeschwisterPrüfen(SichtbareKinder(rahmen), rahmen->contentsRect(), rahmen->objectName(), fehler);
    // The frame and the button strip in the client area.
    GeschwisterPrüfen(SichtbareKinder(fläche), fläche->rect(), fläche->objectName(), fehler);
    return fehler;
}

int Leuchtdichte(QRgb p) { return (qRed(p) * 299 + qGreen(p) * 587 + qBlue(p) * 114) / 1000; }

int DunklePunkte(const QImage& bild, const QRect& bereich) {
    int n = 0;
    for (int y = bereich.top(); y <= bereich.bottom(); ++y)
        for (int x = bereich.left(); x <= bereich.right(); ++x)
            if (Leuchtdichte(bild.pixel(x, y)) < 128) ++n;
    return n;
}

// The ink the label's text leaves when drawn black on white in its own font and area.
int TintenMaß(const QLabel* l) {
    QImage bild(l->contentsRect().size(), QImage::Format_RGB32);
    bild.fill(Qt::white);
    QPainter p(&bild);
    p.setFont(l->font());
    p.setPen(Qt::black);
    p.drawText(bild.rect(), int(l->alignment()) | (l->wordWrap() ? Qt::TextWordWrap : 0), l->text());
    p.end();
    return DunklePunkte(bild, bild.rect());
}

// The screenshot is a picture, and each enabled label on the page shows its letters.
QStringList Bildfehler(const QImage& bild, const forms::Rahmenfeld* rahmen) {
    QStringList fehler;
    QSet<QRgb> farben;
    for (int y = 0; y < bild.height(); y += 2)
        for (int x = 0; x < bild.width(); x += 2) farben.insert(bild.pixel(x, y));
    if (farben.size() < 16) fehler << QStringLiteral("Bild hat nur %1 Farben").arg(farben.size());
    for (const auto* l : rahmen->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (!l->isVisible() || !l->isEnabled() || l->text().trimmed().isEmpty() || !l->pixmap().isNull()) continue;
        const QRect bereich(l->mapTo(rahmen->window(), l->contentsRect().topLeft()), l->contentsRect().size());
        const int soll = TintenMaß(l), ist = DunklePunkte(bild, bereich);
        if (soll == 0 || ist < soll / 2 || ist > 2 * soll)
            fehler << QStringLiteral("%1: %2 dunkle Punkte statt etwa %3").arg(Benennung(l)).arg(ist).arg(soll);
    }
    const QFontInfo schrift(rahmen->font());
    if (!QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")}
             .contains(schrift.family()))
        fehler << QStringLiteral("Schrift %1").arg(schrift.family());
    return fehler;
}

class Bildschirm : public Fenstertest {
protected:
    // Screenshot and checks of the page shown now, saved as `datei`.
    void Aufnehmen(const QString& datei) {
        const int seite = gAktuellerRahmen;
        ASSERT_NE(seite, -1) << datei.toStdString();
        ASSERT_EQ(SichtbareRahmen(), std::vector<int>{seite}) << datei.toStdString();
        QCoreApplication::processEvents();
        const QImage bild = f->grab().toImage();
        const QString ordner = QStringLiteral(PURIVO_BUILD "/screenshots/");
        ASSERT_TRUE(QDir().mkpath(ordner));
        EXPECT_TRUE(bild.save(ordner + datei)) << datei.toStdString();
        forms::Rahmenfeld* rahmen = f->freRahmen.at(seite);
        const QStringList fehler = Layoutfehler(*f, rahmen) + Bildfehler(bild, rahmen);
        EXPECT_TRUE(fehler.isEmpty()) << "Seite " << seite << " (" << datei.toStdString() << "):\n  "
                                      << fehler.join(QStringLiteral("\n  ")).toStdString();
    }

    // A page a run shows, entered without its set-up, the previous one left without checks.
    void Zeigen(int seite) {
        ASSERT_TRUE(::RahmenSchließen(gAktuellerRahmen, false));
        ::RahmenÖffnen(seite, false);
        ASSERT_EQ(gAktuellerRahmen, seite);
    }
    void Beschriften(const QString& name, const QString& text) {
        forms::Steuerelement* s = f->Elemente().Finden(name);
        ASSERT_NE(s, nullptr) << name.toStdString();
        s->InhaltSetzen(text);
    }
    // From the page of the operations: operation `index`, then `weiter` clicks on "Weiter" to page `ziel`.
    void Vorgang(int index, int weiter, int ziel) {
        ASSERT_EQ(gAktuellerRahmen, 5);
        btnAuswahl_Click(index);
        for (int i = 0; i < weiter; ++i) Weiter();
        ASSERT_EQ(gAktuellerRahmen, ziel);
    }
    void ZurückBis(int seite) {
        for (int i = 0; i < 5 && gAktuellerRahmen != seite; ++i) Zurück();
        ASSERT_EQ(gAktuellerRahmen, seite);
    }
};

std::vector<Testspalte> Adressspalten() {
    return {{u"Firma"},   {u"Anrede", dao::dbText, 20},
            {u"Vorname"}, {u"Nachname"},
            {u"Strasse"}, {u"PLZ", dao::dbText, 10},
            {u"Ort"},     {u"Telefon"},
            {u"Telefax"}, {u"Email"}};
}

std::vector<std::vector<Variante>> Adresszeilen() {
    return {
        {Variante(u"Müller GmbH"), Variante(u"Herr"), Variante(u"Jürgen"), Variante(u"Müller"),
         Variante(u"Hauptstraße 5"), Variante(u"10115"), Variante(u"Berlin"), Variante(u"030 123456"),
         Variante(u"030 123457"), Variante(u"info@mueller-gmbh.de")},
        {Variante(u"Schmidt AG"), Variante(u"Frau"), Variante(u"Petra"), Variante(u"Schmidt"),
         Variante(u"Marktplatz 1"), Variante(u"80331"), Variante(u"München"), Variante(u"089 998877"),
         Variante(u"089 998878"), Variante(u"p.schmidt@schmidt-ag.de")},
        {Variante(u"Weber KG"), Variante(u"Herr"), Variante(u"Klaus"), Variante(u"Weber"), Variante(u"Ringstraße 12"),
         Variante(u"50667"), Variante(u"Köln"), Variante(u"0221 445566"), Variante(u"0221 445567"),
         Variante(u"kontakt@weber-kg.de")},
    };
}

TEST_F(Bildschirm, JedeSeiteSitztUndIstLesbar) {
    DatenbankAnlegen({{u"Kunden", Adresszeilen()}, {u"Interessenten Süd", Adresszeilen()}}, Adressspalten());

    Aufnehmen(QStringLiteral("seite_00.png"));
    Weiter();
    Aufnehmen(QStringLiteral("seite_01.png"));
    Weiter();
    f->tbxDatenbankName->TextSetzen(QString::fromStdString(datenbank));
    f->tbxDatenbankPasswort->TextSetzen(QStringLiteral("geheim"));
    Aufnehmen(QStringLiteral("seite_02.png"));
    f->tbxDatenbankPasswort->TextSetzen(QString());
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 3);
    f->lstTabellen->ListIndexSetzen(
        f->lstTabellen->row(f->lstTabellen->findItems(QStringLiteral("Kunden"), Qt::MatchExactly).value(0)));
    // The selection shows the table's last change and size.
    EXPECT_TRUE(f->lblGeändert->Caption().startsWith(QStringLiteral("Zuletzt geändert am :")));
    Aufnehmen(QStringLiteral("seite_03.png"));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 5);
    Aufnehmen(QStringLiteral("seite_05.png"));

    // Duplicates: field rows, the target name, the sort columns.
    btnAuswahl_Click(3);
    ASSERT_EQ(gAktuellerRahmen, 7);
    Aufnehmen(QStringLiteral("seite_07.png"));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 4);
    Aufnehmen(QStringLiteral("seite_04.png"));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 11);
    Aufnehmen(QStringLiteral("seite_11.png"));
    ZurückBis(5);

    Vorgang(2, 2, 21);
    Aufnehmen(QStringLiteral("seite_21.png"));
    ZurückBis(5);

    Vorgang(1, 1, 31);
    f->tbxSplitten1->TextSetzen(QStringLiteral("Postleitzahl"));
    f->tbxSplitten2->TextSetzen(QStringLiteral("Ortsname"));
    Aufnehmen(QStringLiteral("seite_31.png"));
    // The states of the two-field type and the free type, once their handler shows them.
    if (f->cbxSplittenTypus->Click) {
        f->cbxSplittenTypus->ListIndexSetzen(4);
        Aufnehmen(QStringLiteral("seite_31_typ4.png"));
        f->cbxSplittenTypus->ListIndexSetzen(5);
        Aufnehmen(QStringLiteral("seite_31_typ5.png"));
        f->cbxSplittenTypus->ListIndexSetzen(0);
    }
    ZurückBis(5);

    Vorgang(0, 1, 41);
    f->tbxVerschmolzen->TextSetzen(QStringLiteral("Ansprechpartner"));
    Aufnehmen(QStringLiteral("seite_41.png"));
    ZurückBis(5);

    Vorgang(4, 0, 51);
    Aufnehmen(QStringLiteral("seite_51.png"));
    ZurückBis(5);
    Vorgang(5, 0, 61);
    Aufnehmen(QStringLiteral("seite_61.png"));

    // The pages of a run, filled as a run fills them.
    Zeigen(6);
    f->BeschriftungSetzen(u"lblInformation", u"Durchsuche die Tabelle nach Dubletten ... \r\nUnter Sortierung der "
                                             u"Tabelle nach \"Firma, PLZ, Strasse\" im Quicksuch-Modus.");
    f->BeschriftungSetzen(u"lblDatensätze", u"12345 Datensätze insgesamt");
    f->FortschrittsbalkenSetzen(42);
    f->BeschriftungSetzen(u"lblTeilFortschritt", u"42 %");
    f->BeschriftungSetzen(u"lblDauer", u"Geschätzte Dauer : 0:01:05");
    f->BeschriftungSetzen(u"lblVerbleibendeZeit", u"Verbleibende Zeit  : 0:00:38");
    Aufnehmen(QStringLiteral("seite_06.png"));

    for (int seite : {12, 22, 32, 42}) {
        Zeigen(seite);
        Aufnehmen(QStringLiteral("seite_%1.png").arg(seite));
    }
    struct Protokoll {
        int seite;
        const char* name;    // prefix of the three legend labels
        const char* vierte;  // the label below the legend
        const char* texte[4];
    };
    const Protokoll protokolle[] = {
        {13,
         "lblDubletten",
         "lblDublettenVerunreinigung",
         {"12345 Datensätze", "345 Dubletten", "12000 Datensätze nach Korrektur", "2% Verunreinigung"}},
        {23,
         "lblMüll",
         "lblMüllVerunreinigung",
         {"12345 Datensätze", "87 Mülldatensätze", "12258 Datensätze nach Bereinigung", "0% Verunreinigung"}},
        {53,
         "lblDatenabgleich",
         "lblDatenabgleich4",
         {"12345 Quelldatensätze", "davon 1234 in Referenz vorhanden", "11111 Datensätze nach Abgleich",
          "9% Übereinstimmung"}},
        {63,
         "lblNeueDaten",
         "lblNeueDaten4",
         {"12345 Quelldatensätze", "567 doppelt vorhanden", "14123 Datensätze nach Korrektur", "4% Übereinstimmung"}},
    };
    for (const Protokoll& p : protokolle) {
        Zeigen(p.seite);
        for (int i = 0; i < 3; ++i)
            Beschriften(QString::fromUtf8(p.name) + QString::number(i + 1), QString::fromUtf8(p.texte[i]));
        Beschriften(QString::fromUtf8(p.vierte), QString::fromUtf8(p.texte[3]));
        Aufnehmen(QStringLiteral("seite_%1.png").arg(p.seite));
    }
}

}  // namespace
