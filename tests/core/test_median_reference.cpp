// The median filter against a plain reference (same visiting order, a full sort of each window) on random,
// tie-heavy pictures: its exchange network must pick exactly the byte a sort would.
#include "picture/PictureProcessing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

namespace {

void ReferenceMedian(TBitmap& bmp) {
    for (int i = bmp.Height - 2; i >= 1; --i) {
        for (int j = bmp.Width - 2; j >= 1; --j) {
            std::array<uint8_t, 9> window{};
            int k = 0;
            for (int r = i - 1; r <= i + 1; ++r)
                for (int c = j - 1; c <= j + 1; ++c)
                    window[k++] = bmp.Row(r)[c];
            std::sort(window.begin(), window.end());
            bmp.Row(i)[j] = window[4];
        }
    }
}

struct MedianCase {
    const char* name;
    int width, height;
    int levels;  // few levels give many ties
};

class MedianReferenceTest : public testing::TestWithParam<MedianCase> {};

TEST_P(MedianReferenceTest, SameBytesAsSortingEachWindow) {
    std::mt19937 random(static_cast<uint32_t>(GetParam().width * 31 + GetParam().levels));
    TBitmap picture;
    picture.Reset(GetParam().width, GetParam().height, PixelFormat::Grey8);
    for (uint8_t& byte : picture.Pixels)
        byte = static_cast<uint8_t>(random() % GetParam().levels * (256 / GetParam().levels));
    TBitmap expected = picture;
    ReferenceMedian(expected);
    MedianFilter3x3(picture);
    EXPECT_EQ(picture.Pixels, expected.Pixels);
}

INSTANTIATE_TEST_SUITE_P(Table, MedianReferenceTest,
                         testing::Values(MedianCase{"WorkSizeAllLevels", 128, 128, 256},
                                         MedianCase{"WorkSizeTwoLevels", 128, 128, 2},
                                         MedianCase{"WorkSizeThreeLevels", 128, 128, 3},
                                         MedianCase{"SmallestFiltered", 3, 3, 5},
                                         MedianCase{"NarrowAndTall", 4, 60, 7},
                                         MedianCase{"WideFilteredRowByRow", 240, 9, 4},
                                         MedianCase{"SeventeenRows", 128, 19, 256}),
                         [](const testing::TestParamInfo<MedianCase>& info) { return std::string(info.param.name); });

}  // namespace
