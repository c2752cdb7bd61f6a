#include "picture/QuietDecoders.h"

#include <mutex>
#include <tiffio.h>

#if defined(__ELF__)
#include <dlfcn.h>
#include <png.h>

namespace {

[[noreturn]] void QuietPngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void QuietPngWarning(png_structp, png_const_charp) {}

}  // namespace

// Qt's PNG reader installs no error function (libpng's default prints, then jumps back) and a warning
// function that prints. libpng has no process-wide setting, so every installation passes through here:
// an error still ends the read the same way, only without the text.
extern "C" void png_set_error_fn(png_structrp png, png_voidp errorPtr, png_error_ptr errorFn, png_error_ptr)
{
    using SetErrorFn = void (*)(png_structrp, png_voidp, png_error_ptr, png_error_ptr);
    static const auto real = reinterpret_cast<SetErrorFn>(dlsym(RTLD_NEXT, "png_set_error_fn"));
    if (real)
        real(png, errorPtr, errorFn ? errorFn : QuietPngError, QuietPngWarning);
}
#endif

void QuietDecoderMessages()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}
