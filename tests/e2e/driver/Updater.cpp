// The scenarios' common ground: paths from the runner, starting the updater, its boxes.
#include "driver/Updater.h"

#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "resources/Names.h"
#include "resources/Texts.h"

namespace bed {

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
    return drv::Fill(pattern, arg) + ".";
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

HWND Running::Window(const char* windowClass, const char* caption, bool visibleOnly) const {
    for (HWND window : drv::TopWindows(process.Id(), visibleOnly)) {
        if (drv::ClassOf(window) == windowClass && (!caption || drv::TextOf(window) == caption)) return window;
    }
    return nullptr;
}

HWND Running::WaitWindow(const char* windowClass, const char* caption, int timeoutMs) const {
    HWND found = nullptr;
    drv::WaitUntil([&] { return (found = Window(windowClass, caption)) != nullptr || Ended(); }, timeoutMs);
    return found;
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
    running.main = drv::WaitWindow(running.process.Id(), texts::kMainCaption);
    return running.main != nullptr;
}

HWND MainButton(const Running& running, const char* caption) {
    return drv::FindChild(running.main, "Button", caption);
}

long Quit(Running& running) {
    HWND quit = MainButton(running, texts::kQuit);
    if (quit) drv::Click(quit);
    return running.process.WaitExit();
}

bool WaitBox(const Running& running, drv::Box& box, int timeoutMs) {
    return drv::WaitBox(running.process.Id(), box, {running.main}, timeoutMs);
}

bool StartUpdate(check::Suite& suite, const Running& running, drv::Box& box) {
    HWND start = MainButton(running, texts::kStartUpdate);
    suite.Require(start != nullptr, "no start button");
    drv::Click(start);
    return WaitBox(running, box, 30000);
}

void ExpectUpdateInto(check::Suite& suite, Running& running, const std::string& updater,
                      const std::string& folder) {
    drv::Box box;
    suite.Require(StartUpdate(suite, running, box), "no box after the start button");
    ExpectBoxAndPress(suite, box, texts::kInfoCaption, texts::kUpdateDone);
    suite.ExpectEq(running.process.WaitExit(), 0L, "exit code after the completion box");
    std::string written, payload;
    suite.Expect(drv::ReadWholeFile(folder + "\\" + names::kTargetFile, written) &&
                     drv::ReadWholeFile(PayloadPath(updater), payload) && written == payload,
                 "kestravon.exe in " + folder + " is not the payload");
}

void ExpectBoxAndPress(check::Suite& suite, const drv::Box& box, const std::string& caption,
                       const std::string& text, LPCSTR icon) {
    suite.ExpectEq(box.caption, caption, "box caption");
    suite.ExpectEq(box.text, text, "box text");
    if (icon) {
        // The other standard icon must look clearly less alike, or the
        // comparison proves nothing.
        LPCSTR other = icon == IDI_ERROR ? IDI_INFORMATION : IDI_ERROR;
        // The box paints its icon a moment after its buttons exist.
        drv::WaitUntil([&] { return box.icon && drv::IconLikeness(box.icon, icon) > 0.97; }, 2000);
        double wanted = box.icon ? drv::IconLikeness(box.icon, icon) : 0.0;
        double unwanted = box.icon ? drv::IconLikeness(box.icon, other) : 0.0;
        suite.Expect(wanted > 0.97 && unwanted < 0.9,
                     "box icon: " + std::to_string(static_cast<int>(wanted * 100)) + "% like the one wanted, " +
                         std::to_string(static_cast<int>(unwanted * 100)) + "% like the other");
    }
    suite.ExpectEq(box.buttons.size(), size_t{1}, "number of box buttons");
    suite.Expect(drv::PressBoxButton(box, texts::kButtonOk), "the box has an OK button");
    suite.Expect(drv::WaitGone(box.window), "the box goes away after OK");
}

bool Snap(HWND window, const std::string& name) {
    std::string shots = Env("E2E_SHOTS");
    if (shots.empty()) return true;
    if (!window) return false;
    drv::Settle(window);
    return drv::SaveBmp(drv::Capture(drv::WindowRect(window)), shots + "\\" + name + ".bmp");
}

std::string Listing(const std::string& folder) {
    std::vector<std::string> names = drv::ListFolder(folder);
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& n : names) joined += (joined.empty() ? "" : ", ") + n;
    return joined;
}

}  // namespace bed
