// Undo of recorded file actions: a trashed file comes back from the trash to its old path, a moved file is
// moved back, never replacing a file and with the checks of a move, a batch as one step. What cannot be put
// back (a deletion for good, an emptied trash, a name now taken, a file changed since) says so and is left
// alone: each file is either back whole or untouched.
#pragma once

#include "history/ActionJournal.h"
#include "platform/FileActions.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

enum class RestoreState {
    Restorable,      // can be put back
    Restored,        // is back at its old path already
    NotCarriedOut,   // the action failed or never happened: nothing to undo
    DeletedForGood,  // deleted without the trash
    Gone,            // the trash entry was emptied, or the moved file is no longer where it went
    PathTaken,       // another file has the old name now
    Changed,         // the file found where it went is not the file that went there
};

// "can be restored", "restored", ... as the history lists them.
QString RestoreStateText(RestoreState state);

struct HistoryItem {
    JournalRecord Record;
    RestoreState State = RestoreState::NotCarriedOut;
    QString Location;  // where the file is now (trash entry or moved file), when known
};

struct HistoryStep {
    int64_t Step = 0;
    qint64 TimeMs = 0;  // when its first action was begun
    std::vector<HistoryItem> Items;
    int Count(RestoreState state) const;
};

struct RestoreFailure {
    JournalRecord Record;
    RestoreState State = RestoreState::Restorable;
    int ErrorCode = 0;  // errno when putting it back failed
};

struct RestoreReport {
    std::vector<JournalRecord> Restored;
    std::vector<RestoreFailure> NotRestored;  // the files that stay where they are, and why
    bool Refused = false;                     // a step with a blocked file: nothing was done
};

// What an undo tells the user: the files put back and each file left where it is, with why; lines joined by
// `lineBreak`. At most `listed` paths of each kind are named, the rest counted.
QString RestoreReportText(const RestoreReport& report, const QString& lineBreak, int listed = 10);

// Moves a file back from where a move took it; never replaces (MovePictureFile unless a test says otherwise).
using RestoreMover = std::function<FileOpResult(const QString& from, const QString& to)>;

class UndoHistory {
public:
    explicit UndoHistory(ActionJournal& journal, RestoreMover mover = {});

    // What became of one recorded action, looked at now.
    HistoryItem Evaluate(const JournalRecord& record) const;
    // Every step, newest first.
    std::vector<HistoryStep> Steps() const;
    // The newest step with a file that can be put back, or is kept from it only for now (its old name taken,
    // or changed since): what Undo undoes, or says it cannot.
    std::optional<HistoryStep> LastUndoable() const;
    // Puts back every file of the step that can be. When any file of it that was acted on is blocked (its
    // old name taken, or changed since), nothing is done and the report says which files block.
    RestoreReport RestoreStep(int64_t step);
    // Puts back one action's file.
    RestoreReport RestoreAction(int64_t id);

private:
    bool restoreOne(const HistoryItem& item, RestoreReport& report);

    ActionJournal& journal_;
    RestoreMover mover_;
};
