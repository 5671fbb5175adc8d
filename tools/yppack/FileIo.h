// Whole-file reads and all-or-nothing writes for the packer.
#pragma once

#include <stddef.h>

#include <string>

#include "tools/yppack/Container.h"

namespace yppack {

// Throws Failure when the file cannot be read or is longer than maxSize.
Bytes ReadWholeFile(const std::string& path, size_t maxSize);

// Writes to a temporary file beside path and renames it over path, so that
// path is either the old file or the whole new one; throws Failure and
// leaves no temporary file behind when any step fails.
void WriteWholeFile(const std::string& path, const Bytes& bytes);

// Holds the standard error stream shut while it lives (the decoder's
// progress dots are noise in a command-line tool).
class QuietStderr {
public:
    QuietStderr();
    ~QuietStderr();
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_ = -1;
};

}  // namespace yppack
