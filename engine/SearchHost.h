// What the search engine needs from whoever runs it (the main window, the command-line tool, tests,
// benchmarks): message processing, the stop flag, the subfolder switch, and a place to report progress.
// The engine reports numbers only; every text about a search is formed from them in SearchTexts.h.
#pragma once

#include <cstdint>

enum class SearchPhase { Walking, Matching };

// How far a search has come. While the folders are walked Done stays 0 and Total counts the pictures found;
// while matching Done counts the pictures taken and Total is the catalogue's count.
struct SearchProgress {
    SearchPhase Phase = SearchPhase::Walking;
    int32_t Done = 0;
    int32_t Total = 0;
    int32_t Pairs = 0;
};

// Which of the two progress lines a report changes: the pictures line ("Total pictures scanned: i / n") or
// the pairs line ("Similar pairs found: k").
enum class ProgressLine { Pictures, Pairs };

class SearchHost {
public:
    virtual ~SearchHost() = default;
    // Lets pending window events run; the only point where other handlers can interleave with a search.
    virtual void ProcessMessages() = 0;
    // True when no search should continue (stop requested, or window closing).
    virtual bool SearchStopped() const = 0;
    // The checked state of the subfolder switch, read each time a folder is entered.
    virtual bool ScanSubfolders() const = 0;
    // One progress line changed; the fields of `progress` that belong to the other line may be stale.
    virtual void ReportProgress(const SearchProgress& progress, ProgressLine line) = 0;
};
