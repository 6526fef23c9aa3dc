#include "platform/dao/storage/excel/ExcelTreiber.h"

#include <fcntl.h>
#include <freexl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/basic/Laufzeit.h"
#include "platform/dao/DaoFehler.h"
#include "platform/dao/DaoGrundlagen.h"
#include "platform/dao/storage/Dateisatz.h"
#include "platform/dao/storage/excel/Arbeitsmappe.h"
#include "platform/dao/storage/excel/Verbunddatei.h"

namespace dao::speicher::excel {
namespace {


struct Zelle {
    enum class Art : uint8_t { leer, zahl, datum, wahrheit, text } art = Art::leer;
    double zahl = 0;
    Text text;
};

// Days since 30.12.1899 of a civil date (the OLE date the engine keeps).
double OleDatum(int j, int m, int t) {
    j -= m <= 2;
    const int era = (j >= 0 ? j : j - 399) / 400;
    const int jahr = j - era * 400;
    const int tag = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + t - 1;
    const int tage = jahr * 365 + jahr / 4 - jahr / 100 + tag;
    return era * 146097.0 + tage - 719468 + 25569;  // 25569: 1970-01-01
}

// freexl gives dates and times as text: "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS", "HH:MM:SS".
double DatumAusText(const char* t, int art) {
    int j = 1899, m = 12, d = 30, h = 0, mi = 0, s = 0;
    if (art == FREEXL_CELL_TIME) std::sscanf(t, "%d:%d:%d", &h, &mi, &s);
    else std::sscanf(t, "%d-%d-%d %d:%d:%d", &j, &m, &d, &h, &mi, &s);
    return OleDatum(j, m, d) + (h * 3600 + mi * 60 + s) / 86400.0;
}

// Serial numbers run from 1.1.1900 (1) or 1.1.1904 (0) to 31.12.9999; below 1 a
// serial is a time of day only, so that 1.1.1904 itself cannot be told from a time and
// is refused. Excel counts a 29.02.1900 (serial 60).
constexpr double kOleLetzterTag = 2958465;  // 31.12.9999
double OleAusSerie(double serie, bool datum1904) {
    if (serie < 1 && serie >= 0) return serie;
    if (datum1904) return serie + 1462;
    return serie < 61 ? serie + 1 : serie;
}
// The serial of a date; false when the workbook's date system cannot hold it.
bool SerieAusOle(double ole, bool datum1904, double& serie) {
    if (ole >= 0 && ole < 1) {
        serie = ole;
        return true;
    }
    if (ole >= kOleLetzterTag + 1) return false;
    if (datum1904) {
        serie = ole - 1462;
        return serie >= 1;
    }
    if (ole < 2) return false;
    serie = ole < 61 ? ole - 1 : ole;
    return true;
}

struct Tabelle {
    TabellenBeschreibung beschreibung;
    std::vector<Text> köpfe;                 // each field's header as the sheet holds it
    std::vector<std::vector<Zelle>> zeilen;  // the data rows, without the names
};

class ExcelSpeicher final : public Speichertreiber {
public:
    ExcelSpeicher(const Text& datei, bool nurLesen) : datei_(datei), nurLesen_(nurLesen) {
        const std::string pfad = nachUtf8(datei);
        OrdnerAufräumen(Ordner());
        struct stat st {};
        if (::stat(pfad.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            FehlerAuslösen(fehler::PfadUngültig, u"Die Datei '" + datei_ + u"' kann nicht geöffnet werden.");
        std::string inhalt = DateiLesen(pfad, kennung_);
        Einlesen(std::move(inhalt));
    }

    Struktur StrukturLesen() override {
        Laden();
        Struktur s;
        for (const Tabelle& t : tabellen_) s.tabellen.push_back(t.beschreibung);
        return s;
    }

    void ZeilenLesen(const TabellenBeschreibung& tabelle, const Zeilenziel& ziel) override {
        Laden();
        const Tabelle* t = Suchen(tabelle.name);
        if (!t)
            FehlerAuslösen(fehler::TabelleNichtGefunden, u"Die Tabelle '" + tabelle.name +
                                                             u"' ist in der Arbeitsmappe '" + datei_ +
                                                             u"' nicht vorhanden.");
        const auto& felder = t->beschreibung.felder;
        std::vector<Variante> zeile(felder.size());
        for (const auto& z : t->zeilen) {
            for (size_t c = 0; c < felder.size(); ++c) zeile[c] = Wert(c < z.size() ? z[c] : Zelle{}, felder[c].typ);
            ziel(zeile);
        }
    }

    bool Schreibbar() const override { return !nurLesen_ && SchreibschutzGrund().empty(); }

    Text SchreibschutzGrund() const override {
        if (nurLesen_) return {};
        if (!Beschreibbar(nachUtf8(datei_)))
            return u"Die Arbeitsmappe '" + datei_ + u"' ist schreibgeschützt und kann nur gelesen werden.";
        if (!Beschreibbar(Ordner()))
            return u"Der Ordner der Arbeitsmappe '" + datei_ +
                   u"' ist schreibgeschützt; die Arbeitsmappe kann nur "
                   u"gelesen werden.";
        if (mappe_->Verschlüsselt())
            return u"Die Arbeitsmappe '" + datei_ + u"' ist verschlüsselt und kann nur gelesen werden.";
        if (mappe_->Kennwortschutz())
            return u"Die Arbeitsmappe '" + datei_ + u"' ist durch ein Kennwort geschützt und kann nur gelesen werden.";
        if (mappe_->Version() < 5)
            return u"Die Arbeitsmappe '" + datei_ + u"' hat ein altes Excel-Format, das nur gelesen werden kann.";
        return {};
    }

    void TabellennamePrüfen(TextSicht name) const override {
        if (!Arbeitsmappe::NameZulässig(name) || name.find(u'$') != TextSicht::npos)
            FehlerAuslösen(fehler::NameUngültig,
                           u"'" + Text(name) + u"' ist kein zulässiger Name für ein Tabellenblatt der Arbeitsmappe '" +
                               datei_ + u"' (1 bis 31 Zeichen, keines von : / \\ * ? [ ] $).");
    }

    void Schreiben(const Rückschrift& rückschrift) override {
        if (!Schreibbar()) {
            const Text grund = SchreibschutzGrund();
            FehlerAuslösen(fehler::Schreibgeschützt,
                           grund.empty() ? u"Die Arbeitsmappe '" + datei_ + u"' ist schreibgeschützt geöffnet."
                                         : grund);
        }
        // A workbook that was only read is never rewritten.
        bool änderung = !rückschrift.gelöscht.empty();
        for (const auto& t : rückschrift.tabellen)
            änderung |= t.zustand != Rückschrift::Zustand::unverändert || t.beschreibung.name != t.alterName;
        if (!änderung) return;
        std::string datei;
        try {
            datei = NeueDatei(rückschrift);
        } catch (const Verweigerung& v) {
            FehlerAuslösen(fehler::Allgemein, u"Die Arbeitsmappe '" + datei_ + u"' wurde nicht geändert. " + v.grund);
        } catch (const Formatfehler& f) {
            FehlerAuslösen(fehler::FormatUnerwartet,
                           u"Die Arbeitsmappe '" + datei_ + u"' wurde nicht geändert: " + f.grund + u".");
        }
        KennungPrüfen(nachUtf8(datei_), kennung_);
        Dateisatz satz(Ordner());
        satz.Ersetzen(nachUtf8(datei_), datei);
        satz.Ausführen();
        kennung_ = KennungLesen(nachUtf8(datei_));
        Einlesen(std::move(datei));
    }

private:
    Text datei_;
    bool nurLesen_;
    Dateikennung kennung_;  // the file as it was read
    std::unique_ptr<Verbunddatei> container_;
    int strom_ = -1;
    std::unique_ptr<Arbeitsmappe> mappe_;
    bool geladen_ = false;
    double geändert_ = 0;  // the file's time, as the tables' last change
    std::vector<Tabelle> tabellen_;
    std::vector<int> blattDerTabelle_;  // index in mappe_->Blätter(), -1 when unknown (old formats)

    std::string Ordner() const {
        const std::string p = nachUtf8(datei_);
        const size_t s = p.rfind('/');
        return s == std::string::npos ? std::string(".") : s == 0 ? std::string("/") : p.substr(0, s);
    }

    [[noreturn]] void Kaputt(const Text& grund) const {
        FehlerAuslösen(fehler::FormatUnerwartet,
                       u"Die Datei '" + datei_ + u"' ist keine lesbare Excel-Arbeitsmappe: " + grund + u".");
    }

    void Einlesen(std::string roh) {
        try {
            auto container = std::make_unique<Verbunddatei>(roh);
            int strom = container->StromSuchen(u"Workbook");
            if (strom < 0) strom = container->StromSuchen(u"Book");
            if (strom < 0) Kaputt(u"sie enthält keinen Workbook- oder Book-Strom");
            mappe_ = std::make_unique<Arbeitsmappe>(container->Strom(strom));
            container_ = std::move(container);
            strom_ = strom;
        } catch (const Formatfehler& f) {
            Kaputt(f.grund);
        }
        geladen_ = false;
        geändert_ = 0;
        struct stat st {};
        if (::stat(nachUtf8(datei_).c_str(), &st) == 0) {
            std::tm tm{};
            const time_t zeit = st.st_mtime;
            localtime_r(&zeit, &tm);
            geändert_ = OleDatum(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
                        (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) / 86400.0;
        }
        tabellen_.clear();
        blattDerTabelle_.clear();
    }

    const Tabelle* Suchen(TextSicht name) const {
        for (const Tabelle& t : tabellen_)
            if (t.beschreibung.name == name) return &t;
        const Text schlüssel = NamenSchlüssel(name);
        for (const Tabelle& t : tabellen_)
            if (NamenSchlüssel(t.beschreibung.name) == schlüssel) return &t;
        return nullptr;
    }

    // Reads every worksheet through freexl once, adding what freexl does not report
    // (booleans, cached formula results) from the records themselves.
    void Laden() {
        if (geladen_) return;
        if (mappe_->Verschlüsselt()) Kaputt(u"sie ist verschlüsselt");
        KennungPrüfen(nachUtf8(datei_), kennung_);
        const void* h = FreexlÖffnen();
        struct Schließen {
            const void* h;
            ~Schließen() { freexl_close(h); }
        } schließen{h};
        // Every return code counts: freexl opens a workbook with a damaged string table
        // and only then fails, which must not read as an empty workbook.
        unsigned int anzahl = 0;
        if (const int info = freexl_get_info(h, FREEXL_BIFF_SHEET_COUNT, &anzahl); info != FREEXL_OK)
            Kaputt(u"ihre Blattliste oder Zeichenkettentabelle ist beschädigt (freexl meldet den Fehler " +
                   ausUtf8(std::to_string(info)) + u")");
        const auto& blätter = mappe_->Blätter();
        std::vector<bool> vergeben(blätter.size(), false);
        std::vector<Tabelle> tabellen;
        std::vector<int> zuordnung;
        for (unsigned int i = 0; i < anzahl; ++i) {
            const char* roh = nullptr;
            if (freexl_get_worksheet_name(h, static_cast<unsigned short>(i), &roh) != FREEXL_OK || !roh)
                Kaputt(u"der Name des Blatts Nr. " + ausUtf8(std::to_string(i + 1)) + u" kann nicht gelesen werden");
            const Text name = ausUtf8(roh);
            const int blatt = BlattZuordnen(name, vergeben);
            if (blatt >= 0 && blätter[blatt].art != 0) continue;
            tabellen.push_back(BlattLesen(h, i, name, blatt));
            zuordnung.push_back(blatt);
        }
        tabellen_ = std::move(tabellen);
        blattDerTabelle_ = std::move(zuordnung);
        geladen_ = true;
    }

    const void* FreexlÖffnen() const {
        const void* h = nullptr;
        const int rc = freexl_open(nachUtf8(datei_).c_str(), &h);
        if (rc != FREEXL_OK) {
            if (h) freexl_close(h);
            Kaputt(u"freexl meldet den Fehler " + ausUtf8(std::to_string(rc)));
        }
        return h;
    }

    // A sheet freexl reports, found by name in the workbook's list, each entry taken once;
    // -1 only when the list is empty, as in the old formats.
    int BlattZuordnen(const Text& name, std::vector<bool>& vergeben) const {
        const auto& blätter = mappe_->Blätter();
        for (size_t b = 0; b < blätter.size(); ++b)
            if (!vergeben[b] && blätter[b].name == name) {
                vergeben[b] = true;
                return static_cast<int>(b);
            }
        if (!blätter.empty()) Kaputt(u"das Blatt '" + name + u"' ist nicht in der Blattliste");
        return -1;
    }

    Tabelle BlattLesen(const void* h, unsigned int i, const Text& name, int blatt) const {
        Tabelle t;
        t.beschreibung.name = name;
        t.beschreibung.geändert = geändert_;
        std::vector<std::vector<Zelle>> gitter;
        unsigned int zeilen = 0;
        unsigned short spalten = 0;
        if (freexl_select_active_worksheet(h, static_cast<unsigned short>(i)) != FREEXL_OK ||
            freexl_worksheet_dimensions(h, &zeilen, &spalten) != FREEXL_OK)
            Kaputt(u"das Blatt '" + name + u"' kann nicht gelesen werden");
        gitter.assign(zeilen, std::vector<Zelle>(spalten));
        for (unsigned int r = 0; r < zeilen; ++r)
            for (unsigned short c = 0; c < spalten; ++c) {
                FreeXL_CellValue v;
                if (const int fehler = freexl_get_cell_value(h, r, c, &v); fehler != FREEXL_OK)
                    Kaputt(u"die Zelle " + ausUtf8(std::to_string(r + 1)) + u"/" + ausUtf8(std::to_string(c + 1)) +
                           u" des Blatts '" + name + u"' kann nicht gelesen werden (freexl meldet den Fehler " +
                           ausUtf8(std::to_string(fehler)) + u")");
                ZelleAusFreexl(v, gitter[r][c]);
            }
        if (blatt >= 0)
            for (const Sonderzelle& s : mappe_->Sonderzellen(blatt)) {
                if (s.zeile >= zeilen || s.spalte >= spalten) continue;
                SonderzelleEintragen(s, mappe_->Datum1904(), gitter[s.zeile][s.spalte]);
            }
        Beschreiben(t, std::move(gitter));
        return t;
    }

    static void ZelleAusFreexl(const FreeXL_CellValue& v, Zelle& z) {
        switch (v.type) {
            case FREEXL_CELL_INT:
                z.art = Zelle::Art::zahl;
                z.zahl = v.value.int_value;
                break;
            case FREEXL_CELL_DOUBLE:
                z.art = Zelle::Art::zahl;
                z.zahl = v.value.double_value;
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
                z.text = ausUtf8(v.value.text_value ? v.value.text_value : "");
                z.art = z.text.empty() ? Zelle::Art::leer : Zelle::Art::text;
                break;
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                z.art = Zelle::Art::datum;
                z.zahl = DatumAusText(v.value.text_value ? v.value.text_value : "", v.type);
                break;
            default: break;
        }
    }

    // What the records say replaces freexl's cell entirely; an error value leaves it empty.
    static void SonderzelleEintragen(const Sonderzelle& s, bool datum1904, Zelle& z) {
        z = Zelle{};
        switch (s.art) {
            case Sonderzelle::Art::wahrheit:
                z.art = Zelle::Art::wahrheit;
                z.zahl = s.zahl;
                break;
            case Sonderzelle::Art::zahl:
                z.art = Zelle::Art::zahl;
                z.zahl = s.zahl;
                break;
            case Sonderzelle::Art::datum:
                z.art = Zelle::Art::datum;
                z.zahl = OleAusSerie(s.zahl, datum1904);
                break;
            case Sonderzelle::Art::text:
                z.text = s.text;
                if (!z.text.empty()) z.art = Zelle::Art::text;
                break;
            default: break;
        }
    }

    static Text AlsText(const Zelle& z) {
        switch (z.art) {
            case Zelle::Art::zahl: return ZahlAlsText(z.zahl);
            case Zelle::Art::datum: return DatumAlsText(z.zahl);
            case Zelle::Art::wahrheit: return Variante(z.zahl != 0).alsText();
            case Zelle::Art::text: return z.text;
            default: return {};
        }
    }

    // Names from the first row, types from the cells below it.
    static void Beschreiben(Tabelle& t, std::vector<std::vector<Zelle>> gitter) {
        size_t letzte = gitter.size();
        while (letzte > 1 && std::all_of(gitter[letzte - 1].begin(), gitter[letzte - 1].end(),
                                         [](const Zelle& z) { return z.art == Zelle::Art::leer; }))
            --letzte;
        size_t spalten = 0;
        for (size_t r = 0; r < letzte; ++r)
            for (size_t c = 0; c < gitter[r].size(); ++c)
                if (gitter[r][c].art != Zelle::Art::leer) spalten = std::max(spalten, c + 1);
        if (spalten == 0) spalten = 1;
        std::vector<Text> schlüssel;
        for (size_t c = 0; c < spalten; ++c) {
            FeldBeschreibung f;
            const Zelle kopf = !gitter.empty() && c < gitter[0].size() ? gitter[0][c] : Zelle{};
            f.name = AlsText(kopf);
            t.köpfe.push_back(f.name);
            for (char16_t& z : f.name)
                if (z == u'.' || z == u'!' || z == u'[' || z == u']') z = u'#';  // what a field name cannot hold
            if (f.name.size() > 64) f.name.resize(64);
            const Text ersatz = u"F" + ausUtf8(std::to_string(c + 1));
            if (f.name.empty() ||
                std::find(schlüssel.begin(), schlüssel.end(), NamenSchlüssel(f.name)) != schlüssel.end())
                f.name = ersatz;
            schlüssel.push_back(NamenSchlüssel(f.name));
            bool zahl = false, datum = false, wahrheit = false, text = false;
            size_t länge = 0;
            for (size_t r = 1; r < letzte; ++r) {
                if (c >= gitter[r].size()) continue;
                const Zelle& z = gitter[r][c];
                zahl |= z.art == Zelle::Art::zahl;
                datum |= z.art == Zelle::Art::datum;
                wahrheit |= z.art == Zelle::Art::wahrheit;
                text |= z.art == Zelle::Art::text;
                if (z.art != Zelle::Art::leer) länge = std::max(länge, AlsText(z).size());
            }
            const int arten = zahl + datum + wahrheit + text;
            if (arten == 1 && zahl) f.typ = dbDouble, f.größe = 8;
            else if (arten == 1 && datum) f.typ = dbDate, f.größe = 8;
            else if (arten == 1 && wahrheit) f.typ = dbBoolean, f.größe = 1;
            else if (länge > 255) f.typ = dbMemo, f.größe = 0;
            else f.typ = dbText, f.größe = 255;
            t.beschreibung.felder.push_back(std::move(f));
        }
        if (letzte > 1) {
            gitter.resize(letzte);
            gitter.erase(gitter.begin());
            for (auto& z : gitter) z.resize(spalten);
            t.zeilen = std::move(gitter);
        }
    }

    static Variante Wert(const Zelle& z, int16_t typ) {
        if (z.art == Zelle::Art::leer) return Variante::Null();
        switch (typ) {
            case dbDouble: return Variante(z.zahl);
            case dbDate: return Variante::Datum(z.zahl);
            case dbBoolean: return Variante(z.zahl != 0);
            default: return Variante(AlsText(z));
        }
    }

    std::string Blattinhalt(const Rückschrift::Tabelle& t) {
        Arbeitsmappe::Blattschreiber b(*mappe_);
        const uint32_t höchstZeilen = mappe_->Version() >= 8 ? 65536 : 16384;
        const auto& felder = t.beschreibung.felder;
        if (felder.size() > 256)
            throw Verweigerung{u"Die Tabelle '" + t.beschreibung.name + u"' hat mehr als 256 Spalten."};
        // A sheet written back keeps the headers it had; a new one gets the field names.
        const Tabelle* alt =
            t.zustand == Rückschrift::Zustand::neu || t.alterName.empty() ? nullptr : Suchen(t.alterName);
        for (size_t c = 0; c < felder.size(); ++c) {
            Text kopf = felder[c].name;
            if (alt)
                for (size_t a = 0; a < alt->beschreibung.felder.size() && a < alt->köpfe.size(); ++a)
                    if (NamenSchlüssel(alt->beschreibung.felder[a].name) == NamenSchlüssel(kopf) &&
                        !alt->köpfe[a].empty()) {
                        kopf = alt->köpfe[a];
                        break;
                    }
            try {
                b.Text_(0, static_cast<uint16_t>(c), kopf);
            } catch (const Verweigerung& w) {
                throw Verweigerung{u"Tabelle '" + t.beschreibung.name + u"', Feld '" + felder[c].name + u"': " +
                                   w.grund};
            }
        }
        uint32_t zeile = 0;
        if (t.zeilen)
            t.zeilen([&](const std::vector<Variante>& werte) {
                if (++zeile >= höchstZeilen)
                    throw Verweigerung{u"Die Tabelle '" + t.beschreibung.name +
                                       u"' hat mehr Datensätze, als ein Tabellenblatt fasst."};
                for (size_t c = 0; c < werte.size() && c < felder.size(); ++c) {
                    const Variante& v = werte[c];
                    const auto spalte = static_cast<uint16_t>(c);
                    switch (v.typ()) {
                        case VTyp::Empty:
                        case VTyp::Null: break;
                        case VTyp::Text:
                            try {
                                if (!v.text().empty()) b.Text_(zeile, spalte, v.text());
                            } catch (const Verweigerung& w) {
                                // Named as the dBase driver names it.
                                throw Verweigerung{u"Tabelle '" + t.beschreibung.name + u"', Feld '" + felder[c].name +
                                                   u"': " + w.grund};
                            }
                            break;
                        case VTyp::Boolean: b.Wahrheit(zeile, spalte, v.zahl() != 0); break;
                        case VTyp::Date: {
                            const double ole = v.zahl();
                            const bool mitZeit = ole != std::floor(ole);
                            double serie = 0;
                            if (!SerieAusOle(ole, mappe_->Datum1904(), serie))
                                throw Verweigerung{u"Tabelle '" + t.beschreibung.name + u"', Feld '" + felder[c].name +
                                                   u"': Das Datum " + DatumAlsText(ole) + u" kann im Datumssystem " +
                                                   (mappe_->Datum1904()
                                                        ? u"1904 der Arbeitsmappe nicht gespeichert werden (2.1.1904"
                                                        : u"1900 der Arbeitsmappe nicht gespeichert werden (1.1.1900") +
                                                   u" bis 31.12.9999)."};
                            b.Zahl(zeile, spalte, serie, mappe_->DatumXf(mitZeit));
                            break;
                        }
                        default: b.Zahl(zeile, spalte, v.alsDouble(), mappe_->StandardXf()); break;
                    }
                }
            });
        return b.Fertig();
    }

    std::string NeueDatei(const Rückschrift& r) {
        Laden();
        const auto& blätter = mappe_->Blätter();
        std::vector<BlattPlan> plan;
        std::vector<Text> namen;
        auto nameAufnehmen = [&](const Text& name) {
            TabellennamePrüfen(name);
            const Text s = NamenSchlüssel(name);
            if (std::find(namen.begin(), namen.end(), s) != namen.end())
                throw Verweigerung{u"Ein Blatt namens '" + name + u"' gibt es schon."};
            namen.push_back(s);
        };
        std::vector<const Rückschrift::Tabelle*> verwendet;
        for (size_t b = 0; b < blätter.size(); ++b) {
            BlattPlan p;
            p.alt = static_cast<int>(b);
            p.name = blätter[b].name;
            const auto it = std::find(blattDerTabelle_.begin(), blattDerTabelle_.end(), static_cast<int>(b));
            if (it != blattDerTabelle_.end()) {
                const Text& alt = tabellen_[it - blattDerTabelle_.begin()].beschreibung.name;
                const Rückschrift::Tabelle* neu = nullptr;
                for (const auto& t : r.tabellen)
                    if (t.zustand != Rückschrift::Zustand::neu && NamenSchlüssel(t.alterName) == NamenSchlüssel(alt))
                        neu = &t;
                bool weg = false;
                if (!neu) {
                    for (const Text& g : r.gelöscht) weg |= NamenSchlüssel(g) == NamenSchlüssel(alt);
                    // A table dropped and created again under its name keeps its sheet's place,
                    // so that names and formulas that refer to the sheet stay valid.
                    for (const auto& t : r.tabellen)
                        if (weg && t.zustand == Rückschrift::Zustand::neu &&
                            NamenSchlüssel(t.beschreibung.name) == NamenSchlüssel(alt) &&
                            std::find(verwendet.begin(), verwendet.end(), &t) == verwendet.end()) {
                            neu = &t;
                            weg = false;
                        }
                    if (weg) continue;
                }
                if (neu) {
                    verwendet.push_back(neu);
                    if (neu->beschreibung.name != alt) p.name = neu->beschreibung.name;
                    if (neu->zustand != Rückschrift::Zustand::unverändert) p.inhalt = Blattinhalt(*neu);
                }
            }
            if (p.name != blätter[b].name) nameAufnehmen(p.name);
            else namen.push_back(NamenSchlüssel(p.name));
            plan.push_back(std::move(p));
        }
        for (const auto& t : r.tabellen) {
            if (std::find(verwendet.begin(), verwendet.end(), &t) != verwendet.end()) continue;
            if (t.zustand != Rückschrift::Zustand::neu && !t.alterName.empty() && Suchen(t.alterName)) continue;
            BlattPlan p;
            p.name = t.beschreibung.name;
            nameAufnehmen(p.name);
            p.inhalt = Blattinhalt(t);
            plan.push_back(std::move(p));
        }
        std::string alt = container_->Strom(strom_);
        std::string strom = mappe_->Umbauen(plan);
        // Up to 4096 bytes the stream would lie in the mini stream, where freexl stumbles
        // over padding after the last sheet (and takes exactly 4096 for a mini stream);
        // padded beyond that, it is a plain stream as Excel writes it.
        if (strom.size() <= 4096) strom.resize(4104, '\0');
        container_->StromErsetzen(strom_, std::move(strom));
        std::string datei = container_->Schreiben();
        container_->StromErsetzen(strom_, std::move(alt));
        return datei;
    }
};

}  // namespace

std::unique_ptr<Speichertreiber> TreiberÖffnen(const Text& datei, bool nurLesen) {
    return std::make_unique<ExcelSpeicher>(datei, nurLesen);
}

}  // namespace dao::speicher::excel
