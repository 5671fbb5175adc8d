// Win32 side of the test driver: processes, windows, input, pixels, registry, files.
#include "driver/Driver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

namespace drv {

namespace {
int WaitMsFromEnvironment() {
    const char* text = getenv("E2E_WAIT_MS");
    int ms = text ? atoi(text) : 0;
    return ms > 0 ? ms : 15000;
}
}  // namespace

const int kWaitMs = WaitMsFromEnvironment();

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
        Sleep(5);
    }
}

long Process::WaitExit(int timeoutMs) const {
    if (!handle_) return -1;
    if (WaitForSingleObject(handle_.get(), static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(handle_.get(), &code);
    return static_cast<long>(code);
}

bool Process::Running() const {
    return handle_ && WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT;
}

void Process::Kill() const {
    if (Running()) {
        TerminateProcess(handle_.get(), 99);
        WaitForSingleObject(handle_.get(), 5000);
    }
}

namespace {

// A byte string never needs more UTF-16 units than it has bytes.
std::wstring ToWide(UINT codePage, const std::string& bytes) {
    std::wstring wide(bytes.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                        &wide[0], static_cast<int>(wide.size()))));
    return wide;
}

}  // namespace

std::wstring Wide(const std::string& utf8) {
    return ToWide(CP_UTF8, utf8);
}

std::string FromCp932(const char* text) {
    return Utf8(ToWide(932, text));
}

std::string Utf8(const std::wstring& wide) {
    std::string utf8(wide.size() * 3, '\0');  // at most three bytes a UTF-16 unit
    utf8.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                                         &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr)));
    return utf8;
}

std::string Fill(const std::string& pattern, const std::string& arg) {
    std::string text = pattern;
    size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, arg);
    return text;
}

Process Start(const std::string& exe, const std::string& currentDir, const std::string& outputPath) {
    Process process;
    std::wstring commandLine = L"\"" + Wide(exe) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    HANDLE output = INVALID_HANDLE_VALUE;
    if (!outputPath.empty()) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        output = CreateFileW(Wide(outputPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (output != INVALID_HANDLE_VALUE) {
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
            startup.hStdOutput = output;
            startup.hStdError = output;
        }
    }
    PROCESS_INFORMATION info = {};
    std::wstring folder = Wide(currentDir);
    if (CreateProcessW(Wide(exe).c_str(), &commandLine[0], nullptr, nullptr, output != INVALID_HANDLE_VALUE, 0,
                       nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        CloseHandle(info.hThread);
        process.handle_.reset(info.hProcess, CloseHandle);
        process.id_ = info.dwProcessId;
    }
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    return process;
}

std::string TextOf(HWND window) {
    wchar_t text[2048] = {};
    // WM_GETTEXT is marshalled across processes; a timeout keeps a busy
    // program from hanging the driver. Asked as Unicode, an ANSI window's
    // text comes converted from the system's code page.
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, sizeof text / sizeof text[0], reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 3000, &ignored)) {
        GetWindowTextW(window, text, sizeof text / sizeof text[0]);
    }
    return Utf8(text);
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

void SetText(HWND control, const std::string& text) {
    SetText(control, Wide(text));
}

void SetText(HWND control, const std::wstring& wide) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_ABORTIFHUNG, 2000,
                        &ignored);
}

namespace {

BOOL CALLBACK Collect(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> TopWindows(DWORD pid, bool visibleOnly) {
    std::vector<HWND> all, found;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&all));
    for (HWND window : all) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == pid && (!visibleOnly || IsWindowVisible(window))) found.push_back(window);
    }
    return found;
}

bool WaitGone(HWND window, int timeoutMs) {
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> found;
    EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND FindChild(HWND parent, const std::string& className, const std::string& caption) {
    for (HWND child : Children(parent)) {
        if (!className.empty() && _stricmp(ClassOf(child).c_str(), className.c_str()) != 0) continue;
        if (!caption.empty() && TextOf(child) != caption) continue;
        return child;
    }
    return nullptr;
}

void Click(HWND button) {
    PostMessageA(button, BM_CLICK, 0, 0);
}

void Press(HWND window, int id) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

void Close(HWND window) {
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void Keys(std::initializer_list<WORD> keys) {
    for (WORD key : keys) {
        INPUT input[2] = {};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wVk = input[1].ki.wVk = key;
        input[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof input[0]);
        Sleep(300);
    }
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

Box ReadBox(HWND window) {
    // The box fills in its children right after it appears.
    WaitUntil([&] { return FindChild(window, "Button", "") != nullptr; }, 2000);
    Box box;
    box.window = window;
    box.caption = TextOf(window);
    for (HWND child : Children(window)) {
        std::string cls = ClassOf(child);
        if (_stricmp(cls.c_str(), "Button") == 0) {
            box.buttons.push_back(TextOf(child));
        } else if (_stricmp(cls.c_str(), "Static") == 0) {
            if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) box.icon = child;
            std::string text = TextOf(child);
            if (!text.empty()) box.text = text;  // the icon is a textless static
        }
    }
    return box;
}

bool WaitBox(DWORD pid, Box& box, const std::vector<HWND>& skip, int timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : TopWindows(pid)) {
                bool known = false;
                for (HWND s : skip) known = known || s == w;
                if (!known) {
                    found = w;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    if (!found) return false;
    box = ReadBox(found);
    return true;
}

bool PressBoxButton(const Box& box, const std::string& caption) {
    HWND button = FindChild(box.window, "Button", caption);
    if (!button) return false;
    Click(button);
    return true;
}

RECT WindowRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

RECT ClientRectOnScreen(HWND window) {
    RECT rect = {};
    GetClientRect(window, &rect);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    OffsetRect(&rect, origin.x, origin.y);
    return rect;
}

SIZE ScreenSize() {
    return SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

bool Centred(HWND window) {
    RECT r = WindowRect(window);
    SIZE screen = ScreenSize();
    return r.left == (screen.cx - (r.right - r.left)) / 2 && r.top == (screen.cy - (r.bottom - r.top)) / 2;
}

namespace {

// A 32-bit top-down DIB selected into a memory DC beside the screen's DC.
class DibCanvas {
public:
    DibCanvas(int width, int height) : screen_(GetDC(nullptr)), memory_(CreateCompatibleDC(screen_)) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        dib_ = CreateDIBSection(screen_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels_ = static_cast<uint32_t*>(bits);
        old_ = SelectObject(memory_, dib_);
    }
    ~DibCanvas() {
        SelectObject(memory_, old_);
        DeleteObject(dib_);
        DeleteDC(memory_);
        ReleaseDC(nullptr, screen_);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    HDC Screen() const { return screen_; }
    HDC Memory() const { return memory_; }
    uint32_t* Pixels() const { return pixels_; }

private:
    HDC screen_;
    HDC memory_;
    HBITMAP dib_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* pixels_ = nullptr;
};

}  // namespace

Image Capture(const RECT& onScreen) {
    Image image;
    image.width = onScreen.right - onScreen.left;
    image.height = onScreen.bottom - onScreen.top;
    if (image.width <= 0 || image.height <= 0) return Image{};
    image.pixels.assign(static_cast<size_t>(image.width) * image.height, 0);

    DibCanvas canvas(image.width, image.height);
    BitBlt(canvas.Memory(), 0, 0, image.width, image.height, canvas.Screen(), onScreen.left, onScreen.top,
           SRCCOPY);
    GdiFlush();
    const uint32_t* source = canvas.Pixels();
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = source[i] & 0xFFFFFF;
    return image;
}

void Settle(HWND window) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &ignored);
    Sleep(300);
}

bool SaveBmp(const Image& image, const std::string& path) {
    FILE* file = _wfopen(Wide(path).c_str(), L"wb");
    if (!file) return false;
    const uint32_t dataBytes = static_cast<uint32_t>(image.pixels.size() * 4);
    BITMAPFILEHEADER fileHeader = {};
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    fileHeader.bfSize = fileHeader.bfOffBits + dataBytes;
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = image.width;
    header.biHeight = -image.height;  // top row first, as the pixels are
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = dataBytes;
    fwrite(&fileHeader, sizeof fileHeader, 1, file);
    fwrite(&header, sizeof header, 1, file);
    fwrite(image.pixels.data(), 4, image.pixels.size(), file);
    return fclose(file) == 0;
}

double IconLikeness(HWND iconControl, LPCSTR systemIcon) {
    RECT at = ClientRectOnScreen(iconControl);
    Image seen = Capture(at);
    if (seen.pixels.empty()) return 0.0;
    // The control stretches its icon over its client area onto its
    // background; a corner of a standard icon shows that background.
    DibCanvas canvas(seen.width, seen.height);
    uint32_t* pixels = canvas.Pixels();
    for (size_t i = 0; i < seen.pixels.size(); ++i) pixels[i] = seen.At(0, 0);
    DrawIconEx(canvas.Memory(), 0, 0, LoadIconA(nullptr, systemIcon), seen.width, seen.height, 0, nullptr,
               DI_NORMAL);
    GdiFlush();
    size_t same = 0;
    for (size_t i = 0; i < seen.pixels.size(); ++i) same += (pixels[i] & 0xFFFFFF) == seen.pixels[i];
    return static_cast<double>(same) / static_cast<double>(seen.pixels.size());
}

int CaptionIconPixels(HWND window, uint32_t colour) {
    Settle(window);
    RECT outer = WindowRect(window);
    int frame = GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYEDGE);
    RECT icon = {outer.left, outer.top, outer.left + 2 * frame + GetSystemMetrics(SM_CXSIZE) + 4,
                 outer.top + frame + GetSystemMetrics(SM_CYCAPTION)};
    Image seen = Capture(icon);
    return static_cast<int>(std::count(seen.pixels.begin(), seen.pixels.end(), colour));
}

namespace {

constexpr char kRecordKey[] = "Software\\Brackwen\\KESTRAVON";

// A wide string is stored as it is; an ANSI one ("A") the way the updater
// stores its own: converted with the system's code page when it is a string.
template <class SetValue>
bool SetRecordValue(SetValue set) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRecordKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)) {
        return false;
    }
    LONG status = set(key);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

}  // namespace

bool ClearRecord() {
    LONG status = RegDeleteKeyA(HKEY_CURRENT_USER, kRecordKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool SetRecordRaw(DWORD type, const std::string& bytes) {
    return SetRecordValue([&](HKEY key) {
        return RegSetValueExA(key, "GameDir", 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                              static_cast<DWORD>(bytes.size()));
    });
}

bool SetRecordString(const std::string& value) {
    std::wstring wide = Wide(value);
    return SetRecordValue([&](HKEY key) {
        return RegSetValueExW(key, L"GameDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                              static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    });
}

bool SetRecordDword(DWORD value) {
    return SetRecordRaw(REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value));
}

std::string ReadRecord() {
    wchar_t data[2048] = {};
    DWORD size = sizeof data - sizeof data[0];
    LONG status = RegGetValueW(HKEY_CURRENT_USER, Wide(kRecordKey).c_str(), L"GameDir", RRF_RT_ANY | RRF_NOEXPAND,
                               nullptr, data, &size);
    return status == ERROR_SUCCESS ? Utf8(data) : std::string();
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) out.append(buffer, got);
    CloseHandle(file);
    return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& data) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = data.empty() ||
              (WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
               written == data.size());
    return CloseHandle(file) && ok;
}

namespace {

DWORD AttributesOf(const std::string& path) {
    return GetFileAttributesW(Wide(path).c_str());
}

}  // namespace

bool FileExists(const std::string& path) {
    DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::string& path) {
    DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolder(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') CreateDirectoryW(Wide(path.substr(0, i)).c_str(), nullptr);
    }
    return IsFolder(path);
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(Wide(folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (wcscmp(entry.cFileName, L".") != 0 && wcscmp(entry.cFileName, L"..") != 0) {
            names.push_back(Utf8(entry.cFileName));
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

void RemoveTree(const std::string& path) {
    for (const std::string& name : ListFolder(path)) {
        std::string child = path + "\\" + name;
        if (IsFolder(child)) {
            RemoveTree(child);
        } else {
            SetFileAttributesW(Wide(child).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(Wide(child).c_str());
        }
    }
    RemoveDirectoryW(Wide(path).c_str());
}

bool FreshFolder(const std::string& folder) {
    RemoveTree(folder);
    return MakeFolder(folder);
}

std::string Listing(const std::string& folder) {
    std::vector<std::string> names = ListFolder(folder);
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& n : names) joined += (joined.empty() ? "" : ", ") + n;
    return joined;
}

}  // namespace drv
