// Orientation values from the formats' own readers and from EXIF blocks, and the turn of a bitmap.
#include "picture/Orientation.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageIOHandler>
#include <QImageReader>

#include <algorithm>

Orientation OrientationFromTag(int value)
{
    return value >= 1 && value <= 8 ? static_cast<Orientation>(value) : Orientation::Upright;
}

Orientation OrientationFromRawFlip(int flip)
{
    switch (flip) {
    case 3: return Orientation::HalfTurn;
    case 5: return Orientation::Anticlockwise;
    case 6: return Orientation::Clockwise;
    default: return Orientation::Upright;
    }
}

Orientation OrientationFromHeifTransforms(int anticlockwiseQuarters, int mirror)
{
    using O = Orientation;
    // Rows: quarter turns anticlockwise; columns: no mirror, top and bottom exchanged, left and right.
    static constexpr O kShown[4][3] = {
        {O::Upright, O::Flipped, O::Mirrored},
        {O::Anticlockwise, O::Transposed, O::Transversed},
        {O::HalfTurn, O::Mirrored, O::Flipped},
        {O::Clockwise, O::Transversed, O::Transposed},
    };
    const int turn = anticlockwiseQuarters >= 0 && anticlockwiseQuarters <= 3 ? anticlockwiseQuarters : 0;
    const int column = mirror == 0 || mirror == 1 ? mirror + 1 : 0;
    return kShown[turn][column];
}

namespace {

// Reads the TIFF structure's integers in its own byte order, refusing anything past its end.
class TiffReader {
public:
    TiffReader(const uint8_t* data, size_t size, bool bigEndian) : data_(data), size_(size), bigEndian_(bigEndian) {}

    bool Fits(size_t offset, size_t bytes) const { return offset <= size_ && bytes <= size_ - offset; }
    uint32_t U16(size_t offset) const { return Read(offset, 2); }
    uint32_t U32(size_t offset) const { return Read(offset, 4); }

private:
    uint32_t Read(size_t offset, int bytes) const
    {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            const uint32_t byte = data_[offset + (bigEndian_ ? i : bytes - 1 - i)];
            value = value << 8 | byte;
        }
        return value;
    }

    const uint8_t* data_;
    size_t size_;
    bool bigEndian_;
};

constexpr uint8_t kExifPrefix[] = {'E', 'x', 'i', 'f', 0, 0};  // JPEG's APP1 start, which some WebP writers copy
constexpr uint32_t kOrientationTag = 0x0112;  // TIFF's tag 274
constexpr uint32_t kTypeShort = 3;            // the one type the standard allows the tag
constexpr size_t kEntryBytes = 12;            // tag, type, count and a four-byte value or offset

}  // namespace

Orientation ExifOrientation(const uint8_t* data, size_t size)
{
    if (!data)
        return Orientation::Upright;
    if (size >= sizeof kExifPrefix && std::equal(kExifPrefix, kExifPrefix + sizeof kExifPrefix, data)) {
        data += sizeof kExifPrefix;
        size -= sizeof kExifPrefix;
    }
    if (size < 8)
        return Orientation::Upright;
    const bool bigEndian = data[0] == 'M' && data[1] == 'M';
    if (!bigEndian && !(data[0] == 'I' && data[1] == 'I'))
        return Orientation::Upright;
    const TiffReader tiff(data, size, bigEndian);
    if (tiff.U16(2) != 42)
        return Orientation::Upright;
    const size_t directory = tiff.U32(4);
    if (!tiff.Fits(directory, 2))
        return Orientation::Upright;
    const uint32_t entries = tiff.U16(directory);
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t entry = directory + 2 + i * kEntryBytes;
        if (!tiff.Fits(entry, kEntryBytes))
            return Orientation::Upright;
        if (tiff.U16(entry) != kOrientationTag)
            continue;
        // One SHORT sits at the start of the entry's value field.
        if (tiff.U16(entry + 2) != kTypeShort || tiff.U32(entry + 4) != 1)
            return Orientation::Upright;
        return OrientationFromTag(static_cast<int>(tiff.U16(entry + 8)));
    }
    return Orientation::Upright;
}

Orientation ReaderOrientation(QImageReader& reader)
{
    // Qt numbers the transformations after the EXIF values, as its JPEG reader maps them.
    switch (reader.transformation().toInt()) {
    case QImageIOHandler::TransformationMirror: return Orientation::Mirrored;
    case QImageIOHandler::TransformationRotate180: return Orientation::HalfTurn;
    case QImageIOHandler::TransformationFlip: return Orientation::Flipped;
    case QImageIOHandler::TransformationFlipAndRotate90: return Orientation::Transposed;
    case QImageIOHandler::TransformationRotate90: return Orientation::Clockwise;
    case QImageIOHandler::TransformationMirrorAndRotate90: return Orientation::Transversed;
    case QImageIOHandler::TransformationRotate270: return Orientation::Anticlockwise;
    default: return Orientation::Upright;
    }
}

Orientation JpegOrientation(const uint8_t* data, size_t size)
{
    // Qt's JPEG reader parses the EXIF block through libjpeg's marker reader, which stops at the scan.
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return Orientation::Upright;
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoDetectImageFormat(false);
    return ReaderOrientation(reader);
}

TBitmap Oriented(const TBitmap& stored, Orientation o)
{
    if (o == Orientation::Upright)
        return stored;
    const int sw = stored.Width;
    const int sh = stored.Height;
    TBitmap shown;
    shown.Reset(SwapsSides(o) ? sh : sw, SwapsSides(o) ? sw : sh, stored.Format);
    const int bpp = stored.BytesPerPixel();
    const int w = shown.Width;
    const int h = shown.Height;
    for (int y = 0; y < h; ++y) {
        uint8_t* out = shown.Row(y);
        for (int x = 0; x < w; ++x) {
            // The stored pixel shown at (x, y).
            int sx = x, sy = y;
            switch (o) {
            case Orientation::Upright: break;
            case Orientation::Mirrored: sx = w - 1 - x; break;
            case Orientation::HalfTurn: sx = w - 1 - x; sy = h - 1 - y; break;
            case Orientation::Flipped: sy = h - 1 - y; break;
            case Orientation::Transposed: sx = y; sy = x; break;
            case Orientation::Clockwise: sx = y; sy = w - 1 - x; break;
            case Orientation::Transversed: sx = h - 1 - y; sy = w - 1 - x; break;
            case Orientation::Anticlockwise: sx = h - 1 - y; sy = x; break;
            }
            const uint8_t* in = stored.Row(sy) + static_cast<size_t>(sx) * bpp;
            for (int k = 0; k < bpp; ++k)
                out[x * bpp + k] = in[k];
        }
    }
    return shown;
}
