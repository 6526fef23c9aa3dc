#pragma once
// The one value type of the program, with the rules of the runtime it replaces:
// Empty (never set), Null (a field without value) and "" are three different values.
#include <cstdint>
#include <ostream>

#include "platform/basic/Text.h"

enum class VTyp : uint8_t { Empty, Null, Boolean, Byte, Integer, Long, Single, Double, Currency, Date, Text };

class Variante {
public:
    Variante() = default;  // Empty
    static Variante Empty() { return {}; }
    static Variante Null();
    Variante(bool b);
    Variante(uint8_t b);
    Variante(int16_t i);
    Variante(int32_t l);
    Variante(int64_t l);  // Long when it fits, else Double
    Variante(float s);
    Variante(double d);
    Variante(const char16_t* t);
    Variante(TextSicht t);
    Variante(Text t);
    // Currency keeps four decimals exactly: the value times 10000.
    static Variante Währung(int64_t zehntausendstel);
    // A date as the runtime held it: days since 30.12.1899, time as the fraction.
    static Variante Datum(double tage);

    VTyp typ() const { return typ_; }
    bool istEmpty() const { return typ_ == VTyp::Empty; }
    bool istNull() const { return typ_ == VTyp::Null; }
    bool istText() const { return typ_ == VTyp::Text; }
    bool istZahl() const;  // Boolean, Byte, Integer, Long, Single, Double, Currency
    bool istDatum() const { return typ_ == VTyp::Date; }

    // The raw text of a Text value (empty for every other type).
    const Text& text() const { return text_; }
    // CStr: Empty gives "", Null raises "Unzulässige Verwendung von Null".
    Text alsText() const;
    // CDbl: numbers and dates as they are, texts by the rule of ZahlAusText; Empty is 0.
    double alsDouble() const;
    // CLng: rounded half to even; overflow raises error 6.
    int32_t alsLong() const;
    // CBool: numbers are true unless 0; texts "Wahr"/"Falsch"/"True"/"False" or a number.
    bool alsBool() const;
    // The raw number of a numeric or date value (Currency as its value, not scaled).
    double zahl() const { return zahl_; }
    int64_t währungRoh() const { return ganz_; }

    friend bool operator==(const Variante& a, const Variante& b);  // Null: false
    friend bool operator!=(const Variante& a, const Variante& b);  // Null: false
    friend bool operator<(const Variante& a, const Variante& b);   // Null: false
    friend bool operator>(const Variante& a, const Variante& b);
    friend bool operator<=(const Variante& a, const Variante& b);
    friend bool operator>=(const Variante& a, const Variante& b);

    // Same type and same value (Null equals Null); for tests and containers.
    bool identisch(const Variante& b) const;

private:
    VTyp typ_ = VTyp::Empty;
    double zahl_ = 0;   // every numeric type and Date
    int64_t ganz_ = 0;  // Currency (scaled by 10000)
    Text text_;
};

// CStr without a copy where there is a text: a Text value's own characters; any
// other value's CStr is put into `ablage`, which the view then shows.
TextSicht AlsTextSicht(const Variante& v, Text& ablage);

// The & join: Empty and Null count as the empty text; the result is always text.
Variante operator&(const Variante& a, const Variante& b);
// The + operator: two texts are joined; Null makes the result Null; Empty counts as
// "" next to a text and as 0 next to a number; a number and a text add as numbers
// (a text that is no number raises "Typen unverträglich").
Variante operator+(const Variante& a, const Variante& b);

// Three-way comparison with the runtime's rules; returns false in `gültig` when an
// operand is Null. Numbers sort before texts; Empty is 0 or "" as its partner needs.
int VarianteVergleichen(const Variante& a, const Variante& b, bool& gültig);

std::ostream& operator<<(std::ostream& os, const Variante& v);  // for test output
