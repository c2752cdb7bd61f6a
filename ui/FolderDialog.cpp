#include "ui/FolderDialog.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {
// The component's version number; its four bytes from the highest are the four parts of the text.
constexpr uint32_t kVersionNumber = 16842754;
// fdpDefault places the chooser this far right of and below the owner's top-left corner.
constexpr int kDefaultOffset = 20;
}  // namespace

TFolderDialog::TFolderDialog(PlatformServices& services, QWidget* owner)
    : QObject(owner), Directory(QDir::currentPath()), services_(services), owner_(owner) {}

QString TFolderDialog::Version() const {
    return QStringLiteral("%1.%2.%3.%4")
        .arg((kVersionNumber >> 24) & 0xFF)
        .arg((kVersionNumber >> 16) & 0xFF)
        .arg((kVersionNumber >> 8) & 0xFF)
        .arg(kVersionNumber & 0xFF);
}

QPoint TFolderDialog::Placement(const QRect& ownerFrame, const QRect& screen, const QSize& dialog) const {
    switch (DialogPosition) {
    case TDialogPosition::fdpScreenCenter:
        return {screen.x() + screen.width() / 2 - dialog.width() / 2,
                screen.y() + screen.height() / 2 - dialog.height() / 2};
    case TDialogPosition::fdpXY:
        return {std::max(DialogX, 0), std::max(DialogY, 0)};
    case TDialogPosition::fdpDefault:
        break;
    }
    return ownerFrame.topLeft() + QPoint(kDefaultOffset, kDefaultOffset);
}

bool TFolderDialog::Execute() {
    QWidget* parent = owner_ ? owner_->window() : nullptr;
    const QFileInfo start(Directory);
    if (Directory.isEmpty() || !start.isDir())
        Directory = QDir::currentPath();

    QRect ownerFrame = parent ? parent->frameGeometry() : QRect();
    QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect screenRect = screen ? screen->geometry() : QRect();
    const FolderPlacement placement{[this, ownerFrame, screenRect](const QSize& dialog) {
        return Placement(ownerFrame, screenRect, dialog);
    }};

    const FolderChoice choice = services_.ChooseFolderPlaced(parent, Caption, Title, Directory, placement);
    if (!choice.accepted || choice.path.isEmpty())
        return false;
    Directory = choice.path;
    return true;
}
