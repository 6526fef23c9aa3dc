// libFuzzer target for the header and password code of the Access driver: any
// bytes as page 0 of a file, never a crash, and what is read keeps its limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/dao/storage/access/AccessKopf.h"

using namespace dao::speicher::access;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, size_t länge) {
    JetKopf kopf;
    const Kopfbefund befund = KopfLesen(daten, länge, kopf);
    if (befund != Kopfbefund::gültig) return 0;
    if (kopf.version != 3 && kopf.version != 4) std::abort();
    if (kopf.seitengröße != (kopf.version == 3 ? 2048u : 4096u) || länge < kopf.seitengröße) std::abort();
    if (kopf.kennwort.size() > 20) std::abort();
    if (!KennwortPasst(kopf, kopf.kennwort)) std::abort();
    if (KennwortPasst(kopf, kopf.kennwort + u"x")) std::abort();
    // The bytes after the header as Jet 3 text in the code page the header names.
    const std::string_view rest(reinterpret_cast<const char*>(daten) + 0x100, länge - 0x100);
    (void)TextAusCodepage(rest.substr(0, 64), kopf.codepage);
    return 0;
}
