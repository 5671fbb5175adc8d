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

// A mutex this program created holding it: released, then closed. Releasing
// one held by another copy does nothing (ERROR_NOT_OWNER).
struct HeldMutexTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) {
        ReleaseMutex(h);
        CloseHandle(h);
    }
};

using OwnedFile = Owned<FileTraits>;
using OwnedKernelHandle = Owned<KernelTraits>;
using OwnedFind = Owned<FindTraits>;
using OwnedKey = Owned<KeyTraits>;
using OwnedGdi = Owned<GdiTraits>;
using OwnedHeldMutex = Owned<HeldMutexTraits>;

// A window's device context from GetDC, given back with ReleaseDC, which
// needs the window too.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(WindowDc&& o) noexcept : window_(o.window_), dc_(o.dc_) { o.dc_ = nullptr; }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    WindowDc& operator=(WindowDc&&) = delete;

    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Puts the previously selected object back when the scope ends.
class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectScope() {
        if (dc_) SelectObject(dc_, old_);
    }
    SelectScope(SelectScope&& o) noexcept : dc_(o.dc_), old_(o.old_) { o.dc_ = nullptr; }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;
    SelectScope& operator=(SelectScope&&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Sets the process's error mode for a scope and puts the old one back.
class ErrorModeScope {
public:
    explicit ErrorModeScope(UINT mode) : old_(SetErrorMode(mode)) {}
    ~ErrorModeScope() {
        if (active_) SetErrorMode(old_);
    }
    ErrorModeScope(ErrorModeScope&& o) noexcept : old_(o.old_), active_(o.active_) { o.active_ = false; }
    ErrorModeScope(const ErrorModeScope&) = delete;
    ErrorModeScope& operator=(const ErrorModeScope&) = delete;
    ErrorModeScope& operator=(ErrorModeScope&&) = delete;

private:
    UINT old_;
    bool active_ = true;
};
