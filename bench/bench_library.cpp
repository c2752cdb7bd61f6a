// A whole search over a library of many small files, as voralin-cli runs it: wall time and peak memory of a
// first search (empty signature cache) and of a second one over the unchanged folders.
//
//   bench_library prepare OUT_DIR COUNT    COUNT rendered scenes as JPEGs, 1000 per folder, every 50th a copy
//   bench_library prepare-equal OUT_DIR COUNT   the same scenes at one size from one encoder, no comment:
//                                          every file has the same first 256 bytes
//   bench_library run SET_DIR CLI [--threads N] [--no-cache] [--djpeg PATH]
#include "BenchCommon.h"
#include "SyntheticSignatures.h"

#include "core/PictureFixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int kPerFolder = 1000;
constexpr int kCopyEvery = 50;
// The floor on a sample of the library: its files are all alike, and a djpeg process per file would take
// longer than the search.
constexpr int kFloorEvery = 5;
constexpr int kCommandEvery = 100;  // every 50th picture is a recompressed copy of the one before, so pairs exist

// A camera writes the shot's own data (time, counter) near the start of the file, so no two photographs begin
// alike; encoder output alone would give every file of one size the same first 256 bytes.
QByteArray WithShotComment(QByteArray jpeg, int shot) {
    const QByteArray text = QStringLiteral("Voralin benchmark shot %1").arg(shot, 6, 10, QLatin1Char('0')).toLatin1();
    QByteArray segment("\xFF\xFE", 2);
    segment.append(static_cast<char>((text.size() + 2) >> 8)).append(static_cast<char>((text.size() + 2) & 0xFF));
    segment.append(text);
    return jpeg.insert(2, segment);  // after the start-of-image marker
}

// Picture k of a set: 1000 per folder, the folder made with its first picture.
QString PictureFile(const QString& out, int k) {
    const QString folder = QStringLiteral("%1/d%2").arg(out).arg(k / kPerFolder, 3, 10, QLatin1Char('0'));
    if (k % kPerFolder == 0)
        QDir().mkpath(folder);
    return QStringLiteral("%1/p%2.jpg").arg(folder).arg(k, 6, 10, QLatin1Char('0'));
}

void Prepare(const QString& out, int count) {
    for (int k = 0; k < count; ++k) {
        const QString name = PictureFile(out, k);
        if (QFileInfo::exists(name))
            continue;  // a set being completed
        const bool copy = k % kCopyEvery == kCopyEvery - 1;
        const int scene = copy ? k - 1 : k;
        std::mt19937_64 rng(static_cast<uint64_t>(scene) + 7);
        TBitmap rendered;
        synth::Render(synth::RandomScene(rng), static_cast<uint64_t>(scene), rendered);
        const QImage square(rendered.Row(0), rendered.Width, rendered.Height, 3 * rendered.Width,
                            QImage::Format_RGB888);
        const QImage picture = square.scaled(160 + scene % 7 * 8, 120 + scene % 5 * 6, Qt::IgnoreAspectRatio,
                                             Qt::SmoothTransformation);
        fixtures::JpegOptions options;
        options.Quality = copy ? 60 : 85;
        fixtures::WriteBytes(name, WithShotComment(fixtures::EncodeJpeg(picture, options), k));
    }
    std::printf("prepared %d pictures in %s\n", count, qPrintable(out));
}

constexpr int kEqualWidth = 320;   // one size, as a messaging app or a scanner batch writes them
constexpr int kEqualHeight = 240;
constexpr int kAlikeEvery = 50;    // every 50th a second shot of the scene before it: alike, not identical
constexpr int kIdenticalEvery = 500;  // every 500th a byte copy of the file before it

// Files that share their heads: same encoder, quality, size and subsampling, and nothing of the shot's own
// before the image data. Only a byte copy is identical; second shots pair by their signatures alone.
void PrepareEqualHeads(const QString& out, int count) {
    for (int k = 0; k < count; ++k) {
        const QString name = PictureFile(out, k);
        if (QFileInfo::exists(name))
            continue;
        if (k % kIdenticalEvery == kIdenticalEvery - 1 && k % kPerFolder != 0) {
            QFile::copy(PictureFile(out, k - 1), name);
            continue;
        }
        const bool alike = k % kAlikeEvery == kAlikeEvery - 1;
        const int scene = alike ? k - 1 : k;
        std::mt19937_64 rng(static_cast<uint64_t>(scene) + 7);
        synth::Scene drawn = synth::RandomScene(rng);
        if (alike) {
            std::mt19937_64 shot(static_cast<uint64_t>(k) * 31 + 3);
            drawn = synth::Perturb(drawn, 0.01, shot);
        }
        TBitmap rendered;
        synth::Render(drawn, static_cast<uint64_t>(k), rendered);
        const QImage square(rendered.Row(0), rendered.Width, rendered.Height, 3 * rendered.Width,
                            QImage::Format_RGB888);
        const QImage picture = square.scaled(kEqualWidth, kEqualHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        fixtures::JpegOptions options;
        options.Quality = 85;
        fixtures::WriteBytes(name, fixtures::EncodeJpeg(picture, options));
    }
    std::printf("prepared %d pictures of %d x %d with equal heads in %s\n", count, kEqualWidth, kEqualHeight,
                qPrintable(out));
}

struct RunFigures {
    double Seconds = 0;
    double CpuSeconds = 0;  // user and system time of this run's process
    long PeakKb = 0;  // largest resident set of any child waited for so far
    bool Ok = false;
};

RunFigures RunCli(const QString& cli, const QStringList& arguments, const QString& cacheHome) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cacheHome);
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const auto cpu = [] {
        rusage children{};
        getrusage(RUSAGE_CHILDREN, &children);
        const auto s = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
        return std::pair{s(children.ru_utime) + s(children.ru_stime), children.ru_maxrss};
    };
    const double cpuBefore = cpu().first;
    QElapsedTimer wall;
    wall.start();
    process.start(cli, arguments);
    const bool ok = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
                    process.exitCode() == 0;
    RunFigures figures{wall.nsecsElapsed() / 1e9, 0, 0, ok};
    const auto [cpuAfter, peak] = cpu();
    figures.CpuSeconds = cpuAfter - cpuBefore;
    figures.PeakKb = peak;
    return figures;
}

int PairsIn(const QString& csv) {
    QFile pairs(csv);
    // The list holds two lines per pair under one heading line.
    const int lines = pairs.open(QIODevice::ReadOnly) ? static_cast<int>(pairs.readAll().count('\n')) : 0;
    return std::max(lines - 1, 0) / 2;
}

// A search's CPU per picture against the floor's.
void PrintAgainstFloor(const char* what, const RunFigures& run, int files, const bench::Floor& floor) {
    const double perPicture = run.CpuSeconds * 1e3 / files;
    std::printf("  %s: %.3f ms CPU per picture, %.2f x the in-process floor, %.2f x djpeg, %.2f x the decode at the "
                "work scale\n",
                what, perPicture, perPicture / floor.InProcessMs, perPicture / floor.CommandMs,
                perPicture / floor.AtWorkScaleMs);
}

int Run(const QString& set, const QString& cli, const QString& threads, bool withoutCache, const QString& djpeg) {
    const QStringList all = bench::FilesUnder({set}, {"*.jpg"});
    const int files = static_cast<int>(all.size());
    if (files == 0) {
        std::fprintf(stderr, "no pictures under %s\n", qPrintable(set));
        return 1;
    }
    QTemporaryDir cacheHome;
    const QString blockFile = cacheHome.filePath("block.jpg");
    fixtures::WriteJpeg(blockFile, fixtures::MakeUniformPicture(8, 8, Qt::gray), 90);
    const bench::Floor floor = bench::MeasureFloor(all, djpeg, blockFile, kFloorEvery, kCommandEvery);
    std::printf("floor per picture: libjpeg-turbo 1/8 fast-DCT decode in this process %.3f ms (one thread, every "
                "%dth file: %d); djpeg -scale 1/8 -dct fast %.3f ms, start-up (%.2f ms) less (every %dth file: %d); "
                "the in-process decode at the scale the signature needs %.3f ms\n",
                floor.InProcessMs, kFloorEvery, floor.InProcessFiles, floor.CommandMs, floor.CommandStartMs,
                kCommandEvery, floor.CommandFiles, floor.AtWorkScaleMs);
    QStringList arguments{QStringLiteral("--quiet"), QStringLiteral("--output"), cacheHome.filePath("pairs.csv")};
    if (!threads.isEmpty())
        arguments << QStringLiteral("--threads") << threads;
    arguments << set;
    std::printf("%d pictures in %s, %d cores, load average %s\n", files, qPrintable(set), QThread::idealThreadCount(),
                qPrintable(bench::LoadAverage()));
    bool ok = true;
    if (withoutCache) {
        const RunFigures plain = RunCli(cli, QStringList{QStringLiteral("--no-cache")} + arguments, cacheHome.path());
        std::printf("search without cache:       %7.1f s wall, %7.1f s CPU, peak resident memory %ld MB, %d pairs%s\n",
                    plain.Seconds, plain.CpuSeconds, plain.PeakKb / 1024, PairsIn(cacheHome.filePath("pairs.csv")),
                    plain.Ok ? "" : " (FAILED)");
        ok = plain.Ok;
        PrintAgainstFloor("without cache", plain, files, floor);
    }

    const RunFigures first = RunCli(cli, arguments, cacheHome.path());
    std::printf("first search, empty cache:  %7.1f s wall, %7.1f s CPU, peak resident memory %ld MB, %d pairs%s\n",
                first.Seconds, first.CpuSeconds, first.PeakKb / 1024, PairsIn(cacheHome.filePath("pairs.csv")),
                first.Ok ? "" : " (FAILED)");
    PrintAgainstFloor("empty cache", first, files, floor);
    const RunFigures second = RunCli(cli, arguments, cacheHome.path());
    std::printf("second search, unchanged:   %7.1f s wall, %7.1f s CPU, peak resident memory of all %ld MB%s\n",
                second.Seconds, second.CpuSeconds, second.PeakKb / 1024, second.Ok ? "" : " (FAILED)");
    std::printf("speed-up of the second search: %.1f x; targets: peak under 400 MB, second search at least 10 x\n",
                first.Seconds / second.Seconds);
    // Without the partner memo the signatures still come from the cache, so what is left is the scan, the
    // cache's reading and the whole matching: an upper bound of the matching part.
    for (const QFileInfo& memo : QDir(cacheHome.filePath("Voralin")).entryInfoList({"*.memo"}, QDir::Files))
        QFile::remove(memo.absoluteFilePath());
    const RunFigures matching = RunCli(cli, arguments, cacheHome.path());
    std::printf("signatures from the cache, no partner memo (scan + matching): %7.1f s wall, %7.1f s CPU, %d pairs%s\n",
                matching.Seconds, matching.CpuSeconds, PairsIn(cacheHome.filePath("pairs.csv")),
                matching.Ok ? "" : " (FAILED)");
    return ok && first.Ok && second.Ok && matching.Ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == "prepare") {
        Prepare(args[1], std::max(1, args[2].toInt()));
        return 0;
    }
    if (args.size() == 3 && args[0] == "prepare-equal") {
        PrepareEqualHeads(args[1], std::max(1, args[2].toInt()));
        return 0;
    }
    if (args.size() >= 3 && args[0] == "run") {
        QString threads;
        QString djpeg = QStringLiteral("djpeg");
        bool withoutCache = false;
        for (qsizetype k = 3; k < args.size(); ++k) {
            if (args[k] == "--threads" && k + 1 < args.size())
                threads = args[++k];
            else if (args[k] == "--djpeg" && k + 1 < args.size())
                djpeg = args[++k];
            else if (args[k] == "--no-cache")
                withoutCache = true;
        }
        return Run(args[1], args[2], threads, withoutCache, djpeg);
    }
    std::fprintf(stderr, "usage: bench_library prepare OUT_DIR COUNT\n"
                         "       bench_library prepare-equal OUT_DIR COUNT\n"
                         "       bench_library run SET_DIR CLI [--threads N] [--no-cache] [--djpeg PATH]\n");
    return 2;
}
