// Every text a search shows the user, formed from the numbers the engine reports: the two progress lines,
// the elapsed time, the refusals, the summary counts and the summary message. The window, voralin-cli and
// the tests all take their texts from here.
#pragma once

#include "engine/SearchHost.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <cstdint>

// Why a search did not start.
enum class SearchRefusal { None, NoFolders, NoPictureTypes };

// Interrupted only when a stop left pictures untaken: a stop that comes once the matcher has taken the last
// picture (while the workers wind down or the cache is written) still ends a finished search.
enum class SearchEnd { Refused, Finished, Interrupted };

// What one search came to.
struct SearchOutcome {
    SearchEnd End = SearchEnd::Finished;
    SearchRefusal Refusal = SearchRefusal::None;
    // What the two progress lines showed last.
    SearchProgress Progress;
    // LastPicIndex + 1: the pictures of the search, or those the matcher had started when it was stopped.
    int32_t PicturesScanned = 0;
    int32_t PairsFound = 0;
    int64_t TotalSize = 0;
    // Files and folders not searched because the system's encoding cannot hold their names.
    int32_t PassedOverNames = 0;
    // The elapsed time as the window showed it last.
    uint32_t ElapsedMs = 0;
};

// The program's line break inside messages: line feed, then carriage return.
inline const QString kMessageLineBreak = QStringLiteral("\n\r");

// "Total pictures scanned: i / n".
QString FilesCountText(const SearchProgress& progress);
// "Similar pairs found: k".
QString PairsFoundText(const SearchProgress& progress);
// "Elapsed time: hh:mm:ss".
QString ElapsedTimeText(uint32_t milliseconds);
// The error message of a refusal; empty for None.
QString RefusalText(SearchRefusal refusal);

// The three lines under the results list, counts in the "#,##0" pattern of `locale`.
struct SummaryCountTexts {
    QString Scanned;
    QString Duplicates;
    QString DiskUsage;
};
SummaryCountTexts SummaryCounts(const SearchOutcome& outcome, const QLocale& locale);
// What the searching state puts there before any count is known.
SummaryCountTexts SummaryCountsAtStart();

// "Search finished." or "Search interrupted.", the pictures line, the pairs line and the time line; then,
// only when there were any, the count of names passed over.
QStringList SummaryLines(const SearchOutcome& outcome);
// The summary message box's text: the first line padded with 36 blanks, an empty line, then the other
// lines, each ended by the message line break.
QString SummaryMessage(const SearchOutcome& outcome);
