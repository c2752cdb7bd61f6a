// libjpeg wrapped: an error manager that long-jumps back to the failing call, which then throws; the
// compression and decompression structs are owned by objects that destroy them on every path.
#include "picture/JpegCodec.h"

#include "picture/DecodeBudget.h"
#include "picture/DecodeLimits.h"
#include "picture/PictureError.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include <jpeglib.h>

namespace {

constexpr int kConversionQuality = 90;

// libjpeg reads any number of scans, each one a pass over the whole coefficient buffer: a few hundred bytes
// of scan headers can hold a decoder for minutes. Real progressive files have about ten scans.
constexpr int kMaxJpegScans = 500;

// Extends libjpeg's error manager with the jump target of the call in progress. `Base` must stay first:
// libjpeg hands back a pointer to it.
struct ErrorManager {
    jpeg_error_mgr Base;
    jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

// Never returns to libjpeg and never calls exit(): the armed call site turns the jump into a PictureError.
[[noreturn]] void ErrorExit(j_common_ptr info)
{
    auto* error = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, error->Message);
    longjmp(error->Jump, 1);
}

// Warnings (corrupt or truncated data that libjpeg can decode around) are neither errors nor printed.
void SilentOutput(j_common_ptr) {}

void InitErrorManager(ErrorManager& error)
{
    jpeg_std_error(&error.Base);
    error.Base.error_exit = ErrorExit;
    error.Base.output_message = SilentOutput;
    error.Message[0] = '\0';
}

[[noreturn]] void ThrowJpegError(const ErrorManager& error)
{
    throw PictureError(std::string("JPEG: ") + error.Message);
}

// One compression with its destination buffer; both are released when the session ends, however it ends.
struct CompressSession {
    jpeg_compress_struct Info{};
    ErrorManager Error{};
    unsigned char* Buffer = nullptr;
    unsigned long Size = 0;
    bool Created = false;

    ~CompressSession()
    {
        if (Created)
            jpeg_destroy_compress(&Info);
        std::free(Buffer);
    }
};

void ToRgbRow(const uint8_t* source, int width, PixelLayout layout, JSAMPLE* out)
{
    switch (layout) {
    case PixelLayout::Rgb24:
        for (int x = 0; x < 3 * width; ++x)
            out[x] = source[x];
        return;
    case PixelLayout::Bgr24:
        for (int x = 0; x < width; ++x) {
            out[3 * x] = source[3 * x + 2];
            out[3 * x + 1] = source[3 * x + 1];
            out[3 * x + 2] = source[3 * x];
        }
        return;
    case PixelLayout::Argb32: {
        const auto* words = reinterpret_cast<const uint32_t*>(source);
        for (int x = 0; x < width; ++x) {
            const uint32_t p = words[x];
            out[3 * x] = static_cast<JSAMPLE>((p >> 16) & 0xFF);
            out[3 * x + 1] = static_cast<JSAMPLE>((p >> 8) & 0xFF);
            out[3 * x + 2] = static_cast<JSAMPLE>(p & 0xFF);
        }
        return;
    }
    case PixelLayout::Grey8:
        for (int x = 0; x < width; ++x)
            out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = source[x];
        return;
    }
}

}  // namespace

std::vector<uint8_t> EncodeJpeg(const uint8_t* pixels, int width, int height, std::ptrdiff_t stride,
                                PixelLayout layout)
{
    if (width <= 0 || height <= 0)
        throw PictureError("JPEG: empty picture");
    // Everything with a destructor exists before the jump target is set.
    std::vector<JSAMPLE> row(static_cast<size_t>(width) * 3);
    CompressSession session;
    InitErrorManager(session.Error);
    session.Info.err = &session.Error.Base;

    if (setjmp(session.Error.Jump))
        ThrowJpegError(session.Error);

    jpeg_create_compress(&session.Info);
    session.Created = true;
    jpeg_mem_dest(&session.Info, &session.Buffer, &session.Size);
    session.Info.image_width = static_cast<JDIMENSION>(width);
    session.Info.image_height = static_cast<JDIMENSION>(height);
    session.Info.input_components = 3;
    session.Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&session.Info);
    jpeg_set_quality(&session.Info, kConversionQuality, TRUE);
    jpeg_start_compress(&session.Info, TRUE);
    JSAMPROW rows[1] = {row.data()};
    while (session.Info.next_scanline < session.Info.image_height) {
        const uint8_t* source = pixels + static_cast<std::ptrdiff_t>(session.Info.next_scanline) * stride;
        ToRgbRow(source, width, layout, row.data());
        jpeg_write_scanlines(&session.Info, rows, 1);
    }
    jpeg_finish_compress(&session.Info);

    return std::vector<uint8_t>(session.Buffer, session.Buffer + session.Size);
}

// Called by libjpeg before it reads each scan (and every few rows); ends a file with too many scans the way
// an error does.
void LimitScans(j_common_ptr info)
{
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number <= kMaxJpegScans)
        return;
    auto* error = reinterpret_cast<ErrorManager*>(info->err);
    std::snprintf(error->Message, sizeof error->Message, "too many scans (more than %d)", kMaxJpegScans);
    longjmp(error->Jump, 1);
}

// libjpeg-turbo writes colour rows in any byte order; a plain libjpeg gives RGB, reordered below.
#if defined(JCS_EXTENSIONS)
constexpr J_COLOR_SPACE kBgrOutput = JCS_EXT_BGR;
#else
constexpr J_COLOR_SPACE kBgrOutput = JCS_RGB;
#endif

struct JpegDecoder::Impl {
    jpeg_decompress_struct Info{};
    ErrorManager Error{};
    jpeg_progress_mgr Progress{};
    bool Created = false;
    JpegColourModel Model = JpegColourModel::Colour;
    JSAMPARRAY Scanline = nullptr;  // from libjpeg's image pool, freed with the struct
    // A progressive picture keeps every coefficient of the whole picture; released after the struct is.
    std::optional<DecodeBudgetLease> Lease;

    ~Impl()
    {
        if (Created)
            jpeg_destroy_decompress(&Info);
    }
};

JpegDecoder::JpegDecoder(const uint8_t* data, std::size_t size) : d(std::make_unique<Impl>())
{
    Impl& s = *d;
    InitErrorManager(s.Error);
    s.Info.err = &s.Error.Base;
    if (setjmp(s.Error.Jump))
        ThrowJpegError(s.Error);
    jpeg_create_decompress(&s.Info);
    s.Created = true;
    // Backstop for allocations inside libjpeg; the header check below refuses the known large case first.
    s.Info.mem->max_memory_to_use = static_cast<long>(kMaxDecodeBytes);
    jpeg_mem_src(&s.Info, data, static_cast<unsigned long>(size));
    s.Progress.progress_monitor = LimitScans;
    s.Info.progress = &s.Progress;
}

JpegDecoder::~JpegDecoder() = default;

namespace {

// Progressive and multi-scan files are decoded through a coefficient buffer for the whole image, sized
// by the full picture whatever the output scale; libjpeg rounds each component up to whole MCUs.
int64_t WholeImageCoefficientBytes(const jpeg_decompress_struct& info)
{
    const bool wholeImage = info.progressive_mode || info.comps_in_scan < info.num_components;
    if (!wholeImage)
        return 0;
    int64_t bytes = 0;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& comp = info.comp_info[c];
        const int64_t h = comp.h_samp_factor, v = comp.v_samp_factor;
        const int64_t columns = (comp.width_in_blocks + h - 1) / h * h;
        const int64_t rows = (comp.height_in_blocks + v - 1) / v * v;
        bytes += columns * rows * DCTSIZE2 * static_cast<int64_t>(sizeof(JCOEF));
    }
    return bytes;
}

}  // namespace

JpegHeader JpegDecoder::ReadHeader()
{
    Impl& s = *d;
    if (setjmp(s.Error.Jump))
        ThrowJpegError(s.Error);
    jpeg_read_header(&s.Info, TRUE);

    switch (s.Info.num_components) {
    case 1: s.Model = JpegColourModel::Grey; break;
    case 3: s.Model = JpegColourModel::Colour; break;
    case 4: s.Model = JpegColourModel::Cmyk; break;
    default: throw PictureError("JPEG: unsupported number of colour components");
    }
    const int64_t coefficientBytes = WholeImageCoefficientBytes(s.Info);
    if (!FitsDecodeLimit(coefficientBytes))
        throw PictureError("JPEG: picture too large to decode");
    if (coefficientBytes > 0 && !s.Lease)
        s.Lease.emplace(coefficientBytes);

    JpegHeader header;
    header.Width = static_cast<int>(s.Info.image_width);
    header.Height = static_cast<int>(s.Info.image_height);
    header.Model = s.Model;
    return header;
}

void JpegDecoder::Start(int scaleDenom)
{
    Impl& s = *d;
    if (scaleDenom != 1 && scaleDenom != 2 && scaleDenom != 4 && scaleDenom != 8)
        throw PictureError("JPEG: unsupported scale");
    if (setjmp(s.Error.Jump))
        ThrowJpegError(s.Error);

    // Large pictures only need a small image: libjpeg scales while it decodes, for free.
    s.Info.scale_num = 1;
    s.Info.scale_denom = static_cast<unsigned int>(scaleDenom);
    // The fastest inverse DCT; its small inaccuracy disappears in the 128 x 128 work image.
    s.Info.dct_method = JDCT_IFAST;
    // Where colours are quantised (greyscale files), one pass: no second read of the whole image.
    s.Info.two_pass_quantize = FALSE;
    // Ordered dithering is the cheap one and is deterministic per pixel position.
    s.Info.dither_mode = JDITHER_ORDERED;
    // do_fancy_upsampling and do_block_smoothing keep libjpeg's defaults (on).
    switch (s.Model) {
    case JpegColourModel::Colour:
        // YCbCr (or RGB) files come out in the work bitmap's byte order: libjpeg-turbo's colour conversion
        // writes the same values in either order, so no pass of our own reorders them.
        s.Info.out_color_space = kBgrOutput;
        break;
    case JpegColourModel::Grey:
        s.Info.out_color_space = JCS_GRAYSCALE;
        // Greyscale files reach the 8-bit palette path: 236 levels, leaving room for system colours.
        s.Info.quantize_colors = TRUE;
        s.Info.desired_number_of_colors = 236;
        break;
    case JpegColourModel::Cmyk:
        // CMYK and YCCK both come out as CMYK; the RGB conversion below is ours.
        s.Info.out_color_space = JCS_CMYK;
        break;
    }
    jpeg_start_decompress(&s.Info);
    s.Scanline = (*s.Info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&s.Info), JPOOL_IMAGE,
                                             s.Info.output_width * static_cast<JDIMENSION>(s.Info.output_components), 1);
}

int JpegDecoder::OutputWidth() const { return static_cast<int>(d->Info.output_width); }
int JpegDecoder::OutputHeight() const { return static_cast<int>(d->Info.output_height); }

void JpegDecoder::ReadBgrRow(uint8_t* bgr)
{
    Impl& s = *d;
    if (s.Scanline == nullptr || s.Info.output_scanline >= s.Info.output_height)
        throw PictureError("JPEG: no more rows");
    if (setjmp(s.Error.Jump))
        ThrowJpegError(s.Error);
    const int width = static_cast<int>(s.Info.output_width);
    if (s.Model == JpegColourModel::Colour && kBgrOutput != JCS_RGB) {
        JSAMPROW direct = bgr;
        jpeg_read_scanlines(&s.Info, &direct, 1);
        return;
    }
    jpeg_read_scanlines(&s.Info, s.Scanline, 1);

    const JSAMPLE* in = s.Scanline[0];
    switch (s.Model) {
    case JpegColourModel::Colour:
        for (int x = 0; x < width; ++x) {
            bgr[3 * x] = in[3 * x + 2];
            bgr[3 * x + 1] = in[3 * x + 1];
            bgr[3 * x + 2] = in[3 * x];
        }
        return;
    case JpegColourModel::Grey: {
        // Each index stands for the grey of its colour-map entry.
        const JSAMPLE* greys = s.Info.colormap[0];
        for (int x = 0; x < width; ++x)
            bgr[3 * x] = bgr[3 * x + 1] = bgr[3 * x + 2] = greys[in[x]];
        return;
    }
    case JpegColourModel::Cmyk:
        // Adobe writes CMYK inverted, so the ink values are already "amount of light": R = C * K / 255.
        for (int x = 0; x < width; ++x) {
            const unsigned c = in[4 * x], m = in[4 * x + 1], y = in[4 * x + 2], k = in[4 * x + 3];
            bgr[3 * x] = static_cast<uint8_t>(y * k / 255);
            bgr[3 * x + 1] = static_cast<uint8_t>(m * k / 255);
            bgr[3 * x + 2] = static_cast<uint8_t>(c * k / 255);
        }
        return;
    }
}
