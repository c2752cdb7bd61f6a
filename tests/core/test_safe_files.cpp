// The one writer and the own-file reader against what may stand at a path: nothing, a regular file, a link,
// a folder, a fifo with and without a reader, a device; and a writable file in a folder that takes no new
// files. Nothing may hang, and nothing but the chosen file may change.
#include "platform/RegularFile.h"
#include "platform/SafeWriter.h"

#include "settings/SettingsStore.h"

#include "PictureFixtures.h"
#include "WithoutPrivileges.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray Native(const QString& path) { return QFile::encodeName(path); }

struct WriteCase {
    const char* name;
    WriteTarget target;
    // Builds what stands at the path; returns false to skip where the system does not allow it.
    bool (*prepare)(const QString& path, const QString& other);
    bool written;              // the bytes reach the path (or, through a link, what it names)
    const char* otherAfter;    // what the other file holds afterwards, for links
};

bool nothing(const QString&, const QString&) { return true; }
bool regular(const QString& p, const QString&) { fixtures::WriteBytes(p, "old"); return true; }
bool folder(const QString& p, const QString&) { return QDir().mkdir(p); }
bool linkToOther(const QString& p, const QString& o) {
    fixtures::WriteBytes(o, "other");
    return ::symlink(Native(o).constData(), Native(p).constData()) == 0;
}
bool danglingLink(const QString& p, const QString& o) { return ::symlink(Native(o).constData(), Native(p).constData()) == 0; }
bool fifoWithoutReader(const QString& p, const QString&) { return ::mkfifo(Native(p).constData(), 0600) == 0; }
bool nullDevice(const QString& p, const QString&) {
    return ::mknod(Native(p).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
}

class SafeWriterTest : public testing::TestWithParam<WriteCase> {};

TEST_P(SafeWriterTest, WritesOrRefusesWithoutTouchingAnythingElse) {
    QTemporaryDir dir;
    const QString path = dir.filePath("out.csv");
    const QString other = dir.filePath("other.txt");
    if (!GetParam().prepare(path, other))
        GTEST_SKIP() << "cannot make the node here";
    struct stat before {};
    ::lstat(Native(path).constData(), &before);

    bool threw = false;
    try {
        WriteFileAtomically(path, "new bytes", GetParam().target);
    } catch (const FileWriteError& e) {
        threw = true;
        EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith("Unable to write to " + path + ": ")) << e.what();
    }
    EXPECT_EQ(threw, !GetParam().written);

    struct stat after {};
    const bool exists = ::lstat(Native(path).constData(), &after) == 0;
    if (S_ISREG(before.st_mode) || !exists || S_ISREG(after.st_mode)) {
        if (GetParam().written && !S_ISLNK(before.st_mode)) {
            EXPECT_EQ(fixtures::ReadBytes(path), "new bytes");
        }
    } else {
        // Never replaced: the same node, of the same kind, stands there.
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
    }
    if (GetParam().otherAfter) {
        EXPECT_EQ(fixtures::ReadBytes(other), GetParam().otherAfter);
    }
    // No temporary file is left behind.
    for (const QString& name : QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        EXPECT_TRUE(name == "out.csv" || name == "other.txt") << name.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, SafeWriterTest,
    testing::Values(WriteCase{"NewFile", WriteTarget::UserChoice, nothing, true, nullptr},
                    WriteCase{"RegularFile", WriteTarget::UserChoice, regular, true, nullptr},
                    WriteCase{"OwnRegularFile", WriteTarget::OwnFile, regular, true, nullptr},
                    WriteCase{"Folder", WriteTarget::UserChoice, folder, false, nullptr},
                    WriteCase{"LinkChosenByTheUser", WriteTarget::UserChoice, linkToOther, true, "new bytes"},
                    WriteCase{"LinkInPlaceOfAnOwnFile", WriteTarget::OwnFile, linkToOther, false, "other"},
                    WriteCase{"DanglingLink", WriteTarget::UserChoice, danglingLink, false, nullptr},
                    WriteCase{"FifoWithoutReader", WriteTarget::UserChoice, fifoWithoutReader, false, nullptr},
                    WriteCase{"FifoInPlaceOfAnOwnFile", WriteTarget::OwnFile, fifoWithoutReader, false, nullptr},
                    WriteCase{"Device", WriteTarget::UserChoice, nullDevice, true, nullptr},
                    WriteCase{"DeviceInPlaceOfAnOwnFile", WriteTarget::OwnFile, nullDevice, false, nullptr}),
    [](const testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

TEST(SafeWriter, FifoWithAReaderGetsTheBytes) {
    QTemporaryDir dir;
    const QString path = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(Native(path).constData(), 0600), 0);
    QByteArray received;
    std::thread reader([&] {
        QFile in(path);
        if (in.open(QIODevice::ReadOnly))
            received = in.readAll();
    });
    // The writer's open fails while the reader is not there yet; try until it is.
    bool written = false;
    for (int attempt = 0; attempt < 500 && !written; ++attempt) {
        try {
            WriteFileAtomically(path, "streamed");
            written = true;
        } catch (const FileWriteError&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    reader.join();
    ASSERT_TRUE(written);
    EXPECT_EQ(received, "streamed");
    struct stat st {};
    ASSERT_EQ(::lstat(Native(path).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(SafeWriter, ReplacementKeepsThePermissions) {
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.ini");
    fixtures::WriteBytes(path, "old");
    ASSERT_EQ(::chmod(Native(path).constData(), 0640), 0);
    WriteFileAtomically(path, "new", WriteTarget::OwnFile);
    struct stat st {};
    ASSERT_EQ(::stat(Native(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(fixtures::ReadBytes(path), "new");
}

// A writable settings file in a folder that takes no new files: the temporary file cannot be made there, so
// the file is rewritten in place instead of the save failing at every close.
TEST(SafeWriter, WritableFileInAFolderThatRefusesNewFilesIsWrittenInPlace) {
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(Native(dir.path()).constData(), 0755), 0);
    const QString folder = dir.filePath("locked/");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString path = SettingsFilePath(folder);
    fixtures::WriteBytes(path, "[Main]\r\nMinPicWidth=100\r\nMinPicHeight=100\r\nOther=kept\r\n");
    ASSERT_EQ(::chmod(Native(path).constData(), 0666), 0);
    ASSERT_EQ(::chmod(Native(folder).constData(), 0555), 0);
    const bool saved = fixtures::RunWithoutPrivileges([&] {
        TSettings settings;
        LoadSettings(settings, folder);
        settings.MinPicWidth = 321;
        try {
            SaveSettings(settings, folder);
        } catch (const SettingsWriteError&) {
            return false;
        }
        TSettings again;
        LoadSettings(again, folder);
        return again.MinPicWidth == 321;
    });
    ::chmod(Native(folder).constData(), 0755);
    EXPECT_TRUE(saved);
    EXPECT_TRUE(fixtures::ReadBytes(path).contains("Other=kept"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"Voralin.ini"});
}

struct ReadCase {
    const char* name;
    bool (*prepare)(const QString& path, const QString& other);
    bool read;
};

class OwnFileReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(OwnFileReadTest, ReadsOnlyARegularFileWithinItsSize) {
    QTemporaryDir dir;
    const QString path = dir.filePath("own.bin");
    if (!GetParam().prepare(path, dir.filePath("other.txt")))
        GTEST_SKIP() << "cannot make the node here";
    const std::optional<QByteArray> bytes = ReadOwnFile(path, 16);
    EXPECT_EQ(bytes.has_value(), GetParam().read);
}

bool large(const QString& p, const QString&) { fixtures::WriteBytes(p, QByteArray(17, 'x')); return true; }

INSTANTIATE_TEST_SUITE_P(Table, OwnFileReadTest,
                         testing::Values(ReadCase{"RegularFile", regular, true}, ReadCase{"Missing", nothing, false},
                                         ReadCase{"LargerThanAllowed", large, false},
                                         ReadCase{"Link", linkToOther, false}, ReadCase{"Folder", folder, false},
                                         ReadCase{"FifoWithoutWriter", fifoWithoutReader, false},
                                         ReadCase{"Device", nullDevice, false}),
                         [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

}  // namespace
