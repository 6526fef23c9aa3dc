#pragma once
// A table in gDatenbank with the given columns and rows, filled in one transaction.
// Text columns allow "". An Empty value in a row is not written, so an
// auto-increment column numbers the row itself.
#include <string>
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

// A value as the tests compare it: "<Null>", "<Empty>", a text as it is, a number as "#" and its text.
inline std::string W(const Variante& v) {
    if (v.istNull()) return "<Null>";
    if (v.istEmpty()) return "<Empty>";
    if (v.istText()) return nachUtf8(v.text());
    return "#" + nachUtf8(v.alsText());
}

// Column `spalte` of every row of the table (or of a query), as W shows them.
inline std::vector<std::string> TabellenSpalte(const Text& tabelle, const Text& spalte) {
    std::vector<std::string> r;
    auto rs = gDatenbank->OpenRecordset(tabelle);
    for (; !rs->EOF_(); rs->MoveNext()) r.push_back(W(rs->Fields()[spalte]->Value()));
    rs->Close();
    return r;
}

// The column names of a table.
inline std::vector<std::string> TabellenSpalten(const Text& tabelle) {
    std::vector<std::string> r;
    for (const auto& f : gDatenbank->TableDefs()[tabelle]->Fields().liste()) r.push_back(nachUtf8(f->Name()));
    return r;
}
