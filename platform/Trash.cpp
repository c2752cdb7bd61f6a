// Trash entries in the shared desktop layout (files/ and info/ with a .trashinfo per entry), written with
// POSIX calls so that every failure is known and nothing is ever copied across volumes.
#include "platform/Trash.h"

#include "platform/RegularFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Enough tries for any real trash; a folder holding that many entries of one name is broken anyway.
constexpr int kMaxNameTries = 100000;
// Trash folders hold other people's old files: only their owner may look in.
constexpr mode_t kTrashFolderMode = 0700;
constexpr mode_t kInfoFileMode = 0600;

QString OwnUid() { return QString::number(::getuid()); }

QByteArray Native(const QString& path) { return QFile::encodeName(path); }

// The real path without a trailing "/", or empty.
QString RealPath(const QString& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(Native(path).constData(), nullptr), &std::free);
    return real ? QFile::decodeName(real.get()) : QString();
}

// Creates the folder when missing; true when it then is a real folder (no link) of our own. errno is left
// set on failure.
bool EnsureOwnFolder(const QString& path) {
    const QByteArray native = Native(path);
    if (::mkdir(native.constData(), kTrashFolderMode) != 0 && errno != EEXIST)
        return false;
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0)
        return false;
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

// Creates every missing folder of the path, the last one for our eyes only.
bool EnsureFolderPath(const QString& path) {
    const QString parent = QFileInfo(path).absolutePath();
    if (parent != path && !QFileInfo::exists(parent) && !QDir().mkpath(parent))
        return false;
    return EnsureOwnFolder(path);
}

bool StatOf(const QString& path, struct stat& info) { return ::stat(Native(path).constData(), &info) == 0; }

// The device of the path, or of its nearest existing ancestor when it does not exist yet.
bool DeviceOf(QString path, dev_t& device) {
    for (;;) {
        struct stat info {};
        if (StatOf(path, info)) {
            device = info.st_dev;
            return true;
        }
        const QString parent = QFileInfo(path).absolutePath();
        if (parent == path)
            return false;
        path = parent;
    }
}

// True when `folder` is the root of its volume: its parent lies on another device, or it is "/".
bool IsVolumeTop(const QString& folder) {
    struct stat self {};
    struct stat parent {};
    if (!StatOf(folder, self) || !StatOf(folder + QStringLiteral("/.."), parent))
        return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

// The top folder of the volume holding `folder` (a real path). A folder that is its own parent ends the climb
// too: a path QFileInfo takes for a Qt resource (":p/a.jpg") never reaches "/".
QString VolumeTopOf(QString folder) {
    while (folder != QLatin1String("/") && !IsVolumeTop(folder)) {
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            break;
        folder = parent;
    }
    return folder;
}

FileOpResult NoTrash(int error) { return {false, error != 0 ? error : EACCES, true}; }

// "a.b.jpg" -> "a.b.2.jpg": a repeated name keeps its type, so the trash view still shows what it is.
QString NumberedName(const QString& name, int number) {
    if (number == 1)
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return name + QLatin1Char('.') + QString::number(number);
    return name.left(dot) + QLatin1Char('.') + QString::number(number) + name.mid(dot);
}

// Writes the whole text and flushes it to disk. Returns 0 or an errno.
int WriteInfoFile(int fd, const QByteArray& text) {
    if (const int error = WriteAll(fd, text.constData(), static_cast<size_t>(text.size())))
        return error;
    return ::fsync(fd) == 0 ? 0 : errno;
}

}  // namespace

QString UserTrashFolderName() { return QStringLiteral(".Trash-") + OwnUid(); }

QString HomeTrashFolder() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(dataHome + QStringLiteral("/Trash"));
}

QString VolumeTrashFolder(const QString& topFolder) {
    const QString top = topFolder.endsWith(QLatin1Char('/')) ? topFolder.chopped(1) : topFolder;
    const QString shared = top + QStringLiteral("/.Trash");
    struct stat info {};
    // A shared trash counts only when the administrator made it: a real folder with the sticky bit.
    if (::lstat(Native(shared).constData(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX)) {
        const QString own = shared + QLatin1Char('/') + OwnUid();
        if (EnsureOwnFolder(own))
            return own;
    }
    const QString own = top + QStringLiteral("/.Trash-") + OwnUid();
    return EnsureOwnFolder(own) ? own : QString();
}

QByteArray TrashInfoText(const QByteArray& nativeLocation, const QDateTime& deleted) {
    return QByteArrayLiteral("[Trash Info]\nPath=") + QUrl::toPercentEncoding(nativeLocation, "/") +
           QByteArrayLiteral("\nDeletionDate=") +
           deleted.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + '\n';
}

FileOpResult MoveIntoTrash(const QString& path, const QString& trashFolder, const QByteArray& location) {
    const QString files = trashFolder + QStringLiteral("/files");
    const QString info = trashFolder + QStringLiteral("/info");
    if (!EnsureOwnFolder(files) || !EnsureOwnFolder(info))
        return NoTrash(errno);

    const QByteArray source = Native(path);
    const QByteArray text = TrashInfoText(location, QDateTime::currentDateTime());
    const QString name = QFileInfo(path).fileName();
    for (int number = 1; number <= kMaxNameTries; ++number) {
        const QString entry = NumberedName(name, number);
        const QByteArray infoPath = Native(info + QLatin1Char('/') + entry + QStringLiteral(".trashinfo"));
        // Taking the info name first is what reserves the entry against another program trashing at once.
        const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kInfoFileMode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return NoTrash(errno);
        }
        const int writeError = WriteInfoFile(fd, text);
        const int closeError = ::close(fd) == 0 ? 0 : errno;
        if (writeError != 0 || closeError != 0) {
            ::unlink(infoPath.constData());
            return NoTrash(writeError != 0 ? writeError : closeError);
        }
        const QString entryFile = files + QLatin1Char('/') + entry;
        const int moveError = RenameWithoutReplacing(source, Native(entryFile));
        if (moveError == 0)
            return {true, 0, false, entryFile};
        ::unlink(infoPath.constData());
        if (moveError == EEXIST)
            continue;  // a file left in files/ without its info: take the next name
        if (moveError == EXDEV)
            return NoTrash(moveError);
        return {false, moveError};
    }
    return NoTrash(EEXIST);
}

FileOpResult MoveFileToTrash(const QString& path) {
    struct stat file {};
    if (::lstat(Native(path).constData(), &file) != 0)
        return {false, errno};
    const QFileInfo given(path);
    const QString folder = RealPath(given.absolutePath());
    if (folder.isEmpty())
        return {false, errno != 0 ? errno : ENOENT};
    const QString full = (folder == QLatin1String("/") ? QString() : folder) + QLatin1Char('/') + given.fileName();

    const QString home = HomeTrashFolder();
    dev_t homeDevice = 0;
    if (DeviceOf(home, homeDevice) && homeDevice == file.st_dev) {
        if (!EnsureFolderPath(home))
            return NoTrash(errno);
        return MoveIntoTrash(path, home, Native(full));
    }

    const QString top = VolumeTopOf(folder);
    const QString trash = VolumeTrashFolder(top);
    if (trash.isEmpty())
        return NoTrash(errno);
    // A volume's trash records paths from the volume's top, so the entry survives another mount point.
    const QString relative = full.mid(top == QLatin1String("/") ? 1 : top.size() + 1);
    return MoveIntoTrash(path, trash, Native(relative));
}

namespace {

// "trash/files/NAME" -> "trash/info/NAME.trashinfo", or empty when the path is not in a files/ folder.
QString InfoFileOf(const QString& entryFile) {
    const QFileInfo entry(entryFile);
    const QString files = entry.absolutePath();
    if (QFileInfo(files).fileName() != QLatin1String("files"))
        return {};
    return QFileInfo(files).absolutePath() + QStringLiteral("/info/") + entry.fileName() + QStringLiteral(".trashinfo");
}

// The location an info file records, decoded to native bytes; empty when it has none.
QByteArray RecordedLocation(const QString& infoFile) {
    QFile file;
    if (!OpenRegularFile(file, infoFile))
        return {};
    for (const QByteArray& line : file.read(64 * 1024).split('\n')) {
        if (line.startsWith("Path="))
            return QByteArray::fromPercentEncoding(line.mid(5).trimmed());
    }
    return {};
}

}  // namespace

FileOpResult RestoreFromTrash(const QString& entryFile, const QString& originalPath) {
    const QString infoFile = InfoFileOf(entryFile);
    if (infoFile.isEmpty())
        return {false, EINVAL};
    struct stat entry {};
    if (::lstat(Native(entryFile).constData(), &entry) != 0)
        return {false, errno};
    const QString folder = QFileInfo(originalPath).absolutePath();
    if (!QFileInfo::exists(folder) && !QDir().mkpath(folder))
        return {false, errno != 0 ? errno : EACCES};
    if (const int error = RenameWithoutReplacing(Native(entryFile), Native(originalPath)))
        return {false, error};
    // A file manager would otherwise list an entry whose file has gone.
    ::unlink(Native(infoFile).constData());
    return {true, 0};
}

QStringList TrashEntriesFor(const QString& originalPath) {
    // No file has an empty path, and QFileInfo makes no folder of one.
    if (originalPath.isEmpty())
        return {};
    const QString absolute = QFileInfo(originalPath).absoluteFilePath();
    QString folder = QFileInfo(absolute).absolutePath();
    while (!QFileInfo::exists(folder) && folder != QLatin1String("/")) {
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            break;
        folder = parent;
    }
    const QString real = RealPath(folder);
    const QString top = VolumeTopOf(real.isEmpty() ? folder : real);
    const QString topSlash = top == QLatin1String("/") ? top : top + QLatin1Char('/');
    struct Candidate {
        QString trash;
        QByteArray location;
    };
    const QByteArray full = Native(absolute);
    const QByteArray relative = absolute.startsWith(topSlash) ? Native(absolute.mid(topSlash.size())) : full;
    const Candidate candidates[] = {
        {HomeTrashFolder(), full},
        {top + QStringLiteral("/.Trash/") + OwnUid(), relative},
        {topSlash + QStringLiteral(".Trash-") + OwnUid(), relative},
    };
    QStringList found;
    for (const Candidate& candidate : candidates) {
        const QDir info(candidate.trash + QStringLiteral("/info"));
        for (const QString& name : info.entryList({QStringLiteral("*.trashinfo")}, QDir::Files | QDir::Hidden)) {
            const QByteArray location = RecordedLocation(info.filePath(name));
            if (location != candidate.location && location != full)
                continue;
            const QString entryFile = candidate.trash + QStringLiteral("/files/") + name.chopped(10);
            if (!found.contains(entryFile))
                found.append(entryFile);
        }
    }
    return found;
}

bool TrashFolderRule::IsInsideTrash(const QString& canonical) {
    if (!homeTrashResolved_) {
        const QString home = HomeTrashFolder();
        const QString real = RealPath(home);
        homeTrash_ = real.isEmpty() ? home : real;
        homeTrashResolved_ = true;
    }
    if (canonical == homeTrash_ || canonical.startsWith(homeTrash_ + QLatin1Char('/')))
        return true;

    static const QString kShared = QStringLiteral(".Trash");
    const QString own = UserTrashFolderName();
    // Only a component named like a volume's trash costs a look at the disk, and each such folder once.
    qsizetype start = 1;
    while (start < canonical.size()) {
        qsizetype end = canonical.indexOf(QLatin1Char('/'), start);
        if (end < 0)
            end = canonical.size();
        const QStringView component = QStringView(canonical).mid(start, end - start);
        if (component == kShared || component == own) {
            const QString parent = start == 1 ? QStringLiteral("/") : canonical.left(start - 1);
            if (isVolumeTop(parent))
                return true;
        }
        start = end + 1;
    }
    return false;
}

bool TrashFolderRule::isVolumeTop(const QString& folder) {
    const auto known = volumeTops_.constFind(folder);
    if (known != volumeTops_.constEnd())
        return *known;
    const bool top = IsVolumeTop(folder);
    volumeTops_.insert(folder, top);
    return top;
}
