#pragma once
// Building a driver's write-back by hand: a field description and one table entry.
#include <utility>
#include <vector>

#include "platform/dao/storage/Speichertreiber.h"

inline dao::speicher::FeldBeschreibung feld(Text name, int16_t typ, int32_t größe = 0) {
    dao::speicher::FeldBeschreibung f;
    f.name = std::move(name);
    f.typ = typ;
    f.größe = größe;
    return f;
}

inline dao::speicher::Rückschrift::Tabelle eintrag(dao::speicher::TabellenBeschreibung b,
                                                   dao::speicher::Rückschrift::Zustand zustand, Text alterName,
                                                   std::vector<std::vector<Variante>> zeilen) {
    dao::speicher::Rückschrift::Tabelle t;
    t.beschreibung = std::move(b);
    t.zustand = zustand;
    t.alterName = std::move(alterName);
    t.zeilen = [zeilen = std::move(zeilen)](const dao::speicher::Zeilenziel& ziel) {
        for (const auto& z : zeilen) ziel(z);
    };
    return t;
}
