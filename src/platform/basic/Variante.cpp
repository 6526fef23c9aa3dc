#include "platform/basic/Variante.h"

#include <cmath>
#include <limits>
#include <utility>

#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"

Variante Variante::Null() {
    Variante v;
    v.typ_ = VTyp::Null;
    return v;
}
Variante::Variante(bool b) : typ_(VTyp::Boolean), zahl_(b ? -1 : 0) {}
Variante::Variante(uint8_t b) : typ_(VTyp::Byte), zahl_(b) {}
Variante::Variante(int16_t i) : typ_(VTyp::Integer), zahl_(i) {}
Variante::Variante(int32_t l) : typ_(VTyp::Long), zahl_(l) {}
Variante::Variante(int64_t l)
    : typ_(l >= std::numeric_limits<int32_t>::min() && l <= std::numeric_limits<int32_t>::max() ? VTyp::Long
                                                                                                : VTyp::Double),
      zahl_(static_cast<double>(l)) {}
Variante::Variante(float s) : typ_(VTyp::Single), zahl_(s) {}
Variante::Variante(double d) : typ_(VTyp::Double), zahl_(d) {}
Variante::Variante(const char16_t* t) : typ_(VTyp::Text), text_(t) {}
Variante::Variante(TextSicht t) : typ_(VTyp::Text), text_(t) {}
Variante::Variante(Text t) : typ_(VTyp::Text), text_(std::move(t)) {}

Variante Variante::Währung(int64_t zehntausendstel) {
    Variante v;
    v.typ_ = VTyp::Currency;
    v.ganz_ = zehntausendstel;
    v.zahl_ = static_cast<double>(zehntausendstel) / 10000.0;
    return v;
}

Variante Variante::Datum(double tage) {
    Variante v;
    v.typ_ = VTyp::Date;
    v.zahl_ = tage;
    return v;
}

bool Variante::istZahl() const {
    switch (typ_) {
        case VTyp::Boolean:
        case VTyp::Byte:
        case VTyp::Integer:
        case VTyp::Long:
        case VTyp::Single:
        case VTyp::Double:
        case VTyp::Currency: return true;
        default: return false;
    }
}

Text Variante::alsText() const {
    switch (typ_) {
        case VTyp::Empty: return {};
        case VTyp::Null: FehlerAuslösen(fehlernummer::VerwendungVonNull);
        case VTyp::Boolean: return zahl_ != 0 ? u"Wahr" : u"Falsch";
        case VTyp::Single: return ZahlAlsText(zahl_, true);
        case VTyp::Date: return DatumAlsText(zahl_);
        case VTyp::Text: return text_;
        default: return ZahlAlsText(zahl_);
    }
}

TextSicht AlsTextSicht(const Variante& v, Text& ablage) {
    if (v.istText()) return v.text();
    ablage = v.alsText();
    return ablage;
}

double Variante::alsDouble() const {
    switch (typ_) {
        case VTyp::Empty: return 0;
        case VTyp::Null: FehlerAuslösen(fehlernummer::VerwendungVonNull);
        case VTyp::Text: {
            auto z = ZahlAusText(text_);
            if (!z) FehlerAuslösen(fehlernummer::TypenUnvertraeglich);
            return *z;
        }
        default: return zahl_;
    }
}

int32_t Variante::alsLong() const { return CLng(alsDouble()); }

bool Variante::alsBool() const {
    if (typ_ == VTyp::Text) {
        const Text t = Grossbuchstaben(Trim(text_));
        if (t == u"WAHR" || t == u"TRUE") return true;
        if (t == u"FALSCH" || t == u"FALSE") return false;
    }
    return alsDouble() != 0;
}

namespace {
int vergleicheText(const Text& a, const Text& b) { return a < b ? -1 : (a == b ? 0 : 1); }
int vergleicheZahl(double a, double b) { return a < b ? -1 : (a == b ? 0 : 1); }
}  // namespace

int VarianteVergleichen(const Variante& a, const Variante& b, bool& gültig) {
    gültig = !(a.istNull() || b.istNull());
    if (!gültig) return 0;
    const bool aText = a.istText(), bText = b.istText();
    if (aText && bText) return vergleicheText(a.text(), b.text());
    if (a.istEmpty() && b.istEmpty()) return 0;
    if (aText) return b.istEmpty() ? vergleicheText(a.text(), Text()) : 1;
    if (bText) return a.istEmpty() ? vergleicheText(Text(), b.text()) : -1;
    return vergleicheZahl(a.zahl(), b.zahl());
}

bool operator==(const Variante& a, const Variante& b) {
    bool g;
    const int c = VarianteVergleichen(a, b, g);
    return g && c == 0;
}
bool operator!=(const Variante& a, const Variante& b) {
    bool g;
    const int c = VarianteVergleichen(a, b, g);
    return g && c != 0;
}
bool operator<(const Variante& a, const Variante& b) {
    bool g;
    const int c = VarianteVergleichen(a, b, g);
    return g && c < 0;
}
bool operator>(const Variante& a, const Variante& b) {
    bool g;
    const int c = VarianteVergleichen(a, b, g);
    return g && c > 0;
}
bool operator<=(const Variante& a, const Variante& b) {
    bool g;
    const int c = VarianteVergleichen(a, b, g);
    return g && c <= 0;
}
bool operator>=(const Variante& a, const Variante& b) {
    bool g;
    const int c = VarianteVergleichen(a, b, g);
    return g && c >= 0;
}

bool Variante::identisch(const Variante& b) const {
    if (typ_ != b.typ_) return false;
    if (typ_ == VTyp::Text) return text_ == b.text_;
    if (typ_ == VTyp::Currency) return ganz_ == b.ganz_;
    return zahl_ == b.zahl_;
}

Variante operator&(const Variante& a, const Variante& b) {
    Text t = a.istNull() ? Text() : a.alsText();
    if (!b.istNull()) t += b.alsText();
    return Variante(std::move(t));
}

Variante operator+(const Variante& a, const Variante& b) {
    if (a.istNull() || b.istNull()) return Variante::Null();
    if (a.istText() && b.istText()) return Variante(a.text() + b.text());
    if (a.istEmpty() && b.istText()) return b;
    if (b.istEmpty() && a.istText()) return a;
    if (a.istEmpty() && b.istEmpty()) return Variante(int16_t{0});
    const double s = a.alsDouble() + b.alsDouble();
    if (a.istDatum() || b.istDatum()) return Variante::Datum(s);
    const bool ganz = !a.istText() && !b.istText() && a.typ() != VTyp::Single && a.typ() != VTyp::Double &&
                      b.typ() != VTyp::Single && b.typ() != VTyp::Double && a.typ() != VTyp::Currency &&
                      b.typ() != VTyp::Currency;
    if (ganz && std::fabs(s) <= 2147483647.0) return Variante(static_cast<int32_t>(s));
    return Variante(s);
}

std::ostream& operator<<(std::ostream& os, const Variante& v) {
    switch (v.typ()) {
        case VTyp::Empty: return os << "<Empty>";
        case VTyp::Null: return os << "<Null>";
        case VTyp::Text: return os << '"' << nachUtf8(v.text()) << '"';
        default: return os << nachUtf8(v.alsText());
    }
}
