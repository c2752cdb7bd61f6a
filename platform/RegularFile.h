// Opening a file for reading without ever waiting on something that is not one.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

struct OpenOptions {
    // Off for the program's own files (settings, caches): a link planted in their place is not followed.
    bool FollowFinalLink = true;
    // Refused when larger; negative for no limit.
    qint64 MaxSize = -1;
};

// Opens `path` for reading into `file` when it is a regular file; false for anything else, when it cannot
// be opened, or when the options refuse it. The open itself never blocks, so a fifo, socket or device that
// took a file's place is refused rather than waited on for ever.
bool OpenRegularFile(QFile& file, const QString& path, OpenOptions options = {});

// The whole of one of the program's own files (no final link followed, at most `maxSize` bytes); nothing
// when it is missing, not a regular file, too large or unreadable.
std::optional<QByteArray> ReadOwnFile(const QString& path, qint64 maxSize);
