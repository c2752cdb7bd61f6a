// Worker threads that decode and sign pictures ahead of the matcher, a bounded ring of prepared pictures
// handed over in catalogue order, and the search's choice of threads and cache.
#include "engine/PrefetchingPictureSource.h"

#include "engine/PartnerMemo.h"

#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>

namespace {


// A failure for lack of memory says nothing about the file and must not be remembered as its verdict.
bool LastingFailure(const PictureError& error) { return std::string_view(error.what()) != "out of memory"; }

}  // namespace

int EffectiveThreadCount(const PictureSupplyOptions& options) {
    if (options.Threads > 0)
        return options.Threads;
    return std::max(1, QThread::idealThreadCount());
}

QString DefaultSignatureCacheFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        return {};
    return base + QStringLiteral("/Voralin/");
}

PreparedOutcome PreparePicture(int32_t index, const QString& path, PictureSource& decoder, TSignatureMatrix& m,
                               const PrefetchConfig& config) {
    PreparedOutcome out;
    PreparedPicture& picture = out.Picture;
    const CacheParams params{config.MinPicWidth, config.MinPicHeight, !config.SearchOnlyIdentical};
    // Taken before the file is read: a file that changes while it is decoded is then stored under a key
    // that no longer matches, never the other way round.
    std::optional<FileKey> key;
    if (config.Cache) {
        key = StatFileKey(path);
        out.Key = key;
        if (key) {
            if (std::optional<PreparedPicture> hit = config.Cache->Find(path, *key, params)) {
                out.Picture = std::move(*hit);
                return out;
            }
        }
    }

    bool remember = true;
    try {
        picture.Size = decoder.Measure(index, path);
        picture.Decoded = true;
    } catch (const PictureError& e) {
        remember = LastingFailure(e);
    } catch (const std::exception&) {
        remember = false;
    } catch (...) {
        out.MeasureError = std::current_exception();
        return out;
    }
    if (picture.Decoded &&
        !TooSmallForSearch(picture.Size.Height, picture.Size.Width, config.MinPicWidth, config.MinPicHeight)) {
        // The sequential run's reader, telling whether the read succeeded: the matcher applies the rule for an
        // unreadable head (keep the previous one) itself, in order.
        picture.HeadRead = ReadFileHead(path, picture.Head);
        if (!config.SearchOnlyIdentical) {
            try {
                decoder.Sign(m, picture.Pos, picture.Neg);
                picture.Signed = true;
            } catch (...) {
                out.SignError = std::current_exception();
                return out;
            }
        }
    }
    if (config.Cache && key && remember)
        config.Cache->Store(path, *key, params, picture);
    return out;
}

struct PrefetchingPictureSource::Slot {
    int32_t Index = -1;
    QString Path;
    bool Ready = false;
    PreparedOutcome Outcome;
};

PrefetchingPictureSource::PrefetchingPictureSource(PrefetchConfig config, int32_t pictureCount,
                                                   std::function<QString(int32_t)> pathOf)
    : config_(std::move(config)), count_(std::max(pictureCount, 0)), pathOf_(std::move(pathOf)) {
    config_.Threads = std::max(config_.Threads, 1);
    window_ = std::min(config_.Threads * kLookAheadPerThread, kLookAheadLimit);
    slots_.resize(static_cast<size_t>(window_));
    limit_ = count_;
    const int workers = std::min(config_.Threads, count_);
    try {
        for (int t = 0; t < workers; ++t)
            workers_.emplace_back([this] { work(); });
    } catch (...) {
        stopWorkers();
        joinWorkers();
        throw;
    }
}

PrefetchingPictureSource::~PrefetchingPictureSource() {
    stopWorkers();
    joinWorkers();
}

void PrefetchingPictureSource::stopWorkers() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    workAvailable_.notify_all();
}

void PrefetchingPictureSource::joinWorkers() {
    for (std::thread& worker : workers_) {
        if (worker.joinable())
            worker.join();
    }
}

void PrefetchingPictureSource::Finish(SearchHost& host) {
    stopWorkers();
    {
        std::unique_lock lock(mutex_);
        while (busy_ > 0) {
            if (pictureReady_.wait_for(lock, std::chrono::milliseconds(kWaitSliceMs), [this] { return busy_ == 0; }))
                break;
            lock.unlock();
            host.ProcessMessages();
            lock.lock();
        }
    }
    joinWorkers();
}

void PrefetchingPictureSource::work() {
    std::unique_ptr<PictureSource> decoder;
    std::unique_ptr<TSignatureMatrix> m;
    std::exception_ptr setupError;
    try {
        decoder = config_.MakeDecoder ? config_.MakeDecoder()
                                      : std::make_unique<DecodingPictureSource>(config_.MinPicWidth, config_.MinPicHeight,
                                                                                config_.FollowOrientation);
        m = std::make_unique<TSignatureMatrix>();
        m->fill(0);
    } catch (...) {
        setupError = std::current_exception();
    }

    std::unique_lock lock(mutex_);
    for (;;) {
        workAvailable_.wait(lock, [this] { return stopping_ || (nextToTake_ < scheduledEnd_ && nextToTake_ < limit_); });
        if (stopping_)
            return;
        const int32_t k = nextToTake_++;
        Slot& slot = slots_[static_cast<size_t>(k % window_)];
        const QString path = slot.Path;
        ++busy_;
        lock.unlock();

        // Nothing may leave this thread: whatever goes wrong reaches the matcher with the picture.
        PreparedOutcome outcome;
        if (setupError) {
            outcome.MeasureError = setupError;
        } else {
            try {
                outcome = PreparePicture(k, path, *decoder, *m, config_);
            } catch (...) {
                outcome = {};
                outcome.MeasureError = std::current_exception();
            }
        }

        lock.lock();
        slot.Outcome = std::move(outcome);
        slot.Ready = true;
        --busy_;
        pictureReady_.notify_all();
    }
}

void PrefetchingPictureSource::schedule(int32_t index) {
    if (index != current_ + 1 || index >= count_)
        throw std::logic_error("PrefetchingPictureSource: pictures must be taken in order, each once");
    current_ = index;
    // Slot k % window_ last held picture k - window_, which is before `index` and so already handed over.
    const int32_t end = static_cast<int32_t>(std::min<int64_t>(int64_t{index} + window_, count_));
    std::vector<QString> paths;
    for (int32_t k = scheduledEnd_; k < end; ++k)
        paths.push_back(pathOf_(k));
    {
        std::lock_guard lock(mutex_);
        for (int32_t k = scheduledEnd_; k < end; ++k) {
            Slot& slot = slots_[static_cast<size_t>(k % window_)];
            slot.Index = k;
            slot.Path = std::move(paths[static_cast<size_t>(k - scheduledEnd_)]);
            slot.Ready = false;
            slot.Outcome = {};
        }
        scheduledEnd_ = std::max(scheduledEnd_, end);
    }
    workAvailable_.notify_all();
}

void PrefetchingPictureSource::WaitUntilReady(int32_t index, const QString&, SearchHost& host) {
    schedule(index);
    std::unique_lock lock(mutex_);
    Slot& slot = slots_[static_cast<size_t>(index % window_)];
    while (!slot.Ready) {
        if (pictureReady_.wait_for(lock, std::chrono::milliseconds(kWaitSliceMs), [&slot] { return slot.Ready; }))
            break;
        lock.unlock();
        host.ProcessMessages();
        const bool stopped = host.SearchStopped();
        lock.lock();
        // The matcher finishes this picture and then stops; nothing after it need be started.
        if (stopped)
            limit_ = std::min(limit_, index + 1);
    }
}

PrefetchingPictureSource::Slot& PrefetchingPictureSource::current() {
    Slot& slot = slots_[static_cast<size_t>(std::max(current_, 0) % window_)];
    std::lock_guard lock(mutex_);
    if (current_ < 0 || slot.Index != current_ || !slot.Ready)
        throw std::logic_error("PrefetchingPictureSource: WaitUntilReady must come first");
    return slot;
}

LoadResult PrefetchingPictureSource::Measure(int32_t, const QString&) {
    const Slot& slot = current();
    if (slot.Outcome.MeasureError)
        std::rethrow_exception(slot.Outcome.MeasureError);
    if (!slot.Outcome.Picture.Decoded)
        throw PictureError("the picture could not be decoded");
    return slot.Outcome.Picture.Size;
}

std::optional<FileKey> PrefetchingPictureSource::FileKeyOf(int32_t index) {
    const Slot& slot = current();
    return slot.Index == index ? slot.Outcome.Key : std::nullopt;
}

void PrefetchingPictureSource::ReadHead(const QString&, TPreBuffer& head) {
    const Slot& slot = current();
    if (slot.Outcome.Picture.HeadRead)
        head = slot.Outcome.Picture.Head;
}

// The sign matrix is rebuilt from the kept positions: the signature code leaves +1 and -1 exactly there and
// 0 elsewhere, and keeps at most 250 in all, so no position is lost to a full list.
void PrefetchingPictureSource::Sign(TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg) {
    const Slot& slot = current();
    if (slot.Outcome.SignError)
        std::rethrow_exception(slot.Outcome.SignError);
    const PreparedPicture& picture = slot.Outcome.Picture;
    if (!picture.Signed)
        throw std::logic_error("PrefetchingPictureSource: the picture was not signed");
    m.fill(0);
    for (const TWaveletPoint& p : picture.Pos) {
        if (p.X != 0 || p.Y != 0)
            m[static_cast<size_t>(p.X) * kWorkSize + p.Y] = 1;
    }
    for (const TWaveletPoint& p : picture.Neg) {
        if (p.X != 0 || p.Y != 0)
            m[static_cast<size_t>(p.X) * kWorkSize + p.Y] = -1;
    }
    pos = picture.Pos;
    neg = picture.Neg;
}

MatchEnd MatchPictures(Catalogue& catalogue, const TSettings& settings, SearchHost& host,
                       const PictureSupplyOptions& supply) {
    // Held to the end, so that a close while the workers wind down or the cache is written shows as a
    // pending release rather than freeing the catalogue under us.
    Catalogue::SearchUse use(catalogue);
    std::unique_ptr<SignatureCache> cache;
    QString cacheFolder = supply.CacheFolder.isEmpty() ? DefaultSignatureCacheFolder() : supply.CacheFolder;
    // Turned pictures have other sizes and signatures: they keep a cache and memos of their own, so neither
    // mode ever answers from the other's. The folder's name changed when WebP and AVIF began to turn: turned
    // signatures kept before then hold those pictures unturned.
    if (settings.FollowOrientation && !cacheFolder.isEmpty())
        cacheFolder += cacheFolder.endsWith(u'/') ? QStringLiteral("oriented-2/") : QStringLiteral("/oriented-2/");
    if (supply.UseCache && !cacheFolder.isEmpty())
        cache = std::make_unique<SignatureCache>(cacheFolder);

    const int threads = EffectiveThreadCount(supply);
    PrefetchConfig config;
    config.Threads = threads;
    config.MinPicWidth = settings.MinPicWidth;
    config.MinPicHeight = settings.MinPicHeight;
    config.SearchOnlyIdentical = settings.SearchOnlyIdentical;
    config.FollowOrientation = settings.FollowOrientation;
    config.Cache = cache.get();
    PrefetchingPictureSource source(std::move(config), catalogue.PicCapacity,
                                    [&catalogue](int32_t k) { return catalogue.PicturePath(k); });
    std::optional<PartnerMemo> memo;
    if (cache && !supply.Veto)
        memo.emplace(cacheFolder, catalogue, settings);
    const MatchEnd end = MatchPictures(catalogue, settings, host, source, threads, memo ? &*memo : nullptr, supply.Veto);
    source.Finish(host);
    if (!cache)
        return end;
    // Writing the cache of a large collection takes a while; the window keeps running meanwhile. A cache
    // that cannot be written only costs time next search. A stop lets it finish, as the pictures decoded
    // before a stop are worth keeping; a close ends it after the file being written (each is replaced
    // whole, so the rest keep what they held), since nobody should wait for a window that is going away.
    std::atomic<bool> closing{catalogue.ReleaseRequested()};
    std::future<bool> saving = std::async(std::launch::async, [&cache, &memo, &closing] {
        const bool signatures = cache->Save(&closing);
        if (closing)
            return false;
        return (!memo || memo->Save()) && signatures;
    });
    // Messages run at least once while the cache is written, however quickly that goes, so that the writing
    // has a message point of its own as every picture has.
    while (!closing) {
        host.ProcessMessages();
        if (catalogue.ReleaseRequested())
            closing = true;
        else if (saving.wait_for(std::chrono::milliseconds(kWaitSliceMs)) == std::future_status::ready)
            break;
    }
    try {
        saving.get();
    } catch (const std::exception&) {
    }
    return end;
}
