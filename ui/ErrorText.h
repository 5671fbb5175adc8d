// How an error reads in its box: the closing "." and the box's caption.
#pragma once

#include <stddef.h>

#include "platform/Error.h"
#include "platform/Path.h"
#include "ui/ShownText.h"

// The error's message as shown: the program's text around the name it was
// filled with (a path, a value name: the system's text), and "." added when
// its last character (a whole double-byte character when it ends in one)
// sorts above "." byte by byte: every Japanese ending gains one, ")" or "."
// itself does not.
ShownText ShownError(const Error& error);

// The program's name as a title: the file name without its folder, cut at its
// first ".", ASCII letters after the first lower-cased (C:\x\SETUP.EXE gives
// "Setup"). Double-byte characters are kept whole and as they are.
void AppTitleFromModulePath(const char* path, char* out, size_t capacity);
