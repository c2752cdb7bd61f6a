#include "history/HistoryFiles.h"

#include "platform/RegularFile.h"
#include "platform/SafeWriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString HistoryFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Voralin/");
}

std::optional<QByteArray> FileDigest(const QString& path) {
    QFile file;
    if (!OpenRegularFile(file, path))
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return std::nullopt;
    return hash.result().toHex();
}

std::optional<QByteArray> ReadHistoryFile(const QString& path, qint64 maxSize) {
    return ReadOwnFile(path, maxSize);
}

bool WriteHistoryFile(const QString& path, const QByteArray& bytes) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    try {
        WriteFileAtomically(path, bytes, WriteTarget::OwnFile);
    } catch (const FileWriteError&) {
        return false;
    }
    return true;
}
