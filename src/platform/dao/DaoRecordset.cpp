#include <algorithm>
#include <functional>
#include <set>

#include "platform/dao/DaoIntern.h"

namespace dao {
using detail::Anweisung;
using detail::Bezeichner;
using detail::SqlName;

namespace {
[[noreturn]] void KeinAktueller() { FehlerAuslösen(fehler::KeinAktuellerDatensatz, u"Kein aktueller Datensatz."); }

bool BeginntMitSelect(TextSicht s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t' || s[i] == u'\r' || s[i] == u'\n' || s[i] == u'(')) ++i;
    return Grossbuchstaben(s.substr(i, 6)) == u"SELECT";
}
}  // namespace

RecordsetPtr Database::OpenRecordset(TextSicht quelle, int32_t typ) {
    auto v = offen();
    std::shared_ptr<Recordset> rs(new Recordset());
    rs->db_ = v;
    rs->typ_ = typ;
    if (typ != dbOpenTable && typ != dbOpenDynaset && typ != dbOpenSnapshot)
        FehlerAuslösen(fehler::UngültigesArgument, u"Ungültige Art der Datensatzgruppe.");
    if (BeginntMitSelect(quelle)) {
        if (typ == dbOpenTable)
            FehlerAuslösen(fehler::OperationUngültig, u"Eine Abfrage kann nicht als Tabelle geöffnet werden.");
        auto a = detail::SqlÜbersetzen(*v, quelle);
        rs->tabelle_ = a.tabelle;
        rs->spalten_ = a.spalten;
        rs->sql_ = u"SELECT rowid FROM " + SqlName(a.tabelle->Name());
        if (!a.bedingung.empty()) rs->sql_ += u" WHERE " + a.bedingung;
        rs->sql_ += u" ORDER BY " + (a.sortierung.empty() ? Text() : a.sortierung + u",") + u"rowid";
        if (!a.ordnung.empty()) {
            rs->schlüsselSql_ = u"SELECT rowid";
            for (const auto& g : a.ordnung)
                rs->schlüsselSql_ += u"," + SqlName(a.tabelle->Fields().liste()[static_cast<size_t>(g.feld)]->Name());
            rs->schlüsselSql_ += u" FROM " + SqlName(a.tabelle->Name());
            if (!a.bedingung.empty()) rs->schlüsselSql_ += u" WHERE " + a.bedingung;
            rs->ordnung_ = std::move(a.ordnung);
        }
        rs->parameter_ = std::move(a.parameter);
    } else {
        const int32_t p = v->tabellen.Position(quelle);
        if (p < 0)
            FehlerAuslösen(fehler::TabelleNichtGefunden,
                           u"Die Tabelle oder Abfrage '" + Text(quelle) + u"' wurde nicht gefunden.");
        rs->tabelle_ = v->tabellen.liste()[static_cast<size_t>(p)];
        for (int32_t i = 0; i < rs->tabelle_->Fields().Count(); ++i) rs->spalten_.push_back(i);
        Text ordnung;
        if (typ == dbOpenTable)  // a table-type recordset runs in primary-key order
            for (auto& ix : rs->tabelle_->Indexes().liste())
                if (ix->Primary())
                    for (auto& f : ix->Fields().liste()) {
                        const int32_t p2 = rs->tabelle_->Fields().Position(f->Name());
                        if (p2 < 0) continue;
                        const auto& fd = rs->tabelle_->Fields().liste()[static_cast<size_t>(p2)];
                        ordnung += SqlName(fd->Name()) + (detail::IstTextTyp(fd->Type()) ? u" COLLATE PURIVO," : u",");
                    }
        rs->sql_ = u"SELECT rowid FROM " + SqlName(rs->tabelle_->Name()) + u" ORDER BY " + ordnung + u"rowid";
    }
    rs->füllen();
    for (size_t i = 0; i < rs->spalten_.size(); ++i) {
        auto f = std::make_shared<Field>(*rs->tabelle_->Fields().liste()[static_cast<size_t>(rs->spalten_[i])]);
        f->tabelle_.reset();
        f->satz_ = rs;
        f->satzRoh_ = rs.get();
        f->spalte_ = static_cast<int32_t>(i);
        rs->felder_.liste_.push_back(f);
    }
    rs->felder_.vorAnhängen_ = [](const FieldPtr&) {
        FehlerAuslösen(fehler::OperationUngültig, u"Einer Datensatzgruppe können keine Felder angefügt werden.");
    };
    rs->felder_.vorLöschen_ = [](const FieldPtr&, int32_t) {
        FehlerAuslösen(fehler::OperationUngültig, u"Aus einer Datensatzgruppe können keine Felder gelöscht werden.");
    };
    return rs;
}

Recordset::~Recordset() { stromBeenden(); }

void Recordset::stromBeenden() {
    if (!strom_) return;
    if (db_) db_->ströme.erase(strom_.get());
    strom_->beenden();
}

void Recordset::füllen() {
    db_->laden(*tabelle_);
    zeilen_.clear();
    stromBeenden();
    strom_.reset();
    if (ordnung_.empty() || !detail::SchlüsselSortieren(*db_, schlüsselSql_, parameter_, ordnung_, zeilen_)) {
        Anweisung a(db_->db, sql_);
        for (size_t i = 0; i < parameter_.size(); ++i) a.binden(static_cast<int>(i + 1), parameter_[i]);
        while (a.schritt()) zeilen_.push_back(sqlite3_column_int64(a.s(), 0));
    }
    aufsteigend_ = std::adjacent_find(zeilen_.begin(), zeilen_.end(), std::greater_equal<>()) == zeilen_.end();
    pos_ = zeilen_.empty() ? 0 : 0;  // on the first record, or BOF and EOF at once when empty
    gelöscht_ = false;
    modus_ = 0;
    geladen_ = -1;
}

void Recordset::offen() const {
    if (geschlossen_) FehlerAuslösen(fehler::ObjektUngültig, u"Die Datensatzgruppe ist geschlossen.");
    db_->offen();
}

bool Recordset::EOF_() const {
    offen();
    return pos_ >= static_cast<int64_t>(zeilen_.size());
}
bool Recordset::BOF_() const {
    offen();
    return pos_ < 0 || zeilen_.empty();
}
int32_t Recordset::RecordCount() const {
    offen();
    return static_cast<int32_t>(zeilen_.size());
}

void Recordset::brauchtAktuellen() const {
    offen();
    if (pos_ < 0 || pos_ >= static_cast<int64_t>(zeilen_.size())) KeinAktueller();
    if (gelöscht_) FehlerAuslösen(fehler::DatensatzGelöscht, u"Der Datensatz ist gelöscht.");
}

void Recordset::MoveFirst() {
    offen();
    CancelUpdate();
    pos_ = 0;
    gelöscht_ = false;
    if (zeilen_.empty()) KeinAktueller();
}
void Recordset::MoveLast() {
    offen();
    CancelUpdate();
    gelöscht_ = false;
    if (zeilen_.empty()) {
        pos_ = 0;
        KeinAktueller();
    }
    pos_ = static_cast<int64_t>(zeilen_.size()) - 1;
}
void Recordset::MoveNext() {
    if (EOF_()) KeinAktueller();
    CancelUpdate();
    if (!gelöscht_) ++pos_;  // after a delete the next row already moved up
    gelöscht_ = false;
}
void Recordset::MovePrevious() {
    if (BOF_()) KeinAktueller();
    CancelUpdate();
    --pos_;
    gelöscht_ = false;
}
void Recordset::Move(int32_t n) {
    offen();
    if (n == 0) {
        brauchtAktuellen();
        return;
    }
    CancelUpdate();
    int64_t ziel = pos_ + n;
    if (gelöscht_ && n > 0) --ziel;
    gelöscht_ = false;
    const auto anzahl = static_cast<int64_t>(zeilen_.size());
    pos_ = ziel < -1 ? -1 : ziel > anzahl ? anzahl : ziel;
}

// The table's row reader (`nurDasein`: its check that the row is there) stepped onto
// row `rowid`, to be reset after reading; the deleted-record error when the row is gone.
Anweisung& Recordset::zeileSuchen(int64_t rowid, bool nurDasein) const {
    auto& a = db_->zeilenLeser(*tabelle_, nurDasein);
    a.bindenGanz(1, rowid);
    if (!a.schritt()) {
        a.zurück();
        FehlerAuslösen(fehler::DatensatzGelöscht, u"Der Datensatz ist gelöscht.");
    }
    return a;
}

// The current row into the cache: from the stream where one runs at the position or
// may start there cheaply, else by its rowid.
void Recordset::zeileLaden() {
    const int64_t rowid = zeilen_[static_cast<size_t>(pos_)];
    if (geladen_ == rowid) return;
    const auto& felder = tabelle_->Fields().liste();
    zeile_.resize(felder.size());
    detail::Strom* s = stromAnPosition(false);
    if (s && stromSchritt(s, rowid)) {
        for (size_t i = 0; i < felder.size(); ++i) zeile_[i] = detail::Umwandeln(*felder[i], s->zellen[i]);
    } else {
        auto& a = zeileSuchen(rowid);
        for (size_t i = 0; i < felder.size(); ++i) zeile_[i] = detail::Lesen(*felder[i], a.s(), static_cast<int>(i));
        a.zurück();
    }
    geladen_ = rowid;
}

Variante Recordset::wert(int32_t spalte) {
    const auto feld = static_cast<size_t>(spalten_[static_cast<size_t>(spalte)]);
    if (modus_ != 0 && !puffer_[feld].istEmpty()) return puffer_[feld];
    if (modus_ == 1) return Variante::Null();
    brauchtAktuellen();
    zeileLaden();
    return zeile_[feld];
}

void Recordset::setzen(int32_t spalte, const Variante& v) {
    offen();
    if (modus_ == 0) FehlerAuslösen(fehler::UpdateOhneEdit, u"Update oder CancelUpdate ohne AddNew oder Edit.");
    const auto i = static_cast<size_t>(spalten_[static_cast<size_t>(spalte)]);
    // A value the field cannot hold (type, range, size) is refused at the assignment,
    // as Jet does, so an error trap sees the failing statement; "" and the Null and
    // key rules wait for Update.
    if (!v.istEmpty() && !v.istNull()) detail::ZuweisungPrüfen(*tabelle_->Fields().liste()[i], v);
    // Empty written leaves the field without value; Empty in the buffer means untouched.
    puffer_[i] = v.istEmpty() ? Variante::Null() : v;
}

namespace {
// In rowid order: how far the set may move on, and how many rows outside the set the
// stream may pass, before a seek is cheaper than stepping.
constexpr int64_t kSchritte = 32;
// A sorted set: how often a window may be read other than as the next one (each is a
// scan of the whole table).
constexpr int kSprünge = 8;
}  // namespace

namespace detail {
size_t FensterBytes = size_t{128} << 20;
}

// In rowid order: (re)starts the statement at a seek to the current row, prepared
// once while it lives.
void Recordset::stromStarten() {
    auto& v = *db_;
    detail::Strom& s = *strom_;
    if (s.a) {
        s.a->zurück();
    } else {
        s.a = std::make_unique<Anweisung>(v.db, u"SELECT rowid" + detail::Spaltenliste(*tabelle_) + u" FROM " +
                                                    SqlName(tabelle_->Name()) + u" WHERE rowid>=?1 ORDER BY rowid");
        v.ströme.insert(&s);
    }
    s.pos = pos_;
    s.a->bindenGanz(1, zeilen_[static_cast<size_t>(pos_)]);
    s.tabelle = tabelle_.get();
    s.seit = v.änderungsStand;
}

// A sorted set: reads the window from the current position on.
void Recordset::fensterLaden() {
    auto& v = *db_;
    detail::Strom& s = *strom_;
    if (!s.stellenGültig) {
        s.stellen.füllen(zeilen_);
        s.stellenGültig = true;
    }
    if (s.fensterZeilen == 0)
        s.fensterZeilen = detail::Fenster::Zeilen(v, *tabelle_, detail::FensterBytes, s.fensterEinheiten);
    const int64_t bis = std::min<int64_t>(pos_ + s.fensterZeilen, static_cast<int64_t>(zeilen_.size()));
    s.seit = v.änderungsStand;
    s.tabelle = tabelle_.get();
    v.ströme.insert(&s);  // so that the rows changed from now on are known
    s.fenster.laden(v, *tabelle_, s.stellen, pos_, bis, s.fensterEinheiten);
    s.fensterEnde = bis;
}

// The stream at the set's position, started if it may be; null when the row must be
// looked up by rowid. In rowid order a start costs a seek, so it starts again wherever
// the set jumped to. A sorted set reads the window holding the position; one read as
// the next costs a scan per window's rows, any other only GetRows may read, a few times.
detail::Strom* Recordset::stromAnPosition(bool starten) {
    if (pos_ < 0 || pos_ >= static_cast<int64_t>(zeilen_.size())) return nullptr;
    if (!strom_) strom_ = std::make_unique<detail::Strom>();
    detail::Strom& s = *strom_;
    if (aufsteigend_) {
        // stromSchritt passes the rows between by their rowids.
        if (!s.a || s.pos > pos_ || pos_ - s.pos > kSchritte) stromStarten();
        return &s;
    }
    if (s.fenster.enthält(pos_)) return &s;
    if (pos_ != s.fensterEnde) {
        if (!starten || s.starts >= kSprünge) return nullptr;
        ++s.starts;
    }
    fensterLaden();
    return &s;
}

// The row `rowid` at the set's position from stream `s` into its cells; false when the
// stream cannot give it as it is now (`s` null once the statement lost step).
bool Recordset::stromSchritt(detail::Strom*& s, int64_t rowid) {
    const auto& felder = tabelle_->Fields().liste();
    s->zellen.resize(felder.size());
    if (aufsteigend_) {
        // Rows below `rowid` are the set's skipped ones or rows it does not hold.
        bool getroffen = false;
        for (int64_t k = 0; k <= 2 * kSchritte && s->a->schritt(); ++k) {
            const int64_t r = sqlite3_column_int64(s->a->s(), 0);
            if (r >= rowid) {
                getroffen = r == rowid;
                break;
            }
        }
        if (!getroffen) {
            stromBeenden();  // the next read seeks again
            s = nullptr;
            return false;
        }
        s->pos = pos_ + 1;
        for (size_t i = 0; i < felder.size(); ++i)
            s->zellen[i] = detail::ZelleLesen(*felder[i], s->a->s(), static_cast<int>(i) + 1);
    } else if (!s->fenster.zeile(pos_, rowid, s->zellen)) {
        return false;  // gone or added since the window was read
    }
    const auto& v = *db_;
    if (const auto g = v.geänderteZeilen.find(tabelle_.get());
        g != v.geänderteZeilen.end() && g->second.stand(rowid) > s->seit)
        return false;  // changed since the stream read it
    return true;
}

// The row `rowid` from stream `s` into `feld`, as stromSchritt.
bool Recordset::zeileAusStrom(detail::Strom*& s, int64_t rowid, std::vector<std::vector<Variante>>& feld) {
    if (!stromSchritt(s, rowid)) return false;
    const auto& felder = tabelle_->Fields().liste();
    for (size_t c = 0; c < spalten_.size(); ++c) {
        const auto f = static_cast<size_t>(spalten_[c]);
        feld[c].push_back(detail::Umwandeln(*felder[f], s->zellen[f]));
    }
    return true;
}

void Recordset::zeileNachschlagen(int64_t rowid, std::vector<std::vector<Variante>>& feld) {
    auto& a = zeileSuchen(rowid);
    const auto& felder = tabelle_->Fields().liste();
    for (size_t c = 0; c < spalten_.size(); ++c) {
        const auto f = static_cast<size_t>(spalten_[c]);
        feld[c].push_back(detail::Lesen(*felder[f], a.s(), static_cast<int>(f)));
    }
    a.zurück();
}

std::vector<std::vector<Variante>> Recordset::GetRows(int32_t n) {
    offen();
    std::vector<std::vector<Variante>> feld(spalten_.size());
    if (EOF_() || n <= 0) return feld;
    brauchtAktuellen();
    CancelUpdate();
    const auto ende = std::min<int64_t>(pos_ + n, static_cast<int64_t>(zeilen_.size()));
    for (auto& s : feld) s.reserve(static_cast<size_t>(ende - pos_));
    // Straight from the statement into the result, without the row cache. Reading
    // forward goes through the stream; a row it cannot give is looked up by rowid.
    geladen_ = -1;
    for (; pos_ < ende; ++pos_) {
        const int64_t rowid = zeilen_[static_cast<size_t>(pos_)];
        detail::Strom* s = stromAnPosition(true);
        if (s && zeileAusStrom(s, rowid, feld)) continue;
        zeileNachschlagen(rowid, feld);
    }
    return feld;
}

void Recordset::AddNew() {
    offen();
    if (typ_ == dbOpenSnapshot) FehlerAuslösen(fehler::Schreibgeschützt, u"Die Datensatzgruppe ist schreibgeschützt.");
    db_->schreibenVorbereiten(*tabelle_);
    puffer_.assign(tabelle_->Fields().liste().size(), Variante::Empty());
    modus_ = 1;
}

void Recordset::Edit() {
    brauchtAktuellen();
    if (typ_ == dbOpenSnapshot) FehlerAuslösen(fehler::Schreibgeschützt, u"Die Datensatzgruppe ist schreibgeschützt.");
    db_->schreibenVorbereiten(*tabelle_);
    // The row must still be there; its values are read when asked for (or for the
    // key and required checks of Update), not converted here for every edit.
    if (geladen_ != zeilen_[static_cast<size_t>(pos_)]) zeileSuchen(zeilen_[static_cast<size_t>(pos_)], true).zurück();
    puffer_.assign(tabelle_->Fields().liste().size(), Variante::Empty());
    modus_ = 2;
}

void Recordset::CancelUpdate() {
    modus_ = 0;
    puffer_.clear();
}

namespace {

// Which fields make up the primary key, found once per table.
void PrimärschlüsselBestimmen(TableDef& t, detail::Tabellenvorrat& vorrat) {
    if (vorrat.primärBekannt) return;
    vorrat.primär.assign(t.Fields().liste().size(), false);
    for (auto& ix : t.Indexes().liste())
        if (ix->Primary())
            for (auto& f : ix->Fields().liste()) {
                const int32_t p = t.Fields().Position(f->Name());
                if (p >= 0) vorrat.primär[static_cast<size_t>(p)] = true;
            }
    vorrat.primärBekannt = true;
}

// The next auto number of field i: above the largest value stored when none was handed out yet.
int64_t NächsterAutowert(detail::Verbindung& v, TableDef& t, size_t i) {
    auto key = std::make_pair(&std::as_const(t), static_cast<int32_t>(i));
    auto it = v.autoWert.find(key);
    if (it == v.autoWert.end()) {
        const Field& f = *t.Fields().liste()[i];
        Anweisung m(v.db, u"SELECT max(" + SqlName(f.Name()) + u") FROM " + SqlName(t.Name()));
        m.schritt();
        it = v.autoWert.emplace(key, sqlite3_column_int64(m.s(), 0) + 1).first;
    }
    return it->second;
}

// The INSERT for the written fields, prepared once per combination of them.
Anweisung& EinfügenAnweisung(detail::Verbindung& v, TableDef& t, detail::Tabellenvorrat& vorrat,
                             const std::string& schlüssel, bool ohneWerte) {
    auto& a = vorrat.einfügen[schlüssel];
    if (!a) {
        const auto& felder = t.Fields().liste();
        Text sql = u"INSERT INTO " + SqlName(t.Name());
        if (ohneWerte) {
            sql += u" DEFAULT VALUES";
        } else {
            Text namen, fragen;
            for (size_t i = 0; i < felder.size(); ++i)
                if (schlüssel[i] == '1') {
                    namen += (namen.empty() ? u"" : u",") + SqlName(felder[i]->Name());
                    fragen += fragen.empty() ? u"?" : u",?";
                }
            sql += u"(" + namen + u") VALUES(" + fragen + u")";
        }
        a = std::make_unique<Anweisung>(v.db, sql);
    }
    return *a;
}

// The UPDATE of the written fields by rowid (its last parameter), prepared once per combination.
Anweisung& ÄndernAnweisung(detail::Verbindung& v, TableDef& t, detail::Tabellenvorrat& vorrat,
                           const std::string& schlüssel) {
    auto& a = vorrat.ändern[schlüssel];
    if (!a) {
        const auto& felder = t.Fields().liste();
        Text sql = u"UPDATE " + SqlName(t.Name()) + u" SET ";
        bool erstes = true;
        for (size_t i = 0; i < felder.size(); ++i)
            if (schlüssel[i] == '1') {
                sql += (erstes ? u"" : u",") + SqlName(felder[i]->Name()) + u"=?";
                erstes = false;
            }
        a = std::make_unique<Anweisung>(v.db, sql + u" WHERE rowid=?");
    }
    return *a;
}

// Auto numbers continue above every value written.
void AutowerteNachziehen(detail::Verbindung& v, TableDef& t, const std::string& schlüssel,
                         const std::vector<const Variante*>& werte) {
    const auto& felder = t.Fields().liste();
    for (size_t i = 0, k = 0; i < felder.size(); ++i) {
        if (schlüssel[i] != '1') continue;
        const Variante& w = *werte[k++];
        if ((felder[i]->Attributes() & dbAutoIncrField) && !w.istNull()) {
            auto key = std::make_pair(&std::as_const(t), static_cast<int32_t>(i));
            const auto n = static_cast<int64_t>(w.zahl()) + 1;
            auto it = v.autoWert.find(key);
            if (it == v.autoWert.end() || it->second < n) v.autoWert[key] = n;
        }
    }
}

}  // namespace

void Recordset::Update() {
    offen();
    if (modus_ == 0) FehlerAuslösen(fehler::UpdateOhneEdit, u"Update oder CancelUpdate ohne AddNew oder Edit.");
    auto& v = *db_;
    v.schreibenVorbereiten(*tabelle_);
    auto& vorrat = v.vorratVon(*tabelle_);
    PrimärschlüsselBestimmen(*tabelle_, vorrat);
    std::string schlüssel(tabelle_->Fields().liste().size(), '0');  // which fields the statement writes
    std::vector<const Variante*> werte;
    std::vector<Variante> eigene;
    werteSammeln(vorrat.primär, schlüssel, werte, eigene);
    if (modus_ == 1) {
        Anweisung& a = EinfügenAnweisung(v, *tabelle_, vorrat, schlüssel, werte.empty());
        for (size_t k = 0; k < werte.size(); ++k) a.binden(static_cast<int>(k + 1), *werte[k], true);
        a.schritt();
        a.zurück();
        const bool amEnde = pos_ >= static_cast<int64_t>(zeilen_.size());
        const int64_t neu = sqlite3_last_insert_rowid(v.db);
        if (aufsteigend_ && !zeilen_.empty() && neu <= zeilen_.back()) {
            stromBeenden();  // its statement reads in rowid order
            strom_.reset();
            aufsteigend_ = false;
        }
        zeilen_.push_back(neu);  // after every place the windows know, read by rowid
        if (amEnde) pos_ = static_cast<int64_t>(zeilen_.size());
    } else if (!werte.empty()) {
        Anweisung& a = ÄndernAnweisung(v, *tabelle_, vorrat, schlüssel);
        for (size_t k = 0; k < werte.size(); ++k) a.binden(static_cast<int>(k + 1), *werte[k], true);
        a.bindenGanz(static_cast<int>(werte.size() + 1), zeilen_[static_cast<size_t>(pos_)]);
        a.schritt();
        a.zurück();
        v.zeileGeändert(*tabelle_, zeilen_[static_cast<size_t>(pos_)]);
    }
    v.markieren(*tabelle_);
    AutowerteNachziehen(v, *tabelle_, schlüssel, werte);
    geladen_ = -1;
    CancelUpdate();
}

// The values the statement writes, in field order, marked in `schlüssel`: the edited ones,
// for a new row the next auto numbers. Null is refused for key and required fields,
// the unchanged values of an edited row included.
void Recordset::werteSammeln(const std::vector<bool>& primär, std::string& schlüssel,
                             std::vector<const Variante*>& werte, std::vector<Variante>& eigene) {
    const auto& felder = tabelle_->Fields().liste();
    werte.reserve(felder.size());
    eigene.reserve(felder.size());  // never grown: `werte` points into it
    for (size_t i = 0; i < felder.size(); ++i) {
        const Field& f = *felder[i];
        const bool auto_ = (f.Attributes() & dbAutoIncrField) != 0;
        Variante roh;
        bool schreiben = !puffer_[i].istEmpty();
        if (schreiben && detail::AlsSpeicherwertPrüfen(f, puffer_[i])) {
            schlüssel[i] = '1';
            werte.push_back(&puffer_[i]);  // a text is written as it stands in the buffer
            continue;
        }
        if (schreiben) {
            roh = detail::Speicherwert(f, puffer_[i]);
        } else if (modus_ == 1 && auto_) {
            roh = Variante(NächsterAutowert(*db_, *tabelle_, i));
            schreiben = true;
        } else if (modus_ == 1) {
            roh = Variante::Null();
        } else if (primär[i] || f.Required()) {
            zeileLaden();
            roh = zeile_[i];
        }
        if (roh.istNull()) {
            if (primär[i])
                FehlerAuslösen(fehler::SchlüsselNull,
                               u"Der Primärschlüssel darf nicht Null sein (Feld '" + f.Name() + u"').");
            if (f.Required())
                FehlerAuslösen(fehler::PflichtfeldNull, u"Das Feld '" + f.Name() + u"' muss einen Wert erhalten.");
        }
        if (schreiben) {
            schlüssel[i] = '1';
            eigene.push_back(std::move(roh));
            werte.push_back(&eigene.back());
        }
    }
}

void Recordset::Delete() {
    brauchtAktuellen();
    db_->schreibenVorbereiten(*tabelle_);
    CancelUpdate();
    Anweisung a(db_->db, u"DELETE FROM " + SqlName(tabelle_->Name()) + u" WHERE rowid=?");
    a.bindenGanz(1, zeilen_[static_cast<size_t>(pos_)]);
    a.schritt();
    db_->markieren(*tabelle_);
    db_->zeileGeändert(*tabelle_, zeilen_[static_cast<size_t>(pos_)]);
    stromBeenden();  // the set's positions move up behind the stream's
    zeilen_.erase(zeilen_.begin() + pos_);
    if (strom_) strom_->stellenGültig = false;  // the places the windows are read by moved
    gelöscht_ = true;
    geladen_ = -1;
}

void Recordset::Requery() {
    offen();
    füllen();
}

void Recordset::suchen(TextSicht kriterium, int64_t ab, int schritt) {
    offen();
    CancelUpdate();
    auto a = detail::BedingungÜbersetzen(*db_, tabelle_, kriterium);
    Anweisung q(db_->db, u"SELECT rowid FROM " + SqlName(tabelle_->Name()) + u" WHERE " + a.bedingung);
    for (size_t i = 0; i < a.parameter.size(); ++i) q.binden(static_cast<int>(i + 1), a.parameter[i]);
    std::set<int64_t> treffer;
    while (q.schritt()) treffer.insert(sqlite3_column_int64(q.s(), 0));
    const auto anzahl = static_cast<int64_t>(zeilen_.size());
    for (int64_t i = ab; i >= 0 && i < anzahl; i += schritt)
        if (treffer.count(zeilen_[static_cast<size_t>(i)])) {
            pos_ = i;
            gelöscht_ = false;
            keinTreffer_ = false;
            return;
        }
    keinTreffer_ = true;
}

void Recordset::FindFirst(TextSicht kriterium) { suchen(kriterium, 0, 1); }
void Recordset::FindLast(TextSicht kriterium) { suchen(kriterium, static_cast<int64_t>(zeilen_.size()) - 1, -1); }
void Recordset::FindNext(TextSicht kriterium) {
    // After a Delete the next row already stands at the current position.
    suchen(kriterium, pos_ < 0 ? 0 : gelöscht_ ? pos_ : pos_ + 1, 1);
}
void Recordset::FindPrevious(TextSicht kriterium) {
    const auto anzahl = static_cast<int64_t>(zeilen_.size());
    suchen(kriterium, pos_ > anzahl ? anzahl - 1 : pos_ - 1, -1);
}

int64_t Recordset::Bookmark() const {
    brauchtAktuellen();
    return zeilen_[static_cast<size_t>(pos_)];
}

void Recordset::Bookmark(int64_t lesezeichen) {
    offen();
    CancelUpdate();
    for (size_t i = 0; i < zeilen_.size(); ++i)
        if (zeilen_[i] == lesezeichen) {
            pos_ = static_cast<int64_t>(i);
            gelöscht_ = false;
            return;
        }
    FehlerAuslösen(fehler::LesezeichenUngültig, u"Das Lesezeichen ist ungültig.");
}

std::shared_ptr<Recordset> Recordset::Clone() {
    offen();
    std::shared_ptr<Recordset> rs(new Recordset());
    rs->db_ = db_;
    rs->tabelle_ = tabelle_;
    rs->typ_ = typ_;
    rs->sql_ = sql_;
    rs->schlüsselSql_ = schlüsselSql_;
    rs->ordnung_ = ordnung_;
    rs->parameter_ = parameter_;
    rs->spalten_ = spalten_;
    rs->zeilen_ = zeilen_;
    rs->aufsteigend_ = aufsteigend_;
    rs->pos_ = 0;
    for (auto& f : felder_.liste()) {
        auto g = std::make_shared<Field>(*f);
        g->satz_ = rs;
        g->satzRoh_ = rs.get();
        rs->felder_.liste_.push_back(g);
    }
    rs->felder_.vorAnhängen_ = felder_.vorAnhängen_;
    rs->felder_.vorLöschen_ = felder_.vorLöschen_;
    return rs;
}

void Recordset::Close() {
    offen();
    CancelUpdate();
    geschlossen_ = true;
    stromBeenden();
    zeilen_.clear();
}

// ---- Field values ----

// Reading or writing a value runs no code of the caller, so nothing can release the
// recordset meanwhile: whether it lives is enough.
Variante Field::Value() const {
    if (satz_.expired())
        FehlerAuslösen(fehler::OperationUngültig, u"Das Feld gehört zu keiner geöffneten Datensatzgruppe.");
    satzRoh_->offen();
    return satzRoh_->wert(spalte_);
}

void Field::Value(const Variante& v) {
    if (satz_.expired())
        FehlerAuslösen(fehler::OperationUngültig, u"Das Feld gehört zu keiner geöffneten Datensatzgruppe.");
    satzRoh_->setzen(spalte_, v);
}

}  // namespace dao
