#pragma once
// Whole files as bytes, for tests that build or inspect files by hand.
#include <fstream>
#include <iterator>
#include <string>

inline std::string lesen(const std::string& pfad) {
    std::ifstream f(pfad, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

inline void schreiben(const std::string& pfad, const std::string& inhalt) {
    std::ofstream(pfad, std::ios::binary | std::ios::trunc) << inhalt;
}
