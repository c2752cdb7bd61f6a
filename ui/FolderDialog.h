// The folder picker: a small non-visual component over the desktop's folder chooser. The main window owns one
// instance, shared by "Add folder" and the move action, so the folder chosen last is where it opens next.
#pragma once

#include "ui/PlatformServices.h"

#include <QFlags>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>

class QWidget;

enum class TFolderOption : uint32_t {
    fdoBrowseForComputer = 0x1000,
    fdoBrowseForPrinter = 0x2000,
    fdoDontgoBelowDomain = 0x2,
    fdoReturnFSAncestors = 0x8,
    fdoReturnOnlyFSDirs = 0x1,
    fdoStatusText = 0x4,
    fdoNewDialogStyle = 0x40,
    fdoNoNewFolderButton = 0x200,
    fdoEditBox = 0x10,
};
Q_DECLARE_FLAGS(TFolderOptions, TFolderOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFolderOptions)

enum class TDialogPosition { fdpDefault, fdpScreenCenter, fdpXY };

class TFolderDialog : public QObject {
    Q_OBJECT
public:
    // Directory starts as the process's current folder; Options as fdoNewDialogStyle alone.
    TFolderDialog(PlatformServices& services, QWidget* owner);

    QString Caption;  // the chooser's window caption; empty keeps the toolkit's own
    QString Title;    // text inside the chooser
    QString Directory;  // where the chooser opens; after a successful run, the chosen folder
    TFolderOptions Options = TFolderOption::fdoNewDialogStyle;
    TDialogPosition DialogPosition = TDialogPosition::fdpDefault;
    int DialogX = 0;
    int DialogY = 0;

    // Always "1.1.0.2"; assigning another value changes nothing.
    QString Version() const;
    void SetVersion(const QString&) {}
    // The icon index of the last chosen folder; the desktop here keeps no icon list, so always 0.
    int ImageIndex() const { return 0; }
    // The browse flags the options stand for (0x41 for the main window's instance).
    uint32_t Flags() const { return static_cast<uint32_t>(Options.toInt()); }

    // Runs the chooser modally. True when a folder was chosen (it is then in Directory, as the chooser gives
    // it, without an added delimiter). A Directory that no longer exists is replaced by the current folder
    // first, and stays replaced even when the user cancels.
    bool Execute();

    // Top-left corner of a chooser of the given size by DialogPosition: 20 right of and below the owner's
    // top-left corner, centred on the screen, or at DialogX/DialogY raised to 0.
    QPoint Placement(const QRect& ownerFrame, const QRect& screen, const QSize& dialog) const;

private:
    PlatformServices& services_;
    QWidget* owner_;
};
