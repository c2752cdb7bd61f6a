// A non-blocking open followed by a look at what was opened: checking the path first and opening after
// would leave a moment in which the file could be swapped.
#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool OpenRegularFile(QFile& file, const QString& path, OpenOptions options)
{
    int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (!options.FollowFinalLink)
        flags |= O_NOFOLLOW;
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (options.MaxSize >= 0 && st.st_size > options.MaxSize)) {
        ::close(fd);
        return false;
    }
    // Reads from a regular file never wait anyway; the flag goes so the handle behaves as an ordinary one.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.setFileName(path);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

std::optional<QByteArray> ReadOwnFile(const QString& path, qint64 maxSize)
{
    QFile file;
    if (!OpenRegularFile(file, path, {.FollowFinalLink = false, .MaxSize = maxSize}))
        return std::nullopt;
    // A file growing after the size check is still read no further than the limit.
    QByteArray bytes = file.read(qMin(file.size(), maxSize) + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > maxSize)
        return std::nullopt;
    return bytes;
}
