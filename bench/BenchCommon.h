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

#include <ctime>
#include <sys/resource.h>
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
inline void DjpegEquivalent(const QString& path) {
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
    info.scale_denom = 8;
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
