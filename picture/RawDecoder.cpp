// LibRaw behind one function: open, check the sizes, unpack, develop, compress.
#include "picture/RawDecoder.h"

#include "picture/DecodeLimits.h"
#include "picture/JpegCodec.h"
#include "picture/PictureLoader.h"
#include "platform/RegularFile.h"

#include <QFile>
#include <libraw/libraw.h>
#include <memory>
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

}  // namespace

std::vector<uint8_t> RawToJpeg(const QString& path)
{
    // LibRaw's object is several hundred kilobytes: too big for a thread's stack.
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
    const int64_t rawBytes = int64_t{sizes.raw_width} * sizes.raw_height * int64_t{sizeof(ushort)} * 4;
    const int64_t developedBytes = int64_t{sizes.width} * sizes.height * int64_t{sizeof(ushort)} * 4;
    // The JPEG conversion holds sides up to 65500 pixels; a longer one is refused before the development.
    constexpr int kMaxJpegSide = 65500;
    if (!FitsDecodeLimit(rawBytes) || !FitsDecodeLimit(developedBytes) || sizes.width > kMaxJpegSide ||
        sizes.height > kMaxJpegSide)
        throw PictureError("raw: picture too large to decode");

    Check(raw->unpack());
    Check(raw->dcraw_process());
    int code = LIBRAW_SUCCESS;
    std::unique_ptr<libraw_processed_image_t, ProcessedImageDeleter> image(raw->dcraw_make_mem_image(&code));
    Check(code);
    if (!image || image->type != LIBRAW_IMAGE_BITMAP || image->bits != 8 || (image->colors != 3 && image->colors != 1))
        throw PictureError("raw: unexpected developed image");

    const PixelLayout layout = image->colors == 3 ? PixelLayout::Rgb24 : PixelLayout::Grey8;
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(image->width) * image->colors;
    return EncodeJpeg(image->data, image->width, image->height, stride, layout);
}
