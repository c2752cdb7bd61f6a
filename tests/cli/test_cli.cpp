// voralin-cli from the outside: a generated folder tree searched end to end and the CSV checked byte for
// byte, the usage errors, the output file, and the signature diagnostic.
#include "core/PictureFixtures.h"

#include <QDateTime>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <functional>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/sysmacros.h>
#include <map>
#include <set>

namespace {

// The program keeps a signature cache under XDG_CACHE_HOME; every run here gets a temporary one.
const QTemporaryDir g_cacheHome;
[[maybe_unused]] const bool g_cacheHomeSet = qputenv("XDG_CACHE_HOME", g_cacheHome.path().toLocal8Bit());
// And it reads the pairs marked "Not a duplicate" in the window under XDG_DATA_HOME: none unless a test writes them.
const QTemporaryDir g_dataHome;
[[maybe_unused]] const bool g_dataHomeSet = qputenv("XDG_DATA_HOME", g_dataHome.path().toLocal8Bit());

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

CliRun runCli(const QStringList& args, const QString& workDir = {}) {
    QProcess process;
    process.setProgram(QStringLiteral(VORALIN_CLI));
    process.setArguments(args);
    if (!workDir.isEmpty())
        process.setWorkingDirectory(workDir);
    process.start();
    process.closeWriteChannel();
    if (!process.waitForFinished(300000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

// Kept positions of one file as the diagnostic prints them.
struct Signature {
    QSet<QString> pos;
    QSet<QString> neg;
};

std::map<QString, Signature> signaturesOf(const QStringList& files) {
    const CliRun run = runCli(QStringList{"--signature"} + files);
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
    std::map<QString, Signature> out;
    QString current;
    for (const QString& line : QString::fromUtf8(run.out).split(QLatin1Char('\n'))) {
        const auto listed = [&line](const char* key) {
            const QStringList items = line.mid(static_cast<qsizetype>(strlen(key))).split(' ', Qt::SkipEmptyParts);
            return QSet<QString>(items.begin(), items.end());
        };
        if (line.startsWith("file: "))
            current = line.mid(6);
        else if (line.startsWith("positive: "))
            out[current].pos = listed("positive: ");
        else if (line.startsWith("negative: "))
            out[current].neg = listed("negative: ");
    }
    return out;
}

// Signed positions two pictures share.
int sharedPositions(const Signature& a, const Signature& b) {
    return static_cast<int>((a.pos & b.pos).size() + (a.neg & b.neg).size());
}

// The similarity text of a pair that shares `count` positions, computed here on its own.
QString similarityText(int count) {
    const double score = count * 100.0 / 250;
    return QString::number(static_cast<long long>(std::round(std::clamp((score - 50) * 2, 1.0, 100.0))));
}

QByteArray csvOf(const std::vector<std::tuple<QString, QString, QString>>& pairs) {
    QByteArray out("\xEF\xBB\xBFGroup Num;Picture Filename;Similarity;\r\n");
    int group = 0;
    for (const auto& [first, second, similarity] : pairs) {
        ++group;
        for (const QString& path : {first, second}) {
            const bool quote = path.contains(';') || path.contains('"');
            const QString field = quote ? '"' + QString(path).replace("\"", "\"\"") + '"' : path;
            out += QStringLiteral("%1;%2;%3;\r\n").arg(group).arg(field, similarity).toUtf8();
        }
    }
    return out;
}

class CliTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        root_ = dir_.filePath("tree");
        QDir().mkpath(root_ + "/sub;x");
        QDir().mkpath(root_ + QStringLiteral(u"/Ünïcode"));
        const QImage picture = fixtures::MakeNaturalPicture(320, 240, 1);

        fixtures::WriteImage(path("a_orig.png"), picture, "png");
        QFile::copy(path("a_orig.png"), path("b_copy.png"));
        fixtures::WriteImage(path("c_other.png"), fixtures::MakeNaturalPicture(320, 240, 2), "png");
        // Would pair with a_orig if it were not below the default minimum of 100 x 100.
        fixtures::WriteImage(path("d_small.png"), picture.scaled(80, 60, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                             "png");
        QByteArray corrupt = fixtures::EncodeImage(picture, "png").left(300);
        corrupt.append(QByteArray(500, '\x5a'));
        fixtures::WriteBytes(path("e_corrupt.png"), corrupt);
        fixtures::WriteBytes(path("sub;x/f_recompressed.jpg"), fixtures::EncodeJpeg(picture, {.Quality = 55}));
        fixtures::WriteImage(path("sub;x/g_resized.png"),
                             picture.scaled(480, 360, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), "png");
        QFile::copy(path("sub;x/g_resized.png"), path(QStringLiteral(u"Ünïcode/h_copy.png")));
    }
    QString path(const QString& relative) const { return root_ + '/' + relative; }

    QTemporaryDir dir_;
    QString root_;
};

TEST_F(CliTest, SearchWritesTheExpectedPairsByteForByte) {
    const QString a = path("a_orig.png"), b = path("b_copy.png"), c = path("c_other.png");
    const QString f = path("sub;x/f_recompressed.jpg"), g = path("sub;x/g_resized.png");
    const QString h = path(QStringLiteral(u"Ünïcode/h_copy.png"));
    auto sig = signaturesOf({a, c, f, g});
    // The tree is built so that the similar copies clearly pass and the unrelated picture clearly fails.
    ASSERT_GE(sharedPositions(sig[a], sig[f]), 125);
    ASSERT_GE(sharedPositions(sig[f], sig[g]), 125);
    ASSERT_LT(sharedPositions(sig[a], sig[c]), 125);
    ASSERT_LT(sharedPositions(sig[c], sig[f]), 125);

    const CliRun run = runCli({"--quiet", root_});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    // Catalogue order: the root's pictures by name, then sub;x (JPEG before PNG), then Ünïcode. Each picture
    // pairs with the nearest earlier one that passes; the too-small and the corrupt picture never take part.
    const QByteArray expected = csvOf({{a, b, "100"},
                                       {b, f, similarityText(sharedPositions(sig[a], sig[f]))},
                                       {f, g, similarityText(sharedPositions(sig[f], sig[g]))},
                                       {g, h, "100"}});
    EXPECT_EQ(run.out, expected);
    EXPECT_TRUE(run.out.contains("\"" + f.toUtf8() + "\""));
    // Quiet: no progress, only the summary at the end. (libpng itself may have complained about the corrupt
    // file before it.)
    EXPECT_FALSE(run.err.contains("  Similar pairs found"));
    EXPECT_TRUE(QRegularExpression("(^|\n)Search finished\\.\nTotal pictures scanned: 8 / 8\nSimilar pairs found: 4\n"
                                   "Elapsed time: \\d\\d:\\d\\d:\\d\\d\n$")
                    .match(QString::fromUtf8(run.err))
                    .hasMatch())
        << run.err.toStdString();
}

// Pictures from one encoder at one size share their first 256 bytes; alike ones among them still pair.
TEST_F(CliTest, PicturesSharingTheirHeadsPairWhenAlike) {
    const QString folder = dir_.filePath("one-encoder");
    QDir().mkpath(folder);
    const QImage picture = fixtures::MakeNaturalPicture(320, 240, 7);
    QImage brighter = picture;
    for (int y = 0; y < brighter.height(); ++y)
        for (int x = 0; x < brighter.width(); ++x) {
            const QRgb c = brighter.pixel(x, y);
            brighter.setPixel(x, y, qRgb(std::min(255, qRed(c) + 6), std::min(255, qGreen(c) + 6), std::min(255, qBlue(c) + 6)));
        }
    const QString first = folder + "/p1_first.jpg", alike = folder + "/p2_alike.jpg", other = folder + "/p3_other.jpg";
    fixtures::WriteBytes(first, fixtures::EncodeJpeg(picture, {.Quality = 85}));
    fixtures::WriteBytes(alike, fixtures::EncodeJpeg(brighter, {.Quality = 85}));
    fixtures::WriteBytes(other, fixtures::EncodeJpeg(fixtures::MakeNaturalPicture(320, 240, 8), {.Quality = 85}));
    const QByteArray head = fixtures::ReadBytes(first).left(256);
    ASSERT_EQ(fixtures::ReadBytes(alike).left(256), head);
    ASSERT_EQ(fixtures::ReadBytes(other).left(256), head);
    auto sig = signaturesOf({first, alike, other});
    ASSERT_GE(sharedPositions(sig[first], sig[alike]), 125);
    ASSERT_LT(sharedPositions(sig[first], sig[other]), 125);
    ASSERT_LT(sharedPositions(sig[alike], sig[other]), 125);

    const CliRun run = runCli({"--quiet", folder});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, csvOf({{first, alike, similarityText(sharedPositions(sig[first], sig[alike]))}}));
    const CliRun identical = runCli({"--quiet", "--identical-only", folder});
    ASSERT_EQ(identical.exitCode, 0);
    EXPECT_EQ(identical.out, csvOf({}));
}

TEST_F(CliTest, IdenticalOnlyAndLowerMinimums) {
    const CliRun identical = runCli({"--quiet", "--identical-only", root_});
    ASSERT_EQ(identical.exitCode, 0);
    EXPECT_EQ(identical.out, csvOf({{path("a_orig.png"), path("b_copy.png"), "100"},
                                    {path("sub;x/g_resized.png"), path(QStringLiteral(u"Ünïcode/h_copy.png")), "100"}}));

    // With a minimum below its size the small copy takes part and pairs with its nearest similar predecessor.
    const CliRun small = runCli({"--quiet", "--min-width", "80", "--min-height=60", "--types", "PNG", "--no-subfolders",
                                 root_});
    ASSERT_EQ(small.exitCode, 0);
    EXPECT_TRUE(small.out.contains(("2;" + path("d_small.png") + ";").toUtf8())) << small.out.toStdString();
}

TEST_F(CliTest, TypesAndSubfolderSwitchLimitTheWalk) {
    const CliRun jpgOnly = runCli({"--quiet", "--types", "jpg", root_});
    ASSERT_EQ(jpgOnly.exitCode, 0);
    EXPECT_EQ(jpgOnly.out, csvOf({}));
    EXPECT_TRUE(jpgOnly.err.contains("Total pictures scanned: 1 / 1\n"));

    const CliRun flat = runCli({"--quiet", "--no-subfolders", root_});
    ASSERT_EQ(flat.exitCode, 0);
    EXPECT_EQ(flat.out, csvOf({{path("a_orig.png"), path("b_copy.png"), "100"}}));
}

// The newer types made by their own tools from one picture: each pairs in a real search, and --types names
// them. Table order puts the JPEG first, so every other file finds an earlier partner.
TEST_F(CliTest, NewerTypesPairWithAJpegOfTheSamePicture) {
    QTemporaryDir dir;
    const QImage picture = fixtures::MakeNaturalPicture(640, 480, 11);
    const QString png = dir.filePath("source.png");
    fixtures::WriteImage(png, picture, "png");
    const QString folder = dir.filePath("photos");
    QDir().mkpath(folder);
    fixtures::WriteJpeg(folder + "/photo.jpg", picture, 90);
    const auto tool = [](const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        return p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };
    ASSERT_TRUE(tool("cwebp", {"-quiet", "-q", "85", png, "-o", folder + "/photo.webp"}));
    ASSERT_TRUE(tool("heif-enc", {"-q", "85", "-p", "preset=ultrafast", "-o", folder + "/photo.HEIC", png}));
    ASSERT_TRUE(tool("avifenc", {"-s", "10", png, folder + "/photo.avif"}));
    ASSERT_TRUE(tool("cjxl", {"--quiet", png, folder + "/photo.jxl"}));

    const CliRun run = runCli({"--quiet", "--no-cache", "--types", "jpg,webp,heic,avif,jxl", folder});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString csv = QString::fromUtf8(run.out);
    for (const char* name : {"photo.webp", "photo.HEIC", "photo.avif", "photo.jxl"})
        EXPECT_TRUE(csv.contains(QStringLiteral(";%1/%2;").arg(folder, name))) << name << "\n" << run.out.toStdString();
    EXPECT_TRUE(csv.contains(QStringLiteral("\r\n4;"))) << run.out.toStdString();
    EXPECT_FALSE(csv.contains(QStringLiteral("\r\n5;")));

    // Left out by --types, they are not looked at.
    const CliRun jpgOnly = runCli({"--quiet", "--no-cache", "--types", "jpg", folder});
    EXPECT_EQ(jpgOnly.out, csvOf({}));
}

TEST_F(CliTest, RelativeNestedAndRepeatedFoldersAreWalkedOnce) {
    const CliRun run = runCli({"--quiet", "--identical-only", "tree/sub;x", "tree", "./tree/", "TREE"}, dir_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, csvOf({{path("a_orig.png"), path("b_copy.png"), "100"},
                              {path("sub;x/g_resized.png"), path(QStringLiteral(u"Ünïcode/h_copy.png")), "100"}}));
    EXPECT_TRUE(run.err.contains("Total pictures scanned: 8 / 8\n"));
}

// Any thread count, with or without the cache, and a second run served from the cache: the same bytes.
TEST_F(CliTest, ThreadsAndCacheGiveTheSameCsv) {
    const auto cacheFiles = [] { return QDir(g_cacheHome.path() + "/Voralin").entryList(QDir::Files); };
    const QStringList before = cacheFiles();
    const CliRun plain = runCli({"--quiet", "--threads", "1", "--no-cache", root_});
    ASSERT_EQ(plain.exitCode, 0);
    EXPECT_EQ(cacheFiles(), before) << "--no-cache writes nothing";
    for (const QStringList& args : {QStringList{"--threads", "4"}, QStringList{"--threads=2"}, QStringList{}}) {
        const CliRun run = runCli(QStringList{"--quiet"} + args + QStringList{root_});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, plain.out) << args.join(' ').toStdString();
    }
    EXPECT_GT(cacheFiles().size(), before.size());
}

// Every kind of hostile entry in one folder beside real pairs: the search ends, the CSV is the same without the
// cache, with a cold one and with a warm one, and no entry of the folder is changed, moved or replaced.
TEST_F(CliTest, AFolderOfEveryHostileEntryEndsAndChangesNothing) {
    const QString h = dir_.filePath("hostile");
    ASSERT_TRUE(QDir().mkpath(h + "/loop") && QDir().mkpath(h + "/dir.jpg"));
    const auto at = [&h](const char* name) { return QFile::encodeName(h + '/' + QLatin1String(name)); };
    const QImage picture = fixtures::MakeNaturalPicture(320, 240, 7);
    fixtures::WriteImage(h + "/real.png", picture, "png");
    fixtures::WriteBytes(h + "/real copy.jpg", fixtures::EncodeJpeg(picture, {.Quality = 80}));
    const QByteArray jpeg = fixtures::EncodeJpeg(picture, {.Quality = 90});
    fixtures::WriteBytes(h + "/cut.jpg", jpeg.left(jpeg.size() / 3));
    QByteArray flipped = jpeg;
    for (qsizetype i = 200; i < flipped.size(); i += 97)
        flipped[i] = static_cast<char>(flipped[i] ^ 0x5a);
    fixtures::WriteBytes(h + "/flipped.jpg", flipped);
    // A PNG header that claims 65535 x 65535 pixels, and nothing behind it.
    fixtures::WriteBytes(h + "/huge.png", QByteArray::fromHex("89504e470d0a1a0a0000000d494844520000ffff0000ffff0806000000"));
    fixtures::WriteBytes(h + "/empty.gif", {});
    fixtures::WriteBytes(h + QStringLiteral("/new\nline.png"), fixtures::EncodeImage(picture, "png"));
    ASSERT_EQ(::link(at("real.png").constData(), at("hard link.png").constData()), 0);
    ASSERT_EQ(::symlink("real.png", at("link.png").constData()), 0);
    ASSERT_EQ(::symlink("missing.png", at("dangling.png").constData()), 0);
    ASSERT_EQ(::symlink("..", at("loop/up").constData()), 0);
    ASSERT_EQ(::mkfifo(at("fifo.jpg").constData(), 0600), 0);
    // A device where one may be made; the fifo stands for it otherwise.
    [[maybe_unused]] const bool device = ::mknod(at("device.tif").constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    fixtures::WriteBytes(h + "/unreadable.bmp", fixtures::EncodeImage(picture, "bmp"));
    ASSERT_EQ(::chmod(at("unreadable.bmp").constData(), 0), 0);

    // What every entry is: its kind, size, time and, for a regular file, its content.
    const auto snapshot = [&h] {
        std::map<QString, QString> entries;
        QDirIterator it(h, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            struct stat st {};
            if (::lstat(QFile::encodeName(p).constData(), &st) != 0)
                continue;
            QString facts = QStringLiteral("%1 %2 %3 %4")
                                .arg(st.st_mode)
                                .arg(st.st_size)
                                .arg(st.st_mtim.tv_sec)
                                .arg(st.st_mtim.tv_nsec);
            if (S_ISREG(st.st_mode) && (st.st_mode & 0444) != 0)
                facts += ' ' + QCryptographicHash::hash(fixtures::ReadBytes(p), QCryptographicHash::Sha256).toHex();
            entries[p] = facts;
        }
        return entries;
    };
    const std::map<QString, QString> before = snapshot();
    const CliRun plain = runCli({"--quiet", "--no-cache", h});
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_TRUE(plain.out.contains("real.png")) << plain.out.toStdString();
    EXPECT_TRUE(plain.out.contains("real copy.jpg")) << plain.out.toStdString();
    EXPECT_TRUE(plain.out.contains("hard link.png")) << plain.out.toStdString();
    for (int run = 0; run < 2; ++run) {
        const CliRun cached = runCli({"--quiet", h});
        EXPECT_EQ(cached.exitCode, 0);
        EXPECT_EQ(cached.out, plain.out) << "run " << run;
    }
    EXPECT_EQ(snapshot(), before);
}

TEST_F(CliTest, OutputFileGetsTheSameBytes) {
    const CliRun toStdout = runCli({"--quiet", root_});
    const QString file = dir_.filePath("pairs.csv");
    fixtures::WriteBytes(file, "an older list");
    const CliRun toFile = runCli({"--quiet", "--output", file, root_});
    ASSERT_EQ(toFile.exitCode, 0) << toFile.err.toStdString();
    EXPECT_TRUE(toFile.out.isEmpty());
    EXPECT_EQ(fixtures::ReadBytes(file), toStdout.out);
}

TEST_F(CliTest, UnwritableOutputFails) {
    const CliRun run = runCli({"--quiet", "--output", dir_.filePath("no/such/folder/pairs.csv"), root_});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("no/such/folder/pairs.csv")) << run.err.toStdString();
}

// What already stands at the output path is never replaced by another node: a device or fifo is written to
// (or the write fails), a folder is refused, a link keeps pointing where it did and its file gets the list.
TEST_F(CliTest, OutputNeverReplacesTheNodeItIsGiven) {
    const QByteArray expected = runCli({"--quiet", root_}).out;
    struct NodeCase {
        const char* name;
        std::function<bool(const QByteArray&)> make;
        int exitCode;
        mode_t kind;
    };
    const QString target = dir_.filePath("target.csv");
    fixtures::WriteBytes(target, "old");
    const QByteArray targetNative = QFile::encodeName(target);
    const std::vector<NodeCase> cases = {
        {"device", [](const QByteArray& p) { return ::mknod(p.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0; }, 0, S_IFCHR},
        {"fifo", [](const QByteArray& p) { return ::mkfifo(p.constData(), 0600) == 0; }, 1, S_IFIFO},
        {"folder", [](const QByteArray& p) { return ::mkdir(p.constData(), 0700) == 0; }, 1, S_IFDIR},
        {"link", [&](const QByteArray& p) { return ::symlink(targetNative.constData(), p.constData()) == 0; }, 0, S_IFLNK},
    };
    for (const NodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString out = dir_.filePath(QStringLiteral("out-%1").arg(QLatin1String(c.name)));
        const QByteArray native = QFile::encodeName(out);
        if (!c.make(native))
            continue;  // a device cannot be made here; the fifo still shows the rule
        const CliRun run = runCli({"--quiet", "--output", out, root_});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        if (c.exitCode != 0) {
            EXPECT_TRUE(run.err.contains("Unable to write to " + native)) << run.err.toStdString();
        }
        struct stat st {};
        ASSERT_EQ(::lstat(native.constData(), &st), 0);
        EXPECT_EQ(st.st_mode & S_IFMT, c.kind);
    }
    EXPECT_EQ(fixtures::ReadBytes(target), expected);
}

// Names the system's encoding cannot hold cannot be searched, but are never passed over without a word: the
// summary counts them and each is listed on standard error with its bytes as they are.
TEST_F(CliTest, NamesTheSystemCannotSpellAreCountedAndListed) {
    const QByteArray folder = QFile::encodeName(dir_.filePath("latin"));
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    const QByteArray name = folder + "/Caf\xe9.png";
    if (QFile::encodeName(QFile::decodeName(name)) == name)
        GTEST_SKIP() << "every byte is a character in this locale";
    const QByteArray png = fixtures::EncodeImage(fixtures::MakeNaturalPicture(120, 120, 4), "png");
    QFile out(QFile::decodeName(folder + "/plain.png"));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(png);
    out.close();
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, png.constData(), static_cast<size_t>(png.size())), png.size());
    ::close(fd);
    const CliRun run = runCli({QFile::decodeName(folder)});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains("Passed over, names not readable in this system's encoding: 1\n")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("passed over: " + name + "\n")) << run.err.toStdString();
}

TEST_F(CliTest, ProgressGoesToStandardErrorUnlessQuiet) {
    const CliRun run = runCli({root_});
    ASSERT_EQ(run.exitCode, 0);
    // Not a terminal: plain lines only, no carriage returns or escape sequences.
    EXPECT_FALSE(run.err.contains('\r'));
    EXPECT_FALSE(run.err.contains('\x1b'));
    EXPECT_TRUE(run.err.contains("Total pictures scanned: 0 / 1  Similar pairs found: 0\n")) << run.err.toStdString();
    EXPECT_TRUE(run.err.endsWith("\n"));
}

TEST_F(CliTest, MissingFolderIsReportedAndPassedOver) {
    const CliRun run = runCli({"--quiet", "--identical-only", dir_.filePath("gone"), root_ + "/sub;x"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains("gone")) << run.err.toStdString();
    EXPECT_EQ(run.out, csvOf({}));
}

// Ctrl-C (once or twice, as impatient users and `timeout -s INT` send it) and SIGTERM are stop requests: the
// search ends as interrupted and the pairs found so far are written. The signals are sent once the progress
// shows a pair; on a machine fast enough to finish before that, the test has nothing to interrupt and is
// skipped.
struct SignalCase {
    const char* name;
    std::vector<int> sent;
};

class CliSignalTest : public CliTest, public testing::WithParamInterface<SignalCase> {};

TEST_P(CliSignalTest, InterruptWritesThePairsFoundSoFar) {
    const QString many = dir_.filePath("many");
    QDir().mkpath(many);
    const QByteArray png = fixtures::EncodeImage(fixtures::MakeNaturalPicture(120, 120, 9), "png");
    constexpr int kCopies = 5000;
    for (int k = 0; k < kCopies; ++k)
        fixtures::WriteBytes(many + QStringLiteral("/p%1.png").arg(k, 5, 10, QLatin1Char('0')), png);

    QProcess process;
    // One decoding thread keeps the run long enough for the interrupt to land well before its end.
    process.start(QStringLiteral(VORALIN_CLI), {"--identical-only", "--threads", "1", many});
    ASSERT_TRUE(process.waitForStarted());
    QByteArray err;
    bool interrupted = false;
    const QRegularExpression pairShown("Similar pairs found: [1-9]");
    while (!interrupted && process.state() == QProcess::Running) {
        process.waitForReadyRead(1000);
        err += process.readAllStandardError();
        if (pairShown.match(QString::fromUtf8(err)).hasMatch()) {
            for (int signal : GetParam().sent)
                ::kill(static_cast<pid_t>(process.processId()), signal);
            interrupted = true;
        }
    }
    ASSERT_TRUE(process.waitForFinished(300000));
    err += process.readAllStandardError();
    if (!interrupted || err.contains("\nSearch finished.\n"))
        GTEST_SKIP() << "the search ended before it could be interrupted";
    ASSERT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(err.contains("\nSearch interrupted.\n")) << err.toStdString();

    const QByteArray csv = process.readAllStandardOutput();
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBFGroup Num;Picture Filename;Similarity;\r\n"));
    const QStringList lines = QString::fromUtf8(csv.mid(3)).split("\r\n");
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines.last().isEmpty());
    const int pairs = static_cast<int>(lines.size() - 2) / 2;
    EXPECT_GE(pairs, 1);
    EXPECT_LT(pairs, kCopies - 1);
    for (int k = 0; k < pairs; ++k) {
        EXPECT_EQ(lines[1 + 2 * k], QStringLiteral("%1;%2/p%3.png;100;").arg(k + 1).arg(many).arg(k, 5, 10, QLatin1Char('0')));
        EXPECT_EQ(lines[2 + 2 * k], QStringLiteral("%1;%2/p%3.png;100;").arg(k + 1).arg(many).arg(k + 1, 5, 10, QLatin1Char('0')));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CliSignalTest,
                         testing::Values(SignalCase{"CtrlC", {SIGINT}}, SignalCase{"CtrlCTwice", {SIGINT, SIGINT}},
                                         SignalCase{"Terminate", {SIGTERM}}),
                         [](const testing::TestParamInfo<SignalCase>& info) { return std::string(info.param.name); });

// The fields of one CSV line, quotes undone.
QStringList csvFields(const QString& line) {
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype k = 0; k < line.size(); ++k) {
        const QChar c = line[k];
        if (quoted && c == '"' && k + 1 < line.size() && line[k + 1] == '"') {
            field += c;
            ++k;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ';' && !quoted) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    return fields;
}

// The pairs of a CSV as (first path, second path, similarity text), in file order.
std::vector<std::tuple<QString, QString, QString>> csvPairs(const QByteArray& csv) {
    std::vector<std::tuple<QString, QString, QString>> pairs;
    const QStringList lines = QString::fromUtf8(csv.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (qsizetype k = 1; k + 1 < lines.size(); k += 2) {
        const QStringList first = csvFields(lines[k]);
        const QStringList second = csvFields(lines[k + 1]);
        pairs.emplace_back(first[1], second[1], first[2]);
    }
    return pairs;
}

// Connected components of the pairs, each as its sorted paths.
std::set<QStringList> componentsOf(const std::vector<std::tuple<QString, QString, QString>>& pairs) {
    std::map<QString, QString> parent;
    const auto find = [&parent](QString k) {
        while (parent[k] != k)
            k = parent[k];
        return k;
    };
    for (const auto& [a, b, similarity] : pairs) {
        parent.try_emplace(a, a);
        parent.try_emplace(b, b);
        parent[find(a)] = find(b);
    }
    std::map<QString, QStringList> byRoot;
    for (const auto& [name, up] : parent)
        byRoot[find(name)] << name;
    std::set<QStringList> out;
    for (auto& [root, names] : byRoot) {
        names.sort();
        out.insert(names);
    }
    return out;
}

TEST_F(CliTest, GroupsAreTheConnectedComponentsOfTheCsvPairs) {
    const QString more = dir_.filePath("more");
    QDir().mkpath(more);
    QFile::copy(path("c_other.png"), more + "/c_again.png");
    for (const QString& filter : {QStringLiteral("0"), QStringLiteral("100")}) {
        const CliRun csv = runCli({"--quiet", "--min-similarity", filter, root_, more});
        const CliRun json = runCli({"--quiet", "--groups", "--min-similarity", filter, root_, more});
        ASSERT_EQ(csv.exitCode, 0) << csv.err.toStdString();
        ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
        const auto pairs = csvPairs(csv.out);
        ASSERT_EQ(pairs.size(), filter == "0" ? 5u : 3u) << csv.out.toStdString();

        std::set<QStringList> groups;
        std::vector<std::tuple<QString, QString, QString>> groupPairs;
        for (const QJsonValue g : QJsonDocument::fromJson(json.out).object()["groups"].toArray()) {
            const QJsonArray files = g["files"].toArray();
            QStringList names;
            for (const QJsonValue f : files) {
                names << f["path"].toString();
                EXPECT_EQ(f["size"].toInteger(), QFileInfo(f["path"].toString()).size());
                EXPECT_GE(f["width"].toInt(), 100);
                EXPECT_TRUE(QDateTime::fromString(f["modified"].toString(), Qt::ISODateWithMs).isValid());
            }
            for (const QJsonValue p : g["pairs"].toArray()) {
                groupPairs.emplace_back(files[p["first"].toInt()]["path"].toString(),
                                        files[p["second"].toInt()]["path"].toString(),
                                        QString::number(std::lround(p["similarity"].toDouble())));
            }
            names.sort();
            EXPECT_TRUE(groups.insert(names).second) << "a file in two groups";
        }
        EXPECT_EQ(groups, componentsOf(pairs));
        EXPECT_EQ(std::set(groupPairs.begin(), groupPairs.end()), std::set(pairs.begin(), pairs.end()));
        EXPECT_EQ(groupPairs.size(), pairs.size());
    }
    // Without the new options the CSV is the one the pair list always gave.
    EXPECT_EQ(runCli({"--quiet", root_, more}).out, runCli({"--quiet", "--min-similarity", "0", root_, more}).out);
}

struct UsageCase {
    const char* name;
    QStringList args;
    const char* named;  // what the error line must name
};

class CliUsageTest : public testing::TestWithParam<UsageCase> {};

TEST_P(CliUsageTest, ExitsWithTwoNamingTheArgument) {
    const CliRun run = runCli(GetParam().args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty());
    const QStringList lines = QString::fromUtf8(run.err).split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("voralin-cli: ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QString::fromUtf8(GetParam().named))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("usage: voralin-cli")) << lines[1].toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliUsageTest,
    testing::Values(UsageCase{"UnknownOption", {"--fast", "/tmp"}, "--fast"},
                    UsageCase{"BadNumber", {"--min-width", "12px", "/tmp"}, "12px"},
                    UsageCase{"NegativeNumber", {"--min-height", "-3", "/tmp"}, "-3"},
                    UsageCase{"NumberTooLarge", {"--min-width=99999999999", "/tmp"}, "99999999999"},
                    UsageCase{"MissingNumber", {"/tmp", "--min-width"}, "--min-width"},
                    UsageCase{"UnknownType", {"--types", "jpg,xcf", "/tmp"}, "xcf"},
                    UsageCase{"NoType", {"--types", ",", "/tmp"}, "no type"},
                    UsageCase{"NoFolder", {"--quiet"}, "no folder"},
                    UsageCase{"EmptyFolder", {"--quiet", "", "/tmp"}, "empty folder argument"},
                    UsageCase{"OnlyMissingFolders", {"--quiet", "/nonexistent-voralin-a", "/nonexistent-voralin-b"},
                              "no folder to search"},
                    UsageCase{"NoFile", {"--signature"}, "no file"},
                    UsageCase{"ZeroThreads", {"--threads", "0", "/tmp"}, "--threads: 0"},
                    UsageCase{"TooManyThreads", {"--threads=257", "/tmp"}, "257"},
                    UsageCase{"SimilarityAbove100", {"--min-similarity", "101", "/tmp"}, "101"},
                    UsageCase{"GroupsWithSignature", {"--signature", "--groups", "a.png"}, "--groups"},
                    UsageCase{"CacheOptionWithSignature", {"--signature", "--no-cache", "a.png"}, "--no-cache"},
                    UsageCase{"SearchOptionWithSignature", {"--signature", "--output", "x", "a.png"}, "--output"}),
    [](const testing::TestParamInfo<UsageCase>& info) { return std::string(info.param.name); });

// A pair marked "Not a duplicate" in the window is passed over, and its later picture pairs with the next
// earlier partner; --no-remembered gives the plain pairs byte for byte.
TEST_F(CliTest, RememberedPairsArePassedOverUnlessAskedNotTo) {
    QTemporaryDir tree;
    ASSERT_TRUE(tree.isValid());
    const QImage photo = fixtures::MakeNaturalPicture(200, 150, 5);
    for (const int quality : {95, 85, 75})
        fixtures::WriteBytes(tree.filePath(QStringLiteral("q%1.jpg").arg(quality)),
                             fixtures::EncodeJpeg(photo, {.Quality = quality}));
    const QStringList args = {"--quiet", "--no-cache", tree.path()};
    const CliRun plain = runCli(args);
    ASSERT_EQ(plain.exitCode, 0);
    const auto plainPairs = csvPairs(plain.out);
    ASSERT_EQ(plainPairs.size(), 2u);
    const QString earlier = std::get<0>(plainPairs[1]);
    const QString later = std::get<1>(plainPairs[1]);

    const auto identity = [](const QString& file) {
        const QByteArray bytes = fixtures::ReadBytes(file);
        return QByteArray::number(bytes.size()) + ' ' +
               QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    };
    const QString remembered = g_dataHome.filePath(QStringLiteral("Voralin/not-duplicates"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(remembered).absolutePath()));
    fixtures::WriteBytes(remembered, "Voralin remembered pairs 1\n" + identity(later) + ' ' + identity(earlier) +
                                         " - -\n");
    const CliRun passed = runCli(args);
    const CliRun ignored = runCli({"--quiet", "--no-cache", "--no-remembered", tree.path()});
    QFile::remove(remembered);

    ASSERT_EQ(passed.exitCode, 0);
    const auto passedPairs = csvPairs(passed.out);
    ASSERT_EQ(passedPairs.size(), 2u);
    EXPECT_EQ(passedPairs[0], plainPairs[0]);
    EXPECT_EQ(std::get<1>(passedPairs[1]), later);
    EXPECT_NE(std::get<0>(passedPairs[1]), earlier);
    // After the summary, also with --quiet, which only drops the progress lines.
    EXPECT_TRUE(passed.err.endsWith("Pairs passed over as not duplicates: 1\n")) << passed.err.constData();
    EXPECT_FALSE(plain.err.contains("passed over"));
    EXPECT_FALSE(ignored.err.contains("passed over"));
    EXPECT_EQ(ignored.exitCode, 0);
    EXPECT_EQ(ignored.out, plain.out);
}

TEST_F(CliTest, HelpListsEveryOption) {
    const CliRun run = runCli({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* option : {"--types", "--no-subfolders", "--identical-only", "--min-width", "--min-height",
                               "--output", "--quiet", "--signature", "--threads", "--no-cache", "--help", "--version",
                               "--groups", "--min-similarity", "--no-remembered"})
        EXPECT_TRUE(run.out.contains(option)) << option;
}

TEST_F(CliTest, VersionIsTheBuildsVersion) {
    const CliRun run = runCli({"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QByteArray("voralin-cli ") + VORALIN_VERSION + "\n");
}

TEST_F(CliTest, SignatureBlocks) {
    const CliRun run = runCli({"--signature", path("a_orig.png"), path("e_corrupt.png")});
    EXPECT_EQ(run.exitCode, 1);  // one of the files could not be decoded
    const QString text = QString::fromUtf8(run.out);
    const QRegularExpression good(
        "^file: " + QRegularExpression::escape(path("a_orig.png")) +
        "\nsize: 320 x 240\nscale: 1/1\naverage: (\\d+)\npositive: ((?:\\d+,\\d+ )*\\d+,\\d+)\n"
        "negative: ((?:\\d+,\\d+ )*\\d+,\\d+)\n\n"
        "file: " + QRegularExpression::escape(path("e_corrupt.png")) + "\nerror: [^\n]+\n\n$");
    const QRegularExpressionMatch m = good.match(text);
    ASSERT_TRUE(m.hasMatch()) << text.toStdString();
    const int average = m.captured(1).toInt();
    EXPECT_GT(average, 0);
    EXPECT_LT(average, 255);
    const int kept = static_cast<int>(m.captured(2).split(' ').size() + m.captured(3).split(' ').size());
    EXPECT_LE(kept, 250);
    EXPECT_GT(kept, 200);
    EXPECT_FALSE(text.contains(" 0,0 "));
}

TEST_F(CliTest, SignatureScaleFollowsPictureSize) {
    fixtures::WriteBytes(dir_.filePath("big.jpg"), fixtures::EncodeJpeg(fixtures::MakeNaturalPicture(1200, 1100, 4)));
    const CliRun run = runCli({"--signature", dir_.filePath("big.jpg")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains("\nsize: 1200 x 1100\nscale: 1/8\n")) << run.out.toStdString();
    const CliRun raised = runCli({"--signature", "--min-width", "1300", dir_.filePath("big.jpg")});
    EXPECT_FALSE(raised.out.contains("scale: 1/8")) << raised.out.toStdString();
}

}  // namespace
