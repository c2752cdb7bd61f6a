// Searches over hostile trees: files that change between the walk and the matcher, entries that are not
// files, folders that cannot be listed, paths and names the system cannot spell, link loops, deep and wide
// trees, and pictures built to exhaust the decoder. Each search must finish with the rest of its pairs.
#include "engine/FolderScanner.h"
#include "engine/PairMatcher.h"
#include "engine/SearchDriver.h"

#include "FakeSearchHost.h"
#include "PictureFixtures.h"
#include "WithoutPrivileges.h"

#include <QDir>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// One pair as the results list shows it: both names relative to the searched folder, and the similarity.
QString PairText(const Catalogue& cat, const TPicturePair& pair, const QString& root)
{
    const QDir base(root);
    return base.relativeFilePath(cat.PicturePath(pair.PicIndex1)) + QLatin1Char('|') +
           base.relativeFilePath(cat.PicturePath(pair.PicIndex2)) + QLatin1Char('|') +
           QString::number(pair.Similarity);
}

QStringList PairTexts(const Catalogue& cat, const QString& root)
{
    QStringList out;
    for (int32_t k = 0; k < cat.PairCapacity; ++k)
        out << PairText(cat, cat.PicturePairs[static_cast<size_t>(k)], root);
    return out;
}

QStringList Recorded(const Catalogue& cat, const QString& root)
{
    QStringList out;
    for (int32_t i = 0; i <= cat.LastPicIndex && i < cat.PicCapacity; ++i)
        out << QDir(root).relativeFilePath(cat.PicturePath(i));
    return out;
}

QByteArray PictureBytes(uint32_t seed)
{
    return fixtures::EncodeImage(fixtures::MakeNaturalPicture(160, 120, seed), "png");
}

// Runs the search's steps in order with a chosen picture source: walk, trim, match, trim the pairs.
void Search(Catalogue& cat, const TSettings& settings, FakeSearchHost& host, const QString& folder,
            PictureSource& source)
{
    cat.Reset();
    cat.AllocateInitial();
    FolderScanner scanner(cat, settings, host);
    scanner.ScanFolder(folder);
    cat.TrimPicturesAndPaths();
    cat.AllocatePairs();
    MatchPictures(cat, settings, host, source);
    cat.TrimPairs();
}

void Search(Catalogue& cat, const TSettings& settings, FakeSearchHost& host, const QString& folder)
{
    DecodingPictureSource source(settings.MinPicWidth, settings.MinPicHeight);
    Search(cat, settings, host, folder, source);
}

// The whole search through the driver, as the window runs it; records the messages it shows.
class RecordingWindow : public SearchWindow {
public:
    QStringList items;
    QStringList errors;
    QStringList summaries;
    void ProcessMessages() override {}
    bool ScanSubfolders() const override { return true; }
    void ReportProgress(const SearchProgress&, ProgressLine) override {}
    QStringList FolderListItems() const override { return items; }
    bool PlaceholderShown() const override { return false; }
    void ShowError(const QString& text) override { errors << text; }
    void ShowSummary(const SearchOutcome& outcome) override { summaries << SummaryMessage(outcome); }
    void EnterSearchingState() override {}
    void EnterIdleState() override {}
    void StartElapsedTimer() override {}
    void StopElapsedTimer() override {}
    uint32_t ElapsedMs() const override { return 1000; }
    void BeginResultsUpdate() override {}
    void SetResultRowCount(int) override {}
    void EndResultsUpdate() override {}
    void SetSummaryLabels(const SummaryCountTexts&) override {}
    void SelectFirstRowAndShow() override {}
};

QString SummaryText(int scanned, int pairs)
{
    return QStringLiteral("Search finished.") + QString(36, QLatin1Char(' ')) +
           QStringLiteral("\n\r\n\rTotal pictures scanned: %1 / %1\n\rSimilar pairs found: %2\n\r"
                          "Elapsed time: 00:00:01\n\r")
               .arg(scanned)
               .arg(pairs);
}

class FaultTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        root_ = dir_.path() + QLatin1Char('/');
        settings_.SearchTIFF = true;
        settings_.SearchCR2 = true;
    }

    QString path(const QString& relative) const { return root_ + relative; }
    void write(const QString& relative, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        fixtures::WriteBytes(path(relative), bytes);
    }
    // Two byte-identical copies of one picture: the pair every search here must still find.
    void identicalPair(const QString& first, const QString& second, uint32_t seed)
    {
        write(first, PictureBytes(seed));
        write(second, PictureBytes(seed));
    }
    // Runs the whole search through the driver on the temporary folder.
    void driverSearch(const QStringList& items = {})
    {
        SearchDriver driver(cat_, settings_, window_, QLocale(QLocale::English, QLocale::UnitedStates));
        window_.items = items.isEmpty() ? QStringList{root_} : items;
        driver.StartButtonClick();
        EXPECT_TRUE(window_.errors.isEmpty()) << window_.errors.join(u'\n').toStdString();
    }
    QStringList pairs() const { return PairTexts(cat_, root_); }
    QStringList recorded() const { return Recorded(cat_, root_); }

    QTemporaryDir dir_;
    QString root_;
    Catalogue cat_;
    TSettings settings_;
    FakeSearchHost host_;
    RecordingWindow window_;
};

// ---------------------------------------------------------------------------------------------------------
// Files that change between the walk and the matcher

enum class Change { Vanish, Shrink, Grow, BecomeFolder, BecomeFifo };

struct ChangeCase {
    const char* name;
    Change change;
    bool changeEarlier;  // change the pair's first file (already matched) instead of its second
    bool stillAlike = false;  // both pictures are still signed alike, so the pair stands by its signature
};

// Applies the change to one file just before the matcher measures a chosen picture, then decodes as the
// search does.
class ChangingSource : public PictureSource {
public:
    ChangingSource(QString trigger, QString victim, Change change)
        : trigger_(std::move(trigger)), victim_(std::move(victim)), change_(change)
    {
    }
    LoadResult Measure(int32_t index, const QString& path) override
    {
        if (path == trigger_)
            apply();
        return decoder_.Measure(index, path);
    }
    void Sign(TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg) override { decoder_.Sign(m, pos, neg); }

private:
    void apply()
    {
        const QByteArray native = QFile::encodeName(victim_);
        const QByteArray bytes = fixtures::ReadBytes(victim_);
        switch (change_) {
        case Change::Vanish: ASSERT_TRUE(QFile::remove(victim_)); return;
        case Change::Shrink: ASSERT_EQ(::truncate(native.constData(), bytes.size() / 2), 0); return;
        case Change::Grow: fixtures::WriteBytes(victim_, bytes + QByteArray(5000, 'x')); return;
        case Change::BecomeFolder:
            ASSERT_TRUE(QFile::remove(victim_));
            ASSERT_TRUE(QDir().mkdir(victim_));
            return;
        case Change::BecomeFifo:
            ASSERT_TRUE(QFile::remove(victim_));
            ASSERT_EQ(::mkfifo(native.constData(), 0600), 0);
            return;
        }
    }
    QString trigger_;
    QString victim_;
    Change change_;
    DecodingPictureSource decoder_{100, 100};
};

class ChangeBetweenWalkAndMatch : public FaultTest, public testing::WithParamInterface<ChangeCase> {};

TEST_P(ChangeBetweenWalkAndMatch, OnlyThePairOfTheChangedFileIsLost)
{
    identicalPair("a1.png", "a2.png", 1);
    identicalPair("b1.png", "b2.png", 2);
    identicalPair("c1.png", "c2.png", 3);
    const QString victimName = GetParam().changeEarlier ? "b1.png" : "b2.png";
    QMap<QString, QByteArray> untouched;
    for (const QString name : {"a1.png", "a2.png", "b1.png", "b2.png", "c1.png", "c2.png"}) {
        if (name != victimName)
            untouched[name] = fixtures::ReadBytes(path(name));
    }
    const QString victim = path(victimName);

    // A fifo that took the place of a picture must not be opened: opening one without a writer would block.
    ChangingSource source(path("b2.png"), victim, GetParam().change);
    Search(cat_, settings_, host_, root_, source);

    EXPECT_EQ(recorded(), (QStringList{"a1.png", "a2.png", "b1.png", "b2.png", "c1.png", "c2.png"}));
    if (GetParam().stillAlike) {
        EXPECT_EQ(pairs(), (QStringList{"a1.png|a2.png|100", "b1.png|b2.png|100", "c1.png|c2.png|100"}));
    } else {
        EXPECT_EQ(pairs(), (QStringList{"a1.png|a2.png|100", "c1.png|c2.png|100"}));
    }
    EXPECT_EQ(host_.lastFilesCountText(), "Total pictures scanned: 6 / 6");
    EXPECT_EQ(host_.lastDuplicatesText(), GetParam().stillAlike ? "Similar pairs found: 3" : "Similar pairs found: 2");
    for (auto it = untouched.cbegin(); it != untouched.cend(); ++it)
        EXPECT_EQ(fixtures::ReadBytes(path(it.key())), it.value()) << it.key().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ChangeBetweenWalkAndMatch,
    testing::Values(ChangeCase{"Vanishes", Change::Vanish, false}, ChangeCase{"Shrinks", Change::Shrink, false},
                    // Bytes added after the picture's end leave it decoding as before.
                    ChangeCase{"Grows", Change::Grow, false, true},
                    ChangeCase{"BecomesAFolder", Change::BecomeFolder, false},
                    ChangeCase{"BecomesAFifo", Change::BecomeFifo, false},
                    // The earlier picture was signed before its file changed.
                    ChangeCase{"EarlierVanishes", Change::Vanish, true, true},
                    ChangeCase{"EarlierShrinks", Change::Shrink, true, true},
                    ChangeCase{"EarlierGrows", Change::Grow, true, true},
                    ChangeCase{"EarlierBecomesAFolder", Change::BecomeFolder, true, true},
                    ChangeCase{"EarlierBecomesAFifo", Change::BecomeFifo, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------------------
// Entries that are not files

TEST_F(FaultTest, PipesSocketsDevicesAndLinksToThemAreNeverRecorded)
{
    identicalPair("a.png", "b.png", 4);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.jpg")).constData(), 0600), 0);
    ASSERT_EQ(::symlink("pipe.jpg", QFile::encodeName(path("to-pipe.png")).constData()), 0);
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(path("zero.bmp")).constData()), 0);

    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(path("socket.gif"));
    ASSERT_LT(static_cast<size_t>(socketPath.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.constData(), static_cast<size_t>(socketPath.size()));
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // A character device where the system lets us make one (it takes privileges).
    const bool device = ::mknod(QFile::encodeName(path("device.tif")).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;

    driverSearch();
    ::close(sock);

    EXPECT_EQ(recorded(), (QStringList{"a.png", "b.png"})) << "device node made: " << device;
    EXPECT_EQ(pairs(), QStringList{"a.png|b.png|100"});
    EXPECT_EQ(window_.summaries, QStringList{SummaryText(2, 1)});
}

// ---------------------------------------------------------------------------------------------------------
// Folders that cannot be listed

TEST_F(FaultTest, FolderThatCannotBeListedIsPassedOverAndTheRestIsSearched)
{
    identicalPair("open/a.png", "open/b.png", 5);
    identicalPair("locked/c.png", "locked/d.png", 6);
    identicalPair("z.png", "zz.png", 7);
    // The tree must be readable to whoever runs the search; only "locked" is closed.
    ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path("open")).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path("locked")).constData(), 0), 0);

    const bool ok = fixtures::RunWithoutPrivileges([this] {
        Catalogue cat;
        FakeSearchHost host;
        Search(cat, settings_, host, root_);
        return Recorded(cat, root_) == QStringList{"z.png", "zz.png", "open/a.png", "open/b.png"} &&
               PairTexts(cat, root_) == QStringList{"z.png|zz.png|100", "open/a.png|open/b.png|100"} &&
               host.lastFilesCountText() == "Total pictures scanned: 4 / 4";
    });
    ::chmod(QFile::encodeName(path("locked")).constData(), 0700);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(QFile::exists(path("locked/c.png")));
}

// ---------------------------------------------------------------------------------------------------------
// Paths and names the system cannot spell

// Removes a tree whose paths may be longer than the system accepts, one folder at a time by handle.
void RemoveTreeAt(int parent, const char* name)
{
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd >= 0) {
        if (DIR* d = ::fdopendir(::dup(fd))) {
            std::vector<std::string> names;
            while (const dirent* e = ::readdir(d)) {
                if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                    names.emplace_back(e->d_name);
            }
            ::closedir(d);
            for (const std::string& n : names) {
                if (::unlinkat(fd, n.c_str(), 0) != 0)
                    RemoveTreeAt(fd, n.c_str());
            }
        }
        ::close(fd);
    }
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

TEST_F(FaultTest, PathsLongerThanTheSystemAcceptsAreNotRecorded)
{
    identicalPair("a.png", "b.png", 8);
    const QByteArray picture = PictureBytes(9);
    // 22 folders of 200 letters: the deepest ones lie beyond the 4096 bytes a path may have.
    const std::string level(200, 'L');
    int fd = ::open(QFile::encodeName(dir_.path()).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    int64_t length = dir_.path().size();
    for (int depth = 0; depth < 22; ++depth) {
        ASSERT_EQ(::mkdirat(fd, level.c_str(), 0700), 0);
        const int next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
        length += 1 + static_cast<int64_t>(level.size());
        for (const char* name : {"p1.png", "p2.png"}) {
            const int file = ::openat(fd, name, O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ASSERT_GE(file, 0);
            ASSERT_EQ(::write(file, picture.constData(), static_cast<size_t>(picture.size())), picture.size());
            ::close(file);
        }
    }
    ::close(fd);
    ASSERT_GT(length, 4096);

    Search(cat_, settings_, host_, root_);
    const int parent = ::open(QFile::encodeName(dir_.path()).constData(), O_RDONLY | O_DIRECTORY);
    RemoveTreeAt(parent, level.c_str());
    ::close(parent);

    // Every recorded picture can be opened by its path; the deep ones cannot, so they are left out.
    const QStringList found = recorded();
    ASSERT_GE(found.size(), 4);
    EXPECT_EQ(found.mid(0, 2), (QStringList{"a.png", "b.png"}));
    int deepest = 0;
    for (int32_t i = 0; i < cat_.PicCapacity; ++i) {
        EXPECT_LT(QFile::encodeName(cat_.PicturePath(i)).size(), 4096);
        deepest = std::max(deepest, static_cast<int>(cat_.PicturePath(i).count(QLatin1Char('L')) / 200));
    }
    EXPECT_EQ(found.size(), 2 + 2 * deepest);
    EXPECT_GE(deepest, 18);
    // All the deep copies are one picture: each pairs with the copy just before it.
    EXPECT_EQ(cat_.PairCapacity, cat_.PicCapacity - 2) << "every reachable pair is found";
    EXPECT_EQ(pairs().first(), "a.png|b.png|100");
}

// Names whose bytes are not UTF-8 turn into text that names some other file (or none); such files are
// passed over rather than recorded under a name that would open, delete or move the wrong file.
// Writes a file by its raw name, which Qt's own functions cannot spell.
void WriteRaw(const QByteArray& nativePath, const QByteArray& bytes)
{
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    ::close(fd);
}

TEST_F(FaultTest, NamesThatAreNotUtf8AreNeverConfusedWithOtherFiles)
{
    identicalPair("a.png", "b.png", 10);
    const QByteArray picture = PictureBytes(11);
    const QByteArray other = PictureBytes(12);
    const QByteArray folder = QFile::encodeName(dir_.path()) + '/';
    // "caf\xE9" (Latin-1) reads back as the same text as "caf\xEF\xBF\xBD" (UTF-8 of the replacement sign).
    WriteRaw(folder + "caf\xEF\xBF\xBD.png", other);
    WriteRaw(folder + "caf\xE9.png", picture);
    ASSERT_EQ(::mkdir((folder + "sub\xFF").constData(), 0700), 0);
    WriteRaw(folder + "sub\xFF/c.png", picture);

    Search(cat_, settings_, host_, root_);
    const QByteArray latin1Bytes = fixtures::ReadBytes(QFile::decodeName(folder + "caf\xEF\xBF\xBD.png"));
    // Qt cannot remove what it cannot name: the test clears them itself.
    const int parent = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
    ::unlinkat(parent, "caf\xE9.png", 0);
    RemoveTreeAt(parent, "sub\xFF");
    ::close(parent);

    // The file that really carries the replacement sign is found and opened; the other two are not recorded,
    // so no pair holds a name that stands for a different file.
    EXPECT_EQ(recorded(), (QStringList{"a.png", "b.png", QStringLiteral("caf\uFFFD.png")}));
    EXPECT_EQ(pairs(), QStringList{"a.png|b.png|100"});
    for (int32_t i = 0; i < cat_.PicCapacity; ++i)
        EXPECT_EQ(cat_.Pictures[static_cast<size_t>(i)].CCVStage, TCCVStage::Full) << cat_.PicturePath(i).toStdString();
    EXPECT_EQ(latin1Bytes, other);
}

// ---------------------------------------------------------------------------------------------------------
// Loops, depth and width

TEST_F(FaultTest, LinkLoopsEndAndEveryPictureIsRecordedOnce)
{
    identicalPair("top/a.png", "top/sub/b.png", 13);
    ASSERT_EQ(::symlink("..", QFile::encodeName(path("top/sub/up")).constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(path("top")).constData(), QFile::encodeName(path("top/sub/again")).constData()), 0);
    ASSERT_EQ(::symlink("self", QFile::encodeName(path("top/self")).constData()), 0);
    ASSERT_EQ(::symlink("loop-b", QFile::encodeName(path("top/loop-a.png")).constData()), 0);
    ASSERT_EQ(::symlink("loop-a.png", QFile::encodeName(path("top/loop-b")).constData()), 0);

    driverSearch();

    EXPECT_EQ(recorded(), (QStringList{"top/a.png", "top/sub/b.png"}));
    EXPECT_EQ(pairs(), QStringList{"top/a.png|top/sub/b.png|100"});
    EXPECT_EQ(window_.summaries, QStringList{SummaryText(2, 1)});
}

TEST_F(FaultTest, TreeTwoHundredFoldersDeepIsWalkedToTheBottom)
{
    QString deep;
    for (int level = 0; level < 200; ++level)
        deep += QStringLiteral("d/");
    identicalPair("top.png", deep + "bottom.png", 14);
    identicalPair(deep + "x1.png", deep + "x2.png", 15);

    driverSearch();

    EXPECT_EQ(recorded(), (QStringList{"top.png", deep + "bottom.png", deep + "x1.png", deep + "x2.png"}));
    EXPECT_EQ(pairs(), (QStringList{"top.png|" + deep + "bottom.png|100", deep + "x1.png|" + deep + "x2.png|100"}));
    EXPECT_EQ(window_.summaries, QStringList{SummaryText(4, 2)});
}

TEST_F(FaultTest, HundredThousandFilesInOneFolder)
{
    constexpr int kFiles = 100000;
    // Mostly empty files (never recorded), and one in ten a one-byte file that is recorded and fails to decode.
    const QByteArray folder = QFile::encodeName(dir_.path()) + '/';
    for (int k = 0; k < kFiles - 2; ++k) {
        const QByteArray name = folder + "f" + QByteArray::number(k).rightJustified(6, '0') + ".png";
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        if (k % 10 == 0) {
            ASSERT_EQ(::write(fd, "x", 1), 1);
        }
        ::close(fd);
    }
    identicalPair("g-first.png", "g-second.png", 16);

    driverSearch();

    const QStringList found = recorded();
    ASSERT_EQ(found.size(), (kFiles - 2) / 10 + 1 + 2);
    EXPECT_EQ(found.first(), "f000000.png");
    EXPECT_EQ(found.mid(found.size() - 2), (QStringList{"g-first.png", "g-second.png"}));
    EXPECT_EQ(pairs(), QStringList{"g-first.png|g-second.png|100"});
    EXPECT_EQ(window_.summaries, QStringList{SummaryText(static_cast<int>(found.size()), 1)});
}

// ---------------------------------------------------------------------------------------------------------
// Pictures made to exhaust the decoder

// A progressive JPEG whose first scan is repeated until the file holds `scans` scans. libjpeg only warns
// about the repeats, and would go through every one of them over the whole picture.
QByteArray JpegWithScans(int scans)
{
    fixtures::JpegOptions options;
    options.Progressive = true;
    const QByteArray jpeg = fixtures::EncodeJpeg(fixtures::MakeNaturalPicture(512, 512, 17), options);
    const qsizetype sos = fixtures::FindJpegMarker(jpeg, 0xDA) - 2;  // the marker's own first byte
    const auto byteAt = [&jpeg](qsizetype i) { return static_cast<uint8_t>(jpeg[i]); };
    // The scan's data starts after its header and ends at the next marker that is neither a stuffed 0xFF00
    // nor a restart marker.
    qsizetype end = sos + 2 + (byteAt(sos + 2) << 8 | byteAt(sos + 3));  // marker, then the header's length
    while (end + 1 < jpeg.size() &&
           !(byteAt(end) == 0xFF && byteAt(end + 1) != 0 && (byteAt(end + 1) < 0xD0 || byteAt(end + 1) > 0xD7)))
        ++end;
    const QByteArray firstScan = jpeg.mid(sos, end - sos);
    QByteArray out = jpeg.left(end);
    for (int k = 1; k < scans; ++k)
        out += firstScan;
    out += jpeg.mid(end);
    return out;
}

// A PNG whose header alone declares a picture far past the decoding limit; its data is a short valid stream.
QByteArray PngBombHeader(uint32_t width, uint32_t height)
{
    const QImage seed = fixtures::MakeUniformPicture(8, 8, Qt::black).convertToFormat(QImage::Format_Mono);
    return fixtures::WithPngSize(fixtures::EncodeImage(seed, "png"), width, height);
}

// A PNG whose few kilobytes really inflate a thousandfold: 6000 x 6000 black 1-bit pixels. It lies within
// the decoding limit, so it is decoded (to a plain black picture), in bounded memory.
QByteArray InflatingPngBomb()
{
    constexpr uint32_t kSide = 6000;
    constexpr qsizetype kRowBytes = kSide / 8 + 1;  // filter byte, then 1 bit per pixel
    const QByteArray zlib = qCompress(QByteArray(kRowBytes * kSide, '\0'), 9).mid(4);  // drop Qt's length prefix
    const QImage seed = fixtures::MakeUniformPicture(8, 8, Qt::black).convertToFormat(QImage::Format_Mono);
    const QByteArray png = fixtures::WithPngSize(fixtures::EncodeImage(seed, "png"), kSide, kSide);
    const qsizetype idat = png.indexOf("IDAT") - 4;
    const qsizetype iend = png.indexOf("IEND") - 4;
    QByteArray chunk;
    const auto put32 = [&chunk](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            chunk.append(static_cast<char>((v >> shift) & 0xFF));
    };
    put32(static_cast<uint32_t>(zlib.size()));
    const QByteArray body = QByteArray("IDAT") + zlib;
    chunk += body;
    put32(fixtures::Crc32(reinterpret_cast<const uint8_t*>(body.constData()), static_cast<size_t>(body.size())));
    return png.left(idat) + chunk + png.mid(iend);
}

struct HostileCase {
    const char* name;
    const char* fileName;
    std::function<QByteArray()> make;
    bool decodes = false;  // a valid picture after all: signed, but paired with nothing
};

class HostilePicture : public FaultTest, public testing::WithParamInterface<HostileCase> {};

TEST_P(HostilePicture, IsLeftOutAndTheOtherPairsSurvive)
{
    identicalPair("a.png", "b.png", 18);
    write("c.jpg", fixtures::EncodeJpeg(fixtures::MakeNaturalPicture(160, 120, 19)));
    write("d.jpg", fixtures::ReadBytes(path("c.jpg")));
    const QByteArray hostile = GetParam().make();
    write(GetParam().fileName, hostile);

    driverSearch();

    EXPECT_EQ(cat_.PicCapacity, 5);
    // JPEG files come before PNG files in the walk.
    EXPECT_EQ(pairs(), (QStringList{"c.jpg|d.jpg|100", "a.png|b.png|100"}));
    EXPECT_EQ(window_.summaries, QStringList{SummaryText(5, 2)});
    for (int32_t i = 0; i < cat_.PicCapacity; ++i) {
        if (cat_.Pictures[static_cast<size_t>(i)].FileName == QLatin1String(GetParam().fileName)) {
            EXPECT_EQ(cat_.Pictures[static_cast<size_t>(i)].CCVStage == TCCVStage::Full, GetParam().decodes);
        }
    }
    EXPECT_EQ(fixtures::ReadBytes(path(GetParam().fileName)), hostile);
}

QByteArray Huge(const char* format)
{
    const QImage small = fixtures::MakeNaturalPicture(16, 16, 20);
    const QByteArray name(format);
    if (name == "jpg")
        return fixtures::WithJpegFrameSize(fixtures::EncodeJpeg(small), 60000, 60000);
    if (name == "progressive") {
        fixtures::JpegOptions options;
        options.Progressive = true;
        return fixtures::WithJpegFrameSize(fixtures::EncodeJpeg(small, options), 60000, 60000);
    }
    if (name == "png")
        return fixtures::WithPngSize(fixtures::EncodeImage(small, "png"), 60000, 60000);
    if (name == "gif") {
        QByteArray gif = fixtures::MakeGif({qRgb(1, 2, 3)}, {fixtures::GifFrame{4, 4, std::vector<uint8_t>(16), -1}});
        gif[6] = gif[8] = static_cast<char>(60000 & 0xFF);
        gif[7] = gif[9] = static_cast<char>(60000 >> 8);
        return gif;
    }
    if (name == "bmp") {
        QByteArray bmp = fixtures::EncodeImage(small, "bmp");
        for (int offset : {18, 22})
            for (int k = 0; k < 4; ++k)
                bmp[offset + k] = static_cast<char>((60000 >> (8 * k)) & 0xFF);
        return bmp;
    }
    return {};
}

INSTANTIATE_TEST_SUITE_P(
    Faults, HostilePicture,
    testing::Values(// A baseline file decodes row by row at an eighth of its size, the missing data as grey: bounded.
                    HostileCase{"Declares60000x60000Jpeg", "huge.jpg", [] { return Huge("jpg"); }, true},
                    HostileCase{"Declares60000x60000ProgressiveJpeg", "huge.jpeg", [] { return Huge("progressive"); }},
                    HostileCase{"Declares60000x60000Png", "huge.png", [] { return Huge("png"); }},
                    HostileCase{"Declares60000x60000Gif", "huge.gif", [] { return Huge("gif"); }},
                    HostileCase{"Declares60000x60000Bmp", "huge.bmp", [] { return Huge("bmp"); }},
                    HostileCase{"PngBombHeader", "bomb.png", [] { return PngBombHeader(100000, 100000); }},
                    HostileCase{"PngBombThatInflates", "inflating.png", InflatingPngBomb, true},
                    HostileCase{"JpegWithTenThousandScans", "scans.jpg", [] { return JpegWithScans(10000); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JpegScans, TenThousandScansAreRefusedAndAFewHundredAreDecoded)
{
    QTemporaryDir dir;
    TBitmap work;
    fixtures::WriteBytes(dir.filePath("many.jpg"), JpegWithScans(10000));
    try {
        LoadWorkPicture(dir.filePath("many.jpg"), work, 0, 0);
        ADD_FAILURE() << "a file of 10000 scans decoded";
    } catch (const PictureError& error) {
        EXPECT_NE(std::string(error.what()).find("too many scans"), std::string::npos) << error.what();
    }
    fixtures::WriteBytes(dir.filePath("some.jpg"), JpegWithScans(400));
    const LoadResult result = LoadWorkPicture(dir.filePath("some.jpg"), work, 0, 0);
    EXPECT_EQ(result.Width, 512);
}

}  // namespace
