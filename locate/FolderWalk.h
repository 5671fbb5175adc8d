// The automatic search: fixed drives A to Z, each walked depth first for the
// game's marker file, driven by the search button of the locate dialog.
#pragma once

#include <stddef.h>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/Registry.h"

// Paths longer than the system allows are joined here and left to the
// listing to refuse; beyond this capacity a subfolder is passed over.
constexpr size_t kSearchPathCapacity = 2 * kPathCapacity;

// One copy for the whole run, kept between searches.
struct SearchState {
    bool StopSearch = false;
    // Without a trailing "\"; a drive's root is the letter and the colon.
    char FoundDir[kSearchPathCapacity] = {};
    // The search button reads "中止".
    bool running = false;
    // A search is on the call stack, running or unwinding after a stop.
    bool busy = false;
    // The dialog was closed during this search.
    bool abandoned = false;
};

// What the search needs of the dialog.
class SearchView {
public:
    virtual ~SearchView() = default;
    // Running: the button reads "中止" and the other two are disabled;
    // otherwise it reads "自動検索" and they are enabled.
    virtual void ShowRunning(bool running) = 0;
    // Sets the progress line to "検索中 " and folder, and repaints the
    // dialog at once.
    virtual void ShowProgress(const char* folder) = 0;
    // Handles every pending message; button clicks and the close box re-enter
    // the dialog from here.
    virtual void PumpMessages() = 0;
    // True once the dialog has been closed (or the program asked to quit).
    virtual bool Ended() = 0;
    virtual void ShowNotFound() = 0;
    virtual void CloseDialog() = 0;
};

// The search button's click: starts a search, or asks the running one to
// stop. A click that arrives while a stopped search still unwinds is ignored.
// A folder found is written to the install record through registry.
Error ClickSearchButton(SearchState& state, FileSystem& fileSystem, Registry& registry, SearchView& view);

// Walks folder and its subfolders for the marker; reports only through state
// and the progress line. Exposed for the search's own tests.
void SearchFolder(SearchState& state, FileSystem& fileSystem, SearchView& view, const char* folder);

// True when name, ASCII letters upper-cased, is "MG_DATA.MBL".
bool IsMarkerName(const char* name);
