// JSON of the groups through Qt's JSON writer.
#include "results/GroupsJson.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

constexpr int64_t kNanosecondsPerMillisecond = 1000000;

QJsonValue modifiedText(const Catalogue& catalogue, const PictureFacts& facts, int32_t k) {
    if (!facts.Exists(k))
        return QJsonValue::Null;
    const int64_t ms = facts.Of(catalogue, k).ModifiedNs / kNanosecondsPerMillisecond;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

int positionIn(const std::vector<int32_t>& files, int32_t k) {
    return static_cast<int>(std::lower_bound(files.begin(), files.end(), k) - files.begin());
}

}  // namespace

QByteArray GroupsJson(const Catalogue& catalogue, const ResultGroups& groups, const PictureFacts& facts) {
    QJsonArray groupArray;
    for (const PairGroup& group : groups.Groups()) {
        QJsonArray files;
        for (const int32_t k : group.Files) {
            const TPicInfo& info = catalogue.Pictures[static_cast<size_t>(k)];
            files.append(QJsonObject{
                {QStringLiteral("path"), catalogue.PicturePath(k)},
                {QStringLiteral("size"), static_cast<qint64>(info.Size)},
                {QStringLiteral("width"), info.Width},
                {QStringLiteral("height"), info.Height},
                {QStringLiteral("modified"), modifiedText(catalogue, facts, k)},
            });
        }
        QJsonArray pairs;
        for (const int32_t i : group.Pairs) {
            const TPicturePair& p = catalogue.PicturePairs[static_cast<size_t>(i)];
            pairs.append(QJsonObject{
                {QStringLiteral("first"), positionIn(group.Files, p.PicIndex1)},
                {QStringLiteral("second"), positionIn(group.Files, p.PicIndex2)},
                {QStringLiteral("similarity"), p.Similarity},
                {QStringLiteral("hardLink"), facts.OneFile(catalogue, p.PicIndex1, p.PicIndex2)},
            });
        }
        groupArray.append(QJsonObject{
            {QStringLiteral("files"), files},
            {QStringLiteral("pairs"), pairs},
            {QStringLiteral("freedBytes"), static_cast<qint64>(group.FreedBytes)},
        });
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("groups"), groupArray}}).toJson(QJsonDocument::Indented);
}
