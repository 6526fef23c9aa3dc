#include "foundation/mdlLaufTabellen.h"

#include <algorithm>
#include <vector>

#include "foundation/mdlDeklarationen.h"
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
