#include <gtest/gtest.h>

#include <initializer_list>

#include "foundation/mdlFeldInhalte.h"

namespace {

const Variante E = Variante::Empty();
const Variante N = Variante::Null();

struct Fall {
    Variante ein, aus;
};

using Normalisierer = Variante (*)(const Variante&);

void prüfen(Normalisierer f, std::initializer_list<Fall> fälle) {
    for (const auto& fall : fälle) {
        const Variante ist = f(fall.ein);
        EXPECT_TRUE(ist.identisch(fall.aus)) << fall.ein << " gives " << ist << ", expected " << fall.aus;
    }
}

}  // namespace

TEST(FeldInhalte, EmptyUndNullGebenEmpty) {
    for (Normalisierer f : {FirmennameNormalisieren, RechtsformNormalisieren, StraßeNormalisieren,
                            HausnummerNormalisieren, PostleitzahlNormalisieren, OrtNormalisieren,
                            LandesvorwahlErmitteln, VorwahlNormalisieren, TelefonNormalisieren, AnredeErmitteln,
                            TitelErmitteln, AnredeNormalisieren, VornameNormalisieren, NachnameNormalisieren}) {
        EXPECT_TRUE(f(E).istEmpty());
        EXPECT_TRUE(f(N).istEmpty());
    }
}

TEST(FeldInhalte, Firmenname) {
    prüfen(FirmennameNormalisieren, {
        {u"Beispiel GmbH & Co. KG", u"Beispiel & Co."},  // whole words only: "Co." stays
        {u"GmbH", E},
        {u"G. M. B. H.", u""},  // removal leaves the empty text, whose empty word stays
        {u"", u""},
        {u" GmbH", u""},
        {u"Muster g. m. b. h.", u"Muster"},
        {u"Muster G. m. b. H.", u"Muster"},
        {u"Muster G.m.b.H.", u"Muster G.m.b.H."},
        {u"Beispiel gmbh & co kg", u"Beispiel &"},
        {u"Beispiel  AG", u"Beispiel"},
        {u"Agrar KGaA", u"Agrar"},
        {u"Beispiel GbR mbH", u"Beispiel"},
        {u"Agentur Beispiel", u"Agentur Beispiel"},
        {Variante(4711), u"4711"},
    });
}

TEST(FeldInhalte, Rechtsform) {
    prüfen(RechtsformNormalisieren, {
        {u"Beispiel GmbH & Co. KG", u"GmbH & Co. KG"},
        {u"Beispiel Computer", u"Co."},  // a word beginning with CO counts
        {u"GmbH", E},                    // no blank before it
        {u"Beispiel G. M. B. H.", u"GmbH"},
        {u"Beispiel gmbh Agentur", u"GmbH AG"},
        {u"Beispiel GbRmbH", u"GbRmbH"},
        {u"Beispiel GbR", u"GbR"},
        {u"Beispiel mbH", u"GmbH"},
        {u"Beispiel KGaA", u"KGaA"},  // the KG inside it is removed with it
        {u"Beispiel GmbH, Muster GmbH", u"GmbH"},
        {u"Beispiel G. M. B. H. und Muster GmbH", u"GmbH GmbH"},
        {u"Beispiel", E},
    });
}

TEST(FeldInhalte, StraßeUndHausnummer) {
    struct Adresse {
        Variante ein, straße, hausnummer;
    };
    for (const auto& f : {
             Adresse{u"Musterstr. 12a", u"Musterstr.", u"12a"},
             Adresse{u"Hauptstraße 12a ", u"Hauptstraße", u"12a "},  // the number keeps its blank
             Adresse{u"12 Hauptstraße", E, u"12 Hauptstraße"},
             Adresse{u"  Am Markt  ", u"Am Markt", E},
             Adresse{u"Straße des 17. Juni 5", u"Straße des", u"17. Juni 5"},
             Adresse{u"   ", u"", E},
             Adresse{u"", u"", E},
             Adresse{Variante(12), E, u"12"},
         }) {
        EXPECT_TRUE(StraßeNormalisieren(f.ein).identisch(f.straße)) << f.ein << " " << StraßeNormalisieren(f.ein);
        EXPECT_TRUE(HausnummerNormalisieren(f.ein).identisch(f.hausnummer))
            << f.ein << " " << HausnummerNormalisieren(f.ein);
    }
}

TEST(FeldInhalte, PostleitzahlUndOrt) {
    struct Adresse {
        Variante ein, plz, ort;
    };
    for (const auto& f : {
             Adresse{u"12345 Berlin-Mitte", u"12345", u"Berlin-Mitte"},
             Adresse{u"D-12345 Berlin", u"12345", u"D-12345 Berlin"},
             Adresse{u"12345", u"12345", E},
             Adresse{u"123", E, E},
             Adresse{u"1234 AB", u"1234", u"AB"},
             Adresse{u"12345-6789", u"12345-6789", E},
             Adresse{u"12 34 Ort", u"12 34", u"Ort"},
             Adresse{u"1 2 x", E, u"x"},
             Adresse{u"12345Äbc", u"12345", u"Äbc"},
             Adresse{u"12345 - Bad Homburg ", u"12345 -", u"Bad Homburg "},  // the town untrimmed
             Adresse{u"Berlin", E, u"Berlin"},
             Adresse{u" - ", E, E},
             Adresse{Variante(22767), u"22767", E},
         }) {
        EXPECT_TRUE(PostleitzahlNormalisieren(f.ein).identisch(f.plz))
            << f.ein << " " << PostleitzahlNormalisieren(f.ein);
        EXPECT_TRUE(OrtNormalisieren(f.ein).identisch(f.ort)) << f.ein << " " << OrtNormalisieren(f.ein);
    }
}

TEST(FeldInhalte, LandesUndOrtsvorwahl) {
    struct Nummer {
        Variante ein, land, vorwahl;
    };
    for (const auto& f : {
             Nummer{u"+49 221 1234", u"+49", u"0221"},
             Nummer{u"0049 221 1234", u"+49", u"0221"},
             Nummer{u"49 221 1234", u"+49", u"0221"},
             Nummer{u" +49 221 1234", u"+49", u"0221"},  // the leading blank does not shift the cut
             Nummer{u"+49 (040) 123456", u"+49", u"040"},
             Nummer{u"+49 040 123456", u"+49", u"040"},
             Nummer{u"+49-221-1234", u"+49", u"0221"},
             Nummer{u"49/221", u"+49", u"0221"},
             Nummer{u"+49", u"+49", E},
             Nummer{u"49", u"+49", E},
             Nummer{u"+4 9", u"+4 ", u"09"},  // a digit beside a blank is numeric
             Nummer{u"0221 1234", E, u"0221"},
             Nummer{u"0221/1234", E, u"0221"},
             Nummer{u"(0221) 1234", E, u"0221"},
             Nummer{u"221 1234", E, E},
             Nummer{u"+/49 221", E, E},
             Nummer{u"+", E, E},
             Nummer{u"", E, E},
         }) {
        EXPECT_TRUE(LandesvorwahlErmitteln(f.ein).identisch(f.land)) << f.ein << " " << LandesvorwahlErmitteln(f.ein);
        EXPECT_TRUE(VorwahlNormalisieren(f.ein).identisch(f.vorwahl)) << f.ein << " " << VorwahlNormalisieren(f.ein);
    }
}

TEST(FeldInhalte, Telefon) {
    prüfen(TelefonNormalisieren, {
        {u"0221 123456", u"123456"},
        {u"0221/12 34 56", u"3456"},  // a short last word takes the one before it
        {u"+49 221 123-456", u"123456"},
        {u"0221 12 3", u"123"},
        {u"123", u"123"},
        {u"0221", E},
        {u"0221 01 23", E},
        {u"/-", u""},
        {Variante(123456), u"123456"},
    });
}

TEST(FeldInhalte, AnredeUndTitel) {
    prüfen(AnredeErmitteln, {
        {u"Herrn Beispiel", E},
        {u"Fr. Dr. Beispiel", u"Frau"},
        {u"Herr", u"Herr"},
        {u"herr beispiel", u"Herr"},
        {u"Hr. Beispiel", u"Herr"},
        {u"Frau und Herr Beispiel", u"Herr"},
        {u"Frau", u"Frau"},
        {u"Chr. Beispiel", u"Herr"},  // substring test
        {u"Damen und Herren", E},
        {u"Firma Beispiel", E},
    });
    prüfen(TitelErmitteln, {
        {u"Herr Prof. Dr. Beispiel", u"Prof. Dr."},
        {u"dr. med. Beispiel", u"dr. med."},
        {u"Dr. rer. nat. h. c. Beispiel", u"Dr. rer. nat. h. c."},
        {u"Dr. phil.  Dr. pol.", u"Dr. phil. Dr. pol."},
        {u"Dr Beispiel", E},
        {u"Prof.Dr. Beispiel", E},
        {u"Beispiel", E},
    });
    prüfen(AnredeNormalisieren, {
        {u"Herr Prof. Dr. Beispiel", u"Herr Prof. Dr."},
        {u"Dr. Beispiel", u"Dr."},
        {u"Frau Beispiel", u"Frau"},
        {u"FRAU DR. Beispiel", u"Frau DR."},
        {u"Beispiel", E},
    });
}

TEST(FeldInhalte, VorUndNachname) {
    prüfen(VornameNormalisieren, {
        {u"Herr Dr. Hans Beispiel", u"Hans"},
        {u"Hans Peter Beispiel", u"Hans"},
        {u"Beispiel", E},
        {u" Hans Beispiel", u""},  // the empty first word qualifies
        {u"Beispiel Beispiel", E},
        {u"Frau Beispiel", E},
        {u"Herrn Hans Beispiel", u"Herrn"},
        {u"Hans Beispiel ", u"Hans"},
        {u"", E},
    });
    prüfen(NachnameNormalisieren, {
        {u"Hans Peter Beispiel", u"Beispiel"},
        {u"Beispiel", u"Beispiel"},
        {u"Beispiel ", u""},
        {u"", u""},
        {Variante(42), u"42"},
    });
}

TEST(FeldInhalte, DispatchNachTyp) {
    struct Typfall {
        Typcode typ;
        Variante ein, aus;
    };
    for (const auto& f : {
             Typfall{21, u"Beispiel GmbH", u"Beispiel"},
             Typfall{22, u"Beispiel GmbH", u"GmbH"},
             Typfall{31, u"Musterstr. 12a", u"Musterstr."},
             Typfall{32, u"Musterstr. 12a", u"12a"},
             Typfall{33, u"12345 Berlin", u"12345"},
             Typfall{34, u"12345 Berlin", u"Berlin"},
             Typfall{41, u"Herr Dr. Hans Beispiel", u"Herr Dr."},
             Typfall{42, u"Herr Dr. Hans Beispiel", u"Hans"},
             Typfall{43, u"Herr Dr. Hans Beispiel", u"Beispiel"},
             Typfall{51, u"+49 (040) 123456", u"040"},
             Typfall{52, u"+49 (040) 123456", u"123456"},
             Typfall{53, u"+49 (040) 123456", u"123456"},
             Typfall{1, u" Hans ", u" Hans "},
             Typfall{11, Variante(42), Variante(42)},  // passed through as a number
             Typfall{23, u"Handel 12", u"Handel 12"},
             Typfall{44, u"Einkauf", u"Einkauf"},
             Typfall{61, u"info@beispiel.de", u"info@beispiel.de"},
             Typfall{62, u"www.beispiel.de", u"www.beispiel.de"},
             Typfall{0, u"Hans", E},
             Typfall{12, u"Hans", E},
             Typfall{99, u"Hans", E},
             Typfall{-1, u"Hans", E},
         }) {
        const Variante ist = FeldinhaltNormalisieren(f.ein, f.typ);
        EXPECT_TRUE(ist.identisch(f.aus)) << f.typ << ": " << f.ein << " gives " << ist;
    }
}

TEST(FeldInhalte, DispatchEmptyUndNull) {
    for (Typcode typ : {1, 11, 23, 44, 61, 62}) {
        EXPECT_TRUE(FeldinhaltNormalisieren(N, typ).istNull()) << typ;
        EXPECT_TRUE(FeldinhaltNormalisieren(E, typ).istEmpty()) << typ;
    }
    for (Typcode typ : {0, 12, 21, 22, 31, 32, 33, 34, 41, 42, 43, 51, 52, 53}) {
        EXPECT_TRUE(FeldinhaltNormalisieren(N, typ).istEmpty()) << typ;
        EXPECT_TRUE(FeldinhaltNormalisieren(E, typ).istEmpty()) << typ;
    }
}
