// The picture target's input layout: the first byte names the format, the rest is the file's content.
#pragma once

#include <array>
#include <cstdint>

// File names whose extensions pick each decoder; one per format the search reads.
inline constexpr std::array<const char*, 6> kFuzzPictureNames = {"in.jpg", "in.png", "in.gif",
                                                                  "in.bmp", "in.tif", "in.CR2"};

inline const char* FuzzPictureName(uint8_t selector) { return kFuzzPictureNames[selector % kFuzzPictureNames.size()]; }
