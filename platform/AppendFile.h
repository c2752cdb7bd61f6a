// Appending records to one of the program's own logs, so that each record is on disk before the program
// goes on, and a record cut short by a crash never runs into the next one.
#pragma once

#include <QByteArray>
#include <QString>

// Appends `record` (which ends with a line feed) to the regular file `path`, created with owner-only
// permissions when missing, and flushes it to disk before returning. A link or a non-regular file standing
// at `path` is refused (ELOOP, EINVAL), and a fifo is never waited on. When the file does not end with a line
// feed (the last record was cut short), one is written first. Returns 0 or an errno.
int AppendRecord(const QString& path, const QByteArray& record);
