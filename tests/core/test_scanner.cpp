// The folder walk: catalogue order, masks, skipped entries, the subfolder switch, stops, trash folders, links
// and the progress text.
#include "FakeSearchHost.h"
#include "QtPrinters.h"
#include "ScopedEnvironment.h"
#include "engine/FolderScanner.h"
#include "platform/Trash.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int32_t kTestCapacity = 2000;

class ScannerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        root_ = QDir(tmp_.path()).canonicalPath() + u'/';
        // Smaller than the search's initial reservation, which is slow to zero-fill for every test; still
        // a multiple of the growth step, so the growth rule sees what it would after AllocateInitial.
        cat_.Pictures.resize(kTestCapacity);
        cat_.FolderPaths.resize(kTestCapacity);
        cat_.PicCapacity = cat_.PathCapacity = kTestCapacity;
    }

    // Writes a file of the given size (bytes of 'x') below the root, creating its folders.
    void file(const QString& rel, int size = 3) {
        const QString full = root_ + rel;
        ASSERT_TRUE(QDir().mkpath(QFileInfo(full).absolutePath()));
        QFile f(full);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, 'x'));
    }
    void folder(const QString& rel) { ASSERT_TRUE(QDir().mkpath(root_ + rel)); }
    void symlink(const QString& target, const QString& rel) {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(root_ + rel).constData()), 0);
    }

    // Scans the listed folders (relative to the root) with one scanner, as one search does.
    void scan(const QStringList& listed, const QStringList& skipped = {}) {
        FolderScanner scanner(cat_, settings_, host_);
        scanner.SetSkippedFolders(skipped);
        for (const QString& rel : listed)
            scanner.ScanFolder(root_ + rel);
    }
    // Recorded pictures as paths relative to the root, in catalogue order.
    QStringList pictures() const {
        QStringList out;
        for (int32_t i = 0; i <= cat_.LastPicIndex; ++i)
            out << cat_.PicturePath(i).mid(root_.size());
        return out;
    }
    QStringList folders() const {
        QStringList out;
        for (int32_t i = 0; i <= cat_.LastPathIndex; ++i)
            out << cat_.FolderPaths[size_t(i)].mid(root_.size());
        return out;
    }

    QTemporaryDir tmp_;
    QString root_;
    Catalogue cat_;
    TSettings settings_;
    FakeSearchHost host_;
};

QString lit(const char* s) { return QString::fromUtf8(s); }

}  // namespace

TEST_F(ScannerTest, CatalogueOrderIsTypesThenSubfoldersDepthFirst) {
    file("b.png");
    file("A.bmp");
    file("a.JPG");
    file("c.jpeg");
    file("Z.gif");
    file(".dot.png");
    file("notes.txt");
    file("scan.tiff");  // TIFF is off by default
    file("zero.bmp", 0);
    file("sub2/p.bmp");
    file("Sub1/q.jpg");
    file("Sub1/deeper/r.gif");
    file(".hidden/h.png");
    file("empty/zero.jpg", 0);
    folder("nothing");

    scan({""});

    EXPECT_EQ(pictures(), (QStringList{"A.bmp", "a.JPG", "c.jpeg", "Z.gif", ".dot.png", "b.png", ".hidden/h.png",
                                       "Sub1/q.jpg", "Sub1/deeper/r.gif", "sub2/p.bmp"}));
    EXPECT_EQ(folders(), (QStringList{"", ".hidden/", "Sub1/", "Sub1/deeper/", "sub2/"}))
        << "folders without a recorded picture get no entry";
    for (int32_t i = 0; i <= cat_.LastPicIndex; ++i) {
        const TPicInfo& p = cat_.Pictures[size_t(i)];
        EXPECT_EQ(p.Size, 3);
        EXPECT_FALSE(p.Deleted);
        EXPECT_EQ(p.CCVStage, TCCVStage::None);
        EXPECT_EQ(p.Width, 0);
        EXPECT_EQ(p.PreBuffer, TPreBuffer{});
        EXPECT_TRUE(p.Attr & 0x20);
    }
    EXPECT_EQ(cat_.Pictures[4].Attr & 0x02, 0x02) << "dot-names are hidden files";
    EXPECT_EQ(cat_.Pictures[5].Attr & 0x02, 0);
}

TEST_F(ScannerTest, NamesAreOrderedCaseInsensitivelyWithCaseSensitiveTies) {
    for (const char* n : {"b.bmp", "A.bmp", "a.bmp", "B.bmp", "_x.bmp", "a0.bmp", "\xc3\xa9.bmp", "Z.bmp"})
        file(lit(n));
    folder("b-dir");
    folder("A-dir");
    folder("a-dir");
    file("b-dir/1.gif");
    file("A-dir/1.gif");
    file("a-dir/1.gif");
    scan({""});
    EXPECT_EQ(pictures(), (QStringList{"_x.bmp", "A.bmp", "a.bmp", "a0.bmp", "B.bmp", "b.bmp", "Z.bmp",
                                       lit("\xc3\xa9.bmp"), "A-dir/1.gif", "a-dir/1.gif", "b-dir/1.gif"}))
        << "names differing only in case are both recorded";
}

TEST_F(ScannerTest, NameMatchedByTwoMasksIsRecordedOnceUnderTheFirst) {
    settings_.SearchTIFF = true;
    settings_.SearchCR2 = true;
    file("a.jpg.png");   // *.jp*g and *.png
    file("b.tif.jpeg");  // *.jp*g and *.tif*
    file("c.tiff");
    file("d.cr2.gif");   // *.gif only
    file("E.CR2");
    scan({""});
    EXPECT_EQ(pictures(), (QStringList{"a.jpg.png", "b.tif.jpeg", "d.cr2.gif", "c.tiff", "E.CR2"}));
}

TEST_F(ScannerTest, TwoMasksInAFolderWhosePicturesStartTheCatalogue) {
    // The look-back for a file seen twice walks down this folder's pictures; it must stop at index 0.
    file("a.bmp");
    file("b.jpg");
    file("c.gif");
    scan({""});
    EXPECT_EQ(pictures(), (QStringList{"a.bmp", "b.jpg", "c.gif"}));
}

TEST_F(ScannerTest, DisabledTypesAreNotRecorded) {
    settings_.SearchBMP = false;
    settings_.SearchPNG = false;
    file("a.bmp");
    file("b.png");
    file("c.jpg");
    scan({""});
    EXPECT_EQ(pictures(), QStringList{"c.jpg"});
}

TEST_F(ScannerTest, ZeroByteFileGivesNoFolderEntryAndIsSkippedLater) {
    file("only-empty/a.jpg", 0);
    file("mixed/a.bmp", 0);
    file("mixed/b.bmp", 5);
    scan({""});
    EXPECT_EQ(pictures(), QStringList{"mixed/b.bmp"});
    EXPECT_EQ(folders(), QStringList{"mixed/"});
    EXPECT_EQ(cat_.Pictures[0].Size, 5);
}

TEST_F(ScannerTest, ListedFolderWithoutDelimiterGetsOne) {
    file("pics/a.jpg");
    FolderScanner scanner(cat_, settings_, host_);
    scanner.SetSkippedFolders({});
    scanner.ScanFolder(root_ + "pics");
    ASSERT_EQ(cat_.LastPathIndex, 0);
    EXPECT_EQ(cat_.FolderPaths[0], root_ + "pics/");
    EXPECT_EQ(cat_.PicturePath(0), root_ + "pics/a.jpg");
}

TEST_F(ScannerTest, IndicesContinueAcrossListedFolders) {
    file("one/a.jpg");
    file("two/b.jpg");
    file("two/c.jpg");
    scan({"two", "one"});
    EXPECT_EQ(pictures(), (QStringList{"two/b.jpg", "two/c.jpg", "one/a.jpg"}));
    EXPECT_EQ(cat_.Pictures[2].PathInd, 1);
}

TEST_F(ScannerTest, MissingFolderIsPassedOverSilently) {
    scan({"does-not-exist"});
    EXPECT_EQ(cat_.LastPicIndex, -1);
    EXPECT_EQ(cat_.LastPathIndex, -1);
}

TEST_F(ScannerTest, UnreadableFolderIsPassedOver) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    file("open/a.jpg");
    file("locked/b.jpg");
    ASSERT_EQ(chmod(QFile::encodeName(root_ + "locked").constData(), 0), 0);
    scan({""});
    chmod(QFile::encodeName(root_ + "locked").constData(), 0755);
    EXPECT_EQ(pictures(), QStringList{"open/a.jpg"});
}

TEST_F(ScannerTest, SubfolderSwitchOffRecordsOnlyTheListedFolder) {
    file("a.jpg");
    file("sub/b.jpg");
    host_.scanSubfolders = false;
    scan({""});
    EXPECT_EQ(pictures(), QStringList{"a.jpg"});
}

TEST_F(ScannerTest, SubfolderSwitchIsReadAsEachFolderFinishesItsFiles) {
    file("A/a.jpg");
    file("A/inner/i.jpg");
    file("B/b.jpg");
    file("B/inner/j.jpg");
    // The switch is turned off at A's own processing point (1 is the root, 2 is A): A's subfolders are not
    // entered, but B, already listed by the root, still is; B's own subfolders are not.
    host_.onMessages = [this](int n) {
        if (n == 2)
            host_.scanSubfolders = false;
    };
    scan({""});
    EXPECT_EQ(pictures(), (QStringList{"A/a.jpg", "B/b.jpg"}));
}

TEST_F(ScannerTest, MessagesOncePerFolderAndPerFileReturnedByAMask) {
    file("a.jpg");
    file("b.jpg", 0);   // counts: returned by the mask
    file("c.txt");      // not returned by any enabled mask
    folder("d.png");    // a folder matched by a mask is passed over without messages
    file("d.png/e.gif");
    scan({""});
    EXPECT_EQ(host_.messageCount, 2 + 2 + 1) << "two folders, a.jpg, b.jpg and e.gif";
}

TEST_F(ScannerTest, StopDuringTheLastTypeStillEntersEachSubfolderEmptyHanded) {
    file("r1.png");
    file("r2.png");
    file("r3.png");
    file("r4.jpg");
    file("s1/x.bmp");
    file("s2/y.bmp");
    file("s2/deeper/z.bmp");
    // Points: 1 the root, 2 r4.jpg, 3 r1.png, 4 r2.png. PNG is the last enabled type (the newer types are
    // off here), so after r2.png is recorded the walk goes on to the subfolders, each of which ends at its
    // first type.
    settings_.SearchWEBP = settings_.SearchHEIC = settings_.SearchAVIF = settings_.SearchJXL = false;
    host_.stopAfterMessages = 4;
    scan({""});
    EXPECT_EQ(pictures(), (QStringList{"r4.jpg", "r1.png", "r2.png"}));
    EXPECT_EQ(host_.messageCount, 4 + 2) << "s1 and s2 are entered once each; s2/deeper is not reached";
    EXPECT_EQ(folders(), QStringList{""});
}

TEST_F(ScannerTest, StopDuringAnEarlierTypeEndsTheVisit) {
    file("r1.bmp");
    file("r2.bmp");
    file("r3.bmp");
    file("r4.jpg");
    file("s1/x.bmp");
    host_.stopAfterMessages = 3;  // the root, r1.bmp, r2.bmp
    scan({""});
    EXPECT_EQ(pictures(), (QStringList{"r1.bmp", "r2.bmp"}));
    EXPECT_EQ(host_.messageCount, 3) << "no further types and no subfolders";
}

TEST_F(ScannerTest, StopBeforeTheWalkRecordsNothing) {
    file("a.jpg");
    file("sub/b.jpg");
    host_.stopped = true;
    scan({"", "sub"});
    EXPECT_EQ(cat_.LastPicIndex, -1);
    EXPECT_EQ(host_.messageCount, 2) << "each listed folder processes messages once and ends at its first type";
}

TEST_F(ScannerTest, CloseRequestDuringTheWalkDefersReleaseAndEndsTheWalk) {
    file("a.jpg");
    file("b.jpg");
    file("c.jpg");
    file("sub/d.jpg");
    host_.onMessages = [this](int n) {
        if (n == 2)
            cat_.Release();
    };
    {
        Catalogue::SearchUse driver(cat_);
        scan({""});
        EXPECT_EQ(pictures(), QStringList{"a.jpg"}) << "the catalogue stays whole until the search lets go";
    }
    EXPECT_TRUE(cat_.Pictures.empty());
    EXPECT_EQ(cat_.LastPicIndex, -1);
}

TEST_F(ScannerTest, ProgressTextAfterThe1st11thAnd21stPicture) {
    for (int i = 0; i < 12; ++i)
        file(QStringLiteral("one/p%1.jpg").arg(i, 2, 10, QChar(u'0')));
    for (int i = 0; i < 13; ++i)
        file(QStringLiteral("two/q%1.png").arg(i, 2, 10, QChar(u'0')));
    scan({"one", "two"});
    EXPECT_EQ(cat_.LastPicIndex, 24);
    EXPECT_EQ(host_.filesCountTexts,
              (QStringList{"Total pictures scanned: 0 / 1", "Total pictures scanned: 0 / 11",
                           "Total pictures scanned: 0 / 21"}));
}

TEST_F(ScannerTest, GrowthFollowsTheProgressText) {
    // A catalogue already holding 1000 pictures against 2000 entries: the next picture is index 1000, which
    // writes the text and then grows the list; a failing growth must leave the text already written.
    cat_.Reset();
    cat_.Pictures.resize(2000);
    cat_.PicCapacity = 2000;
    cat_.FolderPaths.resize(1000);
    cat_.PathCapacity = 1000;
    cat_.FolderPaths[0] = QStringLiteral("/elsewhere/");
    cat_.LastPathIndex = 0;
    cat_.LastPicIndex = 999;
    cat_.AllocationLimitForTests = 2000;
    file("a.jpg");
    FolderScanner scanner(cat_, settings_, host_);
    scanner.SetSkippedFolders({});
    EXPECT_THROW(scanner.ScanFolder(root_), std::bad_alloc);
    EXPECT_EQ(host_.filesCountTexts, QStringList{"Total pictures scanned: 0 / 1001"});
    EXPECT_EQ(cat_.LastPicIndex, 1000);

    cat_.AllocationLimitForTests = -1;
    cat_.LastPicIndex = 999;
    cat_.LastPathIndex = 0;
    FolderScanner again(cat_, settings_, host_);
    again.SetSkippedFolders({});
    again.ScanFolder(root_);
    EXPECT_EQ(cat_.PicCapacity, 3000);
    EXPECT_EQ(cat_.Pictures.size(), 3000u);
}

TEST_F(ScannerTest, TrashFoldersAreNeverEntered) {
    file("keep/a.jpg");
    file(".Trash-1000/files/gone.jpg");
    file("home-trash/files/gone.jpg");
    file("home-trash-not/kept.jpg");  // only shares the beginning of the name
    file(".trash-1000/kept.jpg");     // another folder on a case-sensitive file system
    symlink(root_ + "home-trash", "via-link");
    scan({"", "home-trash/files", ".Trash-1000"}, {root_ + ".Trash-1000", root_ + "home-trash/"});
    EXPECT_EQ(pictures(), (QStringList{".trash-1000/kept.jpg", "home-trash-not/kept.jpg", "keep/a.jpg"}));
}

TEST_F(ScannerTest, TrashFolderRuleCoversVolumeTopsAndTheHomeTrash) {
    const QString uid = QString::number(getuid());
    {
        ScopedEnvironment home("XDG_DATA_HOME", QFile::encodeName(root_ + "data"));
        TrashFolderRule rule;
        EXPECT_TRUE(rule.IsInsideTrash("/.Trash-" + uid));
        EXPECT_TRUE(rule.IsInsideTrash("/.Trash"));
        EXPECT_TRUE(rule.IsInsideTrash("/.Trash/" + uid + "/files"));
        EXPECT_TRUE(rule.IsInsideTrash(root_ + "data/Trash"));
        EXPECT_TRUE(rule.IsInsideTrash(root_ + "data/Trash/files/old"));
        EXPECT_FALSE(rule.IsInsideTrash(root_ + "data/Trash-not"));
        EXPECT_FALSE(rule.IsInsideTrash("/.Trash-" + uid + "0"));
        EXPECT_FALSE(rule.IsInsideTrash("/.trash"));
        // Named like a volume's trash, but inside a folder that is not the top of a volume.
        EXPECT_FALSE(rule.IsInsideTrash(root_ + ".Trash-" + uid));
        EXPECT_FALSE(rule.IsInsideTrash(root_ + ".Trash/files"));
    }
    ScopedEnvironment unset("XDG_DATA_HOME", QByteArray());
    TrashFolderRule rule;
    EXPECT_TRUE(rule.IsInsideTrash(QDir::homePath() + "/.local/share/Trash"));
}

TEST_F(ScannerTest, TheHomeTrashIsNeverEnteredWhenNoFoldersAreGiven) {
    ScopedEnvironment home("XDG_DATA_HOME", QFile::encodeName(root_ + "data"));
    file("data/Trash/files/gone.jpg");
    file("data/kept.jpg");
    file("pics/a.jpg");
    FolderScanner scanner(cat_, settings_, host_);
    scanner.ScanFolder(root_);
    scanner.ScanFolder(root_ + "data/Trash/files");
    EXPECT_EQ(pictures(), (QStringList{"data/kept.jpg", "pics/a.jpg"}));
}

TEST_F(ScannerTest, LinkLoopsAndFoldersSeenBeforeAreWalkedOnce) {
    file("a/pic.jpg");
    symlink(root_, "a/loop");           // back to the root
    symlink(root_ + "a", "b-again");    // a second way into a/, found after a/
    symlink(root_ + "z", "0-first");    // the way into z/ found before z/ itself
    file("z/zed.jpg");
    scan({"", "a", "z"});
    EXPECT_EQ(pictures(), (QStringList{"0-first/zed.jpg", "a/pic.jpg"}))
        << "each picture once, under the first path that reached its folder";
}

TEST_F(ScannerTest, OnlyRegularFilesAreRecorded) {
    file("real.jpg");
    symlink(root_ + "real.jpg", "link.jpg");
    symlink(root_ + "missing.jpg", "dead.jpg");
    ASSERT_EQ(mkfifo(QFile::encodeName(root_ + "pipe.bmp").constData(), 0600), 0);
    scan({""});
    EXPECT_EQ(pictures(), QStringList{"real.jpg"});
}

TEST_F(ScannerTest, TimeIsTheLocalMsDosDateAndTime) {
    file("a.jpg");
    const QDateTime when(QDate(2021, 6, 15), QTime(13, 45, 37), Qt::LocalTime);
    timespec times[2] = {{when.toSecsSinceEpoch(), 0}, {when.toSecsSinceEpoch(), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(root_ + "a.jpg").constData(), times, 0), 0);
    scan({""});
    ASSERT_EQ(cat_.LastPicIndex, 0);
    const uint32_t date = (2021 - 1980) << 9 | 6 << 5 | 15;
    const uint32_t time = 13 << 11 | 45 << 5 | 37 / 2;
    EXPECT_EQ(uint32_t(cat_.Pictures[0].Time), date << 16 | time);
}

TEST_F(ScannerTest, ReadOnlyFileCarriesTheReadOnlyBit) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write to any file";
    file("ro.jpg");
    file("rw.jpg");
    ASSERT_EQ(chmod(QFile::encodeName(root_ + "ro.jpg").constData(), 0444), 0);
    scan({""});
    ASSERT_EQ(pictures(), (QStringList{"ro.jpg", "rw.jpg"}));
    EXPECT_EQ(cat_.Pictures[0].Attr, 0x21);
    EXPECT_EQ(cat_.Pictures[1].Attr, 0x20);
}

TEST(DosDateTime, OutsideTheFormatGivesZero) {
    EXPECT_EQ(FolderScanner::DosDateTime(0), 0) << "1970 is before the format's first year";
    const QDateTime late(QDate(2108, 1, 2), QTime(0, 0), Qt::LocalTime);
    EXPECT_EQ(FolderScanner::DosDateTime(late.toSecsSinceEpoch()), 0);
    const QDateTime first(QDate(1980, 1, 1), QTime(0, 0, 1), Qt::LocalTime);
    EXPECT_EQ(FolderScanner::DosDateTime(first.toSecsSinceEpoch()), (1 << 5 | 1) << 16);
}

struct MaskCase {
    const char* mask;
    const char* name;
    bool matches;
};

class MaskTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(MaskTest, WholeNameIgnoringCase) {
    const MaskCase& c = GetParam();
    EXPECT_EQ(FolderScanner::MaskMatches(QString::fromLatin1(c.mask), lit(c.name)), c.matches)
        << c.mask << " against " << c.name;
}

INSTANTIATE_TEST_SUITE_P(Scanner, MaskTest,
                         ::testing::Values(MaskCase{"*.jp*g", "x.jpg", true}, MaskCase{"*.jp*g", "x.JPEG", true},
                                           MaskCase{"*.jp*g", "x.jpg.png", true},
                                           MaskCase{"*.jp*g", "x.jpg.txt", false},
                                           MaskCase{"*.jp*g", "x.jp", false}, MaskCase{"*.tif*", "a.TIFF", true},
                                           MaskCase{"*.tif*", "a.tif", true}, MaskCase{"*.tif*", "a.ti", false},
                                           MaskCase{"*.bmp", ".bmp", true}, MaskCase{"*.bmp", "bmp", false},
                                           MaskCase{"*.bmp", "a.bmp.bak", false},
                                           MaskCase{"*.bmp", "a.b.c.BmP", true}, MaskCase{"*.cr2", "IMG.CR2", true},
                                           MaskCase{"?.gif", "a.gif", true}, MaskCase{"?.gif", "ab.gif", false},
                                           MaskCase{"?.gif", ".gif", false}, MaskCase{"*", "", true},
                                           MaskCase{"*.png", "\xc3\x89t\xc3\xa9.PNG", true}));

TEST(NameOrder, CaseInsensitiveFirstThenCaseSensitive) {
    EXPECT_TRUE(FolderScanner::NameLess("a", "B"));
    EXPECT_TRUE(FolderScanner::NameLess("A", "a"));
    EXPECT_FALSE(FolderScanner::NameLess("a", "A"));
    EXPECT_FALSE(FolderScanner::NameLess("a", "a"));
    EXPECT_TRUE(FolderScanner::NameLess("_", "a"));
}

// /proc leads back to the whole machine through /proc/<pid>/root; the kernel's tables are never entered,
// whether listed or reached through a link.
TEST_F(ScannerTest, PseudoFileSystemsAreNeverEntered) {
    if (!QFileInfo(QStringLiteral("/proc/self")).isDir())
        GTEST_SKIP() << "no /proc here";
    file("a.png");
    symlink(QStringLiteral("/proc"), "proc-link");
    symlink(QStringLiteral("/sys"), "sys-link");
    settings_.SearchPNG = true;
    FolderScanner scanner(cat_, settings_, host_);
    scanner.SetSkippedFolders({});
    scanner.ScanFolder(QStringLiteral("/proc/self/"));
    scanner.ScanFolder(root_);
    EXPECT_EQ(pictures(), QStringList{"a.png"});
    EXPECT_EQ(folders(), QStringList{""});
}

// A name that is not valid in the system's encoding cannot be recorded (its bytes would come back as
// another name); it is not passed over silently but counted, with its full path, where it would have been
// searched: a picture of an enabled type, or a folder while subfolders are walked.
TEST_F(ScannerTest, NamesTheSystemCannotSpellAreCountedWithTheirPaths) {
    if (QFile::encodeName(QFile::decodeName("Caf\xe9")) == "Caf\xe9")
        GTEST_SKIP() << "every byte is a character in this locale";
    file("a.png");
    const QByteArray base = QFile::encodeName(root_);
    for (const char* name : {"Caf\xe9.png", "Caf\xe9.txt"}) {
        QFile f(QFile::decodeName(base + name));
        const int fd = ::open((base + name).constData(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "xyz", 3), 3);
        ::close(fd);
    }
    ASSERT_EQ(::mkdir((base + "Alb\xfcm").constData(), 0700), 0);
    settings_.SearchPNG = true;
    FolderScanner scanner(cat_, settings_, host_);
    scanner.SetSkippedFolders({});
    scanner.ScanFolder(root_);
    EXPECT_EQ(pictures(), QStringList{"a.png"});
    std::vector<QByteArray> passed = scanner.PassedOverNames();
    std::sort(passed.begin(), passed.end());
    EXPECT_EQ(passed, (std::vector<QByteArray>{base + "Alb\xfcm", base + "Caf\xe9.png"}));
}

// Each folder is listed once for all its masks and subfolders; a deep chain of folders is walked with one
// listing per level, not a resolution of the whole path at every level.
TEST_F(ScannerTest, DeepTreeIsWalkedToItsBottom) {
    QString rel;
    for (int level = 0; level < 300; ++level)
        rel += QStringLiteral("d/");
    file(rel + "deep.png");
    settings_.SearchPNG = true;
    scan({""});
    EXPECT_EQ(pictures(), QStringList{rel + "deep.png"});
}
