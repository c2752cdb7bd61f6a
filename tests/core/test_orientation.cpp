// Following the camera's orientation: the turn of a bitmap against Qt's own transforms, tagged JPEG, TIFF,
// raw, WebP and AVIF files against their upright copies, results untouched with the setting off, and a search
// whose cache keeps the two modes apart.
#include "FakeSearchHost.h"
#include "FormatTools.h"
#include "PictureFixtures.h"
#include "SignatureFixtures.h"
#include "PictureTree.h"
#include "QtPrinters.h"
#include "ScopedEnvironment.h"
#include "engine/PrefetchingPictureSource.h"
#include "picture/Orientation.h"
#include "picture/PictureLoader.h"
#include "picture/PictureProcessing.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTransform>

#include <algorithm>
#include <vector>

namespace {

struct TurnCase {
    const char* Name;
    Orientation Value;
    // The shown picture made from the stored one by Qt's own operations.
    QImage (*Reference)(const QImage& stored);
};

QImage Turned(const QImage& image, int degrees) { return image.transformed(QTransform().rotate(degrees)); }

const TurnCase kTurns[] = {
    {"Upright", Orientation::Upright, [](const QImage& i) { return i; }},
    {"Mirrored", Orientation::Mirrored, [](const QImage& i) { return i.mirrored(true, false); }},
    {"HalfTurn", Orientation::HalfTurn, [](const QImage& i) { return Turned(i, 180); }},
    {"Flipped", Orientation::Flipped, [](const QImage& i) { return i.mirrored(false, true); }},
    {"Transposed", Orientation::Transposed, [](const QImage& i) { return Turned(i.mirrored(true, false), 270); }},
    {"Clockwise", Orientation::Clockwise, [](const QImage& i) { return Turned(i, 90); }},
    {"Transversed", Orientation::Transversed, [](const QImage& i) { return Turned(i.mirrored(true, false), 90); }},
    {"Anticlockwise", Orientation::Anticlockwise, [](const QImage& i) { return Turned(i, 270); }},
};

TBitmap ToBitmap(const QImage& image)
{
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    TBitmap b;
    b.Reset(bgr.width(), bgr.height(), PixelFormat::Bgr24);
    for (int y = 0; y < bgr.height(); ++y)
        std::copy_n(bgr.constScanLine(y), 3 * bgr.width(), b.Row(y));
    return b;
}

class Turns : public testing::TestWithParam<TurnCase> {};

// A small picture with every pixel different, so any misplaced pixel shows.
TEST_P(Turns, OrientedMatchesQtsOwnTransform)
{
    QImage stored(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            stored.setPixel(x, y, qRgb(40 * x, 60 * y, 7 * x + 11 * y));
    const TBitmap expected = ToBitmap(GetParam().Reference(stored));
    const TBitmap shown = Oriented(ToBitmap(stored), GetParam().Value);
    EXPECT_EQ(shown.Width, expected.Width);
    EXPECT_EQ(shown.Height, expected.Height);
    EXPECT_EQ(shown.Pixels, expected.Pixels);
    EXPECT_EQ(SwapsSides(GetParam().Value), expected.Width != stored.width());
}

INSTANTIATE_TEST_SUITE_P(Values, Turns, testing::ValuesIn(kTurns),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(OrientationValues, TagsOutsideTheRangeAndUnknownFlipsReadUpright)
{
    for (int tag : {0, 9, -1, 255})
        EXPECT_EQ(OrientationFromTag(tag), Orientation::Upright) << tag;
    EXPECT_EQ(OrientationFromTag(6), Orientation::Clockwise);
    EXPECT_EQ(OrientationFromRawFlip(0), Orientation::Upright);
    EXPECT_EQ(OrientationFromRawFlip(3), Orientation::HalfTurn);
    EXPECT_EQ(OrientationFromRawFlip(5), Orientation::Anticlockwise);
    EXPECT_EQ(OrientationFromRawFlip(6), Orientation::Clockwise);
    EXPECT_EQ(OrientationFromRawFlip(7), Orientation::Upright);
}

// `jpeg` with an APP1 segment holding `payload` right after its start marker.
QByteArray WithApp1(const QByteArray& jpeg, const QByteArray& payload)
{
    QByteArray segment("\xFF\xE1", 2);
    const int length = static_cast<int>(payload.size()) + 2;
    segment.append(static_cast<char>(length >> 8)).append(static_cast<char>(length & 0xFF)).append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

// The start of a big-endian EXIF block whose first directory follows at once.
const QByteArray kExifHeader("Exif\0\0MM\0\x2A\0\0\0\x08", 14);

// A directory of one entry: the orientation tag (a SHORT) with `value`.
QByteArray OrientationDirectory(int value)
{
    QByteArray d("\0\x01\x01\x12\0\x03\0\0\0\x01\0", 11);
    d.append(static_cast<char>(value)).append(QByteArray(8, '\0'));
    return d;
}

// EXIF blocks that end early, point outside themselves or hold no orientation.
std::vector<QByteArray> DamagedExifBlocks()
{
    const QByteArray& header = kExifHeader;
    return {
        QByteArray("Exif\0\0", 6),                           // no TIFF header
        header,                                              // no directory
        header + OrientationDirectory(6).left(11),           // the entry is cut
        header + QByteArray("\xFF\xFF", 2),                  // more entries than bytes
        QByteArray("Exif\0\0MM\0\x2A\x7F\xFF\xFF\xF0", 14),  // directory far outside
        header + OrientationDirectory(9),                    // no such orientation
        header + OrientationDirectory(0),
    };
}

// All of them read as upright.
TEST(OrientationValues, DamagedExifInAJpegReadsUpright)
{
    const QByteArray plain = fixtures::EncodeJpeg(fixtures::MakeNaturalPicture(64, 48, 1));
    for (const QByteArray& payload : DamagedExifBlocks()) {
        const QByteArray jpeg = WithApp1(plain, payload);
        EXPECT_EQ(JpegOrientation(reinterpret_cast<const uint8_t*>(jpeg.constData()), jpeg.size()),
                  Orientation::Upright)
            << payload.toHex().toStdString();
    }
    const QByteArray good = WithApp1(plain, kExifHeader + OrientationDirectory(6));
    EXPECT_EQ(JpegOrientation(reinterpret_cast<const uint8_t*>(good.constData()), good.size()), Orientation::Clockwise);
    EXPECT_EQ(JpegOrientation(nullptr, 0), Orientation::Upright);
}

Orientation BlockOrientation(const QByteArray& block)
{
    return ExifOrientation(reinterpret_cast<const uint8_t*>(block.constData()), static_cast<size_t>(block.size()));
}

// A block on its own, as WebP's EXIF chunk holds it: with or without the "Exif" start, in either byte order,
// the tag found among others; damaged blocks, with or without the start, read as upright.
TEST(OrientationValues, ExifBlocksOfEitherByteOrderAndDamagedOnes)
{
    // Little-endian: a width entry (a LONG), then the orientation 8, then a date offset; the next-directory link.
    const QByteArray little("II\x2A\0\x08\0\0\0"
                            "\x03\0"
                            "\0\x01\x04\0\x01\0\0\0\x40\0\0\0"
                            "\x12\x01\x03\0\x01\0\0\0\x08\0\0\0"
                            "\x32\x01\x02\0\x14\0\0\0\0\0\0\0"
                            "\0\0\0\0",
                            8 + 2 + 36 + 4);
    EXPECT_EQ(BlockOrientation(little), Orientation::Anticlockwise);
    EXPECT_EQ(BlockOrientation(QByteArray("Exif\0\0", 6) + little), Orientation::Anticlockwise);
    EXPECT_EQ(BlockOrientation(kExifHeader + OrientationDirectory(3)), Orientation::HalfTurn);
    EXPECT_EQ(BlockOrientation(kExifHeader.mid(6) + OrientationDirectory(5)), Orientation::Transposed);

    QByteArray asLong = kExifHeader.mid(6) + OrientationDirectory(6);
    asLong[8 + 2 + 3] = 4;  // the tag as a LONG, which the standard does not allow
    QByteArray wrongMagic = little;
    wrongMagic[2] = 43;
    QByteArray noByteOrder = little;
    noByteOrder[0] = 'X';
    std::vector<QByteArray> damaged = DamagedExifBlocks();
    for (const QByteArray& block : DamagedExifBlocks())
        damaged.push_back(block.mid(6));
    damaged.insert(damaged.end(), {asLong, wrongMagic, noByteOrder, little.left(little.size() - 20), QByteArray()});
    for (const QByteArray& block : damaged)
        EXPECT_EQ(BlockOrientation(block), Orientation::Upright) << block.toHex().toStdString();
    EXPECT_EQ(ExifOrientation(nullptr, 0), Orientation::Upright);
}

// Every rotation of HEIF's irot with every imir mode, against Qt's own turn followed by its own mirror.
TEST(OrientationValues, HeifTransformsMatchTurningThenMirroring)
{
    QImage stored(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            stored.setPixel(x, y, qRgb(40 * x, 60 * y, 7 * x + 11 * y));
    for (int quarters = 0; quarters < 4; ++quarters)
        for (int mirror : {-1, 0, 1}) {
            QImage expected = Turned(stored, -90 * quarters);
            if (mirror >= 0)
                expected = expected.mirrored(mirror == 1, mirror == 0);
            const TBitmap shown = Oriented(ToBitmap(stored), OrientationFromHeifTransforms(quarters, mirror));
            EXPECT_EQ(shown.Pixels, ToBitmap(expected).Pixels) << quarters << " quarters, mirror " << mirror;
            EXPECT_EQ(shown.Width, expected.width()) << quarters << " quarters, mirror " << mirror;
        }
    // Values no file should hold are taken as no transform at all.
    EXPECT_EQ(OrientationFromHeifTransforms(4, 2), Orientation::Upright);
    EXPECT_EQ(OrientationFromHeifTransforms(-1, 1), Orientation::Mirrored);
}

// ---------------------------------------------------------------------------------------------------------
// Files with a turn stated against the same picture turned for real

struct Signed {
    LoadResult Size;
    TBitmap Work;
    TWaveletCoefs Pos{}, Neg{};
};

Signed Load(const QString& path, bool follow)
{
    Signed s;
    s.Size = LoadWorkPicture(path, s.Work, 100, 100, follow);
    TBitmap grey = s.Work;
    ApplyGreyPalette(grey, 1);
    TSignatureMatrix m{};
    ComputeSignatureMatrix(grey, m, AverageBrightness(grey));
    CollectCoefficientPositions(m, s.Pos, s.Neg);
    return s;
}

// Writes `stored` with the stated turn in the format of `extension`.
using TaggedWriter = void (*)(const QString& path, const QImage& stored, Orientation turn);

// The EXIF block is written here, byte by byte, as cameras write it: no pixel changes.
void WriteTaggedJpeg(const QString& path, const QImage& stored, Orientation turn)
{
    const QByteArray jpeg = fixtures::EncodeJpeg(stored);
    fixtures::WriteBytes(path, turn == Orientation::Upright
                                   ? jpeg
                                   : WithApp1(jpeg, kExifHeader + OrientationDirectory(static_cast<int>(turn))));
}

// ImageMagick sets the TIFF orientation tag without touching the pixels.
void WriteTaggedTiff(const QString& path, const QImage& stored, Orientation turn)
{
    static const char* const kNames[] = {"TopLeft",  "TopRight", "BottomRight", "BottomLeft",
                                         "LeftTop",  "RightTop", "RightBottom", "LeftBottom"};
    const QString png = path + QStringLiteral(".png");
    fixtures::WriteImage(png, stored, "png");
    ASSERT_EQ(QProcess::execute(QStringLiteral("convert"),
                                {png, QStringLiteral("-orient"), QLatin1String(kNames[static_cast<int>(turn) - 1]),
                                 QStringLiteral("tiff:") + path}),
              0);
}

// LibRaw reads a linear DNG under a raw name: .CR2 takes the JPEG conversion, .NEF the direct path.
void WriteTaggedDng(const QString& path, const QImage& stored, Orientation turn)
{
    fixtures::WriteBytes(path, fixtures::MakeLinearDng(stored, static_cast<int>(turn)));
}

// A lossless WebP; webpmux adds the EXIF chunk (a TIFF header, big-endian, no "Exif" start) to the same
// bitstream.
void WriteTaggedWebp(const QString& path, const QImage& stored, Orientation turn)
{
    const QString png = path + QStringLiteral(".png");
    fixtures::WriteImage(png, stored, "png");
    if (turn == Orientation::Upright) {
        ASSERT_EQ(fixtures::EncodeWebp({png}, path, true), QString());
        return;
    }
    const QString untagged = path + QStringLiteral(".untagged.webp");
    const QString exif = path + QStringLiteral(".exif");
    ASSERT_EQ(fixtures::EncodeWebp({png}, untagged, true), QString());
    fixtures::WriteBytes(exif, kExifHeader.mid(6) + OrientationDirectory(static_cast<int>(turn)));
    ASSERT_EQ(fixtures::RunTool(QStringLiteral("webpmux"), {QStringLiteral("-set"), QStringLiteral("exif"), exif,
                                                             untagged, QStringLiteral("-o"), path}),
              QString());
}

// A lossless AVIF whose irot and imir boxes state the turn, as libavif writes a camera's EXIF orientation.
void WriteTaggedAvif(const QString& path, const QImage& stored, Orientation turn)
{
    struct Boxes {
        int Quarters;  // irot: quarter turns anticlockwise, -1 for no box
        int Mirror;    // imir: 0 top and bottom exchanged, 1 left and right, -1 for no box
    };
    static constexpr Boxes kBoxes[] = {{-1, -1}, {-1, 1}, {2, -1}, {-1, 0}, {1, 0}, {3, -1}, {3, 0}, {1, -1}};
    const Boxes boxes = kBoxes[static_cast<int>(turn) - 1];
    QStringList extra;
    if (boxes.Quarters >= 0)
        extra << QStringLiteral("--irot") << QString::number(boxes.Quarters);
    if (boxes.Mirror >= 0)
        extra << QStringLiteral("--imir") << QString::number(boxes.Mirror);
    const QString png = path + QStringLiteral(".png");
    fixtures::WriteImage(png, stored, "png");
    ASSERT_EQ(fixtures::EncodeAvif({png}, path, true, extra), QString());
}

struct FileCase {
    const char* Name;
    const char* Extension;
    TaggedWriter Write;
    Orientation Turn;
    // Decoded without loss and without the JPEG conversion, the turned file signs exactly as its upright copy.
    bool SignsExactly = false;
};

const FileCase kFiles[] = {
    {"JpegClockwise", "jpg", WriteTaggedJpeg, Orientation::Clockwise},
    {"JpegAnticlockwise", "jpg", WriteTaggedJpeg, Orientation::Anticlockwise},
    {"JpegHalfTurn", "jpg", WriteTaggedJpeg, Orientation::HalfTurn},
    {"JpegTransversed", "jpg", WriteTaggedJpeg, Orientation::Transversed},
    {"TiffClockwise", "tif", WriteTaggedTiff, Orientation::Clockwise},
    {"TiffMirrored", "tif", WriteTaggedTiff, Orientation::Mirrored},
    {"Cr2Clockwise", "CR2", WriteTaggedDng, Orientation::Clockwise},
    {"NefAnticlockwise", "nef", WriteTaggedDng, Orientation::Anticlockwise},
    {"NefHalfTurn", "nef", WriteTaggedDng, Orientation::HalfTurn},
    {"WebpClockwise", "webp", WriteTaggedWebp, Orientation::Clockwise, true},
    {"WebpTransversed", "webp", WriteTaggedWebp, Orientation::Transversed, true},
    {"WebpMirrored", "webp", WriteTaggedWebp, Orientation::Mirrored, true},
    {"AvifClockwise", "avif", WriteTaggedAvif, Orientation::Clockwise, true},
    {"AvifAnticlockwise", "avif", WriteTaggedAvif, Orientation::Anticlockwise, true},
    {"AvifHalfTurn", "avif", WriteTaggedAvif, Orientation::HalfTurn, true},
    {"AvifTransposed", "avif", WriteTaggedAvif, Orientation::Transposed, true},
    {"AvifFlipped", "avif", WriteTaggedAvif, Orientation::Flipped, true},
};

class TaggedFiles : public testing::TestWithParam<FileCase> {
protected:
    QTemporaryDir dir_;
};

// Followed, the tagged file measures and signs as its upright copy does, and so does its preview; not
// followed, it loads exactly as the same pixels without a tag.
TEST_P(TaggedFiles, FollowedTheyMatchTheTurnedCopyOtherwiseTheyLoadAsStored)
{
    const FileCase& c = GetParam();
    const QImage stored = fixtures::MakeNaturalPicture(640, 400, 21);
    const TurnCase& turn = kTurns[static_cast<int>(c.Turn) - 1];
    const QString ext = QLatin1String(c.Extension);
    const QString tagged = dir_.filePath(QStringLiteral("tagged.") + ext);
    const QString plain = dir_.filePath(QStringLiteral("plain.") + ext);
    const QString upright = dir_.filePath(QStringLiteral("upright.") + ext);
    c.Write(tagged, stored, c.Turn);
    c.Write(plain, stored, Orientation::Upright);
    c.Write(upright, turn.Reference(stored), Orientation::Upright);

    const Signed asStored = Load(tagged, false);
    const Signed plainOff = Load(plain, false);
    EXPECT_EQ(asStored.Size.Width, 640);
    EXPECT_EQ(asStored.Size.Height, 400);
    EXPECT_EQ(asStored.Work.Pixels, plainOff.Work.Pixels);

    const Signed followed = Load(tagged, true);
    const Signed uprightCopy = Load(upright, true);
    EXPECT_EQ(followed.Size.Width, uprightCopy.Size.Width);
    EXPECT_EQ(followed.Size.Height, uprightCopy.Size.Height);
    EXPECT_EQ(followed.Size.ScaleDenom, uprightCopy.Size.ScaleDenom);
    EXPECT_EQ(followed.Size.DecodedWidth, uprightCopy.Size.DecodedWidth);
    EXPECT_GE(SharedPositions(followed, uprightCopy), 230);
    if (c.SignsExactly) {
        EXPECT_EQ(followed.Work.Pixels, uprightCopy.Work.Pixels);
        EXPECT_EQ(followed.Pos, uprightCopy.Pos);
        EXPECT_EQ(followed.Neg, uprightCopy.Neg);
        EXPECT_EQ(asStored.Pos, plainOff.Pos);
        EXPECT_EQ(asStored.Neg, plainOff.Neg);
    }
    EXPECT_LT(SharedPositions(asStored, uprightCopy), SharedPositions(followed, uprightCopy) - 40);
    // An untagged file is the same either way.
    EXPECT_EQ(Load(plain, true).Work.Pixels, plainOff.Work.Pixels);

    const TBitmap preview = LoadPreviewPicture(tagged, 2, true);
    const TBitmap uprightPreview = LoadPreviewPicture(upright, 2, true);
    EXPECT_EQ(preview.Width, uprightPreview.Width);
    EXPECT_EQ(preview.Height, uprightPreview.Height);
    EXPECT_EQ(LoadPreviewPicture(tagged, 2).Width, 320);
}

INSTANTIATE_TEST_SUITE_P(Formats, TaggedFiles, testing::ValuesIn(kFiles),
                         [](const auto& info) { return std::string(info.param.Name); });

// ---------------------------------------------------------------------------------------------------------
// A whole search, with the signature cache and the partner memo

// The tagged picture pairs with its upright copy only when followed; each mode keeps its own cache, so a
// search in one mode is never answered from entries the other made.
TEST(OrientationSearch, PairsOnlyWhenFollowedAndTheCacheKeepsTheModesApart)
{
    QTemporaryDir pictures, cacheHome;
    const ScopedEnvironment cacheEnv("XDG_CACHE_HOME", cacheHome.path().toLocal8Bit());
    const QString folder = pictures.path() + u'/';
    const QImage stored = fixtures::MakeNaturalPicture(600, 420, 5);
    WriteTaggedJpeg(folder + QStringLiteral("a-tagged.jpg"), stored, Orientation::Clockwise);
    fixtures::WriteJpeg(folder + QStringLiteral("b-upright.jpg"), Turned(stored, 90), 85);
    const QStringList names{QStringLiteral("a-tagged.jpg"), QStringLiteral("b-upright.jpg")};

    PictureSupplyOptions supply;
    supply.Threads = 2;
    supply.UseCache = true;
    const auto search = [&](bool follow) {
        TSettings settings;
        settings.FollowOrientation = follow;
        Catalogue cat;
        fixtures::RecordPictures(cat, folder, names);
        FakeSearchHost host;
        MatchPictures(cat, settings, host, supply);
        return fixtures::TakeSnapshot(cat);
    };
    const fixtures::MatchSnapshot off = search(false);
    const fixtures::MatchSnapshot on = search(true);
    EXPECT_EQ(off.Pairs.size(), 0u) << fixtures::DescribePairs(off.Pairs);
    ASSERT_EQ(on.Pairs.size(), 1u);
    EXPECT_EQ(off.Pictures[0].Width, 600);
    EXPECT_EQ(on.Pictures[0].Width, 420);
    EXPECT_EQ(on.Pictures[0].Height, 600);
    // Again in both modes, now from the caches: the same results each time.
    fixtures::ExpectSameMatch(off, search(false));
    fixtures::ExpectSameMatch(on, search(true));
    EXPECT_FALSE(QDir(DefaultSignatureCacheFolder() + QStringLiteral("oriented-2/")).entryList(QDir::Files).isEmpty());
}

}  // namespace
