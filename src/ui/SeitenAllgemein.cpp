// The common pages: welcome, safety advice, database, table, target table,
// choice of the operation, field assignment and the second table's choice.
#include <QFontDatabase>
#include <QIcon>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#include "ui/Seiten.h"
#include "ui/Seitenbau.h"
#include "ui/mdlRahmen.h"

Text Rahmenbeschriftung(int seite) {
    switch (seite) {
        case 1: return u" Sicherheitshinweis ";
        case 2: return u" Auswahl der Datenbank ";
        case 3: return u" Auswahl der Tabelle ";
        case 4: return u" Auswahl der Zieltabelle ";
        case 5: return u" Auswahl des Vorgangs ";
        case 6: return u" Durchführung ";
        case 7: return u" Zuordnung der Felder ";
        case 11: return u" Suchoptionen ";
        case 12:
        case 22: return u" Nachbearbeitung ";
        case 21: return u" Mülldatensätze erkennen ";
        case 31: return u" Felder splitten ";
        case 41: return u" Felder verschmelzen ";
        case 51: return u" Daten abgleichen ";
        case 61: return u" Neue Daten einfügen ";
        case 13:
        case 23:
        case 32:
        case 42:
        case 53:
        case 63: return u" Protokoll ";
        default: return {};
    }
}

namespace {

QPixmap Willkommensbild(QSize größe) {
    QPixmap bild(größe);
    QPainter p(&bild);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient verlauf(0, 0, 0, größe.height());
    verlauf.setColorAt(0, QColor(0x1f, 0x4e, 0x79));
    verlauf.setColorAt(1, QColor(0x5b, 0x9b, 0xd5));
    p.fillRect(bild.rect(), verlauf);
    // Address cards, the middle one cleaned.
    for (int i = 0; i < 3; ++i) {
        const QRectF karte(größe.width() * 0.58 + i * 26, größe.height() * 0.22 + i * 30, 150, 92);
        p.setPen(QPen(QColor(255, 255, 255, 200), 1.5));
        p.setBrush(QColor(255, 255, 255, i == 2 ? 235 : 90));
        p.drawRoundedRect(karte, 8, 8);
        p.setPen(QPen(i == 2 ? QColor(0x1f, 0x4e, 0x79) : QColor(255, 255, 255, 160), 3));
        for (int z = 0; z < 3; ++z)
            p.drawLine(QPointF(karte.left() + 14, karte.top() + 24 + z * 20),
                       QPointF(karte.right() - 14 - z * 24, karte.top() + 24 + z * 20));
    }
    QFont name = p.font();
    name.setPointSize(34);
    name.setBold(true);
    p.setFont(name);
    p.setPen(Qt::white);
    p.drawText(QRect(36, größe.height() / 2 - 70, größe.width() / 2, 60), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Purivo"));
    QFont unter = p.font();
    unter.setPointSize(12);
    unter.setBold(false);
    p.setFont(unter);
    p.drawText(QRect(38, größe.height() / 2 - 6, größe.width() / 2, 48), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("Bereinigung von Adresstabellen\nVersion 1.0"));
    return bild;
}

// The pictures of the six operations.
QIcon Sinnbild(int art) {
    QPixmap bild(64, 64);
    bild.fill(Qt::transparent);
    QPainter p(&bild);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor blau(0x1f, 0x4e, 0x79), hell(0xdd, 0xeb, 0xf7), rot(0xc0, 0x39, 0x2b), grün(0x2e, 0x8b, 0x57);
    auto feld = [&](QRectF r, QColor füllung) {
        p.setPen(QPen(blau, 2));
        p.setBrush(füllung);
        p.drawRoundedRect(r, 4, 4);
    };
    auto pfeil = [&](QPointF a, QPointF b) {
        p.setPen(QPen(blau, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(a, b);
        const QPointF d = (b - a) / std::max(1.0, std::hypot((b - a).x(), (b - a).y()));
        const QPointF n(-d.y(), d.x());
        p.drawLine(b, b - d * 8 + n * 6);
        p.drawLine(b, b - d * 8 - n * 6);
    };
    switch (art) {
        case 0:  // merge: two fields into one
            feld({6, 8, 22, 16}, hell);
            feld({36, 8, 22, 16}, hell);
            pfeil({17, 26}, {29, 40});
            pfeil({47, 26}, {35, 40});
            feld({12, 44, 40, 14}, hell);
            break;
        case 1:  // split: one field into two
            feld({12, 6, 40, 14}, hell);
            pfeil({29, 22}, {17, 36});
            pfeil({35, 22}, {47, 36});
            feld({6, 40, 22, 16}, hell);
            feld({36, 40, 22, 16}, hell);
            break;
        case 2: {  // junk: a bin
            p.setPen(QPen(blau, 2.5));
            p.setBrush(hell);
            p.drawRect(QRectF(18, 20, 28, 36));
            p.drawLine(QPointF(12, 16), QPointF(52, 16));
            p.drawRect(QRectF(26, 10, 12, 6));
            for (int x : {26, 32, 38}) p.drawLine(QPointF(x, 26), QPointF(x, 50));
            break;
        }
        case 3:  // duplicates: two equal cards
            feld({6, 8, 36, 26}, hell);
            feld({22, 28, 36, 26}, hell);
            p.setPen(QPen(rot, 2.5));
            p.drawLine(QPointF(28, 36), QPointF(52, 36));
            p.drawLine(QPointF(28, 44), QPointF(46, 44));
            break;
        case 4:  // matching: two tables and a tick
            feld({4, 10, 24, 40}, hell);
            feld({36, 10, 24, 40}, hell);
            p.setPen(QPen(grün, 4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(20, 34), QPointF(30, 46));
            p.drawLine(QPointF(30, 46), QPointF(50, 18));
            break;
        default:  // adding new data: a table and a plus
            feld({6, 8, 34, 48}, hell);
            p.setPen(QPen(grün, 5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(48, 30), QPointF(48, 54));
            p.drawLine(QPointF(36, 42), QPointF(60, 42));
            break;
    }
    return QIcon(bild);
}

void StartBauen(frmHaupt& f) {
    Seitenbau b(f, 0);
    // The welcome page has no caption; its picture fills it.
    auto* bild = new QLabel(b.seite);
    bild->setObjectName(QStringLiteral("Image1"));
    bild->setAccessibleDescription(QStringLiteral("Image1"));
    bild->setAccessibleName(QStringLiteral("Purivo"));
    forms::Platzieren(bild, 120, 120, hauptmaße::Breite - 240, hauptmaße::Höhe - 240);
    bild->setPixmap(Willkommensbild(bild->size()));
    f.Image1 = bild;
}

void SicherheitshinweisBauen(frmHaupt& f) {
    Seitenbau b(f, 1);
    b.Text(QStringLiteral("Beachten sie bitte folgende Hinweise, welche generell für alle Datenbankanwendungen "
                          "gelten:"),
           360, 600, 8880, 480);
    b.Text(QStringLiteral("1."), 600, 1440, 360, 255);
    b.Text(QStringLiteral("Vor jeder Benutzung der Software wird dringend empfohlen, die betreffende Datenbank zu "
                          "sichern."),
           1080, 1440, 8160, 480);
    b.Text(QStringLiteral("2."), 600, 2280, 360, 255);
    b.Text(QStringLiteral("Schließen sie alle Anwendungen, welche zur Zeit Zugriff auf die Datenbank haben."), 1080,
           2280, 8160, 480);
}

void DatenbankBauen(frmHaupt& f) {
    Seitenbau b(f, 2);
    b.Text(QStringLiteral("Wählen sie hier die zu bearbeitende Datenbank aus, oder geben sie deren Ort an."), 360, 600,
           8880, 480);
    auto* l1 = b.Text(QStringLiteral("Datenbankname:"), 360, 1560, 2520, 255);
    f.tbxDatenbankName = b.Element<forms::Textfeld>(QStringLiteral("tbxDatenbankName"), 2880, 1500, 5520, 330);
    l1->setBuddy(f.tbxDatenbankName);
    f.btnDatenbankAuswählen =
        b.Element<forms::Schaltfläche>(QStringLiteral("btnDatenbankAuswählen"), 8520, 1470, 420, 390);
    f.btnDatenbankAuswählen->setIcon(f.style()->standardIcon(QStyle::SP_DirOpenIcon));
    f.btnDatenbankAuswählen->setToolTip(QStringLiteral("Datenbank auswählen"));
    f.btnDatenbankAuswählen->setAccessibleName(QStringLiteral("Datenbank auswählen"));
    auto* l2 = b.Text(QStringLiteral("Passwort (falls benötigt):"), 360, 2220, 2520, 255);
    f.tbxDatenbankPasswort = b.Element<forms::Textfeld>(QStringLiteral("tbxDatenbankPasswort"), 2880, 2160, 3000, 330);
    f.tbxDatenbankPasswort->setEchoMode(QLineEdit::Password);
    l2->setBuddy(f.tbxDatenbankPasswort);
}

void TabelleBauen(frmHaupt& f) {
    Seitenbau b(f, 3);
    b.Text(QStringLiteral("Wählen sie die zu bearbeitende Tabelle."), 360, 480, 8880, 255);
    f.lstTabellen = b.Element<forms::Listenfeld>(QStringLiteral("lstTabellen"), 360, 840, 5640, 4560);
    f.lblGeändert = b.Label(QStringLiteral("lblGeändert"), QStringLiteral("Geändert"), 6240, 840, 3120, 1080);
    f.lblGröße = b.Label(QStringLiteral("lblGröße"), QStringLiteral("Größe"), 6240, 2040, 3120, 480);
    f.cmdTabelleUmbenennen =
        b.Element<forms::Schaltfläche>(QStringLiteral("cmdTabelleUmbenennen"), 6240, 4440, 3120, 375);
    f.cmdTabelleUmbenennen->CaptionSetzen(QStringLiteral("Tabelle umbenennen"));
    f.cmdTabelleLöschen = b.Element<forms::Schaltfläche>(QStringLiteral("cmdTabelleLöschen"), 6240, 4920, 3120, 375);
    f.cmdTabelleLöschen->CaptionSetzen(QStringLiteral("Tabelle löschen"));
}

void ZieltabelleBauen(frmHaupt& f) {
    Seitenbau b(f, 4);
    b.Text(QStringLiteral("Bestimmen sie den Namen der Tabelle, unter der die geänderte Tabelle gespeichert werden "
                          "soll. Die Ausgangstabelle wird nicht überschrieben. Aus Gründen der Sicherheit, zwecks "
                          "Wiederherstellung des ursprünglichen Zustandes, ist dies erforderlich."),
           360, 600, 8880, 960);
    b.Text(QStringLiteral("Daher muss der Name ein anderer sein als der der Ausgangstabelle."), 360, 1680, 8880, 255);
    auto* l = b.Text(QStringLiteral("Korrgierte Tabelle speichern als:"), 360, 2520, 3000, 255);
    f.tbxZielTabelle = b.Element<forms::Textfeld>(QStringLiteral("tbxZielTabelle"), 3360, 2460, 5880, 330);
    l->setBuddy(f.tbxZielTabelle);
}

void VorgangBauen(frmHaupt& f) {
    Seitenbau b(f, 5);
    const char16_t* namen[6] = {u"Felder verschmelzen", u"Felder spitten", u"Mülldatensätze entfernen",
                                u"Dubletten suchen",    u"Datenabgleich",  u"Daten hinzufügen"};
    // Two columns of three, the operations on a table's fields on the left.
    for (int i = 0; i < 6; ++i) {
        const int spalte = i / 3, zeile = i % 3;
        const int links = 600 + spalte * 4560, oben = 600 + zeile * 1560;
        auto* k = b.Element<forms::Schaltfläche>(QStringLiteral("btnAuswahl"), i, links, oben, 1020, 1020);
        k->setIcon(Sinnbild(i));
        k->setIconSize(QSize(48, 48));
        k->setAccessibleName(forms::Q(namen[i]));
        k->Click = [i] { btnAuswahl_Click(i); };
        f.btnAuswahl[i] = k;
        auto* l = b.Text(forms::Q(namen[i]), links + 1200, oben + 390, 3000, 255);
        l->setBuddy(k);
    }
}

void FeldzuordnungBauen(frmHaupt& f) {
    Seitenbau b(f, 7);
    b.Text(QStringLiteral("Ordnen sie den Tabellenfeldern einen Inhalt zu. Korrigieren sie gegebenenfalls die vom "
                          "Programm vorgeschlagenen Inhalte (klicken mit der linken Maustaste). Genaue Angaben "
                          "erhöhen den Erfolg der Suche."),
           360, 420, 8880, 720);
    f.lstFelder = b.Element<forms::Listenfeld>(QStringLiteral("lstFelder"), 360, 1260, 8880, 4260);
    QFont fest(QStringLiteral("Courier New"));
    fest.setFamilies(
        {QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    fest.setStyleHint(QFont::Monospace);
    fest.setFixedPitch(true);
    fest.setPointSize(9);
    f.lstFelder->setFont(fest);
}

void ZweiteTabelleBauen(frmHaupt& f, int seite, const QString& text, forms::Kombinationsfeld*& cbx,
                        const QString& name) {
    Seitenbau b(f, seite);
    auto* l = b.Text(text, 360, 600, 8880, 480);
    cbx = b.Element<forms::Kombinationsfeld>(name, 360, 1200, 5640, 330);
    l->setBuddy(cbx);
}

}  // namespace

void SeitenAllgemeinBauen(frmHaupt& f) {
    StartBauen(f);
    SicherheitshinweisBauen(f);
    DatenbankBauen(f);
    TabelleBauen(f);
    ZieltabelleBauen(f);
    VorgangBauen(f);
    FeldzuordnungBauen(f);
    ZweiteTabelleBauen(f, 51, QStringLiteral("Wählen sie die Tabelle, mit der die Daten abgeglichen werden sollen:"),
                       f.cbxDatenabgleich, QStringLiteral("cbxDatenabgleich"));
    ZweiteTabelleBauen(f, 61, QStringLiteral("Wählen sie die Tabelle, deren Daten eingefügt werden sollen:"),
                       f.cbxNeueDaten, QStringLiteral("cbxNeueDaten"));
}
