// Groups, the similarity filter, marks, keep-rules, reference folders and batch actions over real catalogues.
#include "engine/CsvWriter.h"
#include "results/BatchActions.h"
#include "results/BatchTexts.h"
#include "results/GroupsJson.h"
#include "results/KeepRules.h"
#include "results/PairFilter.h"
#include "results/ResultGroups.h"
#include "results/ResultMarks.h"

#include "PictureFixtures.h"
#include "WithoutPrivileges.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <numeric>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Files = std::vector<int32_t>;

// One picture of a test catalogue: its full path and what the matcher and the folder walk recorded.
struct Pic {
    QString path;
    int32_t width = 100;
    int32_t height = 100;
    int64_t size = 1000;
};

Catalogue catalogueOf(const std::vector<Pic>& pics, const std::vector<TPicturePair>& pairs) {
    Catalogue c;
    for (const Pic& p : pics) {
        const qsizetype cut = p.path.lastIndexOf(QLatin1Char('/')) + 1;
        const QString folder = p.path.left(cut);
        auto at = std::find(c.FolderPaths.begin(), c.FolderPaths.end(), folder);
        if (at == c.FolderPaths.end())
            at = c.FolderPaths.insert(c.FolderPaths.end(), folder);
        TPicInfo info;
        info.FileName = p.path.mid(cut);
        info.PathInd = static_cast<int32_t>(at - c.FolderPaths.begin());
        info.Width = p.width;
        info.Height = p.height;
        info.Size = p.size;
        c.Pictures.push_back(info);
    }
    c.LastPathIndex = static_cast<int32_t>(c.FolderPaths.size()) - 1;
    c.LastPicIndex = static_cast<int32_t>(pics.size()) - 1;
    c.PathCapacity = c.LastPathIndex + 1;
    c.PicCapacity = c.LastPicIndex + 1;
    c.PicturePairs = pairs;
    c.LastPairIndex = static_cast<int32_t>(pairs.size()) - 1;
    c.PairCapacity = c.LastPairIndex + 1;
    return c;
}

// Pictures "/p/0.jpg" .. "/p/<n-1>.jpg".
std::vector<Pic> numbered(int n) {
    std::vector<Pic> pics;
    for (int k = 0; k < n; ++k)
        pics.push_back({QStringLiteral("/p/%1.jpg").arg(k)});
    return pics;
}

ResultGroups groupsOf(const Catalogue& c, int minSimilarity = kNoSimilarityFilter) {
    return ResultGroups::Build(c, ShownPairs(c, minSimilarity), PictureFacts());
}

std::vector<Files> filesOf(const ResultGroups& groups) {
    std::vector<Files> out;
    for (const PairGroup& g : groups.Groups())
        out.push_back(g.Files);
    return out;
}

// ---------------------------------------------------------------------------------------------------------
// Grouping

struct GroupingCase {
    const char* name;
    int pictures;
    std::vector<TPicturePair> pairs;
    int minSimilarity;
    std::vector<Files> groups;  // in the order of each group's first pair
};

class GroupingTest : public testing::TestWithParam<GroupingCase> {};

TEST_P(GroupingTest, GroupsAreTheConnectedComponentsOfTheShownPairs) {
    const GroupingCase& t = GetParam();
    const Catalogue c = catalogueOf(numbered(t.pictures), t.pairs);
    const ResultGroups groups = groupsOf(c, t.minSimilarity);
    EXPECT_EQ(filesOf(groups), t.groups);
    for (size_t g = 0; g < groups.size(); ++g) {
        for (const int32_t k : groups[g].Files)
            EXPECT_EQ(groups.GroupOf(k), static_cast<int32_t>(g));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, GroupingTest,
    testing::Values(
        GroupingCase{"Chain", 5, {{0, 1, 92}, {1, 2, 100}, {2, 3, 80}}, 0, {{0, 1, 2, 3}}},
        GroupingCase{"ChainFoundOutOfOrder", 4, {{2, 3, 80}, {0, 1, 92}, {1, 2, 100}}, 0, {{0, 1, 2, 3}}},
        GroupingCase{"Star", 4, {{0, 3, 90}, {0, 1, 91}, {2, 0, 100}}, 0, {{0, 1, 2, 3}}},
        GroupingCase{"TwoGroupsInFirstPairOrder", 6, {{4, 5, 50}, {0, 2, 60}, {2, 3, 70}}, 0, {{4, 5}, {0, 2, 3}}},
        GroupingCase{"HiddenMiddlePairSplitsTheChain", 4, {{0, 1, 92}, {1, 2, 40}, {2, 3, 80}}, 50, {{0, 1}, {2, 3}}},
        GroupingCase{"FilterRoundsAsShown", 4, {{0, 1, 49.5}, {2, 3, 49.4}}, 50, {{0, 1}}},
        GroupingCase{"NoPairsNoGroups", 3, {}, 0, {}}),
    [](const testing::TestParamInfo<GroupingCase>& info) { return info.param.name; });

TEST(GroupingTest, DeletedPictureSplitsItsGroup) {
    Catalogue c = catalogueOf(numbered(5), {{0, 1, 92}, {1, 2, 100}, {2, 3, 80}, {3, 4, 70}});
    c.RemovePicturePairs(2);
    EXPECT_EQ(filesOf(groupsOf(c)), (std::vector<Files>{{0, 1}, {3, 4}}));
}

// Connected components by breadth-first search, the plain way.
std::set<Files> referenceComponents(int n, const std::vector<TPicturePair>& pairs) {
    std::vector<std::vector<int32_t>> next(static_cast<size_t>(n));
    for (const TPicturePair& p : pairs) {
        next[static_cast<size_t>(p.PicIndex1)].push_back(p.PicIndex2);
        next[static_cast<size_t>(p.PicIndex2)].push_back(p.PicIndex1);
    }
    std::vector<bool> seen(static_cast<size_t>(n));
    std::set<Files> out;
    for (int32_t s = 0; s < n; ++s) {
        if (seen[static_cast<size_t>(s)] || next[static_cast<size_t>(s)].empty())
            continue;
        Files component{s};
        seen[static_cast<size_t>(s)] = true;
        for (size_t i = 0; i < component.size(); ++i) {
            for (const int32_t t : next[static_cast<size_t>(component[i])]) {
                if (!seen[static_cast<size_t>(t)]) {
                    seen[static_cast<size_t>(t)] = true;
                    component.push_back(t);
                }
            }
        }
        std::sort(component.begin(), component.end());
        out.insert(component);
    }
    return out;
}

TEST(GroupingTest, AgreesWithBreadthFirstSearchOnRandomPairs) {
    std::mt19937 random(15);
    for (int round = 0; round < 20; ++round) {
        const int n = 40 + round * 10;
        std::vector<TPicturePair> pairs;
        for (int k = 0; k < n; ++k) {
            const auto a = static_cast<int32_t>(random() % static_cast<unsigned>(n));
            const auto b = static_cast<int32_t>(random() % static_cast<unsigned>(n));
            if (a != b)
                pairs.push_back({std::min(a, b), std::max(a, b), double(random() % 100 + 1)});
        }
        const Catalogue c = catalogueOf(numbered(n), pairs);
        const ResultGroups groups = groupsOf(c);
        const std::vector<Files> files = filesOf(groups);
        EXPECT_EQ(std::set<Files>(files.begin(), files.end()), referenceComponents(n, pairs)) << "round " << round;
        size_t pairCount = 0;
        for (const PairGroup& g : groups.Groups())
            pairCount += g.Pairs.size();
        EXPECT_EQ(pairCount, pairs.size());
    }
}

TEST(GroupingTest, SortsBySizeBytesAndSimilarityWithTiesInPairListOrder) {
    // Groups in first-pair order: A {0,1} 2 files 1000 B freed, min 100; B {2,3,4} 2000 B, min 60;
    // C {5,6} 1000 B, min 100; D {7,8} 1000 B, min 70.
    const Catalogue c = catalogueOf(numbered(9), {{0, 1, 100}, {2, 3, 60}, {3, 4, 90}, {5, 6, 100}, {7, 8, 70}});
    const auto firstFiles = [](const ResultGroups& g) {
        Files out;
        for (const PairGroup& group : g.Groups())
            out.push_back(group.Files.front());
        return out;
    };
    ResultGroups groups = groupsOf(c);
    groups.Sort(GroupOrder::Size, true);
    EXPECT_EQ(firstFiles(groups), (Files{2, 0, 5, 7}));
    groups.Sort(GroupOrder::Bytes, false);
    EXPECT_EQ(firstFiles(groups), (Files{0, 5, 7, 2}));
    groups.Sort(GroupOrder::Similarity, true);
    EXPECT_EQ(firstFiles(groups), (Files{0, 5, 7, 2}));
    groups.Sort(GroupOrder::Similarity, false);
    EXPECT_EQ(firstFiles(groups), (Files{2, 7, 0, 5}));
    groups.Sort(GroupOrder::PairList, false);
    EXPECT_EQ(firstFiles(groups), (Files{0, 2, 5, 7}));
    EXPECT_EQ(groups.GroupOf(4), 1);
}

// ---------------------------------------------------------------------------------------------------------
// Files on disk: freed bytes with hard links, and batches

class ResultFilesTest : public testing::Test {
protected:
    QString path(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }
    void write(const QString& name, int bytes) {
        QDir().mkpath(QFileInfo(path(name)).absolutePath());
        fixtures::WriteBytes(path(name), QByteArray(bytes, 'x'));
    }
    void link(const QString& from, const QString& to) {
        ASSERT_EQ(::link(QFile::encodeName(path(from)).constData(), QFile::encodeName(path(to)).constData()), 0);
    }
    // A catalogue over the named files (sizes as on disk) with pairs between them, its facts read.
    void record(const QStringList& names, const std::vector<TPicturePair>& pairs) {
        std::vector<Pic> pics;
        for (const QString& name : names)
            pics.push_back({path(name), 100, 100, QFileInfo(path(name)).size()});
        catalogue_ = catalogueOf(pics, pairs);
        facts_.Reset();
        rebuild();
    }
    void rebuild() {
        Files all(catalogue_.Pictures.size());
        std::iota(all.begin(), all.end(), 0);
        facts_.Load(catalogue_, all);
        groups_ = ResultGroups::Build(catalogue_, ShownPairs(catalogue_, kNoSimilarityFilter), facts_);
    }
    void mark(const Files& files) {
        for (const int32_t k : files)
            ASSERT_TRUE(marks_.Set(catalogue_, reference_, k, true)) << k;
    }

    QTemporaryDir dir_;
    Catalogue catalogue_;
    PictureFacts facts_;
    ResultGroups groups_;
    ResultMarks marks_;
    ReferenceFolders reference_;
};

TEST_F(ResultFilesTest, HardLinkedNamesFreeTheirBytesOnceAndOnlyTogether) {
    write("a.jpg", 1000);
    link("a.jpg", "a-link.jpg");
    write("c.jpg", 500);
    write("d.jpg", 300);
    link("d.jpg", "outside-the-search.jpg");
    record({"a.jpg", "a-link.jpg", "c.jpg", "d.jpg"}, {{0, 1, 100}, {0, 2, 90}, {2, 3, 80}});
    ASSERT_EQ(groups_.size(), 1u);
    // Keeping the largest file: c goes (500); a and its link stay; d has a name outside the search.
    EXPECT_EQ(groups_[0].FreedBytes, 500);
    EXPECT_EQ(BytesFreedByRemoving(catalogue_, {1}, facts_), 0);
    EXPECT_EQ(BytesFreedByRemoving(catalogue_, {0, 1}, facts_), 1000);
    EXPECT_EQ(BytesFreedByRemoving(catalogue_, {3}, facts_), 0);
    EXPECT_EQ(BytesOfFiles(catalogue_, {0, 1, 2}, facts_), 1500);

    // The groups' JSON says which pairs are one file under two names.
    const QJsonArray pairs =
        QJsonDocument::fromJson(GroupsJson(catalogue_, groups_, facts_))["groups"][0]["pairs"].toArray();
    ASSERT_EQ(pairs.size(), 3);
    std::vector<bool> hardLinks;
    for (const QJsonValue pair : pairs)
        hardLinks.push_back(pair["hardLink"].toBool());
    EXPECT_EQ(hardLinks, (std::vector<bool>{true, false, false}));

    record({"a.jpg", "a-link.jpg"}, {{0, 1, 100}});
    EXPECT_EQ(groups_[0].FreedBytes, 0) << "two names of one file free nothing";
}

// Deletes for good and moves without replacing, each with the errno of its failure.
class DiskOperations : public BatchFileOperations {
public:
    int Delete(const QString& path, bool toTrash) override {
        trashAsked = trashAsked || toTrash;
        return ::unlink(QFile::encodeName(path).constData()) == 0 ? 0 : errno;
    }
    int Move(const QString& source, const QString& destination) override {
        const int r = ::renameat2(AT_FDCWD, QFile::encodeName(source).constData(), AT_FDCWD,
                                  QFile::encodeName(destination).constData(), RENAME_NOREPLACE);
        return r == 0 ? 0 : errno;
    }
    bool trashAsked = false;
};

class CancelAfter : public BatchProgress {
public:
    explicit CancelAfter(int32_t files) : files_(files) {}
    void Advanced(int32_t done, int32_t total) override {
        seen.push_back(done);
        lastTotal = total;
    }
    bool CancelRequested() override { return static_cast<int32_t>(seen.size()) >= files_; }
    std::vector<int32_t> seen;
    int32_t lastTotal = 0;

private:
    int32_t files_;
};

BatchOptions deleteForGood(bool wholeGroupsConfirmed = false) {
    BatchOptions options;
    options.ToTrash = false;
    options.WholeGroupsConfirmed = wholeGroupsConfirmed;
    return options;
}

BatchOptions moveTo(const QString& folder) {
    BatchOptions options;
    options.Destination = folder;
    return options;
}

Files failedFiles(const BatchReport& report) {
    Files out;
    for (const BatchFailure& f : report.Failed)
        out.push_back(f.Picture);
    return out;
}

TEST_F(ResultFilesTest, DeleteOfMarkedFilesUpdatesPairsAndKeepsFailuresWithReasons) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"})
        write(name, 100);
    record({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}, {{0, 1, 100}, {0, 2, 95}, {3, 4, 90}});
    mark({1, 2, 4});
    QFile::remove(path("c.jpg"));  // vanished since the search

    const BatchPlan plan = PlanBatch(BatchKind::Delete, catalogue_, groups_, marks_, reference_, facts_);
    EXPECT_EQ(plan.Files, (Files{1, 2, 4}));
    EXPECT_EQ(plan.Bytes, 300) << "sizes as read after the search";
    EXPECT_EQ(plan.WholeGroups, 0);
    DiskOperations ops;
    CancelAfter progress(100);
    const BatchReport report = RunBatch(plan, deleteForGood(), catalogue_, marks_, reference_, facts_, ops, &progress);

    EXPECT_FALSE(ops.trashAsked);
    EXPECT_EQ(report.Done, (Files{1, 4}));
    ASSERT_EQ(report.Failed.size(), 1u);
    EXPECT_EQ(report.Failed[0].Picture, 2);
    EXPECT_EQ(report.Failed[0].ErrorCode, ENOENT);
    EXPECT_EQ(BatchReasonText(report.Failed[0]), qt_error_string(ENOENT));
    EXPECT_EQ(progress.seen, (Files{1, 2, 3}));
    EXPECT_FALSE(QFile::exists(path("b.jpg")));
    EXPECT_FALSE(QFile::exists(path("e.jpg")));
    EXPECT_TRUE(QFile::exists(path("a.jpg")));
    // As after single deletes: the pairs of the files done leave, the failed file keeps its pair and mark.
    EXPECT_EQ(catalogue_.PicturePairs, (TPicturePairs{{0, 2, 95}}));
    EXPECT_EQ(catalogue_.PairCapacity, 1);
    EXPECT_TRUE(catalogue_.Pictures[1].Deleted);
    EXPECT_FALSE(catalogue_.Pictures[2].Deleted);
    EXPECT_EQ(marks_.Marked(), (Files{2}));
}

TEST_F(ResultFilesTest, DeleteInReadOnlyFolderFailsWithItsReasonAndKeepsTheFile) {
    write("locked/a.jpg", 100);
    write("locked/b.jpg", 100);
    record({"locked/a.jpg", "locked/b.jpg"}, {{0, 1, 100}});
    mark({1});
    const BatchPlan plan = PlanBatch(BatchKind::Delete, catalogue_, groups_, marks_, reference_, facts_);
    ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path("locked")).constData(), 0555), 0);
    const bool ok = fixtures::RunWithoutPrivileges([&] {
        DiskOperations ops;
        const BatchReport report = RunBatch(plan, deleteForGood(), catalogue_, marks_, reference_, facts_, ops,
                                            nullptr);
        return report.Done.empty() && report.Failed.size() == 1 && report.Failed[0].ErrorCode == EACCES &&
               catalogue_.PicturePairs.size() == 1 && marks_.IsMarked(1);
    });
    ::chmod(QFile::encodeName(path("locked")).constData(), 0755);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(QFile::exists(path("locked/b.jpg")));
}

TEST_F(ResultFilesTest, MoveNeverReplacesAFileOfTheSameNameAndCanBeCancelled) {
    write("one/x.jpg", 100);
    write("two/x.jpg", 200);
    write("one/y.jpg", 100);
    write("one/z.jpg", 100);
    write("target/x.jpg", 50);
    record({"one/x.jpg", "two/x.jpg", "one/y.jpg", "one/z.jpg"}, {{0, 1, 90}, {1, 2, 90}, {2, 3, 90}});
    mark({0, 1, 2, 3});
    const BatchPlan plan = PlanBatch(BatchKind::Move, catalogue_, groups_, marks_, reference_, facts_);
    EXPECT_EQ(plan.WholeGroups, 1) << "every file of the group is marked";
    DiskOperations ops;
    CancelAfter progress(3);
    const BatchReport report = RunBatch(plan, moveTo(path("target")), catalogue_, marks_, reference_,
                                        facts_, ops, &progress);

    // A move takes nothing from the disk, so the whole group may go; the name taken stops both x.jpg.
    EXPECT_EQ(report.Done, (Files{2}));
    EXPECT_EQ(failedFiles(report), (Files{0, 1}));
    EXPECT_EQ(report.Failed[0].ErrorCode, EEXIST);
    EXPECT_TRUE(report.Cancelled);
    EXPECT_EQ(report.NotAttempted, 1);
    EXPECT_EQ(progress.lastTotal, 4);
    EXPECT_EQ(fixtures::ReadBytes(path("target/x.jpg")).size(), 50);
    EXPECT_TRUE(QFile::exists(path("one/x.jpg")));
    EXPECT_TRUE(QFile::exists(path("target/y.jpg")));
    EXPECT_TRUE(QFile::exists(path("one/z.jpg")));
    EXPECT_EQ(catalogue_.PicturePairs, (TPicturePairs{{0, 1, 90}}));
}

TEST_F(ResultFilesTest, DeleteNeverTakesEveryFileOfAGroupUnlessConfirmed) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        write(name, 100);
    record({"a.jpg", "b.jpg", "c.jpg", "d.jpg"}, {{0, 1, 100}, {2, 3, 100}});
    mark({0, 1, 3});
    const BatchPlan plan = PlanBatch(BatchKind::Delete, catalogue_, groups_, marks_, reference_, facts_);
    EXPECT_EQ(plan.WholeGroups, 1);
    EXPECT_EQ(plan.WholeGroupFiles, (Files{0, 1}));

    DiskOperations ops;
    const BatchReport declined = RunBatch(plan, deleteForGood(), catalogue_, marks_, reference_, facts_, ops,
                                          nullptr);
    EXPECT_EQ(declined.Done, (Files{3}));
    EXPECT_EQ(failedFiles(declined), (Files{0, 1}));
    EXPECT_EQ(declined.Failed[0].ErrorCode, 0);
    EXPECT_FALSE(BatchReasonText(declined.Failed[0]).isEmpty());
    EXPECT_TRUE(QFile::exists(path("a.jpg")));
    EXPECT_TRUE(QFile::exists(path("b.jpg")));

    rebuild();
    const BatchPlan again = PlanBatch(BatchKind::Delete, catalogue_, groups_, marks_, reference_, facts_);
    const BatchReport confirmed = RunBatch(again, deleteForGood(true), catalogue_,
                                           marks_, reference_, facts_, ops, nullptr);
    EXPECT_EQ(confirmed.Done, (Files{0, 1}));
    EXPECT_TRUE(catalogue_.PicturePairs.empty());
}

// ---------------------------------------------------------------------------------------------------------
// Reference folders against every action

TEST_F(ResultFilesTest, ReferenceFilesAreNeverMarkedDeletedOrMoved) {
    write("ref/a.jpg", 100);
    write("ref/b.jpg", 100);
    write("work/a.jpg", 100);
    write("work/c.jpg", 900);
    write("ref-not/d.jpg", 100);
    record({"ref/a.jpg", "ref/b.jpg", "work/a.jpg", "work/c.jpg", "ref-not/d.jpg"},
           {{0, 2, 100}, {1, 3, 90}, {3, 4, 90}});
    reference_.SetFolders({path("ref") + QLatin1Char('/')});

    EXPECT_FALSE(marks_.Set(catalogue_, reference_, 0, true)) << "by hand";
    EXPECT_EQ(marks_.MarkAllInFolder(catalogue_, reference_, groups_, dir_.path() + QLatin1Char('/')), 3);
    EXPECT_EQ(marks_.Marked(), (Files{2, 3, 4})) << "mark all in a folder skips the reference files";
    marks_.InvertGroup(catalogue_, reference_, groups_[0]);
    EXPECT_EQ(marks_.Marked(), (Files{3, 4})) << "inverting leaves reference files unmarked";

    // A rule that would keep work/c.jpg keeps the reference file of its group instead.
    const KeepPlan keep = PlanKeeping(catalogue_, groups_, facts_, reference_, {{KeepRuleKind::LargestFile, {}}});
    EXPECT_EQ(keep.Kept, (Files{0, 1}));
    EXPECT_EQ(keep.ToMark, (Files{2, 3, 4}));
    EXPECT_EQ(keep.Bytes, 1100);
    ApplyKeeping(keep, catalogue_, groups_, reference_, marks_);
    EXPECT_EQ(marks_.Marked(), (Files{2, 3, 4}));

    // A group of reference files and marked files is never whole: its reference file stays.
    const BatchPlan plan = PlanBatch(BatchKind::Delete, catalogue_, groups_, marks_, reference_, facts_);
    EXPECT_EQ(plan.WholeGroups, 0);
    EXPECT_EQ(plan.Files, (Files{2, 3, 4}));

    // Even a plan that names reference files (made before the folder was flagged) leaves them alone.
    for (const BatchKind kind : {BatchKind::Delete, BatchKind::Move}) {
        BatchPlan forged;
        forged.Kind = kind;
        forged.Files = {0, 1};
        DiskOperations ops;
        QDir().mkpath(path("target"));
        BatchOptions options = deleteForGood(true);
        options.Destination = path("target");
        const BatchReport report = RunBatch(forged, options, catalogue_, marks_, reference_, facts_, ops, nullptr);
        EXPECT_TRUE(report.Done.empty());
        EXPECT_EQ(failedFiles(report), (Files{0, 1}));
        EXPECT_TRUE(QFile::exists(path("ref/a.jpg")));
        EXPECT_TRUE(QFile::exists(path("ref/b.jpg")));
    }
}

// ---------------------------------------------------------------------------------------------------------
// Keep-rules: every rule, each with a tie that the next rule or the final tie-break settles

struct KeepCase {
    const char* name;
    std::vector<KeepRule> rules;
    std::vector<Pic> pics;
    std::vector<int64_t> modified;  // nanoseconds, per picture; empty for none
    int32_t kept;
};

class KeepRuleTest : public testing::TestWithParam<KeepCase> {};

TEST_P(KeepRuleTest, KeepsTheBestFileAndMarksTheRest) {
    const KeepCase& t = GetParam();
    std::vector<TPicturePair> chain;
    for (int32_t k = 1; k < static_cast<int32_t>(t.pics.size()); ++k)
        chain.push_back({k - 1, k, 90});
    const Catalogue c = catalogueOf(t.pics, chain);
    PictureFacts facts;
    for (size_t k = 0; k < t.modified.size(); ++k) {
        FileFacts f;
        f.Inode = k + 1;
        f.Size = t.pics[k].size;
        f.ModifiedNs = t.modified[k];
        if (t.modified[k] < 0)
            facts.SetGone(static_cast<int32_t>(k));
        else
            facts.Set(static_cast<int32_t>(k), f);
    }
    const ResultGroups groups = ResultGroups::Build(c, ShownPairs(c, kNoSimilarityFilter), facts);
    const KeepPlan plan = PlanKeeping(c, groups, facts, ReferenceFolders(), t.rules);
    ASSERT_EQ(plan.Kept.size(), 1u);
    EXPECT_EQ(plan.Kept[0], t.kept);
    Files others;
    for (int32_t k = 0; k < static_cast<int32_t>(t.pics.size()); ++k) {
        if (k != t.kept)
            others.push_back(k);
    }
    EXPECT_EQ(plan.ToMark, others);
}

const std::vector<KeepRule> kMostPixels{{KeepRuleKind::MostPixels, {}}};

INSTANTIATE_TEST_SUITE_P(
    Rules, KeepRuleTest,
    testing::Values(
        KeepCase{"MostPixels", kMostPixels, {{"/p/a.jpg", 100, 100}, {"/p/b.jpg", 200, 100}, {"/p/c.jpg", 150, 100}}, {}, 1},
        KeepCase{"MostPixelsTieGoesToPathOrder", kMostPixels,
                 {{"/p/b.jpg", 100, 200}, {"/p/a.jpg", 200, 100}, {"/p/c.jpg", 50, 50}}, {}, 1},
        KeepCase{"MostPixelsTieThenLargestFile",
                 {{KeepRuleKind::MostPixels, {}}, {KeepRuleKind::LargestFile, {}}},
                 {{"/p/a.jpg", 100, 200, 10}, {"/p/b.jpg", 200, 100, 30}, {"/p/c.jpg", 200, 100, 20}}, {}, 1},
        KeepCase{"LargestFileTieGoesToPathOrder", {{KeepRuleKind::LargestFile, {}}},
                 {{"/p/z.jpg", 1, 1, 30}, {"/p/y.jpg", 1, 1, 30}, {"/p/x.jpg", 1, 1, 20}}, {}, 1},
        KeepCase{"OldestModification", {{KeepRuleKind::OldestModification, {}}},
                 {{"/p/a.jpg"}, {"/p/b.jpg"}, {"/p/c.jpg"}}, {30, 10, 20}, 1},
        KeepCase{"OldestModificationGoneFileLast", {{KeepRuleKind::OldestModification, {}}},
                 {{"/p/a.jpg"}, {"/p/b.jpg"}}, {-1, 50}, 1},
        KeepCase{"NewestModificationTieThenShortestPath",
                 {{KeepRuleKind::NewestModification, {}}, {KeepRuleKind::ShortestPath, {}}},
                 {{"/p/long-name.jpg"}, {"/p/short.jpg"}, {"/p/old.jpg"}}, {20, 20, 10}, 1},
        KeepCase{"NewestModificationGoneFileLast", {{KeepRuleKind::NewestModification, {}}},
                 {{"/p/a.jpg"}, {"/p/b.jpg"}}, {40, -1}, 0},
        KeepCase{"ShortestPathTieGoesToPathOrder", {{KeepRuleKind::ShortestPath, {}}},
                 {{"/p/bb.jpg"}, {"/p/ccc.jpg"}, {"/p/aa.jpg"}}, {}, 2},
        KeepCase{"InPreferredFolderNotItsNeighbour",
                 {{KeepRuleKind::InPreferredFolder, "/keep/"}, {KeepRuleKind::LargestFile, {}}},
                 {{"/keeper/a.jpg", 1, 1, 90}, {"/keep/sub/b.jpg", 1, 1, 10}, {"/keep/c.jpg", 1, 1, 20}}, {}, 2},
        KeepCase{"PreferredTypeAnyCaseTieThenMostPixels",
                 {{KeepRuleKind::PreferredType, "png"}, {KeepRuleKind::MostPixels, {}}},
                 {{"/p/a.jpg", 900, 900}, {"/p/b.PNG", 100, 100}, {"/p/c.png", 200, 100}}, {}, 2},
        KeepCase{"NoRulesPathOrder", {}, {{"/p/c.jpg"}, {"/p/a.jpg"}, {"/p/b.jpg"}}, {}, 1}),
    [](const testing::TestParamInfo<KeepCase>& info) { return info.param.name; });

TEST(KeepRuleTest, SamePathTiesGoToScanOrder) {
    // Two entries of one path (never made by a search, but the order must stay total).
    const Catalogue c = catalogueOf({{"/p/a.jpg"}, {"/p/a.jpg"}}, {{0, 1, 100}});
    EXPECT_LT(CompareForKeeping(c, PictureFacts(), {}, 0, 1), 0);
    EXPECT_GT(CompareForKeeping(c, PictureFacts(), {}, 1, 0), 0);
}

// ---------------------------------------------------------------------------------------------------------
// The filter and the CSV of the pairs shown

TEST(PairFilterTest, CsvOfTheShownPairsIsNumberedFromOne) {
    const Catalogue c = catalogueOf(numbered(4), {{0, 1, 60.4}, {1, 2, 99.5}, {2, 3, 70}});
    const std::vector<int32_t> shown = ShownPairs(c, 70);
    EXPECT_EQ(shown, (std::vector<int32_t>{1, 2}));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(PairListCsv(c, us, shown), QByteArray("\xEF\xBB\xBF"
                                                    "Group Num;Picture Filename;Similarity;\r\n"
                                                    "1;/p/1.jpg;100;\r\n"
                                                    "1;/p/2.jpg;100;\r\n"
                                                    "2;/p/2.jpg;70;\r\n"
                                                    "2;/p/3.jpg;70;\r\n"));
    EXPECT_EQ(PairListCsv(c, us, ShownPairs(c, kNoSimilarityFilter)), PairListCsv(c, us));
}

TEST(ResultMarksTest, MarksFollowPicturesThroughSortsAndClearForANewSearch) {
    Catalogue c = catalogueOf(numbered(4), {{0, 1, 60}, {2, 3, 90}});
    const ReferenceFolders none;
    ResultMarks marks;
    ASSERT_TRUE(marks.Set(c, none, 3, true));
    std::swap(c.PicturePairs[0], c.PicturePairs[1]);
    const ResultGroups groups = groupsOf(c);
    EXPECT_EQ(groups[0].Files, (Files{2, 3}));
    EXPECT_TRUE(marks.IsMarked(3));
    EXPECT_EQ(marks.Count(), 1);
    c.Pictures[2].Deleted = true;
    EXPECT_FALSE(marks.Set(c, none, 2, true)) << "a file moved away cannot be marked";
    marks.Clear();
    EXPECT_EQ(marks.Count(), 0);
    EXPECT_FALSE(marks.IsMarked(3));
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------------------------------------
// Texts of a batch

TEST(BatchTextsTest, ConfirmationNamesCountSizeAndWhereAndTheSummaryNamesReasons) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    BatchPlan plan;
    plan.Files = {1, 2};
    plan.Bytes = 3 * 1024 * 1024;
    BatchOptions options;
    EXPECT_EQ(BatchConfirmationText(plan, options, us), "Move the 2 marked files (3.00 MB) to the trash?");
    options.ToTrash = false;
    EXPECT_EQ(BatchConfirmationText(plan, options, us), "Delete the 2 marked files (3.00 MB) permanently?");
    plan.Kind = BatchKind::Move;
    options.Destination = "/backup/";
    EXPECT_EQ(BatchConfirmationText(plan, options, us), "Move the 2 marked files (3.00 MB) to\n\r/backup/?");
    EXPECT_EQ(WholeGroupsQuestionText(1, us),
              "In 1 group every file is marked.\n\rDelete every file of that group too? No keeps them all.");

    const Catalogue c = catalogueOf(numbered(20), {});
    BatchReport report;
    report.Done = {0};
    report.BytesDone = 1000;
    report.Cancelled = true;
    report.NotAttempted = 2;
    for (int32_t k = 1; k <= kSummaryFailureLines + 2; ++k)
        report.Failed.push_back({k, EACCES, {}});
    const QStringList lines = BatchSummaryText(report, BatchKind::Delete, c, us).split("\n\r");
    ASSERT_EQ(lines.size(), 3 + kSummaryFailureLines + 1);
    EXPECT_EQ(lines[0], "Deleted 1 file (1000 B).");
    EXPECT_EQ(lines[1], "Cancelled: 2 files not tried.");
    EXPECT_EQ(lines[2], "Not done: 17 files");
    EXPECT_EQ(lines[3], "1.jpg: " + qt_error_string(EACCES));
    EXPECT_EQ(lines.last(), "and 2 more");
}

}  // namespace
