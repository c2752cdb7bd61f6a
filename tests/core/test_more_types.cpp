// WebP, HEIF, AVIF, JPEG XL and the camera raw family: files made here with the formats' own Debian tools,
// decoded through LoadWorkPicture, compared with a JPEG of the same picture, and broken in the usual ways.
#include "DecodeBudgetFixtures.h"
#include "FormatTools.h"
#include "PictureFixtures.h"
#include "QtPrinters.h"
#include "SignatureFixtures.h"
#include "engine/FolderScanner.h"
#include "picture/PictureLoader.h"
#include "picture/PictureProcessing.h"
#include "settings/PictureTypeTable.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

// How a format's tool turns PNG input files (several for a multi-picture file) into `output`: empty when it
// succeeded, else what failed.
using Encoder = QString (*)(const QStringList& inputs, const QString& output, bool lossless);

struct Format {
    const char* Name;
    const char* Extension;
    Encoder Encode;
    int LossyTolerance;  // per channel, for flat colours
};

// AVIF's encoder takes options of its own besides; none are wanted here.
QString EncodeAvif(const QStringList& inputs, const QString& output, bool lossless)
{
    return fixtures::EncodeAvif(inputs, output, lossless);
}

const Format kFormats[] = {
    {"Webp", "webp", fixtures::EncodeWebp, 6},
    {"Heic", "heic", fixtures::EncodeHeif, 12},
    {"Avif", "avif", EncodeAvif, 12},
    {"Jxl", "jxl", fixtures::EncodeJxl, 6},
};

class MoreTypes : public testing::TestWithParam<Format> {
protected:
    QTemporaryDir dir_;

    QString Png(const QString& name, const QImage& image)
    {
        const QString path = dir_.filePath(name + QStringLiteral(".png"));
        fixtures::WriteImage(path, image, "png");
        return path;
    }
    QString Encoded(const QString& name, const QStringList& inputs, bool lossless = false)
    {
        const QString path = dir_.filePath(name + u'.' + QLatin1String(GetParam().Extension));
        EXPECT_EQ(GetParam().Encode(inputs, path, lossless), QString());
        return path;
    }
};

struct Rgb {
    int R, G, B;
};

Rgb WorkPixel(const TBitmap& work, int x, int y)
{
    const uint8_t* p = work.Row(y) + 3 * x;
    return {p[2], p[1], p[0]};
}

::testing::AssertionResult AllNear(const TBitmap& work, Rgb expected, int tolerance)
{
    for (int y = 0; y < work.Height; ++y)
        for (int x = 0; x < work.Width; ++x) {
            const Rgb a = WorkPixel(work, x, y);
            if (std::abs(a.R - expected.R) > tolerance || std::abs(a.G - expected.G) > tolerance ||
                std::abs(a.B - expected.B) > tolerance)
                return ::testing::AssertionFailure() << "(" << a.R << ", " << a.G << ", " << a.B << ") at (" << x
                                                     << ", " << y << ")";
        }
    return ::testing::AssertionSuccess();
}

struct Signature {
    TWaveletCoefs Pos, Neg;
};

Signature SignatureOf(const QString& path, LoadResult* result = nullptr)
{
    TBitmap work;
    const LoadResult loaded = LoadWorkPicture(path, work, 100, 100);
    if (result)
        *result = loaded;
    ApplyGreyPalette(work, 1);
    TSignatureMatrix m{};
    ComputeSignatureMatrix(work, m, AverageBrightness(work));
    Signature s;
    CollectCoefficientPositions(m, s.Pos, s.Neg);
    return s;
}

struct SizeCase {
    int Width, Height, Scale;
};

// Each size decodes at the reduction the JPEG path would use, reports its full size, and keeps enough of
// the signature of a JPEG of the same picture that the two pair.
TEST_P(MoreTypes, DecodesAtTheJpegPathsScaleAndPairsWithAJpeg)
{
    for (const SizeCase& c : {SizeCase{1100, 1010, 8}, SizeCase{700, 520, 4}, SizeCase{300, 200, 1}}) {
        SCOPED_TRACE(testing::Message() << c.Width << " x " << c.Height);
        const QImage image = fixtures::MakeNaturalPicture(c.Width, c.Height, 7);
        const QString name = QStringLiteral("photo%1").arg(c.Width);
        const QString file = Encoded(name, {Png(name, image)});
        const QString jpeg = dir_.filePath(name + QStringLiteral(".jpg"));
        fixtures::WriteJpeg(jpeg, image, 90);

        LoadResult result;
        const Signature own = SignatureOf(file, &result);
        EXPECT_EQ(result.Width, c.Width);
        EXPECT_EQ(result.Height, c.Height);
        EXPECT_EQ(result.ScaleDenom, c.Scale);
        EXPECT_EQ(result.DecodedWidth, (c.Width + c.Scale - 1) / c.Scale);
        EXPECT_EQ(result.DecodedHeight, (c.Height + c.Scale - 1) / c.Scale);
        EXPECT_GE(SharedPositions(own, SignatureOf(jpeg)), 200);
        // The comparison pane's preview takes the same decoder at its own reduction.
        const TBitmap preview = LoadPreviewPicture(file, 2);
        EXPECT_EQ(preview.Width, (c.Width + 1) / 2);
        EXPECT_EQ(preview.Height, (c.Height + 1) / 2);
    }
}

TEST_P(MoreTypes, ComposesTransparencyOverBlack)
{
    QImage image(200, 150, QImage::Format_ARGB32);
    image.fill(qRgba(240, 120, 40, 128));
    const QString file = Encoded(QStringLiteral("half"), {Png(QStringLiteral("half"), image)}, true);
    TBitmap work;
    LoadWorkPicture(file, work, 100, 100);
    EXPECT_TRUE(AllNear(work, {120, 60, 20}, GetParam().LossyTolerance));
}

// An animation or a collection gives its first (primary) picture, as a GIF gives its first frame.
TEST_P(MoreTypes, TakesTheFirstPictureOfSeveral)
{
    const QString first = Png(QStringLiteral("first"), fixtures::MakeUniformPicture(160, 120, QColor(200, 40, 40)));
    const QString second = Png(QStringLiteral("second"), fixtures::MakeUniformPicture(160, 120, QColor(40, 40, 200)));
    QStringList inputs{first, second};
    if (QLatin1String(GetParam().Extension) == QLatin1String("jxl")) {
        const fixtures::GifFrame red{160, 120, std::vector<uint8_t>(160 * 120, 1), -1};
        const fixtures::GifFrame blue{160, 120, std::vector<uint8_t>(160 * 120, 2), -1};
        const QString gif = dir_.filePath(QStringLiteral("frames.gif"));
        fixtures::WriteBytes(gif, fixtures::MakeGif({qRgb(0, 0, 0), qRgb(200, 40, 40), qRgb(40, 40, 200)}, {red, blue}));
        inputs = {gif};
    }
    const QString file = Encoded(QStringLiteral("several"), inputs, true);
    TBitmap work;
    const LoadResult result = LoadWorkPicture(file, work, 100, 100);
    EXPECT_EQ(result.Width, 160);
    EXPECT_EQ(result.Height, 120);
    EXPECT_TRUE(AllNear(work, {200, 40, 40}, GetParam().LossyTolerance));
}

// Replaces the 32-bit big-endian width and height of the first "ispe" box (HEIF and AVIF).
QByteArray WithIspeSize(QByteArray bytes, uint32_t width, uint32_t height)
{
    const qsizetype at = bytes.indexOf("ispe");
    if (at < 0)
        return {};
    for (int k = 0; k < 4; ++k) {
        bytes[at + 8 + k] = static_cast<char>(width >> (24 - 8 * k));
        bytes[at + 12 + k] = static_cast<char>(height >> (24 - 8 * k));
    }
    return bytes;
}

// A simple lossy WebP keeps 14-bit sides right after the VP8 start code.
QByteArray WithVp8Size(QByteArray bytes, int width, int height)
{
    const qsizetype at = bytes.indexOf(QByteArray("\x9d\x01\x2a", 3));
    if (at < 0)
        return {};
    bytes[at + 3] = static_cast<char>(width & 0xFF);
    bytes[at + 4] = static_cast<char>((width >> 8) & 0x3F);
    bytes[at + 5] = static_cast<char>(height & 0xFF);
    bytes[at + 6] = static_cast<char>((height >> 8) & 0x3F);
    return bytes;
}

// A JPEG XL codestream header that claims 40000 x 40000 pixels with default metadata and nothing after it.
QByteArray HugeJxlHeader()
{
    QByteArray out("\xFF\x0A", 2);
    uint64_t bits = 0;
    int count = 0;
    const auto put = [&](uint64_t value, int n) {
        bits |= value << count;
        count += n;
    };
    put(0, 1);           // not a small size
    put(2, 2);           // height: 18 bits follow
    put(40000 - 1, 18);
    put(0, 3);           // no fixed ratio
    put(2, 2);           // width: 18 bits follow
    put(40000 - 1, 18);
    put(1, 1);           // all metadata at its defaults
    for (int k = 0; k < (count + 7) / 8; ++k)
        out.append(static_cast<char>((bits >> (8 * k)) & 0xFF));
    return out;
}

QByteArray Oversized(const QByteArray& valid, const char* extension)
{
    const QLatin1String ext(extension);
    if (ext == QLatin1String("webp"))
        return WithVp8Size(valid, 16383, 16383);
    if (ext == QLatin1String("jxl"))
        return HugeJxlHeader();
    return WithIspeSize(valid, 60000, 60000);
}

// Cut files and oversized headers are refused with PictureError; flipped header bytes either decode or are
// refused, but never crash, hang or take memory beyond the ceiling.
TEST_P(MoreTypes, RefusesCutAndOversizedFilesAndSurvivesFlippedBits)
{
    const QString valid =
        Encoded(QStringLiteral("valid"), {Png(QStringLiteral("valid"), fixtures::MakeNaturalPicture(320, 240, 3))});
    const QByteArray bytes = fixtures::ReadBytes(valid);
    ASSERT_GT(bytes.size(), 200);
    const QString ext = QLatin1String(GetParam().Extension);
    TBitmap work;

    const QString cut = dir_.filePath(QStringLiteral("cut.") + ext);
    fixtures::WriteBytes(cut, bytes.left(bytes.size() / 2));
    EXPECT_THROW(LoadWorkPicture(cut, work, 100, 100), PictureError);

    const QByteArray huge = Oversized(bytes, GetParam().Extension);
    ASSERT_FALSE(huge.isEmpty());
    const QString hugePath = dir_.filePath(QStringLiteral("huge.") + ext);
    fixtures::WriteBytes(hugePath, huge);
    EXPECT_THROW(LoadWorkPicture(hugePath, work, 100, 100), PictureError);
    EXPECT_THROW(LoadPreviewPicture(hugePath, 1), PictureError);

    const QString flippedPath = dir_.filePath(QStringLiteral("flipped.") + ext);
    for (int at = 0; at < 96; at += 3) {
        QByteArray flipped = bytes;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
        fixtures::WriteBytes(flippedPath, flipped);
        try {
            LoadWorkPicture(flippedPath, work, 100, 100);
            EXPECT_EQ(work.Width, 128);
        } catch (const PictureError&) {
        }
    }
}

// A decoder holds its full-size buffers against the budget every decoding thread shares: while another
// picture holds all of it, the decode waits, and goes on once it is given back.
TEST_P(MoreTypes, WaitsForTheSharedDecodeBudget)
{
    const QString path = Encoded(QStringLiteral("picture"), {Png(QStringLiteral("picture"), fixtures::MakeNaturalPicture(640, 480, 8))});
    EXPECT_TRUE(fixtures::DecodeWaitsForTheBudget(path));
}

INSTANTIATE_TEST_SUITE_P(Formats, MoreTypes, testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.Name); });

// ---------------------------------------------------------------------------------------------------------
// Camera raw family: no Debian tool writes these formats, but LibRaw reads a linear DNG whatever it is
// called, which stands in for them on the path without an embedded preview.

TEST(RawFamily, DevelopsWithoutAPreviewUnderEveryRawName)
{
    QImage image = fixtures::MakeUniformPicture(1200, 800, QColor(40, 40, 40));
    for (int y = 0; y < 800; ++y)
        for (int x = 600; x < 1200; ++x)
            image.setPixel(x, y, qRgb(220, 220, 220));
    QTemporaryDir dir;
    for (const char* name : {"photo.dng", "photo.NEF", "photo.arw", "photo.Orf"}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QLatin1String(name));
        fixtures::WriteBytes(path, fixtures::MakeLinearDng(image));
        TBitmap work;
        const LoadResult result = LoadWorkPicture(path, work, 100, 100);
        EXPECT_EQ(result.Width, 1200);
        EXPECT_EQ(result.Height, 800);
        EXPECT_EQ(result.ScaleDenom, 4);
        EXPECT_GT(WorkPixel(work, 110, 64).G, WorkPixel(work, 20, 64).G + 60);
        const TBitmap preview = LoadPreviewPicture(path, 2);
        EXPECT_EQ(preview.Width, 600);
        EXPECT_EQ(preview.Height, 400);
    }
}

TEST(RawFamily, GarbageAndEmptyFilesEndInAnError)
{
    QTemporaryDir dir;
    const QString garbage = dir.filePath(QStringLiteral("garbage.nef"));
    fixtures::WriteBytes(garbage, QByteArray(4096, '\x37'));
    const QString empty = dir.filePath(QStringLiteral("empty.CR3"));
    fixtures::WriteBytes(empty, QByteArray());
    TBitmap work;
    EXPECT_THROW(LoadWorkPicture(garbage, work, 100, 100), PictureError);
    EXPECT_THROW(LoadWorkPicture(empty, work, 100, 100), PictureError);
}

// ---------------------------------------------------------------------------------------------------------
// The type table

// Every extension a type decodes is found by one of its masks, and leads back to that type.
TEST(PictureTypeTable, MasksFindEveryDecodedExtensionAndTheDecoderChoiceAgrees)
{
    for (const PictureType& type : PictureTypes()) {
        for (const char* extension : type.Extensions) {
            const QString name = QStringLiteral("photo") + QString::fromLatin1(extension).toLower();
            SCOPED_TRACE(name.toStdString());
            EXPECT_EQ(TypeForExtension(QString::fromLatin1(extension)), &type);
            EXPECT_EQ(TypeForExtension(QString::fromLatin1(extension).toLower()), &type);
            bool found = false;
            for (const char* mask : type.Masks)
                found = found || FolderScanner::MaskMatches(QString::fromLatin1(mask), name);
            EXPECT_TRUE(found);
        }
    }
    EXPECT_EQ(TypeForExtension(QStringLiteral(".tifx")), nullptr);
}

TEST(PictureTypeTable, KeysNamesAndDefaultsAreTheSpecifiedSixThenTheNewTypes)
{
    QStringList keys, names, on;
    const TSettings defaults;
    for (const PictureType& type : PictureTypes()) {
        keys << QLatin1String(type.SettingsKey);
        names << QLatin1String(type.Name);
        if (defaults.*type.EnabledBy)
            on << QLatin1String(type.Name);
    }
    EXPECT_EQ(names.join(u','), QStringLiteral("bmp,jpg,gif,png,tiff,cr2,webp,heic,avif,jxl,raw"));
    EXPECT_EQ(keys.join(u','), QStringLiteral("SearchBMP,SearchJPG,SearchGIF,SearchPNG,SearchTIFF,SearchCR2,"
                                              "SearchWEBP,SearchHEIC,SearchAVIF,SearchJXL,SearchRAW"));
    EXPECT_EQ(on.join(u','), QStringLiteral("bmp,jpg,gif,png,webp,heic,avif,jxl"));
}

}  // namespace
