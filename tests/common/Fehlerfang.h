#pragma once
// What an engine or runtime error a step raises: its number (0 when none) and its
// description. Every raised error must carry a description.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "platform/basic/Fehler.h"
#include "platform/basic/Text.h"

inline std::pair<int32_t, Text> FehlerMitText(const std::function<void()>& f) {
    try {
        f();
    } catch (const LaufzeitFehler& e) {
        EXPECT_FALSE(e.Beschreibung().empty()) << e.Nummer();
        return {e.Nummer(), e.Beschreibung()};
    }
    return {0, Text()};
}

inline int32_t FehlerVon(const std::function<void()>& f, Text* beschreibung = nullptr) {
    auto [nummer, text] = FehlerMitText(f);
    if (beschreibung) *beschreibung = std::move(text);
    return nummer;
}
