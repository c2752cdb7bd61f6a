// The four libraries behind one shape each: read the header, check the size, decode the first picture, reduce.
#include "picture/FormatDecoders.h"

#include "picture/DecodeBudget.h"
#include "picture/DecodeLimits.h"
#include "picture/PictureError.h"
#include "picture/PixelReduction.h"

#include <avif/avif.h>
#include <jxl/decode.h>
#include <libheif/heif.h>
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// Refuses a picture whose full-size 32-bit pixels would not fit the decoding ceiling, and empty sides.
void CheckFullSize(const char* format, int64_t width, int64_t height) {
    if (width <= 0 || height <= 0)
        throw PictureError(std::string(format) + ": picture without pixels");
    if (!FitsDecodeLimit(width * height * 4))
        throw PictureError(std::string(format) + ": picture too large to decode");
}

int ChosenScale(const ScaleChoice& scale, int32_t width, int32_t height) {
    const int s = scale(width, height);
    return s == 2 || s == 4 || s == 8 ? s : 1;
}

// ---- WebP ----

struct WebpBufferFree {
    void operator()(WebPDecBuffer* b) const { WebPFreeDecBuffer(b); }
};
struct AnimDecoderDelete {
    void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};

// An animation: its first frame on the full canvas, as a viewer shows it before playing.
ReducedPicture DecodeWebpAnimation(const uint8_t* data, size_t size, const ScaleChoice& scale) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        throw PictureError("webp: library version mismatch");
    options.color_mode = MODE_bgrA;  // premultiplied: transparent parts come out black
    options.use_threads = 0;
    const WebPData webpData{data, size};
    // The demuxer reads the canvas size from the header before the decoder allocates its canvas.
    std::optional<DecodeBudgetLease> lease;
    {
        std::unique_ptr<WebPDemuxer, decltype(&WebPDemuxDelete)> demux(WebPDemux(&webpData), &WebPDemuxDelete);
        if (!demux)
            throw PictureError("webp: cannot read the animation");
        const int64_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
        const int64_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
        CheckFullSize("webp", width, height);
        // The decoder keeps the previous canvas beside the one it composes.
        lease.emplace(width * height * 4 * 2);
    }
    std::unique_ptr<WebPAnimDecoder, AnimDecoderDelete> decoder(WebPAnimDecoderNew(&webpData, &options));
    if (!decoder)
        throw PictureError("webp: cannot read the animation");
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info))
        throw PictureError("webp: cannot read the animation");
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp))
        throw PictureError("webp: cannot decode the first frame");
    ReducedPicture picture;
    picture.Width = static_cast<int32_t>(info.canvas_width);
    picture.Height = static_cast<int32_t>(info.canvas_height);
    picture.ScaleDenom = ChosenScale(scale, picture.Width, picture.Height);
    picture.Pixels = ReducePixels(canvas, picture.Width, picture.Height, std::ptrdiff_t{4} * picture.Width,
                                  SourceLayout::Bgra32Premultiplied, picture.ScaleDenom);
    return picture;
}

// What the EXIF chunk of an extended file says; a plain file has no chunks, and a damaged one reads as upright.
Orientation WebpOrientation(const uint8_t* data, size_t size) {
    const WebPData webpData{data, size};
    std::unique_ptr<WebPDemuxer, decltype(&WebPDemuxDelete)> demux(WebPDemux(&webpData), &WebPDemuxDelete);
    if (!demux || !(WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & EXIF_FLAG))
        return Orientation::Upright;
    WebPChunkIterator chunk;
    if (!WebPDemuxGetChunk(demux.get(), "EXIF", 1, &chunk))
        return Orientation::Upright;
    const Orientation shown = ExifOrientation(chunk.chunk.bytes, chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    return shown;
}

ReducedPicture DecodeWebpPicture(const uint8_t* data, size_t size, const ScaleChoice& scale) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        throw PictureError("webp: library version mismatch");
    if (WebPGetFeatures(data, size, &config.input) != VP8_STATUS_OK)
        throw PictureError("webp: not a WebP picture");
    if (config.input.has_animation)
        return DecodeWebpAnimation(data, size, scale);
    CheckFullSize("webp", config.input.width, config.input.height);

    ReducedPicture picture;
    picture.Width = config.input.width;
    picture.Height = config.input.height;
    picture.ScaleDenom = ChosenScale(scale, picture.Width, picture.Height);
    const int outWidth = ReducedSide(picture.Width, picture.ScaleDenom);
    const int outHeight = ReducedSide(picture.Height, picture.ScaleDenom);
    // libwebp scales while it decodes, averaging the covered area: the full size is never held.
    config.options.use_threads = 0;
    if (picture.ScaleDenom > 1) {
        config.options.use_scaling = 1;
        config.options.scaled_width = outWidth;
        config.options.scaled_height = outHeight;
    }
    // What it holds is the reduced picture alone.
    const DecodeBudgetLease lease(int64_t{outWidth} * outHeight * 4);
    const bool alpha = config.input.has_alpha != 0;
    std::vector<uint8_t> premultiplied;
    if (alpha) {
        premultiplied.resize(static_cast<size_t>(outWidth) * outHeight * 4);
        config.output.colorspace = MODE_bgrA;  // premultiplied, so transparency comes out over black
        config.output.u.RGBA.rgba = premultiplied.data();
        config.output.u.RGBA.stride = outWidth * 4;
        config.output.u.RGBA.size = premultiplied.size();
    } else {
        picture.Pixels.Reset(outWidth, outHeight, PixelFormat::Bgr24);
        config.output.colorspace = MODE_BGR;
        config.output.u.RGBA.rgba = picture.Pixels.Pixels.data();
        config.output.u.RGBA.stride = outWidth * 3;
        config.output.u.RGBA.size = picture.Pixels.Pixels.size();
    }
    config.output.is_external_memory = 1;
    std::unique_ptr<WebPDecBuffer, WebpBufferFree> release(&config.output);
    if (WebPDecode(data, size, &config) != VP8_STATUS_OK)
        throw PictureError("webp: cannot decode");
    if (alpha)
        picture.Pixels = ReducePixels(premultiplied.data(), outWidth, outHeight, std::ptrdiff_t{4} * outWidth,
                                      SourceLayout::Bgra32Premultiplied, 1);
    return picture;
}

}  // namespace

ReducedPicture DecodeWebp(const uint8_t* data, size_t size, const ScaleChoice& scale) {
    ReducedPicture picture = DecodeWebpPicture(data, size, scale);
    picture.Shown = WebpOrientation(data, size);
    return picture;
}

// ---- HEIF ----

namespace {

[[noreturn]] void ThrowHeif(const heif_error& error) {
    throw PictureError(std::string("heif: ") + (error.message ? error.message : "cannot decode"));
}

void CheckHeif(const heif_error& error) {
    if (error.code != heif_error_Ok)
        ThrowHeif(error);
}

struct HeifContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HeifHandleRelease {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct HeifImageRelease {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct HeifOptionsFree {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

// libheif's own ceiling on either side; our pixel ceiling is checked besides.
constexpr int kHeifMaxSide = 1 << 16;
// The largest HEVC coding block: a coded picture's sides are rounded up to whole blocks.
constexpr int kHeifCodingBlock = 64;

}  // namespace

ReducedPicture DecodeHeif(const uint8_t* data, size_t size, const ScaleChoice& scale) {
    std::unique_ptr<heif_context, HeifContextFree> context(heif_context_alloc());
    if (!context)
        throw PictureError("heif: out of memory");
    heif_context_set_maximum_image_size_limit(context.get(), kHeifMaxSide);
    CheckHeif(heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr));

    heif_image_handle* rawHandle = nullptr;
    CheckHeif(heif_context_get_primary_image_handle(context.get(), &rawHandle));
    std::unique_ptr<heif_image_handle, HeifHandleRelease> handle(rawHandle);
    // The coded size may exceed the shown one (a crop, a grid of tiles): both must fit.
    CheckFullSize("heif", heif_image_handle_get_width(handle.get()), heif_image_handle_get_height(handle.get()));
    CheckFullSize("heif", heif_image_handle_get_ispe_width(handle.get()),
                  heif_image_handle_get_ispe_height(handle.get()));
    // An overlay's canvas takes its size from a box of its own, seen only while decoding, and libheif builds
    // it before looking at the layers: no side may exceed the picture's longest one, but for the padding of
    // coded HEVC pictures to whole coding blocks (libheif refuses a side equal to its limit).
    heif_context_set_maximum_image_size_limit(
        context.get(), std::max({heif_image_handle_get_width(handle.get()), heif_image_handle_get_height(handle.get()),
                                 heif_image_handle_get_ispe_width(handle.get()),
                                 heif_image_handle_get_ispe_height(handle.get())}) + kHeifCodingBlock + 1);
    // The decoded planes and their interleaved copy, held against what the other threads decode meanwhile.
    const DecodeBudgetLease lease(
        std::max(int64_t{heif_image_handle_get_width(handle.get())} * heif_image_handle_get_height(handle.get()),
                 int64_t{heif_image_handle_get_ispe_width(handle.get())} * heif_image_handle_get_ispe_height(handle.get())) *
        8);

    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    std::unique_ptr<heif_decoding_options, HeifOptionsFree> options(heif_decoding_options_alloc());
    if (!options)
        throw PictureError("heif: out of memory");
    options->convert_hdr_to_8bit = 1;  // 10-bit pictures from phones come out as 8 bits like the rest
    heif_image* rawImage = nullptr;
    CheckHeif(heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                                alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get()));
    std::unique_ptr<heif_image, HeifImageRelease> image(rawImage);

    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!plane || width <= 0 || height <= 0 || stride < width * (alpha ? 4 : 3) ||
        heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8)
        throw PictureError("heif: unexpected decoded image");

    ReducedPicture picture;
    picture.Width = width;
    picture.Height = height;
    picture.ScaleDenom = ChosenScale(scale, width, height);
    const SourceLayout layout = !alpha ? SourceLayout::Rgb24
                                : heif_image_handle_is_premultiplied_alpha(handle.get()) ? SourceLayout::Rgba32Premultiplied
                                                                                         : SourceLayout::Rgba32;
    picture.Pixels = ReducePixels(plane, width, height, stride, layout, picture.ScaleDenom);
    return picture;
}

// ---- AVIF ----

namespace {

struct AvifDecoderDestroy {
    void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
};

void CheckAvif(avifResult result) {
    if (result != AVIF_RESULT_OK)
        throw PictureError(std::string("avif: ") + avifResultToString(result));
}

}  // namespace

ReducedPicture DecodeAvif(const uint8_t* data, size_t size, const ScaleChoice& scale) {
    std::unique_ptr<avifDecoder, AvifDecoderDestroy> decoder(avifDecoderCreate());
    if (!decoder)
        throw PictureError("avif: out of memory");
    decoder->maxThreads = 1;  // the search decodes several pictures at once already
    decoder->imageSizeLimit = static_cast<uint32_t>(kMaxDecodeBytes / 4);
    decoder->strictFlags = AVIF_STRICT_DISABLED;  // files from other encoders often lack optional boxes
    decoder->ignoreExif = AVIF_TRUE;
    decoder->ignoreXMP = AVIF_TRUE;
    CheckAvif(avifDecoderSetIOMemory(decoder.get(), data, size));
    CheckAvif(avifDecoderParse(decoder.get()));
    CheckFullSize("avif", decoder->image->width, decoder->image->height);
    // The decoded planes and the interleaved copy made of them.
    const DecodeBudgetLease lease(int64_t{decoder->image->width} * decoder->image->height * 8);
    CheckAvif(avifDecoderNextImage(decoder.get()));  // the first frame of an animation

    const avifImage* image = decoder->image;
    CheckFullSize("avif", image->width, image->height);
    const bool alpha = image->alphaPlane != nullptr;
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.depth = 8;
    rgb.format = alpha ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_BGR;
    rgb.alphaPremultiplied = AVIF_TRUE;  // transparency over black
    rgb.rowBytes = rgb.width * (alpha ? 4 : 3);
    std::vector<uint8_t> pixels(static_cast<size_t>(rgb.rowBytes) * rgb.height);
    rgb.pixels = pixels.data();
    CheckAvif(avifImageYUVToRGB(image, &rgb));

    ReducedPicture picture;
    picture.Width = static_cast<int32_t>(rgb.width);
    picture.Height = static_cast<int32_t>(rgb.height);
    picture.ScaleDenom = ChosenScale(scale, picture.Width, picture.Height);
    picture.Pixels = ReducePixels(pixels.data(), picture.Width, picture.Height, rgb.rowBytes,
                                  alpha ? SourceLayout::Bgra32Premultiplied : SourceLayout::Bgr24, picture.ScaleDenom);
    // libavif states the transforms and leaves the pixels as coded.
    picture.Shown = OrientationFromHeifTransforms(
        image->transformFlags & AVIF_TRANSFORM_IROT ? image->irot.angle : 0,
        image->transformFlags & AVIF_TRANSFORM_IMIR ? image->imir.mode : -1);
    return picture;
}

// ---- JPEG XL ----

namespace {

struct JxlDecoderDestroyer {
    void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};

}  // namespace

ReducedPicture DecodeJxl(const uint8_t* data, size_t size, const ScaleChoice& scale) {
    std::unique_ptr<JxlDecoder, JxlDecoderDestroyer> decoder(JxlDecoderCreate(nullptr));
    if (!decoder)
        throw PictureError("jxl: out of memory");
    if (JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS)
        throw PictureError("jxl: cannot start the decoder");
    JxlDecoderSetKeepOrientation(decoder.get(), JXL_TRUE);  // pixels as stored, as for every other type
    if (JxlDecoderSetInput(decoder.get(), data, size) != JXL_DEC_SUCCESS)
        throw PictureError("jxl: cannot start the decoder");
    JxlDecoderCloseInput(decoder.get());

    JxlBasicInfo info{};
    JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    std::vector<uint8_t> pixels;
    std::optional<DecodeBudgetLease> lease;
    bool haveInfo = false;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
        if (status == JXL_DEC_BASIC_INFO) {
            if (JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS)
                throw PictureError("jxl: cannot read the header");
            CheckFullSize("jxl", info.xsize, info.ysize);
            // The decoder's own frame and the output buffer.
            if (!lease)
                lease.emplace(int64_t{info.xsize} * info.ysize * 8);
            format.num_channels = info.alpha_bits > 0 ? 4 : 3;
            haveInfo = true;
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            size_t bytes = 0;
            if (!haveInfo || JxlDecoderImageOutBufferSize(decoder.get(), &format, &bytes) != JXL_DEC_SUCCESS ||
                bytes != size_t{info.xsize} * info.ysize * format.num_channels)
                throw PictureError("jxl: unexpected output size");
            pixels.resize(bytes);
            if (JxlDecoderSetImageOutBuffer(decoder.get(), &format, pixels.data(), pixels.size()) != JXL_DEC_SUCCESS)
                throw PictureError("jxl: cannot take the output buffer");
        } else if (status == JXL_DEC_FULL_IMAGE) {
            break;  // the first frame is enough
        } else if (status == JXL_DEC_NEED_MORE_INPUT) {
            throw PictureError("jxl: the file is cut off");
        } else {
            throw PictureError("jxl: cannot decode");  // JXL_DEC_ERROR, or the end without a picture
        }
    }
    if (pixels.empty())
        throw PictureError("jxl: no picture");

    ReducedPicture picture;
    picture.Width = static_cast<int32_t>(info.xsize);
    picture.Height = static_cast<int32_t>(info.ysize);
    picture.ScaleDenom = ChosenScale(scale, picture.Width, picture.Height);
    picture.Shown = OrientationFromTag(static_cast<int>(info.orientation));
    const SourceLayout layout = format.num_channels == 3 ? SourceLayout::Rgb24
                                : info.alpha_premultiplied ? SourceLayout::Rgba32Premultiplied
                                                           : SourceLayout::Rgba32;
    picture.Pixels = ReducePixels(pixels.data(), picture.Width, picture.Height,
                                  std::ptrdiff_t{format.num_channels} * picture.Width, layout, picture.ScaleDenom);
    return picture;
}
