// JSON, so that a person can read and mend it; every value is checked on the way in.
#include "history/WindowMemory.h"

#include "history/HistoryFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr qint64 kMaxFileBytes = 1 << 20;
constexpr int kFormat = 1;
constexpr int kMaxColumns = 64;
constexpr int kMaxWidth = 100000;
const QString kPairs = QStringLiteral("pairs");
const QString kGroups = QStringLiteral("groups");

QByteArray fromBase64(const QJsonValue& v, bool& ok) {
    if (!v.isString()) {
        ok = false;
        return {};
    }
    const auto decoded = QByteArray::fromBase64Encoding(v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    ok = ok && decoded.decodingStatus == QByteArray::Base64DecodingStatus::Ok;
    return decoded.decoded;
}

}  // namespace

QString WindowMemoryFile(const QString& settingsFolder) {
    return settingsFolder + QStringLiteral("WindowState.json");
}

std::optional<WindowMemory> ReadWindowMemory(const QString& file) {
    const std::optional<QByteArray> text = ReadHistoryFile(file, kMaxFileBytes);
    if (!text)
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(*text, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    if (o.value(QStringLiteral("format")).toInt() != kFormat)
        return std::nullopt;
    WindowMemory m;
    bool ok = true;
    for (const QJsonValue& f : o.value(QStringLiteral("folders")).toArray()) {
        const QJsonObject folder = f.toObject();
        const QJsonValue path = folder.value(QStringLiteral("path"));
        if (!path.isString() || path.toString().isEmpty())
            return std::nullopt;
        m.Folders.push_back({path.toString(), folder.value(QStringLiteral("reference")).toBool()});
    }
    if (o.contains(QStringLiteral("geometry")))
        m.Geometry = fromBase64(o.value(QStringLiteral("geometry")), ok);
    const QJsonObject splitters = o.value(QStringLiteral("splitters")).toObject();
    for (auto it = splitters.begin(); it != splitters.end(); ++it)
        m.Splitters[it.key()] = fromBase64(it.value(), ok);
    const QJsonObject columns = o.value(QStringLiteral("columns")).toObject();
    for (auto it = columns.begin(); it != columns.end(); ++it) {
        const QJsonArray widths = it.value().toArray();
        if (!it.value().isArray() || widths.size() > kMaxColumns)
            return std::nullopt;
        std::vector<int>& out = m.Columns[it.key()];
        for (const QJsonValue& w : widths) {
            const int width = w.toInt(-1);
            if (!w.isDouble() || width < 0 || width > kMaxWidth)
                return std::nullopt;
            out.push_back(width);
        }
    }
    const QJsonValue sort = o.value(QStringLiteral("sortColumn"));
    m.SortColumn = sort.toInt(0);
    if (m.SortColumn < 0 || m.SortColumn >= kMaxColumns)
        return std::nullopt;
    m.SortDescending = o.value(QStringLiteral("sortDescending")).toBool();
    m.View = o.value(QStringLiteral("view")).toString();
    if (!m.View.isEmpty() && m.View != kPairs && m.View != kGroups)
        return std::nullopt;
    if (!ok)
        return std::nullopt;
    return m;
}

bool WriteWindowMemory(const QString& file, const WindowMemory& m) {
    QJsonObject o;
    o.insert(QStringLiteral("format"), kFormat);
    QJsonArray folders;
    for (const RememberedFolder& f : m.Folders)
        folders.append(QJsonObject{{QStringLiteral("path"), f.Path}, {QStringLiteral("reference"), f.Reference}});
    o.insert(QStringLiteral("folders"), folders);
    o.insert(QStringLiteral("geometry"), QString::fromLatin1(m.Geometry.toBase64()));
    QJsonObject splitters;
    for (const auto& [name, state] : m.Splitters)
        splitters.insert(name, QString::fromLatin1(state.toBase64()));
    o.insert(QStringLiteral("splitters"), splitters);
    QJsonObject columns;
    for (const auto& [name, widths] : m.Columns) {
        QJsonArray a;
        for (const int w : widths)
            a.append(w);
        columns.insert(name, a);
    }
    o.insert(QStringLiteral("columns"), columns);
    o.insert(QStringLiteral("sortColumn"), m.SortColumn);
    o.insert(QStringLiteral("sortDescending"), m.SortDescending);
    o.insert(QStringLiteral("view"), m.View);
    return WriteHistoryFile(file, QJsonDocument(o).toJson(QJsonDocument::Indented));
}
