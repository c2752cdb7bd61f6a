// The search driver: refusals, which listed folders are walked, stops, the summary, errors and a close.
#include "engine/SearchDriver.h"
#include "settings/PictureTypeTable.h"

#include "PictureFixtures.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

// A scripted main window: records every call in order and can click, close or fail at a message point.
class ScriptedSearchWindow : public SearchWindow {
public:
    QStringList items;
    bool placeholder = false;
    bool scanSubfolders = true;
    uint32_t elapsedMs = 7000;  // "Elapsed time: 00:00:07"
    std::function<void(int)> onMessages;  // runs at every message point with its number (1 = first)
    std::function<void(const SearchProgress&, ProgressLine)> onProgress;  // runs after each report is kept

    int messageCount = 0;
    QStringList events;  // the calls in order, progress texts left out
    QStringList errors;
    QStringList summaries;
    QStringList filesCountTexts;
    QStringList summaryLabels;
    int rowCount = -1;

    void ProcessMessages() override {
        ++messageCount;
        if (onMessages)
            onMessages(messageCount);
    }
    bool ScanSubfolders() const override { return scanSubfolders; }
    void ReportProgress(const SearchProgress& progress, ProgressLine line) override {
        if (line == ProgressLine::Pictures)
            filesCountTexts << FilesCountText(progress);
        if (onProgress)
            onProgress(progress, line);
    }
    QStringList FolderListItems() const override { return items; }
    bool PlaceholderShown() const override { return placeholder; }
    void ShowError(const QString& text) override {
        events << "ShowError";
        errors << text;
    }
    void ShowSummary(const SearchOutcome& outcome) override {
        events << "ShowSummary";
        summaries << SummaryMessage(outcome);
    }
    void EnterSearchingState() override { events << "EnterSearchingState"; }
    void EnterIdleState() override { events << "EnterIdleState"; }
    void StartElapsedTimer() override { events << "StartElapsedTimer"; }
    void StopElapsedTimer() override { events << "StopElapsedTimer"; }
    uint32_t ElapsedMs() const override { return elapsedMs; }
    void BeginResultsUpdate() override {
        events << "BeginResultsUpdate";
        rowCount = 0;
    }
    void SetResultRowCount(int rows) override {
        events << QStringLiteral("SetResultRowCount %1").arg(rows);
        rowCount = rows;
    }
    void EndResultsUpdate() override { events << "EndResultsUpdate"; }
    void SetSummaryLabels(const SummaryCountTexts& texts) override {
        events << "SetSummaryLabels";
        summaryLabels = {texts.Scanned, texts.Duplicates, texts.DiskUsage};
    }
    void SelectFirstRowAndShow() override { events << "SelectFirstRowAndShow"; }
};

const QString kPadding(36, QLatin1Char(' '));

class DriverTest : public testing::Test {
protected:
    DriverTest() : driver_(cat_, settings_, window_, QLocale(QLocale::English, QLocale::UnitedStates)) {}
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    // A folder below the temporary folder, with the delimiter, created on disk.
    QString folder(const QString& relative) {
        QDir().mkpath(dir_.filePath(relative));
        return dir_.filePath(relative) + QLatin1Char('/');
    }
    // A file the scanner records but the decoder refuses.
    void junk(const QString& relative) { fixtures::WriteBytes(dir_.filePath(relative), "not a picture"); }
    void picture(const QString& relative, uint32_t seed) {
        fixtures::WriteBytes(dir_.filePath(relative),
                             fixtures::EncodeImage(fixtures::MakeNaturalPicture(160, 120, seed), "png"));
    }
    // Recorded pictures as paths relative to the temporary folder, in catalogue order.
    QStringList recorded() const {
        QStringList out;
        for (int32_t i = 0; i <= cat_.LastPicIndex && i < cat_.PicCapacity; ++i)
            out << QDir(dir_.path()).relativeFilePath(cat_.PicturePath(i));
        return out;
    }
    void clickStart() { driver_.StartButtonClick(); }

    QTemporaryDir dir_;
    Catalogue cat_;
    TSettings settings_;
    ScriptedSearchWindow window_;
    SearchDriver driver_;
};

// --- Refusals.

struct RefusalCase {
    const char* name;
    bool emptyList;
    bool placeholder;
    bool noTypes;
    const char* message;
};

class DriverRefusalTest : public DriverTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(DriverRefusalTest, RefusesWithMessageAndChangesNothing) {
    const RefusalCase& c = GetParam();
    if (!c.emptyList)
        window_.items = {folder("a")};
    window_.placeholder = c.placeholder;
    if (c.noTypes) {
        for (const PictureType& type : PictureTypes())
            settings_.*type.EnabledBy = false;
    }
    cat_.LastPairIndex = 4;  // left from an earlier search; a refusal must not touch it
    clickStart();
    EXPECT_EQ(window_.events, QStringList{"ShowError"});
    EXPECT_EQ(window_.errors, QStringList{QString::fromUtf8(c.message)});
    EXPECT_TRUE(driver_.SearchStopped());
    EXPECT_FALSE(driver_.Running());
    EXPECT_EQ(cat_.LastPairIndex, 4);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DriverRefusalTest,
    testing::Values(RefusalCase{"EmptyList", true, false, false, "Please, add one or more directories to search."},
                    RefusalCase{"Placeholder", false, true, false, "Please, add one or more directories to search."},
                    RefusalCase{"NoTypes", false, false, true, "Please, choose one or more file types in Settings menu."}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(DriverTest, TiffAloneIsEnoughToSearch) {
    for (const PictureType& type : PictureTypes())
        settings_.*type.EnabledBy = false;
    settings_.SearchTIFF = true;
    window_.items = {folder("a")};
    clickStart();
    EXPECT_TRUE(window_.errors.isEmpty());
    EXPECT_EQ(window_.summaries.size(), 1);
}

// --- The folder-list rule.

struct EntryCase {
    const char* name;
    QStringList items;
    bool subfolders;
    std::vector<bool> skipped;
};

class FolderEntryTest : public testing::TestWithParam<EntryCase> {};

TEST_P(FolderEntryTest, SkipsRepeatsAndEntriesInsideAWalkedTree) {
    const EntryCase& c = GetParam();
    ASSERT_EQ(c.skipped.size(), static_cast<size_t>(c.items.size()));
    for (int i = 0; i < c.items.size(); ++i)
        EXPECT_EQ(FolderEntrySkipped(c.items, i, c.subfolders), c.skipped[static_cast<size_t>(i)])
            << c.items[i].toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, FolderEntryTest,
    testing::Values(EntryCase{"ParentFirst", {"/p/a/", "/p/a/b/"}, true, {false, true}},
                    EntryCase{"ParentSecond", {"/p/a/b/", "/p/a/"}, true, {true, false}},
                    EntryCase{"ParentFirstWithoutSubfolders", {"/p/a/", "/p/a/b/"}, false, {false, false}},
                    EntryCase{"ParentSecondWithoutSubfolders", {"/p/a/b/", "/p/a/"}, false, {false, false}},
                    EntryCase{"RootWithSubfolders", {"/", "/p/"}, true, {false, true}},
                    EntryCase{"RootWithoutSubfolders", {"/", "/p/"}, false, {false, false}},
                    EntryCase{"DelimiterKeepsSiblingsApart", {"/p/a/", "/p/ab/"}, true, {false, false}},
                    EntryCase{"MissingDelimiterKeepsSiblingsApart", {"/p/a", "/p/ab/"}, true, {false, false}},
                    EntryCase{"MissingDelimiterStillTheSameFolder", {"/p/a/", "/p/a"}, true, {false, true}},
                    EntryCase{"SameNameElsewhere", {"/a/", "/b/a/"}, true, {false, false}},
                    EntryCase{"RepeatWalkedOnceAtFirst", {"/p/a/", "/p/x/", "/p/a/"}, true, {false, false, true}},
                    EntryCase{"RepeatWithoutSubfolders", {"/p/a/", "/p/x/", "/p/a/"}, false, {false, false, true}},
                    EntryCase{"RepeatOfANestedEntry", {"/p/a/b/", "/p/a/b/"}, false, {false, true}},
                    EntryCase{"OtherCaseIsAnotherFolder", {"/t/A/", "/t/a/"}, true, {false, false}},
                    EntryCase{"OtherCaseIsAnotherFolderWithoutSubfolders", {"/t/A/", "/t/a/"}, false, {false, false}},
                    EntryCase{"OtherCaseIsNotNested", {"/P/A/b/", "/p/a/"}, true, {false, false}},
                    EntryCase{"OtherCaseOfNonAsciiLetters", {QStringLiteral(u"/p/ä/"), QStringLiteral(u"/p/Ä/")}, true,
                              {false, false}}),
    [](const testing::TestParamInfo<EntryCase>& info) { return std::string(info.param.name); });

struct WalkCase {
    const char* name;
    QStringList listed;  // relative to the temporary folder
    bool subfolders;
    QStringList recorded;
};

class DriverWalkTest : public DriverTest, public testing::WithParamInterface<WalkCase> {};

TEST_P(DriverWalkTest, WalksEachFolderOnce) {
    const WalkCase& c = GetParam();
    for (const char* f : {"a", "a/b", "ab", "x/a", "x/b/a", "pics", "PICS"})
        folder(QString::fromUtf8(f));
    for (const char* f : {"a/1.jpg", "a/b/2.jpg", "ab/3.jpg", "x/a/4.jpg", "x/b/a/5.jpg", "pics/6.jpg", "PICS/7.jpg"})
        junk(QString::fromUtf8(f));
    for (const QString& item : c.listed)
        window_.items << dir_.filePath(item) + QLatin1Char('/');
    window_.scanSubfolders = c.subfolders;
    clickStart();
    EXPECT_EQ(recorded(), c.recorded);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DriverWalkTest,
    testing::Values(WalkCase{"ParentAndChild", {"a", "a/b"}, true, {"a/1.jpg", "a/b/2.jpg"}},
                    WalkCase{"ChildAndParent", {"a/b", "a"}, true, {"a/1.jpg", "a/b/2.jpg"}},
                    WalkCase{"ChildWalkedWithoutSubfolders", {"a/b", "a"}, false, {"a/b/2.jpg", "a/1.jpg"}},
                    WalkCase{"ParentThenChildWithoutSubfolders", {"a", "a/b"}, false, {"a/1.jpg", "a/b/2.jpg"}},
                    WalkCase{"Siblings", {"a", "ab"}, false, {"a/1.jpg", "ab/3.jpg"}},
                    WalkCase{"SameNameUnderAnotherFolder", {"x/a", "x/b/a"}, true, {"x/a/4.jpg", "x/b/a/5.jpg"}},
                    WalkCase{"SameFolderTwice", {"ab", "a", "ab"}, false, {"ab/3.jpg", "a/1.jpg"}},
                    WalkCase{"OtherCaseIsAnotherFolder", {"PICS", "pics"}, true, {"PICS/7.jpg", "pics/6.jpg"}},
                    WalkCase{"MissingFolderPassedOver", {"gone", "ab"}, true, {"ab/3.jpg"}}),
    [](const testing::TestParamInfo<WalkCase>& info) { return std::string(info.param.name); });

TEST_F(DriverTest, FileListedAsFolderIsPassedOver) {
    junk("a.jpg");
    window_.items = {dir_.filePath("a.jpg") + QLatin1Char('/'), dir_.filePath("a.jpg")};
    clickStart();
    EXPECT_TRUE(recorded().isEmpty());
    EXPECT_EQ(window_.summaries.size(), 1);
}

// A folder listed inside another, with subfolders off: its pictures are searched, and pair with the outer
// folder's.
TEST_F(DriverTest, NestedEntryIsSearchedWithoutSubfolders) {
    const QString pics = folder("pics");
    const QString other = folder("pics/other");
    folder("pics/unlisted");
    picture("pics/1.png", 5);
    QFile::copy(dir_.filePath("pics/1.png"), dir_.filePath("pics/other/2.png"));
    QFile::copy(dir_.filePath("pics/1.png"), dir_.filePath("pics/unlisted/3.png"));
    window_.items = {pics, other};
    window_.scanSubfolders = false;
    clickStart();

    EXPECT_EQ(recorded(), (QStringList{"pics/1.png", "pics/other/2.png"}));
    EXPECT_EQ(window_.summaryLabels,
              (QStringList{"Files scanned: 2", "Duplicates found: 1", "Disk Space Usage: 0 B"}));
    EXPECT_EQ(cat_.PairCapacity, 1);
}

// --- A whole search.

TEST_F(DriverTest, FinishedSearchShowsSummaryAndFirstPair) {
    const QString a = folder("a");
    picture("a/1.png", 5);
    QFile::copy(dir_.filePath("a/1.png"), dir_.filePath("a/2.png"));
    window_.items = {a};
    clickStart();

    EXPECT_EQ(window_.events, (QStringList{"EnterSearchingState", "StartElapsedTimer", "BeginResultsUpdate",
                                           "SetResultRowCount 1", "SetSummaryLabels", "EndResultsUpdate",
                                           "StopElapsedTimer", "EnterIdleState", "ShowSummary",
                                           "SelectFirstRowAndShow"}));
    EXPECT_EQ(window_.summaryLabels,
              (QStringList{"Files scanned: 2", "Duplicates found: 1", "Disk Space Usage: 0 B"}));
    EXPECT_EQ(window_.summaries, QStringList{"Search finished." + kPadding +
                                             "\n\r\n\rTotal pictures scanned: 2 / 2\n\rSimilar pairs found: 1\n\r"
                                             "Elapsed time: 00:00:07\n\r"});
    EXPECT_EQ(cat_.PairCapacity, 1);
    EXPECT_EQ(cat_.PicturePairs[0], (TPicturePair{0, 1, 100}));
    EXPECT_TRUE(driver_.SearchStopped());
    EXPECT_FALSE(driver_.Running());
}

TEST_F(DriverTest, SearchWithoutPicturesSelectsNothing) {
    window_.items = {folder("empty")};
    clickStart();
    EXPECT_EQ(window_.summaryLabels,
              (QStringList{"Files scanned: 0", "Duplicates found: 0", "Disk Space Usage: 0 B"}));
    EXPECT_EQ(window_.summaries, QStringList{"Search finished." + kPadding +
                                             "\n\r\n\rTotal pictures scanned: 0 / 0\n\rSimilar pairs found: 0\n\r"
                                             "Elapsed time: 00:00:07\n\r"});
    EXPECT_FALSE(window_.events.contains("SelectFirstRowAndShow"));
    EXPECT_EQ(cat_.LastPicIndex, -1);
    EXPECT_EQ(cat_.PicCapacity, 0);
    EXPECT_EQ(cat_.PathCapacity, 0);
    EXPECT_EQ(cat_.PairCapacity, 0);
}

TEST_F(DriverTest, CountsAreGroupedWithTheGivenLocale) {
    const QString a = folder("many");
    for (int k = 0; k < 1234; ++k)
        junk(QStringLiteral("many/%1.jpg").arg(k, 4, 10, QLatin1Char('0')));
    window_.items = {a};
    clickStart();
    EXPECT_EQ(window_.summaryLabels[0], QStringLiteral("Files scanned: 1,234"));
    // The progress lines stay in plain digits.
    EXPECT_TRUE(window_.summaries[0].contains("Total pictures scanned: 1234 / 1234"));

    Catalogue other;
    ScriptedSearchWindow germanWindow;
    SearchDriver german(other, settings_, germanWindow, QLocale(QLocale::German, QLocale::Germany));
    germanWindow.items = {a};
    german.StartButtonClick();
    EXPECT_EQ(germanWindow.summaryLabels[0], QStringLiteral("Files scanned: 1.234"));
}

// --- Stops.

TEST_F(DriverTest, StopDuringScanSkipsTheMatcher) {
    const QString a = folder("a");
    picture("a/1.png", 5);
    QFile::copy(dir_.filePath("a/1.png"), dir_.filePath("a/2.png"));
    window_.items = {a};
    clickStart();  // a first search leaves one pair behind
    ASSERT_EQ(cat_.PairCapacity, 1);

    window_.events.clear();
    window_.summaries.clear();
    window_.onMessages = [this](int point) {
        if (point == 2)  // the scanner's first file of the folder
            clickStart();
    };
    window_.messageCount = 0;
    clickStart();
    EXPECT_EQ(window_.summaryLabels[1], QStringLiteral("Duplicates found: 0"));
    EXPECT_EQ(cat_.PairCapacity, 0);
    EXPECT_EQ(cat_.LastPairIndex, -1);
    EXPECT_EQ(window_.rowCount, 0);
    EXPECT_FALSE(window_.events.contains("SetResultRowCount 0"));  // the matcher never started
    EXPECT_FALSE(window_.events.contains("SelectFirstRowAndShow"));
    ASSERT_EQ(window_.summaries.size(), 1);
    EXPECT_TRUE(window_.summaries[0].startsWith("Search interrupted." + kPadding + "\n\r\n\r"));
    EXPECT_TRUE(driver_.SearchStopped());
    EXPECT_FALSE(driver_.Running());
}

TEST_F(DriverTest, StopDuringMatchingKeepsPairsSoFar) {
    const QString a = folder("a");
    picture("a/1.png", 5);
    for (const char* copy : {"a/2.png", "a/3.png", "a/4.png"})
        QFile::copy(dir_.filePath("a/1.png"), dir_.filePath(copy));
    window_.items = {a};
    window_.onMessages = [this](int) {
        if (cat_.LastPairIndex == 0 && !driver_.SearchStopped())
            clickStart();
    };
    clickStart();
    EXPECT_EQ(cat_.PairCapacity, 1);
    EXPECT_EQ(window_.rowCount, 1);
    EXPECT_EQ(window_.summaryLabels[0], QStringLiteral("Files scanned: 2"));  // pictures the matcher started
    EXPECT_EQ(window_.summaryLabels[1], QStringLiteral("Duplicates found: 1"));
    EXPECT_TRUE(window_.summaries[0].startsWith("Search interrupted."));
    EXPECT_TRUE(window_.summaries[0].contains("\n\rSimilar pairs found: 1\n\r"));
    EXPECT_EQ(window_.events.back(), "SelectFirstRowAndShow");
}

TEST_F(DriverTest, TwoStopClicksTogetherStopOnceAndStartNothing) {
    const QString a = folder("a");
    for (int k = 0; k < 5; ++k)
        junk(QStringLiteral("a/%1.jpg").arg(k));
    window_.items = {a};
    int searchesSeenRunning = 0;
    window_.onMessages = [&](int point) {
        if (driver_.Running())
            ++searchesSeenRunning;
        if (point == 2) {
            clickStart();
            clickStart();
            EXPECT_TRUE(driver_.SearchStopped());
        }
    };
    clickStart();
    EXPECT_EQ(window_.events.count("EnterSearchingState"), 1);
    EXPECT_EQ(window_.summaries.size(), 1);
    EXPECT_TRUE(window_.summaries[0].startsWith("Search interrupted."));
    EXPECT_TRUE(driver_.SearchStopped());
    EXPECT_FALSE(driver_.Running());
    EXPECT_EQ(searchesSeenRunning, window_.messageCount);
}

TEST_F(DriverTest, RunSearchIsNeverEnteredTwice) {
    window_.items = {folder("a")};
    junk("a/1.jpg");
    window_.onMessages = [this](int point) {
        if (point == 1)
            driver_.RunSearch();  // a stray second call only asks the running search to stop
    };
    clickStart();
    EXPECT_EQ(window_.events.count("EnterSearchingState"), 1);
    EXPECT_TRUE(window_.summaries[0].startsWith("Search interrupted."));
}

// --- A stop or a close once the last picture is taken: the matcher has nothing left to leave out, and the
// signature cache is being written.

enum class LateMoment { LastPictureReported, AfterLastPicture };

struct LateStopCase {
    const char* name;
    bool close;  // the window's close rather than the Stop command
    LateMoment moment;
};

class DriverLateStopTest : public DriverTest, public testing::WithParamInterface<LateStopCase> {
protected:
    QString cacheFolder() const { return dir_.filePath("cache/"); }
    QStringList cacheFiles() const { return QDir(cacheFolder()).entryList(QDir::Files); }
};

TEST_P(DriverLateStopTest, FinishedSearchIsNotReportedAsInterrupted) {
    const LateStopCase& c = GetParam();
    const QString a = folder("a");
    const QString b = folder("b");
    picture("a/1.png", 5);
    QFile::copy(dir_.filePath("a/1.png"), dir_.filePath("b/2.png"));
    picture("b/3.png", 6);
    window_.items = {a, b};
    SearchDriver driver(cat_, settings_, window_, QLocale(QLocale::English, QLocale::UnitedStates),
                        PictureSupplyOptions{.Threads = 2, .UseCache = true, .CacheFolder = cacheFolder()});

    bool lastReported = false;
    int actedAt = 0;  // the message point the stop or close came at; -1: at the report itself
    const auto act = [&] {
        if (c.close) {
            window_.SetResultRowCount(0);
            driver.RequestStop();
            cat_.Release();
        } else {
            driver.StartButtonClick();  // "Stop Search"
        }
    };
    window_.onProgress = [&](const SearchProgress& p, ProgressLine line) {
        if (lastReported || line != ProgressLine::Pictures || p.Phase != SearchPhase::Matching || p.Done != p.Total)
            return;
        lastReported = true;
        if (c.moment == LateMoment::LastPictureReported) {
            actedAt = -1;
            act();
        }
    };
    window_.onMessages = [&](int point) {
        if (lastReported && actedAt == 0 && c.moment == LateMoment::AfterLastPicture) {
            actedAt = point;
            act();
        }
    };
    driver.StartButtonClick();

    ASSERT_NE(actedAt, 0) << "the search had no message point after its last picture";
    EXPECT_EQ(driver.LastOutcome().End, SearchEnd::Finished);
    ASSERT_EQ(window_.summaries.size(), 1);
    EXPECT_EQ(window_.summaries[0], "Search finished." + kPadding +
                                        "\n\r\n\rTotal pictures scanned: 3 / 3\n\rSimilar pairs found: 1\n\r"
                                        "Elapsed time: 00:00:07\n\r");
    EXPECT_TRUE(driver.SearchStopped());
    EXPECT_FALSE(driver.Running());
    if (c.close) {
        // Nothing waited on after the close: no message point came after it, and nothing is shown.
        if (actedAt > 0) {
            EXPECT_EQ(window_.messageCount, actedAt);
        }
        EXPECT_EQ(window_.rowCount, 0);
        EXPECT_FALSE(window_.events.contains("SelectFirstRowAndShow"));
        EXPECT_TRUE(cat_.Pictures.empty());
        if (c.moment == LateMoment::LastPictureReported) {
            EXPECT_EQ(cacheFiles(), QStringList{}) << "a close before the writing began writes nothing";
        }
        return;
    }
    EXPECT_EQ(window_.rowCount, 1);
    EXPECT_EQ(window_.summaryLabels[1], QStringLiteral("Duplicates found: 1"));
    EXPECT_EQ(window_.events.back(), "SelectFirstRowAndShow");
    // A stop lets the cache be written whole: one file per picture folder, and the partner memo.
    EXPECT_EQ(cacheFiles().size(), 3) << cacheFiles().join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, DriverLateStopTest,
    testing::Values(LateStopCase{"StopAtLastPicture", false, LateMoment::LastPictureReported},
                    LateStopCase{"StopAfterLastPicture", false, LateMoment::AfterLastPicture},
                    LateStopCase{"CloseAtLastPicture", true, LateMoment::LastPictureReported},
                    LateStopCase{"CloseAfterLastPicture", true, LateMoment::AfterLastPicture}),
    [](const testing::TestParamInfo<LateStopCase>& info) { return std::string(info.param.name); });

// --- Errors.

TEST_F(DriverTest, ErrorAtAllocationStillCleansUpAndPropagates) {
    window_.items = {folder("a")};
    cat_.AllocationLimitForTests = 10;  // neither 30000 nor 15000 entries can be had
    EXPECT_THROW(clickStart(), std::bad_alloc);
    EXPECT_EQ(window_.events, (QStringList{"EnterSearchingState", "StartElapsedTimer", "BeginResultsUpdate",
                                           "EndResultsUpdate", "StopElapsedTimer", "EnterIdleState",
                                           "ShowSummary"}));
    EXPECT_TRUE(window_.summaries[0].startsWith("Search finished."));
    EXPECT_TRUE(driver_.SearchStopped());
    EXPECT_FALSE(driver_.Running());
}

TEST_F(DriverTest, ErrorDuringMatchingTrimsPairsAndSkipsTheSelection) {
    const QString a = folder("a");
    picture("a/1.png", 5);
    for (const char* copy : {"a/2.png", "a/3.png"})
        QFile::copy(dir_.filePath("a/1.png"), dir_.filePath(copy));
    window_.items = {a};
    window_.onMessages = [this](int) {
        if (cat_.LastPairIndex == 0)
            throw std::runtime_error("disk on fire");
    };
    EXPECT_THROW(clickStart(), std::runtime_error);
    EXPECT_EQ(cat_.PairCapacity, 1);
    EXPECT_EQ(cat_.PicturePairs.size(), 1u);
    EXPECT_EQ(window_.rowCount, 1);
    EXPECT_FALSE(window_.events.contains("SetSummaryLabels"));
    EXPECT_FALSE(window_.events.contains("SelectFirstRowAndShow"));
    EXPECT_EQ(window_.events.mid(window_.events.indexOf("SetResultRowCount 1")),
              (QStringList{"SetResultRowCount 1", "EndResultsUpdate", "StopElapsedTimer", "EnterIdleState",
                           "ShowSummary"}));
    EXPECT_TRUE(driver_.SearchStopped());
    EXPECT_FALSE(driver_.Running());

    // The next search starts as usual.
    window_.onMessages = nullptr;
    clickStart();
    EXPECT_EQ(cat_.PairCapacity, 2);
}

// --- Closing the window during a search.

struct CloseCase {
    const char* name;
    bool duringMatching;
};

class DriverCloseTest : public DriverTest, public testing::WithParamInterface<CloseCase> {};

// The window's close empties the list, raises the stop flag and releases the catalogue from inside a message
// point. The search must end without touching freed records (AddressSanitizer builds check this), show no
// rows and select nothing; the catalogue is empty once the search has returned.
TEST_P(DriverCloseTest, ReleaseWaitsForTheSearchToReturn) {
    const QString a = folder("a");
    picture("a/1.png", 5);
    for (const char* copy : {"a/2.png", "a/3.png", "a/4.png"})
        QFile::copy(dir_.filePath("a/1.png"), dir_.filePath(copy));
    window_.items = {a};
    bool closed = false;
    window_.onMessages = [&](int point) {
        const bool now = GetParam().duringMatching ? cat_.LastPairIndex == 0 : point == 2;
        if (closed || !now)
            return;
        closed = true;
        window_.SetResultRowCount(0);
        driver_.RequestStop();
        cat_.Release();
    };
    clickStart();
    ASSERT_TRUE(closed);
    EXPECT_EQ(window_.rowCount, 0);
    EXPECT_FALSE(window_.events.contains("SelectFirstRowAndShow"));
    EXPECT_TRUE(window_.summaries[0].startsWith("Search interrupted."));
    EXPECT_TRUE(cat_.Pictures.empty());
    EXPECT_TRUE(cat_.FolderPaths.empty());
    EXPECT_TRUE(cat_.PicturePairs.empty());
    EXPECT_EQ(cat_.LastPairIndex, -1);
    EXPECT_FALSE(cat_.ReleaseRequested());
    EXPECT_FALSE(driver_.Running());
}

INSTANTIATE_TEST_SUITE_P(Table, DriverCloseTest,
                         testing::Values(CloseCase{"DuringScan", false}, CloseCase{"DuringMatching", true}),
                         [](const testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

}  // namespace
