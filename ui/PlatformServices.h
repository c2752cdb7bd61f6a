// Everything the windows ask of the desktop: message boxes, the folder chooser, the save dialog, opening and
// revealing files, the trash. Windows receive it by reference, so tests can answer it without a screen.
#pragma once

#include "platform/FileActions.h"

#include <QDialog>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

enum class MessageKind { Error, Information, Confirmation };
// YesNoDefaultNo: a question whose Yes cannot be undone (a deletion for good); Enter answers No.
enum class MessageButtons { Ok, YesNo, YesNoDefaultNo };
enum class MessageAnswer { Ok, Yes, No };

struct FolderChoice {
    bool accepted = false;
    QString path;  // as the chooser gives it, without an added delimiter
};

// Where a chooser of the given size should open: its top-left corner in screen coordinates.
using FolderPlacement = std::function<QPoint(const QSize&)>;

struct SaveChoice {
    bool accepted = false;
    QString path;  // full path, default extension applied
};

class PlatformServices {
public:
    virtual ~PlatformServices() = default;

    // Modal box. Captions: Error -> "Error", Information -> "Information", Confirmation -> "Confirm";
    // a non-empty caption overrides. Texts are always shown as plain text.
    virtual MessageAnswer ShowMessage(QWidget* parent, MessageKind kind, const QString& text,
                                      MessageButtons buttons, const QString& caption = {}) = 0;
    // Modal folder chooser (directories only) opened at startDir, with the given window caption.
    virtual FolderChoice ChooseFolder(QWidget* parent, const QString& caption, const QString& title,
                                      const QString& startDir) = 0;
    // ChooseFolder with a wish for the chooser's place; where the toolkit cannot place it the wish is ignored.
    virtual FolderChoice ChooseFolderPlaced(QWidget* parent, const QString& caption, const QString& title,
                                            const QString& startDir, const FolderPlacement& placement) {
        (void)placement;
        return ChooseFolder(parent, caption, title, startDir);
    }
    // Modal save dialog; filter in Qt form ("CSV files (*.csv);;Any file (*)").
    virtual SaveChoice ChooseSaveFile(QWidget* parent, const QString& title, const QString& filter,
                                      const QString& defaultSuffix) = 0;
    // Opens a file in its default program, or a URL (http, https, mailto) in the default handler; false when
    // nothing could open it (no registered program).
    virtual bool OpenUrl(const QString& urlOrPath) = 0;
    // Shows the file manager with the file selected (falls back to opening its folder); false when neither
    // could be done.
    virtual bool RevealFile(const QString& path) = 0;
    // Moves the file to the user's trash so it can be restored.
    virtual FileOpResult MoveToTrash(const QString& path) = 0;
    // Runs a modal dialog that a window made for one question (the keep-rules) and returns its result
    // (QDialog::Accepted or Rejected).
    virtual int RunDialog(QDialog& dialog) { return dialog.exec(); }

    // OpenUrl, and when that fails an error box "Cannot open " followed by `shownName` (what the user knows
    // the target as: a file name without its folder, a page, an address).
    bool OpenOrReport(QWidget* parent, const QString& urlOrPath, const QString& shownName) {
        if (OpenUrl(urlOrPath))
            return true;
        ShowMessage(parent, MessageKind::Error, QStringLiteral("Cannot open ") + shownName, MessageButtons::Ok);
        return false;
    }
};
