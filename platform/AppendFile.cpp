// Durable appends with POSIX calls: O_APPEND keeps concurrent writers from overwriting each other, fdatasync
// makes the record survive a crash of the program or the machine.
#include "platform/AppendFile.h"

#include "platform/FileActions.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int AppendRecord(const QString& path, const QByteArray& record) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    int error = 0;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        error = EINVAL;
    } else {
        QByteArray bytes;
        if (info.st_size > 0) {
            char last = '\n';
            if (::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n')
                bytes.append('\n');
        }
        bytes.append(record);
        error = WriteAll(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
        if (error == 0 && ::fdatasync(fd) != 0)
            error = errno;
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}
