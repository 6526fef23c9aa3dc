// Runs every test of a test program. Under CI=true a skipped test fails: a machine that
// lacks a tool or fixture must not pass by skipping. Elsewhere a skip stays a skip and
// says why.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace testlauf {

inline bool ImCi() {
    const char* ci = std::getenv("CI");
    return ci && std::strcmp(ci, "true") == 0;
}

// A failure added to each skipped test, before gtest prints its end, makes it a failed
// one: for gtest's summary and exit code, and for ctest, which would count the line
// "[  SKIPPED ]" as a skip whatever the exit code. (End events reach the listeners
// appended last first.)
class ÜberspringenIstFehler : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& info) override {
        // Copies: a failure added grows the list the parts are in.
        std::vector<::testing::TestPartResult> übersprungen;
        const ::testing::TestResult& r = *info.result();
        for (int i = 0; i < r.total_part_count(); ++i)
            if (r.GetTestPartResult(i).skipped()) übersprungen.push_back(r.GetTestPartResult(i));
        for (const ::testing::TestPartResult& teil : übersprungen)
            ADD_FAILURE_AT(teil.file_name() ? teil.file_name() : "?", teil.line_number())
                << "Skipped under CI=true, which fails the test: " << teil.message();
    }
};

inline int AlleTestsLaufen() {
    if (ImCi()) ::testing::UnitTest::GetInstance()->listeners().Append(new ÜberspringenIstFehler);
    return RUN_ALL_TESTS();
}

}  // namespace testlauf
