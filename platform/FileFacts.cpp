// File facts through lstat() and stat().
#include "platform/FileFacts.h"

#include <QFile>

#include <sys/stat.h>

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;

}  // namespace

std::optional<FileFacts> ReadFileFacts(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat own {};
    if (::lstat(name.constData(), &own) != 0)
        return std::nullopt;
    FileFacts facts;
    facts.Device = static_cast<uint64_t>(own.st_dev);
    facts.Inode = static_cast<uint64_t>(own.st_ino);
    facts.LinkCount = static_cast<uint64_t>(own.st_nlink);
    facts.SymbolicLink = S_ISLNK(own.st_mode);
    struct stat target = own;
    if (facts.SymbolicLink && ::stat(name.constData(), &target) != 0)
        target = own;  // a dangling link: its own size and time are all there is
    facts.Size = static_cast<int64_t>(target.st_size);
    facts.ModifiedNs = static_cast<int64_t>(target.st_mtim.tv_sec) * kNanosecondsPerSecond + target.st_mtim.tv_nsec;
    return facts;
}
