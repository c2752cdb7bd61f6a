// The walk's system calls: opendir and readdir, lstat and stat, realpath, statfs and the mount table.
#include "platform/Folders.h"

#include <QFile>

#include <array>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

ListedType typeOf(unsigned char type) {
    switch (type) {
    case DT_DIR: return ListedType::Folder;
    case DT_LNK: return ListedType::Link;
    case DT_UNKNOWN: return ListedType::Unknown;
    default: return ListedType::Other;
    }
}

// The file-system magic numbers of the kernel's pseudo file systems (devtmpfs shares tmpfs's and is found
// through the mount table instead).
constexpr std::array<int64_t, 16> kPseudoMagics = {
    0x9fa0,      // proc
    0x62656572,  // sysfs
    0x27e0eb,    // cgroup
    0x63677270,  // cgroup2
    0x1cd1,      // devpts
    0x64626720,  // debugfs
    0x74726163,  // tracefs
    0x73636673,  // securityfs
    0x6165676c,  // pstore
    0xcafe4a11,  // bpf
    0x62656570,  // configfs
    0x19800202,  // mqueue
    0x6e736673,  // nsfs
    0xde5e81e4,  // efivarfs
    0x42494e4d,  // binfmt_misc
    0xf97cff8c,  // selinuxfs
};

bool isPseudoMagic(int64_t magic) {
    for (int64_t m : kPseudoMagics) {
        if (static_cast<uint32_t>(m) == static_cast<uint32_t>(magic))
            return true;
    }
    return false;
}

PathStatus statusFrom(const struct stat& st) {
    PathStatus s;
    s.Kind = S_ISDIR(st.st_mode) ? PathKind::Folder : S_ISREG(st.st_mode) ? PathKind::RegularFile : PathKind::Other;
    s.Size = st.st_size;
    s.ModifiedSeconds = st.st_mtime;
    s.Device = st.st_dev;
    s.Inode = st.st_ino;
    return s;
}

// Mount points are written with spaces, tabs, newlines and backslashes as three-digit octal escapes.
QString unescapeMountField(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int code = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3) {
                out.append(static_cast<char>(code));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QFile::decodeName(out);
}

}  // namespace

std::optional<FolderListing> ListFolder(const QString& path) {
    std::unique_ptr<DIR, DirCloser> dir(::opendir(QFile::encodeName(path).constData()));
    if (!dir)
        return std::nullopt;
    FolderListing listing;
    struct stat st {};
    if (::fstat(::dirfd(dir.get()), &st) == 0) {
        listing.Device = st.st_dev;
        listing.Inode = st.st_ino;
    }
    struct statfs fs {};
    if (::fstatfs(::dirfd(dir.get()), &fs) == 0)
        listing.PseudoFileSystem = isPseudoMagic(static_cast<int64_t>(fs.f_type));
    while (const dirent* e = ::readdir(dir.get())) {
        const char* n = e->d_name;
        if ((n[0] == '.' && n[1] == '\0') || (n[0] == '.' && n[1] == '.' && n[2] == '\0'))
            continue;
        QString name = QFile::decodeName(n);
        if (QFile::encodeName(name) != n) {
            listing.UnreadableNames.emplace_back(n);
            continue;
        }
        listing.Entries.push_back({std::move(name), typeOf(e->d_type)});
    }
    return listing;
}

PathStatus EntryStatus(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0)
        return {};
    if (!S_ISLNK(st.st_mode))
        return statusFrom(st);
    PathStatus s;
    s.Kind = PathKind::Other;
    s.Link = true;
    struct stat target {};
    if (::stat(native.constData(), &target) == 0 && S_ISDIR(target.st_mode)) {
        s = statusFrom(target);
        s.Link = true;
    }
    return s;
}

PathStatus TargetStatus(const QString& path) {
    return TargetStatus(QFile::encodeName(path));
}

PathStatus TargetStatus(const QByteArray& nativePath) {
    struct stat st {};
    if (::stat(nativePath.constData(), &st) != 0)
        return {};
    return statusFrom(st);
}

bool IsWritable(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

QString RealPath(const QString& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(QFile::encodeName(path).constData(), nullptr),
                                                     &std::free);
    return real ? QFile::decodeName(real.get()) : QString();
}

QString UserIdText() {
    return QString::number(::getuid());
}

std::vector<MountPoint> ReadMountTable() {
    std::vector<MountPoint> mounts;
    QFile table(QStringLiteral("/proc/self/mounts"));
    if (!table.open(QIODevice::ReadOnly))
        return mounts;
    // Read whole: files under /proc report size 0, so reading until the end is the safe way.
    const QList<QByteArray> lines = table.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3)
            continue;
        mounts.push_back({unescapeMountField(fields[1]), QString::fromLatin1(fields[2])});
    }
    return mounts;
}

bool IsPseudoFileSystemType(const QString& type) {
    static const QStringList kTypes = {
        QStringLiteral("proc"),       QStringLiteral("sysfs"),       QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),     QStringLiteral("cgroup"),      QStringLiteral("cgroup2"),
        QStringLiteral("debugfs"),    QStringLiteral("tracefs"),     QStringLiteral("securityfs"),
        QStringLiteral("pstore"),     QStringLiteral("bpf"),         QStringLiteral("configfs"),
        QStringLiteral("fusectl"),    QStringLiteral("mqueue"),      QStringLiteral("hugetlbfs"),
        QStringLiteral("binfmt_misc"), QStringLiteral("efivarfs"),   QStringLiteral("selinuxfs"),
        QStringLiteral("rpc_pipefs"), QStringLiteral("nsfs"),
    };
    return kTypes.contains(type);
}

std::set<uint64_t> PseudoFileSystemDevices() {
    std::set<uint64_t> devices;
    for (const MountPoint& m : ReadMountTable()) {
        if (!IsPseudoFileSystemType(m.Type))
            continue;
        struct stat st {};
        if (::lstat(QFile::encodeName(m.Path).constData(), &st) == 0)
            devices.insert(st.st_dev);
    }
    return devices;
}
