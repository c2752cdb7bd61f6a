// Facts per picture, read through the platform layer.
#include "results/PictureFacts.h"

#include <QDate>

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;
constexpr int64_t kSecondsPerDay = 86400;
constexpr qint64 kJulianDayOf1970 = 2440588;
// Inodes given to pictures never read: far from any real inode, one per picture.
constexpr uint64_t kUnreadDevice = ~uint64_t{0};

}  // namespace

void PictureFacts::Reset() {
    state_.clear();
    facts_.clear();
}

void PictureFacts::grow(int32_t picture) {
    const auto needed = static_cast<size_t>(picture) + 1;
    if (state_.size() < needed) {
        state_.resize(needed, State::Unknown);
        facts_.resize(needed);
    }
}

void PictureFacts::Load(const Catalogue& catalogue, const std::vector<int32_t>& pictures) {
    for (const int32_t k : pictures) {
        grow(k);
        if (state_[static_cast<size_t>(k)] != State::Unknown)
            continue;
        if (const auto facts = ReadFileFacts(catalogue.PicturePath(k)))
            Set(k, *facts);
        else
            SetGone(k);
    }
}

void PictureFacts::Set(int32_t picture, const FileFacts& facts) {
    grow(picture);
    state_[static_cast<size_t>(picture)] = State::Known;
    facts_[static_cast<size_t>(picture)] = facts;
}

void PictureFacts::SetGone(int32_t picture) {
    grow(picture);
    state_[static_cast<size_t>(picture)] = State::Gone;
}

bool PictureFacts::Exists(int32_t picture) const {
    const auto k = static_cast<size_t>(picture);
    return k >= state_.size() || state_[k] != State::Gone;
}

bool PictureFacts::OneFile(const Catalogue& catalogue, int32_t a, int32_t b) const {
    return Exists(a) && Exists(b) && SameFile(Of(catalogue, a), Of(catalogue, b));
}

FileFacts PictureFacts::Of(const Catalogue& catalogue, int32_t picture) const {
    const auto k = static_cast<size_t>(picture);
    if (k < state_.size() && state_[k] == State::Known)
        return facts_[k];
    const TPicInfo& info = catalogue.Pictures[k];
    FileFacts facts;
    facts.Device = kUnreadDevice;
    facts.Inode = k;
    facts.LinkCount = 1;
    facts.Size = info.Size;
    facts.ModifiedNs = DosTimeToNanoseconds(info.Time);
    return facts;
}

int64_t DosTimeToNanoseconds(int32_t dosTime) {
    const auto packed = static_cast<uint32_t>(dosTime);
    const uint32_t date = packed >> 16;
    const uint32_t time = packed & 0xFFFFu;
    const QDate day(static_cast<int>(1980 + (date >> 9)), static_cast<int>((date >> 5) & 15u),
                    static_cast<int>(date & 31u));
    const uint32_t hours = time >> 11;
    const uint32_t minutes = (time >> 5) & 63u;
    const uint32_t seconds = (time & 31u) * 2;
    if (!day.isValid() || hours > 23 || minutes > 59 || seconds > 59)
        return 0;
    // Read as UTC rather than through the time zone, which costs microseconds a call: the order of the walk's
    // times, all that the keep-rules ask of them, is the same.
    const int64_t daySeconds = (day.toJulianDay() - kJulianDayOf1970) * kSecondsPerDay;
    return (daySeconds + hours * 3600 + minutes * 60 + seconds) * kNanosecondsPerSecond;
}
