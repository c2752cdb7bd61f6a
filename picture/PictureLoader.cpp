// Decoder choice by extension, the JPEG conversion the older types go through, scaled decoding and the
// nearest-neighbour stretch onto the work bitmap. No shared state: safe to call from several threads.
#include "picture/PictureLoader.h"

#include "picture/DecodeBudget.h"
#include "picture/DecodeLimits.h"
#include "picture/FormatDecoders.h"
#include "picture/JpegCodec.h"
#include "picture/Orientation.h"
#include "picture/QuietDecoders.h"
#include "picture/RawDecoder.h"
#include "platform/RegularFile.h"
#include "settings/PictureTypeTable.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstring>
#include <new>
#include <array>
#include <optional>
#include <utility>

namespace {

// Every picture passes through a JPEG, whose sides stop at 65500 pixels; a longer side cannot be converted,
// so it is refused from the header before a decoder builds (and converts) a picture of that size.
constexpr int kMaxJpegSide = 65500;

// The extension runs from the last dot of the file name, dot included.
const PictureType* ChooseDecoder(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return nullptr;
    return TypeForExtension(name.mid(dot));
}

// Reads into `data`, whose storage is reused: a fresh multi-megabyte block per picture costs page faults and
// zero-filling on every decoding thread, a noticeable share of decoding itself.
void ReadWholeFile(const QString& path, std::vector<uint8_t>& data)
{
    QFile file;
    if (!OpenRegularFile(file, path))
        throw PictureError("cannot open the file");
    const qint64 size = file.size();
    if (!FitsDecodeLimit(size))
        throw PictureError("file too large to decode");
    data.resize(static_cast<size_t>(size));
    if (size > 0 && file.read(reinterpret_cast<char*>(data.data()), size) != size)
        throw PictureError("cannot read the file");
}

// The first frame through Qt's decoder for the format the extension names (content of another format
// fails), flattened over black, then compressed to JPEG. `shown`, when given, receives the stated turn.
std::vector<uint8_t> QtImageToJpeg(const QString& path, const char* format, Orientation* shown)
{
    QuietDecoderMessages();
    QFile file;
    if (!OpenRegularFile(file, path))
        throw PictureError("cannot open the file");
    QImageReader reader(&file, format);
    reader.setAutoDetectImageFormat(false);
    reader.setAllocationLimit(static_cast<int>(kMaxDecodeBytes >> 20));
    const QSize declared = reader.size();
    if (declared.isValid() && (declared.width() > kMaxJpegSide || declared.height() > kMaxJpegSide ||
                               !FitsDecodeLimit(int64_t{declared.width()} * declared.height() * 4)))
        throw PictureError("picture too large to decode");
    if (shown)
        *shown = ReaderOrientation(reader);

    // The decoded picture and its 32-bit copy, held against what the other threads decode meanwhile.
    const int64_t pixels = declared.isValid() ? int64_t{declared.width()} * declared.height() : 0;
    const DecodeBudgetLease lease(pixels * 8);

    // Read into a picture of the header's size and format, zero-filled first: a cut-off file leaves its
    // missing rows as zero bits (black, or palette entry 0) instead of whatever the memory held before.
    QImage image;
    const QImage::Format pixelFormat = reader.imageFormat();
    if (declared.isValid() && pixelFormat != QImage::Format_Invalid) {
        image = QImage(declared, pixelFormat);
        if (image.isNull())
            throw PictureError("out of memory");
        image.fill(0);
    }
    if (!reader.read(&image))
        throw PictureError("cannot decode: " + reader.errorString().toStdString());
    // Premultiplying composes partly transparent pixels over black; its colour bytes are used as they are.
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied)
        image = std::move(image).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        throw PictureError("out of memory converting the picture");
    return EncodeJpeg(image.constBits(), image.width(), image.height(), image.bytesPerLine(), PixelLayout::Argb32);
}

bool SkipsJpegConversion(DecoderKind kind)
{
    return kind != DecoderKind::Jpeg && kind != DecoderKind::Qt && kind != DecoderKind::Cr2;
}

// The newer types decode straight to pixels at the reduction the scale asks for; `data` holds the file.
ReducedPicture DecodeReduced(const QString& path, DecoderKind kind, const ScaleChoice& scale, std::vector<uint8_t>& data)
{
    if (kind == DecoderKind::Raw)
        return RawToReduced(path, scale);
    ReadWholeFile(path, data);
    switch (kind) {
    case DecoderKind::Webp: return DecodeWebp(data.data(), data.size(), scale);
    case DecoderKind::Heif: return DecodeHeif(data.data(), data.size(), scale);
    case DecoderKind::Avif: return DecodeAvif(data.data(), data.size(), scale);
    case DecoderKind::Jxl: return DecodeJxl(data.data(), data.size(), scale);
    default: break;
    }
    throw PictureError("unknown picture type");
}

// Steps shared with the comparison pane's previews: decoder choice and JPEG conversion, into `jpeg`.
// `shown`, when given, receives the turn the file states; only then is it looked for.
void LoadAsJpeg(const PictureType& type, const QString& path, std::vector<uint8_t>& jpeg, Orientation* shown)
{
    switch (type.Decoder) {
    case DecoderKind::Jpeg:
        ReadWholeFile(path, jpeg);
        if (shown)
            *shown = JpegOrientation(jpeg.data(), jpeg.size());
        return;
    case DecoderKind::Qt: jpeg = QtImageToJpeg(path, type.QtFormat, shown); return;
    case DecoderKind::Cr2: jpeg = RawToJpeg(path, shown); return;
    default: break;
    }
    throw PictureError("unknown picture type");
}

// The calling thread's JPEG buffer while the guard lives, kept from picture to picture; an unusually large one
// is given back when the guard ends. A nested use gets a buffer of its own.
class ThreadJpegBuffer {
public:
    ThreadJpegBuffer() : inUse_(kept().inUse), data_(inUse_ ? own_ : kept().data) { inUse_ = true; }
    ~ThreadJpegBuffer()
    {
        if (&data_ == &own_)
            return;
        if (data_.capacity() > kKeptBufferBytes)
            std::vector<uint8_t>().swap(data_);
        inUse_ = false;
    }
    ThreadJpegBuffer(const ThreadJpegBuffer&) = delete;
    ThreadJpegBuffer& operator=(const ThreadJpegBuffer&) = delete;

    std::vector<uint8_t>& data() { return data_; }

private:
    static constexpr size_t kKeptBufferBytes = size_t{64} << 20;
    struct Kept {
        std::vector<uint8_t> data;
        bool inUse = false;
    };
    static Kept& kept()
    {
        thread_local Kept buffer;
        return buffer;
    }

    bool& inUse_;
    std::vector<uint8_t> own_;
    std::vector<uint8_t>& data_;
};

}  // namespace

int ChooseWorkScale(int32_t height, int32_t width, int32_t minPicWidth, int32_t minPicHeight)
{
    if (height > std::max(minPicHeight, 1000) && width > std::max(minPicWidth, 1000))
        return 8;
    if (height > std::max(minPicHeight, 500) && width > std::max(minPicWidth, 500))
        return 4;
    return 1;
}

namespace {

const PictureType& RequireDecoder(const QString& path)
{
    const PictureType* type = ChooseDecoder(path);
    if (!type)
        throw PictureError("unknown picture type");
    return *type;
}

// The nearest-neighbour stretch onto the work bitmap. `nextRow` gives the source rows in order, top first
// (Bgr24, `width` pixels); rows after the last one sampled are never asked for.
template <class NextRow>
void StretchOntoWork(int width, int height, NextRow nextRow, TBitmap& work)
{
    std::array<int, kWorkSize> sourceOffset{};  // of each target column's pixel in a source row
    for (int x = 0; x < kWorkSize; ++x)
        sourceOffset[x] = 3 * StretchSource(x, width);
    work.Reset(kWorkSize, kWorkSize, PixelFormat::Bgr24);
    int target = 0;
    for (int sourceRow = 0; sourceRow < height && target < kWorkSize; ++sourceRow) {
        const uint8_t* row = nextRow();
        const int first = target;
        for (; target < kWorkSize && StretchSource(target, height) == sourceRow; ++target) {
            uint8_t* out = work.Row(target);
            if (target > first) {  // a source row sampled twice gives the same target row again
                std::memcpy(out, work.Row(first), 3 * kWorkSize);
                continue;
            }
            for (int x = 0; x < kWorkSize; ++x)
                std::memcpy(out + 3 * x, row + sourceOffset[x], 3);
        }
    }
}

// The turned picture's sizes, when it is turned.
void TurnSizes(LoadResult& result, Orientation shown)
{
    if (!SwapsSides(shown))
        return;
    std::swap(result.Width, result.Height);
    std::swap(result.DecodedWidth, result.DecodedHeight);
}

LoadResult DecodeOntoWorkBitmap(const QString& path, TBitmap& work, int32_t minPicWidth, int32_t minPicHeight,
                                bool followOrientation)
{
    const PictureType& type = RequireDecoder(path);
    ThreadJpegBuffer held;
    std::vector<uint8_t>& jpeg = held.data();
    Orientation shown = Orientation::Upright;
    if (SkipsJpegConversion(type.Decoder)) {
        const ScaleChoice scale = [&](int32_t width, int32_t height) {
            return ChooseWorkScale(height, width, minPicWidth, minPicHeight);
        };
        const ReducedPicture picture = DecodeReduced(path, type.Decoder, scale, jpeg);
        LoadResult result;
        result.Height = picture.Height;
        result.Width = picture.Width;
        result.ScaleDenom = picture.ScaleDenom;
        result.DecodedWidth = picture.Pixels.Width;
        result.DecodedHeight = picture.Pixels.Height;
        int y = 0;
        StretchOntoWork(result.DecodedWidth, result.DecodedHeight, [&] { return picture.Pixels.Row(y++); }, work);
        if (followOrientation && picture.Shown != Orientation::Upright) {
            work = Oriented(work, picture.Shown);
            TurnSizes(result, picture.Shown);
        }
        return result;
    }
    LoadAsJpeg(type, path, jpeg, followOrientation ? &shown : nullptr);
    JpegDecoder decoder(jpeg.data(), jpeg.size());
    const JpegHeader header = decoder.ReadHeader();

    LoadResult result;
    result.Height = header.Height;
    result.Width = header.Width;
    // The scale follows the sides as shown, so a turned picture decodes as its upright copy does.
    const bool swapped = SwapsSides(shown);
    result.ScaleDenom = ChooseWorkScale(swapped ? header.Width : header.Height, swapped ? header.Height : header.Width,
                                        minPicWidth, minPicHeight);
    decoder.Start(result.ScaleDenom);
    result.DecodedWidth = decoder.OutputWidth();
    result.DecodedHeight = decoder.OutputHeight();

    // Only one decoded row is held at a time: the stretch takes whole rows, so each source row is copied
    // into every target row that samples it, and decoding stops after the last one needed.
    std::vector<uint8_t> row(static_cast<size_t>(result.DecodedWidth) * 3);
    StretchOntoWork(result.DecodedWidth, result.DecodedHeight, [&] {
        decoder.ReadBgrRow(row.data());
        return static_cast<const uint8_t*>(row.data());
    }, work);
    // Turning the 128 x 128 bitmap rather than the picture keeps the one-row decoding; the two differ at
    // most in which of two neighbouring pixels a side of a multiple of 256 samples.
    if (shown != Orientation::Upright) {
        work = Oriented(work, shown);
        TurnSizes(result, shown);
    }
    return result;
}

TBitmap DecodePreview(const QString& path, int scaleDenom, bool followOrientation)
{
    const PictureType& type = RequireDecoder(path);
    ThreadJpegBuffer held;
    std::vector<uint8_t>& jpeg = held.data();
    if (SkipsJpegConversion(type.Decoder)) {
        ReducedPicture picture =
            DecodeReduced(path, type.Decoder, [scaleDenom](int32_t, int32_t) { return scaleDenom; }, jpeg);
        return followOrientation ? Oriented(picture.Pixels, picture.Shown) : std::move(picture.Pixels);
    }
    Orientation shown = Orientation::Upright;
    LoadAsJpeg(type, path, jpeg, followOrientation ? &shown : nullptr);
    JpegDecoder decoder(jpeg.data(), jpeg.size());
    decoder.ReadHeader();
    decoder.Start(scaleDenom);
    const int width = decoder.OutputWidth();
    const int height = decoder.OutputHeight();
    if (!FitsDecodeLimit(int64_t{width} * height * 3))
        throw PictureError("picture too large to decode");

    TBitmap preview;
    preview.Reset(width, height, PixelFormat::Bgr24);
    for (int y = 0; y < height; ++y)
        decoder.ReadBgrRow(preview.Row(y));
    return shown == Orientation::Upright ? preview : Oriented(preview, shown);
}

}  // namespace

// Lack of memory is one more reason a picture cannot be decoded, and is reported the same way.
LoadResult LoadWorkPicture(const QString& path, TBitmap& work, int32_t minPicWidth, int32_t minPicHeight,
                           bool followOrientation)
{
    try {
        return DecodeOntoWorkBitmap(path, work, minPicWidth, minPicHeight, followOrientation);
    } catch (const std::bad_alloc&) {
        throw PictureError("out of memory");
    }
}

TBitmap LoadPreviewPicture(const QString& path, int scaleDenom, bool followOrientation)
{
    try {
        return DecodePreview(path, scaleDenom, followOrientation);
    } catch (const std::bad_alloc&) {
        throw PictureError("out of memory");
    }
}
