#include "engine/PartnerMemo.h"

#include "engine/BinaryRecords.h"
#include "platform/RegularFile.h"
#include "platform/SafeWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cmath>
#include <cstring>

namespace {

constexpr char kMagic[8] = {'V', 'R', 'L', 'N', 'P', 'A', 'I', 'R'};
// Raised whenever what decides a partner changes (decoding, signatures, the matcher's rules). 2: equal heads
// with unequal files are judged by their signatures.
constexpr uint32_t kFormatVersion = 2;
constexpr int kKeptMemos = 8;  // listings remembered; a user seldom switches between more folder sets
constexpr int kChecksumBytes = 8;
constexpr qint64 kEntryBytes = 8 + 4 + 8 + 1;  // key hash, partner, score, searched

// Memos never leave the machine that wrote them, so the fields are hashed as they lie in memory.
uint64_t HashKey(const FileKey& key) {
    const std::array<int64_t, 6> fields = {key.Size,           key.ModifiedSeconds,   key.ModifiedNanoseconds,
                                           key.ChangedSeconds, key.ChangedNanoseconds, static_cast<int64_t>(key.Inode)};
    return Fnv1a(reinterpret_cast<const char*>(fields.data()), sizeof fields);
}

}  // namespace

PartnerMemo::PartnerMemo(QString folder, const Catalogue& catalogue, const TSettings& settings)
    : folder_(std::move(folder)), count_(std::max(catalogue.PicCapacity, 0)) {
    if (!folder_.endsWith(QLatin1Char('/')))
        folder_ += QLatin1Char('/');
    RecordWriter decisive;
    decisive.Number(kFormatVersion);
    decisive.Number(settings.MinPicWidth);
    decisive.Number(settings.MinPicHeight);
    decisive.Number(static_cast<uint8_t>(settings.SearchOnlyIdentical));
    decisive.Number(count_);
    uint64_t hash = Fnv1a(decisive.Data().constData(), decisive.Data().size());
    for (int32_t i = 0; i < count_; ++i) {
        const QByteArray path = catalogue.PicturePath(i).toUtf8();
        hash = Fnv1a(path.constData(), path.size() + 1, hash);  // with the terminating zero, so names cannot run together
    }
    listing_ = hash;
    file_ = folder_ + QStringLiteral("pairs-%1.memo").arg(listing_, 16, 16, QLatin1Char('0'));
    now_.reserve(static_cast<size_t>(count_));
    if (!load())
        earlier_.clear();
}

bool PartnerMemo::load() {
    // Never more than a memo of this listing can hold; a damaged or planted file is not read whole.
    const qint64 largest = qint64{sizeof kMagic} + 4 + 8 + 4 + qint64{count_} * kEntryBytes + kChecksumBytes;
    const std::optional<QByteArray> read = ReadOwnFile(file_, largest);
    if (!read)
        return false;
    const QByteArray& data = *read;
    if (data.size() < qsizetype{sizeof kMagic} + kChecksumBytes ||
        std::memcmp(data.constData(), kMagic, sizeof kMagic) != 0)
        return false;
    const qsizetype body = data.size() - kChecksumBytes;
    RecordReader checksum(data.constData() + body, kChecksumBytes);
    if (checksum.Number<uint64_t>() != Fnv1a(data.constData(), body))
        return false;
    RecordReader in(data.constData() + sizeof kMagic, body - qsizetype{sizeof kMagic});
    const auto version = in.Number<uint32_t>();
    const auto listing = in.Number<uint64_t>();
    const auto count = in.Number<int32_t>();
    if (!in.Ok() || version != kFormatVersion || listing != listing_ || count < 0 || count > count_)
        return false;
    earlier_.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        Entry& e = earlier_[static_cast<size_t>(i)];
        e.KeyHash = in.Number<uint64_t>();
        e.Partner = in.Number<int32_t>();
        e.Score = in.Number<double>();
        const auto searched = in.Number<uint8_t>();
        e.Searched = searched == 1;
        if (!in.Ok() || searched > 1 || e.Partner < -1 || e.Partner >= i || !std::isfinite(e.Score))
            return false;
    }
    return in.AtEnd();
}

// Whether the last picture noted went as it did in the earlier search: a partner search for both or neither.
bool PartnerMemo::lastWentAlike() const {
    return now_.empty() || now_.back().Searched == earlier_[now_.size() - 1].Searched;
}

void PartnerMemo::Note(int32_t i, const std::optional<FileKey>& key) {
    if (i != static_cast<int32_t>(now_.size()) || (unchanged_ && !lastWentAlike()))
        unchanged_ = false;  // out of order, or not as before: nothing further can be vouched for
    now_.push_back({key ? HashKey(*key) : 0});
    unchanged_ = unchanged_ && key && static_cast<size_t>(i) < earlier_.size() &&
                 earlier_[static_cast<size_t>(i)].KeyHash == now_.back().KeyHash;
}

std::optional<PartnerMatch> PartnerMemo::Recall(int32_t i) {
    if (!unchanged_ || static_cast<size_t>(i) + 1 != now_.size() || !earlier_[static_cast<size_t>(i)].Searched) {
        unchanged_ = false;
        return std::nullopt;
    }
    ++recalled_;
    const Entry& e = earlier_[static_cast<size_t>(i)];
    return PartnerMatch{e.Partner, e.Score};
}

void PartnerMemo::Keep(int32_t i, const PartnerMatch& match) {
    if (static_cast<size_t>(i) + 1 != now_.size())
        return;
    Entry& e = now_.back();
    e.Partner = match.Partner;
    e.Score = match.Score;
    e.Searched = true;
}

bool PartnerMemo::Save() {
    // Recalled whole, or a stop before the earlier search's end with nothing changed: the memo holds more.
    if (unchanged_ && lastWentAlike())
        return true;
    RecordWriter out;
    out.Bytes(kMagic, sizeof kMagic);
    out.Number(kFormatVersion);
    out.Number(listing_);
    out.Number(static_cast<int32_t>(now_.size()));
    for (const Entry& e : now_) {
        out.Number(e.KeyHash);
        out.Number(e.Partner);
        out.Number(e.Score);
        out.Number(static_cast<uint8_t>(e.Searched));
    }
    out.Number(Fnv1a(out.Data().constData(), out.Data().size()));
    try {
        if (!QDir().mkpath(folder_))
            return false;
        WriteFileAtomically(file_, out.Data(), WriteTarget::OwnFile);
    } catch (const std::exception&) {
        return false;
    }
    // The newest few listings are enough; older memos would only pile up as folders come and go.
    const QFileInfoList memos =
        QDir(folder_).entryInfoList({QStringLiteral("pairs-*.memo")}, QDir::Files, QDir::Time);
    for (qsizetype k = kKeptMemos; k < memos.size(); ++k)
        QFile::remove(memos[k].absoluteFilePath());
    return true;
}
