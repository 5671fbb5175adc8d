// Registry calls for the install record, reporting plain outcomes.
#include "platform/win32/Win32Registry.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Far beyond any folder, and no size + 1 can wrap.
constexpr DWORD kLongestData = 1 << 20;

}  // namespace

bool Win32Registry::OpenOrCreateKey(const char* path) {
    subkey_.Reset();
    key_.Reset();
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS) {
        return false;
    }
    key_ = OwnedKey(key);
    return true;
}

RegStatus Win32Registry::OpenSubkey(const char* name) {
    subkey_.Reset();
    if (!key_.Valid()) return RegStatus::kFailed;
    HKEY key = nullptr;
    // Only ever read through: asking for more could refuse a readable key.
    LONG result = RegOpenKeyExA(key_.Get(), name, 0, KEY_READ, &key);
    if (result == ERROR_FILE_NOT_FOUND) return RegStatus::kMissing;
    if (result != ERROR_SUCCESS) return RegStatus::kFailed;
    subkey_ = OwnedKey(key);
    return RegStatus::kOk;
}

bool Win32Registry::CreateSubkey(const char* name) {
    subkey_.Reset();
    if (!key_.Valid()) return false;
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(key_.Get(), name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, &disposition) != ERROR_SUCCESS) {
        return false;
    }
    subkey_ = OwnedKey(key);
    return true;
}

RegStatus Win32Registry::GetString(const char* value, char* out, size_t capacity) {
    if (!subkey_.Valid() || capacity == 0) return RegStatus::kFailed;
    // The type is asked first: a value too long to fit is still reported as
    // of the wrong type when it is one.
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExA(subkey_.Get(), value, nullptr, &type, nullptr, &size);
    if (result == ERROR_FILE_NOT_FOUND) return RegStatus::kMissing;
    if (result != ERROR_SUCCESS) return RegStatus::kFailed;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return RegStatus::kWrongType;
    if (size == 0) {
        out[0] = '\0';
        return RegStatus::kOk;
    }
    // Stored data need not end in a NUL, and an installer may store a string
    // with the size of its whole buffer, NULs after the text: the data is read
    // whole, with room for a NUL of our own, and the text up to its first NUL
    // is what must fit out.
    if (size > kLongestData) return RegStatus::kFailed;
    char* data = size < capacity ? out : static_cast<char*>(malloc(size + 1));
    if (!data) return RegStatus::kFailed;
    DWORD got = size;
    result = RegQueryValueExA(subkey_.Get(), value, nullptr, &type, reinterpret_cast<BYTE*>(data),
                              &got);
    RegStatus status = RegStatus::kFailed;
    if (result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && got <= size) {
        data[got] = '\0';
        size_t length = strlen(data);
        if (length < capacity) {
            if (data != out) memcpy(out, data, length + 1);
            status = RegStatus::kOk;
        }
    }
    if (data != out) free(data);
    return status;
}

bool Win32Registry::SetString(const char* value, const char* data) {
    if (!subkey_.Valid()) return false;
    DWORD size = static_cast<DWORD>(strlen(data) + 1);
    return RegSetValueExA(subkey_.Get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                          size) == ERROR_SUCCESS;
}
