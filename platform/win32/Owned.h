// Move-only owners for Win32 handles: "invalid" belongs to the handle's type.
#pragma once

#include <windows.h>

template <class T>
class Owned {
public:
    using Type = typename T::Type;
    explicit Owned(Type h = T::Invalid()) : h_(h) {}
    ~Owned() { Reset(); }
    Owned(Owned&& o) noexcept : h_(o.h_) { o.h_ = T::Invalid(); }
    Owned& operator=(Owned&& o) noexcept {
        if (this != &o) {
            Reset();
            h_ = o.h_;
            o.h_ = T::Invalid();
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    Type Get() const { return h_; }
    bool Valid() const { return h_ != T::Invalid(); }
    void Reset() {
        if (h_ != T::Invalid()) T::Close(h_);
        h_ = T::Invalid();
    }

private:
    Type h_;
};

// CreateFile fails with INVALID_HANDLE_VALUE; CreateMutex and friends with NULL.
struct FileTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};
struct KernelTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { CloseHandle(h); }
};
struct FindTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { FindClose(h); }
};
struct KeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { RegCloseKey(h); }
};
struct GdiTraits {
    using Type = HGDIOBJ;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { DeleteObject(h); }
};

using OwnedFile = Owned<FileTraits>;
using OwnedKernelHandle = Owned<KernelTraits>;
using OwnedFind = Owned<FindTraits>;
using OwnedKey = Owned<KeyTraits>;
using OwnedGdi = Owned<GdiTraits>;

// Puts the previously selected object back when the scope ends.
class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectScope() { SelectObject(dc_, old_); }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};
