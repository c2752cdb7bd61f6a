// The signature cache: one small binary file per picture folder, checked as a whole before any of it is
// believed, and replaced atomically.
#include "engine/SignatureCache.h"

#include "engine/BinaryRecords.h"
#include "platform/RegularFile.h"
#include "platform/SafeWriter.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

constexpr char kMagic[8] = {'V', 'R', 'L', 'N', 'S', 'I', 'G', '\n'};
// Raised whenever the decoding or the signature arithmetic changes, so that old entries are not believed.
constexpr uint32_t kFormatVersion = 1;
constexpr int kChecksumBytes = 8;
// A name's length is kept in 16 bits, but names on the systems served stop far shorter; the bound keeps the
// largest file a count can claim small.
constexpr int kMaxNameBytes = 4096;

constexpr uint8_t kDecodedFlag = 1;
constexpr uint8_t kHeadFlag = 2;
constexpr uint8_t kSignedFlag = 4;
constexpr uint8_t kKnownFlags = kDecodedFlag | kHeadFlag | kSignedFlag;

bool ValidScale(int scale) { return scale == 1 || scale == 2 || scale == 4 || scale == 8; }

// Up to the last occupied slot, so that any layout of slots comes back exactly.
int UsedSlots(const TWaveletCoefs& coefs) {
    for (int k = kWaveletSlots; k > 0; --k) {
        if (coefs[k - 1].X != 0 || coefs[k - 1].Y != 0)
            return k;
    }
    return 0;
}

// The most one entry can take: the longest name, every flag set and both signs' slots full.
constexpr qint64 kMaxEntryBytes = 2 + kMaxNameBytes + 6 * 8 + 1 + 4 * 4 + 1 + kHeadLength + 2 + 2 * kWaveletSlots * 2;
constexpr qint64 kFixedHeaderBytes = sizeof kMagic + 4 + 4;  // magic, version, the folder's length
constexpr qint64 kMaxFolderBytes = 1 << 16;                  // far beyond any path the system can open
constexpr qint64 kMaxEntries = qint64{1} << 24;              // more files than any one folder holds

// The file's bytes when its header is ours and its size within what the header's count allows; a damaged
// or foreign file costs a few bytes of reading, not its whole size in memory. A link, fifo or device in
// the cache's place is not opened.
std::optional<QByteArray> readCacheFile(const QString& path) {
    QFile file;
    if (!OpenRegularFile(file, path, {.FollowFinalLink = false}))
        return std::nullopt;
    const qint64 size = file.size();
    const QByteArray fixed = file.read(kFixedHeaderBytes);
    if (fixed.size() != kFixedHeaderBytes || std::memcmp(fixed.constData(), kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    RecordReader head(fixed.constData() + sizeof kMagic, kFixedHeaderBytes - qsizetype{sizeof kMagic});
    if (head.Number<uint32_t>() != kFormatVersion)
        return std::nullopt;
    const qint64 folderBytes = head.Number<uint32_t>();
    if (folderBytes > kMaxFolderBytes || !file.seek(kFixedHeaderBytes + folderBytes))
        return std::nullopt;
    const QByteArray countBytes = file.read(4);
    if (countBytes.size() != 4)
        return std::nullopt;
    const qint64 count = RecordReader(countBytes.constData(), 4).Number<uint32_t>();
    if (count > kMaxEntries || size > kFixedHeaderBytes + folderBytes + 4 + count * kMaxEntryBytes + kChecksumBytes)
        return std::nullopt;
    if (!file.seek(0))
        return std::nullopt;
    QByteArray data = file.read(size);
    if (data.size() != size || size < qint64{sizeof kMagic} + kChecksumBytes)
        return std::nullopt;
    return data;
}

}  // namespace

struct SignatureCache::Entry {
    FileKey Key;
    uint8_t Flags = 0;
    int32_t MinPicWidth = 0;  // the minimums of the search that made the entry; they decide a failure's use
    int32_t MinPicHeight = 0;
    int32_t Height = 0;
    int32_t Width = 0;
    uint8_t ScaleDenom = 1;
    TPreBuffer Head{};
    uint8_t PosSlots = 0;
    uint8_t NegSlots = 0;
    std::vector<TWaveletPoint> Points;  // PosSlots positive slots, then NegSlots negative ones
    bool Used = false;                  // looked up or stored in this run
};

struct SignatureCache::Folder {
    QHash<QString, Entry> Entries;  // by file name
    bool Dirty = false;
};

SignatureCache::SignatureCache(QString folder) : folder_(std::move(folder)) {
    if (!folder_.endsWith(QLatin1Char('/')))
        folder_ += QLatin1Char('/');
}

SignatureCache::~SignatureCache() = default;

QString SignatureCache::FileFor(const QString& pictureFolder) const {
    const QByteArray utf8 = pictureFolder.toUtf8();
    return folder_ + QStringLiteral("%1.sig").arg(Fnv1a(utf8.constData(), utf8.size()), 16, 16, QLatin1Char('0'));
}

int SignatureCache::Hits() const {
    std::lock_guard lock(mutex_);
    return hits_;
}

int SignatureCache::Stores() const {
    std::lock_guard lock(mutex_);
    return stores_;
}

SignatureCache::Folder& SignatureCache::folderOf(const QString& folderPath) {
    std::shared_ptr<Folder>& slot = folders_[folderPath];
    if (slot)
        return *slot;
    slot = std::make_shared<Folder>();

    const std::optional<QByteArray> read = readCacheFile(FileFor(folderPath));
    if (!read)
        return *slot;
    const QByteArray& data = *read;
    const qsizetype body = data.size() - kChecksumBytes;
    uint64_t stored = 0;
    std::memcpy(&stored, data.constData() + body, kChecksumBytes);
    if (qFromLittleEndian(stored) != Fnv1a(data.constData(), body))
        return *slot;

    RecordReader in(data.constData(), body);
    char magic[sizeof kMagic];
    in.Bytes(magic, sizeof magic);
    if (!in.Ok() || std::memcmp(magic, kMagic, sizeof kMagic) != 0 || in.Number<uint32_t>() != kFormatVersion)
        return *slot;
    if (QString::fromUtf8(in.Text(true)) != folderPath)
        return *slot;  // another folder whose name hashed alike: not ours to believe
    const uint32_t count = in.Number<uint32_t>();

    QHash<QString, Entry> entries;
    for (uint32_t n = 0; n < count && in.Ok(); ++n) {
        const QString name = QString::fromUtf8(in.Text(false));
        Entry e;
        e.Key.Size = in.Number<int64_t>();
        e.Key.ModifiedSeconds = in.Number<int64_t>();
        e.Key.ModifiedNanoseconds = in.Number<int64_t>();
        e.Key.ChangedSeconds = in.Number<int64_t>();
        e.Key.ChangedNanoseconds = in.Number<int64_t>();
        e.Key.Inode = in.Number<uint64_t>();
        e.Flags = in.Number<uint8_t>();
        e.MinPicWidth = in.Number<int32_t>();
        e.MinPicHeight = in.Number<int32_t>();
        e.Height = in.Number<int32_t>();
        e.Width = in.Number<int32_t>();
        e.ScaleDenom = in.Number<uint8_t>();
        const bool decoded = e.Flags & kDecodedFlag;
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || (e.Flags & ~kKnownFlags) != 0 ||
            (!decoded && e.Flags != 0) || !ValidScale(e.ScaleDenom) || e.Height < 0 || e.Width < 0)
            return *slot;
        if (e.Flags & kHeadFlag)
            in.Bytes(e.Head.data(), kHeadLength);
        if (e.Flags & kSignedFlag) {
            e.PosSlots = in.Number<uint8_t>();
            e.NegSlots = in.Number<uint8_t>();
            if (e.PosSlots > kWaveletSlots || e.NegSlots > kWaveletSlots)
                return *slot;
            e.Points.resize(size_t{e.PosSlots} + e.NegSlots);
            for (TWaveletPoint& p : e.Points) {
                p.X = in.Number<uint8_t>();
                p.Y = in.Number<uint8_t>();
                if (p.X >= kWorkSize || p.Y >= kWorkSize)
                    return *slot;
            }
        }
        entries.insert(name, std::move(e));
    }
    if (in.Ok() && in.AtEnd())
        slot->Entries = std::move(entries);
    return *slot;
}

std::optional<PreparedPicture> SignatureCache::Find(const QString& path, const FileKey& key,
                                                    const CacheParams& params) {
    std::lock_guard lock(mutex_);
    std::optional<PreparedPicture> found = lookup(path, key, params);
    if (found)
        ++hits_;
    return found;
}

std::optional<PreparedPicture> SignatureCache::lookup(const QString& path, const FileKey& key,
                                                      const CacheParams& params) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    Folder& folder = folderOf(path.left(slash + 1));
    const auto it = folder.Entries.find(path.mid(slash + 1));
    if (it == folder.Entries.end())
        return std::nullopt;
    Entry& e = it.value();
    e.Used = true;
    if (e.Key != key)
        return std::nullopt;

    PreparedPicture picture;
    if (!(e.Flags & kDecodedFlag)) {
        if (e.MinPicWidth != params.MinPicWidth || e.MinPicHeight != params.MinPicHeight)
            return std::nullopt;
        return picture;
    }
    if (ChooseWorkScale(e.Height, e.Width, params.MinPicWidth, params.MinPicHeight) != e.ScaleDenom)
        return std::nullopt;
    picture.Decoded = true;
    picture.Size.Height = e.Height;
    picture.Size.Width = e.Width;
    picture.Size.ScaleDenom = e.ScaleDenom;
    picture.Size.DecodedWidth = (e.Width + e.ScaleDenom - 1) / e.ScaleDenom;
    picture.Size.DecodedHeight = (e.Height + e.ScaleDenom - 1) / e.ScaleDenom;
    if (TooSmallForSearch(e.Height, e.Width, params.MinPicWidth, params.MinPicHeight))
        return picture;  // left out before its head or signature would be wanted
    if (!(e.Flags & kHeadFlag) || (params.NeedSignature && !(e.Flags & kSignedFlag)))
        return std::nullopt;
    picture.HeadRead = true;
    picture.Head = e.Head;
    if (e.Flags & kSignedFlag) {
        picture.Signed = true;
        std::copy_n(e.Points.begin(), e.PosSlots, picture.Pos.begin());
        std::copy_n(e.Points.begin() + e.PosSlots, e.NegSlots, picture.Neg.begin());
    }
    return picture;
}

void SignatureCache::Store(const QString& path, const FileKey& key, const CacheParams& params,
                           const PreparedPicture& picture) {
    const bool leftOut = picture.Decoded && TooSmallForSearch(picture.Size.Height, picture.Size.Width,
                                                              params.MinPicWidth, params.MinPicHeight);
    // A head that failed to read now would be served as read next time.
    if (picture.Decoded && !leftOut && !picture.HeadRead)
        return;
    Entry e;
    e.Key = key;
    e.MinPicWidth = params.MinPicWidth;
    e.MinPicHeight = params.MinPicHeight;
    e.Used = true;
    if (picture.Decoded) {
        e.Flags = kDecodedFlag;
        e.Height = picture.Size.Height;
        e.Width = picture.Size.Width;
        e.ScaleDenom = static_cast<uint8_t>(picture.Size.ScaleDenom);
        if (!ValidScale(e.ScaleDenom))
            return;
        if (picture.HeadRead && !leftOut) {
            e.Flags |= kHeadFlag;
            e.Head = picture.Head;
        }
        if (picture.Signed && !leftOut) {
            e.Flags |= kSignedFlag;
            e.PosSlots = static_cast<uint8_t>(UsedSlots(picture.Pos));
            e.NegSlots = static_cast<uint8_t>(UsedSlots(picture.Neg));
            e.Points.assign(picture.Pos.begin(), picture.Pos.begin() + e.PosSlots);
            e.Points.insert(e.Points.end(), picture.Neg.begin(), picture.Neg.begin() + e.NegSlots);
        }
    }
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    if (name.isEmpty() || name.toUtf8().size() > kMaxNameBytes)
        return;

    std::lock_guard lock(mutex_);
    Folder& folder = folderOf(path.left(slash + 1));
    folder.Entries.insert(name, std::move(e));
    folder.Dirty = true;
    ++stores_;
}

bool SignatureCache::Save(const std::atomic<bool>* cancelled) {
    std::lock_guard lock(mutex_);
    bool allWritten = true;
    for (auto it = folders_.begin(); it != folders_.end(); ++it) {
        Folder& folder = *it.value();
        if (!folder.Dirty)
            continue;
        if (cancelled && *cancelled)
            return false;
        // Entries of files this run did not meet (other types, a stopped search) stay while the file is
        // unchanged; those of removed or changed files go.
        QHash<QString, Entry> kept;
        for (auto e = folder.Entries.cbegin(); e != folder.Entries.cend(); ++e) {
            if (e->Used || StatFileKey(it.key() + e.key()) == e->Key)
                kept.insert(e.key(), e.value());
        }
        if (!QDir().mkpath(folder_)) {
            allWritten = false;
            continue;
        }
        try {
            WriteFileAtomically(FileFor(it.key()), serialise(it.key(), kept), WriteTarget::OwnFile);
        } catch (const FileWriteError&) {
            allWritten = false;
            continue;
        }
        folder.Dirty = false;
    }
    return allWritten;
}

QByteArray SignatureCache::serialise(const QString& folderPath, const QHash<QString, Entry>& entries) {
    // Sorted by name, so the same entries always give the same bytes.
    QStringList names = entries.keys();
    names.sort();
    RecordWriter out;
    out.Bytes(kMagic, sizeof kMagic);
    out.Number<uint32_t>(kFormatVersion);
    out.Text(folderPath.toUtf8(), true);
    out.Number<uint32_t>(static_cast<uint32_t>(names.size()));
    for (const QString& name : names) {
        const Entry& e = entries[name];
        out.Text(name.toUtf8(), false);
        out.Number<int64_t>(e.Key.Size);
        out.Number<int64_t>(e.Key.ModifiedSeconds);
        out.Number<int64_t>(e.Key.ModifiedNanoseconds);
        out.Number<int64_t>(e.Key.ChangedSeconds);
        out.Number<int64_t>(e.Key.ChangedNanoseconds);
        out.Number<uint64_t>(e.Key.Inode);
        out.Number<uint8_t>(e.Flags);
        out.Number<int32_t>(e.MinPicWidth);
        out.Number<int32_t>(e.MinPicHeight);
        out.Number<int32_t>(e.Height);
        out.Number<int32_t>(e.Width);
        out.Number<uint8_t>(e.ScaleDenom);
        if (e.Flags & kHeadFlag)
            out.Bytes(e.Head.data(), kHeadLength);
        if (e.Flags & kSignedFlag) {
            out.Number<uint8_t>(e.PosSlots);
            out.Number<uint8_t>(e.NegSlots);
            for (const TWaveletPoint& p : e.Points) {
                out.Number<uint8_t>(p.X);
                out.Number<uint8_t>(p.Y);
            }
        }
    }
    const uint64_t checksum = Fnv1a(out.Data().constData(), out.Data().size());
    out.Number<uint64_t>(checksum);
    return out.Data();
}
