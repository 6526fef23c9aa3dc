#pragma once
// The about box: product, version, the maker's addresses, and the system
// information program where the system has one.
#include <QDialog>

#include "platform/basic/Text.h"
#include "platform/forms/Steuerelemente.h"

// The maker's addresses.
inline constexpr const char16_t* Internetseite = u"https://www.valdrin.example/";
inline constexpr const char16_t* Kontaktadresse = u"info@valdrin.example";
inline constexpr const char16_t* Supportadresse = u"support@valdrin.example";

class frmInfo : public QDialog {
public:
    explicit frmInfo(QWidget* besitzer);
    forms::Steuerelementliste& Elemente() { return elemente_; }
    forms::Beschriftung *lblTitle, *lblVersion, *lblDescription;
    forms::Schaltfläche *cmdOK, *cmdSysInfo;

private:
    forms::Steuerelementliste elemente_;
};

// Shows the about box modally and returns when it is closed.
void mnuInfo_Click();
void StartSysInfo();
// The text of a registry value into `KeyVal`; false when key or value cannot be read.
bool GetKeyValue(int32_t KeyRoot, const Text& KeyName, const Text& SubKeyRef, Text& KeyVal);
