// Deleting and moving one picture file, without any window: the callers show the messages. Every failure
// carries the errno value that the message reports.
#pragma once

#include <QString>
#include <cstddef>
#include <functional>

struct FileOpResult {
    bool ok = false;
    int errorCode = 0;              // errno on failure
    bool trashUnavailable = false;  // the file's volume has no trash that can be used; the file is untouched
    QString location{};             // on success: the trash entry's file or the new path; empty when deleted for good
};

// The errno a failed action stands for: a refusal without one (a volume without a usable trash) is EXDEV,
// any other failure without one EIO; 0 on success.
int FailureCode(const FileOpResult& result);

// Gives the file's owner write permission again, following a symbolic link to its target, so that a
// read-only picture can be deleted or moved like any other. Failure is ignored: the delete or move that
// follows reports what matters.
void ClearReadOnly(const QString& path);

// Moves one file to the trash; the window passes its desktop's way, which tests can make refuse.
using TrashMover = std::function<FileOpResult(const QString& path)>;

// Gives `from` the name `to` on one file system; an existing `to` is never replaced (EEXIST). Returns 0 or
// an errno; EXDEV when the two lie on different file systems.
int RenameWithoutReplacing(const QByteArray& from, const QByteArray& to);

// Writes all of `size` bytes to `fd`, resuming after interruptions and short writes. Returns 0 or an errno.
int WriteAll(int fd, const char* data, size_t size);

// Clears the read-only state, then moves the file to the trash with `trash` (so the user can restore it)
// when toTrash is set, or removes it for good otherwise.
FileOpResult DeletePictureFile(const QString& path, bool toTrash, const TrashMover& trash);

// The destination of a move: the chosen folder, a "/" added when it has none, then the file name.
QString MoveDestination(const QString& folder, const QString& fileName);

// Moves source to destination and never replaces a file that already has the destination's name (EEXIST).
// On one file system the name changes atomically; across file systems the file is copied under a temporary
// name in the destination's folder, checked, flushed to disk, linked into place and only then is the
// original removed. On any failure the original stays where it was and no partial copy is left behind.
FileOpResult MovePictureFile(const QString& source, const QString& destination);

// The copying half of MovePictureFile, usable on one file system as well (tests reach it that way).
FileOpResult MoveFileByCopy(const QString& source, const QString& destination);
