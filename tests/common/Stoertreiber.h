#pragma once
// A storage driver around a real one whose next writes a test can make fail, as a
// full disk would: the engine's driver interface is the seam, the product has none.
#include <memory>
#include <string>

#include "foundation/mdlDeklarationen.h"
#include "platform/dao/Dao.h"
#include "platform/dao/DaoFehler.h"
#include "platform/dao/storage/Speichertreiber.h"
#include "platform/dao/storage/dbase/DbaseTreiber.h"

inline const Text kVollerDatenträger = u"Auf dem Datenträger ist kein Platz mehr.";

struct Schreibstörung {
    int fehlschläge = 0;  // so many of the next writes fail
    int versuche = 0;     // writes asked for, failed ones included
};

class Störtreiber : public dao::speicher::Speichertreiber {
public:
    Störtreiber(std::unique_ptr<Speichertreiber> innen, std::shared_ptr<Schreibstörung> s)
        : innen_(std::move(innen)), s_(std::move(s)) {}
    dao::speicher::Struktur StrukturLesen() override { return innen_->StrukturLesen(); }
    void ZeilenLesen(const dao::speicher::TabellenBeschreibung& t, const dao::speicher::Zeilenziel& z) override {
        innen_->ZeilenLesen(t, z);
    }
    bool Schreibbar() const override { return innen_->Schreibbar(); }
    Text SchreibschutzGrund() const override { return innen_->SchreibschutzGrund(); }
    void TabellennamePrüfen(TextSicht name) const override { innen_->TabellennamePrüfen(name); }
    void Schreiben(const dao::speicher::Rückschrift& r) override {
        ++s_->versuche;
        if (s_->fehlschläge > 0) {
            --s_->fehlschläge;
            dao::FehlerAuslösen(3043, kVollerDatenträger);
        }
        innen_->Schreiben(r);
    }

private:
    std::unique_ptr<Speichertreiber> innen_;
    std::shared_ptr<Schreibstörung> s_;
};

// A dBase folder as gDatenbank, through the dBase driver behind a Störtreiber.
inline std::shared_ptr<Schreibstörung> GestörtenDbaseOrdnerÖffnen(const std::string& ordner) {
    auto s = std::make_shared<Schreibstörung>();
    gDAOVerbindung = u"Dbase 5;";
    gDatenbank = gArbeitsbereich->OpenDatabase(
        std::make_unique<Störtreiber>(dao::speicher::dbase::TreiberÖffnen(ausUtf8(ordner), false), s), ausUtf8(ordner));
    return s;
}
