// The action journal and undo over real files: every kind of action undone (also by new objects over the same
// files, as after a restart), a journal cut after every record and inside each, and the states in which a
// file stays where it is because putting it back would lose or replace something.
#include "history/ActionJournal.h"
#include "history/RecordedActions.h"
#include "history/UndoHistory.h"
#include "platform/Trash.h"

#include "ScopedEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <map>
#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Every regular file below `folder`, relative path -> content.
std::map<QString, QByteArray> FilesBelow(const QString& folder) {
    std::map<QString, QByteArray> files;
    QDir root(folder);
    std::function<void(const QString&)> walk = [&](const QString& dir) {
        for (const QFileInfo& info : QDir(dir).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot |
                                                             QDir::Hidden | QDir::System)) {
            if (info.isDir())
                walk(info.filePath());
            else
                files[root.relativeFilePath(info.filePath())] = ReadFile(info.filePath());
        }
    };
    walk(folder);
    return files;
}

// A small file system of its own, so that a move crosses devices; root may mount one.
class SecondDisk {
public:
    SecondDisk() {
        if (folder_.isValid())
            mounted_ = ::mount("tmpfs", QFile::encodeName(folder_.path()).constData(), "tmpfs", 0, "size=1m") == 0;
    }
    ~SecondDisk() {
        if (mounted_)
            ::umount2(QFile::encodeName(folder_.path()).constData(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    QString Path(const QString& name) const { return folder_.path() + QLatin1Char('/') + name; }

private:
    QTemporaryDir folder_;
    bool mounted_ = false;
};

TrashMover HomeTrash() {
    return [](const QString& path) { return MoveFileToTrash(path); };
}

class HistoryTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        data_ = std::make_unique<ScopedEnvironment>("XDG_DATA_HOME", QFile::encodeName(Path("data")));
        ASSERT_TRUE(QDir().mkpath(Path("pictures")));
        ASSERT_TRUE(QDir().mkpath(Path("moved")));
    }
    QString Path(const QString& relative) const { return root_.filePath(relative); }
    QString Picture(const QString& name) const { return Path(QStringLiteral("pictures/") + name); }
    QString JournalFile() const { return Path("journal/actions.journal"); }
    // The program as it runs: a journal over the file, and the actions that write into it.
    struct Session {
        explicit Session(const QString& file, RestoreMover mover = {})
            : journal(file), actions(&journal), history(journal, std::move(mover)) {}
        ActionJournal journal;
        RecordedFileActions actions;
        UndoHistory history;
    };

    QTemporaryDir root_;
    std::unique_ptr<ScopedEnvironment> data_;
};

// What one undoable step does, for the table of steps.
struct StepCase {
    const char* name;
    bool crossDevice;
    std::function<void(HistoryTest&, RecordedFileActions&, const QString& elsewhere)> act;
    QStringList files;  // picture names the step acts on
};

class UndoStepTest : public HistoryTest, public ::testing::WithParamInterface<std::tuple<StepCase, bool>> {};

TEST_P(UndoStepTest, PutsEveryFileBackAndOnlyOnce) {
    const auto& [step, restart] = GetParam();
    SecondDisk disk;
    QString elsewhere = Path("moved");
    RestoreMover mover;
    if (step.crossDevice) {
        if (disk.Mounted())
            elsewhere = disk.Path(QString());
        else  // no second file system: the copying move that a crossing takes, on this one
            mover = [](const QString& from, const QString& to) { return MoveFileByCopy(from, to); };
    }
    std::map<QString, QByteArray> before;
    for (const QString& name : step.files) {
        before[name] = "content of " + name.toUtf8();
        WriteFile(Picture(name), before[name]);
    }
    auto session = std::make_unique<Session>(JournalFile(), mover);
    step.act(*this, session->actions, elsewhere);
    for (const QString& name : step.files)
        ASSERT_FALSE(QFileInfo::exists(Picture(name))) << name.toStdString();

    if (restart)
        session = std::make_unique<Session>(JournalFile(), mover);
    const std::optional<HistoryStep> last = session->history.LastUndoable();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->Count(RestoreState::Restorable), step.files.size());
    const RestoreReport report = session->history.RestoreStep(last->Step);
    EXPECT_FALSE(report.Refused);
    EXPECT_TRUE(report.NotRestored.empty());
    EXPECT_EQ(report.Restored.size(), step.files.size());
    for (const QString& name : step.files)
        EXPECT_EQ(ReadFile(Picture(name)), before[name]) << name.toStdString();
    // Nothing is left where the files went: no trash entry, no info file, no copy.
    for (const auto& [name, content] : FilesBelow(Path("data")))
        ADD_FAILURE() << "left in the trash: " << name.toStdString();
    EXPECT_TRUE(QDir(elsewhere).entryList(QDir::Files | QDir::Hidden).isEmpty());

    // Undone once: a new session sees it as restored and has nothing more to undo.
    Session later(JournalFile(), mover);
    EXPECT_FALSE(later.history.LastUndoable());
    const std::vector<HistoryStep> steps = later.history.Steps();  // by value: keep it while iterating
    ASSERT_FALSE(steps.empty());
    for (const HistoryItem& item : steps.front().Items)
        EXPECT_EQ(item.State, RestoreState::Restored);
}

const StepCase kSteps[] = {
    {"TrashDelete", false,
     [](HistoryTest& t, RecordedFileActions& a, const QString&) {
         ASSERT_TRUE(a.Delete(t.Picture("a.jpg"), true, HomeTrash()).ok);
     },
     {"a.jpg"}},
    {"Move", false,
     [](HistoryTest& t, RecordedFileActions& a, const QString& to) {
         ASSERT_TRUE(a.Move(t.Picture("a.jpg"), MoveDestination(to, "a.jpg")).ok);
     },
     {"a.jpg"}},
    {"CrossDeviceMove", true,
     [](HistoryTest& t, RecordedFileActions& a, const QString& to) {
         ASSERT_TRUE(a.Move(t.Picture("a.jpg"), MoveDestination(to, "a.jpg")).ok);
     },
     {"a.jpg"}},
    {"BatchDelete", false,
     [](HistoryTest& t, RecordedFileActions& a, const QString&) {
         RecordedBatchOperations batch(a, HomeTrash());
         // Two of one name from different folders: their trash entries differ, each comes back to its own.
         for (const char* name : {"a.jpg", "sub/a.jpg", "b.jpg"})
             ASSERT_EQ(batch.Delete(t.Picture(name), true), 0);
     },
     {"a.jpg", "sub/a.jpg", "b.jpg"}},
    {"BatchMove", false,
     [](HistoryTest& t, RecordedFileActions& a, const QString& to) {
         RecordedBatchOperations batch(a, HomeTrash());
         for (const char* name : {"a.jpg", "b.jpg"})
             ASSERT_EQ(batch.Move(t.Picture(name), MoveDestination(to, name)), 0);
     },
     {"a.jpg", "b.jpg"}},
};

INSTANTIATE_TEST_SUITE_P(Steps, UndoStepTest, ::testing::Combine(::testing::ValuesIn(kSteps), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "AfterRestart" : "");
                         });

TEST_F(HistoryTest, UndoWalksBackOneStepAtATime) {
    WriteFile(Picture("a.jpg"), "a");
    WriteFile(Picture("b.jpg"), "b");
    Session s(JournalFile());
    ASSERT_TRUE(s.actions.Delete(Picture("a.jpg"), true, HomeTrash()).ok);
    ASSERT_TRUE(s.actions.Move(Picture("b.jpg"), Path("moved/b.jpg")).ok);

    std::optional<HistoryStep> last = s.history.LastUndoable();
    ASSERT_TRUE(last);
    ASSERT_EQ(last->Items.size(), 1u);
    EXPECT_EQ(last->Items[0].Record.Action, JournalAction::Move);
    s.history.RestoreStep(last->Step);
    EXPECT_EQ(ReadFile(Picture("b.jpg")), "b");
    EXPECT_FALSE(QFileInfo::exists(Picture("a.jpg")));

    last = s.history.LastUndoable();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->Items[0].Record.Action, JournalAction::Trash);
    s.history.RestoreStep(last->Step);
    EXPECT_EQ(ReadFile(Picture("a.jpg")), "a");
    EXPECT_FALSE(s.history.LastUndoable());
}

// Undo never reaches past a newer step it cannot do yet: it names that step's blocked file instead.
TEST_F(HistoryTest, UndoStopsAtABlockedStep) {
    WriteFile(Picture("a.jpg"), "a");
    WriteFile(Picture("b.jpg"), "b");
    Session s(JournalFile());
    ASSERT_TRUE(s.actions.Delete(Picture("a.jpg"), true, HomeTrash()).ok);
    ASSERT_TRUE(s.actions.Move(Picture("b.jpg"), Path("moved/b.jpg")).ok);
    WriteFile(Picture("b.jpg"), "new");

    std::optional<HistoryStep> last = s.history.LastUndoable();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->Items[0].State, RestoreState::PathTaken);
    const RestoreReport report = s.history.RestoreStep(last->Step);
    EXPECT_TRUE(report.Restored.empty());
    ASSERT_EQ(report.NotRestored.size(), 1u);
    EXPECT_EQ(RestoreReportText(report, QStringLiteral("|")),
              QStringLiteral("Nothing was restored. These files stand in the way:|") + Picture("b.jpg") +
                  QStringLiteral(": another file has its old name; cannot be restored"));
    EXPECT_EQ(ReadFile(Picture("b.jpg")), "new");
    EXPECT_FALSE(QFileInfo::exists(Picture("a.jpg")));
}

// After an action the world can change; each change leaves the file where it is, and a step with such a file
// is not undone at all.
struct BlockedCase {
    const char* name;
    bool toTrash;
    std::function<void(HistoryTest&, const QString& location)> change;
    RestoreState state;
};

class BlockedUndoTest : public HistoryTest, public ::testing::WithParamInterface<BlockedCase> {};

TEST_P(BlockedUndoTest, LeavesEveryFileAsItIs) {
    const BlockedCase& c = GetParam();
    WriteFile(Picture("a.jpg"), "a");
    WriteFile(Picture("b.jpg"), "b");
    Session s(JournalFile());
    RecordedBatchOperations batch(s.actions, HomeTrash());
    for (const char* name : {"a.jpg", "b.jpg"}) {
        if (c.toTrash)
            ASSERT_EQ(batch.Delete(Picture(name), true), 0);
        else
            ASSERT_EQ(batch.Move(Picture(name), Path(QStringLiteral("moved/") + name)), 0);
    }
    const std::vector<HistoryStep> steps = s.history.Steps();
    ASSERT_EQ(steps.size(), 1u);
    c.change(*this, steps[0].Items[0].Location);
    const std::map<QString, QByteArray> before = FilesBelow(root_.path());

    const HistoryItem item = s.history.Evaluate(s.journal.Records()[0]);
    EXPECT_EQ(item.State, c.state) << RestoreStateText(item.State).toStdString();
    const RestoreReport report = s.history.RestoreStep(steps[0].Step);
    EXPECT_TRUE(report.Restored.empty());
    ASSERT_FALSE(report.NotRestored.empty());
    EXPECT_EQ(report.NotRestored[0].State, c.state);
    EXPECT_EQ(FilesBelow(root_.path()), before);
    EXPECT_EQ(s.history.RestoreAction(s.journal.Records()[0].Id).Restored.size(), 0u);
    EXPECT_EQ(FilesBelow(root_.path()), before);
}

const BlockedCase kBlocked[] = {
    {"TrashOldNameTaken", true, [](HistoryTest& t, const QString&) { WriteFile(t.Picture("a.jpg"), "new"); },
     RestoreState::PathTaken},
    {"MoveOldNameTaken", false, [](HistoryTest& t, const QString&) { WriteFile(t.Picture("a.jpg"), "new"); },
     RestoreState::PathTaken},
    {"MovedFileChanged", false, [](HistoryTest&, const QString& at) { WriteFile(at, "changed, longer"); },
     RestoreState::Changed},
    {"TrashEntryChanged", true, [](HistoryTest&, const QString& at) { WriteFile(at, "changed, longer"); },
     RestoreState::Changed},
};

INSTANTIATE_TEST_SUITE_P(States, BlockedUndoTest, ::testing::ValuesIn(kBlocked),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HistoryTest, WhatCannotComeBackIsShownAndTheRestComesBack) {
    WriteFile(Picture("gone.jpg"), "g");
    WriteFile(Picture("kept.jpg"), "k");
    WriteFile(Picture("forgood.jpg"), "f");
    Session s(JournalFile());
    RecordedBatchOperations batch(s.actions, HomeTrash());
    ASSERT_EQ(batch.Delete(Picture("gone.jpg"), true), 0);
    ASSERT_EQ(batch.Delete(Picture("kept.jpg"), true), 0);
    ASSERT_TRUE(s.actions.Delete(Picture("forgood.jpg"), false, HomeTrash()).ok);
    // The user empties the trash of one of them.
    ASSERT_TRUE(QFile::remove(s.journal.Records()[0].Where));
    const std::vector<HistoryStep> steps = s.history.Steps();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].Items[0].State, RestoreState::DeletedForGood);
    EXPECT_EQ(steps[1].Items[0].State, RestoreState::Gone);
    EXPECT_EQ(steps[1].Items[1].State, RestoreState::Restorable);

    const std::optional<HistoryStep> last = s.history.LastUndoable();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->Step, steps[1].Step);
    const RestoreReport report = s.history.RestoreStep(last->Step);
    ASSERT_EQ(report.Restored.size(), 1u);
    EXPECT_EQ(ReadFile(Picture("kept.jpg")), "k");
    ASSERT_EQ(report.NotRestored.size(), 1u);
    EXPECT_EQ(report.NotRestored[0].State, RestoreState::Gone);
    EXPECT_FALSE(QFileInfo::exists(Picture("gone.jpg")));
}

// The program killed at every point of a step: the journal ends after any record or inside one. Whatever the
// journal still says, undo puts back exactly the files it knows were acted on, never loses a file and never
// replaces one.
TEST_F(HistoryTest, JournalCutAnywhereNeverLosesOrReplacesAFile) {
    const QStringList names = {"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
    // One run of the actions in a fresh folder; returns the journal bytes and the end of each of its lines.
    const auto run = [&](const QString& base, QByteArray& journal, std::vector<qsizetype>& lineEnds) {
        for (const QString& name : names)
            WriteFile(base + "/pictures/" + name, "picture " + name.toUtf8());
        WriteFile(base + "/moved/decoy.jpg", "decoy");
        Session s(base + "/actions.journal");
        ASSERT_TRUE(s.actions.Delete(base + "/pictures/a.jpg", true, HomeTrash()).ok);
        ASSERT_TRUE(s.actions.Move(base + "/pictures/b.jpg", base + "/moved/b.jpg").ok);
        RecordedBatchOperations batch(s.actions, HomeTrash());
        ASSERT_EQ(batch.Delete(base + "/pictures/c.jpg", true), 0);
        ASSERT_EQ(batch.Move(base + "/pictures/d.jpg", base + "/moved/d.jpg"), 0);
        journal = ReadFile(base + "/actions.journal");
        lineEnds.clear();
        for (qsizetype k = journal.indexOf('\n'); k >= 0; k = journal.indexOf('\n', k + 1))
            lineEnds.push_back(k + 1);
    };

    QByteArray full;
    std::vector<qsizetype> ends;
    run(Path("probe"), full, ends);
    ASSERT_EQ(ends.size(), 8u);  // a begin and a confirmation per action
    for (size_t lines = 0; lines <= ends.size(); ++lines) {
        for (const bool half : {false, true}) {
            if (half && lines == ends.size())
                continue;
            SCOPED_TRACE(::testing::Message() << lines << " whole lines" << (half ? " and half of the next" : ""));
            const QString base = Path(QStringLiteral("cut%1%2").arg(lines).arg(half ? "h" : ""));
            ScopedEnvironment data("XDG_DATA_HOME", QFile::encodeName(base + "/data"));
            QByteArray journal;
            std::vector<qsizetype> lineEnds;
            run(base, journal, lineEnds);
            ASSERT_EQ(lineEnds.size(), ends.size());
            qsizetype cut = lines == 0 ? 0 : lineEnds[lines - 1];
            if (half)
                cut += (lineEnds[lines] - cut) / 2;
            WriteFile(base + "/actions.journal", journal.left(cut));

            Session s(base + "/actions.journal");
            for (int guard = 0; guard < 10; ++guard) {
                const std::optional<HistoryStep> last = s.history.LastUndoable();
                if (!last)
                    break;
                s.history.RestoreStep(last->Step);
            }
            // A begin record names the file (actions 0..3 begin at lines 0, 2, 4, 6): with it, the file is
            // back; without it, it stays where the action took it.
            const auto& files = FilesBelow(base);
            std::map<QByteArray, int> copies;
            for (const auto& [path, content] : files)
                ++copies[content];
            for (int action = 0; action < 4; ++action) {
                const QString name = names[action];
                const bool known = lines > static_cast<size_t>(2 * action);
                EXPECT_EQ(copies["picture " + name.toUtf8()], 1) << name.toStdString();
                EXPECT_EQ(files.count("pictures/" + name), known ? 1u : 0u) << name.toStdString();
            }
            EXPECT_EQ(ReadFile(base + "/moved/decoy.jpg"), "decoy");
        }
    }
}

// Killed after the record of an action and before or during the action itself.
struct UnconfirmedCase {
    const char* name;
    JournalAction action;
    std::function<void(HistoryTest&)> partly;  // what the action got done before the kill
    RestoreState state;
};

class UnconfirmedTest : public HistoryTest, public ::testing::WithParamInterface<UnconfirmedCase> {};

TEST_P(UnconfirmedTest, TellsWhatHappenedFromTheDisk) {
    const UnconfirmedCase& c = GetParam();
    WriteFile(Picture("a.jpg"), "a");
    const std::map<QString, QByteArray> before = FilesBelow(root_.path());
    {
        ActionJournal journal(JournalFile());
        const QFileInfo info(Picture("a.jpg"));
        const std::optional<FileFacts> facts = ReadFileFacts(Picture("a.jpg"));
        ASSERT_TRUE(facts);
        ASSERT_NE(journal.Begin(journal.NewStep(), c.action, Picture("a.jpg"),
                                c.action == JournalAction::Move ? Path("moved/a.jpg") : QString(), facts->Size,
                                facts->ModifiedNs, QByteArray()),
                  0);
    }
    c.partly(*this);
    const std::map<QString, QByteArray> afterKill = FilesBelow(root_.path());
    Session s(JournalFile());
    ASSERT_EQ(s.journal.Records().size(), 1u);
    EXPECT_EQ(s.history.Evaluate(s.journal.Records()[0]).State, c.state);
    s.history.RestoreStep(s.journal.Records()[0].Step);
    const std::map<QString, QByteArray> now = FilesBelow(root_.path());
    if (c.state == RestoreState::Restorable) {
        EXPECT_EQ(ReadFile(Picture("a.jpg")), "a");
    } else {
        EXPECT_EQ(now, afterKill);
    }
    // Only a deletion for good leaves the old path empty.
    EXPECT_EQ(now.count("pictures/a.jpg"), c.state == RestoreState::DeletedForGood ? 0u : before.count("pictures/a.jpg"));
}

const UnconfirmedCase kUnconfirmed[] = {
    {"TrashNotBegun", JournalAction::Trash, [](HistoryTest&) {}, RestoreState::NotCarriedOut},
    {"TrashDone", JournalAction::Trash,
     [](HistoryTest& t) { ASSERT_TRUE(MoveFileToTrash(t.Picture("a.jpg")).ok); }, RestoreState::Restorable},
    {"MoveNotBegun", JournalAction::Move, [](HistoryTest&) {}, RestoreState::NotCarriedOut},
    {"MoveDone", JournalAction::Move,
     [](HistoryTest& t) { ASSERT_TRUE(MovePictureFile(t.Picture("a.jpg"), t.Path("moved/a.jpg")).ok); },
     RestoreState::Restorable},
    // A copy across file systems is complete, the original not yet removed: both stay.
    {"CopiedNotRemoved", JournalAction::Move,
     [](HistoryTest& t) { ASSERT_TRUE(QFile::copy(t.Picture("a.jpg"), t.Path("moved/a.jpg"))); },
     RestoreState::NotCarriedOut},
    {"DeleteForGoodNotBegun", JournalAction::Delete, [](HistoryTest&) {}, RestoreState::NotCarriedOut},
    {"DeleteForGoodDone", JournalAction::Delete, [](HistoryTest& t) { ASSERT_TRUE(QFile::remove(t.Picture("a.jpg"))); },
     RestoreState::DeletedForGood},
};

INSTANTIATE_TEST_SUITE_P(Kills, UnconfirmedTest, ::testing::ValuesIn(kUnconfirmed),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HistoryTest, DamagedRecordsAreIgnored) {
    WriteFile(Picture("a.jpg"), "a");
    WriteFile(Picture("b.jpg"), "b");
    {
        Session s(JournalFile());
        ASSERT_TRUE(s.actions.Move(Picture("a.jpg"), Path("moved/a.jpg")).ok);
        ASSERT_TRUE(s.actions.Move(Picture("b.jpg"), Path("moved/b.jpg")).ok);
    }
    QByteArray journal = ReadFile(JournalFile());
    // One changed byte in the path of the first begin record: that record is not trusted.
    const qsizetype at = journal.indexOf("a.jpg");
    ASSERT_GT(at, 0);
    journal[at] = 'x';
    // And a half record at the end, as a crash while appending leaves it.
    journal.append("VJ1 B 99 7 0 move %2Fetc%2Fpasswd");
    WriteFile(JournalFile(), journal);
    Session s(JournalFile());
    ASSERT_EQ(s.journal.Records().size(), 1u);
    EXPECT_EQ(s.journal.Records()[0].Source, Picture("b.jpg"));
    // The next record starts on a line of its own, after the cut one.
    WriteFile(Picture("c.jpg"), "c");
    ASSERT_TRUE(s.actions.Move(Picture("c.jpg"), Path("moved/c.jpg")).ok);
    Session again(JournalFile());
    ASSERT_EQ(again.journal.Records().size(), 2u);
    EXPECT_EQ(again.journal.Records()[1].Outcome, JournalOutcome::Done);
    EXPECT_EQ(again.journal.Records()[1].Where, Path("moved/c.jpg"));
}

}  // namespace
