#include "foundation/mdlRegistry.h"

#include <string>
#include <vector>

#include "platform/basic/Laufzeit.h"
#include "platform/registry/Registry.h"

namespace {

// Query, set, create subkey, enumerate, notify, create link.
constexpr uint32_t kZugriff = 0x3F;

// Names reach the registry in the ANSI code page, so they lose what it lacks
// the same way on writing and on reading.
Text ansiName(const Text& name) { return TextAusAnsi(AnsiAusText(name)); }

}  // namespace

void RegSchlüsselAnlegen(int32_t hKey, const Text& KeyName) {
    try {
        int32_t handle = 0, disposition = 0;
        registry::RegCreateKeyEx(hKey, ansiName(KeyName), kZugriff, handle, disposition);
        registry::RegCloseKey(handle);
    } catch (...) {
    }
}

void RegWertSchreiben(int32_t hKey, const Text& KeyName, const Text& ValueName, int32_t Typ, const Variante& Wert) {
    try {
        // A missing key leaves the handle 0, and the write then fails on it.
        int32_t handle = 0;
        registry::RegOpenKeyEx(hKey, ansiName(KeyName), kZugriff, handle);
        RegWertSetzen(handle, ValueName, Typ, Wert);
        registry::RegCloseKey(handle);
    } catch (...) {
    }
}

Variante RegWertLesen(int32_t hKey, const Text& KeyName, const Text& ValueName) {
    Variante ergebnis;
    try {
        int32_t handle = 0;
        registry::RegOpenKeyEx(hKey, ansiName(KeyName), kZugriff, handle);
        RegWertAbfragen(handle, ValueName, ergebnis);
        registry::RegCloseKey(handle);
    } catch (...) {
    }
    return ergebnis;
}

int32_t RegWertSetzen(int32_t hKey, const Text& ValueName, int32_t Typ, const Variante& Wert) {
    int32_t status = 0;
    try {
        switch (Typ) {
            case 1: {
                // The text with its closing 0; the length counts the 0.
                const std::string ansi = AnsiAusText((Wert & Variante(Text(1, u'\0'))).text());
                status = registry::RegSetValueEx(hKey, ansiName(ValueName), registry::REG_SZ,
                                                 reinterpret_cast<const uint8_t*>(ansi.data()),
                                                 static_cast<uint32_t>(ansi.size()));
                break;
            }
            case 4: {
                const auto zahl = static_cast<uint32_t>(Wert.alsLong());
                const uint8_t bytes[4] = {static_cast<uint8_t>(zahl), static_cast<uint8_t>(zahl >> 8),
                                          static_cast<uint8_t>(zahl >> 16), static_cast<uint8_t>(zahl >> 24)};
                status = registry::RegSetValueEx(hKey, ansiName(ValueName), registry::REG_DWORD, bytes, 4);
                break;
            }
            default: break;  // no other type is written
        }
    } catch (...) {
        // A value that is no 32-bit number writes nothing.
    }
    return status;
}

int32_t RegWertAbfragen(int32_t hKey, Text ValueName, Variante& Wert) {
    int32_t status = 0;
    try {
        ValueName = ansiName(ValueName);
        uint32_t typ = 0, size = 0;
        status = registry::RegQueryValueEx(hKey, ValueName, typ, nullptr, size);
        if (status != registry::ERROR_SUCCESS) return status;
        switch (typ) {
            case registry::REG_SZ: {
                std::vector<uint8_t> puffer(size, 0);
                status = registry::RegQueryValueEx(hKey, ValueName, typ, &puffer, size);
                if (status == registry::ERROR_SUCCESS) {
                    const Text text = TextAusAnsi(std::string(puffer.begin(), puffer.end()));
                    // Without the closing 0; a value of size 0 raises here and leaves Wert alone.
                    Wert = Variante(Left(text, static_cast<int32_t>(size) - 1));
                } else {
                    Wert = Variante::Empty();
                }
                return status;
            }
            case registry::REG_DWORD: {
                std::vector<uint8_t> puffer(4, 0);
                size = 4;
                status = registry::RegQueryValueEx(hKey, ValueName, typ, &puffer, size);
                if (status == registry::ERROR_SUCCESS) {
                    const uint32_t zahl = static_cast<uint32_t>(puffer[0]) | static_cast<uint32_t>(puffer[1]) << 8 |
                                          static_cast<uint32_t>(puffer[2]) << 16 |
                                          static_cast<uint32_t>(puffer[3]) << 24;
                    Wert = Variante(static_cast<int32_t>(zahl));
                }
                return status;
            }
            default: return -1;
        }
    } catch (...) {
        return status;
    }
}
