// Pairs remembered as "not a duplicate": kept by content so that renames do not lose them, read back from
// their file (damaged lines left out), and honoured by the search the window and voralin-cli run.
#include "engine/PairMatcher.h"
#include "history/HistoryFiles.h"
#include "history/RememberedPairs.h"
#include "history/WindowMemory.h"

#include "FakeSearchHost.h"
#include "PictureFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class RememberedPairsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    FileIdentity Identity(const QString& name) const {
        const std::optional<FileIdentity> id = IdentityOf(Path(name));
        EXPECT_TRUE(id) << name.toStdString();
        return id.value_or(FileIdentity{});
    }

    // A catalogue of the named files of the folder, in this order, as the folder walk records them.
    Catalogue CatalogueOf(const QStringList& names) const {
        Catalogue cat;
        cat.Reset();
        cat.AllocateInitial();
        cat.AppendFolderPath(dir_.path() + QLatin1Char('/'));
        for (const QString& name : names) {
            TPicInfo pic;
            pic.FileName = name;
            pic.Size = QFileInfo(Path(name)).size();
            cat.AppendPicture(pic);
            cat.ApplyPictureGrowth();
        }
        cat.TrimPicturesAndPaths();
        cat.AllocatePairs();
        return cat;
    }

    QTemporaryDir dir_;
};

TEST_F(RememberedPairsTest, SurviveRenamingBothFilesAndARestart) {
    fixtures::WriteBytes(Path("a.jpg"), "first picture");
    fixtures::WriteBytes(Path("b.jpg"), "second picture");
    fixtures::WriteBytes(Path("c.jpg"), "third picture");
    {
        RememberedPairs pairs(Path("remembered"));
        EXPECT_TRUE(pairs.Empty());
        EXPECT_TRUE(pairs.Remember(Identity("a.jpg"), Path("a.jpg"), Identity("b.jpg"), Path("b.jpg")));
        // Either order is the same pair; a file is never "not a duplicate" of its own content.
        EXPECT_FALSE(pairs.Remember(Identity("b.jpg"), Path("b.jpg"), Identity("a.jpg"), Path("a.jpg")));
        EXPECT_FALSE(pairs.Remember(Identity("c.jpg"), Path("c.jpg"), Identity("c.jpg"), Path("c.jpg")));
        ASSERT_TRUE(pairs.Save());
    }
    ASSERT_TRUE(QFile::rename(Path("a.jpg"), Path("renamed-a.jpg")));
    ASSERT_TRUE(QDir().mkpath(Path("elsewhere")));
    ASSERT_TRUE(QFile::rename(Path("b.jpg"), Path("elsewhere/renamed-b.jpg")));

    RememberedPairs pairs(Path("remembered"));
    ASSERT_EQ(pairs.Count(), 1u);
    EXPECT_EQ(pairs.Pairs()[0].FirstPath + pairs.Pairs()[0].SecondPath,
              Identity("renamed-a.jpg") < Identity("elsewhere/renamed-b.jpg") ? Path("a.jpg") + Path("b.jpg")
                                                                                : Path("b.jpg") + Path("a.jpg"));
    EXPECT_TRUE(pairs.Contains(Identity("elsewhere/renamed-b.jpg"), Identity("renamed-a.jpg")));
    EXPECT_FALSE(pairs.Contains(Identity("renamed-a.jpg"), Identity("c.jpg")));

    const Catalogue cat = CatalogueOf({"c.jpg", "renamed-a.jpg", "elsewhere/renamed-b.jpg"});
    RememberedPairVeto veto(pairs);
    EXPECT_TRUE(veto.Refuses(cat, 1, 2));
    EXPECT_TRUE(veto.Refuses(cat, 2, 1));
    EXPECT_FALSE(veto.Refuses(cat, 0, 2));
    EXPECT_EQ(veto.Passed(), 2);

    EXPECT_TRUE(pairs.Forget(Identity("renamed-a.jpg"), Identity("elsewhere/renamed-b.jpg")));
    EXPECT_TRUE(pairs.Empty());
}

TEST_F(RememberedPairsTest, DamagedLinesAreLeftOutAndADamagedFileIsEmpty) {
    fixtures::WriteBytes(Path("a.jpg"), "first picture");
    fixtures::WriteBytes(Path("b.jpg"), "second picture");
    fixtures::WriteBytes(Path("c.jpg"), "third picture");
    RememberedPairs written(Path("remembered"));
    written.Remember(Identity("a.jpg"), Path("a.jpg"), Identity("b.jpg"), Path("b.jpg"));
    written.Remember(Identity("a.jpg"), Path("a.jpg"), Identity("c.jpg"), Path("c.jpg"));
    ASSERT_TRUE(written.Save());
    const QByteArray good = fixtures::ReadBytes(Path("remembered"));
    QList<QByteArray> lines = good.split('\n');
    ASSERT_EQ(lines.size(), 4);  // header, two pairs, the empty rest after the last line feed

    struct Case {
        const char* name;
        QByteArray text;
        size_t pairs;
    };
    QByteArray shortDigest = lines[1];
    shortDigest.remove(20, 1);
    const Case cases[] = {
        {"Intact", good, 2},
        {"CutInsideTheLastLine", good.left(good.size() - 30), 1},
        {"ADigestShort", lines[0] + '\n' + shortDigest + '\n' + lines[2] + '\n', 1},
        {"ASizeNotANumber", lines[0] + '\n' + "x" + lines[1] + '\n' + lines[2] + '\n', 1},
        {"NoHeader", lines[1] + '\n' + lines[2] + '\n', 0},
        {"Binary", QByteArray(300, '\xff'), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fixtures::WriteBytes(Path("remembered"), c.text);
        EXPECT_EQ(RememberedPairs(Path("remembered")).Count(), c.pairs);
    }
}

// The search itself: three encodings A, B, C of one photograph give (A, B) and (B, C), each the nearest earlier
// partner. With (B, C) remembered, C goes on to its next earlier partner and pairs with A; the veto counts
// one pair passed over, and an empty list or an unrelated pair changes nothing.
TEST_F(RememberedPairsTest, ARememberedPairLetsThePictureFindItsNextPartnerInTheSearch) {
    const QImage photo = fixtures::MakeNaturalPicture(160, 120, 7);
    fixtures::WriteJpeg(Path("a.jpg"), photo, 95);
    fixtures::WriteJpeg(Path("b.jpg"), photo, 85);
    fixtures::WriteJpeg(Path("c.jpg"), photo, 75);
    fixtures::WriteJpeg(Path("other.jpg"), fixtures::MakeNaturalPicture(160, 120, 99), 90);

    const auto search = [&](CandidateVeto* veto) {
        Catalogue cat = CatalogueOf({"a.jpg", "other.jpg", "b.jpg", "c.jpg"});
        TSettings settings;
        FakeSearchHost host;
        PictureSupplyOptions supply;
        supply.Veto = veto;
        MatchPictures(cat, settings, host, supply);
        cat.TrimPairs();
        std::vector<std::pair<int32_t, int32_t>> pairs;
        for (const TPicturePair& p : cat.PicturePairs)
            pairs.push_back({p.PicIndex1, p.PicIndex2});
        return pairs;
    };
    using Pairs = std::vector<std::pair<int32_t, int32_t>>;
    const Pairs plain = search(nullptr);
    ASSERT_EQ(plain, (Pairs{{0, 2}, {2, 3}}));

    RememberedPairs pairs(Path("remembered"));
    RememberedPairVeto none(pairs);
    EXPECT_EQ(search(&none), plain);
    EXPECT_EQ(none.Passed(), 0);

    ASSERT_TRUE(pairs.Remember(Identity("other.jpg"), Path("other.jpg"), Identity("b.jpg"), Path("b.jpg")));
    RememberedPairVeto unrelated(pairs);
    EXPECT_EQ(search(&unrelated), plain);
    EXPECT_EQ(unrelated.Passed(), 0);

    ASSERT_TRUE(pairs.Remember(Identity("c.jpg"), Path("c.jpg"), Identity("b.jpg"), Path("b.jpg")));
    RememberedPairVeto veto(pairs);
    EXPECT_EQ(search(&veto), (Pairs{{0, 2}, {0, 3}}));
    EXPECT_EQ(veto.Passed(), 1);
}

}  // namespace

namespace {

// The window's remembered state: written and read back unchanged, and any damage makes the whole file
// ignored rather than half believed.
TEST(WindowMemoryTest, RoundTripsAndADamagedFileIsIgnored) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = WindowMemoryFile(dir.path() + QLatin1Char('/'));
    EXPECT_FALSE(ReadWindowMemory(file));  // none yet

    WindowMemory m;
    m.Folders = {{QStringLiteral("/home/u/Pictures/"), false},
                 {QStringLiteral(u"/media/Ünï code;\"x\"/"), true}};
    m.Geometry = QByteArray("\x01\xd9\xd0\xcb\x00\x03", 6);
    m.Splitters[QStringLiteral("main")] = QByteArray("\x00\xff\x10", 3);
    m.Columns[QStringLiteral("ListView1")] = {300, 300, 90};
    m.SortColumn = 2;
    m.SortDescending = true;
    m.View = QStringLiteral("groups");
    ASSERT_TRUE(WriteWindowMemory(file, m));
    const std::optional<WindowMemory> back = ReadWindowMemory(file);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, m);
    const QByteArray good = fixtures::ReadBytes(file);

    struct Case {
        const char* name;
        QByteArray text;
    };
    QByteArray otherFormat = good;
    otherFormat.replace("\"format\": 1", "\"format\": 2");
    QByteArray negativeWidth = good;
    negativeWidth.replace("90", "-90");
    QByteArray unknownView = good;
    unknownView.replace("\"groups\"", "\"tiles\"");
    QByteArray badBase64 = good;
    badBase64.replace("AP8Q", "A!8Q");
    const Case damaged[] = {
        {"Cut", good.left(good.size() / 2)},
        {"Empty", QByteArray()},
        {"NotAnObject", "[1, 2]"},
        {"OtherFormat", otherFormat},
        {"NegativeWidth", negativeWidth},
        {"UnknownView", unknownView},
        {"BadBase64", badBase64},
        {"Binary", QByteArray(200, '\0')},
    };
    for (const Case& c : damaged) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.text, good);
        fixtures::WriteBytes(file, c.text);
        EXPECT_FALSE(ReadWindowMemory(file));
    }
}

}  // namespace
