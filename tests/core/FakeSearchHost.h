// A scripted stand-in for the main window in engine tests: records every text the search shows, counts the
// message-processing points, and can request a stop (or run any action) at a chosen point.
#pragma once

#include "engine/SearchHost.h"
#include "engine/SearchTexts.h"

#include <QString>
#include <QStringList>
#include <functional>

class FakeSearchHost : public SearchHost {
public:
    // Processing points seen so far.
    int messageCount = 0;
    // When > 0, the stop flag is raised at the processing point with this number (1 = the first one).
    int stopAfterMessages = 0;
    // Runs at every processing point after the count is advanced, with the point's number; tests use it to
    // toggle the subfolder switch, release the catalogue or look at half-finished state.
    std::function<void(int)> onMessages;

    bool stopped = false;
    bool scanSubfolders = true;
    QStringList filesCountTexts;
    QStringList duplicatesTexts;
    // How many times each switch was read, for tests of when the engine looks at them.
    mutable int stopReads = 0;
    mutable int subfolderReads = 0;

    void ProcessMessages() override {
        ++messageCount;
        if (stopAfterMessages > 0 && messageCount == stopAfterMessages)
            stopped = true;
        if (onMessages)
            onMessages(messageCount);
    }
    bool SearchStopped() const override {
        ++stopReads;
        return stopped;
    }
    bool ScanSubfolders() const override {
        ++subfolderReads;
        return scanSubfolders;
    }
    void ReportProgress(const SearchProgress& progress, ProgressLine line) override {
        if (line == ProgressLine::Pictures)
            filesCountTexts << FilesCountText(progress);
        else
            duplicatesTexts << PairsFoundText(progress);
    }

    QString lastFilesCountText() const { return filesCountTexts.isEmpty() ? QString() : filesCountTexts.last(); }
    QString lastDuplicatesText() const { return duplicatesTexts.isEmpty() ? QString() : duplicatesTexts.last(); }
};
