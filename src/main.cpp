#include <QApplication>

#include "foundation/Oberflaeche.h"
#include "platform/forms/Dialoge.h"
#include "ui/frmHaupt.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Purivo"));
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
