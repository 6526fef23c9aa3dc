#pragma once
// The Access-made files of the shared fixtures: read where they are, changed only as
// copies in a test's own folder. A test needing them skips, saying why, when ../shared
// is absent.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/TempVerzeichnis.h"

inline const std::string kAccessOrdner = std::string(PURIVO_SHARED) + "/fixtures/access/";

#define ACCESS_FIXTUREN_NOETIG()                                                                           \
    do {                                                                                                   \
        if (!std::filesystem::is_directory(kAccessOrdner))                                                 \
            GTEST_SKIP() << "Access-Testdateien fehlen (" << kAccessOrdner << "): ../shared ist nicht da"; \
    } while (0)

// Every Jet 4 file among them (the others are Jet 3).
inline const std::vector<std::string> kJet4Dateien = {
    "V2000_no-password.mdb", "V2000_with-password.mdb", "V2003_with-password.mdb", "empty.mdb",
    "indexTestV2000.mdb",    "sample-adressen.mdb",     "test2V2000.mdb",          "testUnicodeCompV2003.mdb"};

inline std::vector<uint8_t> DateiBytes(const std::string& pfad) {
    std::ifstream f(pfad, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

// A writable copy of the fixture `name` in the test's folder.
inline std::string AccessKopie(const TempVerzeichnis& t, const std::string& name) {
    const std::string ziel = t / name;
    std::filesystem::copy_file(kAccessOrdner + name, ziel);
    std::filesystem::permissions(ziel, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return ziel;
}
