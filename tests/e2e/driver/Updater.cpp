// The updater driver: paths from the runner, starting the updater, its windows and boxes.
#include "driver/Updater.h"

#include <stdlib.h>

#include "resources/Layouts.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace upd {

namespace {

// The dialog manager's class, which the folder picker runs on.
constexpr char kPickerClass[] = "#32770";
// How long "nothing else is shown" is watched for.
constexpr int kQuietMs = 1500;

}  // namespace

std::string Env(const char* name) {
    const char* value = getenv(name);
    return value ? value : "";
}

std::string UpdaterPath(const std::string& name) {
    return Env("E2E_UPDATERS") + "\\" + name + ".exe";
}

std::string PayloadPath(const std::string& name) {
    return Env("E2E_UPDATERS") + "\\" + name + ".payload";
}

std::string TitleOf(const std::string& name) {
    std::string title = name.substr(0, name.find('.'));
    for (size_t i = 1; i < title.size(); ++i) {
        if (title[i] >= 'A' && title[i] <= 'Z') title[i] = static_cast<char>(title[i] - 'A' + 'a');
    }
    return title;
}

std::string ErrorText(const char* pattern, const std::string& arg) {
    // Every message the scenarios meet ends in a Japanese character, which
    // sorts above "." and so gains one.
    return drv::Fill(drv::FromCp932(pattern), arg) + ".";
}

bool WesternSystem() {
    return GetACP() == 1252;
}

bool AnsiWindowsSetup() {
    return Env("E2E_SETUP") == "ansi";
}

bool Utf8Setup() {
    return Env("E2E_SETUP") == "utf8";
}

std::string ShotName(const std::string& name) {
    return WesternSystem() ? name + "-en" : name;
}

bool MakeFlippedCopy(const std::string& from, const std::string& to) {
    std::string exe;
    std::string payload;
    if (!drv::ReadWholeFile(UpdaterPath(from), exe) || !drv::ReadWholeFile(PayloadPath(from), payload)) return false;
    // The container's header: "YP", unpackedSize in 3 bytes, packedSize in 3.
    std::string header = "YP";
    for (int i = 0; i < 3; ++i) header.push_back(static_cast<char>(payload.size() >> (8 * i)));
    size_t start = exe.find(header);
    if (start == std::string::npos || exe.find(header, start + 1) != std::string::npos) return false;
    size_t packed = 0;
    for (int i = 0; i < 3; ++i) packed |= static_cast<size_t>(static_cast<uint8_t>(exe[start + 5 + i])) << (8 * i);
    size_t at = start + 8;
    const size_t end = at + packed;
    if (end > exe.size()) return false;
    // Groups: a flag byte, then eight items, the first under bit 7; a set
    // bit is a two-byte match, a clear one a literal.
    while (at < end) {
        uint8_t flags = static_cast<uint8_t>(exe[at++]);
        for (int item = 0; item < 8 && at < end; ++item) {
            bool match = flags & (0x80 >> item);
            if (!match && at >= start + 8 + packed / 2) {
                exe[at] = static_cast<char>(exe[at] ^ 0x01);
                return drv::WriteWholeFile(UpdaterPath(to), exe) &&
                       drv::WriteWholeFile(PayloadPath(to), payload);
            }
            at += match ? 2 : 1;
        }
    }
    return false;
}

bool MakeWindows98Copy(const std::string& from, const std::string& to) {
    std::string exe, payload;
    if (!drv::ReadWholeFile(UpdaterPath(from), exe) || !drv::ReadWholeFile(PayloadPath(from), payload) ||
        !drv::WriteWholeFile(UpdaterPath(to), exe) || !drv::WriteWholeFile(PayloadPath(to), payload)) {
        return false;
    }
    std::string path = "Software\\Wine\\AppDefaults\\" + to + ".exe";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    static const char kVersion[] = "win98";
    LONG set = RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(kVersion),
                              sizeof kVersion);
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

std::string OldGame() {
    return Env("E2E_OLD_GAME");
}

std::string MakeGameFolder(const std::string& name, const std::string& root) {
    std::string folder = (root.empty() ? Env("E2E_WORK") : root) + "\\" + name;
    drv::FreshFolder(folder);
    std::string old;
    drv::ReadWholeFile(OldGame(), old);
    drv::WriteWholeFile(folder + "\\" + names::kMarkerName, "marker");
    drv::WriteWholeFile(folder + "\\" + names::kTargetFile, old);
    return folder;
}

Running::~Running() {
    if (process.Running()) {
        if (main && IsWindow(main)) drv::Close(main);
        if (process.WaitExit(3000) < 0) process.Kill();
    }
}

HWND Running::Window(const char* windowClass, const std::string& caption, bool visibleOnly) const {
    for (HWND window : drv::TopWindows(process.Id(), visibleOnly)) {
        if (drv::ClassOf(window) == windowClass && (caption.empty() || drv::TextOf(window) == caption)) return window;
    }
    return nullptr;
}

HWND Running::WaitWindow(const char* windowClass, const std::string& caption, int timeoutMs) const {
    HWND found = nullptr;
    drv::WaitUntil([&] { return (found = Window(windowClass, caption)) != nullptr || Ended(); }, timeoutMs);
    return found;
}

HWND Running::WaitFor(const char* windowClass, const std::string& caption, const char* forbidden) const {
    HWND found = nullptr;
    drv::WaitUntil([&] {
        if (forbidden) check::Require(!Window(forbidden), std::string(forbidden) + " showed too early");
        found = Window(windowClass, caption);
        check::Require(found || !Ended(), std::string("ended while waiting for ") + windowClass);
        return found != nullptr;
    });
    check::Require(found != nullptr, std::string("no window ") + windowClass + " \"" + caption + "\"; shown: " + Shown());
    return found;
}

namespace {

// Found by class, so that a wrong caption fails the case without hiding
// what follows.
HWND WaitCaptioned(const Running& running, const char* windowClass, const char* caption) {
    HWND window = running.WaitFor(windowClass);
    check::ExpectEq(drv::TextOf(window), drv::FromCp932(caption), std::string("caption of ") + windowClass);
    return window;
}

// The program's own windows are all of one kind: a wrong one means the bed
// ran another build than it meant to.
HWND ExpectWindowKind(HWND window) {
    bool unicode = IsWindowUnicode(window) != FALSE;
    check::Expect(unicode != AnsiWindowsSetup(), drv::ClassOf(window) + (unicode ? " is a Unicode" : " is an ANSI") +
                                                     " window, E2E_SETUP is \"" + Env("E2E_SETUP") + "\"");
    return window;
}

}  // namespace

HWND Running::WaitMainWindow() const {
    return ExpectWindowKind(WaitCaptioned(*this, kMainWindow.className, texts::kMainCaption));
}

HWND Running::WaitLocateDialog() const {
    return ExpectWindowKind(WaitCaptioned(*this, kLocateWindow.className, texts::kLocateCaption));
}

void Running::ExpectOnly(const std::vector<HWND>& expected, const std::string& what) const {
    drv::WaitUntil([&] {
        for (HWND window : Windows()) {
            bool known = false;
            for (HWND e : expected) known = known || e == window;
            check::Require(known, what + ": unexpected window; shown: " + Shown());
        }
        for (HWND e : expected) check::Require(IsWindowVisible(e), what + ": a window went away");
        return false;
    }, kQuietMs);
}

long Running::WaitExit() const {
    long code = process.WaitExit();
    check::Require(code != -1, "the updater did not end; shown: " + Shown());
    return code;
}

std::string Running::Shown() const {
    std::string shown;
    for (HWND window : Windows()) {
        shown += (shown.empty() ? "" : "; ") + drv::ClassOf(window) + " \"" + drv::TextOf(window) + "\"";
        std::string text = BoxText(window);
        if (!text.empty()) shown += " (" + text + ")";
    }
    return shown.empty() ? "nothing" : shown;
}

bool Launch(const std::string& exe, Running& running, const std::string& currentDir) {
    // The decoder's progress dots stay out of the scenario's own output.
    std::string name = exe.substr(exe.find_last_of('\\') + 1);
    name = name.substr(0, name.rfind('.'));
    running.process = drv::Start(exe, currentDir, Env("E2E_WORK") + "\\" + name + ".stderr.txt");
    return running.process.Started();
}

bool StartUpdater(const std::string& name, Running& running, const std::string& currentDir) {
    if (!Launch(UpdaterPath(name), running, currentDir)) return false;
    running.main = running.WaitWindow(kMainWindow.className);
    if (running.main) {
        check::ExpectEq(drv::TextOf(running.main), drv::FromCp932(texts::kMainCaption), "main window caption");
        ExpectWindowKind(running.main);
    } else {
        check::Note("no main window; shown: " + running.Shown());
    }
    return running.main != nullptr;
}

HWND StartToLocateDialog(Running& running, const std::string& name, const std::string& currentDir) {
    drv::ClearRecord();
    check::Require(Launch(UpdaterPath(name), running, currentDir), "cannot start " + name + ".exe");
    return running.WaitLocateDialog();
}

HWND MainButton(const Running& running, const char* caption) {
    return drv::FindChild(running.main, "Button", drv::FromCp932(caption));
}

long Quit(Running& running) {
    HWND quit = MainButton(running, texts::kQuit);
    if (quit) drv::Click(quit);
    return running.process.WaitExit();
}

bool CloseAll(Running& running) {
    for (int round = 0; round < 10 && running.process.Running(); ++round) {
        for (HWND w : running.Windows()) drv::Close(w);
        if (running.process.WaitExit(1000) >= 0) return true;
    }
    return !running.process.Running();
}

bool WaitBox(const Running& running, drv::Box& box, int timeoutMs) {
    return drv::WaitBox(running.process.Id(), box, {running.main}, timeoutMs);
}

void Answer(HWND box, const char* caption) {
    for (int id = kIdMessageButtonFirst; id < kIdMessageButtonFirst + 3; ++id) {
        HWND button = GetDlgItem(box, id);
        if (button && drv::TextOf(button) == drv::FromCp932(caption)) return drv::Press(box, id);
    }
    check::Require(false, "no button " + drv::FromCp932(caption));
}

std::string BoxText(HWND box) {
    HWND text = GetDlgItem(box, kIdMessageText);
    return text ? drv::TextOf(text) : "";
}

bool StartUpdate(const Running& running, drv::Box& box) {
    HWND start = MainButton(running, texts::kStartUpdate);
    check::Require(start != nullptr, "no start button");
    drv::Click(start);
    return WaitBox(running, box, 2 * drv::kWaitMs);  // decoding takes a while under an emulator
}

void ExpectUpdateInto(Running& running, const std::string& updater, const std::string& folder) {
    drv::Box box;
    check::Require(StartUpdate(running, box), "no box after the start button");
    ExpectBoxAndPress(box, drv::FromCp932(texts::kInfoCaption), drv::FromCp932(texts::kUpdateDone));
    check::ExpectEq(running.process.WaitExit(), 0L, "exit code after the completion box");
    std::string written, payload;
    check::Expect(drv::ReadWholeFile(folder + "\\" + names::kTargetFile, written) &&
                      drv::ReadWholeFile(PayloadPath(updater), payload) && written == payload,
                  "kestravon.exe in " + folder + " is not the payload");
}

void ExpectBoxAndPress(const drv::Box& box, const std::string& caption, const std::string& text, LPCSTR icon) {
    check::ExpectEq(box.caption, caption, "box caption");
    check::ExpectEq(box.text, text, "box text");
    if (icon) {
        // The other standard icon must look clearly less alike, or the
        // comparison proves nothing.
        LPCSTR other = icon == IDI_ERROR ? IDI_INFORMATION : IDI_ERROR;
        // The box paints its icon a moment after its buttons exist.
        drv::WaitUntil([&] { return box.icon && drv::IconLikeness(box.icon, icon) > 0.97; }, 2000);
        double wanted = box.icon ? drv::IconLikeness(box.icon, icon) : 0.0;
        double unwanted = box.icon ? drv::IconLikeness(box.icon, other) : 0.0;
        check::Expect(wanted > 0.97 && unwanted < 0.9,
                      "box icon: " + std::to_string(static_cast<int>(wanted * 100)) + "% like the one wanted, " +
                          std::to_string(static_cast<int>(unwanted * 100)) + "% like the other");
    }
    check::ExpectEq(box.buttons.size(), size_t{1}, "number of box buttons");
    check::Expect(drv::PressBoxButton(box, drv::FromCp932(texts::kButtonOk)), "the box has an OK button");
    check::Expect(drv::WaitGone(box.window), "the box goes away after OK");
}

HWND OpenPicker(const Running& running, HWND locate) {
    drv::Press(locate, kIdLocateButton2);
    return WaitCaptioned(running, kPickerClass, texts::kSelectCaption);
}

void TypeFolder(HWND picker, const std::string& folder) {
    TypeFolder(picker, drv::Wide(folder));
}

void TypeFolder(HWND picker, const std::wstring& folder) {
    HWND field = GetDlgItem(picker, kIdPickerName);
    check::Require(field != nullptr, "the picker has no folder name field");
    drv::SetText(field, folder);
}

HWND PickAndAccept(const Running& running, HWND locate, const std::string& folder) {
    HWND picker = OpenPicker(running, locate);
    TypeFolder(picker, folder);
    drv::Press(picker, IDOK);
    return picker;
}

void ExpectCentred(HWND window, const std::string& what) {
    RECT r = drv::WindowRect(window);
    SIZE screen = drv::ScreenSize();
    check::Expect(drv::Centred(window), what + " at " + std::to_string(r.left) + ", " + std::to_string(r.top) +
                                            ", " + std::to_string(r.right - r.left) + " x " +
                                            std::to_string(r.bottom - r.top) + ", not centred on a " +
                                            std::to_string(screen.cx) + " x " + std::to_string(screen.cy) +
                                            " screen");
}

bool Snap(HWND window, const std::string& name) {
    std::string shots = Env("E2E_SHOTS");
    if (shots.empty()) return true;
    if (!window) return false;
    drv::Settle(window);
    return drv::SaveBmp(drv::Capture(drv::WindowRect(window)), shots + "\\" + name + ".bmp");
}

}  // namespace upd
