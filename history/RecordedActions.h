// File actions as the program carries them out: each one written into the journal before it is done and
// confirmed after, so that it can be undone. Without a journal they are the plain actions.
#pragma once

#include "history/ActionJournal.h"
#include "platform/FileActions.h"
#include "results/BatchActions.h"

#include <cstdint>

class RecordedFileActions {
public:
    // `journal` may be null: nothing is recorded then.
    explicit RecordedFileActions(ActionJournal* journal) : journal_(journal) {}

    // A step for the actions of one batch; 0 without a journal. A single action given step 0 gets its own.
    int64_t NewStep();
    // DeletePictureFile, recorded. A journal that cannot be written does not keep the user's action from
    // being done; it only cannot be undone then.
    FileOpResult Delete(const QString& path, bool toTrash, const TrashMover& trash, int64_t step = 0);
    // MovePictureFile, recorded.
    FileOpResult Move(const QString& source, const QString& destination, int64_t step = 0);

private:
    int64_t begin(int64_t step, JournalAction action, const QString& source, const QString& target);
    void confirm(int64_t id, const FileOpResult& result);

    ActionJournal* journal_;
};

// The operations of one batch, recorded as one step.
class RecordedBatchOperations : public BatchFileOperations {
public:
    RecordedBatchOperations(RecordedFileActions& actions, TrashMover trash);
    int Delete(const QString& path, bool toTrash) override;
    int Move(const QString& source, const QString& destination) override;

private:
    RecordedFileActions& actions_;
    TrashMover trash_;
    int64_t step_;
};
