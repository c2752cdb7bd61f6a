// Decoding benchmarks: decode + signature against djpeg, thread scaling of the picture supply, and a second
// search over unchanged folders with the signature cache. `prepare` builds the picture set; `run` measures.
//
//   bench_decode prepare OUT_DIR PHOTO_DIR...   real photographs, variants of them, synthetic pictures
//   bench_decode run SET_DIR [--repeat N] [--djpeg PATH]
#include "engine/Catalogue.h"
#include "engine/FolderScanner.h"
#include "engine/PairMatcher.h"
#include "engine/PrefetchingPictureSource.h"

#include "BenchCommon.h"

#include "core/PictureFixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <jpeglib.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int kLargeSide = 1000;          // the 1/8 decoding scale starts above this on both sides
constexpr int kSyntheticCount = 240;      // natural-looking generated pictures
constexpr int kCropCount = 1200;          // crops of the photographs, for a search of a realistic size
constexpr int kDefaultRepeats = 5;        // each figure is the minimum over this many runs

class QuietHost : public SearchHost {
public:
    void ProcessMessages() override {}
    bool SearchStopped() const override { return false; }
    bool ScanSubfolders() const override { return true; }
    void ReportProgress(const SearchProgress&, ProgressLine) override {}
};

struct Timing {
    double WallMs = 0;
    double CpuMs = 0;  // all threads of the process
};

// The minimum wall time (and the CPU time of that run) over `repeats` runs, after one warm-up run that
// brings the files into the page cache.
Timing Measure(int repeats, const std::function<void()>& body) {
    body();
    Timing best{1e300, 0};
    for (int r = 0; r < repeats; ++r) {
        QElapsedTimer wall;
        const double cpu0 = bench::CpuNowMs();
        wall.start();
        body();
        const double ms = wall.nsecsElapsed() / 1e6;
        if (ms < best.WallMs)
            best = {ms, bench::CpuNowMs() - cpu0};
    }
    return best;
}

// --- prepare

void Prepare(const QString& out, const QStringList& photoDirs) {
    QDir().mkpath(out + "/photos");
    QDir().mkpath(out + "/synthetic");
    int photos = 0;
    for (const QString& dir : photoDirs) {
        for (const QString& file : bench::FilesUnder({dir}, {"*.jpg", "*.jpeg", "*.JPG", "*.png"})) {
            QImageReader reader(file);
            const QSize size = reader.size();
            if (size.width() <= kLargeSide || size.height() <= kLargeSide)
                continue;
            QImage image = reader.read();
            if (image.isNull())
                continue;
            image = image.convertToFormat(QImage::Format_RGB32);
            const QString base = QStringLiteral("%1/photos/p%2").arg(out).arg(photos++, 3, 10, QLatin1Char('0'));
            // The photograph as shipped (JPEG as is, others at quality 90) and variants a collection holds:
            // a recompressed copy, a mirrored one, a brightened crop, and a byte-identical copy.
            if (file.endsWith(".png"))
                fixtures::WriteJpeg(base + "-orig.jpg", image, 90);
            else
                QFile::copy(file, base + "-orig.jpg");
            fixtures::WriteJpeg(base + "-q60.jpg", image, 60);
            fixtures::WriteJpeg(base + "-mirror.jpg", image.mirrored(true, false), 85);
            QImage crop = image.copy(image.width() / 20, image.height() / 20, image.width() * 9 / 10,
                                     image.height() * 9 / 10);
            for (int y = 0; y < crop.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(crop.scanLine(y));
                for (int x = 0; x < crop.width(); ++x)
                    line[x] = qRgb(std::min(255, qRed(line[x]) + 12), std::min(255, qGreen(line[x]) + 12),
                                   std::min(255, qBlue(line[x]) + 12));
            }
            fixtures::WriteJpeg(base + "-crop.jpg", crop, 88);
            QFile::copy(base + "-orig.jpg", base + "-copy.jpg");
        }
    }
    // For the size of a real collection: crops of the photographs at other places and sizes, each slightly
    // darker or lighter, so that they decode like photographs and resemble each other only in part.
    QDir().mkpath(out + "/crops");
    const QStringList originals = bench::FilesUnder({out + "/photos"}, {"*-orig.jpg"});
    for (int k = 0; k < kCropCount && !originals.isEmpty(); ++k) {
        const QImage photo = QImage(originals[k % originals.size()]).convertToFormat(QImage::Format_RGB32);
        const int width = std::min(photo.width(), 1100 + (k * 61) % 700);
        const int height = std::min(photo.height(), 1050 + (k * 43) % 500);
        QImage crop = photo.copy((k * 197) % (photo.width() - width + 1), (k * 131) % (photo.height() - height + 1),
                                 width, height);
        const int shift = (k % 9) - 4;
        for (int y = 0; y < crop.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(crop.scanLine(y));
            for (int x = 0; x < crop.width(); ++x)
                line[x] = qRgb(std::clamp(qRed(line[x]) + shift, 0, 255), std::clamp(qGreen(line[x]) + shift, 0, 255),
                               std::clamp(qBlue(line[x]) + shift, 0, 255));
        }
        fixtures::WriteJpeg(QStringLiteral("%1/crops/c%2.jpg").arg(out).arg(k, 4, 10, QLatin1Char('0')), crop, 85);
    }
    for (int k = 0; k < kSyntheticCount; ++k) {
        const int width = 1100 + (k * 37) % 900;
        const int height = 1050 + (k * 53) % 700;
        const QString name = QStringLiteral("%1/synthetic/s%2.jpg").arg(out).arg(k, 4, 10, QLatin1Char('0'));
        if (QFileInfo::exists(name))
            continue;  // the slowest part of a set being completed
        fixtures::WriteJpeg(name, fixtures::MakeNaturalPicture(width, height, 1000 + k), 85);
    }
    std::printf("prepared %d photographs (x5 variants), %d crops of them and %d synthetic pictures in %s\n",
                photos, kCropCount, kSyntheticCount, qPrintable(out));
}

// --- run

// Decode and sign every file through the picture supply with `threads` workers; the consumer only takes
// each picture in order, as the matcher does, so this is the supply's own throughput.
void SupplyAll(const QStringList& files, int threads, SignatureCache* cache = nullptr) {
    PrefetchConfig config;
    config.Threads = threads;
    config.Cache = cache;
    config.MinPicWidth = config.MinPicHeight = 100;
    PrefetchingPictureSource source(config, static_cast<int32_t>(files.size()),
                                    [&files](int32_t k) { return files[k]; });
    QuietHost host;
    auto m = std::make_unique<TSignatureMatrix>();
    TWaveletCoefs pos{};
    TWaveletCoefs neg{};
    TPreBuffer head{};
    for (int32_t k = 0; k < files.size(); ++k) {
        source.WaitUntilReady(k, files[k], host);
        try {
            source.Measure(k, files[k]);
        } catch (const std::exception&) {
            continue;
        }
        source.ReadHead(files[k], head);
        source.Sign(*m, pos, neg);
    }
    source.Finish(host);
}

struct SearchFigures {
    double Ms = 0;
    int Pictures = 0;
    int Pairs = 0;
};

// Scan `folder` and match, with the cache in `cacheFolder` (none when empty), all cores.
SearchFigures Search(const QString& folder, const QString& cacheFolder) {
    QElapsedTimer wall;
    wall.start();
    TSettings settings;
    QuietHost host;
    auto cat = std::make_unique<Catalogue>();
    cat->Reset();
    cat->AllocateInitial();
    {
        FolderScanner scanner(*cat, settings, host);
        scanner.ScanFolder(folder);
    }
    cat->TrimPicturesAndPaths();
    cat->AllocatePairs();
    PictureSupplyOptions supply;
    supply.UseCache = !cacheFolder.isEmpty();
    supply.CacheFolder = cacheFolder;
    MatchPictures(*cat, settings, host, supply);
    cat->TrimPairs();
    return {wall.nsecsElapsed() / 1e6, cat->PicCapacity, cat->PairCapacity};
}

int Run(const QString& set, int repeats, const QString& djpeg) {
    const QStringList photos = [&] {
        QStringList large;
        for (const QString& file : bench::FilesUnder({set + "/photos"}, {"*.jpg"}) + bench::FilesUnder({set + "/synthetic"}, {"*.jpg"})) {
            const QSize size = QImageReader(file).size();
            if (size.width() > kLargeSide && size.height() > kLargeSide)
                large << file;
        }
        return large;
    }();
    if (photos.isEmpty()) {
        std::fprintf(stderr, "no JPEG larger than %d px on both sides under %s\n", kLargeSide, qPrintable(set));
        return 1;
    }
    std::printf("cores (QThread::idealThreadCount): %d\n", QThread::idealThreadCount());
    std::printf("load average at start: ");
    std::fflush(stdout);
    QProcess::execute("sh", {"-c", "cut -d' ' -f1-3 /proc/loadavg"});
    std::printf("JPEG files above %d x %d px in photos/ and synthetic/: %lld (real photographs, their variants,\n"
                "synthetic pictures)\n",
                kLargeSide, kLargeSide, static_cast<long long>(photos.size()));
    std::printf("each figure: minimum wall time of %d runs after a warm-up run (files in the page cache)\n\n",
                repeats);

    // 1. Decode + signature on one thread, against djpeg on the same files.
    const Timing ours = Measure(repeats, [&] {
        DecodingPictureSource source(100, 100);
        auto m = std::make_unique<TSignatureMatrix>();
        TWaveletCoefs pos{};
        TWaveletCoefs neg{};
        for (const QString& file : photos) {
            source.Measure(0, file);
            source.Sign(*m, pos, neg);
        }
    });
    const Timing inProcess = Measure(repeats, [&] {
        for (const QString& file : photos)
            bench::DjpegEquivalent(file);
    });
    const Timing command = Measure(repeats, [&] {
        for (const QString& file : photos)
            bench::RunDjpeg(djpeg, {"-scale", "1/8", "-dct", "fast", "-outfile", "/dev/null", file});
    });
    const Timing decodeOnly = Measure(repeats, [&] {
        DecodingPictureSource source(100, 100);
        for (const QString& file : photos)
            source.Measure(0, file);
    });
    const double perFile = static_cast<double>(photos.size());
    const auto line = [perFile](const char* what, const Timing& t, const Timing& ours) {
        std::printf("   %-44s %8.1f ms wall %6.2f ms/picture, %8.1f ms CPU", what, t.WallMs, t.WallMs / perFile,
                    t.CpuMs);
        if (&t != &ours)
            std::printf("  ratio ours/this: wall %.2f x, CPU %.2f x", ours.WallMs / t.WallMs, ours.CpuMs / t.CpuMs);
        std::printf("\n");
    };
    std::printf("1. decode + signature, one thread\n");
    line("voralin (LoadWorkPicture + signature)", ours, ours);
    line("voralin, decode and stretch only", decodeOnly, ours);
    line("djpeg -scale 1/8 -dct fast (the command)", command, ours);
    line("the same decode in this process (no exec)", inProcess, ours);
    std::printf("   target: at most 1.3 x djpeg\n\n");

    // 2. The picture supply with 1 and 2 worker threads.
    const Timing one = Measure(repeats, [&] { SupplyAll(photos, 1); });
    const Timing two = Measure(repeats, [&] { SupplyAll(photos, 2); });
    std::printf("2. picture supply (decode + head + signature on workers, taken in order)\n");
    std::printf("   1 thread:  %8.1f ms wall, %8.1f ms CPU\n", one.WallMs, one.CpuMs);
    std::printf("   2 threads: %8.1f ms wall, %8.1f ms CPU\n", two.WallMs, two.CpuMs);
    std::printf("   throughput 2 threads / 1 thread: %.2f x (target at least 1.8 x)\n", one.WallMs / two.WallMs);
    std::printf("   CPU per picture 2 threads / 1 thread: %.2f (1.00 = no parallel overhead)\n\n",
                two.CpuMs / one.CpuMs);

    // 3. A whole search (scan + match) without cache, then twice with a cache that starts empty.
    std::printf("3. search of %s with the signature cache (all cores)\n", qPrintable(set));
    double uncached = 1e300;
    double first = 1e300;
    double second = 1e300;
    SearchFigures figures;
    for (int r = 0; r < repeats; ++r) {
        QTemporaryDir cache;
        uncached = std::min(uncached, Search(set, {}).Ms);
        first = std::min(first, Search(set, cache.path()).Ms);
        figures = Search(set, cache.path());
        second = std::min(second, figures.Ms);
    }
    std::printf("   %d pictures, %d pairs\n", figures.Pictures, figures.Pairs);
    std::printf("   without cache:             %8.1f ms\n", uncached);
    std::printf("   first search, empty cache: %8.1f ms\n", first);
    std::printf("   second search, unchanged:  %8.1f ms\n", second);
    std::printf("   speed-up of the second search: %.1f x (target at least 10 x)\n", first / second);

    // The picture supply alone over the same files, so that matching and the catalogue's fixed costs,
    // which the cache does not touch, are left out.
    const QStringList all = bench::FilesUnder({set}, {"*.jpg"});
    double fill = 1e300;
    double reuse = 1e300;
    for (int r = 0; r < repeats; ++r) {
        QTemporaryDir folder;
        SignatureCache filling(folder.path());
        QElapsedTimer wall;
        wall.start();
        SupplyAll(all, QThread::idealThreadCount(), &filling);
        filling.Save();
        fill = std::min(fill, wall.nsecsElapsed() / 1e6);
        SignatureCache reading(folder.path());
        wall.restart();
        SupplyAll(all, QThread::idealThreadCount(), &reading);
        reuse = std::min(reuse, wall.nsecsElapsed() / 1e6);
    }
    std::printf("   picture supply alone, %lld files: %.1f ms filling the cache, %.1f ms from it: %.1f x\n",
                static_cast<long long>(all.size()), fill, reuse, fill / reuse);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() >= 3 && args[0] == "prepare") {
        Prepare(args[1], args.mid(2));
        return 0;
    }
    if (args.size() >= 2 && args[0] == "run") {
        int repeats = kDefaultRepeats;
        QString djpeg = "djpeg";
        for (int k = 2; k + 1 < args.size(); k += 2) {
            if (args[k] == "--repeat")
                repeats = std::max(1, args[k + 1].toInt());
            else if (args[k] == "--djpeg")
                djpeg = args[k + 1];
        }
        return Run(args[1], repeats, djpeg);
    }
    std::fprintf(stderr, "usage: bench_decode prepare OUT_DIR PHOTO_DIR...\n"
                         "       bench_decode run SET_DIR [--repeat N] [--djpeg PATH]\n");
    return 2;
}
