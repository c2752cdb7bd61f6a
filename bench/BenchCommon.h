// What the benchmarks share: the floor the decoding figures are measured against (libjpeg-turbo's own 1/8
// fast-DCT decode of a file, in this process and as the djpeg command), the CPU clock that counts both, and
// the listing of a picture set.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <jpeglib.h>

#include "picture/PictureLoader.h"

#include <ctime>
#include <sys/resource.h>
#include <algorithm>
#include <vector>

namespace bench {

// CPU time of this process and of the children it has waited for (the djpeg commands).
inline double CpuNowMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6 + ms(children.ru_utime) + ms(children.ru_stime);
}

// What `djpeg -scale 1/8 -dct fast` does, inside this process: read the file, decode at 1/8 with the fast
// integer DCT into RGB rows, keep nothing. Without the process start that the real command pays per file.
// With `atWorkScale`, at the scale the signature needs instead (1/8, 1/4 or whole, by the picture's sides and
// the default minimums), which for pictures of at most 1000 px is more than 1/8.
inline void DjpegEquivalent(const QString& path, bool atWorkScale = false) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray data = file.readAll();
    jpeg_decompress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.scale_num = 1;
    info.scale_denom = atWorkScale ? static_cast<unsigned>(ChooseWorkScale(static_cast<int32_t>(info.image_height),
                                                                            static_cast<int32_t>(info.image_width), 100, 100))
                                   : 8;
    info.dct_method = JDCT_IFAST;
    jpeg_start_decompress(&info);
    std::vector<JSAMPLE> row(static_cast<size_t>(info.output_width) * info.output_components);
    JSAMPROW rows[1] = {row.data()};
    while (info.output_scanline < info.output_height)
        jpeg_read_scanlines(&info, rows, 1);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
}

inline bool RunDjpeg(const QString& djpeg, const QStringList& arguments) {
    QProcess process;
    process.start(djpeg, arguments);
    return process.waitForFinished(60000) && process.exitCode() == 0;
}

// CPU of the calling thread only, so that nothing the process does elsewhere is counted.
inline double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The floor every decoding figure is set against, per picture: libjpeg-turbo's 1/8 fast-DCT decode of the
// same files in this process on one thread, and the djpeg command less its start-up (measured on a file
// of one block). On a large library of alike files both run on every `every`th file only, as a process
// per file would take longer than the search it is set against.
struct Floor {
    double InProcessMs = 0;
    double AtWorkScaleMs = 0;  // the same decode in this process at the scale the signature needs
    double CommandMs = 0;
    double CommandStartMs = 0;
    int InProcessFiles = 0;
    int CommandFiles = 0;
};

inline Floor MeasureFloor(const QStringList& all, const QString& djpeg, const QString& oneBlockJpeg,
                          int inProcessEvery = 1, int commandEvery = 1) {
    const auto sample = [&all](int every) {
        QStringList files;
        for (qsizetype k = 0; k < all.size(); k += std::max(every, 1))
            files << all[k];
        return files;
    };
    Floor floor;
    const QStringList inProcess = sample(inProcessEvery);
    const QStringList command = sample(commandEvery);
    if (inProcess.isEmpty() || command.isEmpty())
        return floor;
    for (const QString& file : inProcess)  // into the page cache
        DjpegEquivalent(file);
    const double t = ThreadCpuMs();
    for (const QString& file : inProcess)
        DjpegEquivalent(file);
    floor.InProcessFiles = static_cast<int>(inProcess.size());
    floor.InProcessMs = (ThreadCpuMs() - t) / floor.InProcessFiles;
    const double w = ThreadCpuMs();
    for (const QString& file : inProcess)
        DjpegEquivalent(file, true);
    floor.AtWorkScaleMs = (ThreadCpuMs() - w) / floor.InProcessFiles;

    const QStringList arguments{"-scale", "1/8", "-dct", "fast", "-outfile", "/dev/null"};
    constexpr int kStarts = 100;
    double c = CpuNowMs();
    for (int k = 0; k < kStarts; ++k)
        RunDjpeg(djpeg, arguments + QStringList{oneBlockJpeg});
    floor.CommandStartMs = (CpuNowMs() - c) / kStarts;
    c = CpuNowMs();
    for (const QString& file : command)
        RunDjpeg(djpeg, arguments + QStringList{file});
    floor.CommandFiles = static_cast<int>(command.size());
    floor.CommandMs = (CpuNowMs() - c) / floor.CommandFiles - floor.CommandStartMs;
    return floor;
}

// The system's load average of the last 1, 5 and 15 minutes, to print beside figures.
inline QString LoadAverage() {
    QFile load(QStringLiteral("/proc/loadavg"));
    if (!load.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    const QList<QByteArray> fields = load.readLine(64).trimmed().split(' ');
    return QString::fromLatin1(fields.mid(0, 3).join(' '));
}

// The files under `dirs` (subfolders included) that match `patterns`, sorted.
inline QStringList FilesUnder(const QStringList& dirs, const QStringList& patterns) {
    QStringList files;
    for (const QString& dir : dirs) {
        QDirIterator it(dir, patterns, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
    }
    files.sort();
    return files;
}

}  // namespace bench
