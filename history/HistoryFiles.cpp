#include "history/HistoryFiles.h"

#include "platform/RegularFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
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
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile() || info.size() > maxSize)
        return std::nullopt;
    QFile file;
    if (!OpenRegularFile(file, path))
        return std::nullopt;
    QByteArray bytes = file.read(maxSize + 1);
    if (bytes.size() > maxSize || file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

bool WriteHistoryFile(const QString& path, const QByteArray& bytes) {
    if (QFileInfo(path).isSymLink())
        return false;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    return file.commit();
}
