// Orientation values from the formats' own readers, and the turn of a bitmap.
#include "picture/Orientation.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageIOHandler>
#include <QImageReader>

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
