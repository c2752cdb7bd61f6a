// Opening a picture file without ever waiting on something that is not one.
#pragma once

#include <QFile>
#include <QString>

// Opens `path` (links followed) for reading into `file` when it is a regular file; false for anything else
// or when it cannot be opened. The open itself never blocks, so a fifo, socket or device that took a
// picture's place after the folder walk is refused rather than waited on for ever.
bool OpenRegularFile(QFile& file, const QString& path);
