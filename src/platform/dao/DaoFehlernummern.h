#pragma once
// The engine's error numbers as DAO numbers them, each with its German text. A raise
// site gives its own, more precise description (naming the file, table or field) where
// it has one; the text here says what the number means.
#include <cstdint>

namespace dao::fehler {

struct Eintrag {
    int32_t nummer;
    const char16_t* text;
};

inline constexpr int32_t Allgemein = 3000, UngültigesArgument = 3001, FeldgrößeUngültig = 3009, TabelleVorhanden = 3010,
                         ObjektNichtGefunden = 3011, UpdateOhneEdit = 3020, KeinAktuellerDatensatz = 3021,
                         DoppelterSchlüssel = 3022, DateiNichtGefunden = 3024, Schreibgeschützt = 3027,
                         KennwortUngültig = 3031, KeineTransaktion = 3034, EinAusgabe = 3040, DatenträgerVoll = 3043,
                         PfadUngültig = 3044, DateiNichtÖffenbar = 3051, SchlüsselNull = 3058, ZuWenigeParameter = 3061,
                         AuswahlabfrageAusgeführt = 3065, SyntaxfehlerAusdruck = 3075, TabelleNichtGefunden = 3078,
                         NameUngültig = 3125, SqlUngültig = 3129, LesezeichenUngültig = 3159, TextZuLang = 3163,
                         DatensatzGelöscht = 3167, TreiberFehlt = 3170, FeldVorhanden = 3191, FremdGeändert = 3197,
                         DatenbankVorhanden = 3204, OperationUngültig = 3219, TransaktionOffen = 3246,
                         NichtUnterstützt = 3251, Gesperrt = 3260, OhneFelder = 3264, NichtInAuflistung = 3265,
                         FormatUnerwartet = 3274, FeldImIndex = 3280, PrimärschlüsselVorhanden = 3283,
                         InBeziehung = 3303, PflichtfeldNull = 3314, LeereZeichenfolge = 3315, FormatUnbekannt = 3343,
                         NumerischerÜberlauf = 3349, NameVorhanden = 3367, ObjektUngültig = 3420, DatentypFalsch = 3421,
                         DatentypKriterium = 3464;

inline constexpr Eintrag kKatalog[] = {
    {Allgemein, u"Reservierter Fehler."},
    {UngültigesArgument, u"Ungültiges Argument."},
    {FeldgrößeUngültig, u"Ungültige Feldgröße."},
    {TabelleVorhanden, u"Die Tabelle ist bereits vorhanden."},
    {ObjektNichtGefunden, u"Das Objekt wurde nicht gefunden."},
    {UpdateOhneEdit, u"Update oder CancelUpdate ohne AddNew oder Edit."},
    {KeinAktuellerDatensatz, u"Kein aktueller Datensatz."},
    {DoppelterSchlüssel, u"Die Änderung wurde nicht gespeichert: doppelte Werte in einem eindeutigen Index."},
    {DateiNichtGefunden, u"Die Datei wurde nicht gefunden."},
    {Schreibgeschützt, u"Die Datenbank oder das Objekt ist schreibgeschützt."},
    {KennwortUngültig, u"Kein gültiges Kennwort."},
    {KeineTransaktion, u"Es wurde keine Transaktion begonnen."},
    {EinAusgabe, u"Beim Lesen oder Schreiben des Datenträgers ist ein Fehler aufgetreten."},
    {DatenträgerVoll, u"Auf dem Datenträger ist kein Platz mehr."},
    {PfadUngültig, u"Ungültiger Pfad."},
    {DateiNichtÖffenbar, u"Die Datei kann nicht geöffnet werden."},
    {SchlüsselNull, u"Der Primärschlüssel darf nicht Null sein."},
    {ZuWenigeParameter, u"Zu wenige Parameter."},
    {AuswahlabfrageAusgeführt, u"Eine Auswahlabfrage kann nicht ausgeführt werden."},
    {SyntaxfehlerAusdruck, u"Syntaxfehler im Ausdruck."},
    {TabelleNichtGefunden, u"Die Tabelle wurde nicht gefunden."},
    {NameUngültig, u"Kein gültiger Name."},
    {SqlUngültig, u"Ungültige SQL-Anweisung."},
    {LesezeichenUngültig, u"Das Lesezeichen ist ungültig."},
    {TextZuLang, u"Der Text ist zu lang für das Feld."},
    {DatensatzGelöscht, u"Der Datensatz ist gelöscht."},
    {TreiberFehlt, u"Kein passender Speichertreiber gefunden."},
    {FeldVorhanden, u"Das Feld ist bereits vorhanden."},
    {FremdGeändert, u"Die Datei wurde von einem anderen Programm geändert."},
    {DatenbankVorhanden, u"Die Datenbank ist bereits vorhanden."},
    {OperationUngültig, u"Ungültige Operation."},
    {TransaktionOffen, u"Nicht möglich, solange eine Transaktion offen ist."},
    {NichtUnterstützt, u"Nicht unterstützt."},
    {Gesperrt, u"Die Datei ist gesperrt."},
    {OhneFelder, u"Keine Felder definiert."},
    {NichtInAuflistung, u"Element in dieser Auflistung nicht gefunden."},
    {FormatUnerwartet, u"Die Datei hat nicht das erwartete Format."},
    {FeldImIndex, u"Das Feld gehört zu einem Index."},
    {PrimärschlüsselVorhanden, u"Die Tabelle hat bereits einen Primärschlüssel."},
    {InBeziehung, u"Die Tabelle gehört zu einer Beziehung."},
    {PflichtfeldNull, u"Das Feld darf nicht Null sein."},
    {LeereZeichenfolge, u"Das Feld darf keine leere Zeichenfolge enthalten."},
    {FormatUnbekannt, u"Nicht erkanntes Datenbankformat."},
    {NumerischerÜberlauf, u"Numerischer Überlauf."},
    {NameVorhanden, u"Ein Objekt dieses Namens ist bereits vorhanden."},
    {ObjektUngültig, u"Objekt ungültig oder nicht mehr festgelegt."},
    {DatentypFalsch, u"Der Wert passt nicht zum Datentyp."},
    {DatentypKriterium, u"Datentypen im Kriterienausdruck unverträglich."},
};

// The text of a number; nullptr for one that is not the engine's.
constexpr const char16_t* Text(int32_t nummer) {
    for (const Eintrag& e : kKatalog)
        if (e.nummer == nummer) return e.text;
    return nullptr;
}

// Each number once, so that a text cannot hide behind another.
constexpr bool JedeNummerEinmal() {
    for (const Eintrag& a : kKatalog)
        for (const Eintrag& b : kKatalog)
            if (&a != &b && a.nummer == b.nummer) return false;
    return true;
}
static_assert(JedeNummerEinmal());

}  // namespace dao::fehler
