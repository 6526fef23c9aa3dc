#include "foundation/mdlStart.h"

#include "foundation/Oberflaeche.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlFeldtypen.h"
#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"
#include "platform/dao/Dao.h"

bool ProgrammInitialisieren() {
    Randomize();
    FeldtypenInitialisieren();
    gSystemmeldung = true;
    // The engine itself needs no object of its own: CreateWorkspace is its entry.
    if (!ArbeitsbereichErstellen(2)) return false;
    gRegSchlüssel = Text(u"Software\\") + u"Valdrin Software" + u"\\" + u"Purivo" + u"\\" + u"1.0";
    return true;
}

bool ArbeitsbereichErstellen(int32_t Typ) {
    try {
        gArbeitsbereich = dao::CreateWorkspace(Text(), u"Admin", Text(), Typ);
        return true;
    } catch (const LaufzeitFehler& e) {
        gArbeitsbereich.reset();
        // No error trap can help here: without a workspace no database opens.
        Oberfläche().Meldung(Text(u"Die Datenbank-Engine konnte nicht gestartet werden (kein Arbeitsbereich).") +
                                 u"\rDas Programm wird beendet." + u"\r\rSystemmeldung:\r" + e.Beschreibung(),
                             vb::OKOnly + vb::Critical, u" Fehler!");
        return false;
    }
}

bool ArbeitsbereichSchließen() {
    DatenbankSchließen(gDatenbank);
    if (gDatenbank) return false;
    // After a failed start-up there is no workspace to close.
    if (!gArbeitsbereich) return true;
    // Every database the program opened is closed by now; the workspace has nothing
    // left to write back.
    gArbeitsbereich->Close();
    gArbeitsbereich.reset();
    return true;
}
