#pragma once
// File permissions do not hold for root: a check that needs them runs in a child
// process as the unprivileged user nobody.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// Runs `prüfen` in a child process as nobody; its exit code (99: could not switch).
inline int AlsNobody(const std::function<int()>& prüfen) {
    std::fflush(nullptr);
    const pid_t kind = ::fork();
    if (kind == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0)
            ::_exit(99);
        int rc = 98;
        try {
            rc = prüfen();
        } catch (...) {
        }
        // _exit skips stdio's flush, and a failing check's message must reach the log.
        std::fflush(nullptr);
        ::_exit(rc);
    }
    int status = 0;
    ::waitpid(kind, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs `prüfen` as an ordinary user: directly, or as root in a child as nobody, to whom
// `eigentum` (a test's own folder and files) is handed first. Failures inside `prüfen`
// are gtest's own and print from the child; the result says whether there were any.
inline bool OhneRootRechte(const std::function<void()>& prüfen, const std::vector<std::string>& eigentum) {
    if (::geteuid() != 0) {
        prüfen();
        return !::testing::Test::HasFailure();
    }
    for (const std::string& p : eigentum)
        if (::chown(p.c_str(), 65534, 65534) != 0) return false;
    return AlsNobody([&] {
               prüfen();
               return ::testing::Test::HasFailure() ? 1 : 0;
           }) == 0;
}
