#include "ui/QtPlatformServices.h"

#include "engine/SearchTexts.h"
#include "platform/Trash.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QUrl>
#include <cerrno>

#ifdef VORALIN_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#endif

namespace {

QString DefaultCaption(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return QStringLiteral("Error");
    case MessageKind::Information:
        return QStringLiteral("Information");
    case MessageKind::Confirmation:
        return QStringLiteral("Confirm");
    }
    return {};
}

QMessageBox::Icon IconOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Information:
        return QMessageBox::Information;
    case MessageKind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// How long the file manager may take to answer before the folder is opened instead.
constexpr int kRevealTimeoutMs = 3000;

}  // namespace

MessageAnswer QtPlatformServices::ShowMessage(QWidget* parent, MessageKind kind, const QString& text,
                                              MessageButtons buttons, const QString& caption) {
    QMessageBox box(parent);
    box.setIcon(IconOf(kind));
    box.setWindowTitle(caption.isEmpty() ? DefaultCaption(kind) : caption);
    // File names are shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    // The texts break their lines with "\n\r" (the CSV and the callers rely on it), which a box would show as
    // two breaks.
    box.setText(QString(text).replace(kMessageLineBreak, QStringLiteral("\n")));
    if (buttons == MessageButtons::Ok) {
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return MessageAnswer::Ok;
    }
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(buttons == MessageButtons::YesNoDefaultNo ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

FolderChoice QtPlatformServices::ChooseFolder(QWidget* parent, const QString& caption, const QString& title,
                                              const QString& startDir) {
    return ChooseFolderPlaced(parent, caption, title, startDir, {});
}

FolderChoice QtPlatformServices::ChooseFolderPlaced(QWidget* parent, const QString& caption, const QString& title,
                                                    const QString& startDir, const FolderPlacement& placement) {
    QFileDialog dialog(parent, caption.isEmpty() ? QStringLiteral("Browse for Folder") : caption, startDir);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (!title.isEmpty())
        dialog.setLabelText(QFileDialog::LookIn, title);
    if (placement) {
        // Only Qt's own dialog can be placed; a desktop-provided one opens where the desktop puts it.
        dialog.adjustSize();
        dialog.move(placement(dialog.frameGeometry().size()));
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return {};
    return {true, QDir::toNativeSeparators(chosen.first())};
}

SaveChoice QtPlatformServices::ChooseSaveFile(QWidget* parent, const QString& title, const QString& filter,
                                              const QString& defaultSuffix) {
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(defaultSuffix);
    // The caller asks its own question before replacing a file.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return {};
    return {true, chosen.first()};
}

bool QtPlatformServices::OpenUrl(const QString& urlOrPath) {
    static const QStringList kSchemes{QStringLiteral("http:"), QStringLiteral("https:"), QStringLiteral("mailto:"),
                                      QStringLiteral("file:")};
    for (const QString& scheme : kSchemes) {
        if (urlOrPath.startsWith(scheme, Qt::CaseInsensitive))
            return QDesktopServices::openUrl(QUrl(urlOrPath));
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(urlOrPath));
}

bool QtPlatformServices::RevealFile(const QString& path) {
#ifdef VORALIN_HAVE_DBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, kRevealTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
    }
#endif
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

FileOpResult QtPlatformServices::MoveToTrash(const QString& path) { return MoveFileToTrash(path); }
