// The pair list file: exact bytes, quoting of awkward paths, and the write that never leaves half a file.
#include "engine/CsvWriter.h"

#include "PictureFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);

// A catalogue holding the given full paths as pictures and the given pairs.
Catalogue catalogueWith(const QStringList& paths, const std::vector<TPicturePair>& pairs) {
    Catalogue c;
    for (const QString& path : paths) {
        const qsizetype cut = path.lastIndexOf(QLatin1Char('/')) + 1;
        c.FolderPaths.push_back(path.left(cut));
        TPicInfo pic;
        pic.FileName = path.mid(cut);
        pic.PathInd = static_cast<int32_t>(c.FolderPaths.size() - 1);
        c.Pictures.push_back(pic);
    }
    c.LastPathIndex = c.LastPicIndex = static_cast<int32_t>(paths.size()) - 1;
    c.PathCapacity = c.PicCapacity = static_cast<int32_t>(paths.size());
    c.PicturePairs = pairs;
    c.LastPairIndex = static_cast<int32_t>(pairs.size()) - 1;
    c.PairCapacity = static_cast<int32_t>(pairs.size());
    return c;
}

TEST(CsvWriterTest, OnePairGivesHeaderAndTwoLines) {
    const Catalogue c = catalogueWith({"/a/x.jpg", "/b/y.png"}, {{0, 1, 62.8}});
    EXPECT_EQ(PairListCsv(c, kUs), QByteArray("\xEF\xBB\xBF"
                                              "Group Num;Picture Filename;Similarity;\r\n"
                                              "1;/a/x.jpg;63;\r\n"
                                              "1;/b/y.png;63;\r\n"));
}

TEST(CsvWriterTest, EmptyListGivesHeaderOnly) {
    const Catalogue c = catalogueWith({"/a/x.jpg"}, {});
    EXPECT_EQ(PairListCsv(c, kUs), QByteArray("\xEF\xBB\xBFGroup Num;Picture Filename;Similarity;\r\n"));
}

TEST(CsvWriterTest, PairsInCurrentOrderWithIndicesAsStored) {
    // A swapped pair (indices 2 then 0) comes out in its swapped order; a picture in two pairs is written
    // in both groups.
    const Catalogue c = catalogueWith({"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"}, {{1, 2, 100}, {2, 0, 1}, {0, 1, 50.5}});
    EXPECT_EQ(PairListCsv(c, kUs), QByteArray("\xEF\xBB\xBF"
                                              "Group Num;Picture Filename;Similarity;\r\n"
                                              "1;/p/b.jpg;100;\r\n"
                                              "1;/p/c.jpg;100;\r\n"
                                              "2;/p/c.jpg;1;\r\n"
                                              "2;/p/a.jpg;1;\r\n"
                                              "3;/p/a.jpg;51;\r\n"
                                              "3;/p/b.jpg;51;\r\n"));
}

TEST(CsvWriterTest, NonAsciiPathsAreUtf8) {
    const Catalogue c = catalogueWith({QStringLiteral(u"/fotos/Bärchen.jpg"), QStringLiteral(u"/写真/猫.png")},
                                      {{0, 1, 100}});
    const QByteArray csv = PairListCsv(c, kUs);
    EXPECT_TRUE(csv.contains(QStringLiteral(u"1;/fotos/Bärchen.jpg;100;\r\n").toUtf8()));
    EXPECT_TRUE(csv.contains(QStringLiteral(u"1;/写真/猫.png;100;\r\n").toUtf8()));
}

struct FieldCase {
    const char* name;
    const char* raw;
    const char* written;
};

class CsvFieldTest : public testing::TestWithParam<FieldCase> {};

TEST_P(CsvFieldTest, QuotesOnlyWhenNeeded) {
    EXPECT_EQ(CsvField(QString::fromUtf8(GetParam().raw)), QString::fromUtf8(GetParam().written));
}

INSTANTIATE_TEST_SUITE_P(Table, CsvFieldTest,
                         testing::Values(FieldCase{"Plain", "/a/b c.jpg", "/a/b c.jpg"},
                                         FieldCase{"Empty", "", ""},
                                         FieldCase{"Semicolon", "/a;b/x.jpg", "\"/a;b/x.jpg\""},
                                         FieldCase{"Quote", "/a/say \"hi\".jpg", "\"/a/say \"\"hi\"\".jpg\""},
                                         FieldCase{"LineFeed", "/a/two\nlines.jpg", "\"/a/two\nlines.jpg\""},
                                         FieldCase{"CarriageReturn", "/a/x\r.jpg", "\"/a/x\r.jpg\""},
                                         FieldCase{"CommaStaysPlain", "/a,b/x.jpg", "/a,b/x.jpg"}),
                         [](const testing::TestParamInfo<FieldCase>& info) { return std::string(info.param.name); });

TEST(CsvWriterTest, PathWithSemicolonKeepsThreeFieldsPerLine) {
    const Catalogue c = catalogueWith({"/a;b/x.jpg", "/c/y.jpg"}, {{0, 1, 100}});
    const QByteArray csv = PairListCsv(c, kUs);
    EXPECT_TRUE(csv.contains("1;\"/a;b/x.jpg\";100;\r\n"));
    EXPECT_TRUE(csv.contains("1;/c/y.jpg;100;\r\n"));
}

TEST(CsvWriterTest, AtomicWriteReplacesTheFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("list.csv");
    fixtures::WriteBytes(path, "old content that is longer than the new one");
    WriteFileAtomically(path, "new");
    EXPECT_EQ(fixtures::ReadBytes(path), QByteArray("new"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"list.csv"});  // no temporary left behind
}

TEST(CsvWriterTest, FailedWriteThrowsAndLeavesNoFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("missing/list.csv");
    EXPECT_THROW(WriteFileAtomically(path, "x"), FileWriteError);
    EXPECT_FALSE(QFile::exists(path));
    try {
        WriteFileAtomically(path, "x");
    } catch (const FileWriteError& e) {
        EXPECT_NE(std::string(e.what()).find(path.toStdString()), std::string::npos);
    }
}

TEST(CsvWriterTest, FailedWriteLeavesTheOldFileWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("list.csv");
    fixtures::WriteBytes(path, "old");
    // A read-only folder refuses the temporary file, so the write fails before the old file is touched.
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    if (QFileInfo(dir.path()).isWritable() || ::geteuid() == 0)
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    EXPECT_THROW(WriteFileAtomically(path, "new"), FileWriteError);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(fixtures::ReadBytes(path), QByteArray("old"));
}

}  // namespace
