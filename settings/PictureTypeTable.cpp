// The rows of the picture-type table.
#include "settings/PictureTypeTable.h"

#include <array>

namespace {

constexpr const char* kBmpMasks[] = {"*.bmp"};
constexpr const char* kBmpExtensions[] = {".BMP"};
constexpr const char* kJpgMasks[] = {"*.jp*g"};
constexpr const char* kJpgExtensions[] = {".JPG", ".JPEG"};
constexpr const char* kGifMasks[] = {"*.gif"};
constexpr const char* kGifExtensions[] = {".GIF"};
constexpr const char* kPngMasks[] = {"*.png"};
constexpr const char* kPngExtensions[] = {".PNG"};
constexpr const char* kTiffMasks[] = {"*.tif*"};
constexpr const char* kTiffExtensions[] = {".TIF", ".TIFF"};
constexpr const char* kCr2Masks[] = {"*.cr2"};
constexpr const char* kCr2Extensions[] = {".CR2"};

constexpr std::array<PictureType, 6> kTypes{{
    {"bmp", "SearchBMP", &TSettings::SearchBMP, 2, "BMPCheckBox", " BMP", false, kBmpMasks, kBmpExtensions,
     DecoderKind::Qt, "bmp"},
    {"jpg", "SearchJPG", &TSettings::SearchJPG, 1, "JPGCheckBox", " JPG", false, kJpgMasks, kJpgExtensions,
     DecoderKind::Jpeg, nullptr},
    {"gif", "SearchGIF", &TSettings::SearchGIF, 3, "GIFCheckBox", " GIF", false, kGifMasks, kGifExtensions,
     DecoderKind::Qt, "gif"},
    {"png", "SearchPNG", &TSettings::SearchPNG, 4, "PNGCheckBox", " PNG", false, kPngMasks, kPngExtensions,
     DecoderKind::Qt, "png"},
    {"tiff", "SearchTIFF", &TSettings::SearchTIFF, 5, "TIFFCheckBox", " TIFF", false, kTiffMasks,
     kTiffExtensions, DecoderKind::Qt, "tiff"},
    {"cr2", "SearchCR2", &TSettings::SearchCR2, 6, "CR2CheckBox", "Canon CR2", false, kCr2Masks, kCr2Extensions,
     DecoderKind::Cr2, nullptr},
}};

}  // namespace

std::span<const PictureType> PictureTypes() { return kTypes; }

const PictureType* TypeForExtension(const QString& extension) {
    const QString upper = extension.toUpper();
    for (const PictureType& type : kTypes) {
        for (const char* e : type.Extensions) {
            if (upper == QLatin1String(e))
                return &type;
        }
    }
    return nullptr;
}

const PictureType* TypeNamed(const QString& name) {
    for (const PictureType& type : kTypes) {
        if (name.compare(QLatin1String(type.Name), Qt::CaseInsensitive) == 0)
            return &type;
    }
    return nullptr;
}

bool TSettings::AnyTypeEnabled() const {
    for (const PictureType& type : kTypes) {
        if (this->*type.EnabledBy)
            return true;
    }
    return false;
}
