// The desktop trash as file managers share it: where a file's trash lies, entries they can restore, and
// which folders are trash folders that a search never enters.
#pragma once

#include "platform/FileActions.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

// The user's own trash: $XDG_DATA_HOME/Trash, or ~/.local/share/Trash when that variable is unset or not
// an absolute path. Not created here.
QString HomeTrashFolder();

// The name of this user's own trash folder at the top of a volume: `.Trash-UID`.
QString UserTrashFolderName();

// The trash a file on the volume whose top folder is `topFolder` goes to, created when missing:
// `topFolder/.Trash/UID` when `.Trash` is a real folder (not a link) with the sticky bit, else
// `topFolder/.Trash-UID`. Empty when neither can be used (the volume is read-only, a name is taken by a
// file, a folder belongs to someone else).
QString VolumeTrashFolder(const QString& topFolder);

// The text of a `.trashinfo` file: the original location, percent-encoded byte by byte except for
// unreserved characters and "/", and the deletion time in local time.
QByteArray TrashInfoText(const QByteArray& nativeLocation, const QDateTime& deleted);

// Moves `path` into `trashFolder` (which gets files/ and info/ when missing) under a name not used there
// yet. The info file is written and flushed before the move and removed again when the move fails.
// `location` is what the info file records (absolute, or relative to the folder holding the trash).
FileOpResult MoveIntoTrash(const QString& path, const QString& trashFolder, const QByteArray& location);

// Moves the file (a link itself, never its target) to the trash of its own volume, so that a file manager
// can restore it: the home trash when the file lies on the home trash's volume, otherwise the volume's
// trash. Never copies across volumes; where no trash can be used the result says trashUnavailable and the
// file stays where it was.
FileOpResult MoveFileToTrash(const QString& path);

// Puts a trash entry back: `entryFile` (a trash's files/NAME) is given the name `originalPath` again, never
// replacing a file there (EEXIST), its missing folders are made again, and only then is its info file
// removed. The entry must lie in a trash folder (EINVAL otherwise). `location` receives nothing.
FileOpResult RestoreFromTrash(const QString& entryFile, const QString& originalPath);

// The entry files of the trashes that a file once at `originalPath` can have gone to (the home trash and the
// trashes of the volume the path lies on) whose info file names that path. For records whose confirmation
// was lost: the caller checks which one, if any, is the file.
QStringList TrashEntriesFor(const QString& originalPath);

// Tells whether walked folders are trash folders: the home trash, and `.Trash` and `.Trash-UID` at the top
// of a volume, with everything inside them. Each folder that could be one is looked at once, when a walk
// first reaches it, so nothing probes mounts the walk never goes near.
class TrashFolderRule {
public:
    // `canonical` is a real path without a trailing "/".
    bool IsInsideTrash(const QString& canonical);

private:
    bool isVolumeTop(const QString& folder);
    QString homeTrash_;
    bool homeTrashResolved_ = false;
    QHash<QString, bool> volumeTops_;
};
