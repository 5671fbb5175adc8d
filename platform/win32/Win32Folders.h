// The folder seam over the Win32 file functions.
#pragma once

#include "platform/Folders.h"

class Win32Folders : public Folders {
public:
    PathKind Probe(const char* path) override;
    bool CreateFolder(const char* path) override;
};
