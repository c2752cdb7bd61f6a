#include "history/RecordedActions.h"

#include "history/HistoryFiles.h"
#include "platform/FileFacts.h"


int64_t RecordedFileActions::NewStep() { return journal_ ? journal_->NewStep() : 0; }

int64_t RecordedFileActions::begin(int64_t step, JournalAction action, const QString& source, const QString& target) {
    if (!journal_)
        return 0;
    if (step == 0)
        step = journal_->NewStep();
    const std::optional<FileFacts> facts = ReadFileFacts(source);
    const QByteArray digest = FileDigest(source).value_or(QByteArray());
    return journal_->Begin(step, action, source, target, facts ? facts->Size : -1, facts ? facts->ModifiedNs : 0,
                           digest);
}

void RecordedFileActions::confirm(int64_t id, const FileOpResult& result) {
    if (journal_ && id != 0)
        journal_->Confirm(id, result);
}

FileOpResult RecordedFileActions::Delete(const QString& path, bool toTrash, const TrashMover& trash, int64_t step) {
    const int64_t id = begin(step, toTrash ? JournalAction::Trash : JournalAction::Delete, path, {});
    const FileOpResult result = DeletePictureFile(path, toTrash, trash);
    confirm(id, result);
    return result;
}

FileOpResult RecordedFileActions::Move(const QString& source, const QString& destination, int64_t step) {
    const int64_t id = begin(step, JournalAction::Move, source, destination);
    const FileOpResult result = MovePictureFile(source, destination);
    confirm(id, result);
    return result;
}

RecordedBatchOperations::RecordedBatchOperations(RecordedFileActions& actions, TrashMover trash)
    : actions_(actions), trash_(std::move(trash)), step_(actions.NewStep()) {}

int RecordedBatchOperations::Delete(const QString& path, bool toTrash) {
    return FailureCode(actions_.Delete(path, toTrash, trash_, step_));
}

int RecordedBatchOperations::Move(const QString& source, const QString& destination) {
    return FailureCode(actions_.Move(source, destination, step_));
}
