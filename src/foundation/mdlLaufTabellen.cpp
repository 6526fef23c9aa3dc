#include "foundation/mdlLaufTabellen.h"

#include <algorithm>
#include <vector>

#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlMeldungen.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"

namespace {
std::vector<Text> angelegt;  // name keys
}

void LaufTabellenLeeren() { angelegt.clear(); }

void LaufTabelleAngelegt(TextSicht Name) {
    if (!VomLaufAngelegt(Name)) angelegt.push_back(dao::NamenSchlüssel(Name));
}

bool VomLaufAngelegt(TextSicht Name) {
    return std::find(angelegt.begin(), angelegt.end(), dao::NamenSchlüssel(Name)) != angelegt.end();
}

bool LaufTabelleLöschen(TextSicht Name) {
    if (!VomLaufAngelegt(Name) || !gDatenbank) return false;
    try {
        gDatenbank->TableDefs().Delete(Name);
    } catch (const LaufzeitFehler&) {
        return false;
    }
    std::erase(angelegt, dao::NamenSchlüssel(Name));
    return true;
}

namespace {
bool EinerVon(TextSicht Name, std::initializer_list<const char16_t*> Namen) {
    const Text Schlüssel = Großschreiben(Variante(Text(Name)));
    return std::any_of(Namen.begin(), Namen.end(), [&](const char16_t* n) { return Schlüssel == n; });
}
}  // namespace

bool ReservierterTabellenname(TextSicht Name) { return EinerVon(Name, {u"TEMP_DS", u"TEMP_DA", u"TEMP_ND"}); }

Text ReservierteSpalte(TextSicht Tabelle) {
    if (!gDatenbank) return {};
    try {
        auto& Felder = gDatenbank->TableDefs()[Tabelle]->Fields();
        for (int32_t i = 0; i < Felder.Count(); ++i) {
            const Text Name = Felder[i]->Name();
            if (EinerVon(Name, {u"TEMP_DSS", u"TEMP_DSN", u"TEMP_BN", u"TEMP_AMK", u"TEMP_DSQ"})) return Name;
        }
    } catch (const LaufzeitFehler&) {
    }
    return {};
}

bool ReservierteNamenPrüfen(const std::vector<Text>& Namen, const std::vector<Text>& Quellen) {
    for (const Text& Name : Namen) {
        if (!ReservierterTabellenname(Name)) continue;
        AchtungAnzeigen(Variante(u"Der Tabellenname '" + Name +
                                 u"' ist für die Arbeitstabellen des Programms reserviert." + Text(1, 13) +
                                 u"Bitte wählen sie einen anderen Namen."));
        return false;
    }
    for (const Text& Quelle : Quellen) {
        const Text Spalte = ReservierteSpalte(Quelle);
        if (Spalte.empty()) continue;
        AchtungAnzeigen(Variante(u"Die Tabelle '" + Quelle + u"' enthält die Spalte '" + Spalte +
                                 u"', deren Name für die Verwaltungsspalten des Programms reserviert ist." +
                                 Text(1, 13) + u"Bitte benennen sie die Spalte vorher um."));
        return false;
    }
    return true;
}
