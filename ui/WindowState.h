// The main window's one state and the table of which groups of controls each state enables. Plain
// declarations without widgets, so the table is checked without a QApplication.
#pragma once

#include <array>
#include <cstddef>

enum class TWindowState {
    Idle,       // no search; every command available
    Searching,  // a search runs; the list, the folder commands and the pair commands wait
    Stopping,   // a search has been asked to stop and has not returned yet
    Sorting,    // a header sort lets pending events run; nothing may change the pair list under it
    Closing,    // the window has been asked to close; a search still unwinding shows nothing more
};

// Groups of controls that change together.
enum class TControl {
    FolderList,      // DirectoriesListBox
    FolderButtons,   // add, remove, up, down, clear
    ScanSubfolders,  // the check box (its label stays live)
    StartCommand,    // StartButton and the "Start Search" menu item
    ResultsList,     // ListView1
    PairButtons,     // swap and the move, browse and delete buttons of both pictures
    Pictures,        // LeftImage and RightImage
    SettingsMenu,    // "Settings" and "About"
    Count
};

inline constexpr std::size_t kControlGroups = static_cast<std::size_t>(TControl::Count);

namespace window_state_detail {
using Row = std::array<bool, kControlGroups>;
// Columns in the order of TControl.
inline constexpr Row kAll{true, true, true, true, true, true, true, true};
inline constexpr Row kSearch{false, false, false, true, false, false, false, false};
inline constexpr Row kSort{true, true, true, false, true, true, true, true};
}  // namespace window_state_detail

// Whether `state` enables the group. Closing keeps the idle row: a search that unwinds after a close still
// returns the window to its idle look.
constexpr bool ControlEnabled(TWindowState state, TControl control) {
    using namespace window_state_detail;
    const std::size_t column = static_cast<std::size_t>(control);
    switch (state) {
    case TWindowState::Searching:
    case TWindowState::Stopping:
        return kSearch[column];
    case TWindowState::Sorting:
        return kSort[column];
    case TWindowState::Idle:
    case TWindowState::Closing:
        break;
    }
    return kAll[column];
}

// True while a search runs, stopping or not: the Start command then only stops.
constexpr bool SearchRunning(TWindowState state) {
    return state == TWindowState::Searching || state == TWindowState::Stopping;
}

// Header sorts, delete, move, swap and the export change or read the pair list in its order; a sort half
// way through holds it.
constexpr bool PairListFree(TWindowState state) {
    return state != TWindowState::Sorting;
}
