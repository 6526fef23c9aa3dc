// The few Jet SQL forms the program sends, turned into SQLite text whose names are
// quoted and whose literals are parameters.
#include "platform/basic/Laufzeit.h"
#include "platform/dao/DaoIntern.h"

namespace dao::detail {
namespace {

enum class Art { Name, Klammername, Zahl, Zeichenkette, Zeichen, Ende };
struct Token {
    Art art;
    Text text;
};

[[noreturn]] void Syntax(TextSicht was) {
    FehlerAuslösen(fehler::SyntaxfehlerAusdruck, u"Syntaxfehler in der SQL-Anweisung: " + Text(was) + u".");
}

bool Buchstabe(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c > 0x7F; }
bool Ziffer(char16_t c) { return c >= u'0' && c <= u'9'; }

std::vector<Token> Zerlegen(TextSicht s) {
    std::vector<Token> t;
    size_t i = 0;
    while (i < s.size()) {
        const char16_t c = s[i];
        if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') {
            ++i;
        } else if (c == u'[') {
            // "]]" stands for a "]" of the name (SqlBezeichner).
            Text name;
            size_t e = i + 1;
            for (;;) {
                const size_t z = s.find(u']', e);
                if (z == TextSicht::npos) Syntax(u"fehlende schließende Klammer ']'");
                name += s.substr(e, z - e);
                e = z + 1;
                if (e < s.size() && s[e] == u']') {
                    name += u']';
                    ++e;
                    continue;
                }
                break;
            }
            t.push_back({Art::Klammername, std::move(name)});
            i = e;
        } else if (c == u'\'' || c == u'"') {
            Text wert;
            ++i;
            for (;;) {
                if (i >= s.size()) Syntax(u"nicht beendete Zeichenfolge");
                if (s[i] == c) {
                    if (i + 1 < s.size() && s[i + 1] == c) {
                        wert.push_back(c);
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                wert.push_back(s[i++]);
            }
            t.push_back({Art::Zeichenkette, wert});
        } else if (Ziffer(c) || (c == u'.' && i + 1 < s.size() && Ziffer(s[i + 1]))) {
            const size_t a = i;
            while (i < s.size() && Ziffer(s[i])) ++i;
            if (i < s.size() && s[i] == u'.') {
                ++i;
                while (i < s.size() && Ziffer(s[i])) ++i;
            }
            if (i + 1 < s.size() && (s[i] == u'E' || s[i] == u'e') &&
                (Ziffer(s[i + 1]) ||
                 ((s[i + 1] == u'+' || s[i + 1] == u'-') && i + 2 < s.size() && Ziffer(s[i + 2])))) {
                i += 2;
                while (i < s.size() && Ziffer(s[i])) ++i;
            }
            t.push_back({Art::Zahl, Text(s.substr(a, i - a))});
        } else if (Buchstabe(c)) {
            const size_t a = i;
            while (i < s.size() && (Buchstabe(s[i]) || Ziffer(s[i]))) ++i;
            t.push_back({Art::Name, Text(s.substr(a, i - a))});
        } else {
            Text z(1, c);
            if (i + 1 < s.size() &&
                ((c == u'<' && (s[i + 1] == u'>' || s[i + 1] == u'=')) || (c == u'>' && s[i + 1] == u'=')))
                z.push_back(s[++i]);
            if (Text(u"()*,=<>;-").find(c) == Text::npos) Syntax(u"unerwartetes Zeichen '" + z + u"'");
            t.push_back({Art::Zeichen, z});
            ++i;
        }
    }
    t.push_back({Art::Ende, {}});
    return t;
}

class Leser {
public:
    Leser(Verbindung& v, TextSicht sql) : v_(v), t_(Zerlegen(sql)) {}

    Abfrage lesen() {
        Abfrage a;
        if (wort(u"SELECT")) {
            std::vector<Text> namen;
            bool stern = false;
            do {
                if (zeichen(u"*")) {
                    namen.push_back({});
                    stern = true;
                } else {
                    namen.push_back(name());
                }
            } while (zeichen(u","));
            (void)stern;
            muss(u"FROM");
            a.tabelle = tabelle();
            for (auto& n : namen) {
                if (n.empty()) {
                    for (int32_t i = 0; i < a.tabelle->Fields().Count(); ++i) a.spalten.push_back(i);
                } else {
                    a.spalten.push_back(feld(*a.tabelle, n));
                }
            }
            if (wort(u"WHERE")) a.bedingung = ausdruck(a);
            if (wort(u"ORDER")) {
                muss(u"BY");
                do {
                    const int32_t f = feld(*a.tabelle, name());
                    const auto& fd = a.tabelle->Fields().liste()[static_cast<size_t>(f)];
                    if (!a.sortierung.empty()) a.sortierung += u",";
                    a.sortierung += SqlName(fd->Name());
                    const bool text = IstTextTyp(fd->Type());
                    if (text) a.sortierung += u" COLLATE PURIVO";
                    const bool absteigend = wort(u"DESC");
                    if (absteigend) a.sortierung += u" DESC";
                    else wort(u"ASC");
                    a.ordnung.push_back({f, text, absteigend});
                } while (zeichen(u","));
            }
        } else if (wort(u"DELETE")) {
            a.löschen = true;
            zeichen(u"*");
            muss(u"FROM");
            a.tabelle = tabelle();
            if (wort(u"WHERE")) a.bedingung = ausdruck(a);
        } else {
            FehlerAuslösen(fehler::SqlUngültig, u"Ungültige SQL-Anweisung: erwartet wird SELECT oder DELETE.");
        }
        zeichen(u";");
        if (t_[p_].art != Art::Ende) Syntax(u"unerwarteter Text '" + t_[p_].text + u"'");
        return a;
    }

    Abfrage bedingung(const TableDefPtr& t) {
        Abfrage a;
        a.tabelle = t;
        a.bedingung = ausdruck(a);
        if (t_[p_].art != Art::Ende) Syntax(u"unerwarteter Text '" + t_[p_].text + u"'");
        return a;
    }

private:
    bool wort(TextSicht w) {
        if (t_[p_].art == Art::Name && Grossbuchstaben(t_[p_].text) == w) {
            ++p_;
            return true;
        }
        return false;
    }
    void muss(TextSicht w) {
        if (!wort(w)) Syntax(u"erwartet wird " + Text(w));
    }
    bool zeichen(TextSicht z) {
        if (t_[p_].art == Art::Zeichen && t_[p_].text == z) {
            ++p_;
            return true;
        }
        return false;
    }
    Text name() {
        const Token& t = t_[p_];
        if (t.art == Art::Klammername) {
            ++p_;
            return t.text;
        }
        if (t.art == Art::Name && !Schlüsselwort(t.text)) {
            ++p_;
            return t.text;
        }
        Syntax(u"erwartet wird ein Name");
    }
    static bool Schlüsselwort(const Text& w) {
        const Text g = Grossbuchstaben(w);
        for (const char16_t* k : {u"SELECT", u"FROM", u"WHERE", u"ORDER", u"BY", u"AND", u"OR", u"NOT", u"DELETE",
                                  u"IS", u"NULL", u"ASC", u"DESC"})
            if (g == k) return true;
        return false;
    }
    TableDefPtr tabelle() {
        const Text n = name();
        const int32_t p = v_.tabellen.Position(n);
        if (p < 0) FehlerAuslösen(fehler::TabelleNichtGefunden, u"Die Tabelle '" + n + u"' wurde nicht gefunden.");
        return v_.tabellen.liste()[static_cast<size_t>(p)];
    }
    static int32_t feld(TableDef& t, const Text& n) {
        const int32_t p = t.Fields().Position(n);
        if (p < 0)
            FehlerAuslösen(fehler::ZuWenigeParameter, u"Das Feld '" + n + u"' ist unbekannt (zu wenige Parameter).");
        return p;
    }

    Text vergleich() {
        const Token& op = t_[p_];
        if (op.art != Art::Zeichen || Text(u"= <> < > <= >=").find(op.text) == Text::npos || op.text == u" ")
            Syntax(u"erwartet wird ein Vergleich");
        ++p_;
        return op.text;
    }

    Text ausdruck(Abfrage& a) {
        Text s = und(a);
        while (wort(u"OR")) s += u" OR " + und(a);
        return s;
    }
    Text und(Abfrage& a) {
        Text s = faktor(a);
        while (wort(u"AND")) s += u" AND " + faktor(a);
        return s;
    }
    Text faktor(Abfrage& a) {
        if (wort(u"NOT")) return u"NOT " + faktor(a);
        if (zeichen(u"(")) {
            Text s = ausdruck(a);
            if (!zeichen(u")")) Syntax(u"fehlende schließende Klammer ')'");
            return u"(" + s + u")";
        }
        // Two numbers ("1 = 2"): the query of a list that is to show no rows.
        if (t_[p_].art == Art::Zahl) {
            const Text links = t_[p_++].text;
            const Text op = vergleich();
            if (t_[p_].art != Art::Zahl) Syntax(u"erwartet wird eine Zahl");
            return links + u" " + op + u" " + t_[p_++].text;
        }
        const auto& fd = a.tabelle->Fields().liste()[static_cast<size_t>(feld(*a.tabelle, name()))];
        const Text spalte = SqlName(fd->Name());
        if (wort(u"IS")) {
            const bool nicht = wort(u"NOT");
            muss(u"NULL");
            return spalte + (nicht ? u" IS NOT NULL" : u" IS NULL");
        }
        const Text op = vergleich();
        const bool minus = zeichen(u"-");
        const Token& w = t_[p_];
        Variante wert;
        if (w.art == Art::Zahl) {
            auto z = ZahlAusText(w.text);
            if (!z) Syntax(u"ungültige Zahl");
            wert = Variante(minus ? -*z : *z);
        } else if (w.art == Art::Zeichenkette && !minus) {
            wert = Variante(w.text);
        } else {
            Syntax(u"erwartet wird eine Zahl oder Zeichenfolge");
        }
        ++p_;
        try {
            a.parameter.push_back(Speicherwert(*fd, wert, true));
        } catch (const LaufzeitFehler&) {
            FehlerAuslösen(fehler::DatentypKriterium,
                           u"Datentypen im Kriterienausdruck unverträglich (Feld '" + fd->Name() + u"').");
        }
        return spalte + (IstTextTyp(fd->Type()) ? u" COLLATE PURIVO " : u" ") + op + u" ?";
    }

    Verbindung& v_;
    std::vector<Token> t_;
    size_t p_ = 0;
};

}  // namespace

Abfrage SqlÜbersetzen(Verbindung& v, TextSicht sql) { return Leser(v, sql).lesen(); }
Abfrage BedingungÜbersetzen(Verbindung& v, const TableDefPtr& t, TextSicht kriterium) {
    return Leser(v, kriterium).bedingung(t);
}

}  // namespace dao::detail

namespace dao {

Text SqlBezeichner(TextSicht name) {
    Text s = u"[";
    for (const char16_t c : name) {
        s += c;
        if (c == u']') s += u']';
    }
    return s + u"]";
}

}  // namespace dao
