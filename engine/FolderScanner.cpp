// Walks listed folders depth first and records the non-empty picture files of the enabled types, in the order
// the matcher later works through them.
#include "engine/FolderScanner.h"

#include "platform/Folders.h"
#include "settings/PictureTypeTable.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <ctime>
#include <vector>

namespace {

constexpr QChar kDelimiter = u'/';
constexpr int32_t kAttrReadOnly = 0x01;
constexpr int32_t kAttrHidden = 0x02;
constexpr int32_t kAttrArchive = 0x20;  // what every freshly written file carries where the attribute exists
constexpr int kProgressEvery = 10;      // the progress text is written after pictures 1, 11, 21, ...

void sortByName(std::vector<QString>& names) {
    std::sort(names.begin(), names.end(), FolderScanner::NameLess);
}

// A link to a folder counts as a folder, as a junction does on Windows.
bool isFolder(const QString& parent, ListedType type, const QString& name) {
    if (type == ListedType::Folder)
        return true;
    if (type == ListedType::Other)
        return false;
    return TargetStatus(parent + name).Kind == PathKind::Folder;
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
        const QString real = RealPath(f);
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
    if (pseudoDevices_.empty())
        pseudoDevices_ = PseudoFileSystemDevices();
    QString path = folder;
    if (!path.endsWith(kDelimiter))
        path += kDelimiter;
    QString canonical = RealPath(path);
    visit(path, canonical);
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
bool FolderScanner::markWalked(const QString& canonical, const std::optional<FolderListing>& listing,
                               const QString& path) {
    if (canonical.isEmpty())
        return true;  // missing or unreadable: its enumerations fail quietly, as on any other folder
    if (walked_.contains(canonical))
        return false;
    PathStatus status;
    if (listing) {
        status.Kind = PathKind::Folder;
        status.Device = listing->Device;
        status.Inode = listing->Inode;
    } else {
        status = TargetStatus(path);
    }
    if (status.Kind != PathKind::Missing) {
        const std::pair<uint64_t, uint64_t> id(status.Device, status.Inode);
        if (!walkedIds_.insert(id).second)
            return false;
    }
    walked_.insert(canonical);
    return true;
}

// The real path of a subfolder: a plain folder extends its parent's, so only links are resolved, and a
// deep tree costs no more than its size.
QString FolderScanner::childCanonical(const QString& parentCanonical, const QString& childPath, ListedType type,
                                      const QString& name) const {
    if (type == ListedType::Folder && !parentCanonical.isEmpty())
        return parentCanonical.endsWith(kDelimiter) ? parentCanonical + name : parentCanonical + kDelimiter + name;
    return RealPath(childPath);
}

void FolderScanner::visit(QString& path, const QString& canonical) {
    if (isSkipped(canonical.isEmpty() ? QDir::cleanPath(path) : canonical))
        return;
    std::optional<FolderListing> listing = ListFolder(path);
    // The kernel's tables are no pictures, and /proc leads back to the whole machine through its links.
    if (listing && (listing->PseudoFileSystem || pseudoDevices_.count(listing->Device) != 0))
        return;
    if (!markWalked(canonical, listing, path))
        return;

    host_.ProcessMessages();
    if (!listing)
        return;  // an unreadable folder yields neither pictures nor subfolders
    for (const QByteArray& name : listing->UnreadableNames)
        notePassedOver(path, name);

    recordedHere_.clear();
    bool folderAdded = false;
    const std::span<const PictureType> types = PictureTypes();
    for (size_t t = 0; t < types.size(); ++t) {
        if (!(settings_.*types[t].EnabledBy))
            continue;
        if (stopRequested())
            return;
        scanType(path, *listing, t, folderAdded);
    }

    if (!host_.ScanSubfolders())
        return;
    std::vector<std::pair<QString, ListedType>> folders;
    for (const ListedEntry& e : listing->Entries) {
        if (isFolder(path, e.Type, e.Name))
            folders.emplace_back(e.Name, e.Type);
    }
    std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) { return NameLess(a.first, b.first); });
    listing.reset();  // a deep tree holds one listing per level otherwise
    // No stop test here: after a stop each subfolder is still entered and its visit ends at its first type.
    for (const auto& [name, type] : folders) {
        const qsizetype before = path.size();
        path += name;
        path += kDelimiter;
        const QString child = childCanonical(canonical, path, type, name);
        visit(path, child);
        path.truncate(before);
    }
}

// A name the system's encoding cannot hold is counted where it would have been searched: a folder while
// subfolders are walked, or a file of an enabled type.
void FolderScanner::notePassedOver(const QString& path, const QByteArray& name) {
    const QByteArray native = QFile::encodeName(path) + name;
    const QString shown = QFile::decodeName(name);
    bool wanted = host_.ScanSubfolders() && TargetStatus(native).Kind == PathKind::Folder;
    for (const PictureType& type : PictureTypes()) {
        if (!(settings_.*type.EnabledBy))
            continue;
        for (const char* mask : type.Masks) {
            if (MaskMatches(QString::fromLatin1(mask), shown))
                wanted = true;
        }
    }
    if (wanted)
        passedOver_.push_back(native);
}

// A file that two masks both return is already among this visit's pictures. They are kept as a set: looking
// back through the records made a folder of many pictures quadratic to walk.
bool FolderScanner::alreadyRecordedHere(const QString& name) const {
    return recordedHere_.contains(name);
}

void FolderScanner::scanType(const QString& path, const FolderListing& listing, size_t typeIndex,
                             bool& folderAdded) {
    QStringList masks;
    for (const char* mask : PictureTypes()[typeIndex].Masks)
        masks << QString::fromLatin1(mask);
    // A type of several masks lists its files as one group in name order, as one mask would.
    std::vector<QString> names;
    for (const ListedEntry& e : listing.Entries) {
        if (std::any_of(masks.begin(), masks.end(), [&](const QString& m) { return MaskMatches(m, e.Name); }))
            names.push_back(e.Name);
    }
    sortByName(names);

    for (const QString& name : names) {
        const QString full = path + name;
        const PathStatus info = EntryStatus(full);
        if (info.Kind == PathKind::Folder)
            continue;
        host_.ProcessMessages();
        if (info.Kind != PathKind::RegularFile || info.Size == 0)
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
            record.Time = DosDateTime(info.ModifiedSeconds);
            record.Size = info.Size;
            record.Attr = kAttrArchive;
            if (!IsWritable(full))
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
