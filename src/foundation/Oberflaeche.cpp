#include "foundation/Oberflaeche.h"

#include <cstdio>
#include <cstdlib>

namespace {
Benutzeroberfläche* gAktuelle = nullptr;
}

Benutzeroberfläche& Oberfläche() {
    if (!gAktuelle) {
        // A core routine ran without a window: a programming error, not a user's.
        std::fputs("Purivo: keine Benutzeroberfläche gesetzt\n", stderr);
        std::abort();
    }
    return *gAktuelle;
}

void OberflächeSetzen(Benutzeroberfläche* o) { gAktuelle = o; }
