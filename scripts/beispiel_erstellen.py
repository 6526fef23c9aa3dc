#!/usr/bin/python3
"""Writes share/Beispiel.xls, the sample workbook a new user tries the program on.

Sheet "Kunden" (43 addresses, first row the column names):
  Kundennr, Firma, Anrede, Vorname, Nachname, Strasse (street and number in one),
  PLZ Ort (postcode and town in one), Telefon, Telefax, Email, Internet.
  Five groups of duplicates, written the way copies drift apart:
    Müller Feinmechanik (three copies: "Mueller", "Gmbh & Co. KG", "Hauptstr." for
    "Hauptstraße", "030/4417820" for "030 4417820", one without email),
    Schröder Haustechnik (a typo in the name, "0221-..." for "0221 ..."),
    Wagner & Söhne Landtechnik ("Dorfstr.", "(05141) ...", one without web address),
    Brandt Elektro (one without first name, "Str.", email in other case),
    Autohaus Weiß ("Weiss", "Strasse").
  Five junk records: no company and no surname; "asdf" with street and town "xxx"
  and telephone "0"; the postcode "80x31"; telephone "0" with an email without "@";
  the company "12345". The rest are clean, across Germany. Every record that is
  not junk has a telephone and a fax number with area code: the junk search's
  default boxes report a missing area code in either column.
  "Strasse" and "PLZ Ort" give the field split something to do, Vorname and
  Nachname the merge.
Sheet "Referenz" (15 addresses, the same columns without Kundennr): five firms of
  "Kunden" written a little differently (for the matching), ten new ones (for
  adding new data).

All names, addresses, numbers and domains are invented. The output is the same on
every run. Usage: scripts/beispiel_erstellen.py [target file]
"""
import os
import sys

import xlwt

SPALTEN = ["Kundennr", "Firma", "Anrede", "Vorname", "Nachname", "Strasse", "PLZ Ort",
           "Telefon", "Telefax", "Email", "Internet"]

# Kundennr, Firma, Anrede, Vorname, Nachname, Strasse, PLZ Ort, Telefon, Telefax, Email, Internet
# (None: an empty cell)
KUNDEN = [
    (1001, "Lorenz Druck & Medien GmbH", "Frau", "Sabine", "Lorenz", "Große Elbstraße 42", "22767 Hamburg",
     "040 3896215", "040 3896219", "s.lorenz@lorenz-druckmedien.de", "www.lorenz-druckmedien.de"),
    (1002, "Müller Feinmechanik GmbH", "Herr", "Jens", "Albrecht", "Hauptstraße 5", "10115 Berlin",
     "030 4417820", "030 4417829", "j.albrecht@mueller-feinmechanik.de", "www.mueller-feinmechanik.de"),
    (1003, "Bergmann Steuerberatung", "Herr Dr.", "Martin", "Bergmann", "Leopoldstraße 71", "80802 München",
     "089 33071845", "089 33071846", "kanzlei@bergmann-stb.de", "www.bergmann-stb.de"),
    (1004, "Kaiser Metallbau GmbH", "Herr", "Uwe", "Kaiser", "Industriestraße 17", "44147 Dortmund",
     "0231 8812340", "0231 8812349", "info@kaiser-metallbau-do.de", "www.kaiser-metallbau-do.de"),
    (1005, "Schröder Haustechnik KG", "Frau", "Ute", "Schröder", "Venloer Straße 210", "50823 Köln",
     "0221 5603318", "0221 5603319", "service@schroeder-haustechnik.de", "www.schroeder-haustechnik.de"),
    (1006, "Gärtnerei Blumenhof Schäfer", "Frau", "Monika", "Schäfer", "Gartenweg 3", "79111 Freiburg im Breisgau",
     "0761 4790312", "0761 4790313", "blumenhof@schaefer-gaertnerei.de", "www.schaefer-gaertnerei.de"),
    (1007, None, "Herr", "Klaus", None, "Lindenallee 4", "34117 Kassel",
     "0561 7723190", "0561 7723199", None, None),
    (1008, "Nordlicht Reisen GmbH", "Herr", "Jan", "Petersen", "Holstenstraße 88", "24103 Kiel",
     "0431 9125570", "0431 9125579", "buchung@nordlicht-reisen-kiel.de", "www.nordlicht-reisen-kiel.de"),
    (1009, "Wagner & Söhne Landtechnik GmbH", "Herr", "Heinz", "Wagner", "Dorfstraße 12", "29223 Celle",
     "05141 887340", "05141 887341", "wagner@wagner-landtechnik.de", "www.wagner-landtechnik.de"),
    (1010, "Schneider & Partner Rechtsanwälte", "Frau Dr.", "Claudia", "Schneider", "Königsallee 64",
     "40212 Düsseldorf", "0211 86390740", "0211 86390749", "kanzlei@schneider-partner-ra.de",
     "www.schneider-partner-ra.de"),
    (1011, "Zimmerei Huber", "Herr", "Franz", "Huber", "Ringstraße 22", "93047 Regensburg",
     "0941 5673021", "0941 5673022", "info@zimmerei-huber-rgb.de", "www.zimmerei-huber-rgb.de"),
    (1012, "Weber Büroeinrichtungen KG", "Herr", "Stefan", "Weber", "Bahnhofstraße 9", "30159 Hannover",
     "0511 3287710", "0511 3287719", "vertrieb@weber-buero.de", "www.weber-buero.de"),
    (1013, "Brandt Elektro GmbH", "Herr", "Sven", "Brandt", "Königsbrücker Straße 48", "01099 Dresden",
     "0351 8026614", "0351 8026615", "info@brandt-elektro-dresden.de", "www.brandt-elektro-dresden.de"),
    (1014, "Optik Krüger", "Frau", "Anja", "Krüger", "Kröpeliner Straße 31", "18055 Rostock",
     "0381 4923366", "0381 4923367", "kontakt@optik-krueger-rostock.de", "www.optik-krueger-rostock.de"),
    (1015, "asdf", None, None, None, "xxx", "xxx",
     "0", None, None, None),
    (1016, "Fischer Logistik GmbH", "Herr", "Markus", "Fischer", "Hafenstraße 120", "28217 Bremen",
     "0421 6198840", "0421 6198849", "m.fischer@fischer-logistik-bremen.de", "www.fischer-logistik-bremen.de"),
    (1017, "Mueller Feinmechanik GmbH", "Herr", "Jens", "Albrecht", "Hauptstr. 5", "10115 Berlin",
     "030/4417820", "030 4417829", None, "www.mueller-feinmechanik.de"),
    (1018, "Keller Software AG", "Frau", "Julia", "Keller", "Theodor-Heuss-Straße 4", "70174 Stuttgart",
     "0711 2254300", "0711 2254309", "j.keller@keller-software.de", "www.keller-software.de"),
    (1019, "Bäckerei Schmitt", "Herr", "Peter", "Schmitt", "Marktplatz 6", "97070 Würzburg",
     "0931 3549018", "0931 3549019", "backstube@baeckerei-schmitt-wue.de", "www.baeckerei-schmitt-wue.de"),
    (1020, "Autohaus Weiß GmbH", "Frau", "Karin", "Weiß", "Waiblinger Straße 77", "70372 Stuttgart",
     "0711 5509120", "0711 5509129", "verkauf@autohaus-weiss-cannstatt.de", "www.autohaus-weiss-cannstatt.de"),
    (1021, "Richter Gebäudeservice GmbH", "Herr", "Andreas", "Richter", "Gutenbergstraße 15", "04178 Leipzig",
     "0341 4418261", "0341 4418262", "a.richter@richter-gebaeudeservice.de", "www.richter-gebaeudeservice.de"),
    (1022, "Krause Bürotechnik GmbH", "Herr", "Michael", "Krause", "Sonnenstraße 24", "80x31 München",
     "089 59182730", "089 59182739", "info@krause-buerotechnik.de", "www.krause-buerotechnik.de"),
    (1023, "Hofmann Immobilien", "Frau", "Birgit", "Hofmann", "Schillerstraße 27", "60313 Frankfurt am Main",
     "069 29724410", "069 29724411", "b.hofmann@hofmann-immo-ffm.de", "www.hofmann-immo-ffm.de"),
    (1024, "Apotheke am Dom", "Frau Dr.", "Katrin", "Vogel", "Domplatz 2", "99084 Erfurt",
     "0361 5621890", "0361 5621891", "apotheke-am-dom@vogel-erfurt.de", "www.apotheke-am-dom-erfurt.de"),
    (1025, "Schröer Haustechnik KG", "Frau", "Ute", "Schröder", "Venloer Straße 210", "50823 Köln",
     "0221-5603318", "0221 5603319", "service@schroeder-haustechnik.de", "www.schroeder-haustechnik.de"),
    (1026, "Becker Elektrotechnik GmbH", "Herr", "Ralf", "Becker", "Hansaring 52", "50670 Köln",
     "0221 7391024", "0221 7391025", "r.becker@becker-elektrotechnik-koeln.de",
     "www.becker-elektrotechnik-koeln.de"),
    (1027, "Zahnarztpraxis Dr. Neumann", "Herr Dr.", "Holger", "Neumann", "Maximilianstraße 19", "86150 Augsburg",
     "0821 3195527", "0821 3195528", "praxis@zahnarzt-neumann-augsburg.de", "www.zahnarzt-neumann-augsburg.de"),
    (1028, "Hansen Yachtservice", "Herr", "Ole", "Hansen", "Schiffbrücke 18", "24939 Flensburg",
     "0", "0461 8870214", "info.hansen-yachtservice.de", "www.hansen-yachtservice.de"),
    (1029, "Schulz Getränkehandel", "Herr", "Dieter", "Schulz", "Niedernstraße 11", "33602 Bielefeld",
     "0521 1739462", "0521 1739463", "bestellung@schulz-getraenke-bi.de", "www.schulz-getraenke-bi.de"),
    (1030, "Meyer Tiefbau GmbH & Co. KG", "Herr", "Klaus", "Meyer", "Am Gewerbepark 8", "26135 Oldenburg",
     "0441 9350617", "0441 9350618", "info@meyer-tiefbau-ol.de", "www.meyer-tiefbau-ol.de"),
    (1031, "Wagner & Söhne Landtechnik GmbH", "Herr", "Heinz", "Wagner", "Dorfstr. 12", "29223 Celle",
     "(05141) 887340", "05141 887341", "wagner@wagner-landtechnik.de", None),
    (1032, "Wolf Fahrradwerkstatt", "Herr", "Tobias", "Wolf", "Weender Straße 45", "37073 Göttingen",
     "0551 4862093", "0551 4862094", "werkstatt@wolf-fahrrad-goe.de", "www.wolf-fahrrad-goe.de"),
    (1033, "Lehmann Catering", "Frau", "Sandra", "Lehmann", "Brandenburger Straße 36", "14467 Potsdam",
     "0331 2817456", "0331 2817457", "anfrage@lehmann-catering-potsdam.de", "www.lehmann-catering-potsdam.de"),
    (1034, "Brandt Elektro GmbH", "Herr", None, "Brandt", "Königsbrücker Str. 48", "01099 Dresden",
     "0351 8026614", "0351 8026615", "Info@Brandt-Elektro-Dresden.de", "www.brandt-elektro-dresden.de"),
    (1035, "Weinhandlung Koch", "Herr", "Bernd", "Koch", "Simeonstraße 14", "54290 Trier",
     "0651 9748023", "0651 9748024", "wein@weinhandlung-koch-trier.de", "www.weinhandlung-koch-trier.de"),
    (1036, "12345", "Frau", "Gisela", "Brückner", "Bahnhofstraße 2", "24937 Flensburg",
     "0461 1508833", "0461 1508834", None, None),
    (1037, "Schwarz Holzbau GmbH", "Herr", "Jürgen", "Schwarz", "Sandstraße 5", "96049 Bamberg",
     "0951 2076638", "0951 2076639", "info@schwarz-holzbau-bamberg.de", "www.schwarz-holzbau-bamberg.de"),
    (1038, "Müller Feinmechanik Gmbh & Co. KG", "Herr", "Jens", "Albrecht", "Hauptstraße 5", "10115 Berlin",
     "030 4417820", "030 4417829", "j.albrecht@mueller-feinmechanik.de", "www.mueller-feinmechanik.de"),
    (1039, "Möbelhaus Köhler", "Frau", "Petra", "Köhler", "Karl-Liebknecht-Straße 70", "04275 Leipzig",
     "0341 8620174", "0341 8620175", "moebel@koehler-leipzig.de", "www.koehler-leipzig.de"),
    (1040, "Bauer Landmaschinen GmbH", "Herr", "Georg", "Bauer", "Passauer Straße 101", "94036 Passau",
     "0851 7592240", "0851 7592249", "g.bauer@bauer-landmaschinen-pa.de", "www.bauer-landmaschinen-pa.de"),
    (1041, "Autohaus Weiss GmbH", "Frau", "Karin", "Weiß", "Waiblinger Strasse 77", "70372 Stuttgart",
     "0711 5509120", "0711 5509129", "verkauf@autohaus-weiss-cannstatt.de", "www.autohaus-weiss-cannstatt.de"),
    (1042, "Friedrich Drucklufttechnik GmbH", "Frau", "Nicole", "Friedrich", "Daimlerstraße 33", "89079 Ulm",
     "0731 1453987", "0731 1453988", "n.friedrich@friedrich-druckluft.de", "www.friedrich-druckluft.de"),
    (1043, "Hartmann Physiotherapie", "Frau", "Lena", "Hartmann", "Hauptstraße 120", "69117 Heidelberg",
     "06221 6539021", "06221 6539022", "termine@physio-hartmann-hd.de", "www.physio-hartmann-hd.de"),
]

# Firma, Anrede, Vorname, Nachname, Strasse, PLZ Ort, Telefon, Telefax, Email, Internet
REFERENZ = [
    ("Lorenz Druck + Medien GmbH", "Frau", "Sabine", "Lorenz", "Große Elbstr. 42", "22767 Hamburg",
     "040/3896215", "040/3896219", "s.lorenz@lorenz-druckmedien.de", "www.lorenz-druckmedien.de"),
    ("Albers Gartenbau GmbH", "Herr", "Frank", "Albers", "Moorweg 7", "26123 Oldenburg",
     "0441 5082264", "0441 5082265", "info@albers-gartenbau.de", "www.albers-gartenbau.de"),
    ("Sommer Eventtechnik", "Frau", "Jana", "Sommer", "Friedrichstraße 130", "10117 Berlin",
     "030 6829417", "030 6829418", "jana.sommer@sommer-eventtechnik.de", "www.sommer-eventtechnik.de"),
    ("Schneider & Partner Rechtsanwälte", "Frau", "Claudia", "Schneider", "Königsallee 64", "40212 Düsseldorf",
     "0211 86390740", "0211 86390749", "kanzlei@schneider-partner-ra.de", "www.schneider-partner-ra.de"),
    ("Kraft Maschinenbau AG", "Herr Dr.", "Ulrich", "Kraft", "Werkstraße 21", "45127 Essen",
     "0201 4720931", "0201 4720939", "u.kraft@kraft-maschinenbau.de", "www.kraft-maschinenbau.de"),
    ("Engel Tierarztpraxis", "Frau Dr.", "Miriam", "Engel", "Lindenstraße 9", "48143 Münster",
     "0251 3917705", "0251 3917706", "praxis@tierarzt-engel-ms.de", "www.tierarzt-engel-ms.de"),
    ("Fischer Logistik GmbH", "Herr", "Markus", "Fischer", "Hafenstr. 120", "28217 Bremen",
     "0421 6198840", "0421 6198849", "m.fischer@fischer-logistik-bremen.de", "www.fischer-logistik-bremen.de"),
    ("Voigt Spedition GmbH", "Herr", "Rainer", "Voigt", "Am Güterbahnhof 3", "02826 Görlitz",
     "03581 764120", "03581 764129", "dispo@voigt-spedition.de", "www.voigt-spedition.de"),
    ("Seidel Malerbetrieb", "Herr", "Thomas", "Seidel", "Johannisstraße 8", "07743 Jena",
     "03641 448210", "03641 448211", "maler@seidel-jena.de", "www.seidel-jena.de"),
    ("Hofmann Immobilien", "Frau", "Birgit", "Hofmann", "Schillerstr. 27", "60313 Frankfurt am Main",
     "069 / 29724410", "069 29724411", None, "www.hofmann-immo-ffm.de"),
    ("Brunner Sanitär GmbH", "Herr", "Anton", "Brunner", "Rosenheimer Straße 55", "81669 München",
     "089 44872301", "089 44872309", "info@brunner-sanitaer-muenchen.de", "www.brunner-sanitaer-muenchen.de"),
    ("Ludwig Hörakustik", "Frau", "Eva", "Ludwig", "Marktstätte 12", "78462 Konstanz",
     "07531 917340", "07531 917341", "hoeren@ludwig-hoerakustik.de", "www.ludwig-hoerakustik.de"),
    ("Schulz Getränkehandel GmbH", "Herr", "Dieter", "Schulz", "Niedernstraße 11", "33602 Bielefeld",
     "0521 1739462", "0521 1739463", "bestellung@schulz-getraenke-bi.de", "www.schulz-getraenke-bi.de"),
    ("Winkler Gastronomiebedarf KG", "Herr", "Peter", "Winkler", "Bismarckstraße 40", "66111 Saarbrücken",
     "0681 3950182", "0681 3950183", "bestellung@winkler-gastro.de", "www.winkler-gastro.de"),
    ("Frank Kältetechnik GmbH", "Herr", "Michael", "Frank", "Rheinallee 15", "55118 Mainz",
     "06131 6274410", "06131 6274419", "service@frank-kaeltetechnik.de", "www.frank-kaeltetechnik.de"),
]

BREITEN = {"Kundennr": 10, "Firma": 34, "Anrede": 9, "Vorname": 11, "Nachname": 12, "Strasse": 26,
           "PLZ Ort": 28, "Telefon": 15, "Telefax": 15, "Email": 38, "Internet": 34}


def blatt(mappe, name, spalten, zeilen):
    kopf = xlwt.easyxf("font: bold on")
    s = mappe.add_sheet(name)
    for c, titel in enumerate(spalten):
        s.write(0, c, titel, kopf)
        s.col(c).width = 256 * BREITEN[titel]
    for r, zeile in enumerate(zeilen, start=1):
        assert len(zeile) == len(spalten), zeile
        for c, wert in enumerate(zeile):
            if wert is not None:
                s.write(r, c, wert)
    # The header stays in view while scrolling.
    s.set_panes_frozen(True)
    s.set_horz_split_pos(1)


def main():
    ziel = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                                                              "share", "Beispiel.xls")
    os.makedirs(os.path.dirname(os.path.abspath(ziel)), exist_ok=True)
    mappe = xlwt.Workbook(encoding="utf-8")
    blatt(mappe, "Kunden", SPALTEN, KUNDEN)
    blatt(mappe, "Referenz", SPALTEN[1:], REFERENZ)
    mappe.save(ziel)


if __name__ == "__main__":
    main()
