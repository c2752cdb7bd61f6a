// The journal of file actions: every delete, move and batch is written down before it is carried out and
// confirmed after, so that undo knows what happened even when the program was killed half way. The file only
// grows; each record is one line with a checksum, and a line that is cut short or damaged is ignored.
#pragma once

#include "platform/FileActions.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <unordered_map>
#include <vector>

enum class JournalAction { Trash, Delete, Move };  // Delete: for good
enum class JournalOutcome { Unconfirmed, Done, Failed };

// One action as the journal tells it.
struct JournalRecord {
    int64_t Id = 0;
    int64_t Step = 0;         // the actions of one batch share their step; a single action has its own
    qint64 TimeMs = 0;        // when it was begun, milliseconds since 1970 (UTC)
    JournalAction Action = JournalAction::Trash;
    QString Source;           // the file's path before the action
    QString Target;           // moves: the destination asked for
    int64_t Size = -1;        // as the file was just before the action; -1 when unknown
    int64_t ModifiedNs = 0;
    QByteArray Digest;        // FileDigest of the file before the action; empty when it could not be read
    JournalOutcome Outcome = JournalOutcome::Unconfirmed;
    QString Where;            // done: the trash entry's file or the new path
    int ErrorCode = 0;        // failed: the errno
    bool Restored = false;    // put back by an undo
};

class ActionJournal {
public:
    // Reads what `file` holds; a missing file is an empty journal.
    explicit ActionJournal(QString file);
    // HistoryFolder() + "actions.journal".
    static QString DefaultFile();
    const QString& File() const { return file_; }

    // Reads the file again (another instance of the program may have written to it).
    void Reload();
    // The actions in the order they were begun.
    const std::vector<JournalRecord>& Records() const { return records_; }
    const JournalRecord* Find(int64_t id) const;

    // An id for a new step, unused in the journal so far.
    int64_t NewStep();
    // Writes the record of an action about to be carried out and returns its id; 0 when the record could not
    // be written (LastError() says why).
    int64_t Begin(int64_t step, JournalAction action, const QString& source, const QString& target,
                  int64_t size, int64_t modifiedNs, const QByteArray& digest);
    // What came of action `id`.
    bool Confirm(int64_t id, const FileOpResult& result);
    // Action `id` was undone.
    bool MarkRestored(int64_t id);
    int LastError() const { return lastError_; }

    // Parses journal text: every whole, intact line, in order. Exposed for tests that cut the file.
    void Parse(const QByteArray& text);

private:
    bool append(const QByteArray& payload);
    JournalRecord* find(int64_t id);

    QString file_;
    std::vector<JournalRecord> records_;
    std::unordered_map<int64_t, size_t> byId_;
    int64_t lastId_ = 0;
    int64_t lastStep_ = 0;
    int lastError_ = 0;
};
