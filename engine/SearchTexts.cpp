// The texts of a search, from its numbers.
#include "engine/SearchTexts.h"

#include "engine/Formatting.h"

namespace {

constexpr int kSummaryPadding = 36;  // blanks after the first line of the summary message

}  // namespace

QString FilesCountText(const SearchProgress& progress) {
    return QStringLiteral("Total pictures scanned: %1 / %2").arg(progress.Done).arg(progress.Total);
}

QString PairsFoundText(const SearchProgress& progress) {
    return QStringLiteral("Similar pairs found: %1").arg(progress.Pairs);
}

QString ElapsedTimeText(uint32_t milliseconds) {
    return QStringLiteral("Elapsed time: ") + FormatElapsedTime(milliseconds);
}

QString RefusalText(SearchRefusal refusal) {
    switch (refusal) {
    case SearchRefusal::NoFolders:
        return QStringLiteral("Please, add one or more directories to search.");
    case SearchRefusal::NoPictureTypes:
        return QStringLiteral("Please, choose one or more file types in Settings menu.");
    case SearchRefusal::None:
        break;
    }
    return {};
}

SummaryCountTexts SummaryCounts(const SearchOutcome& outcome, const QLocale& locale) {
    return {QStringLiteral("Files scanned: ") + FormatCount(outcome.PicturesScanned, locale),
            QStringLiteral("Duplicates found: ") + FormatCount(outcome.PairsFound, locale),
            QStringLiteral("Disk Space Usage: ") + FormatSize(outcome.TotalSize, locale)};
}

SummaryCountTexts SummaryCountsAtStart() {
    return {QStringLiteral("Files scanned: 0"), QStringLiteral("Duplicates found: 0"),
            QStringLiteral("Disk Space Usage: 0 MB")};
}

QStringList SummaryLines(const SearchOutcome& outcome) {
    const QString first = outcome.End == SearchEnd::Interrupted ? QStringLiteral("Search interrupted.")
                                                                : QStringLiteral("Search finished.");
    QStringList lines{first, FilesCountText(outcome.Progress), PairsFoundText(outcome.Progress),
                      ElapsedTimeText(outcome.ElapsedMs)};
    // Only when there are such names, so every other summary stays as it was.
    if (outcome.PassedOverNames > 0)
        lines << QStringLiteral("Passed over, names not readable in this system's encoding: %1")
                     .arg(outcome.PassedOverNames);
    return lines;
}

QString SummaryMessage(const SearchOutcome& outcome) {
    const QStringList lines = SummaryLines(outcome);
    QString text = lines.first() + QString(kSummaryPadding, QLatin1Char(' ')) + kMessageLineBreak + kMessageLineBreak;
    for (qsizetype i = 1; i < lines.size(); ++i)
        text += lines[i] + kMessageLineBreak;
    return text;
}
