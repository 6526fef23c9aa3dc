// libFuzzer target for our own .xls parsing: the compound-file container and the
// BIFF workbook stream, then a rebuild with a new, a renamed and a removed sheet,
// whose result must parse again. Only Formatfehler and Verweigerung may leave.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/dao/storage/excel/Arbeitsmappe.h"
#include "platform/dao/storage/excel/Verbunddatei.h"

using namespace dao::speicher::excel;

namespace {

void MappePrüfen(const std::string& strom) {
    Arbeitsmappe mappe(strom);
    if (mappe.Version() < 5) return;
    for (size_t b = 0; b < mappe.Blätter().size(); ++b) (void)mappe.Sonderzellen(b);
    try {
        Arbeitsmappe::Blattschreiber s(mappe);
        s.Text_(0, 0, u"Name");
        s.Text_(1, 0, u"Müller");
        s.Zahl(1, 1, 36525.5, mappe.DatumXf(true));
        s.Zahl(2, 1, 1.5, mappe.StandardXf());
        s.Wahrheit(2, 2, true);
        std::vector<BlattPlan> plan;
        for (size_t b = 0; b < mappe.Blätter().size(); ++b) {
            BlattPlan p;
            p.alt = static_cast<int>(b);
            p.name = b == 0 ? Text(u"Umbenannt") : mappe.Blätter()[b].name;
            if (b == 1) continue;  // removed
            plan.push_back(p);
        }
        BlattPlan neu;
        neu.name = u"Neu";
        neu.inhalt = s.Fertig();
        plan.push_back(neu);
        const std::string umgebaut = mappe.Umbauen(plan);
        Arbeitsmappe wieder(umgebaut);
        if (wieder.Blätter().size() != plan.size()) __builtin_trap();
    } catch (const Verweigerung&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, size_t größe) {
    const std::string d(reinterpret_cast<const char*>(daten), größe);
    try {
        if (größe >= 8 && static_cast<uint8_t>(d[0]) == 0xD0) {
            Verbunddatei datei(d);
            int strom = datei.StromSuchen(u"Workbook");
            if (strom < 0) strom = datei.StromSuchen(u"Book");
            if (strom >= 0) MappePrüfen(datei.Strom(strom));
            const std::string neu = datei.Schreiben();
            Verbunddatei wieder(neu);
            if (wieder.Einträge().size() != datei.Einträge().size()) __builtin_trap();
        } else {
            MappePrüfen(d);  // a bare workbook stream
        }
    } catch (const Formatfehler&) {
    }
    return 0;
}
