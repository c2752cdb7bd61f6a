// The picture types, one row each: the scanner's masks, the decoder choice, the command line's --types
// names, the settings keys and the settings dialog's check boxes all come from this table.
#pragma once

#include "settings/Settings.h"

#include <QString>
#include <cstdint>
#include <span>

// Which decoder takes a file; chosen by the file's extension.
enum class DecoderKind : uint8_t {
    Jpeg,  // the file's own compressed data
    Qt,    // Qt's reader for the format named in QtFormat, then the JPEG conversion
    Cr2,   // LibRaw's developed image, then the JPEG conversion
    Webp,
    Heif,
    Avif,
    Jxl,
    Raw,  // LibRaw: the embedded preview when large enough, else the developed image
};

struct PictureType {
    const char* Name;         // voralin-cli --types, lower case
    const char* SettingsKey;  // key in section "Main"
    bool TSettings::*EnabledBy;
    int KeyOrder;               // position among the settings file's keys as they are written
    const char* CheckBoxName;   // the settings dialog's check box
    const char* Caption;        // its text
    bool MoreTypes;             // in the dialog's second group rather than the first
    std::span<const char* const> Masks;       // whole-name wildcards matched without regard to case
    std::span<const char* const> Extensions;  // upper case, dot included: the names its decoder takes
    DecoderKind Decoder;
    const char* QtFormat;  // for DecoderKind::Qt
};

// In the order the scanner tries them, which fixes the order of the catalogue.
std::span<const PictureType> PictureTypes();

// The row whose decoder takes files with this extension (from the last dot, dot included, any case);
// nullptr when no decoder does. A mask may match names no decoder takes (".tifx" matches "*.tif*").
const PictureType* TypeForExtension(const QString& extension);

// The row named `name` for --types (any case), or nullptr.
const PictureType* TypeNamed(const QString& name);
