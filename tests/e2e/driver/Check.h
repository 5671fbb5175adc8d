// The scenario programs' one check suite: named scenarios in a table, checks
// that end the case or go on, and the closing "N passed, N failed" line.
// Every text here is UTF-8 and printed as it is.
#pragma once

#include <stdio.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace check {

struct Scenario {
    std::string name;
    std::function<void()> run;
};
using Table = std::vector<Scenario>;

namespace detail {
struct Abort {};
struct Skipped {
    std::string why;
};
inline std::vector<std::string>* failures;  // of the running case
inline void Say(const char* tag, const std::string& text) {
    printf("%s %s\n", tag, text.c_str());
    fflush(stdout);
}
}  // namespace detail

// Checks of the running case: Expect records a failure and goes on, Require
// records it and ends the case, Skip ends it as skipped.
inline bool Expect(bool ok, const std::string& what) {
    if (!ok && detail::failures) detail::failures->push_back(what);
    return ok;
}
inline void Require(bool ok, const std::string& what) {
    if (!Expect(ok, what)) throw detail::Abort{};
}
[[noreturn]] inline void Skip(const std::string& why) { throw detail::Skipped{why}; }
// Prints what the case saw, for the log.
inline void Note(const std::string& text) { detail::Say("    ", text); }

inline std::string Show(const std::string& s) { return "\"" + s + "\""; }
template <class T>
std::string Show(T v) { return std::to_string(v); }
template <class T>
bool ExpectEq(const T& seen, const T& wanted, const std::string& what) {
    return Expect(seen == wanted, what + ": saw " + Show(seen) + ", wanted " + Show(wanted));
}

// Runs the scenarios whose names hold one of argv[1..] (all without
// arguments), each as one case after setUp(its name); prints the closing
// line and returns the number of failures.
inline int Run(int argc, char** argv, const Table& table,
               const std::function<void(const std::string& name)>& setUp = {}) {
    int passed = 0, failed = 0, skipped = 0;
    for (const Scenario& scenario : table) {
        bool wanted = argc <= 1;
        for (int i = 1; i < argc; ++i) wanted = wanted || scenario.name.find(argv[i]) != std::string::npos;
        if (!wanted) continue;
        std::vector<std::string> failures;
        detail::failures = &failures;
        detail::Say("---", scenario.name);
        try {
            if (setUp) setUp(scenario.name);
            scenario.run();
        } catch (const detail::Abort&) {
        } catch (const detail::Skipped& s) {
            if (failures.empty()) {
                ++skipped;
                detail::Say("skip", scenario.name + ": " + s.why);
                continue;  // neither passed nor failed
            }
        } catch (const std::exception& e) {
            failures.push_back(std::string("exception: ") + e.what());
        }
        for (const std::string& f : failures) detail::Say("    ", f);
        detail::Say(failures.empty() ? "ok  " : "FAIL", scenario.name);
        ++(failures.empty() ? passed : failed);
    }
    detail::failures = nullptr;
    printf("%d passed, %d failed", passed, failed);
    printf(skipped ? ", %d skipped\n" : "\n", skipped);
    fflush(stdout);
    return failed;
}

}  // namespace check
