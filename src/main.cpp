#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "foundation/Oberflaeche.h"
#include "operations/Programmzustand.h"
#include "platform/forms/Dialoge.h"
#include "ui/frmHaupt.h"

int main(int argc, char** argv) {
    // The core's state at its start values before the window reads any of it (a no-op here).
    ProgrammzustandZurücksetzen();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Purivo"));
    // Qt's own dialogs (the file dialog's columns, context menus) speak German too.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QTranslator qtTexte;
    if (qtTexte.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexte);
    forms::QtDialoge dialoge;
    frmHaupt haupt(dialoge);
    dialoge.BesitzerSetzen(&haupt);
    OberflächeSetzen(&haupt);
    if (!haupt.Form_Load()) return 1;
    haupt.show();
    const int ergebnis = QApplication::exec();
    OberflächeSetzen(nullptr);
    return ergebnis;
}
