#pragma once
// A table in gDatenbank with the given columns and rows, filled in one transaction.
// Text columns allow "". An Empty value in a row is not written, so an
// auto-increment column numbers the row itself.
#include <vector>

#include "foundation/mdlDeklarationen.h"
#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"
#include "platform/dao/Dao.h"

struct Testspalte {
    Text name;
    int16_t typ = dao::dbText;
    int32_t größe = 50;
};

inline void TesttabelleAnlegen(const Text& name, const std::vector<Testspalte>& spalten,
                               const std::vector<std::vector<Variante>>& zeilen) {
    auto t = gDatenbank->CreateTableDef(name);
    for (const auto& s : spalten) {
        auto f = t->CreateField(s.name, s.typ, s.typ == dao::dbText ? s.größe : 0);
        f->AllowZeroLength(true);
        t->Fields().Append(f);
    }
    gDatenbank->TableDefs().Append(t);
    gArbeitsbereich->BeginTrans();
    auto rs = gDatenbank->OpenRecordset(name);
    for (const auto& z : zeilen) {
        rs->AddNew();
        for (size_t i = 0; i < z.size(); ++i)
            if (!z[i].istEmpty()) rs->Fields()[static_cast<int32_t>(i)]->Value(z[i]);
        rs->Update();
    }
    rs->Close();
    gArbeitsbereich->CommitTrans();
}
