// Pictures prepared on worker threads: the same pairs, records, progress texts and stops as the sequential
// run for any thread count; the rule for a head that cannot be read; messages while the matcher waits;
// errors from the window while it waits; no worker left running.
#include "engine/PrefetchingPictureSource.h"

#include "FakeSearchHost.h"
#include "PictureTree.h"
#include "QtPrinters.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <fcntl.h>
#include <future>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <mutex>
#include <set>

namespace {

struct RunResult {
    fixtures::MatchSnapshot Snapshot;
    QStringList FilesCountTexts;
    QStringList DuplicatesTexts;
};

using Arm = std::function<void(FakeSearchHost&, Catalogue&)>;

// Stops the search once the matcher has reached picture `k - 1`: the sequential run then finishes that
// picture and stops at the start of picture k, wherever in picture k - 1 the request came. At the first
// message point LastPicIndex still holds the scanner's count; from the second on it is the matcher's.
Arm stopBefore(int32_t k) {
    return [k](FakeSearchHost& host, Catalogue& cat) {
        host.onMessages = [h = &host, c = &cat, k](int point) {
            if (k == 0 || (point >= 2 && c->LastPicIndex >= k - 1))
                h->stopped = true;
        };
    };
}

class PrefetchTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        folder_ = dir_.path() + QLatin1Char('/');
        names_ = fixtures::WritePictureTree(folder_);
    }

    RunResult runSequential(const TSettings& settings, const Arm& arm = {}) {
        Catalogue cat;
        fixtures::RecordPictures(cat, folder_, names_);
        FakeSearchHost host;
        if (arm)
            arm(host, cat);
        DecodingPictureSource source(settings.MinPicWidth, settings.MinPicHeight);
        MatchPictures(cat, settings, host, source);
        return {fixtures::TakeSnapshot(cat), host.filesCountTexts, host.duplicatesTexts};
    }

    RunResult runThreaded(const TSettings& settings, int threads, const Arm& arm = {}) {
        Catalogue cat;
        fixtures::RecordPictures(cat, folder_, names_);
        FakeSearchHost host;
        if (arm)
            arm(host, cat);
        PictureSupplyOptions supply;
        supply.Threads = threads;
        MatchPictures(cat, settings, host, supply);
        return {fixtures::TakeSnapshot(cat), host.filesCountTexts, host.duplicatesTexts};
    }

    static void expectSameRun(const RunResult& expected, const RunResult& actual) {
        fixtures::ExpectSameMatch(expected.Snapshot, actual.Snapshot);
        EXPECT_EQ(expected.FilesCountTexts, actual.FilesCountTexts);
        EXPECT_EQ(expected.DuplicatesTexts, actual.DuplicatesTexts);
    }

    QTemporaryDir dir_;
    QString folder_;
    QStringList names_;
};

TEST_F(PrefetchTest, TheTreeHasSimilarIdenticalLeftOutAndUndecodablePictures) {
    const RunResult run = runSequential(TSettings{});
    const fixtures::MatchSnapshot& s = run.Snapshot;
    EXPECT_EQ(s.Pictures[1].Stage, TCCVStage::None) << "garbage";
    EXPECT_EQ(s.Pictures[3].Stage, TCCVStage::None) << "too small";
    EXPECT_EQ(s.Pictures[8].Stage, TCCVStage::None) << "PNG content under a .jpg name";
    const auto has = [&s](int32_t a, int32_t b) {
        return std::any_of(s.Pairs.begin(), s.Pairs.end(),
                           [&](const TPicturePair& p) { return p.PicIndex1 == a && p.PicIndex2 == b; });
    };
    EXPECT_TRUE(has(0, 4)) << fixtures::DescribePairs(s.Pairs);
    EXPECT_TRUE(has(5, 7)) << fixtures::DescribePairs(s.Pairs);
    EXPECT_TRUE(has(7, 9)) << fixtures::DescribePairs(s.Pairs);
}

struct ThreadCase {
    const char* name;
    int threads;
    bool onlyIdentical;
    int32_t minimum;
};

class PrefetchThreadsTest : public PrefetchTest, public testing::WithParamInterface<ThreadCase> {};

TEST_P(PrefetchThreadsTest, SameResultsAsTheSequentialRun) {
    TSettings settings;
    settings.SearchOnlyIdentical = GetParam().onlyIdentical;
    settings.MinPicWidth = settings.MinPicHeight = GetParam().minimum;
    const RunResult expected = runSequential(settings);
    ASSERT_FALSE(expected.Snapshot.Pairs.empty());
    expectSameRun(expected, runThreaded(settings, GetParam().threads));
}

INSTANTIATE_TEST_SUITE_P(Table, PrefetchThreadsTest,
                         testing::Values(ThreadCase{"OneThread", 1, false, 100},
                                         ThreadCase{"TwoThreads", 2, false, 100},
                                         ThreadCase{"FourThreads", 4, false, 100},
                                         ThreadCase{"AllCores", 0, false, 100},
                                         ThreadCase{"FourThreadsIdenticalOnly", 4, true, 100},
                                         ThreadCase{"TwoThreadsSmallPicturesAdmitted", 2, false, 0},
                                         ThreadCase{"ThreeThreadsHigherMinimum", 3, false, 150}),
                         [](const testing::TestParamInfo<ThreadCase>& info) { return std::string(info.param.name); });

struct StopCase {
    const char* name;
    int32_t before;  // the picture at whose start the stop takes effect
};

class PrefetchStopTest : public PrefetchTest, public testing::WithParamInterface<StopCase> {};

TEST_P(PrefetchStopTest, StopLeavesWhatTheSequentialStopLeaves) {
    const TSettings settings;
    const RunResult expected = runSequential(settings, stopBefore(GetParam().before));
    // A stop before the first picture leaves the scanner's count in LastPicIndex.
    const int32_t before = GetParam().before;
    EXPECT_EQ(expected.Snapshot.LastPicIndex, before == 0 ? 15 : std::min<int32_t>(before, 16) - 1);
    for (int threads : {1, 2, 4}) {
        SCOPED_TRACE(threads);
        expectSameRun(expected, runThreaded(settings, threads, stopBefore(GetParam().before)));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PrefetchStopTest,
                         testing::Values(StopCase{"BeforeTheFirst", 0}, StopCase{"AfterTheFirst", 1},
                                         StopCase{"AfterAnUndecodable", 2}, StopCase{"AfterASimilarPair", 5},
                                         StopCase{"BetweenIdenticalFiles", 8}, StopCase{"BeforeTheLast", 15},
                                         StopCase{"NeverReached", 16}),
                         [](const testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

// --- Decoders the test controls.

// Holds every picture from `from` on until the test opens it, and records which pictures were started.
struct Gate {
    int32_t from = 0;
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    std::set<int32_t> started;
    std::atomic<int> active{0};

    void Open() {
        {
            std::lock_guard lock(mutex);
            open = true;
        }
        opened.notify_all();
    }
    std::set<int32_t> Started() {
        std::lock_guard lock(mutex);
        return started;
    }
};

class GatedSource : public PictureSource {
public:
    explicit GatedSource(Gate& gate) : gate_(gate), inner_(100, 100) {}
    LoadResult Measure(int32_t index, const QString& path) override {
        ++gate_.active;
        struct Leave {
            Gate& g;
            ~Leave() { --g.active; }
        } leave{gate_};
        {
            std::unique_lock lock(gate_.mutex);
            gate_.started.insert(index);
            gate_.opened.wait(lock, [&] { return gate_.open || index < gate_.from; });
        }
        return inner_.Measure(index, path);
    }
    void Sign(TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg) override { inner_.Sign(m, pos, neg); }

private:
    Gate& gate_;
    DecodingPictureSource inner_;
};

PrefetchConfig gatedConfig(Gate& gate, int threads) {
    PrefetchConfig config;
    config.Threads = threads;
    config.MinPicWidth = config.MinPicHeight = 100;
    config.MakeDecoder = [&gate] { return std::make_unique<GatedSource>(gate); };
    return config;
}

TEST_F(PrefetchTest, WaitingProcessesMessagesAndAStopThenFinishesOnlyTheCurrentPicture) {
    const int32_t held = 2;
    const RunResult expected = runSequential(TSettings{}, stopBefore(held + 1));

    Gate gate;
    gate.from = held;
    Catalogue cat;
    fixtures::RecordPictures(cat, folder_, names_);
    FakeSearchHost host;
    int pointsWhileHeld = 0;
    // The first point inside picture 2 asks to stop; only the next one lets its decoder go on, so the stop is
    // seen before any further picture could be started.
    host.onMessages = [&](int point) {
        if (point < 2 || cat.LastPicIndex != held)
            return;
        if (++pointsWhileHeld == 1)
            host.stopped = true;
        else
            gate.Open();
    };
    {
        PrefetchingPictureSource source(gatedConfig(gate, 2), cat.PicCapacity,
                                        [&cat](int32_t k) { return cat.PicturePath(k); });
        MatchPictures(cat, TSettings{}, host, source);
        source.Finish(host);
        EXPECT_EQ(gate.active, 0) << "no decode runs once Finish has returned";
    }
    EXPECT_GE(pointsWhileHeld, 2) << "the matcher let messages run while it waited";
    const std::set<int32_t> started = gate.Started();
    EXPECT_LE(*started.rbegin(), held + 1) << "after the stop no picture past those in progress was started";
    fixtures::ExpectSameMatch(expected.Snapshot, fixtures::TakeSnapshot(cat));
    EXPECT_EQ(host.filesCountTexts, expected.FilesCountTexts);
}

TEST_F(PrefetchTest, AnErrorFromTheWindowWhileWaitingReachesTheCaller) {
    Gate gate;
    gate.from = 1;
    Catalogue cat;
    fixtures::RecordPictures(cat, folder_, names_);
    FakeSearchHost host;
    host.onMessages = [&](int point) {
        if (point >= 2 && cat.LastPicIndex == 1) {
            gate.Open();
            throw std::runtime_error("the window failed");
        }
    };
    const auto run = [&] {
        PrefetchingPictureSource source(gatedConfig(gate, 2), cat.PicCapacity,
                                        [&cat](int32_t k) { return cat.PicturePath(k); });
        MatchPictures(cat, TSettings{}, host, source);
    };
    // Not swallowed as "picture 1 could not be decoded".
    EXPECT_THROW(run(), std::runtime_error);
    EXPECT_EQ(gate.active, 0) << "the workers were joined on the way out";
    EXPECT_EQ(cat.LastPicIndex, 1);
}

// --- The head rule, with pictures fed from memory so that a file can be gone and still "decode".

class FeedSource : public PictureSource {
public:
    LoadResult Measure(int32_t index, const QString&) override {
        index_ = index;
        return {120, 160, 1};
    }
    // A signature of its own for every picture, so nothing pairs by signature.
    void Sign(TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg) override {
        m.fill(0);
        pos.fill({});
        neg.fill({});
        for (int k = 0; k < 100; ++k) {
            pos[k] = {static_cast<uint8_t>(1 + index_), static_cast<uint8_t>(k)};
            neg[k] = {static_cast<uint8_t>(64 + index_), static_cast<uint8_t>(k)};
            m[pos[k].X * 128u + pos[k].Y] = 1;
            m[neg[k].X * 128u + neg[k].Y] = -1;
        }
    }

private:
    int32_t index_ = 0;
};

TEST_F(PrefetchTest, AHeadThatCannotBeReadTakesTheLastHeadReadInCatalogueOrder) {
    // Present files have heads of their own; removed ones (between the scan and the match) cannot be read.
    const std::vector<bool> present = {false, true, false, false, true, false, true};
    QStringList names;
    for (size_t k = 0; k < present.size(); ++k) {
        const QString name = QStringLiteral("fed-%1.jpg").arg(k);
        fixtures::WriteBytes(folder_ + name, QByteArray(300, static_cast<char>('a' + k)));
        names << name;
    }
    Catalogue cat;
    fixtures::RecordPictures(cat, folder_, names);
    for (size_t k = 0; k < present.size(); ++k) {
        if (!present[k])
            QFile::remove(folder_ + names[static_cast<int>(k)]);
    }
    const auto headOf = [](size_t k) {
        TPreBuffer head{};
        head.fill(static_cast<uint8_t>('a' + k));
        return head;
    };
    const std::vector<TPreBuffer> expectedHeads = {TPreBuffer{}, headOf(1), headOf(1), headOf(1),
                                                   headOf(4),    headOf(4), headOf(6)};

    const TSettings settings;
    FakeSearchHost host;
    FeedSource sequential;
    MatchPictures(cat, settings, host, sequential);
    const fixtures::MatchSnapshot expected = fixtures::TakeSnapshot(cat);
    for (size_t k = 0; k < present.size(); ++k)
        EXPECT_EQ(expected.Pictures[k].Head, expectedHeads[k]) << "sequential, picture " << k;
    EXPECT_TRUE(expected.Pairs.empty()) << "equal heads, but the files cannot be compared";

    for (int threads : {1, 2, 4}) {
        SCOPED_TRACE(threads);
        fixtures::RecordPictures(cat, folder_, names);
        PrefetchConfig config;
        config.Threads = threads;
        config.MakeDecoder = [] { return std::make_unique<FeedSource>(); };
        PrefetchingPictureSource source(config, cat.PicCapacity, [&cat](int32_t k) { return cat.PicturePath(k); });
        FakeSearchHost threadedHost;
        MatchPictures(cat, settings, threadedHost, source);
        source.Finish(threadedHost);
        fixtures::ExpectSameMatch(expected, fixtures::TakeSnapshot(cat));
    }
}

// Decodes the real picture, then puts a fifo in its place before the worker reads the file's head.
class SwappingSource : public PictureSource {
public:
    LoadResult Measure(int32_t index, const QString& path) override {
        const LoadResult size = inner_.Measure(index, path);
        const QString fifo = path + QStringLiteral(".fifo");
        if (::mkfifo(QFile::encodeName(fifo).constData(), 0600) != 0 ||
            ::rename(QFile::encodeName(fifo).constData(), QFile::encodeName(path).constData()) != 0)
            throw std::runtime_error("cannot put a fifo in place");
        return size;
    }
    void Sign(TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg) override { inner_.Sign(m, pos, neg); }

private:
    DecodingPictureSource inner_{100, 100};
};

TEST_F(PrefetchTest, AFifoInAPicturesPlaceBeforeItsHeadIsReadIsNotWaitedOn) {
    const QStringList names = {"a.png", "b.png"};
    const QByteArray png = fixtures::EncodeImage(fixtures::MakeNaturalPicture(160, 120, 4), "png");
    for (const QString& name : names)
        fixtures::WriteBytes(folder_ + name, png);
    Catalogue cat;
    fixtures::RecordPictures(cat, folder_, names);
    PrefetchConfig config;
    config.Threads = 2;
    config.MinPicWidth = config.MinPicHeight = 100;
    config.MakeDecoder = [] { return std::make_unique<SwappingSource>(); };

    auto search = std::async(std::launch::async, [&] {
        PrefetchingPictureSource source(config, cat.PicCapacity, [&cat](int32_t k) { return cat.PicturePath(k); });
        FakeSearchHost host;
        MatchPictures(cat, TSettings{}, host, source);
        source.Finish(host);
    });
    if (search.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        // A reader blocked on a fifo is released by anyone opening it for writing.
        for (const QString& name : names) {
            const int fd = ::open(QFile::encodeName(folder_ + name).constData(), O_RDWR | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
        search.wait();
        FAIL() << "the head read waited on a fifo";
    }
    search.get();
    // Decoded, but neither head could be read: the heads stay as they were.
    for (int32_t i = 0; i < cat.PicCapacity; ++i)
        EXPECT_EQ(cat.Pictures[static_cast<size_t>(i)].PreBuffer, TPreBuffer{}) << i;
}

TEST_F(PrefetchTest, ThreadCountFollowsTheOptions) {
    PictureSupplyOptions options;
    options.Threads = 3;
    EXPECT_EQ(EffectiveThreadCount(options), 3);
    options.Threads = 0;
    EXPECT_GE(EffectiveThreadCount(options), 1);
    EXPECT_FALSE(PictureSupplyOptions{}.UseCache) << "nothing writes the user's cache unless the program asks";
}

}  // namespace
