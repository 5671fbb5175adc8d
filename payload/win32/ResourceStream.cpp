// Reads one of the program's own RCDATA resources.
#include "payload/win32/ResourceStream.h"

#include <string.h>

#include "resources/Texts.h"

Error ResourceStream::Open(const char* name) {
    Release();
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, name, MAKEINTRESOURCEA(10));  // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) {
        if (loaded) FreeResource(loaded);
        return Error::Make(texts::kResourceNotFound, name);
    }
    loaded_ = loaded;
    bytes_ = static_cast<const BYTE*>(bytes);
    size_ = SizeofResource(self, found);
    position_ = 0;
    return {};
}

void ResourceStream::Release() {
    if (loaded_) FreeResource(loaded_);
    loaded_ = nullptr;
    bytes_ = nullptr;
    size_ = 0;
    position_ = 0;
}

uint32_t ResourceStream::Read(void* dst, uint32_t count) {
    uint32_t left = size_ - position_;
    if (count > left) count = left;
    if (count == 0) return 0;
    memcpy(dst, bytes_ + position_, count);
    position_ += count;
    return count;
}
