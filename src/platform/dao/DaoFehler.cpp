#include "platform/dao/DaoFehler.h"

#include <utility>

namespace dao {
namespace {
int32_t gAnzahl = 0;
}

void FehlerAuslösen(int32_t nummer, Text beschreibung) {
    gAnzahl = 1;
    throw LaufzeitFehler(nummer, std::move(beschreibung));
}

int32_t FehlerAnzahl() { return gAnzahl; }
void FehlerSammlungLeeren() { gAnzahl = 0; }
}  // namespace dao
