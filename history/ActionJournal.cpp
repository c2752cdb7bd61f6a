// Journal lines: "VJ1 <kind> <fields...> <check>", fields percent-encoded so that no path can hold a blank or
// a line break, and the check the start of a SHA-256 of everything before it.
#include "history/ActionJournal.h"

#include "history/HistoryFiles.h"
#include "platform/AppendFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace {

constexpr qint64 kMaxJournalBytes = qint64{1} << 30;
const QByteArray kMagic = QByteArrayLiteral("VJ1");
const QByteArray kEmpty = QByteArrayLiteral("-");

QByteArray checkOf(const QByteArray& payload) {
    return QCryptographicHash::hash(payload, QCryptographicHash::Sha256).toHex().left(16);
}

QByteArray encodePath(const QString& path) {
    return path.isEmpty() ? kEmpty : QUrl::toPercentEncoding(QFile::encodeName(path), "/");
}

QString decodePath(const QByteArray& field) {
    return field == kEmpty ? QString() : QFile::decodeName(QByteArray::fromPercentEncoding(field));
}

QByteArray actionName(JournalAction action) {
    switch (action) {
    case JournalAction::Trash: return QByteArrayLiteral("trash");
    case JournalAction::Delete: return QByteArrayLiteral("delete");
    case JournalAction::Move: return QByteArrayLiteral("move");
    }
    return {};
}

bool actionOf(const QByteArray& name, JournalAction& action) {
    for (const JournalAction a : {JournalAction::Trash, JournalAction::Delete, JournalAction::Move}) {
        if (actionName(a) == name) {
            action = a;
            return true;
        }
    }
    return false;
}

bool number(const QByteArray& field, int64_t& value) {
    bool ok = false;
    value = field.toLongLong(&ok);
    return ok;
}

QByteArray now() { return QByteArray::number(QDateTime::currentMSecsSinceEpoch()); }

// Ids and steps count up from 1; one at the top of the range leaves no room for the next action or batch.
constexpr int64_t kTopNumber = std::numeric_limits<int64_t>::max();

}  // namespace

ActionJournal::ActionJournal(QString file) : file_(std::move(file)) { Reload(); }

QString ActionJournal::DefaultFile() { return HistoryFolder() + QStringLiteral("actions.journal"); }

void ActionJournal::Reload() {
    records_.clear();
    byId_.clear();
    lastId_ = 0;
    lastStep_ = 0;
    if (const std::optional<QByteArray> text = ReadHistoryFile(file_, kMaxJournalBytes))
        Parse(*text);
}

void ActionJournal::Parse(const QByteArray& text) {
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            break;  // a last line without its line feed was cut short
        const QByteArray line = text.mid(start, end - start);
        start = end + 1;
        const qsizetype space = line.lastIndexOf(' ');
        if (space < 0 || checkOf(line.left(space)) != line.mid(space + 1))
            continue;
        const QList<QByteArray> f = line.left(space).split(' ');
        if (f.size() < 4 || f[0] != kMagic)
            continue;
        int64_t id = 0;
        if (!number(f[2], id) || id <= 0 || id == kTopNumber)
            continue;
        lastId_ = std::max(lastId_, id);
        if (f[1] == "B" && f.size() == 11) {
            JournalRecord r;
            r.Id = id;
            int64_t time = 0;
            if (byId_.count(id) || !number(f[3], r.Step) || r.Step == kTopNumber || !number(f[4], time) ||
                !actionOf(f[5], r.Action) || !number(f[8], r.Size) || !number(f[9], r.ModifiedNs))
                continue;
            r.TimeMs = time;
            r.Source = decodePath(f[6]);
            r.Target = decodePath(f[7]);
            // Every action has a file; a record without one was not written by the journal.
            if (r.Source.isEmpty())
                continue;
            r.Digest = f[10] == kEmpty ? QByteArray() : f[10];
            lastStep_ = std::max(lastStep_, r.Step);
            byId_.emplace(id, records_.size());
            records_.push_back(std::move(r));
            continue;
        }
        JournalRecord* r = find(id);
        if (!r)
            continue;
        if (f[1] == "D" && f.size() == 5) {
            r->Outcome = JournalOutcome::Done;
            r->Where = decodePath(f[4]);
        } else if (f[1] == "F" && f.size() == 5) {
            int64_t error = 0;
            if (number(f[4], error)) {
                r->Outcome = JournalOutcome::Failed;
                r->ErrorCode = static_cast<int>(error);
            }
        } else if (f[1] == "R" && f.size() == 4) {
            r->Restored = true;
        }
    }
}

JournalRecord* ActionJournal::find(int64_t id) {
    const auto it = byId_.find(id);
    return it == byId_.end() ? nullptr : &records_[it->second];
}

const JournalRecord* ActionJournal::Find(int64_t id) const {
    const auto it = byId_.find(id);
    return it == byId_.end() ? nullptr : &records_[it->second];
}

int64_t ActionJournal::NewStep() { return ++lastStep_; }

bool ActionJournal::append(const QByteArray& payload) {
    const QByteArray line = payload + ' ' + checkOf(payload) + '\n';
    // The first record makes the folder; AppendRecord never makes folders.
    if (!QDir().mkpath(QFileInfo(file_).absolutePath())) {
        lastError_ = EACCES;
        return false;
    }
    lastError_ = AppendRecord(file_, line);
    return lastError_ == 0;
}

int64_t ActionJournal::Begin(int64_t step, JournalAction action, const QString& source, const QString& target,
                             int64_t size, int64_t modifiedNs, const QByteArray& digest) {
    JournalRecord r;
    r.Id = lastId_ + 1;
    r.Step = step;
    r.TimeMs = QDateTime::currentMSecsSinceEpoch();
    r.Action = action;
    r.Source = source;
    r.Target = target;
    r.Size = size;
    r.ModifiedNs = modifiedNs;
    r.Digest = digest;
    const QByteArray payload = kMagic + " B " + QByteArray::number(r.Id) + ' ' + QByteArray::number(step) + ' ' +
                               QByteArray::number(r.TimeMs) + ' ' + actionName(action) + ' ' + encodePath(source) +
                               ' ' + encodePath(target) + ' ' + QByteArray::number(size) + ' ' +
                               QByteArray::number(modifiedNs) + ' ' + (digest.isEmpty() ? kEmpty : digest);
    if (!append(payload))
        return 0;
    lastId_ = r.Id;
    lastStep_ = std::max(lastStep_, step);
    byId_.emplace(r.Id, records_.size());
    records_.push_back(std::move(r));
    return lastId_;
}

bool ActionJournal::Confirm(int64_t id, const FileOpResult& result) {
    JournalRecord* r = find(id);
    if (!r)
        return false;
    const QByteArray head = kMagic + (result.ok ? " D " : " F ") + QByteArray::number(id) + ' ' + now() + ' ';
    if (!append(head + (result.ok ? encodePath(result.location) : QByteArray::number(result.errorCode))))
        return false;
    r->Outcome = result.ok ? JournalOutcome::Done : JournalOutcome::Failed;
    r->Where = result.ok ? result.location : QString();
    r->ErrorCode = result.ok ? 0 : result.errorCode;
    return true;
}

bool ActionJournal::MarkRestored(int64_t id) {
    JournalRecord* r = find(id);
    if (!r || !append(kMagic + " R " + QByteArray::number(id) + ' ' + now()))
        return false;
    r->Restored = true;
    return true;
}
