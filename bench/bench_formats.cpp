// Per-picture CPU of the newer picture types on 12 MP photographs: Voralin's decode onto the work bitmap
// against each library's own command-line decoder on the same files, with JPEG and djpeg as the yardstick.
//
//   bench_formats prepare OUT_DIR PHOTO_DIR   photographs resized to 4000 x 3000, encoded in every format
//   bench_formats run SET_DIR [--repeat N]
#include "picture/PictureLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

namespace {

constexpr int kPhotoCount = 4;         // photographs taken from the folder
constexpr int kDefaultRepeats = 3;     // each figure is the minimum over this many runs
constexpr const char* kSize = "4000x3000!";  // 12 MP, the size of a phone camera's pictures

struct Format {
    const char* Extension;
    QStringList (*EncodeArgs)(const QString& png, const QString& out);
    const char* Encoder;
    const char* Decoder;  // the library's own command-line decoder
    QStringList (*DecodeArgs)(const QString& in, const QString& out);
    const char* DecodedName;  // output the decoder writes (deleted after each run)
};

const Format kFormats[] = {
    {"jpg", [](const QString& png, const QString& out) { return QStringList{png, "-quality", "90", out}; },
     "convert", "djpeg", [](const QString& in, const QString& out) { return QStringList{"-outfile", out, in}; },
     "out.ppm"},
    {"webp", [](const QString& png, const QString& out) { return QStringList{"-quiet", "-q", "85", png, "-o", out}; },
     "cwebp", "dwebp", [](const QString& in, const QString& out) { return QStringList{"-quiet", "-ppm", in, "-o", out}; },
     "out.ppm"},
    {"heic", [](const QString& png, const QString& out) { return QStringList{"-q", "85", "-p", "preset=fast", "-o", out, png}; },
     "heif-enc", "heif-convert", [](const QString& in, const QString& out) { return QStringList{in, out}; },
     "out.y4m"},
    {"avif", [](const QString& png, const QString& out) { return QStringList{"-s", "8", "-j", "2", png, out}; },
     "avifenc", "avifdec", [](const QString& in, const QString& out) { return QStringList{"-j", "1", in, out}; },
     "out.y4m"},
    {"jxl", [](const QString& png, const QString& out) { return QStringList{"--quiet", "-d", "1", png, out}; },
     "cjxl", "djxl", [](const QString& in, const QString& out) { return QStringList{in, out, "--num_threads=1"}; },
     "out.ppm"},
};

// The whole process, not the calling thread: a decoder library may hand its work to threads of its own.
double ProcessCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double ChildrenCpuMs() {
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(children.ru_utime) + ms(children.ru_stime);
}

bool RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QStringList Files(const QString& dir, const QString& pattern) {
    QStringList files;
    QDirIterator it(dir, {pattern}, QDir::Files);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

int Prepare(const QString& out, const QString& photos) {
    QDir().mkpath(out);
    QStringList sources = Files(photos, "*.jpg") + Files(photos, "*.png");
    sources.sort();
    int made = 0;
    for (const QString& source : sources) {
        if (made == kPhotoCount)
            break;
        const QString png = QStringLiteral("%1/p%2.png").arg(out).arg(made);
        if (!RunTool("convert", {source, "-resize", kSize, "-strip", png}))
            continue;
        for (const Format& f : kFormats) {
            const QString encoded = QStringLiteral("%1/p%2.%3").arg(out).arg(made).arg(f.Extension);
            if (!RunTool(f.Encoder, f.EncodeArgs(png, encoded)))
                return std::fprintf(stderr, "%s failed on %s\n", f.Encoder, qPrintable(png)), 1;
        }
        QFile::remove(png);
        ++made;
    }
    std::printf("prepared %d photographs of 4000 x 3000 in %zu formats\n", made, std::size(kFormats));
    return made > 0 ? 0 : 1;
}

int Run(const QString& set, int repeats) {
    std::printf("%-5s %6s %12s %12s %8s   (CPU ms per picture, minimum of %d runs)\n", "type", "files", "voralin",
                "library tool", "ratio", repeats);
    const QString scratch = set + "/scratch";
    QDir().mkpath(scratch);
    for (const Format& f : kFormats) {
        const QStringList files = Files(set, QStringLiteral("*.") + f.Extension);
        if (files.isEmpty())
            continue;
        double ours = 1e300, theirs = 1e300;
        for (int r = 0; r < repeats; ++r) {
            TBitmap work;
            const double t0 = ProcessCpuMs();
            for (const QString& file : files)
                LoadWorkPicture(file, work, 100, 100);
            ours = std::min(ours, (ProcessCpuMs() - t0) / files.size());

            const double c0 = ChildrenCpuMs();
            for (const QString& file : files) {
                const QString output = scratch + '/' + f.DecodedName;
                if (!RunTool(f.Decoder, f.DecodeArgs(file, output)))
                    return std::fprintf(stderr, "%s failed on %s\n", f.Decoder, qPrintable(file)), 1;
                QFile::remove(output);
            }
            theirs = std::min(theirs, (ChildrenCpuMs() - c0) / files.size());
        }
        std::printf("%-5s %6lld %12.1f %12.1f %8.2f\n", f.Extension, static_cast<long long>(files.size()), ours,
                    theirs, ours / theirs);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == "prepare")
        return Prepare(args[2], args[3]);
    if (args.size() >= 3 && args[1] == "run") {
        const int at = args.indexOf("--repeat");
        return Run(args[2], at > 0 && at + 1 < args.size() ? args[at + 1].toInt() : kDefaultRepeats);
    }
    std::fprintf(stderr, "usage: bench_formats prepare OUT_DIR PHOTO_DIR | run SET_DIR [--repeat N]\n");
    return 2;
}
