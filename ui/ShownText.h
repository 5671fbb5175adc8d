// Text on its way to the screen: runs of bytes, each read in the code page of
// where it came from, the program's own texts (Shift-JIS) or what the system
// handed over (its ANSI code page: paths, names, typed text).
#pragma once

#include <stddef.h>

enum class TextSource : unsigned char { kProgram, kSystem };

struct TextRun {
    const char* bytes;
    size_t length;
    TextSource source;
};

// Holds pointers into the texts it was made of: it lives no longer than they.
class ShownText {
public:
    static constexpr int kMaxRuns = 4;

    ShownText() = default;
    // A program text alone: every caption, label and button.
    ShownText(const char* programText) { Add(programText, TextSource::kProgram); }
    static ShownText System(const char* text) { return ShownText().Add(text, TextSource::kSystem); }

    // Empty runs are left out; past kMaxRuns nothing more is taken.
    ShownText& Add(const char* text, TextSource source);
    ShownText& Add(const char* bytes, size_t length, TextSource source);

    int RunCount() const { return count_; }
    const TextRun& Run(int index) const { return runs_[index]; }

private:
    TextRun runs_[kMaxRuns] = {};
    int count_ = 0;
};
