// Builds the CSV bytes of the pair list.
#include "engine/CsvWriter.h"

#include "engine/Formatting.h"

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr char kLineEnd[] = "\r\n";

bool needsQuotes(const QString& text) {
    for (QChar c : text) {
        if (c == QLatin1Char(';') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return true;
    }
    return false;
}

void appendLine(QByteArray& out, const QString& group, const QString& path, const QString& similarity) {
    out += (CsvField(group) + QLatin1Char(';') + CsvField(path) + QLatin1Char(';') + CsvField(similarity) +
            QLatin1Char(';'))
               .toUtf8();
    out += kLineEnd;
}

}  // namespace

QString CsvField(const QString& text) {
    if (!needsQuotes(text))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

namespace {

// Header and two lines for each pair that pairAt(0 .. count - 1) gives.
template <typename PairAt>
QByteArray pairLines(const Catalogue& catalogue, const QLocale& locale, int32_t count, PairAt pairAt) {
    QByteArray out(kByteOrderMark);
    out += "Group Num;Picture Filename;Similarity;";
    out += kLineEnd;
    for (int32_t i = 0; i < count; ++i) {
        const TPicturePair& pair = pairAt(i);
        const QString group = QString::number(i + 1);
        const QString similarity = FormatCount(pair.Similarity, locale);
        appendLine(out, group, catalogue.PicturePath(pair.PicIndex1), similarity);
        appendLine(out, group, catalogue.PicturePath(pair.PicIndex2), similarity);
    }
    return out;
}

}  // namespace

QByteArray PairListCsv(const Catalogue& catalogue, const QLocale& locale) {
    return pairLines(catalogue, locale, catalogue.LastPairIndex + 1, [&catalogue](int32_t i) -> const TPicturePair& {
        return catalogue.PicturePairs[static_cast<size_t>(i)];
    });
}

QByteArray PairListCsv(const Catalogue& catalogue, const QLocale& locale, const std::vector<int32_t>& pairs) {
    return pairLines(catalogue, locale, static_cast<int32_t>(pairs.size()),
                     [&](int32_t i) -> const TPicturePair& {
                         return catalogue.PicturePairs[static_cast<size_t>(pairs[static_cast<size_t>(i)])];
                     });
}
