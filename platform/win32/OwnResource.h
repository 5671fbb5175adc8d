// The program's own RCDATA resources, found in one place.
#pragma once

#include <windows.h>

#include "platform/ByteStream.h"

// One RCDATA resource of the program's own module, found, loaded and locked
// for as long as this lives.
class OwnResource {
public:
    explicit OwnResource(const char* name);
    ~OwnResource();
    OwnResource(const OwnResource&) = delete;
    OwnResource& operator=(const OwnResource&) = delete;

    const ResourceBytes& Bytes() const { return bytes_; }

private:
    HGLOBAL loaded_ = nullptr;
    ResourceBytes bytes_;
};
