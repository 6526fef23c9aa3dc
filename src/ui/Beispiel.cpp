#include "ui/Beispiel.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "foundation/mdlAllgemeines.h"
#include "platform/forms/Anwendung.h"

Text BeispielordnerBereitstellen() {
    const QString vorlage = forms::Q(ProgrammVerzeichnis()) + QStringLiteral("Beispiel.xls");
    if (!QFile::exists(vorlage)) return {};
    const QString basis = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (basis.isEmpty()) return {};
    const QString ordner = basis + QStringLiteral("/Purivo/Beispiel/");
    const QString kopie = ordner + QStringLiteral("Beispiel.xls");
    if (!QFile::exists(kopie)) {
        if (!QDir().mkpath(ordner) || !QFile::copy(vorlage, kopie)) return {};
        // The copy is the user's to change, whatever rights the shipped file has.
        QFile::setPermissions(kopie, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    return forms::T(ordner);
}
