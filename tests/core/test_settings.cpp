// Tests of the settings store: the settings folder, loading with defaults and clamping, and saving that keeps
// the rest of the file and never leaves it half written. All files live under a temporary XDG_CONFIG_HOME.
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <string>
#include <sys/resource.h>
#include <tuple>
#include <unistd.h>

namespace {

auto Fields(const TSettings& s) {
    return std::make_tuple(s.SearchJPG, s.SearchBMP, s.SearchGIF, s.SearchPNG, s.SearchTIFF, s.SearchCR2,
                           s.SearchSimilar, s.MoveToRecycle, s.DeleteWithoutAsking, s.SearchOnlyIdentical,
                           s.AutoCheckUpdates, s.ScanSubfolders, s.MinPicWidth, s.MinPicHeight, s.SearchWEBP,
                           s.SearchHEIC, s.SearchAVIF, s.SearchJXL, s.SearchRAW, s.FollowOrientation);
}

// Every field away from its default, with a negative width as a failed dialog OK can leave it.
TSettings NonDefaultSettings() {
    TSettings s;
    s.SearchJPG = false;
    s.SearchBMP = false;
    s.SearchGIF = false;
    s.SearchPNG = false;
    s.SearchTIFF = true;
    s.SearchCR2 = true;
    s.SearchSimilar = false;
    s.MoveToRecycle = false;
    s.DeleteWithoutAsking = true;
    s.SearchOnlyIdentical = true;
    s.AutoCheckUpdates = true;
    s.ScanSubfolders = false;
    s.MinPicWidth = -7;
    s.MinPicHeight = 2147483647;
    s.SearchWEBP = false;
    s.SearchHEIC = false;
    s.SearchAVIF = false;
    s.SearchJXL = false;
    s.SearchRAW = true;
    s.FollowOrientation = true;
    return s;
}

constexpr char kDefaultFile[] =
    "[Main]\r\n"
    "SearchJPG=1\r\n"
    "SearchBMP=1\r\n"
    "SearchGIF=1\r\n"
    "SearchPNG=1\r\n"
    "SearchTIFF=0\r\n"
    "SearchCR2=0\r\n"
    "SearchSimilar=1\r\n"
    "MoveToRecycle=1\r\n"
    "DeleteWithoutAsking=0\r\n"
    "SearchOnlyIdentical=0\r\n"
    "AutoCheckUpdates=0\r\n"
    "ScanSubfolders=1\r\n"
    "MinPicWidth=100\r\n"
    "MinPicHeight=100\r\n"
    // The newer picture types follow the specified fourteen keys.
    "SearchWEBP=1\r\n"
    "SearchHEIC=1\r\n"
    "SearchAVIF=1\r\n"
    "SearchJXL=1\r\n"
    "SearchRAW=0\r\n"
    // Then the setting that turns pictures as their files say.
    "FollowOrientation=0\r\n";

class SettingsStoreTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        hadConfigHome_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        oldConfigHome_ = qgetenv("XDG_CONFIG_HOME");
        configHome_ = temp_.path() + "/config";
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome_));
        folder_ = DetermineSettingsFolder();
        ASSERT_EQ(folder_, configHome_ + "/Voralin/");
    }

    void TearDown() override {
        if (hadConfigHome_) qputenv("XDG_CONFIG_HOME", oldConfigHome_);
        else qunsetenv("XDG_CONFIG_HOME");
    }

    QString FilePath() const { return SettingsFilePath(folder_); }

    void WriteIni(const QByteArray& bytes) const {
        QFile f(FilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    QByteArray ReadIni() const {
        QFile f(FilePath());
        if (!f.open(QIODevice::ReadOnly)) return "<unreadable>";
        return f.readAll();
    }

    TSettings Load() const {
        TSettings s = NonDefaultSettings();  // so that every field must be filled
        LoadSettings(s, folder_);
        return s;
    }

    QTemporaryDir temp_;
    QString configHome_;
    QString folder_;
    bool hadConfigHome_ = false;
    QByteArray oldConfigHome_;
};

// Runs the save and returns the message of the SettingsWriteError it throws ("" when it does not throw).
std::string SaveErrorMessage(const TSettings& settings, const QString& folder) {
    try {
        SaveSettings(settings, folder);
    } catch (const SettingsWriteError& e) {
        return e.what();
    }
    return {};
}

std::string ExpectedWriteMessage(const QString& folder) {
    return "Unable to write to " + SettingsFilePath(folder).toStdString();
}

TEST_F(SettingsStoreTest, FolderIsCreatedUnderConfigHome) {
    EXPECT_TRUE(QFileInfo(folder_).isDir());
    EXPECT_EQ(DetermineSettingsFolder(), folder_);  // the second start finds it
}

TEST_F(SettingsStoreTest, MissingFileGivesDefaults) {
    EXPECT_EQ(Fields(Load()), Fields(TSettings{}));
    EXPECT_FALSE(QFileInfo::exists(FilePath()));
}

TEST_F(SettingsStoreTest, FirstSaveCreatesMainSectionWithKeysInOrder) {
    TSettings s = Load();
    SaveSettings(s, folder_);
    EXPECT_EQ(ReadIni(), QByteArray(kDefaultFile));
}

TEST_F(SettingsStoreTest, SaveWritesFlagsAsDigitsAndSizesWithSign) {
    SaveSettings(NonDefaultSettings(), folder_);
    EXPECT_EQ(ReadIni(), QByteArray("[Main]\r\n"
                                    "SearchJPG=0\r\n"
                                    "SearchBMP=0\r\n"
                                    "SearchGIF=0\r\n"
                                    "SearchPNG=0\r\n"
                                    "SearchTIFF=1\r\n"
                                    "SearchCR2=1\r\n"
                                    "SearchSimilar=0\r\n"
                                    "MoveToRecycle=0\r\n"
                                    "DeleteWithoutAsking=1\r\n"
                                    "SearchOnlyIdentical=1\r\n"
                                    "AutoCheckUpdates=1\r\n"
                                    "ScanSubfolders=0\r\n"
                                    "MinPicWidth=-7\r\n"
                                    "MinPicHeight=2147483647\r\n"
                                    "SearchWEBP=0\r\n"
                                    "SearchHEIC=0\r\n"
                                    "SearchAVIF=0\r\n"
                                    "SearchJXL=0\r\n"
                                    "SearchRAW=1\r\n"
                                    "FollowOrientation=1\r\n"));
}

TEST_F(SettingsStoreTest, SavedRecordLoadsBack) {
    TSettings saved = NonDefaultSettings();
    saved.MinPicWidth = 0;  // a negative width would be clamped on the way back
    SaveSettings(saved, folder_);
    TSettings loaded;
    LoadSettings(loaded, folder_);
    EXPECT_EQ(Fields(loaded), Fields(saved));
}

struct LoadCase {
    const char* name;
    const char* file;
    void (*expect)(TSettings&);  // turns the defaults into the expected record
};

class SettingsLoadTest : public SettingsStoreTest, public testing::WithParamInterface<LoadCase> {};

TEST_P(SettingsLoadTest, LoadsExpectedRecord) {
    const LoadCase& c = GetParam();
    WriteIni(QByteArray(c.file));
    TSettings expected;
    c.expect(expected);
    EXPECT_EQ(Fields(Load()), Fields(expected));
}

const LoadCase kLoadCases[] = {
    {"EmptyFile", "", [](TSettings&) {}},
    {"NoMainSection", "[Other]\r\nMinPicWidth=5\r\n", [](TSettings&) {}},
    {"NegativeWidthBecomesZero", "[Main]\r\nMinPicWidth=-5\r\n", [](TSettings& s) { s.MinPicWidth = 0; }},
    {"NegativeHeightBecomesZero", "[Main]\r\nMinPicHeight=-1\r\n", [](TSettings& s) { s.MinPicHeight = 0; }},
    {"ZeroSizesKept", "[Main]\r\nMinPicWidth=0\r\nMinPicHeight=0\r\n",
     [](TSettings& s) { s.MinPicWidth = s.MinPicHeight = 0; }},
    {"FlagTwoIsTrue", "[Main]\r\nSearchTIFF=2\r\n", [](TSettings& s) { s.SearchTIFF = true; }},
    {"FlagMinusOneIsTrue", "[Main]\r\nDeleteWithoutAsking=-1\r\n",
     [](TSettings& s) { s.DeleteWithoutAsking = true; }},
    {"FlagHexIsTrue", "[Main]\r\nAutoCheckUpdates=0x1\r\n", [](TSettings& s) { s.AutoCheckUpdates = true; }},
    {"FlagZeroIsFalse", "[Main]\r\nSearchJPG=0\r\nScanSubfolders=0\r\n",
     [](TSettings& s) { s.SearchJPG = s.ScanSubfolders = false; }},
    {"SearchSimilarZeroIsFalse", "[Main]\r\nSearchSimilar=0\r\n", [](TSettings& s) { s.SearchSimilar = false; }},
    {"FlagWordKeepsDefault", "[Main]\r\nSearchJPG=no\r\nSearchTIFF=yes\r\n", [](TSettings&) {}},
    {"FlagEmptyKeepsDefault", "[Main]\r\nSearchBMP=\r\nSearchCR2=\r\n", [](TSettings&) {}},
    {"HeightWordIsDefault", "[Main]\r\nMinPicHeight=tall\r\n", [](TSettings&) {}},
    {"HeightEmptyIsDefault", "[Main]\r\nMinPicHeight=\r\n", [](TSettings&) {}},
    {"WidthHex", "[Main]\r\nMinPicWidth=0x20\r\n", [](TSettings& s) { s.MinPicWidth = 32; }},
    {"WidthDollarHex", "[Main]\r\nMinPicWidth=$20\r\n", [](TSettings& s) { s.MinPicWidth = 32; }},
    {"HexAllOnesIsNegativeSoZero", "[Main]\r\nMinPicWidth=0xFFFFFFFF\r\n", [](TSettings& s) { s.MinPicWidth = 0; }},
    {"LargestSizeKept", "[Main]\r\nMinPicHeight=2147483647\r\n",
     [](TSettings& s) { s.MinPicHeight = 2147483647; }},
    // Out of range is invalid, so the default applies before clamping could.
    {"TooLargeIsDefault", "[Main]\r\nMinPicWidth=2147483648\r\n", [](TSettings&) {}},
    {"TooSmallIsDefault", "[Main]\r\nMinPicHeight=-2147483649\r\n", [](TSettings&) {}},
    {"HexTooLargeIsDefault", "[Main]\r\nMinPicWidth=0x100000000\r\n", [](TSettings&) {}},
    {"SectionAndKeysInOtherCase", "[MAIN]\r\nMINPICWIDTH=7\r\nsearchjpg=0\r\n",
     [](TSettings& s) {
         s.MinPicWidth = 7;
         s.SearchJPG = false;
     }},
    {"LineFeedsOnly", "[Main]\nMinPicWidth=8\nMinPicHeight=9\n",
     [](TSettings& s) {
         s.MinPicWidth = 8;
         s.MinPicHeight = 9;
     }},
    {"BlanksAndQuotesAroundValue", "  [Main]  \r\n\t MinPicWidth =  \"64\" \r\n", [](TSettings& s) { s.MinPicWidth = 64; }},
    {"InlineCommentMakesValueInvalid", "[Main]\r\nMinPicWidth=5 ; pixels\r\n", [](TSettings&) {}},
    {"KeyOfOtherSectionIgnored", "[Other]\r\nMinPicWidth=5\r\n[Main]\r\nMinPicHeight=6\r\n",
     [](TSettings& s) { s.MinPicHeight = 6; }},
    // A file of an earlier version holds only the fourteen keys: the newer types take their defaults.
    {"FourteenKeysOnly",
     "[Main]\r\nSearchJPG=1\r\nSearchBMP=1\r\nSearchGIF=1\r\nSearchPNG=1\r\nSearchTIFF=0\r\nSearchCR2=0\r\n"
     "SearchSimilar=1\r\nMoveToRecycle=1\r\nDeleteWithoutAsking=0\r\nSearchOnlyIdentical=0\r\nAutoCheckUpdates=0\r\n"
     "ScanSubfolders=1\r\nMinPicWidth=100\r\nMinPicHeight=100\r\n",
     [](TSettings&) {}},
    {"NewerTypeKeysRead", "[Main]\r\nSearchWEBP=0\r\nsearchraw=1\r\nSearchHEIC=x\r\n",
     [](TSettings& s) {
         s.SearchWEBP = false;
         s.SearchRAW = true;
     }},
    {"FollowOrientationRead", "[Main]\r\nFollowOrientation=1\r\n", [](TSettings& s) { s.FollowOrientation = true; }},
    {"FollowOrientationInvalidKeepsDefault", "[Main]\r\nFollowOrientation=yes\r\n", [](TSettings&) {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, SettingsLoadTest, testing::ValuesIn(kLoadCases),
                         [](const testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST_F(SettingsStoreTest, LongValueIsCutAtTheReadBuffer) {
    // The buffer holds 2047 characters of value; the eighth digit falls off only when the value is longer.
    WriteIni("[Main]\r\nMinPicWidth=" + QByteArray(2040, '0') + "12345678\r\nMinPicHeight=" + QByteArray(2039, '0') +
             "12345678\r\n");
    const TSettings s = Load();
    EXPECT_EQ(s.MinPicWidth, 1234567);
    EXPECT_EQ(s.MinPicHeight, 12345678);
}

TEST_F(SettingsStoreTest, LoadThenSaveNormalisesValuesWhereTheyStand) {
    WriteIni("[Main]\r\n"
             "SearchJPG=2\r\n"
             "MinPicWidth=-5\r\n"
             "SearchSimilar=0\r\n"
             "MinPicHeight=word\r\n");
    TSettings s = Load();
    EXPECT_TRUE(s.SearchJPG);
    EXPECT_EQ(s.MinPicWidth, 0);
    EXPECT_FALSE(s.SearchSimilar);
    EXPECT_EQ(s.MinPicHeight, 100);

    SaveSettings(s, folder_);
    EXPECT_EQ(ReadIni(), QByteArray("[Main]\r\n"
                                    "SearchJPG=1\r\n"
                                    "MinPicWidth=0\r\n"
                                    "SearchSimilar=0\r\n"
                                    "MinPicHeight=100\r\n"
                                    "SearchBMP=1\r\n"
                                    "SearchGIF=1\r\n"
                                    "SearchPNG=1\r\n"
                                    "SearchTIFF=0\r\n"
                                    "SearchCR2=0\r\n"
                                    "MoveToRecycle=1\r\n"
                                    "DeleteWithoutAsking=0\r\n"
                                    "SearchOnlyIdentical=0\r\n"
                                    "AutoCheckUpdates=0\r\n"
                                    "ScanSubfolders=1\r\n"
                                    "SearchWEBP=1\r\n"
                                    "SearchHEIC=1\r\n"
                                    "SearchAVIF=1\r\n"
                                    "SearchJXL=1\r\n"
                                    "SearchRAW=0\r\n"
                                    "FollowOrientation=0\r\n"));
    EXPECT_FALSE(Load().SearchSimilar);
}

TEST_F(SettingsStoreTest, SaveKeepsOtherSectionsKeysCommentsAndPositions) {
    WriteIni("; written by hand\n"
             "[Window]\n"
             "Left=10\n"
             "\n"
             "[main]\n"
             "minpicheight = 50\n"
             "Unknown=keep me\n"
             "SEARCHJPG=1\n"
             "; about sizes\n"
             "\n"
             "[Other]\n"
             "SearchJPG=0\n");
    TSettings s = Load();
    EXPECT_EQ(s.MinPicHeight, 50);
    s.SearchJPG = false;
    SaveSettings(s, folder_);
    EXPECT_EQ(ReadIni(), QByteArray("; written by hand\r\n"
                                    "[Window]\r\n"
                                    "Left=10\r\n"
                                    "\r\n"
                                    "[main]\r\n"
                                    "minpicheight = 50\r\n"  // same value: left as written
                                    "Unknown=keep me\r\n"
                                    "SEARCHJPG=0\r\n"
                                    "; about sizes\r\n"
                                    "SearchBMP=1\r\n"
                                    "SearchGIF=1\r\n"
                                    "SearchPNG=1\r\n"
                                    "SearchTIFF=0\r\n"
                                    "SearchCR2=0\r\n"
                                    "SearchSimilar=1\r\n"
                                    "MoveToRecycle=1\r\n"
                                    "DeleteWithoutAsking=0\r\n"
                                    "SearchOnlyIdentical=0\r\n"
                                    "AutoCheckUpdates=0\r\n"
                                    "ScanSubfolders=1\r\n"
                                    "MinPicWidth=100\r\n"
                                    "SearchWEBP=1\r\n"
                                    "SearchHEIC=1\r\n"
                                    "SearchAVIF=1\r\n"
                                    "SearchJXL=1\r\n"
                                    "SearchRAW=0\r\n"
                                    "FollowOrientation=0\r\n"
                                    "\r\n"
                                    "[Other]\r\n"
                                    "SearchJPG=0\r\n"));
}

TEST_F(SettingsStoreTest, SaveAppendsMainSectionAfterOtherSections) {
    WriteIni("[Other]\r\nX=1\r\n");
    SaveSettings(TSettings{}, folder_);
    EXPECT_EQ(ReadIni(), QByteArray("[Other]\r\nX=1\r\n\r\n") + kDefaultFile);
}

struct UnwritableCase {
    const char* name;
    QString (*makeFolder)(const QString& temp);  // prepares and returns a settings folder ending with "/"
};

class SettingsUnwritableTest : public SettingsStoreTest, public testing::WithParamInterface<UnwritableCase> {};

TEST_P(SettingsUnwritableTest, SaveReportsTheFullPath) {
    const QString folder = GetParam().makeFolder(temp_.path());
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_EQ(SaveErrorMessage(TSettings{}, folder), ExpectedWriteMessage(folder));
}

const UnwritableCase kUnwritableCases[] = {
    // Permissions do not stop root, so the failures come from the file system's shape.
    {"ParentIsAFile",
     [](const QString& temp) {
         QFile f(temp + "/plain-file");
         if (!f.open(QIODevice::WriteOnly)) return QString();
         return temp + "/plain-file/";
     }},
    {"FileNameIsAFolder",
     [](const QString& temp) {
         const QString folder = temp + "/holder/";
         if (!QDir().mkpath(folder + kSettingsFileName)) return QString();
         return folder;
     }},
    {"FolderMissing", [](const QString& temp) { return temp + "/missing/"; }},
};

INSTANTIATE_TEST_SUITE_P(Cases, SettingsUnwritableTest, testing::ValuesIn(kUnwritableCases),
                         [](const testing::TestParamInfo<UnwritableCase>& info) { return std::string(info.param.name); });

TEST_F(SettingsStoreTest, FailedWriteLeavesOldFileIntact) {
    const QByteArray old("[Other]\r\nKeep=1\r\n[Main]\r\nSearchJPG=0\r\n");
    WriteIni(old);

    // A file-size limit below the new content makes the write itself fail, even for root.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = std::min<rlim_t>(16, saved.rlim_max);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const std::string message = SaveErrorMessage(TSettings{}, folder_);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(message, ExpectedWriteMessage(folder_));
    EXPECT_EQ(ReadIni(), old);
    EXPECT_EQ(QDir(folder_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{kSettingsFileName});
}

TEST_F(SettingsStoreTest, ReadOnlyFolderLeavesOldFileIntact) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    const QByteArray old("[Main]\r\nSearchJPG=0\r\n");
    WriteIni(old);
    const QFileDevice::Permissions before = QFile::permissions(folder_);
    ASSERT_TRUE(QFile::setPermissions(folder_, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const std::string message = SaveErrorMessage(TSettings{}, folder_);
    QFile::setPermissions(folder_, before);

    EXPECT_EQ(message, ExpectedWriteMessage(folder_));
    EXPECT_EQ(ReadIni(), old);
}

struct FolderCase {
    const char* name;
    QString (*makeRoot)(const QString& temp);  // the configuration folder to try
};

class SettingsFolderFallbackTest : public testing::TestWithParam<FolderCase> {};

TEST_P(SettingsFolderFallbackTest, FallsBackToProgramFolder) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString program = temp.path() + "/bin";
    EXPECT_EQ(DetermineSettingsFolder(GetParam().makeRoot(temp.path()), program), program + "/");
}

const FolderCase kFolderCases[] = {
    {"UnknownRoot", [](const QString&) { return QString(); }},
    {"RelativeRoot", [](const QString&) { return QString("relative/config"); }},
    {"RootIsAFile",
     [](const QString& temp) {
         QFile(temp + "/cfg").open(QIODevice::WriteOnly);
         return temp + "/cfg";
     }},
    {"VoralinIsAFile",
     [](const QString& temp) {
         QDir().mkpath(temp + "/cfg");
         QFile(temp + "/cfg/Voralin").open(QIODevice::WriteOnly);
         return temp + "/cfg";
     }},
};

INSTANTIATE_TEST_SUITE_P(Cases, SettingsFolderFallbackTest, testing::ValuesIn(kFolderCases),
                         [](const testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

TEST(SettingsFolder, RootWithTrailingSlashGivesOneSlash) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    EXPECT_EQ(DetermineSettingsFolder(temp.path() + "/", "/unused"), temp.path() + "/Voralin/");
    EXPECT_TRUE(QFileInfo(temp.path() + "/Voralin").isDir());
}

}  // namespace
