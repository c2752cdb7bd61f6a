// Decoding onto the work bitmap: decoder choice, JPEG conversion, decoding scale, stretch, colour models,
// transparency, and damaged or hostile files.
#include "DecodeBudgetFixtures.h"
#include "PictureFixtures.h"
#include "picture/DecodeBudget.h"
#include "picture/PictureLoader.h"
#include "picture/PictureProcessing.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

using fixtures::JpegModel;
using fixtures::JpegOptions;

struct Rgb {
    int R, G, B;
};

Rgb WorkPixel(const TBitmap& work, int x, int y)
{
    const uint8_t* p = work.Row(y) + 3 * x;
    return {p[2], p[1], p[0]};
}

::testing::AssertionResult Near(Rgb actual, Rgb expected, int tolerance)
{
    if (std::abs(actual.R - expected.R) <= tolerance && std::abs(actual.G - expected.G) <= tolerance
        && std::abs(actual.B - expected.B) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << actual.R << ", " << actual.G << ", " << actual.B << ") is not within "
                                         << tolerance << " of (" << expected.R << ", " << expected.G << ", "
                                         << expected.B << ")";
}

// Every work pixel near one colour.
::testing::AssertionResult AllNear(const TBitmap& work, Rgb expected, int tolerance)
{
    for (int y = 0; y < work.Height; ++y)
        for (int x = 0; x < work.Width; ++x) {
            auto result = Near(WorkPixel(work, x, y), expected, tolerance);
            if (!result)
                return result << " at (" << x << ", " << y << ")";
        }
    return ::testing::AssertionSuccess();
}

LoadResult Load(const QString& path, TBitmap& work, int32_t minWidth = 100, int32_t minHeight = 100)
{
    return LoadWorkPicture(path, work, minWidth, minHeight);
}

// ---------------------------------------------------------------------------------------------------------
// Decoding scale

struct ScaleRule {
    int Width, Height, MinWidth, MinHeight, Expected;
};

TEST(ChooseWorkScale, ComparesStrictlyAgainstTheLargerOfMinimumAndThreshold)
{
    const ScaleRule rules[] = {
        {3000, 2000, 100, 100, 8}, {1000, 1000, 100, 100, 4}, {1001, 1001, 100, 100, 8}, {1001, 1000, 100, 100, 4},
        {3000, 800, 100, 100, 4},  {10000, 400, 100, 100, 1}, {501, 501, 100, 100, 4},   {500, 501, 100, 100, 1},
        {1200, 1300, 1200, 1200, 1}, {1201, 1300, 1200, 1200, 8}, {1201, 1201, 1200, 1200, 8}, {600, 600, 600, 0, 1},
        {2000, 2000, 0, 0, 8},     {4, 100, 0, 0, 1},
    };
    for (const ScaleRule& r : rules)
        EXPECT_EQ(ChooseWorkScale(r.Height, r.Width, r.MinWidth, r.MinHeight), r.Expected)
            << r.Width << " x " << r.Height << " with minimums " << r.MinWidth << " x " << r.MinHeight;
}

struct ScaleCase {
    const char* Name;
    int Width, Height, MinWidth, MinHeight;
    int Denom, DecodedWidth, DecodedHeight;
};

class DecodeScale : public testing::TestWithParam<ScaleCase> {};

TEST_P(DecodeScale, ReportsFullSizeAndDecodesAtTheChosenScale)
{
    const ScaleCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("picture.jpg");
    fixtures::WriteJpeg(path, fixtures::MakeUniformPicture(c.Width, c.Height, QColor(90, 140, 200)));
    TBitmap work;
    const LoadResult result = Load(path, work, c.MinWidth, c.MinHeight);
    EXPECT_EQ(result.Width, c.Width);
    EXPECT_EQ(result.Height, c.Height);
    EXPECT_EQ(result.ScaleDenom, c.Denom);
    EXPECT_EQ(result.DecodedWidth, c.DecodedWidth);
    EXPECT_EQ(result.DecodedHeight, c.DecodedHeight);
    EXPECT_EQ(work.Width, 128);
    EXPECT_EQ(work.Height, 128);
    EXPECT_EQ(work.Format, PixelFormat::Bgr24);
    EXPECT_TRUE(AllNear(work, {90, 140, 200}, 3));
}

INSTANTIATE_TEST_SUITE_P(Sizes, DecodeScale,
                         testing::Values(ScaleCase{"Photo3000x2000", 3000, 2000, 100, 100, 8, 375, 250},
                                         ScaleCase{"Square1000", 1000, 1000, 100, 100, 4, 250, 250},
                                         ScaleCase{"Square1001", 1001, 1001, 100, 100, 8, 126, 126},
                                         ScaleCase{"Wide3000x800", 3000, 800, 100, 100, 4, 750, 200},
                                         ScaleCase{"Strip10000x400", 10000, 400, 100, 100, 1, 10000, 400},
                                         ScaleCase{"Minimums1200", 1200, 1300, 1200, 1200, 1, 1200, 1300},
                                         ScaleCase{"Small", 40, 30, 100, 100, 1, 40, 30}),
                         [](const auto& info) { return std::string(info.param.Name); });

// ---------------------------------------------------------------------------------------------------------
// Stretch

TEST(Stretch, SamplesTheCentreOfEachTargetPixel)
{
    EXPECT_EQ(StretchSource(0, 126), 0);
    EXPECT_EQ(StretchSource(127, 126), 125);
    EXPECT_EQ(StretchSource(63, 256), 127);
    EXPECT_EQ(StretchSource(64, 256), 129);
    EXPECT_EQ(StretchSource(127, 1), 0);
    EXPECT_EQ(StretchSource(127, 10000), 9960);
    EXPECT_EQ(StretchSource(127, 65500), 65244);
}

TEST(Stretch, SqueezesAWidePictureToTheSquareWithoutBorders)
{
    QImage image(256, 128, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            image.setPixel(x, y, qRgb(0, 0, 0));
    QTemporaryDir dir;
    const QString path = dir.filePath("wide.png");
    fixtures::WriteImage(path, image, "png");
    TBitmap work;
    const LoadResult result = Load(path, work);
    EXPECT_EQ(result.Width, 256);
    EXPECT_EQ(result.Height, 128);
    for (int y : {0, 64, 127}) {
        EXPECT_TRUE(Near(WorkPixel(work, 0, y), {0, 0, 0}, 8)) << "row " << y;
        EXPECT_TRUE(Near(WorkPixel(work, 62, y), {0, 0, 0}, 8)) << "row " << y;
        EXPECT_TRUE(Near(WorkPixel(work, 65, y), {255, 255, 255}, 8)) << "row " << y;
        EXPECT_TRUE(Near(WorkPixel(work, 127, y), {255, 255, 255}, 8)) << "row " << y;
    }
}

// ---------------------------------------------------------------------------------------------------------
// Decoder choice

enum class Content { Jpeg, Png, Tiff, Bmp, Gif };

QByteArray EncodeAs(Content content, const QImage& image)
{
    switch (content) {
    case Content::Jpeg: return fixtures::EncodeJpeg(image);
    case Content::Png: return fixtures::EncodeImage(image, "png");
    case Content::Tiff: return fixtures::EncodeImage(image, "tiff");
    case Content::Bmp: return fixtures::EncodeImage(image, "bmp");
    case Content::Gif: {
        fixtures::GifFrame frame{image.width(), image.height(),
                                 std::vector<uint8_t>(static_cast<size_t>(image.width()) * image.height(), 1), -1};
        return fixtures::MakeGif({qRgb(0, 0, 0), image.pixel(0, 0)}, {frame});
    }
    }
    return {};
}

struct ExtensionCase {
    const char* Name;
    const char* FileName;
    Content Data;
    bool Decodes;
};

class DecoderChoice : public testing::TestWithParam<ExtensionCase> {};

TEST_P(DecoderChoice, FollowsTheExtensionInAnyCase)
{
    const ExtensionCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(c.FileName);
    fixtures::WriteBytes(path, EncodeAs(c.Data, fixtures::MakeUniformPicture(160, 120, QColor(200, 60, 40))));
    TBitmap work;
    if (!c.Decodes) {
        EXPECT_THROW(Load(path, work), PictureError);
        return;
    }
    const LoadResult result = Load(path, work);
    EXPECT_EQ(result.Width, 160);
    EXPECT_EQ(result.Height, 120);
    EXPECT_TRUE(AllNear(work, {200, 60, 40}, 4));
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, DecoderChoice,
    testing::Values(ExtensionCase{"LowerJpg", "photo.jpg", Content::Jpeg, true},
                    ExtensionCase{"UpperJpeg", "photo.JPEG", Content::Jpeg, true},
                    ExtensionCase{"MixedPng", "photo.Png", Content::Png, true},
                    ExtensionCase{"UpperPng", "photo.PNG", Content::Png, true},
                    ExtensionCase{"UpperTif", "photo.TIF", Content::Tiff, true},
                    ExtensionCase{"LowerTiff", "photo.tiff", Content::Tiff, true},
                    ExtensionCase{"Bmp", "photo.bmp", Content::Bmp, true},
                    ExtensionCase{"Gif", "photo.GIF", Content::Gif, true},
                    ExtensionCase{"DotsInName", "my.photo.v2.jpg", Content::Jpeg, true},
                    ExtensionCase{"Tifx", "photo.tifx", Content::Tiff, false},
                    ExtensionCase{"NoExtension", "photo", Content::Jpeg, false},
                    ExtensionCase{"Unknown", "photo.webp", Content::Png, false},
                    ExtensionCase{"PngNamedJpg", "photo.jpg", Content::Png, false},
                    ExtensionCase{"JpegNamedPng", "photo.png", Content::Jpeg, false},
                    ExtensionCase{"PngNamedBmp", "photo.bmp", Content::Png, false},
                    ExtensionCase{"PngNamedCr2", "photo.CR2", Content::Png, false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(JpegConversion, OtherFormatsAreCompressedAtQuality90BeforeDecoding)
{
    // A BMP reaches the decoder as the JPEG a plain libjpeg compression at quality 90 makes of it, so its
    // work image equals that JPEG file's, artefacts included.
    const QImage image = fixtures::MakeNaturalPicture(300, 200, 3);
    QTemporaryDir dir;
    fixtures::WriteImage(dir.filePath("photo.bmp"), image, "bmp");
    fixtures::WriteJpeg(dir.filePath("photo.jpg"), image, 90);
    fixtures::WriteJpeg(dir.filePath("best.jpg"), image, 100);
    TBitmap fromBmp, fromJpeg, fromBest;
    Load(dir.filePath("photo.bmp"), fromBmp);
    Load(dir.filePath("photo.jpg"), fromJpeg);
    Load(dir.filePath("best.jpg"), fromBest);
    EXPECT_EQ(fromBmp.Pixels, fromJpeg.Pixels);
    EXPECT_NE(fromBmp.Pixels, fromBest.Pixels);
}

// ---------------------------------------------------------------------------------------------------------
// Colour models and transparency

struct ModelCase {
    const char* Name;
    JpegOptions Options;
    Rgb Colour;
    Rgb Expected;
    int Tolerance;
};

class JpegColourModels : public testing::TestWithParam<ModelCase> {};

TEST_P(JpegColourModels, DecodeToRgb)
{
    const ModelCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("model.jpg");
    fixtures::WriteJpeg(path, fixtures::MakeUniformPicture(200, 150, QColor(c.Colour.R, c.Colour.G, c.Colour.B)),
                        c.Options);
    TBitmap work;
    const LoadResult result = Load(path, work);
    EXPECT_EQ(result.Width, 200);
    EXPECT_EQ(result.Height, 150);
    EXPECT_TRUE(AllNear(work, c.Expected, c.Tolerance));
}

INSTANTIATE_TEST_SUITE_P(
    Models, JpegColourModels,
    testing::Values(ModelCase{"Colour", {90, JpegModel::Rgb, false}, {200, 60, 40}, {200, 60, 40}, 3},
                    ModelCase{"ColourProgressive", {90, JpegModel::Rgb, true}, {200, 60, 40}, {200, 60, 40}, 3},
                    // 236 grey levels with ordered dithering: within about one step of the level.
                    ModelCase{"Greyscale", {90, JpegModel::Grey, false}, {128, 128, 128}, {128, 128, 128}, 3},
                    ModelCase{"GreyscaleProgressive", {90, JpegModel::Grey, true}, {77, 77, 77}, {77, 77, 77}, 3},
                    ModelCase{"AdobeCmyk", {95, JpegModel::Cmyk, false}, {200, 60, 40}, {200, 60, 40}, 3},
                    ModelCase{"AdobeYcck", {95, JpegModel::Ycck, false}, {30, 160, 220}, {30, 160, 220}, 3}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Greyscale, EveryPixelIsNeutral)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("grey.jpg");
    fixtures::WriteJpeg(path, fixtures::MakeNaturalPicture(300, 300, 8), {90, JpegModel::Grey, false});
    TBitmap work;
    Load(path, work);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const Rgb p = WorkPixel(work, x, y);
            ASSERT_TRUE(p.R == p.G && p.G == p.B) << "at (" << x << ", " << y << ")";
        }
}

TEST(Transparency, IsComposedOverBlack)
{
    QImage image(128, 128, QImage::Format_ARGB32);
    image.fill(qRgba(255, 255, 255, 0));  // fully transparent white: black
    for (int y = 64; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            image.setPixel(x, y, qRgba(255, 0, 0, 128));  // half-transparent red: dark red
    QTemporaryDir dir;
    const QString path = dir.filePath("alpha.png");
    fixtures::WriteImage(path, image, "png");
    TBitmap work;
    Load(path, work);
    EXPECT_TRUE(Near(WorkPixel(work, 64, 20), {0, 0, 0}, 4));
    EXPECT_TRUE(Near(WorkPixel(work, 64, 110), {128, 0, 0}, 6));
}

TEST(Gif, TakesTheFirstFrameWithTransparencyOverBlack)
{
    fixtures::GifFrame first{20, 20, std::vector<uint8_t>(400, 1), 3};
    for (int i = 200; i < 400; ++i)
        first.Indices[i] = 3;  // bottom half transparent
    fixtures::GifFrame second{20, 20, std::vector<uint8_t>(400, 2), -1};
    const QByteArray gif = fixtures::MakeGif({qRgb(0, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200), qRgb(255, 255, 255)},
                                             {first, second}, 3);
    QTemporaryDir dir;
    const QString path = dir.filePath("anim.gif");
    fixtures::WriteBytes(path, gif);
    TBitmap work;
    const LoadResult result = Load(path, work, 0, 0);
    EXPECT_EQ(result.Width, 20);
    EXPECT_TRUE(Near(WorkPixel(work, 64, 10), {0, 200, 0}, 6));
    EXPECT_TRUE(Near(WorkPixel(work, 64, 120), {0, 0, 0}, 6));
}

// ---------------------------------------------------------------------------------------------------------
// Raw files

struct RawCase {
    const char* Name;
    int Orientation;
};

class RawFiles : public testing::TestWithParam<RawCase> {};

// The raw decoder develops the file (so colours change), but the layout is kept as stored: an
// orientation tag never turns the picture.
TEST_P(RawFiles, DevelopThroughLibRawWithoutRotation)
{
    QImage image = fixtures::MakeUniformPicture(160, 120, QColor(40, 40, 40));
    for (int y = 0; y < 120; ++y)
        for (int x = 80; x < 160; ++x)
            image.setPixel(x, y, qRgb(220, 220, 220));
    QTemporaryDir dir;
    const QString path = dir.filePath("photo.CR2");
    fixtures::WriteBytes(path, fixtures::MakeLinearDng(image, GetParam().Orientation));
    TBitmap work;
    const LoadResult result = Load(path, work, 0, 0);
    EXPECT_EQ(result.Width, 160);
    EXPECT_EQ(result.Height, 120);
    for (int y : {5, 64, 120}) {
        const Rgb left = WorkPixel(work, 20, y);
        const Rgb right = WorkPixel(work, 110, y);
        EXPECT_GT(right.G, left.G + 60) << "row " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Orientations, RawFiles,
                         testing::Values(RawCase{"AsStored", 1}, RawCase{"TaggedRotated", 6}),
                         [](const auto& info) { return std::string(info.param.Name); });

// ---------------------------------------------------------------------------------------------------------
// Damaged and hostile files: an error, never a crash

TEST(DamagedJpeg, CutOffInsideTheScanDataStillDecodes)
{
    const QByteArray jpeg = fixtures::EncodeJpeg(fixtures::MakeNaturalPicture(400, 300, 4));
    const qsizetype scan = fixtures::FindJpegMarker(jpeg, 0xDA);
    ASSERT_GT(scan, 0);
    QTemporaryDir dir;
    const QString path = dir.filePath("cut.jpg");
    fixtures::WriteBytes(path, jpeg.left(scan + (jpeg.size() - scan) / 2));
    TBitmap work;
    const LoadResult result = Load(path, work);
    EXPECT_EQ(result.Width, 400);
    EXPECT_EQ(result.Height, 300);
}

struct BrokenCase {
    const char* Name;
    const char* FileName;
    QByteArray (*Make)();
};

QByteArray JpegCutInHeaders()
{
    const QByteArray jpeg = fixtures::EncodeJpeg(fixtures::MakeNaturalPicture(64, 64, 1));
    return jpeg.left(fixtures::FindJpegMarker(jpeg, 0xC0) + 4);
}
QByteArray CorruptPng()
{
    QByteArray png = fixtures::EncodeImage(fixtures::MakeNaturalPicture(64, 64, 2), "png");
    const qsizetype idat = png.indexOf("IDAT");
    for (qsizetype i = idat + 10; i < idat + 40; ++i)
        png[i] = static_cast<char>(png[i] ^ 0x5A);
    return png;
}
QByteArray Empty() { return {}; }
QByteArray Garbage() { return QByteArray(3000, '\x7F'); }
QByteArray HugePng()
{
    return fixtures::WithPngSize(fixtures::EncodeImage(fixtures::MakeNaturalPicture(16, 16, 3), "png"), 60000, 60000);
}
QByteArray HugeProgressiveJpeg()
{
    JpegOptions options;
    options.Progressive = true;
    return fixtures::WithJpegFrameSize(fixtures::EncodeJpeg(fixtures::MakeNaturalPicture(16, 16, 3), options), 60000,
                                       60000);
}
QByteArray TooWideForJpegPng()
{
    return fixtures::EncodeImage(fixtures::MakeUniformPicture(66000, 1, Qt::gray), "png");
}

class BrokenFiles : public testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenFiles, EndInAnError)
{
    const BrokenCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(c.FileName);
    fixtures::WriteBytes(path, c.Make());
    TBitmap work;
    EXPECT_THROW(Load(path, work), PictureError);
    EXPECT_THROW(LoadPreviewPicture(path, 1), PictureError);
}

INSTANTIATE_TEST_SUITE_P(Files, BrokenFiles,
                         testing::Values(BrokenCase{"JpegCutInHeaders", "cut.jpg", JpegCutInHeaders},
                                         BrokenCase{"CorruptPng", "corrupt.png", CorruptPng},
                                         BrokenCase{"EmptyJpeg", "empty.jpg", Empty},
                                         BrokenCase{"EmptyPng", "empty.png", Empty},
                                         BrokenCase{"EmptyGif", "empty.gif", Empty},
                                         BrokenCase{"EmptyBmp", "empty.bmp", Empty},
                                         BrokenCase{"EmptyTiff", "empty.tif", Empty},
                                         BrokenCase{"EmptyCr2", "empty.cr2", Empty},
                                         BrokenCase{"GarbageCr2", "garbage.CR2", Garbage},
                                         BrokenCase{"GarbageJpeg", "garbage.jpg", Garbage},
                                         BrokenCase{"HugePngHeader", "huge.png", HugePng},
                                         BrokenCase{"HugeProgressiveJpegHeader", "huge.jpg", HugeProgressiveJpeg},
                                         BrokenCase{"TooWideForTheJpegEncoder", "wide.png", TooWideForJpegPng}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(MissingFile, EndsInAnError)
{
    QTemporaryDir dir;
    TBitmap work;
    EXPECT_THROW(Load(dir.filePath("missing.jpg"), work), PictureError);
    EXPECT_THROW(Load(dir.filePath("missing.png"), work), PictureError);
}

// Qt's own default allocation limit (128 MB) would refuse this ordinary picture.
TEST(LargePicture, A6000x6000PngDecodes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("large.png");
    fixtures::WriteImage(path, fixtures::MakeUniformPicture(6000, 6000, QColor(10, 120, 230)), "png");
    TBitmap work;
    const LoadResult result = Load(path, work);
    EXPECT_EQ(result.Width, 6000);
    EXPECT_EQ(result.Height, 6000);
    EXPECT_EQ(result.ScaleDenom, 8);
    EXPECT_EQ(result.DecodedWidth, 750);
    EXPECT_TRUE(AllNear(work, {10, 120, 230}, 4));
}

// ---------------------------------------------------------------------------------------------------------
// Previews and the whole chain

TEST(Preview, DecodesAtTheRequestedScale)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("preview.png");
    fixtures::WriteImage(path, fixtures::MakeUniformPicture(301, 200, QColor(50, 100, 150)), "png");
    const struct {
        int Denom, Width, Height;
    } cases[] = {{1, 301, 200}, {2, 151, 100}, {4, 76, 50}, {8, 38, 25}};
    for (const auto& c : cases) {
        const TBitmap preview = LoadPreviewPicture(path, c.Denom);
        EXPECT_EQ(preview.Format, PixelFormat::Bgr24);
        EXPECT_EQ(preview.Width, c.Width) << "1/" << c.Denom;
        EXPECT_EQ(preview.Height, c.Height) << "1/" << c.Denom;
        EXPECT_TRUE(AllNear(preview, {50, 100, 150}, 3)) << "1/" << c.Denom;
    }
    EXPECT_THROW(LoadPreviewPicture(path, 3), PictureError);
}

TEST(Chain, SamePictureInTwoFormatsSharesMostOfItsSignature)
{
    const QImage image = fixtures::MakeNaturalPicture(640, 480, 21);
    QTemporaryDir dir;
    fixtures::WriteImage(dir.filePath("a.png"), image, "png");
    fixtures::WriteJpeg(dir.filePath("b.jpg"), image, 75);

    TWaveletCoefs pos[2], neg[2];
    TSignatureMatrix m{};
    const QString paths[2] = {dir.filePath("a.png"), dir.filePath("b.jpg")};
    for (int k = 0; k < 2; ++k) {
        TBitmap work;
        Load(paths[k], work);
        ApplyGreyPalette(work, 1);
        ComputeSignatureMatrix(work, m, AverageBrightness(work));
        CollectCoefficientPositions(m, pos[k], neg[k]);
    }
    // m now holds the JPEG's signs; count the PNG's positions that agree.
    int count = 0;
    for (const TWaveletPoint& p : pos[0])
        count += (p.X > 0 || p.Y > 0) && m[p.X * 128 + p.Y] > 0;
    for (const TWaveletPoint& p : neg[0])
        count += (p.X > 0 || p.Y > 0) && m[p.X * 128 + p.Y] < 0;
    EXPECT_GE(count, 200);
}

// Decoding keeps no shared state, so pictures can be decoded on several threads at once with the same
// results as one after another.
TEST(Concurrency, ParallelLoadsGiveTheSameWorkBitmaps)
{
    QTemporaryDir dir;
    std::vector<QString> paths;
    for (int k = 0; k < 6; ++k) {
        const QImage image = fixtures::MakeNaturalPicture(200 + 10 * k, 150, 40 + k);
        const char* names[] = {"a.jpg", "b.png", "c.bmp", "d.tif", "e.CR2", "f.jpg"};
        const QString path = dir.filePath(names[k]);
        switch (k) {
        case 1: fixtures::WriteImage(path, image, "png"); break;
        case 2: fixtures::WriteImage(path, image, "bmp"); break;
        case 3: fixtures::WriteImage(path, image, "tiff"); break;
        case 4: fixtures::WriteBytes(path, fixtures::MakeLinearDng(image)); break;
        case 5: fixtures::WriteJpeg(path, image, {80, JpegModel::Grey, true}); break;
        default: fixtures::WriteJpeg(path, image, 85); break;
        }
        paths.push_back(path);
    }
    std::vector<std::vector<uint8_t>> expected;
    for (const QString& path : paths) {
        TBitmap work;
        Load(path, work);
        expected.push_back(work.Pixels);
    }

    constexpr int kThreads = 4;
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            TBitmap work;
            for (int round = 0; round < 3; ++round)
                for (size_t k = 0; k < paths.size(); ++k) {
                    const size_t index = (k + static_cast<size_t>(t)) % paths.size();
                    try {
                        Load(paths[index], work);
                        mismatches[t] += work.Pixels != expected[index];
                    } catch (const PictureError&) {
                        ++mismatches[t];
                    }
                }
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace

// A cut-off file read through Qt's readers: what it lacks is zero bits, never what the memory held from the
// picture before, so the same file always gives the same work bitmap. A reader may also refuse the file.
struct CutOffCase {
    const char* name;
    const char* format;
    const char* extension;
};

class CutOffPictureTest : public ::testing::TestWithParam<CutOffCase> {};

TEST_P(CutOffPictureTest, MissingPartIsZeroAndTheSameEveryTime)
{
    QTemporaryDir dir;
    const QString bright = dir.filePath(QStringLiteral("bright.") + GetParam().extension);
    const QString cut = dir.filePath(QStringLiteral("cut.") + GetParam().extension);
    // One size for both, so a reader that reuses memory would hand the bright rows on.
    QImage white(300, 300, QImage::Format_RGB32);
    white.fill(Qt::white);
    fixtures::WriteImage(bright, white, GetParam().format);
    const QByteArray whole = fixtures::EncodeImage(fixtures::MakeNaturalPicture(300, 300, 3), GetParam().format);
    fixtures::WriteBytes(cut, whole.left(whole.size() / 2));

    std::vector<std::vector<uint8_t>> results;
    for (int round = 0; round < 3; ++round) {
        TBitmap work;
        LoadWorkPicture(bright, work, 100, 100);
        try {
            LoadWorkPicture(cut, work, 100, 100);
        } catch (const PictureError&) {
            results.emplace_back();
            continue;
        }
        std::vector<uint8_t> pixels;
        for (int y = 0; y < work.Height; ++y)
            pixels.insert(pixels.end(), work.Row(y), work.Row(y) + 3 * work.Width);
        results.push_back(std::move(pixels));
        if (std::string_view(GetParam().format) == "bmp") {
            // Rows are stored bottom up: the missing ones are the top, black.
            EXPECT_TRUE(Near(WorkPixel(work, 64, 2), {0, 0, 0}, 8));
        }
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
}

INSTANTIATE_TEST_SUITE_P(Table, CutOffPictureTest,
                         ::testing::Values(CutOffCase{"Bmp", "bmp", "bmp"}, CutOffCase{"Png", "png", "png"},
                                           CutOffCase{"Tiff", "tiff", "tif"}),
                         [](const ::testing::TestParamInfo<CutOffCase>& info) { return std::string(info.param.name); });

// Pictures decoding at the same time share one memory budget: a claim waits while others hold the rest.
// A progressive JPEG keeps the coefficients of the whole picture while it decodes: they count against the
// shared budget too.
TEST(DecodeBudget, AProgressiveJpegWaitsForRoom)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("progressive.jpg");
    fixtures::JpegOptions options;
    options.Progressive = true;
    fixtures::WriteJpeg(path, fixtures::MakeNaturalPicture(640, 480, 9), options);
    EXPECT_TRUE(fixtures::DecodeWaitsForTheBudget(path));
}

TEST(DecodeBudget, AClaimWaitsUntilTheOthersLeaveRoom)
{
    std::optional<DecodeBudgetLease> first(std::in_place, kSharedDecodeBudget - 10);
    std::atomic<bool> granted{false};
    std::thread second([&] {
        const DecodeBudgetLease lease(kMaxDecodeBytes);
        granted = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(granted.load());
    first.reset();
    second.join();
    EXPECT_TRUE(granted.load());
    EXPECT_EQ(DecodeBudgetLease::InUse(), 0);
}


namespace {

// Sends what this process writes on standard error to a file while it lives.
class StandardErrorCapture {
public:
    explicit StandardErrorCapture(const QString& path)
        : saved_(dup(STDERR_FILENO))
    {
        std::fflush(stderr);
        const int fd = open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDERR_FILENO);
        close(fd);
    }
    ~StandardErrorCapture()
    {
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

private:
    int saved_;
};

QByteArray Flipped(QByteArray bytes, int from)
{
    for (qsizetype i = from; i < bytes.size(); i += 97)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x55);
    return bytes;
}

}  // namespace

// Damaged PNG and TIFF files are passed over as undecodable without the libraries' own texts on standard
// error, where they would bury the progress and the summary.
TEST(DamagedFiles, LeaveStandardErrorQuiet)
{
    QTemporaryDir dir;
    const QImage picture = fixtures::MakeNaturalPicture(300, 300, 5);
    QStringList paths;
    for (const char* format : {"png", "tiff"}) {
        const QByteArray whole = fixtures::EncodeImage(picture, format);
        const QString stem = dir.filePath(QString::fromLatin1(format));
        fixtures::WriteBytes(stem + "-cut." + format, whole.left(whole.size() / 2));
        fixtures::WriteBytes(stem + "-flipped." + format, Flipped(whole, 40));
        fixtures::WriteBytes(stem + "-header." + format, Flipped(whole.left(200), 8) + whole.mid(200));
        paths << stem + "-cut." + format << stem + "-flipped." + format << stem + "-header." + format;
    }
    const QString log = dir.filePath("stderr.txt");
    int failures = 0;
    {
        const StandardErrorCapture capture(log);
        for (const QString& path : paths) {
            TBitmap work;
            try {
                LoadWorkPicture(path, work, 100, 100);
            } catch (const PictureError&) {
                ++failures;
            }
        }
    }
    EXPECT_GT(failures, 0);
    const QByteArray written = fixtures::ReadBytes(log);
    EXPECT_TRUE(written.isEmpty()) << written.toStdString();
}
