// Folders per second of the automatic search against a bare FindFirstFileA
// walk of the same drives, in one run, with the real locate dialog on screen.
// The search should find the marker only on the last fixed drive's root, so
// that it walks everything before and ends without a box.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "locate/FolderWalk.h"
#include "locate/win32/LocateDialog.h"
#include "platform/win32/Win32FileSystem.h"
#include "resources/Layouts.h"

namespace {

double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

long BareWalk(const std::string& folder) {
    long folders = 1;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return folders;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (!strcmp(entry.cFileName, ".") || !strcmp(entry.cFileName, "..")) continue;
        folders += BareWalk(folder + "\\" + entry.cFileName);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return folders;
}

long BareWalkAllFixed() {
    long folders = 0;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const char root[] = {letter, ':', '\\', '\0'};
        if (GetDriveTypeA(root) == DRIVE_FIXED) folders += BareWalk(std::string(1, letter) + ":");
    }
    return folders;
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The search's walk with a chosen share of the dialog work per folder.
class ShareView : public SearchView {
public:
    ShareView(bool text, bool repaint, bool pump, bool labelOnly)
        : text_(text), repaint_(repaint), pump_(pump), labelOnly_(labelOnly) {}
    void ShowRunning(bool) override {}
    void ShowProgress(const char* line) override {
        ++folders;
        if (text_) SetWindowTextA(Form3.label6, line);
        if (repaint_) UpdateWindow(labelOnly_ ? Form3.label6 : Form3.window);
    }
    void PumpMessages() override {
        if (pump_) Pump();
    }
    bool Ended() override { return false; }
    void ShowNotFound() override {}
    void CloseDialog() override {}
    long folders = 0;

private:
    bool text_, repaint_, pump_, labelOnly_;
};

struct Row {
    const char* name;
    std::vector<double> seconds;
    long folders = 0;
};

double Best(const Row& row) { return *std::min_element(row.seconds.begin(), row.seconds.end()); }

double Median(Row row) {
    std::sort(row.seconds.begin(), row.seconds.end());
    return row.seconds[row.seconds.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? atoi(argv[1]) : 3;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (Error e = CreateLocateDialog(instance, nullptr)) {
        fprintf(stderr, "no dialog: %s\n", e.Text());
        return 1;
    }
    ShowWindow(Form3.window, SW_SHOW);
    UpdateWindow(Form3.window);
    Pump();

    BareWalkAllFixed();  // the same cache for every row
    Row rows[] = {
        {"bare FindFirstFileA walk", {}},
        {"search (the button's click)", {}},
        {"  walk only", {}},
        {"  walk + label text", {}},
        {"  walk + label text + repaint", {}},
        {"  walk + pump", {}},
        {"  walk + text + repaint + pump", {}},
        {"  ... repainting the label only", {}},
    };
    for (int round = 0; round < rounds; ++round) {
        double t0 = Now();
        rows[0].folders = BareWalkAllFixed();
        rows[0].seconds.push_back(Now() - t0);

        Form3.ended = false;
        t0 = Now();
        // The click itself, handled before SendMessage returns.
        SendMessageA(Form3.window, WM_COMMAND, MAKEWPARAM(kIdLocateButton1, BN_CLICKED),
                     reinterpret_cast<LPARAM>(Form3.button1));
        rows[1].seconds.push_back(Now() - t0);
        rows[1].folders = rows[0].folders;
        if (!Form3.ended) fprintf(stderr, "search did not end with a find\n");

        const bool shares[][4] = {{false, false, false, false}, {true, false, false, false},
                                 {true, true, false, false},   {false, false, true, false},
                                 {true, true, true, false},    {true, true, true, true}};
        for (int p = 0; p < 6; ++p) {
            ShareView view(shares[p][0], shares[p][1], shares[p][2], shares[p][3]);
            Win32FileSystem fileSystem;
            SearchState state;
            t0 = Now();
            for (char letter = 'A'; letter <= 'Z'; ++letter) {
                if (fileSystem.TypeOfDrive(letter) != DriveType::kFixed) continue;
                const char root[] = {letter, ':', '\0'};
                SearchFolder(state, fileSystem, view, root);
            }
            rows[2 + p].seconds.push_back(Now() - t0);
            rows[2 + p].folders = view.folders;
        }
    }

    double bare = static_cast<double>(rows[0].folders) / Best(rows[0]);
    // The machine may be shared: the best round is the cost, the median how
    // steady the rounds were.
    printf("%-32s %8s %8s %8s %10s %8s\n", "walk", "folders", "best s", "median s", "folders/s",
           "vs bare");
    for (const Row& row : rows) {
        double rate = static_cast<double>(row.folders) / Best(row);
        printf("%-32s %8ld %8.3f %8.3f %10.0f %8.2f\n", row.name, row.folders, Best(row), Median(row),
               rate, bare / rate);
    }
    return 0;
}
