// Scripted stand-in for the desktop: records every box and request, answers from queues.
#pragma once

#include "platform/Trash.h"
#include "ui/PlatformServices.h"

#include <QFile>
#include <QList>
#include <QQueue>
#include <QString>
#include <cerrno>

struct ShownMessage {
    MessageKind kind;
    QString text;
    MessageButtons buttons;
    QString caption;
};

class FakePlatformServices : public PlatformServices {
public:
    // Answers for boxes with Yes/No; when empty, Yes. OK boxes always answer Ok.
    QQueue<MessageAnswer> answers;
    QQueue<FolderChoice> folderChoices;  // when empty: cancelled
    QQueue<SaveChoice> saveChoices;      // when empty: cancelled
    QList<ShownMessage> messages;
    QStringList folderCaptions, folderStartDirs, openedUrls, revealed, trashed;
    QString lastSaveTitle, lastSaveFilter, lastSaveSuffix;
    // Called while a box is "open" (e.g. to check state or trigger events); may be empty.
    std::function<void(const ShownMessage&)> onMessage;

    MessageAnswer ShowMessage(QWidget*, MessageKind kind, const QString& text, MessageButtons buttons,
                              const QString& caption = {}) override {
        ShownMessage m{kind, text, buttons, caption};
        messages.append(m);
        if (onMessage)
            onMessage(m);
        if (buttons == MessageButtons::Ok)
            return MessageAnswer::Ok;
        return answers.isEmpty() ? MessageAnswer::Yes : answers.dequeue();
    }
    FolderChoice ChooseFolder(QWidget*, const QString& caption, const QString&, const QString& startDir) override {
        folderCaptions.append(caption);
        folderStartDirs.append(startDir);
        return folderChoices.isEmpty() ? FolderChoice{} : folderChoices.dequeue();
    }
    SaveChoice ChooseSaveFile(QWidget*, const QString& title, const QString& filter,
                              const QString& suffix) override {
        lastSaveTitle = title;
        lastSaveFilter = filter;
        lastSaveSuffix = suffix;
        return saveChoices.isEmpty() ? SaveChoice{} : saveChoices.dequeue();
    }
    // Set to act as a desktop with no program registered for anything.
    bool nothingOpens = false;
    bool OpenUrl(const QString& urlOrPath) override {
        openedUrls.append(urlOrPath);
        return !nothingOpens;
    }
    bool RevealFile(const QString& path) override {
        revealed.append(path);
        return !nothingOpens;
    }
    // Really moves the file to the trash (tests point XDG_DATA_HOME at a temporary folder).
    FileOpResult MoveToTrash(const QString& path) override {
        trashed.append(path);
        return MoveFileToTrash(path);
    }

    // Answers the dialogs a window runs for one question; without it every such dialog is cancelled.
    std::function<int(QDialog&)> onDialog;
    int RunDialog(QDialog& dialog) override { return onDialog ? onDialog(dialog) : int(QDialog::Rejected); }

    QString lastText() const { return messages.isEmpty() ? QString() : messages.last().text; }
};
