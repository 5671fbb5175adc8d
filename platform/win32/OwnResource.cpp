// Finds and loads one of the program's own RCDATA resources.
#include "platform/win32/OwnResource.h"

OwnResource::OwnResource(const char* name) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, name, MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!found) return;
    bytes_.state = ResourceState::kUnreadable;
    loaded_ = LoadResource(self, found);
    const void* data = loaded_ ? LockResource(loaded_) : nullptr;
    if (!data) return;
    bytes_ = {ResourceState::kLoaded, static_cast<const uint8_t*>(data), SizeofResource(self, found)};
}

OwnResource::~OwnResource() {
    // Nothing to free on the NT family; Windows 98 counts its loads.
    if (loaded_) FreeResource(loaded_);
}
