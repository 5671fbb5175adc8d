// Runs of text on their way to the screen.
#include "ui/ShownText.h"

#include <string.h>

#include "platform/Text.h"

ShownText& ShownText::Add(ProgramText text) {
    return text.bytes ? Add(text.bytes, strlen(text.bytes), TextSource::kProgram) : *this;
}

ShownText& ShownText::AddSystem(const char* text) {
    return Add(text, strlen(text), TextSource::kSystem);
}

ShownText& ShownText::Add(const char* bytes, size_t length, TextSource source) {
    if (length > 0 && count_ < kMaxRuns) runs_[count_++] = {bytes, length, source};
    return *this;
}

ShownText ShownText::Fitted(size_t capacity) const {
    ShownText fitted;
    size_t room = capacity > 0 ? capacity - 1 : 0;
    for (int i = 0; i < count_; ++i) {
        const TextRun& run = runs_[i];
        const CodePage& codePage = run.source == TextSource::kProgram ? kProgramCodePage : SystemCodePage();
        size_t take = 0;
        while (take < run.length) {
            size_t width = codePage.Width(run.bytes + take, run.length - take);
            if (take + width > room) break;
            take += width;
        }
        fitted.Add(run.bytes, take, run.source);
        if (take < run.length) break;
        room -= take;
    }
    return fitted;
}
