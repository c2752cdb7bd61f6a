// What a region of the main window may ask of the frame around it: the shared state, the desktop, the one
// window state and the message processing of a running search.
#pragma once

#include "ui/AppState.h"
#include "ui/PlatformServices.h"
#include "ui/WindowState.h"

class QWidget;

class TMainFrame {
public:
    virtual ~TMainFrame() = default;
    virtual AppState& State() = 0;
    virtual PlatformServices& Services() = 0;
    // The parent of message boxes.
    virtual QWidget* Window() = 0;
    virtual TWindowState WindowState() const = 0;
    // Moves to `state` and enables what its row of the control table enables.
    virtual void ChangeWindowState(TWindowState state) = 0;
    // The idle state of a search's end, also entered after each delete or move.
    virtual void EnterIdleState() = 0;
    virtual void ProcessMessages() = 0;
};
