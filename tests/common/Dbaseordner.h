#pragma once
// A dBase folder as gDatenbank, opened through the dBase driver as DatenbankÖffnen
// opens it once the engine picks the driver by the connect text.
#include <string>

#include "foundation/mdlDeklarationen.h"
#include "platform/dao/Dao.h"
#include "platform/dao/storage/dbase/DbaseTreiber.h"

inline void DbaseOrdnerÖffnen(const std::string& ordner) {
    gDAOVerbindung = u"Dbase 5;";
    gDatenbank =
        gArbeitsbereich->OpenDatabase(dao::speicher::dbase::TreiberÖffnen(ausUtf8(ordner), false), ausUtf8(ordner));
}
