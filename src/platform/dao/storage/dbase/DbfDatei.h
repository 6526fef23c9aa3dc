#pragma once
// The .dbf format itself, on bytes in memory: header and field descriptors, records,
// memo blocks (.dbt in the dBase III and IV layouts, .fpt of FoxPro) and code pages.
// Every fault of a file is an engine error naming the file; nothing here touches disk.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"
#include "platform/dao/storage/Zeichensatz.h"

namespace dao::speicher::dbase {


// ICU name of a language driver byte; "" when the byte names none we know.
std::string CodepageAusSprachtreiber(uint8_t byte);
// ICU name of what a .cpg file says ("ISO-8859-1", "1252", "UTF-8", …); "" when unknown.
std::string CodepageAusCpg(std::string_view inhalt);
// A language driver byte for an ICU name from the functions above; 0 when none.
uint8_t SprachtreiberFür(const std::string& codepage);

enum class Format : uint8_t { dBase3, dBase4, dBase7, FoxPro, VisualFoxPro };

struct DbfFeld {
    Text name;
    char typ = 'C';       // C N F D L M
    uint16_t breite = 0;  // bytes in the record
    uint8_t dezimalen = 0;
    uint32_t versatz = 0;  // from the record's deletion flag
};

struct DbfKopf {
    uint8_t version = 0x03;
    Format format = Format::dBase4;
    uint8_t sprachtreiber = 0;
    uint32_t anzahl = 0;      // complete records the file holds (header count, bounded by the length)
    uint32_t anzahlKopf = 0;  // what the header says
    uint32_t kopfLänge = 0;
    uint32_t satzLänge = 0;
    std::vector<DbfFeld> felder;
    bool hatMemo() const;
};

// The header without its fields: version and language driver, for choosing the code page.
struct Vorkopf {
    uint8_t version = 0;
    uint8_t sprachtreiber = 0;
    std::string codepage;  // what the header names ("" when nothing we know)
};
Vorkopf VorkopfLesen(std::string_view daten, const Text& datei);
// `daten` holds at least the whole header (the file's start); `dateiGröße` bounds the
// record count.
DbfKopf KopfLesen(std::string_view daten, uint64_t dateiGröße, const Text& datei, const Zeichensatz& zs);

// The Jet type (and size) under which a dBase field is seen.
struct JetTyp {
    int16_t typ;
    int32_t größe;
};
JetTyp JetTypVon(const DbfFeld& feld);

// Memo file of a table: `vorhanden` false when there is none beside the .dbf.
struct Memodaten {
    bool vorhanden = false;
    std::string_view daten;
    Text datei;
};

// Every record not marked deleted, values in field order, typed as JetTypVon says.
void SätzeLesen(const DbfKopf& kopf, std::string_view daten, const Memodaten& memo, const Zeichensatz& zs,
                const Text& datei, const std::function<void(const std::vector<Variante>&)>& ziel);

// Writes a dBase III/IV file (version 0x03, 0x83 or 0x8B) with its memo file.
class DbfSchreiber {
public:
    // `felder` with types C N F D L M, widths and decimals; the version is fixed by
    // `dBase3Memo` (0x83 layout) when there are memo fields, else 0x8B; 0x03 without.
    DbfSchreiber(std::vector<DbfFeld> felder, uint8_t sprachtreiber, bool dBase3Memo, const Zeichensatz& zs, Text datei,
                 std::string memoName);
    // Values in field order; a value the field cannot hold raises fehler::NumerischerÜberlauf.
    void Zeile(const std::vector<Variante>& werte);
    std::string DbfBytes() const;
    bool HatMemo() const { return memo_; }
    std::string MemoBytes() const;

private:
    void Memo(TextSicht text, char* feld, const DbfFeld& f);
    // Refuses a text the code page cannot hold, naming table and field.
    std::string Kodieren(TextSicht text, const DbfFeld& f) const;
    std::vector<DbfFeld> felder_;
    uint8_t sprachtreiber_;
    bool memo_ = false;
    bool dBase3_;
    const Zeichensatz& zs_;
    Text datei_;
    Text tabelle_;
    uint32_t satzLänge_ = 1;
    uint32_t anzahl_ = 0;
    std::string sätze_;
    std::string memoDaten_;
};

}  // namespace dao::speicher::dbase
