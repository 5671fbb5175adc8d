// The per-user registry as the install record sees it: plain outcomes only.
#pragma once

#include <stddef.h>

enum class RegStatus { kOk, kMissing, kWrongType, kFailed };

// One open key at a time, relative to HKEY_CURRENT_USER. The adapter closes
// what it opened when it is destroyed.
class Registry {
public:
    virtual ~Registry() = default;
    // Opens the key with full access, creating it if missing.
    virtual bool OpenOrCreateKey(const char* path) = 0;
    // Opens a subkey of the open key without creating it: kOk or kMissing
    // (kFailed for any other reason).
    virtual RegStatus OpenSubkey(const char* name) = 0;
    // Creates (or opens) a subkey of the open key.
    virtual bool CreateSubkey(const char* name) = 0;
    // Reads a string value of the open subkey into out (NUL-terminated):
    // kMissing when absent, kWrongType when neither REG_SZ nor REG_EXPAND_SZ,
    // kFailed when the query fails (too long for out included).
    virtual RegStatus GetString(const char* value, char* out, size_t capacity) = 0;
    virtual bool SetString(const char* value, const char* data) = 0;
};
