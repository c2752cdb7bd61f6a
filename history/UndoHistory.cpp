// What became of each recorded action is read off the disk at the moment it is asked: the journal says what
// was meant and what was confirmed, the file system what is there now.
#include "history/UndoHistory.h"

#include "history/HistoryFiles.h"
#include "platform/FileFacts.h"
#include "platform/Trash.h"

#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <map>

namespace {

// A name in use, by a file, a folder or even a dangling link.
bool taken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// The file at `path` is, as far as size and time tell, the one the record saw.
bool sameFacts(const QString& path, const JournalRecord& record) {
    const std::optional<FileFacts> facts = ReadFileFacts(path);
    return facts && !facts->SymbolicLink && facts->Size == record.Size && facts->ModifiedNs == record.ModifiedNs;
}

bool sameContent(const QString& path, const JournalRecord& record) {
    if (record.Digest.isEmpty())
        return sameFacts(path, record);
    const std::optional<QByteArray> digest = FileDigest(path);
    return digest && *digest == record.Digest;
}

// Where an action whose confirmation was lost left the file, if it was carried out at all.
QString unconfirmedLocation(const JournalRecord& record) {
    if (record.Action == JournalAction::Move)
        return sameFacts(record.Target, record) ? record.Target : QString();
    const QStringList entries = TrashEntriesFor(record.Source);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (sameFacts(*it, record) && sameContent(*it, record))
            return *it;
    }
    return {};
}

}  // namespace

QString RestoreStateText(RestoreState state) {
    switch (state) {
    case RestoreState::Restorable: return QStringLiteral("can be restored");
    case RestoreState::Restored: return QStringLiteral("restored");
    case RestoreState::NotCarriedOut: return QStringLiteral("not carried out");
    case RestoreState::DeletedForGood: return QStringLiteral("deleted permanently; cannot be restored");
    case RestoreState::Gone: return QStringLiteral("no longer where it went; cannot be restored");
    case RestoreState::PathTaken: return QStringLiteral("another file has its old name; cannot be restored");
    case RestoreState::Changed: return QStringLiteral("changed since; cannot be restored");
    }
    return {};
}

QString RestoreReportText(const RestoreReport& report, const QString& lineBreak, int listed) {
    QStringList lines;
    const auto more = [&lines](size_t all, int named) {
        if (all > static_cast<size_t>(named))
            lines.append(QStringLiteral("and %1 more").arg(all - static_cast<size_t>(named)));
    };
    if (report.Refused) {
        lines.append(QStringLiteral("Nothing was restored. These files stand in the way:"));
    } else if (!report.Restored.empty()) {
        lines.append(report.Restored.size() == 1 ? QStringLiteral("Restored:")
                                                 : QStringLiteral("Restored %1 files:").arg(report.Restored.size()));
        int named = 0;
        for (const JournalRecord& r : report.Restored) {
            if (named == listed)
                break;
            lines.append(r.Source);
            ++named;
        }
        more(report.Restored.size(), named);
        if (!report.NotRestored.empty())
            lines.append(QStringLiteral("Not restored:"));
    } else {
        lines.append(QStringLiteral("Nothing was restored:"));
    }
    int named = 0;
    for (const RestoreFailure& f : report.NotRestored) {
        if (named == listed)
            break;
        QString line = f.Record.Source + QStringLiteral(": ") + RestoreStateText(f.State);
        if (f.ErrorCode != 0)
            line += QStringLiteral(" (error code %1)").arg(f.ErrorCode);
        lines.append(line);
        ++named;
    }
    more(report.NotRestored.size(), named);
    return lines.join(lineBreak);
}

int HistoryStep::Count(RestoreState state) const {
    int n = 0;
    for (const HistoryItem& item : Items)
        n += item.State == state ? 1 : 0;
    return n;
}

UndoHistory::UndoHistory(ActionJournal& journal, RestoreMover mover) : journal_(journal), mover_(std::move(mover)) {
    if (!mover_)
        mover_ = [](const QString& from, const QString& to) { return MovePictureFile(from, to); };
}

HistoryItem UndoHistory::Evaluate(const JournalRecord& record) const {
    HistoryItem item{record, RestoreState::NotCarriedOut, {}};
    if (record.Outcome == JournalOutcome::Failed)
        return item;
    const bool sourceAsBefore = sameFacts(record.Source, record);
    if (record.Action == JournalAction::Delete) {
        if (record.Outcome == JournalOutcome::Unconfirmed && sourceAsBefore)
            return item;
        item.State = RestoreState::DeletedForGood;
        return item;
    }
    if (record.Outcome == JournalOutcome::Done) {
        item.Location = record.Where;
    } else {
        // Killed between the record and its confirmation: the file is either still at its old path, or where
        // the action takes it (a copy across file systems leaves the original until the copy is complete).
        if (sourceAsBefore)
            return item;
        item.Location = unconfirmedLocation(record);
    }
    if (item.Location.isEmpty() || !taken(item.Location)) {
        item.State = record.Restored || sourceAsBefore ? RestoreState::Restored : RestoreState::Gone;
        return item;
    }
    if (record.Restored && sourceAsBefore) {
        item.State = RestoreState::Restored;
        return item;
    }
    if (!sameFacts(item.Location, record))
        item.State = RestoreState::Changed;
    else if (taken(record.Source))
        item.State = RestoreState::PathTaken;
    else
        item.State = RestoreState::Restorable;
    return item;
}

std::vector<HistoryStep> UndoHistory::Steps() const {
    std::vector<HistoryStep> steps;
    std::map<int64_t, size_t> at;
    const std::vector<JournalRecord>& records = journal_.Records();
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        auto [slot, fresh] = at.try_emplace(it->Step, steps.size());
        if (fresh)
            steps.push_back({it->Step, it->TimeMs, {}});
        HistoryStep& step = steps[slot->second];
        step.TimeMs = std::min(step.TimeMs, it->TimeMs);
        step.Items.insert(step.Items.begin(), Evaluate(*it));
    }
    return steps;
}

std::optional<HistoryStep> UndoHistory::LastUndoable() const {
    for (HistoryStep& step : Steps()) {
        // A step kept back only for now is still the last one: undo says why rather than reach past it.
        if (step.Count(RestoreState::Restorable) + step.Count(RestoreState::PathTaken) +
                step.Count(RestoreState::Changed) >
            0)
            return std::move(step);
    }
    return std::nullopt;
}

bool UndoHistory::restoreOne(const HistoryItem& item, RestoreReport& report) {
    // The last look before the file moves: its whole content must be the content that left.
    if (!sameContent(item.Location, item.Record)) {
        report.NotRestored.push_back({item.Record, RestoreState::Changed, 0});
        return false;
    }
    const FileOpResult result = item.Record.Action == JournalAction::Trash
                                    ? RestoreFromTrash(item.Location, item.Record.Source)
                                    : mover_(item.Location, item.Record.Source);
    if (!result.ok) {
        const RestoreState state = result.errorCode == EEXIST ? RestoreState::PathTaken : RestoreState::Restorable;
        report.NotRestored.push_back({item.Record, state, result.errorCode});
        return false;
    }
    journal_.MarkRestored(item.Record.Id);
    report.Restored.push_back(item.Record);
    return true;
}

RestoreReport UndoHistory::RestoreStep(int64_t step) {
    RestoreReport report;
    std::vector<HistoryItem> items;
    for (const JournalRecord& record : journal_.Records()) {
        if (record.Step == step)
            items.push_back(Evaluate(record));
    }
    for (const HistoryItem& item : items) {
        if (item.State == RestoreState::PathTaken || item.State == RestoreState::Changed)
            report.NotRestored.push_back({item.Record, item.State, 0});
    }
    if (!report.NotRestored.empty()) {
        report.Refused = true;
        return report;
    }
    for (const HistoryItem& item : items) {
        if (item.State == RestoreState::Restorable)
            restoreOne(item, report);
        else if (item.State == RestoreState::DeletedForGood || item.State == RestoreState::Gone)
            report.NotRestored.push_back({item.Record, item.State, 0});
    }
    return report;
}

RestoreReport UndoHistory::RestoreAction(int64_t id) {
    RestoreReport report;
    const JournalRecord* record = journal_.Find(id);
    if (!record)
        return report;
    const HistoryItem item = Evaluate(*record);
    if (item.State == RestoreState::Restorable)
        restoreOne(item, report);
    else if (item.State != RestoreState::Restored)
        report.NotRestored.push_back({item.Record, item.State, 0});
    return report;
}
