// Every input the fuzz targets once failed on, replayed through the same steps: picture-*.fuzz through
// decoding and signature (first byte: the format, as in fuzz/FuzzFormats.h), type-<extension>-*.fuzz as one
// file of that type, settings-*.fuzz through the
// settings file's load and save, journal-*.fuzz as the journal of file actions through the undo list. Each
// must end in a clean result or a PictureError.
#include "engine/PairMatcher.h"
#include "fuzz/FuzzFormats.h"
#include "history/ActionJournal.h"
#include "history/UndoHistory.h"
#include "settings/SettingsStore.h"

#include "PictureFixtures.h"
#include "ScopedEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cctype>
#include <memory>

namespace {

QString RegressionFolder()
{
    // From the build, not from __FILE__: a compiler cache may make that relative to the build folder.
    return QStringLiteral(VORALIN_TEST_DATA "/regressions");
}

std::vector<std::string> Inputs(const char* pattern)
{
    std::vector<std::string> names;
    for (const QString& name : QDir(RegressionFolder()).entryList({QString::fromLatin1(pattern)}, QDir::Files, QDir::Name))
        names.push_back(name.toStdString());
    return names;
}

std::string CaseName(const testing::TestParamInfo<std::string>& info)
{
    std::string name;
    for (char c : info.param.substr(0, info.param.rfind('.')))
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

QByteArray Input(const std::string& name)
{
    return fixtures::ReadBytes(QDir(RegressionFolder()).filePath(QString::fromStdString(name)));
}

class PictureRegression : public testing::TestWithParam<std::string> {};

TEST_P(PictureRegression, DecodesOrFailsCleanly)
{
    const QByteArray input = Input(GetParam());
    ASSERT_FALSE(input.isEmpty());
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(FuzzPictureName(static_cast<uint8_t>(input[0]))));
    fixtures::WriteBytes(path, input.mid(1));

    DecodingPictureSource source(100, 100);
    auto m = std::make_unique<TSignatureMatrix>();
    TWaveletCoefs pos{}, neg{};
    try {
        const LoadResult size = source.Measure(0, path);
        EXPECT_GT(size.Width, 0);
        EXPECT_GT(size.Height, 0);
        source.Sign(*m, pos, neg);
    } catch (const PictureError&) {
    }
}

INSTANTIATE_TEST_SUITE_P(Fuzz, PictureRegression, testing::ValuesIn(Inputs("picture-*.fuzz")), CaseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(PictureRegression);

// type-<extension>-*.fuzz: one whole file of a newer picture type, from that type's own fuzz target.
class TypeRegression : public testing::TestWithParam<std::string> {};

TEST_P(TypeRegression, DecodesOrFailsCleanly)
{
    const QByteArray input = Input(GetParam());
    const QString name = QString::fromStdString(GetParam());
    const QString extension = name.section(QLatin1Char('-'), 1, 1);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.") + extension);
    fixtures::WriteBytes(path, input);

    DecodingPictureSource source(100, 100);
    auto m = std::make_unique<TSignatureMatrix>();
    TWaveletCoefs pos{}, neg{};
    try {
        const LoadResult size = source.Measure(0, path);
        EXPECT_GT(size.Width, 0);
        EXPECT_GT(size.Height, 0);
        source.Sign(*m, pos, neg);
        LoadPreviewPicture(path, 2);
    } catch (const PictureError&) {
    }
}

INSTANTIATE_TEST_SUITE_P(Fuzz, TypeRegression, testing::ValuesIn(Inputs("type-*.fuzz")), CaseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(TypeRegression);

class SettingsRegression : public testing::TestWithParam<std::string> {};

TEST_P(SettingsRegression, LoadSaveLoadKeepsTheValues)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    fixtures::WriteBytes(SettingsFilePath(folder), Input(GetParam()));
    TSettings first;
    LoadSettings(first, folder);
    SaveSettings(first, folder);
    TSettings second;
    LoadSettings(second, folder);
    EXPECT_EQ(second.MinPicWidth, first.MinPicWidth);
    EXPECT_EQ(second.MinPicHeight, first.MinPicHeight);
    EXPECT_EQ(second.SearchJPG, first.SearchJPG);
    EXPECT_EQ(second.AutoCheckUpdates, first.AutoCheckUpdates);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, SettingsRegression, testing::ValuesIn(Inputs("settings-*.fuzz")), CaseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SettingsRegression);

// The journal as the history window reads it, with the trash it looks into kept in the test's folder: every
// record kept is listed. Returns how many were kept.
size_t ListJournal(const QByteArray& text)
{
    QTemporaryDir dir;
    const ScopedEnvironment data("XDG_DATA_HOME", QFile::encodeName(dir.path()));
    const QString file = dir.filePath(QStringLiteral("actions.journal"));
    fixtures::WriteBytes(file, text);
    ActionJournal journal(file);
    UndoHistory history(journal);
    size_t listed = 0;
    for (const HistoryStep& step : history.Steps())
        listed += step.Items.size();
    EXPECT_EQ(listed, journal.Records().size());
    history.LastUndoable();
    return journal.Records().size();
}

class JournalRegression : public testing::TestWithParam<std::string> {};

TEST_P(JournalRegression, IsListedWholeAndInTime)
{
    ListJournal(Input(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Fuzz, JournalRegression, testing::ValuesIn(Inputs("journal-*.fuzz")), CaseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(JournalRegression);

// A begin record with a valid check but no file: listing it looked for the file's trash entries from an
// empty path, whose parent folder never reached "/".
TEST(JournalRegressionNamed, ATrashRecordWithoutAFileIsNotKept)
{
    EXPECT_EQ(ListJournal(Input("journal-trash-of-an-empty-path.fuzz")), 0u);
}

// An id or a step at the top of its range, in a record with a valid check: the next action's id or batch's
// step ran past the range, and the action recorded after it was lost on the next reading.
class JournalTopRegression : public testing::TestWithParam<const char*> {};

TEST_P(JournalTopRegression, TheNextActionIsRecordedAndReadBack)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("actions.journal"));
    fixtures::WriteBytes(file, Input(GetParam()));
    ActionJournal journal(file);
    const int64_t step = journal.NewStep();
    for (const JournalRecord& r : journal.Records())
        EXPECT_GT(step, r.Step);
    const int64_t id = journal.Begin(step, JournalAction::Move, QStringLiteral("/p/a.jpg"), QStringLiteral("/q/a.jpg"),
                                     1, 2, QByteArray());
    ASSERT_GT(id, 0);
    for (const JournalRecord& r : journal.Records())
        EXPECT_LE(r.Id, id);
    journal.Reload();
    const JournalRecord* added = journal.Find(id);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->Step, step);
    EXPECT_EQ(added->Source, QStringLiteral("/p/a.jpg"));
}

INSTANTIATE_TEST_SUITE_P(Named, JournalTopRegression,
                         testing::Values("journal-id-at-the-top.fuzz", "journal-step-at-the-top.fuzz"),
                         [](const testing::TestParamInfo<const char*>& info) { return CaseName({info.param, 0}); });

// A HEIF overlay of a 24 x 16 picture whose canvas claims 41792 x 62762: libheif built the canvas, gigabytes,
// before any check of ours could see its size.
TEST(TypeRegressionNamed, HeifOverlayCanvasLargerThanItsPictureIsRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("overlay.heic"));
    fixtures::WriteBytes(path, Input("type-heic-overlay-canvas-larger-than-its-picture.fuzz"));
    TBitmap work;
    try {
        LoadWorkPicture(path, work, 0, 0);
        ADD_FAILURE() << "decoded";
    } catch (const PictureError& error) {
        EXPECT_NE(std::string(error.what()).find("Security limit exceeded"), std::string::npos) << error.what();
    }
}

// The regression named after the fault: a BMP 16 777 225 rows tall within the memory ceiling, which the
// decoder built and converted before the JPEG step could refuse a side over 65500.
TEST(PictureRegressionNamed, BmpTallerThanAJpegCanHoldIsRefusedFromItsHeader)
{
    const QByteArray input = Input("picture-bmp-taller-than-a-jpeg-can-hold.fuzz");
    ASSERT_EQ(static_cast<uint8_t>(input[0]) % kFuzzPictureNames.size(), 3u);  // BMP
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tall.bmp"));
    fixtures::WriteBytes(path, input.mid(1));
    TBitmap work;
    try {
        LoadWorkPicture(path, work, 0, 0);
        ADD_FAILURE() << "decoded";
    } catch (const PictureError& error) {
        EXPECT_STREQ(error.what(), "picture too large to decode");
    }
}

}  // namespace
