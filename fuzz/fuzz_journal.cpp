// The journal of file actions as the history window meets it: any bytes as the journal file, read, listed as
// undo steps, then one more action recorded and the file read again.
// The first byte chooses: even, the rest is the file as it stands; odd, each line of the rest gets its check
// appended first, so that the fields behind the check are reached as well as the check itself.
#include "fuzz/FuzzWork.h"
#include "history/ActionJournal.h"
#include "history/UndoHistory.h"

#include <QCryptographicHash>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <set>

namespace {

// As the journal seals a line: the start of a SHA-256 of the line, after a blank.
QByteArray Sealed(const QByteArray& text)
{
    QByteArray out;
    qsizetype start = 0;
    for (qsizetype end; (end = text.indexOf('\n', start)) >= 0; start = end + 1) {
        const QByteArray line = text.mid(start, end - start);
        out += line + ' ' + QCryptographicHash::hash(line, QCryptographicHash::Sha256).toHex().left(16) + '\n';
    }
    return out + text.mid(start);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The trash the undo list looks into is the work folder's, never the user's.
    setenv("XDG_DATA_HOME", FuzzWorkFolder().path().toLocal8Bit().constData(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool seal = data[0] % 2 == 1;
    QByteArray text(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    if (seal)
        text = Sealed(text);
    const QString file = FuzzWorkFolder().filePath(QStringLiteral("actions.journal"));
    WriteFuzzInput(file, reinterpret_cast<const uint8_t*>(text.constData()), static_cast<size_t>(text.size()));

    ActionJournal journal(file);
    std::set<int64_t> ids;
    for (const JournalRecord& r : journal.Records()) {
        Require(r.Id > 0 && ids.insert(r.Id).second);
        Require(journal.Find(r.Id) == &r);
    }
    UndoHistory history(journal);
    size_t listed = 0;
    for (const HistoryStep& step : history.Steps())
        listed += step.Items.size();
    Require(listed == journal.Records().size());
    history.LastUndoable();

    // The next batch and action must not take a step or an id the journal holds.
    const int64_t step = journal.NewStep();
    for (const JournalRecord& r : journal.Records())
        Require(step > r.Step);
    const int64_t id = journal.Begin(step, JournalAction::Move, QStringLiteral("/a b/c"), QStringLiteral("/d"), 1, 2,
                                     QByteArray());
    Require(id > 0 && ids.count(id) == 0);
    journal.Reload();
    const JournalRecord* added = journal.Find(id);
    Require(added && added->Step == step && added->Source == QStringLiteral("/a b/c"));
    return 0;
}
