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
constexpr const char* kWebpMasks[] = {"*.webp"};
constexpr const char* kWebpExtensions[] = {".WEBP"};
constexpr const char* kHeicMasks[] = {"*.heic", "*.heif"};
constexpr const char* kHeicExtensions[] = {".HEIC", ".HEIF"};
constexpr const char* kAvifMasks[] = {"*.avif"};
constexpr const char* kAvifExtensions[] = {".AVIF"};
constexpr const char* kJxlMasks[] = {"*.jxl"};
constexpr const char* kJxlExtensions[] = {".JXL"};
// Canon's CR2 keeps its own row and path.
constexpr const char* kRawMasks[] = {"*.nef", "*.nrw", "*.arw", "*.srf", "*.sr2", "*.dng", "*.cr3", "*.crw",
                                     "*.orf", "*.raf", "*.rw2", "*.rwl", "*.pef", "*.srw", "*.x3f", "*.3fr",
                                     "*.erf", "*.kdc", "*.mrw", "*.iiq", "*.mef", "*.mos"};
constexpr const char* kRawExtensions[] = {".NEF", ".NRW", ".ARW", ".SRF", ".SR2", ".DNG", ".CR3", ".CRW",
                                          ".ORF", ".RAF", ".RW2", ".RWL", ".PEF", ".SRW", ".X3F", ".3FR",
                                          ".ERF", ".KDC", ".MRW", ".IIQ", ".MEF", ".MOS"};
static_assert(std::size(kRawMasks) == std::size(kRawExtensions));

// Key orders 7 to 14 belong to the settings that are not picture types.
constexpr std::array<PictureType, 11> kTypes{{
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
    {"webp", "SearchWEBP", &TSettings::SearchWEBP, 15, "WEBPCheckBox", " WebP", true, kWebpMasks, kWebpExtensions,
     DecoderKind::Webp, nullptr},
    {"heic", "SearchHEIC", &TSettings::SearchHEIC, 16, "HEICCheckBox", " HEIC / HEIF", true, kHeicMasks,
     kHeicExtensions, DecoderKind::Heif, nullptr},
    {"avif", "SearchAVIF", &TSettings::SearchAVIF, 17, "AVIFCheckBox", " AVIF", true, kAvifMasks, kAvifExtensions,
     DecoderKind::Avif, nullptr},
    {"jxl", "SearchJXL", &TSettings::SearchJXL, 18, "JXLCheckBox", " JPEG XL", true, kJxlMasks, kJxlExtensions,
     DecoderKind::Jxl, nullptr},
    {"raw", "SearchRAW", &TSettings::SearchRAW, 19, "RAWCheckBox", " Camera RAW", true, kRawMasks, kRawExtensions,
     DecoderKind::Raw, nullptr},
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
