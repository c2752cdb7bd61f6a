// LibRaw behind one function: open, check the sizes, unpack, develop, compress.
#include "picture/RawDecoder.h"

#include "picture/DecodeBudget.h"
#include "picture/DecodeLimits.h"
#include "picture/JpegCodec.h"
#include "picture/PictureError.h"
#include "platform/RegularFile.h"

#include <QFile>
#include <libraw/libraw.h>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>

namespace {

[[noreturn]] void ThrowRawError(int code)
{
    throw PictureError(std::string("raw: ") + libraw_strerror(code));
}

void Check(int code)
{
    if (code != LIBRAW_SUCCESS)
        ThrowRawError(code);
}

struct ProcessedImageDeleter {
    void operator()(libraw_processed_image_t* image) const { LibRaw::dcraw_clear_mem(image); }
};

// LibRaw's object is several hundred kilobytes: too big for a thread's stack.
// What LibRaw holds while it develops: the sensor data, and the picture at 16 bits in four channels.
int64_t RawBytes(const libraw_image_sizes_t& sizes)
{
    return int64_t{sizes.raw_width} * sizes.raw_height * int64_t{sizeof(ushort)} * 4;
}

int64_t DevelopedBytes(const libraw_image_sizes_t& sizes)
{
    return int64_t{sizes.width} * sizes.height * int64_t{sizeof(ushort)} * 4;
}

std::unique_ptr<LibRaw> OpenRaw(const QString& path)
{
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    libraw_output_params_t& params = raw->imgdata.params;
    params.use_camera_wb = 1;  // the camera's own white balance, as the photographer saw the picture
    params.user_flip = 0;      // pixels as stored: no orientation is applied to any format
    params.output_bps = 8;     // 8 bits per channel, what the JPEG conversion takes

    // LibRaw opens by name and would wait on a fifo; only a regular file is handed to it.
    if (QFile probe; !OpenRegularFile(probe, path))
        throw PictureError("raw: cannot open the file");
    const QByteArray localPath = QFile::encodeName(path);
    Check(raw->open_file(localPath.constData()));

    const libraw_image_sizes_t& sizes = raw->imgdata.sizes;
    const int64_t rawBytes = RawBytes(sizes);
    const int64_t developedBytes = DevelopedBytes(sizes);
    // The JPEG conversion holds sides up to 65500 pixels; a longer one is refused before the development.
    constexpr int kMaxJpegSide = 65500;
    if (!FitsDecodeLimit(rawBytes) || !FitsDecodeLimit(developedBytes) || sizes.width > kMaxJpegSide ||
        sizes.height > kMaxJpegSide || sizes.width == 0 || sizes.height == 0)
        throw PictureError("raw: picture too large to decode");
    return raw;
}

using DevelopedImage = std::unique_ptr<libraw_processed_image_t, ProcessedImageDeleter>;

// Holds the sensor data and the developed picture against the budget the other decoding threads share.
DevelopedImage Develop(LibRaw& raw)
{
    const DecodeBudgetLease lease(RawBytes(raw.imgdata.sizes) + DevelopedBytes(raw.imgdata.sizes));
    Check(raw.unpack());
    Check(raw.dcraw_process());
    int code = LIBRAW_SUCCESS;
    DevelopedImage image(raw.dcraw_make_mem_image(&code));
    Check(code);
    if (!image || image->type != LIBRAW_IMAGE_BITMAP || image->bits != 8 || (image->colors != 3 && image->colors != 1))
        throw PictureError("raw: unexpected developed image");
    return image;
}

// The embedded preview reduced to at least `wantWidth` x `wantHeight`, or nothing when it is smaller or of a
// kind we do not read. A damaged preview is not the picture's fault: the raw data is developed instead.
std::optional<TBitmap> PreviewAtLeast(LibRaw& raw, int wantWidth, int wantHeight)
{
    if (raw.unpack_thumb() != LIBRAW_SUCCESS)
        return std::nullopt;
    const libraw_thumbnail_t& thumb = raw.imgdata.thumbnail;
    if (thumb.twidth < wantWidth || thumb.theight < wantHeight || !thumb.thumb || thumb.tlength == 0)
        return std::nullopt;
    try {
        if (thumb.tformat == LIBRAW_THUMBNAIL_BITMAP && thumb.tcolors == 3 &&
            uint64_t{thumb.tlength} >= uint64_t{thumb.twidth} * thumb.theight * 3)
            return ReducePixels(reinterpret_cast<const uint8_t*>(thumb.thumb), thumb.twidth, thumb.theight,
                                std::ptrdiff_t{3} * thumb.twidth, SourceLayout::Rgb24, 1);
        if (thumb.tformat != LIBRAW_THUMBNAIL_JPEG)
            return std::nullopt;
        JpegDecoder decoder(reinterpret_cast<const uint8_t*>(thumb.thumb), thumb.tlength);
        const JpegHeader header = decoder.ReadHeader();
        // The coarsest libjpeg scale that still covers the wanted size.
        int denom = 8;
        while (denom > 1 && (ReducedSide(header.Width, denom) < wantWidth || ReducedSide(header.Height, denom) < wantHeight))
            denom /= 2;
        decoder.Start(denom);
        if (decoder.OutputWidth() < wantWidth || decoder.OutputHeight() < wantHeight ||
            !FitsDecodeLimit(int64_t{decoder.OutputWidth()} * decoder.OutputHeight() * 3))
            return std::nullopt;
        TBitmap preview;
        preview.Reset(decoder.OutputWidth(), decoder.OutputHeight(), PixelFormat::Bgr24);
        for (int y = 0; y < preview.Height; ++y)
            decoder.ReadBgrRow(preview.Row(y));
        return preview;
    } catch (const PictureError&) {
        return std::nullopt;
    }
}

}  // namespace

ReducedPicture RawToReduced(const QString& path, const ScaleChoice& scale)
{
    std::unique_ptr<LibRaw> raw = OpenRaw(path);
    ReducedPicture picture;
    picture.Width = raw->imgdata.sizes.width;
    picture.Height = raw->imgdata.sizes.height;
    picture.Shown = OrientationFromRawFlip(raw->imgdata.sizes.flip);
    const int s = scale(picture.Width, picture.Height);
    picture.ScaleDenom = s == 2 || s == 4 || s == 8 ? s : 1;
    const int wantWidth = ReducedSide(picture.Width, picture.ScaleDenom);
    const int wantHeight = ReducedSide(picture.Height, picture.ScaleDenom);
    if (std::optional<TBitmap> preview = PreviewAtLeast(*raw, wantWidth, wantHeight)) {
        picture.Pixels = std::move(*preview);
        return picture;
    }
    // Half size merges each 2 x 2 cell of the sensor instead of interpolating: four times less work.
    const bool half = picture.ScaleDenom >= 2;
    raw->imgdata.params.half_size = half ? 1 : 0;
    const DevelopedImage image = Develop(*raw);
    const SourceLayout layout = image->colors == 3 ? SourceLayout::Rgb24 : SourceLayout::Grey8;
    // LibRaw halves only sensors with a colour filter mosaic; what remains of the reduction follows what it gave.
    const int developedShrink = std::max(1, picture.Width / std::max(1, static_cast<int>(image->width)));
    picture.Pixels = ReducePixels(image->data, image->width, image->height,
                                  std::ptrdiff_t{image->colors} * image->width, layout,
                                  std::max(1, picture.ScaleDenom / developedShrink));
    return picture;
}

std::vector<uint8_t> RawToJpeg(const QString& path, Orientation* shown)
{
    std::unique_ptr<LibRaw> raw = OpenRaw(path);
    if (shown)
        *shown = OrientationFromRawFlip(raw->imgdata.sizes.flip);
    const DevelopedImage image = Develop(*raw);

    const PixelLayout layout = image->colors == 3 ? PixelLayout::Rgb24 : PixelLayout::Grey8;
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(image->width) * image->colors;
    return EncodeJpeg(image->data, image->width, image->height, stride, layout);
}
