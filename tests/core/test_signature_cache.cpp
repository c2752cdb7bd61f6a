// The signature cache: the same results with and without it, nothing decoded twice over unchanged files,
// entries dropped when a file's size, times or existence change or when the search's minimums or mode need
// more than they hold, and cache files that are damaged or foreign ignored and rewritten.
#include "engine/PartnerMemo.h"
#include "engine/PrefetchingPictureSource.h"

#include "FakeSearchHost.h"
#include "PictureTree.h"
#include "QtPrinters.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <future>
#include <optional>

namespace {

class CountingSource : public PictureSource {
public:
    CountingSource(std::atomic<int>& decodes, int32_t minWidth, int32_t minHeight)
        : decodes_(decodes), inner_(minWidth, minHeight) {}
    LoadResult Measure(int32_t index, const QString& path) override {
        ++decodes_;
        return inner_.Measure(index, path);
    }
    void Sign(TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg) override { inner_.Sign(m, pos, neg); }

private:
    std::atomic<int>& decodes_;
    DecodingPictureSource inner_;
};

struct CachedRun {
    fixtures::MatchSnapshot Snapshot;
    int Decodes = 0;
    int Recalled = 0;  // partners taken from the memo of an earlier search
};

// The checksum the cache files end with (64-bit FNV-1a), so a test can forge a file that passes it.
uint64_t Fnv1a(const QByteArray& data) {
    uint64_t hash = 14695981039346656037ull;
    for (char c : data) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

QByteArray WithChecksum(QByteArray body) {
    const uint64_t sum = Fnv1a(body);
    body.append(reinterpret_cast<const char*>(&sum), sizeof sum);  // little-endian on the machines we build for
    return body;
}

class CacheTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pictures_.isValid());
        ASSERT_TRUE(cacheHome_.isValid());
        oldCacheHome_ = qgetenv("XDG_CACHE_HOME");
        hadCacheHome_ = qEnvironmentVariableIsSet("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", cacheHome_.path().toLocal8Bit());
        folder_ = pictures_.path() + QStringLiteral("/pics/");
        ASSERT_TRUE(QDir().mkpath(folder_));
        names_ = fixtures::WritePictureTree(folder_);
    }
    void TearDown() override {
        if (hadCacheHome_)
            qputenv("XDG_CACHE_HOME", oldCacheHome_);
        else
            qunsetenv("XDG_CACHE_HOME");
    }

    QString cacheFolder() const { return DefaultSignatureCacheFolder(); }
    QString cacheFile() const { return SignatureCache(cacheFolder()).FileFor(folder_); }

    fixtures::MatchSnapshot runPlain(const TSettings& settings) {
        Catalogue cat;
        fixtures::RecordPictures(cat, folder_, names_);
        FakeSearchHost host;
        DecodingPictureSource source(settings.MinPicWidth, settings.MinPicHeight);
        MatchPictures(cat, settings, host, source);
        return fixtures::TakeSnapshot(cat);
    }

    CachedRun runCached(const TSettings& settings, int threads = 2, bool remember = false, int stopAt = 0) {
        Catalogue cat;
        fixtures::RecordPictures(cat, folder_, names_);
        FakeSearchHost host;
        host.stopAfterMessages = stopAt;
        SignatureCache cache(cacheFolder());
        std::optional<PartnerMemo> memo;
        if (remember)
            memo.emplace(cacheFolder(), cat, settings);
        std::atomic<int> decodes{0};
        PrefetchConfig config;
        config.Threads = threads;
        config.MinPicWidth = settings.MinPicWidth;
        config.MinPicHeight = settings.MinPicHeight;
        config.SearchOnlyIdentical = settings.SearchOnlyIdentical;
        config.Cache = &cache;
        config.MakeDecoder = [&decodes, settings] {
            return std::make_unique<CountingSource>(decodes, settings.MinPicWidth, settings.MinPicHeight);
        };
        {
            PrefetchingPictureSource source(config, cat.PicCapacity, [&cat](int32_t k) { return cat.PicturePath(k); });
            MatchPictures(cat, settings, host, source, 0, memo ? &*memo : nullptr);
            source.Finish(host);
        }
        EXPECT_TRUE(cache.Save());
        if (memo) {
            EXPECT_TRUE(memo->Save());
        }
        return {fixtures::TakeSnapshot(cat), decodes.load(), memo ? memo->Recalled() : 0};
    }

    QString path(int k) const { return folder_ + names_[k]; }

    QTemporaryDir pictures_;
    QTemporaryDir cacheHome_;
    QByteArray oldCacheHome_;
    bool hadCacheHome_ = false;
    QString folder_;
    QStringList names_;
};

TEST_F(CacheTest, CacheFolderFollowsXdgCacheHome) {
    EXPECT_EQ(DefaultSignatureCacheFolder(), cacheHome_.path() + QStringLiteral("/Voralin/"));
}

TEST_F(CacheTest, SecondRunDecodesNothingAndGivesTheSameResults) {
    const TSettings settings;
    const fixtures::MatchSnapshot plain = runPlain(settings);
    const CachedRun first = runCached(settings);
    EXPECT_EQ(first.Decodes, names_.size());
    fixtures::ExpectSameMatch(plain, first.Snapshot);
    for (int threads : {1, 4}) {
        SCOPED_TRACE(threads);
        const CachedRun again = runCached(settings, threads);
        EXPECT_EQ(again.Decodes, 0);
        fixtures::ExpectSameMatch(plain, again.Snapshot);
    }
    // Only finished cache files stay behind: the writes went through a temporary file and a rename.
    EXPECT_EQ(QDir(cacheFolder()).entryList(QDir::Files), QStringList{QFileInfo(cacheFile()).fileName()});
}

TEST_F(CacheTest, SearchesThroughTheOptionsUseTheCacheUnderXdgCacheHome) {
    const TSettings settings;
    const fixtures::MatchSnapshot plain = runPlain(settings);
    PictureSupplyOptions supply;
    supply.Threads = 2;
    supply.UseCache = true;
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        Catalogue cat;
        fixtures::RecordPictures(cat, folder_, names_);
        FakeSearchHost host;
        MatchPictures(cat, settings, host, supply);
        fixtures::ExpectSameMatch(plain, fixtures::TakeSnapshot(cat));
        EXPECT_TRUE(QFileInfo::exists(cacheFile()));
    }
    EXPECT_EQ(runCached(settings).Decodes, 0);
}

// --- A changed file is decoded again.

struct ChangeCase {
    const char* name;
    std::function<void(const QString& path)> change;
};

void SetModificationTime(const QString& path, const timespec& when) {
    const timespec times[2] = {{0, UTIME_OMIT}, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

const ChangeCase kChanges[] = {
    {"NewSize", [](const QString& p) {
         fixtures::WriteBytes(p, fixtures::EncodeJpeg(fixtures::MakeNaturalPicture(330, 250, 77), {.Quality = 90}));
     }},
    {"NewModificationTimeSameContent", [](const QString& p) {
         struct stat st {};
         ASSERT_EQ(::stat(QFile::encodeName(p).constData(), &st), 0);
         timespec later = st.st_mtim;
         later.tv_sec += 3600;
         SetModificationTime(p, later);
     }},
    {"NanosecondsOfTheModificationTimeOnly", [](const QString& p) {
         struct stat st {};
         ASSERT_EQ(::stat(QFile::encodeName(p).constData(), &st), 0);
         timespec nudged = st.st_mtim;
         nudged.tv_nsec = (nudged.tv_nsec + 1) % 1000000000;
         SetModificationTime(p, nudged);
     }},
    // Same length, old modification time put back: only the change time tells.
    {"RewrittenWithSameSizeAndOldModificationTime", [](const QString& p) {
         struct stat st {};
         ASSERT_EQ(::stat(QFile::encodeName(p).constData(), &st), 0);
         QByteArray bytes = fixtures::ReadBytes(p);
         const QByteArray other = fixtures::EncodeJpeg(fixtures::MakeNaturalPicture(320, 240, 99), {.Quality = 92});
         bytes = other.left(bytes.size()).leftJustified(bytes.size(), '\0');
         fixtures::WriteBytes(p, bytes);
         SetModificationTime(p, st.st_mtim);
     }},
    {"Removed", [](const QString& p) { ASSERT_TRUE(QFile::remove(p)); }},
};

class CacheChangeTest : public CacheTest, public testing::WithParamInterface<ChangeCase> {};

TEST_P(CacheChangeTest, ChangedFileIsDecodedAgain) {
    const TSettings settings;
    runCached(settings);
    GetParam().change(path(0));  // 00-a.jpg, which pairs with a later picture
    const CachedRun again = runCached(settings);
    EXPECT_EQ(again.Decodes, 1);
    fixtures::ExpectSameMatch(runPlain(settings), again.Snapshot);
    EXPECT_EQ(runCached(settings).Decodes, GetParam().name == std::string("Removed") ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Table, CacheChangeTest, testing::ValuesIn(kChanges),
                         [](const testing::TestParamInfo<ChangeCase>& info) { return std::string(info.param.name); });

// --- A damaged or foreign cache file is ignored and rewritten.

struct DamageCase {
    const char* name;
    std::function<QByteArray(const QByteArray& good)> damage;
};

QByteArray WithVersion(QByteArray good, uint8_t version) {
    QByteArray body = good.left(good.size() - 8);
    body[8] = static_cast<char>(version);  // after the 8-byte magic, little-endian
    return WithChecksum(body);
}

const DamageCase kDamages[] = {
    {"Truncated", [](const QByteArray& good) { return good.left(good.size() * 2 / 3); }},
    {"TruncatedByOneByte", [](const QByteArray& good) { return good.left(good.size() - 1); }},
    {"Empty", [](const QByteArray&) { return QByteArray(); }},
    {"Garbage", [](const QByteArray& good) {
         QByteArray junk(good.size(), '\0');
         for (qsizetype k = 0; k < junk.size(); ++k)
             junk[k] = static_cast<char>((k * 7919 + 13) % 251);
         return junk;
     }},
    {"FlippedByteInTheMiddle", [](QByteArray good) {
         good[good.size() / 2] = static_cast<char>(good[good.size() / 2] ^ 0x10);
         return good;
     }},
    {"BadMagicWithValidChecksum", [](const QByteArray& good) {
         QByteArray body = good.left(good.size() - 8);
         body[0] = 'X';
         return WithChecksum(body);
     }},
    {"OtherVersionWithValidChecksum", [](const QByteArray& good) { return WithVersion(good, 99); }},
    {"EntriesCutShortWithValidChecksum", [](const QByteArray& good) {
         return WithChecksum(good.left(good.size() - 8 - 100));
     }},
};

class CacheDamageTest : public CacheTest, public testing::WithParamInterface<DamageCase> {};

TEST_P(CacheDamageTest, DamagedCacheFileIsIgnoredAndRewritten) {
    const TSettings settings;
    runCached(settings);
    const QByteArray good = fixtures::ReadBytes(cacheFile());
    ASSERT_GT(good.size(), 200);
    ASSERT_EQ(runCached(settings).Decodes, 0) << "the file as written is believed";
    fixtures::WriteBytes(cacheFile(), GetParam().damage(good));

    const CachedRun again = runCached(settings);
    EXPECT_EQ(again.Decodes, names_.size());
    fixtures::ExpectSameMatch(runPlain(settings), again.Snapshot);
    EXPECT_EQ(runCached(settings).Decodes, 0) << "rewritten whole";
}

INSTANTIATE_TEST_SUITE_P(Table, CacheDamageTest, testing::ValuesIn(kDamages),
                         [](const testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

TEST_F(CacheTest, CacheFileOfAnotherFolderIsNotBelieved) {
    const TSettings settings;
    runCached(settings);
    // The same names in another folder, made by another search, put where this folder's file belongs.
    const QString otherFolder = pictures_.path() + QStringLiteral("/other/");
    ASSERT_TRUE(QDir().mkpath(otherFolder));
    for (const QString& name : names_)
        ASSERT_TRUE(QFile::copy(folder_ + name, otherFolder + name));
    const QString mine = cacheFile();
    const QString others = SignatureCache(cacheFolder()).FileFor(otherFolder);
    const QString home = folder_;
    folder_ = otherFolder;
    runCached(settings);
    folder_ = home;
    ASSERT_TRUE(QFile::remove(mine));
    ASSERT_TRUE(QFile::copy(others, mine));

    const CachedRun again = runCached(settings);
    EXPECT_EQ(again.Decodes, names_.size());
    fixtures::ExpectSameMatch(runPlain(settings), again.Snapshot);
}

// --- What a search needs beyond what an entry holds.

struct ParamsCase {
    const char* name;
    TSettings first;
    TSettings second;
    int decodesAgain;
};

TSettings withMinimum(int32_t minimum) {
    TSettings s;
    s.MinPicWidth = s.MinPicHeight = minimum;
    return s;
}

TSettings identicalOnly() {
    TSettings s;
    s.SearchOnlyIdentical = true;
    return s;
}

// The tree holds 16 files: 3 that cannot be decoded (garbage twice, PNG content named .jpg), 2 of 60 x 60,
// one of 640 x 560 (decoded at 1/4 while both minimums stay below 560), and 10 others below 500 px.
const ParamsCase kParams[] = {
    // The small ones now need head and signature; failures count only under the minimums that saw them.
    {"MinimumsLoweredAdmitsSmallPictures", withMinimum(100), withMinimum(0), 2 + 3},
    // At a minimum of 600 the large picture is decoded at full size: another scale, another picture.
    {"MinimumAboveTheLargePictureChangesItsScale", withMinimum(100), withMinimum(600), 1 + 3},
    {"SameMinimumsDecodeNothing", withMinimum(50), withMinimum(50), 0},
    // Without signatures an entry serves only identical-only searches.
    {"IdenticalOnlyThenSignatures", identicalOnly(), TSettings{}, 11},
    {"SignaturesThenIdenticalOnly", TSettings{}, identicalOnly(), 0},
};

class CacheParamsTest : public CacheTest, public testing::WithParamInterface<ParamsCase> {};

TEST_P(CacheParamsTest, EntriesServeOnlySearchesTheyAreGoodFor) {
    runCached(GetParam().first);
    const CachedRun again = runCached(GetParam().second);
    EXPECT_EQ(again.Decodes, GetParam().decodesAgain);
    fixtures::ExpectSameMatch(runPlain(GetParam().second), again.Snapshot);
}

INSTANTIATE_TEST_SUITE_P(Table, CacheParamsTest, testing::ValuesIn(kParams),
                         [](const testing::TestParamInfo<ParamsCase>& info) { return std::string(info.param.name); });

TEST_F(CacheTest, EntriesOfFilesNotMetAreKeptWhileUnchangedAndDroppedWhenRemoved) {
    const TSettings settings;
    runCached(settings);
    // A search of the first half only: the other entries stay for later.
    const QStringList all = names_;
    names_ = all.mid(0, 8);
    QFile::remove(folder_ + all[12]);  // gone before the next save of this folder
    fixtures::WriteBytes(folder_ + all[0], fixtures::EncodeImage(fixtures::MakeNaturalPicture(50, 50, 1), "png"));
    EXPECT_EQ(runCached(settings).Decodes, 1);
    names_ = all;
    names_.removeAt(12);
    EXPECT_EQ(runCached(settings).Decodes, 0);
}

// A save cancelled (the window closing) begins no further file: the one written before stays as it was, and
// a later save still writes what changed.
TEST_F(CacheTest, CancelledSaveBeginsNoFileAndKeepsTheEarlierOne) {
    const TSettings settings;
    runCached(settings);
    const QByteArray before = fixtures::ReadBytes(cacheFile());
    ASSERT_FALSE(before.isEmpty());

    SignatureCache cache(cacheFolder());
    const std::optional<FileKey> key = StatFileKey(path(0));
    ASSERT_TRUE(key);
    cache.Store(path(0), *key, {settings.MinPicWidth, settings.MinPicHeight, true}, PreparedPicture{});  // undecodable now
    const std::atomic<bool> cancelled{true};
    EXPECT_FALSE(cache.Save(&cancelled));
    EXPECT_EQ(fixtures::ReadBytes(cacheFile()), before);

    EXPECT_TRUE(cache.Save());
    EXPECT_NE(fixtures::ReadBytes(cacheFile()), before);
}

}  // namespace

// --- The partners of an earlier search over unchanged files are recalled, not searched for again.

namespace {

// Pictures that reached the partner search in a finished match.
int Searched(const fixtures::MatchSnapshot& s, int below) {
    int count = 0;
    for (int k = 0; k < below && k < static_cast<int>(s.Pictures.size()); ++k)
        count += s.Pictures[static_cast<size_t>(k)].Stage == TCCVStage::Full;
    return count;
}

QStringList MemoFiles(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("pairs-*.memo")}, QDir::Files);
}

}  // namespace

TEST_F(CacheTest, SecondSearchRecallsEveryPartner) {
    const TSettings settings;
    const fixtures::MatchSnapshot plain = runPlain(settings);
    const CachedRun first = runCached(settings, 2, true);
    EXPECT_EQ(first.Recalled, 0);
    fixtures::ExpectSameMatch(plain, first.Snapshot);
    ASSERT_EQ(MemoFiles(cacheFolder()).size(), 1);
    const CachedRun again = runCached(settings, 2, true);
    EXPECT_EQ(again.Recalled, Searched(plain, names_.size()));
    fixtures::ExpectSameMatch(plain, again.Snapshot);
}

// A changed picture ends the recall: the ones before it are recalled, it and all after it are searched, and
// the pairs are those of a search from scratch (the change to picture 4 breaks its pair with picture 0).
class MemoChangeTest : public CacheTest, public testing::WithParamInterface<ChangeCase> {};

TEST_P(MemoChangeTest, ChangedPictureEndsTheRecall) {
    const TSettings settings;
    runCached(settings, 2, true);
    constexpr int kChanged = 4;  // 04-a-recompressed.jpg
    GetParam().change(path(kChanged));
    const fixtures::MatchSnapshot plain = runPlain(settings);
    const CachedRun again = runCached(settings, 2, true);
    EXPECT_EQ(again.Recalled, Searched(plain, kChanged));
    fixtures::ExpectSameMatch(plain, again.Snapshot);
    // A file that is gone has no key to vouch for it, so the recall keeps ending there.
    const bool gone = GetParam().name == std::string("Removed");
    EXPECT_EQ(runCached(settings, 2, true).Recalled, Searched(plain, gone ? kChanged : names_.size()));
}

INSTANTIATE_TEST_SUITE_P(Table, MemoChangeTest, testing::ValuesIn(kChanges),
                         [](const testing::TestParamInfo<ChangeCase>& info) { return std::string(info.param.name); });

// Other settings decide other partners: their searches keep memos of their own.
TEST_F(CacheTest, MemoServesOnlyTheSettingsThatMadeIt) {
    TSettings larger;
    larger.MinPicWidth = larger.MinPicHeight = 200;
    TSettings identical;
    identical.SearchOnlyIdentical = true;
    runCached(TSettings{}, 2, true);
    for (const TSettings& other : {larger, identical}) {
        const CachedRun run = runCached(other, 2, true);
        EXPECT_EQ(run.Recalled, 0);
        fixtures::ExpectSameMatch(runPlain(other), run.Snapshot);
    }
    EXPECT_EQ(MemoFiles(cacheFolder()).size(), 3);
    EXPECT_GT(runCached(TSettings{}, 2, true).Recalled, 0);
}

// A stopped search leaves the memo of the pictures it finished; the next search recalls those and searches
// the rest.
TEST_F(CacheTest, StoppedSearchLeavesTheMemoOfItsPictures) {
    const TSettings settings;
    const fixtures::MatchSnapshot plain = runPlain(settings);
    const CachedRun stopped = runCached(settings, 2, true, 8);  // the matcher's eighth processing point
    ASSERT_LT(stopped.Snapshot.LastPicIndex + 1, static_cast<int>(names_.size()));
    const CachedRun next = runCached(settings, 2, true);
    EXPECT_GT(next.Recalled, 0);
    EXPECT_LT(next.Recalled, Searched(plain, names_.size()));
    fixtures::ExpectSameMatch(plain, next.Snapshot);
    EXPECT_EQ(runCached(settings, 2, true).Recalled, Searched(plain, names_.size()));
}

// A damaged memo is not believed: the search runs as from scratch and writes a good one.
TEST_F(CacheTest, DamagedMemoIsIgnoredAndRewritten) {
    const TSettings settings;
    const fixtures::MatchSnapshot plain = runPlain(settings);
    runCached(settings, 2, true);
    const QString memo = cacheFolder() + MemoFiles(cacheFolder()).value(0);
    const QByteArray good = fixtures::ReadBytes(memo);
    QByteArray flipped = good;
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x40);
    // A partner that points forward, under a checksum that passes.
    QByteArray forward = good.left(good.size() - 8);
    const qint32 ahead = 1000;
    forward.replace(8 + 4 + 8 + 4 + 8, 4, reinterpret_cast<const char*>(&ahead), 4);
    for (const QByteArray& damaged : {good.left(good.size() / 2), QByteArray("garbage"), flipped,
                                      WithChecksum(forward)}) {
        fixtures::WriteBytes(memo, damaged);
        const CachedRun run = runCached(settings, 2, true);
        EXPECT_EQ(run.Recalled, 0);
        fixtures::ExpectSameMatch(plain, run.Snapshot);
        EXPECT_EQ(fixtures::ReadBytes(memo), good);
    }
}

// --- What is put in place of the cache's own files is never followed, waited on or replaced.

struct NodeCase {
    const char* name;
    bool (*make)(const QByteArray& path, const QByteArray& victim);
};

const NodeCase kNodes[] = {
    {"LinkToAnotherFile",
     [](const QByteArray& p, const QByteArray& victim) { return ::symlink(victim.constData(), p.constData()) == 0; }},
    {"Fifo", [](const QByteArray& p, const QByteArray&) { return ::mkfifo(p.constData(), 0600) == 0; }},
};

class CacheNodeTest : public CacheTest, public testing::WithParamInterface<NodeCase> {};

TEST_P(CacheNodeTest, NodeInPlaceOfTheCacheAndTheMemoIsLeftAlone) {
    const TSettings settings;
    const fixtures::MatchSnapshot plain = runPlain(settings);
    runCached(settings, 2, true);
    const QString memo = cacheFolder() + MemoFiles(cacheFolder()).value(0);
    const QString victim = pictures_.path() + QStringLiteral("/victim.txt");
    fixtures::WriteBytes(victim, "not a cache");
    for (const QString& own : {cacheFile(), memo}) {
        ASSERT_TRUE(QFile::remove(own));
        ASSERT_TRUE(GetParam().make(QFile::encodeName(own), QFile::encodeName(victim)));
    }
    struct stat before {};
    ASSERT_EQ(::lstat(QFile::encodeName(cacheFile()).constData(), &before), 0);

    // A blocked open would never return; the search runs aside so the test can free it and fail instead.
    auto search = std::async(std::launch::async, [&] {
        Catalogue cat;
        fixtures::RecordPictures(cat, folder_, names_);
        FakeSearchHost host;
        SignatureCache cache(cacheFolder());
        PartnerMemo partners(cacheFolder(), cat, settings);
        PrefetchConfig config;
        config.Threads = 2;
        config.MinPicWidth = settings.MinPicWidth;
        config.MinPicHeight = settings.MinPicHeight;
        config.Cache = &cache;
        {
            PrefetchingPictureSource source(config, cat.PicCapacity, [&cat](int32_t k) { return cat.PicturePath(k); });
            MatchPictures(cat, settings, host, source, 0, &partners);
            source.Finish(host);
        }
        const bool cacheSaved = cache.Save();
        const bool memoSaved = partners.Save();
        const bool saved = cacheSaved || memoSaved;
        return std::pair{fixtures::TakeSnapshot(cat), saved};
    });
    if (search.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        for (const QString& own : {cacheFile(), memo}) {
            const int fd = ::open(QFile::encodeName(own).constData(), O_RDWR | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
        search.wait();
        FAIL() << "a cache file was waited on";
    }
    const auto [snapshot, saved] = search.get();
    fixtures::ExpectSameMatch(plain, snapshot);
    EXPECT_FALSE(saved) << "nothing can be written in their place";
    EXPECT_EQ(fixtures::ReadBytes(victim), "not a cache");
    struct stat after {};
    ASSERT_EQ(::lstat(QFile::encodeName(cacheFile()).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
}

INSTANTIATE_TEST_SUITE_P(Table, CacheNodeTest, testing::ValuesIn(kNodes),
                         [](const testing::TestParamInfo<NodeCase>& info) { return std::string(info.param.name); });

// A damaged file that claims few entries but is huge is refused from its header, not read whole.
TEST_F(CacheTest, HugeDamagedCacheFileIsRefusedFromItsHeader) {
    const TSettings settings;
    runCached(settings);
    const QByteArray good = fixtures::ReadBytes(cacheFile());
    // The good file's header, then a hole up to 1.5 GB: no disk space, but a reader of the whole would
    // need that much memory.
    fixtures::WriteBytes(cacheFile(), good);
    ASSERT_EQ(::truncate(QFile::encodeName(cacheFile()).constData(), off_t{1536} << 20), 0);
    const CachedRun again = runCached(settings);
    EXPECT_EQ(again.Decodes, names_.size());
    fixtures::ExpectSameMatch(runPlain(settings), again.Snapshot);
    EXPECT_EQ(fixtures::ReadBytes(cacheFile()), good) << "rewritten whole";
}
