#include "foundation/mdlMeldungen.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlDeklarationen.h"
#include "platform/basic/Laufzeit.h"
#include "platform/dao/DaoFehler.h"

void FortschrittZurücksetzen() {
    auto& o = Oberfläche();
    o.BeschriftungSetzen(u"lblDauer", Text());
    o.BeschriftungSetzen(u"lblVerbleibendeZeit", Text());
    o.FortschrittsbalkenSetzen(0);
    o.BeschriftungSetzen(u"lblTeilFortschritt", u"0 %");
}

void FortschrittStarten(int32_t& Gesamt, double /*Faktor*/) {
    gFortschrittDauer = 0;
    gFortschrittGesamt = Gesamt;
    gFortschrittPosition = 0;
    auto& o = Oberfläche();
    o.TimerSetzen(u"tmrDauer", 1000, true);
    o.TimerSetzen(u"tmrFortschritt", 10, true);
}

void FortschrittAnhalten() {
    auto& o = Oberfläche();
    o.TimerSetzen(u"tmrDauer", o.TimerIntervall(u"tmrDauer"), false);
    o.TimerSetzen(u"tmrFortschritt", o.TimerIntervall(u"tmrFortschritt"), false);
}

void FortschrittBeenden() {
    FortschrittAnhalten();
    auto& o = Oberfläche();
    o.FortschrittsbalkenSetzen(100);
    o.BeschriftungSetzen(u"lblTeilFortschritt", u"100 %");
}

void FortschrittBalkenTakt() {
    // A phase without steps shows 0 %, and the bar never leaves 0..100.
    double prozent = 0;
    if (gFortschrittGesamt > 0) prozent = static_cast<double>(gFortschrittPosition) / gFortschrittGesamt * 100.0;
    if (!(prozent >= 0)) prozent = 0;
    if (prozent > 100) prozent = 100;
    auto& o = Oberfläche();
    o.FortschrittsbalkenSetzen(static_cast<float>(prozent));
    o.BeschriftungSetzen(u"lblTeilFortschritt", Format(o.Fortschrittsbalken(), u"0") + u" %");
}

Text ZeitTextErmitteln(int64_t t) {
    const int64_t h = t / 3600000, m = t % 3600000 / 60000, s = t % 3600000 % 60000 / 1000;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", static_cast<long long>(h), static_cast<long long>(m),
                  static_cast<long long>(s));
    return ausUtf8(buf);
}

void FortschrittDauerTakt() {
    auto& o = Oberfläche();
    gFortschrittDauer += o.TimerIntervall(u"tmrDauer");
    if (gFortschrittPosition <= 0 || gFortschrittGesamt <= 0) {
        o.BeschriftungSetzen(u"lblDauer", Text());
        o.BeschriftungSetzen(u"lblVerbleibendeZeit", Text());
        return;
    }
    // In 64 bits and double precision, so long phases cannot overflow.
    const double schätzung = static_cast<double>(gFortschrittDauer) / gFortschrittPosition * gFortschrittGesamt;
    const auto gesamt = static_cast<int64_t>(std::nearbyint(schätzung));
    int64_t rest = static_cast<int64_t>(std::floor(schätzung)) - gFortschrittDauer;
    if (rest < 0) rest = 0;
    o.BeschriftungSetzen(u"lblDauer", u"Geschätzte Dauer : " + ZeitTextErmitteln(gesamt));
    o.BeschriftungSetzen(u"lblVerbleibendeZeit", u"Verbleibende Zeit  : " + ZeitTextErmitteln(rest));
}

void HinweisAnzeigen(const Variante& Text) {
    Oberfläche().Meldung(Text.istNull() ? ::Text() : Text.alsText(), vb::Information, u" Hinweis");
}

void AchtungAnzeigen(const Variante& Text) {
    Oberfläche().Meldung(Text.istNull() ? ::Text() : Text.alsText(), vb::Exclamation, u" Achtung!");
}

Fehlerreaktion FehlerAnzeigen(Variante& Text) {
    if (gSystemmeldung && !Err().Description.empty()) Text = Text & Variante(u"\rSystemmeldung:\r" + Err().Description);
    if (dao::FehlerAnzahl() > 0) Text = Text & Variante(u"\r");
    const int antwort =
        Oberfläche().Meldung(Text.alsText(), vb::AbortRetryIgnore + vb::Critical + vb::DefaultButton3, u" Fehler!");
    switch (antwort) {
        case vb::Abort: return ReaktionAbbrechen;
        case vb::Retry: return ReaktionWiederholen;
        default: return ReaktionIgnorieren;
    }
}

void FehlerMerken(const std::exception& e) {
    if (const auto* f = dynamic_cast<const LaufzeitFehler*>(&e)) {
        Err().Number = f->Nummer();
        Err().Description = f->Beschreibung();
    } else {
        Err().Number = 51;  // internal error
        Err().Description = ausUtf8(e.what());
    }
}

Fehlerfalle::Fehlerfalle(std::function<::Text()> meldung, bool abbruchSetztFlag)
    : meldung_(std::move(meldung)), abbruchSetztFlag_(abbruchSetztFlag) {}

bool Fehlerfalle::operator()(Schritt schritt) {
    for (;;) {
        try {
            schritt();
            return true;
        } catch (const std::exception& e) {
            FehlerMerken(e);
        }
        Variante text(meldung_());
        const Fehlerreaktion r = FehlerAnzeigen(text);
        Err().Clear();
        if (r == ReaktionWiederholen) continue;
        if (r == ReaktionIgnorieren) return true;
        abgebrochen_ = true;
        if (abbruchSetztFlag_) gFehlerAbbruch = true;
        return false;
    }
}

void Fehlerfalle::ohneFehler(Schritt schritt) {
    try {
        schritt();
    } catch (const std::exception& e) {
        FehlerMerken(e);
        Err().Clear();
    }
}
