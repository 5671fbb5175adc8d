// A tiny assertion framework for the scenario programs: named cases, checks
// that say what was seen, and the closing "N passed, N failed" line. Texts
// here are CP932, like the program's; they are printed as UTF-8.
#pragma once

#include <stdio.h>

#include <functional>
#include <string>
#include <vector>

#include "driver/Driver.h"

namespace check {

// Thrown by Require to end a case that cannot go on.
struct Abort {};

class Suite {
public:
    // argv[1..] names the cases to run; none: all.
    Suite(int argc, char** argv) {
        for (int i = 1; i < argc; ++i) only_.push_back(argv[i]);
    }

    void Case(const std::string& name, const std::function<void()>& body) {
        if (!Wanted(name)) return;
        failures_.clear();
        printf("--- %s\n", drv::ToUtf8(name).c_str());
        fflush(stdout);
        try {
            body();
        } catch (const Abort&) {
        } catch (const std::exception& e) {
            failures_.push_back(std::string("exception: ") + e.what());
        }
        if (failures_.empty()) {
            ++passed_;
            printf("ok   %s\n", drv::ToUtf8(name).c_str());
        } else {
            ++failed_;
            for (const std::string& f : failures_) printf("     %s\n", drv::ToUtf8(f).c_str());
            printf("FAIL %s\n", drv::ToUtf8(name).c_str());
        }
        fflush(stdout);
    }

    void Skip(const std::string& name, const std::string& why) {
        if (!Wanted(name)) return;
        ++skipped_;
        printf("skip %s: %s\n", drv::ToUtf8(name).c_str(), drv::ToUtf8(why).c_str());
        fflush(stdout);
    }

    // Prints what a case saw, for the log.
    void Note(const std::string& text) const {
        printf("     %s\n", drv::ToUtf8(text).c_str());
        fflush(stdout);
    }

    // Records a failure and goes on.
    bool Expect(bool ok, const std::string& what) {
        if (!ok) failures_.push_back(what);
        return ok;
    }
    // Records a failure and ends the case.
    void Require(bool ok, const std::string& what) {
        if (!Expect(ok, what)) throw Abort{};
    }
    template <class T>
    bool ExpectEq(const T& seen, const T& wanted, const std::string& what) {
        return Expect(seen == wanted, what + ": saw " + Show(seen) + ", wanted " + Show(wanted));
    }

    // Prints the summary; the exit code is the number of failures.
    int Finish() const {
        if (skipped_) {
            printf("%d passed, %d failed, %d skipped\n", passed_, failed_, skipped_);
        } else {
            printf("%d passed, %d failed\n", passed_, failed_);
        }
        fflush(stdout);
        return failed_;
    }

private:
    bool Wanted(const std::string& name) const {
        if (only_.empty()) return true;
        for (const std::string& o : only_) {
            if (name.find(o) != std::string::npos) return true;
        }
        return false;
    }
    static std::string Show(const std::string& s) { return "\"" + s + "\""; }
    static std::string Show(long v) { return std::to_string(v); }
    static std::string Show(int v) { return std::to_string(v); }
    static std::string Show(size_t v) { return std::to_string(v); }

    std::vector<std::string> only_;
    std::vector<std::string> failures_;
    int passed_ = 0;
    int failed_ = 0;
    int skipped_ = 0;
};

}  // namespace check
