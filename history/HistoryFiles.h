// Where the program keeps what it remembers, and how it reads and writes those files.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// $XDG_DATA_HOME/Voralin/ (~/.local/share/Voralin/ when unset), the same for the window and voralin-cli
// whatever application name each one carries. Ends with "/". Not created here.
QString HistoryFolder();

// A SHA-256 of the file's whole content as 64 hex digits; nothing when it is not a regular file or cannot
// be read. Unlike the matcher's quick hash it is kept on disk, so two different files must never share it.
std::optional<QByteArray> FileDigest(const QString& path);

// One of the program's own files, whole: nothing when missing, not a regular file, a link, larger than
// `maxSize` or unreadable.
std::optional<QByteArray> ReadHistoryFile(const QString& path, qint64 maxSize);
// Replaces one of the program's own files at once (written beside it, flushed, renamed into place), making
// its folder when missing. False when it could not be written; the old file then stays as it was.
bool WriteHistoryFile(const QString& path, const QByteArray& bytes);
