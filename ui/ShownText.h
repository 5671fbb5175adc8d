// Text on its way to the screen: runs of bytes, each read in the code page of
// where it came from, the program's own texts (Shift-JIS) or what the system
// handed over (its ANSI code page: paths, names, typed text).
#pragma once

#include <stddef.h>

#include "resources/Texts.h"

enum class TextSource : unsigned char { kProgram, kSystem };

struct TextRun {
    const char* bytes;
    size_t length;
    TextSource source;
};

// Holds pointers into the texts it was made of: it lives no longer than they.
// Where a run came from is told by its type (ProgramText) or by name
// (System, AddSystem), never taken for granted from a plain string.
class ShownText {
public:
    static constexpr int kMaxRuns = 4;

    ShownText() = default;
    // A program text alone: every caption, label and button.
    ShownText(ProgramText text) { Add(text); }
    static ShownText System(const char* text) { return ShownText().AddSystem(text); }

    // Empty runs (and a null text) are left out; past kMaxRuns nothing more
    // is taken.
    ShownText& Add(ProgramText text);
    ShownText& AddSystem(const char* text);
    // Part of a message whose maker knows where each part came from (an Error).
    ShownText& Add(const char* bytes, size_t length, TextSource source);

    // What a buffer of capacity bytes holds of it with a terminator: whole
    // runs while they fit, then the whole characters of the first that does
    // not (in its own code page), and nothing after. In UTF-16 it takes no
    // more units than bytes.
    ShownText Fitted(size_t capacity) const;

    int RunCount() const { return count_; }
    const TextRun& Run(int index) const { return runs_[index]; }

private:
    TextRun runs_[kMaxRuns] = {};
    int count_ = 0;
};
