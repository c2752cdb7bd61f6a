// What the search engine needs from whoever runs it (the main window, the command-line tool, tests,
// benchmarks): message processing, the progress texts, the stop flag and the subfolder switch.
#pragma once

#include <QString>

class SearchHost {
public:
    virtual ~SearchHost() = default;
    // Lets pending window events run; the only point where other handlers can interleave with a search.
    virtual void ProcessMessages() = 0;
    // True when no search should continue (stop requested, or window closing).
    virtual bool SearchStopped() const = 0;
    // The checked state of the subfolder switch, read each time a folder is entered.
    virtual bool ScanSubfolders() const = 0;
    // FilesCountLabel ("Total pictures scanned: i / n").
    virtual void SetFilesCountText(const QString& text) = 0;
    // CurrentDuplicatesFoundLabel ("Similar pairs found: k").
    virtual void SetCurrentDuplicatesText(const QString& text) = 0;
};
