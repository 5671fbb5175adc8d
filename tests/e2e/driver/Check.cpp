// The check suite: runs the table's cases, keeps the running case's failures, counts.
#include "driver/Check.h"

#include <stdio.h>

#include <exception>

namespace check {

namespace {

struct Abort {};
struct Skipped {
    std::string why;
};

std::vector<std::string>* gFailures;  // of the running case

void Say(const char* tag, const std::string& text) {
    printf("%s %s\n", tag, text.c_str());
    fflush(stdout);
}

}  // namespace

int Run(int argc, char** argv, const Table& table, const std::function<void(const std::string&)>& setUp) {
    int passed = 0, failed = 0, skipped = 0;
    for (const Scenario& scenario : table) {
        bool wanted = argc <= 1;
        for (int i = 1; i < argc; ++i) wanted = wanted || scenario.name.find(argv[i]) != std::string::npos;
        if (!wanted) continue;
        std::vector<std::string> failures;
        gFailures = &failures;
        Say("---", scenario.name);
        try {
            if (setUp) setUp(scenario.name);
            scenario.run();
        } catch (const Abort&) {
        } catch (const Skipped& s) {
            if (failures.empty()) {
                ++skipped;
                Say("skip", scenario.name + ": " + s.why);
                continue;  // neither passed nor failed
            }
        } catch (const std::exception& e) {
            failures.push_back(std::string("exception: ") + e.what());
        }
        gFailures = nullptr;
        if (failures.empty()) {
            ++passed;
            Say("ok  ", scenario.name);
        } else {
            ++failed;
            for (const std::string& f : failures) Say("    ", f);
            Say("FAIL", scenario.name);
        }
    }
    gFailures = nullptr;
    if (skipped) {
        printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
    } else {
        printf("%d passed, %d failed\n", passed, failed);
    }
    fflush(stdout);
    return failed;
}

bool Expect(bool ok, const std::string& what) {
    if (!ok && gFailures) gFailures->push_back(what);
    return ok;
}

void Require(bool ok, const std::string& what) {
    if (!Expect(ok, what)) throw Abort{};
}

void Skip(const std::string& why) {
    throw Skipped{why};
}

void Note(const std::string& text) {
    Say("    ", text);
}

std::string Show(const std::string& s) { return "\"" + s + "\""; }
std::string Show(long v) { return std::to_string(v); }
std::string Show(int v) { return std::to_string(v); }
std::string Show(size_t v) { return std::to_string(v); }

}  // namespace check
