// The scenario programs' one check suite: named scenarios in a table, checks
// that end the case or go on, and the closing "N passed, N failed" line.
// Every text here is UTF-8 and printed as it is.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace check {

struct Scenario {
    std::string name;
    std::function<void()> run;
};
using Table = std::vector<Scenario>;

// Runs the scenarios whose names hold one of argv[1..] (all without
// arguments), each as one case after setUp(its name); prints the closing
// line and returns the number of failures.
int Run(int argc, char** argv, const Table& table,
        const std::function<void(const std::string& name)>& setUp = {});

// Checks of the running case: Expect records a failure and goes on, Require
// records it and ends the case, Skip ends it as skipped.
bool Expect(bool ok, const std::string& what);
void Require(bool ok, const std::string& what);
[[noreturn]] void Skip(const std::string& why);
// Prints what the case saw, for the log.
void Note(const std::string& text);

std::string Show(const std::string& s);
std::string Show(long v);
std::string Show(int v);
std::string Show(size_t v);

template <class T>
bool ExpectEq(const T& seen, const T& wanted, const std::string& what) {
    return Expect(seen == wanted, what + ": saw " + Show(seen) + ", wanted " + Show(wanted));
}

}  // namespace check
