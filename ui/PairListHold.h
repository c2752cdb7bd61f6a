// Held while a command lets pending events run over the pair list (a header sort, a batch of file actions).
#pragma once

#include "engine/Catalogue.h"
#include "ui/MainFrame.h"

// While held the window is in its sorting state, so header clicks, file actions, the swap and the export do
// nothing and a new search cannot be started, and a close request defers the catalogue's release until the
// holder has let go of the pair list.
class TPairListHold {
public:
    explicit TPairListHold(TMainFrame& frame)
        : frame_(frame), hold_(frame.State().catalogue), before_(frame.WindowState()) {
        frame_.ChangeWindowState(TWindowState::Sorting);
    }
    ~TPairListHold() {
        // A close while held stays a close.
        if (frame_.WindowState() == TWindowState::Sorting)
            frame_.ChangeWindowState(before_);
    }
    TPairListHold(const TPairListHold&) = delete;
    TPairListHold& operator=(const TPairListHold&) = delete;

private:
    TMainFrame& frame_;
    Catalogue::SearchUse hold_;
    TWindowState before_;
};
