// Delete and move of one picture file with POSIX calls, so that every failure has its errno and a move can
// promise never to replace a file.
#include "platform/FileActions.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Large enough that copying is bound by the disk, small enough to live on the stack.
constexpr size_t kCopyBlockSize = 64 * 1024;

// Closes its descriptor on every path out of the copy.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // 0, or the errno of a failed close (which can be the first report of a failed write).
    int Close() {
        if (fd_ < 0)
            return 0;
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int fd_;
};

bool RenameFlagsUnsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// Copies everything from `in` to `out`; `copied` receives the byte count. Returns 0 or an errno.
int CopyContents(int in, int out, int64_t& copied) {
    char buffer[kCopyBlockSize];
    copied = 0;
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        if (const int error = WriteAll(out, buffer, static_cast<size_t>(got)))
            return error;
        copied += got;
    }
}

// Best effort: makes the new name durable before the original is removed.
void SyncFolder(const QByteArray& folder) {
    FileDescriptor dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
}

FileOpResult Failed(int error) {
    return {false, error != 0 ? error : EIO};
}

}  // namespace

int RenameWithoutReplacing(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    if (!RenameFlagsUnsupported(error))
        return error;
    // A file system without the no-replace rename: a hard link refuses an existing name just the same.
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    if (::unlink(from.constData()) != 0) {
        const int unlinkError = errno;
        ::unlink(to.constData());
        return unlinkError;
    }
    return 0;
}

int WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

void ClearReadOnly(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0 || (info.st_mode & S_IWUSR) != 0)
        return;
    ::chmod(name.constData(), (info.st_mode & 07777) | S_IWUSR);
}

FileOpResult DeletePictureFile(const QString& path, bool toTrash, const TrashMover& trash) {
    ClearReadOnly(path);
    if (toTrash)
        return trash(path);
    if (::unlink(QFile::encodeName(path).constData()) != 0)
        return Failed(errno);
    return {true, 0, false, {}};
}

QString MoveDestination(const QString& folder, const QString& fileName) {
    if (folder.endsWith(QLatin1Char('/')))
        return folder + fileName;
    return folder + QLatin1Char('/') + fileName;
}

FileOpResult MovePictureFile(const QString& source, const QString& destination) {
    const int error = RenameWithoutReplacing(QFile::encodeName(source), QFile::encodeName(destination));
    if (error == 0)
        return {true, 0, false, destination};
    if (error == EXDEV)
        return MoveFileByCopy(source, destination);
    return Failed(error);
}

FileOpResult MoveFileByCopy(const QString& source, const QString& destination) {
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(destination);
    const QFileInfo target(destination);
    const QByteArray folder = QFile::encodeName(target.absolutePath());

    FileDescriptor in(::open(from.constData(), O_RDONLY | O_CLOEXEC));
    if (!in.valid())
        return Failed(errno);
    struct stat original {};
    if (::fstat(in.get(), &original) != 0)
        return Failed(errno);
    if (!S_ISREG(original.st_mode))
        return Failed(EINVAL);
    // A name that already exists is refused before anything is copied; the final link checks again.
    if (::access(to.constData(), F_OK) == 0)
        return Failed(EEXIST);

    // The copy is built under a hidden temporary name in the destination folder, so the destination name
    // only ever shows a complete file.
    QByteArray temporary = folder + "/." + QFile::encodeName(target.fileName()) + ".XXXXXX";
    FileDescriptor out(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!out.valid())
        return Failed(errno);
    const auto discard = [&temporary, &out](int error) {
        out.Close();
        ::unlink(temporary.constData());
        return Failed(error);
    };

    int64_t copied = 0;
    if (const int error = CopyContents(in.get(), out.get(), copied))
        return discard(error);
    struct stat copy {};
    if (::fstat(out.get(), &copy) != 0)
        return discard(errno);
    if (copied != original.st_size || copy.st_size != original.st_size)
        return discard(EIO);
    // Permissions and times follow the file, as a move on one file system keeps them; a file system that
    // cannot hold them does not make the move fail.
    ::fchmod(out.get(), original.st_mode & 07777);
    const struct timespec times[2] = {original.st_atim, original.st_mtim};
    ::futimens(out.get(), times);
    if (::fsync(out.get()) != 0)
        return discard(errno);
    if (const int error = out.Close()) {
        ::unlink(temporary.constData());
        return Failed(error);
    }

    if (const int error = RenameWithoutReplacing(temporary, to)) {
        ::unlink(temporary.constData());
        return Failed(error);
    }
    SyncFolder(folder);
    // Only a complete, durable copy lets the original go; if it cannot go, the copy goes instead.
    if (::unlink(from.constData()) != 0) {
        const int error = errno;
        ::unlink(to.constData());
        return Failed(error);
    }
    return {true, 0, false, destination};
}

int FailureCode(const FileOpResult& result) {
    if (result.ok)
        return 0;
    if (result.trashUnavailable)
        return EXDEV;
    return result.errorCode != 0 ? result.errorCode : EIO;
}
