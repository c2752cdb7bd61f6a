// The file key from stat(): the one place that knows where the platform keeps the times.
#include "platform/FileKey.h"

#include <QFile>

#include <sys/stat.h>

std::optional<FileKey> StatFileKey(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    FileKey key;
    key.Size = st.st_size;
    key.ModifiedSeconds = st.st_mtim.tv_sec;
    key.ModifiedNanoseconds = st.st_mtim.tv_nsec;
    key.ChangedSeconds = st.st_ctim.tv_sec;
    key.ChangedNanoseconds = st.st_ctim.tv_nsec;
    key.Inode = st.st_ino;
    return key;
}
