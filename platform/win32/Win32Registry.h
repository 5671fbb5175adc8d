// The registry seam over the per-user hive (HKEY_CURRENT_USER).
#pragma once

#include "platform/Registry.h"
#include "platform/win32/Owned.h"

class Win32Registry : public Registry {
public:
    bool OpenOrCreateKey(const char* path) override;
    RegStatus OpenSubkey(const char* name) override;
    bool CreateSubkey(const char* name) override;
    RegStatus GetString(const char* value, char* out, size_t capacity) override;
    bool SetString(const char* value, const char* data) override;

private:
    OwnedKey key_;
    OwnedKey subkey_;
};
