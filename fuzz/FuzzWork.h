// What every target needs around its input: a folder of its own to write files into, and the check that
// stops the run where an expectation fails.
#pragma once

#include "platform/FileKey.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdint>
#include <cstdlib>

inline void Require(bool condition)
{
    if (!condition)
        std::abort();
}

// The target's own folder for the files it writes, one or more per input: made at the first use, in memory
// where the system offers it, and kept for the whole run.
inline QTemporaryDir& FuzzWorkFolder()
{
    static QTemporaryDir* const folder = [] {
        const QString base = QFile::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm/voralin-fuzz-XXXXXX")
                                                                       : QString();
        QTemporaryDir* made = base.isEmpty() ? new QTemporaryDir : new QTemporaryDir(base);
        Require(made->isValid());
        return made;
    }();
    return *folder;
}

inline void WriteFuzzInput(const QString& path, const uint8_t* data, size_t size)
{
    QFile file(path);
    Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    Require(file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) == qint64(size));
}

// The signature cache's and the partner memo's files end with a little-endian FNV-1a of all before it. Fuzzed
// bytes almost never match it; with `seal`, the check is appended, so that the fields behind it are reached.
inline void WriteFuzzInput(const QString& path, const uint8_t* data, size_t size, bool seal)
{
    if (!seal) {
        WriteFuzzInput(path, data, size);
        return;
    }
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const uint64_t check = qToLittleEndian(Fnv1a(bytes.constData(), bytes.size()));
    bytes.append(reinterpret_cast<const char*>(&check), sizeof check);
    WriteFuzzInput(path, reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
}
