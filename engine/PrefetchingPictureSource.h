// Decodes and signs pictures on worker threads ahead of the matcher, which still takes them one by one in
// catalogue order; optionally answers from the signature cache instead of decoding.
#pragma once

#include "engine/PairMatcher.h"
#include "engine/SignatureCache.h"

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// How far the workers may run ahead of the matcher. Pictures are handed over in order, so while one worker
// decodes a large photograph the others go on with the small ones after it; with a window of a few pictures
// they soon waited for it, and two threads were only 1.7 times as fast as one. A prepared picture is a
// signature and a head, so even the limit costs only a few megabytes.
constexpr int kLookAheadPerThread = 128;
constexpr int kLookAheadLimit = 4096;
constexpr int kWaitSliceMs = 25;        // the window's events run at least this often while the matcher waits

// Makes the decoder a worker uses; each worker has its own (work bitmap and matrix are per decoder).
using PictureSourceFactory = std::function<std::unique_ptr<PictureSource>()>;

struct PrefetchConfig {
    int Threads = 1;               // worker threads, at least 1
    int32_t MinPicWidth = 0;
    int32_t MinPicHeight = 0;
    bool SearchOnlyIdentical = false;
    bool FollowOrientation = false;
    SignatureCache* Cache = nullptr;  // not owned; nothing is looked up or stored when null
    PictureSourceFactory MakeDecoder;  // empty: a DecodingPictureSource with the minimums and turn above
};

// A PictureSource for MatchPictures that prepares pictures [i, i + look-ahead) while the matcher works on
// picture i. Workers never touch the catalogue: the paths come from `pathOf`, called on the matcher's
// thread only. What the matcher sees is exactly what the sequential run sees, including the head rule: a
// head that cannot be read is reported as such, and the matcher keeps its previous head.
class PrefetchingPictureSource : public PictureSource {
public:
    PrefetchingPictureSource(PrefetchConfig config, int32_t pictureCount, std::function<QString(int32_t)> pathOf);
    // Stops the workers and joins them, waiting for a decode in progress to end.
    ~PrefetchingPictureSource() override;
    PrefetchingPictureSource(const PrefetchingPictureSource&) = delete;
    PrefetchingPictureSource& operator=(const PrefetchingPictureSource&) = delete;

    // Indices must come in order, each once. While picture `index` is not ready, waits in slices of
    // kWaitSliceMs and lets `host` process messages between them; once a stop is requested no picture after
    // `index` is started (the matcher still finishes this one, as the sequential run does).
    void WaitUntilReady(int32_t index, const QString& path, SearchHost& host) override;
    LoadResult Measure(int32_t index, const QString& path) override;
    void ReadHead(const QString& path, TPreBuffer& head) override;
    void Sign(TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg) override;
    std::optional<FileKey> FileKeyOf(int32_t index) override;

    // Stops the workers, waiting for decodes in progress in slices while `host` processes messages, and
    // joins them. After it returns no work of this source runs.
    void Finish(SearchHost& host);

private:
    struct Slot;
    void schedule(int32_t index);
    void work();
    void stopWorkers();
    void joinWorkers();
    Slot& current();

    PrefetchConfig config_;
    int32_t count_;
    std::function<QString(int32_t)> pathOf_;
    int window_;

    std::mutex mutex_;
    std::condition_variable workAvailable_;
    std::condition_variable pictureReady_;
    std::vector<Slot> slots_;     // picture k lives in slot k % window_
    int32_t scheduledEnd_ = 0;    // pictures below this have a slot and a path
    int32_t nextToTake_ = 0;      // the next picture a worker starts
    int32_t limit_ = 0;           // no picture at or above this is started
    int32_t current_ = -1;        // the picture the matcher is on
    int busy_ = 0;                // workers inside a decode
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

// Prepares one picture the way the sequential matcher would see it: decode, and unless it is too small,
// head and (unless only identical files are wanted) signature. With a cache, answers from it when it can
// and keeps what decoding gave. Errors other than a failed decode come back in `error` for the matcher to
// meet where the sequential run would.
struct PreparedOutcome {
    PreparedPicture Picture;
    std::exception_ptr MeasureError;  // not a std::exception: the matcher lets it through
    std::exception_ptr SignError;
    std::optional<FileKey> Key;  // stat() before the file was read; taken only with a cache
};
PreparedOutcome PreparePicture(int32_t index, const QString& path, PictureSource& decoder, TSignatureMatrix& m,
                               const PrefetchConfig& config);
