// Walks listed folders depth first and records the non-empty picture files of the enabled types, in the order
// the matcher later works through them.
#include "engine/FolderScanner.h"

#include "settings/PictureTypeTable.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr QChar kDelimiter = u'/';
constexpr int32_t kAttrReadOnly = 0x01;
constexpr int32_t kAttrHidden = 0x02;
constexpr int32_t kAttrArchive = 0x20;  // what every freshly written file carries where the attribute exists
constexpr int kProgressEvery = 10;      // the progress text is written after pictures 1, 11, 21, ...

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

struct Listed {
    QString name;
    unsigned char type;  // d_type; DT_UNKNOWN when the file system does not say
};

// Every entry except "." and ".."; nothing when the folder cannot be opened. The handle is closed before
// returning, so no handle outlives an error thrown later in the walk.
std::optional<std::vector<Listed>> readFolder(const QString& path) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(QFile::encodeName(path).constData()));
    if (!dir)
        return std::nullopt;
    std::vector<Listed> entries;
    while (const dirent* e = readdir(dir.get())) {
        const char* n = e->d_name;
        if ((n[0] == '.' && n[1] == '\0') || (n[0] == '.' && n[1] == '.' && n[2] == '\0'))
            continue;
        // A name that is not valid in the system's encoding comes back as different bytes, which name another
        // file or none: recording it would open, delete or move the wrong file, so it is passed over.
        QString name = QFile::decodeName(n);
        if (QFile::encodeName(name) != n)
            continue;
        entries.push_back({std::move(name), e->d_type});
    }
    return entries;
}

void sortByName(std::vector<QString>& names) {
    std::sort(names.begin(), names.end(), FolderScanner::NameLess);
}

enum class EntryKind { Directory, RegularFile, Other };

struct EntryInfo {
    EntryKind kind = EntryKind::Other;
    struct stat st {};
};

// A link to a folder counts as a folder, as a junction does on Windows; a link to a file, a broken link,
// a fifo, a socket or a device is "other" and is never recorded, so nothing later opens it.
EntryInfo examine(const QByteArray& nativePath) {
    EntryInfo info;
    if (lstat(nativePath.constData(), &info.st) != 0)
        return info;
    if (S_ISLNK(info.st.st_mode)) {
        struct stat target {};
        if (stat(nativePath.constData(), &target) == 0 && S_ISDIR(target.st_mode))
            info.kind = EntryKind::Directory;
        return info;
    }
    if (S_ISDIR(info.st.st_mode))
        info.kind = EntryKind::Directory;
    else if (S_ISREG(info.st.st_mode))
        info.kind = EntryKind::RegularFile;
    return info;
}

bool isFolder(const QString& parent, const Listed& e) {
    if (e.type == DT_DIR)
        return true;
    if (e.type != DT_LNK && e.type != DT_UNKNOWN)
        return false;
    struct stat st {};
    return stat(QFile::encodeName(parent + e.name).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The real path without a trailing delimiter, or empty when the folder does not exist.
QString canonicalPath(const QString& path) {
    std::unique_ptr<char, decltype(&std::free)> real(realpath(QFile::encodeName(path).constData(), nullptr),
                                                     &std::free);
    return real ? QFile::decodeName(real.get()) : QString();
}

}  // namespace

FolderScanner::FolderScanner(Catalogue& catalogue, const TSettings& settings, SearchHost& host)
    : cat_(catalogue), settings_(settings), host_(host) {}

void FolderScanner::SetSkippedFolders(const QStringList& folders) {
    skipped_.clear();
    skippedGiven_ = true;
    for (const QString& f : folders) {
        if (f.isEmpty())
            continue;
        const QString real = canonicalPath(f);
        const QString normal = real.isEmpty() ? QDir::cleanPath(f) : real;
        if (!skipped_.contains(normal))
            skipped_ << normal;
    }
}

bool FolderScanner::MaskMatches(const QString& mask, const QString& name) {
    // Greedy match that backtracks to the last '*', enough for whole-name wildcards.
    qsizetype m = 0, n = 0, starM = -1, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == u'*') {
            starM = m++;
            starN = n;
            continue;
        }
        if (m < mask.size() &&
            (mask[m] == u'?' || mask[m].toCaseFolded() == name[n].toCaseFolded())) {
            ++m;
            ++n;
            continue;
        }
        if (starM < 0)
            return false;
        m = starM + 1;
        n = ++starN;
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

bool FolderScanner::NameLess(const QString& a, const QString& b) {
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    if (c != 0)
        return c < 0;
    return a < b;
}

int32_t FolderScanner::DosDateTime(int64_t secondsSinceEpoch) {
    const time_t t = static_cast<time_t>(secondsSinceEpoch);
    tm local {};
    if (!localtime_r(&t, &local))
        return 0;
    const int year = local.tm_year + 1900;
    if (year < 1980 || year > 2107)
        return 0;  // the packed date cannot hold it
    const uint32_t date = uint32_t(year - 1980) << 9 | uint32_t(local.tm_mon + 1) << 5 | uint32_t(local.tm_mday);
    const uint32_t time = uint32_t(local.tm_hour) << 11 | uint32_t(local.tm_min) << 5 | uint32_t(local.tm_sec / 2);
    return static_cast<int32_t>(date << 16 | time);
}

void FolderScanner::ScanFolder(const QString& folder) {
    if (folder.isEmpty())
        return;  // an empty entry would otherwise become the file-system root
    // A close request during the walk defers the catalogue's release until the walk has let go.
    Catalogue::SearchUse use(cat_);
    QString path = folder;
    if (!path.endsWith(kDelimiter))
        path += kDelimiter;
    visit(path);
}

bool FolderScanner::stopRequested() const {
    return host_.SearchStopped() || cat_.ReleaseRequested();
}

bool FolderScanner::isSkipped(const QString& canonical) {
    if (!skippedGiven_)
        return trash_.IsInsideTrash(canonical);
    for (const QString& s : skipped_) {
        if (canonical == s || (canonical.startsWith(s) && canonical.size() > s.size() &&
                               (s.endsWith(kDelimiter) || canonical[s.size()] == kDelimiter)))
            return true;
    }
    return false;
}

// False when the folder was walked before in this search, through any path: a link loop would otherwise
// never end, and a picture reached twice would pair with itself.
bool FolderScanner::markWalked(const QString& canonical, const QString& path) {
    if (canonical.isEmpty())
        return true;  // missing or unreadable: its enumerations fail quietly, as on any other folder
    if (walked_.contains(canonical))
        return false;
    struct stat st {};
    if (stat(QFile::encodeName(path).constData(), &st) == 0) {
        const std::pair<uint64_t, uint64_t> id(uint64_t(st.st_dev), uint64_t(st.st_ino));
        if (!walkedIds_.insert(id).second)
            return false;
    }
    walked_.insert(canonical);
    return true;
}

void FolderScanner::visit(QString& path) {
    const QString canonical = canonicalPath(path);
    if (isSkipped(canonical.isEmpty() ? QDir::cleanPath(path) : canonical))
        return;
    if (!markWalked(canonical, path))
        return;

    host_.ProcessMessages();

    recordedHere_.clear();
    bool folderAdded = false;
    const std::span<const PictureType> types = PictureTypes();
    for (size_t t = 0; t < types.size(); ++t) {
        if (!(settings_.*types[t].EnabledBy))
            continue;
        if (stopRequested())
            return;
        scanType(path, t, folderAdded);
    }

    if (!host_.ScanSubfolders())
        return;
    const std::optional<std::vector<Listed>> entries = readFolder(path);
    if (!entries)
        return;
    std::vector<QString> folders;
    for (const Listed& e : *entries) {
        if (isFolder(path, e))
            folders.push_back(e.name);
    }
    sortByName(folders);
    // No stop test here: after a stop each subfolder is still entered and its visit ends at its first type.
    for (const QString& name : folders) {
        const qsizetype before = path.size();
        path += name;
        path += kDelimiter;
        visit(path);
        path.truncate(before);
    }
}

// A file that two masks both return is already among this visit's pictures. They are kept as a set: looking
// back through the records made a folder of many pictures quadratic to walk.
bool FolderScanner::alreadyRecordedHere(const QString& name) const {
    return recordedHere_.contains(name);
}

void FolderScanner::scanType(const QString& path, size_t typeIndex, bool& folderAdded) {
    const std::optional<std::vector<Listed>> entries = readFolder(path);
    if (!entries)
        return;
    QStringList masks;
    for (const char* mask : PictureTypes()[typeIndex].Masks)
        masks << QString::fromLatin1(mask);
    // A type of several masks lists its files as one group in name order, as one mask would.
    std::vector<QString> names;
    for (const Listed& e : *entries) {
        if (std::any_of(masks.begin(), masks.end(), [&](const QString& m) { return MaskMatches(m, e.name); }))
            names.push_back(e.name);
    }
    sortByName(names);

    for (const QString& name : names) {
        const QByteArray native = QFile::encodeName(path + name);
        const EntryInfo info = examine(native);
        if (info.kind == EntryKind::Directory)
            continue;
        host_.ProcessMessages();
        if (info.kind != EntryKind::RegularFile || info.st.st_size == 0)
            continue;

        bool recordIt = true;
        if (!folderAdded) {
            cat_.AppendFolderPath(path);
            folderAdded = true;
        } else if (typeIndex > 0 && alreadyRecordedHere(name)) {
            recordIt = false;
        }

        if (recordIt) {
            TPicInfo record;
            record.Time = DosDateTime(int64_t(info.st.st_mtime));
            record.Size = int64_t(info.st.st_size);
            record.Attr = kAttrArchive;
            if (access(native.constData(), W_OK) != 0)
                record.Attr |= kAttrReadOnly;
            if (name.startsWith(u'.'))
                record.Attr |= kAttrHidden;
            record.FileName = name;
            record.PathInd = cat_.LastPathIndex;
            recordedHere_.insert(name);
            cat_.AppendPicture(std::move(record));
            if (cat_.LastPicIndex % kProgressEvery == 0)
                host_.ReportProgress({SearchPhase::Walking, 0, cat_.LastPicIndex + 1, 0}, ProgressLine::Pictures);
            cat_.ApplyPictureGrowth();
        }
        if (stopRequested())
            return;
    }
}
