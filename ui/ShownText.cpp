// Runs of text on their way to the screen.
#include "ui/ShownText.h"

#include <string.h>

ShownText& ShownText::Add(const char* text, TextSource source) {
    return Add(text, strlen(text), source);
}

ShownText& ShownText::Add(const char* bytes, size_t length, TextSource source) {
    if (length > 0 && count_ < kMaxRuns) runs_[count_++] = {bytes, length, source};
    return *this;
}
