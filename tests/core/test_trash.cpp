// Trash entries a file manager can restore: the info file's encoding read back byte by byte, unique names,
// the volume trash rules, and failures that leave the file and no stray entry behind.
#include "ScopedEnvironment.h"
#include "platform/Trash.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// The location as a restoring program reads it: "%XX" back to its byte, every other byte as it stands.
// Written here rather than taken from Qt, so the test does not share the writer's view of the encoding.
QByteArray DecodeLocation(const QByteArray& encoded) {
    QByteArray out;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '%' && i + 2 < encoded.size()) {
            out.append(static_cast<char>(encoded.mid(i + 1, 2).toInt(nullptr, 16)));
            i += 2;
        } else {
            out.append(encoded[i]);
        }
    }
    return out;
}

struct TrashInfo {
    QByteArray header, path, date;
};

TrashInfo ParseInfo(const QByteArray& text) {
    TrashInfo info;
    const QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty())
        info.header = lines[0];
    for (const QByteArray& line : lines) {
        if (line.startsWith("Path="))
            info.path = line.mid(5);
        else if (line.startsWith("DeletionDate="))
            info.date = line.mid(13);
    }
    return info;
}

QStringList NamesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

class TrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(work_.isValid());
        ASSERT_TRUE(data_.isValid());
        root_ = QDir(work_.path()).canonicalPath() + u'/';
    }
    QString trash() const { return data_.path() + QStringLiteral("/Trash"); }

    QTemporaryDir work_, data_;
    ScopedEnvironment dataHome_{"XDG_DATA_HOME", QFile::encodeName(data_.path())};
    QString root_;
};

struct NameCase {
    const char* label;
    const char* relative;  // below the work folder, UTF-8
};

class TrashNameTest : public TrashTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(TrashNameTest, EntryRecordsTheExactPathAndRestores) {
    const QString original = root_ + QString::fromUtf8(GetParam().relative);
    const QByteArray bytes = QByteArray("picture of ") + GetParam().label;
    WriteFile(original, bytes);

    const FileOpResult result = MoveFileToTrash(original);
    ASSERT_TRUE(result.ok) << result.errorCode;
    EXPECT_FALSE(QFileInfo::exists(original));

    const QStringList infos = NamesIn(trash() + "/info");
    ASSERT_EQ(infos.size(), 1);
    const QString entry = infos[0].chopped(int(qstrlen(".trashinfo")));
    EXPECT_EQ(entry, QFileInfo(original).fileName());
    const TrashInfo info = ParseInfo(ReadFile(trash() + "/info/" + infos[0]));
    EXPECT_EQ(info.header, "[Trash Info]");
    // Only unreserved characters, "/" and escapes may stand in the value.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^(?:[A-Za-z0-9._~/-]|%[0-9A-F]{2})+$"))
                    .match(QString::fromLatin1(info.path))
                    .hasMatch())
        << info.path.constData();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$"))
                    .match(QString::fromLatin1(info.date))
                    .hasMatch())
        << info.date.constData();
    const QByteArray location = DecodeLocation(info.path);
    EXPECT_EQ(location, QFile::encodeName(original));

    // Restore as a file manager does: the entry goes back to the recorded place.
    ASSERT_TRUE(QFile::rename(trash() + "/files/" + entry, QFile::decodeName(location)));
    EXPECT_EQ(ReadFile(original), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Names, TrashNameTest,
    ::testing::Values(NameCase{"plain", "plain.jpg"}, NameCase{"spaces_hash_percent", "sp ace #1/forest 100%.jpg"},
                      NameCase{"newline", "two\nlines.png"}, NameCase{"non_ascii", "café/ünïcødé – 雪.gif"},
                      NameCase{"escape_lookalike", "not %41 an A.bmp"}, NameCase{"hidden", ".hidden"}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.label); });

TEST_F(TrashTest, TheSameNameTwiceGivesTwoEntries) {
    for (const char* folder : {"one", "two", "three"})
        WriteFile(root_ + folder + "/a.jpg", folder);
    for (const char* folder : {"one", "two", "three"})
        ASSERT_TRUE(MoveFileToTrash(root_ + folder + "/a.jpg").ok);
    EXPECT_EQ(NamesIn(trash() + "/files"), (QStringList{"a.2.jpg", "a.3.jpg", "a.jpg"}));
    EXPECT_EQ(ReadFile(trash() + "/files/a.2.jpg"), "two");
    EXPECT_EQ(DecodeLocation(ParseInfo(ReadFile(trash() + "/info/a.3.jpg.trashinfo")).path),
              QFile::encodeName(root_ + "three/a.jpg"));
}

// Paths whose folders never climb to "/": an empty one, and one QFileInfo takes for a Qt resource. The search
// for their entries used to run forever.
TEST_F(TrashTest, PathsWithoutARootHaveNoEntries) {
    for (const char* path : {"", ":p/a b.jpg", ":/p/a.jpg"})
        EXPECT_TRUE(TrashEntriesFor(QString::fromLatin1(path)).isEmpty()) << path;
}

TEST_F(TrashTest, AMissingFileLeavesNoEntry) {
    const FileOpResult result = MoveFileToTrash(root_ + "gone.jpg");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorCode, ENOENT);
    EXPECT_FALSE(result.trashUnavailable);
    EXPECT_TRUE(NamesIn(trash() + "/info").isEmpty());
}

TEST_F(TrashTest, AFailedMoveTakesItsInfoFileBack) {
    const QString folder = root_ + ".Trash-1";
    ASSERT_TRUE(QDir().mkpath(folder));
    const FileOpResult result = MoveIntoTrash(root_ + "vanished.jpg", folder, "vanished.jpg");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorCode, ENOENT);
    EXPECT_FALSE(result.trashUnavailable);
    EXPECT_TRUE(NamesIn(folder + "/info").isEmpty());
}

TEST_F(TrashTest, AVolumeTrashRecordsThePathFromTheVolumeTop) {
    const QString top = root_ + "volume";
    WriteFile(top + "/pics/sun set.jpg", "sun");
    const QString folder = VolumeTrashFolder(top);
    ASSERT_EQ(folder, top + "/.Trash-" + QString::number(getuid()));
    ASSERT_TRUE(MoveIntoTrash(top + "/pics/sun set.jpg", folder, "pics/sun set.jpg").ok);
    const QByteArray path = ParseInfo(ReadFile(folder + "/info/sun set.jpg.trashinfo")).path;
    EXPECT_EQ(path, "pics/sun%20set.jpg");
    EXPECT_EQ(ReadFile(folder + "/files/sun set.jpg"), "sun");
}

TEST_F(TrashTest, NoUsableTrashLeavesTheFile) {
    const QString file = root_ + "keep.jpg";
    WriteFile(file, "keep");
    WriteFile(root_ + "broken/files", "a file where the trash needs a folder");
    const FileOpResult result = MoveIntoTrash(file, root_ + "broken", "keep.jpg");
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.trashUnavailable);
    EXPECT_EQ(ReadFile(file), "keep");
}

enum class Shared { None, Sticky, NotSticky, LinkToSticky };

struct VolumeCase {
    const char* label;
    Shared shared;
    bool ownNameTaken;  // a plain file sits where .Trash-UID would go
    const char* expected;  // relative to the top; "" for none
};

class VolumeTrashTest : public TrashTest, public ::testing::WithParamInterface<VolumeCase> {};

TEST_P(VolumeTrashTest, ChoosesTheSharedOrTheOwnTrash) {
    const VolumeCase& c = GetParam();
    const QString top = root_ + "top";
    const QString uid = QString::number(getuid());
    ASSERT_TRUE(QDir().mkpath(top + "/elsewhere"));
    const QByteArray shared = QFile::encodeName(top + "/.Trash");
    const QByteArray sticky = QFile::encodeName(top + "/elsewhere/sticky");
    switch (c.shared) {
    case Shared::None:
        break;
    case Shared::Sticky:
        ASSERT_EQ(::mkdir(shared.constData(), 0777), 0);
        ASSERT_EQ(::chmod(shared.constData(), 01777), 0);
        break;
    case Shared::NotSticky:
        ASSERT_EQ(::mkdir(shared.constData(), 0777), 0);
        break;
    case Shared::LinkToSticky:
        ASSERT_EQ(::mkdir(sticky.constData(), 0777), 0);
        ASSERT_EQ(::chmod(sticky.constData(), 01777), 0);
        ASSERT_EQ(::symlink(sticky.constData(), shared.constData()), 0);
        break;
    }
    if (c.ownNameTaken)
        WriteFile(top + "/.Trash-" + uid, "in the way");

    const QString expected = QString::fromLatin1(c.expected).replace("UID", uid);
    const QString chosen = VolumeTrashFolder(top);
    EXPECT_EQ(chosen, expected.isEmpty() ? QString() : top + "/" + expected);
    if (!chosen.isEmpty()) {
        struct stat info {};
        ASSERT_EQ(::lstat(QFile::encodeName(chosen).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0700u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, VolumeTrashTest,
    ::testing::Values(VolumeCase{"no_shared_trash", Shared::None, false, ".Trash-UID"},
                      VolumeCase{"sticky_shared_trash", Shared::Sticky, false, ".Trash/UID"},
                      VolumeCase{"shared_trash_without_sticky_bit", Shared::NotSticky, false, ".Trash-UID"},
                      VolumeCase{"shared_trash_is_a_link", Shared::LinkToSticky, false, ".Trash-UID"},
                      VolumeCase{"sticky_shared_trash_beats_a_taken_name", Shared::Sticky, true, ".Trash/UID"},
                      VolumeCase{"nothing_usable", Shared::None, true, ""}),
    [](const ::testing::TestParamInfo<VolumeCase>& info) { return std::string(info.param.label); });

}  // namespace
