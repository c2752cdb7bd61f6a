// Atomic replacement where the target allows it, writing in place where it must, refusal otherwise.
#include "platform/SafeWriter.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const QString& path, const QString& reason) {
    throw FileWriteError(QStringLiteral("Unable to write to %1: %2").arg(path, reason).toStdString());
}

[[noreturn]] void failErrno(const QString& path, int error) {
    fail(path, QString::fromLocal8Bit(std::strerror(error)));
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { close(); }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int close() {
        const int result = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

// 0 on success, else the errno of the first failure; EINTR and short writes are retried.
int writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    size_t left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    return 0;
}

// Devices and pipes may not support fsync; their data is with the receiver once written.
bool syncNotSupported(int error) { return error == EINVAL || error == EROFS || error == ENOTSUP; }

void syncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);  // only makes the rename lasting; the file itself is already flushed
    ::close(fd);
}

// Writes into an existing node without replacing it: truncate (regular files only), write, flush.
void writeInPlace(const QString& path, const QByteArray& native, const QByteArray& bytes, bool regularOnly) {
    Descriptor fd(::open(native.constData(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (!fd)
        failErrno(path, errno == ENXIO ? EPIPE : errno);  // ENXIO: a fifo or socket with nobody to read
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        failErrno(path, errno);
    if (S_ISDIR(st.st_mode))
        fail(path, QStringLiteral("it is a folder"));
    if (regularOnly && !S_ISREG(st.st_mode))
        fail(path, QStringLiteral("it is not a regular file"));
    // The reader is there now; from here on a full pipe is waited on like any other write.
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    if (S_ISREG(st.st_mode) && ::ftruncate(fd.get(), 0) != 0)
        failErrno(path, errno);
    if (const int error = writeAll(fd.get(), bytes))
        failErrno(path, error);
    if (::fsync(fd.get()) != 0 && !syncNotSupported(errno))
        failErrno(path, errno);
    if (fd.close() != 0)
        failErrno(path, errno);
}

// Writes a temporary file beside `native`, flushes it and renames it over the name. False (nothing left
// behind) when the folder refuses the temporary file; throws on any other failure.
bool replaceAtomically(const QString& path, const QByteArray& native, const QByteArray& bytes,
                       const struct stat* existing) {
    QByteArray pattern = native + ".XXXXXX";
    Descriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!fd) {
        if (errno == EACCES || errno == EPERM || errno == EROFS)
            return false;
        failErrno(path, errno);
    }
    struct Remover {
        QByteArray name;
        ~Remover() {
            if (!name.isEmpty())
                ::unlink(name.constData());
        }
    } remover{pattern};
    // The replacement keeps the old file's permissions; a new file gets the usual ones under the umask.
    mode_t mode = 0;
    if (existing) {
        mode = existing->st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd.get(), mode) != 0)
        failErrno(path, errno);
    if (const int error = writeAll(fd.get(), bytes))
        failErrno(path, error);
    if (::fsync(fd.get()) != 0)
        failErrno(path, errno);
    if (fd.close() != 0)
        failErrno(path, errno);
    if (::rename(pattern.constData(), native.constData()) != 0)
        failErrno(path, errno);
    remover.name.clear();
    syncFolder(QFile::encodeName(QFileInfo(QFile::decodeName(native)).absolutePath()));
    return true;
}

}  // namespace

void WriteFileAtomically(const QString& path, const QByteArray& bytes, WriteTarget target) {
    if (path.isEmpty())
        fail(path, QStringLiteral("no file name"));
    QByteArray native = QFile::encodeName(path);
    struct stat st {};
    bool exists = ::lstat(native.constData(), &st) == 0;
    if (!exists && errno != ENOENT)
        failErrno(path, errno);
    if (exists && S_ISLNK(st.st_mode)) {
        if (target == WriteTarget::OwnFile)
            fail(path, QStringLiteral("it is a symbolic link"));
        // The user named the link; what it names is written, and the link stays a link.
        char* real = ::realpath(native.constData(), nullptr);
        if (!real)
            fail(path, QStringLiteral("it is a symbolic link to nothing"));
        native = real;
        std::free(real);
        if (::lstat(native.constData(), &st) != 0)
            failErrno(path, errno);
    }
    if (exists && S_ISDIR(st.st_mode))
        fail(path, QStringLiteral("it is a folder"));
    if (exists && !S_ISREG(st.st_mode)) {
        if (target == WriteTarget::OwnFile)
            fail(path, QStringLiteral("it is not a regular file"));
        writeInPlace(path, native, bytes, false);
        return;
    }
    if (replaceAtomically(path, native, bytes, exists ? &st : nullptr))
        return;
    // A writable file in a folder that takes no new files: only writing in place can save it.
    if (!exists)
        failErrno(path, EACCES);
    writeInPlace(path, native, bytes, true);
}
