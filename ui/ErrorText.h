// How an error reads in its box: the closing "." and the box's caption.
#pragma once

#include <stddef.h>

#include "platform/Error.h"
#include "platform/Path.h"

// Room for any error message plus the "." it may gain.
constexpr size_t kShownErrorCapacity = Error::kCapacity + 1;

// Copies message into out, adding "." when its last character (a whole
// double-byte character when it ends in one) sorts above "." byte by byte:
// every Japanese ending gains one, ")" or "." itself does not.
void FinishErrorMessage(const char* message, char* out, size_t capacity);

// The program's name as a title: the file name without its folder, cut at its
// first ".", ASCII letters after the first lower-cased (C:\x\SETUP.EXE gives
// "Setup"). Double-byte characters are kept whole and as they are.
void AppTitleFromModulePath(const char* path, char* out, size_t capacity);
