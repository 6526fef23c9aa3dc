#include "ui/frmInfo.h"

#include <QFrame>
#include <QStyle>

#include "foundation/Oberflaeche.h"
#include "platform/registry/Registry.h"
#include "platform/shell/Shell.h"
#include "ui/frmHaupt.h"

using forms::Q;

frmInfo::frmInfo(QWidget* besitzer) : QDialog(besitzer) {
    setObjectName(QStringLiteral("frmInfo"));
    // No caption, no minimise or maximise box; a dialog of the main window stays out of the taskbar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QString());
    setFixedSize(forms::Pixel(5295), forms::Pixel(4260));

    auto* bild = new QLabel(this);
    bild->setObjectName(QStringLiteral("Image1"));
    bild->setAccessibleDescription(QStringLiteral("Image1"));
    bild->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    forms::Platzieren(bild, 240, 240, 480, 480);

    lblTitle = elemente_.Anlegen<forms::Beschriftung>(this, QStringLiteral("lblTitle"));
    lblTitle->CaptionSetzen(QStringLiteral("Purivo"));
    QFont groß = lblTitle->font();
    groß.setPointSize(16);
    groß.setBold(true);
    lblTitle->setFont(groß);
    forms::Platzieren(lblTitle, 1050, 210, 3960, 480);
    lblVersion = elemente_.Anlegen<forms::Beschriftung>(this, QStringLiteral("lblVersion"));
    lblVersion->CaptionSetzen(QStringLiteral("Version 1.0"));
    forms::Platzieren(lblVersion, 1050, 780, 3960, 285);

    auto trennlinie = [this](int oben) {
        auto* linie = new QFrame(this);
        linie->setFrameShape(QFrame::HLine);
        linie->setFrameShadow(QFrame::Sunken);
        forms::Platzieren(linie, 240, oben, 4815, 30);
    };
    trennlinie(1320);
    lblDescription = elemente_.Anlegen<forms::Beschriftung>(this, QStringLiteral("lblDescription"));
    // The address as a reader writes it, without the scheme.
    Text seite = Internetseite;
    if (seite.rfind(u"https://", 0) == 0) seite.erase(0, 8);
    if (!seite.empty() && seite.back() == u'/') seite.pop_back();
    lblDescription->CaptionSetzen(Q(seite + u"   " + Kontaktadresse));
    lblDescription->setTextInteractionFlags(Qt::TextSelectableByMouse);
    forms::Platzieren(lblDescription, 240, 1560, 4815, 720);
    trennlinie(3000);

    cmdOK = elemente_.Anlegen<forms::Schaltfläche>(this, QStringLiteral("cmdOK"));
    cmdOK->CaptionSetzen(QStringLiteral("OK"));
    cmdOK->setDefault(true);
    forms::Platzieren(cmdOK, 3360, 3300, 1695, 375);
    cmdOK->Click = [this] { accept(); };
    cmdSysInfo = elemente_.Anlegen<forms::Schaltfläche>(this, QStringLiteral("cmdSysInfo"));
    cmdSysInfo->CaptionSetzen(QStringLiteral("&Systeminfo..."));
    forms::Platzieren(cmdSysInfo, 3360, 3765, 1695, 375);
    cmdSysInfo->Click = [] { StartSysInfo(); };
}

void mnuInfo_Click() {
    frmInfo info(&Haupt());
    info.exec();
}

bool GetKeyValue(int32_t KeyRoot, const Text& KeyName, const Text& SubKeyRef, Text& KeyVal) {
    int32_t schlüssel = 0;
    if (registry::RegOpenKeyEx(KeyRoot, KeyName, 0x2003F, schlüssel) != registry::ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    uint32_t typ = 0, größe = 1024;
    std::vector<uint8_t> daten(größe);
    const bool gelesen = registry::RegQueryValueEx(schlüssel, SubKeyRef, typ, &daten, größe) == registry::ERROR_SUCCESS;
    registry::RegCloseKey(schlüssel);
    if (!gelesen) {
        KeyVal.clear();
        return false;
    }
    daten.resize(größe);
    if (typ == registry::REG_SZ) {
        std::string s(daten.begin(), daten.end());
        if (!s.empty() && s.back() == '\0') s.pop_back();
        KeyVal = TextAusAnsi(s);
    } else if (typ == registry::REG_DWORD && daten.size() >= 4) {
        uint32_t zahl = 0;
        for (int i = 3; i >= 0; --i) zahl = zahl << 8 | daten[static_cast<size_t>(i)];
        KeyVal = ausUtf8(std::to_string(zahl));
    }
    return true;
}

void StartSysInfo() {
    // Linux has no system-information program of that kind; the registry that
    // would name one is empty there, so the lookups below fail as on a system without it.
    Text pfad;
    if (GetKeyValue(registry::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", u"PATH", pfad) &&
        shell::Öffnen(nachUtf8(pfad), nachUtf8(pfad)))
        return;
    if (GetKeyValue(registry::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Shared Tools Registry_SubKey", u"MSINFO",
                    pfad)) {
        const std::string programm = nachUtf8(pfad + u"\\MSINFO32.EXE");
        if (shell::Öffnen(programm, programm)) return;
    }
    Oberfläche().Meldung(u"Systeminformationen sind momentan nicht verfügbar", vb::OKOnly, std::nullopt);
}
