// The desktop services on Qt: message boxes, the folder chooser and save dialog, opening and revealing files
// in the user's programs, and the trash.
#pragma once

#include "ui/PlatformServices.h"

class QtPlatformServices : public PlatformServices {
public:
    MessageAnswer ShowMessage(QWidget* parent, MessageKind kind, const QString& text, MessageButtons buttons,
                              const QString& caption = {}) override;
    FolderChoice ChooseFolder(QWidget* parent, const QString& caption, const QString& title,
                              const QString& startDir) override;
    FolderChoice ChooseFolderPlaced(QWidget* parent, const QString& caption, const QString& title,
                                    const QString& startDir, const FolderPlacement& placement) override;
    SaveChoice ChooseSaveFile(QWidget* parent, const QString& title, const QString& filter,
                              const QString& defaultSuffix) override;
    // A text with a scheme (http:, https:, mailto:, file:) is opened as a URL, anything else as a local path.
    bool OpenUrl(const QString& urlOrPath) override;
    // Asks the file manager over D-Bus (org.freedesktop.FileManager1.ShowItems) to show the file selected;
    // when no file manager answers, opens the file's folder instead.
    bool RevealFile(const QString& path) override;
    FileOpResult MoveToTrash(const QString& path) override;
};
