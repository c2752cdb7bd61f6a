// File heads and whole-file comparison.
#include "PictureFixtures.h"
#include "picture/PictureProcessing.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

QByteArray Pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 31 + seed * 7 + i / 256) & 0xFF);
    return bytes;
}

TEST(ReadFileHead, TakesTheFirst256Bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("long.bin");
    const QByteArray bytes = Pattern(5000, 1);
    fixtures::WriteBytes(path, bytes);
    TPreBuffer head{};
    ReadFileHead(path, head);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(head.data()), 256), bytes.left(256));
}

TEST(ReadFileHead, ZeroFillsPastTheEndOfAShortFile)
{
    QTemporaryDir dir;
    fixtures::WriteBytes(dir.filePath("a.bin"), "short");
    fixtures::WriteBytes(dir.filePath("b.bin"), "short");
    TPreBuffer headA;
    headA.fill(0xAA);  // whatever a previous file left must not survive
    TPreBuffer headB{};
    ReadFileHead(dir.filePath("a.bin"), headA);
    ReadFileHead(dir.filePath("b.bin"), headB);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(headA.data()), 5), "short");
    EXPECT_TRUE(std::all_of(headA.begin() + 5, headA.end(), [](uint8_t v) { return v == 0; }));
    EXPECT_EQ(headA, headB);

    fixtures::WriteBytes(dir.filePath("empty.bin"), QByteArray());
    ReadFileHead(dir.filePath("empty.bin"), headA);
    EXPECT_EQ(headA, TPreBuffer{});
}

TEST(ReadFileHead, LeavesTheBufferAloneWhenTheFileCannotBeOpened)
{
    QTemporaryDir dir;
    TPreBuffer head;
    head.fill(0x5A);
    ReadFileHead(dir.filePath("missing.bin"), head);
    EXPECT_TRUE(std::all_of(head.begin(), head.end(), [](uint8_t v) { return v == 0x5A; }));
}

struct EqualCase {
    const char* Name;
    int SizeA;
    int SizeB;
    int DifferAt;  // -1: same bytes (over the shorter length)
    bool Expected;
    int Calls;     // block pairs read, so message-processing calls
};

class FilesEqualCases : public testing::TestWithParam<EqualCase> {};

TEST_P(FilesEqualCases, ComparesBlockByBlock)
{
    const EqualCase& c = GetParam();
    QTemporaryDir dir;
    QByteArray a = Pattern(c.SizeA, 3);
    QByteArray b = Pattern(c.SizeB, 3);
    if (c.DifferAt >= 0)
        b[c.DifferAt] = static_cast<char>(b[c.DifferAt] ^ 0x01);
    fixtures::WriteBytes(dir.filePath("a"), a);
    fixtures::WriteBytes(dir.filePath("b"), b);
    int calls = 0;
    EXPECT_EQ(FilesEqual(dir.filePath("a"), dir.filePath("b"), [&calls] { ++calls; }), c.Expected);
    EXPECT_EQ(calls, c.Calls);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FilesEqualCases,
    testing::Values(EqualCase{"BothEmpty", 0, 0, -1, true, 1}, EqualCase{"OneByte", 1, 1, -1, true, 2},
                    EqualCase{"ExactlyOneBlock", 1024, 1024, -1, true, 2},
                    EqualCase{"ThreeBlocksAndABit", 3100, 3100, -1, true, 5},
                    EqualCase{"DifferentLengthsInLastBlock", 3100, 3101, -1, false, 4},
                    EqualCase{"LongerByAWholeBlock", 2048, 3072, -1, false, 3},
                    EqualCase{"DifferenceInFirstByte", 3100, 3100, 0, false, 1},
                    EqualCase{"DifferenceInLastByte", 3100, 3100, 3099, false, 4}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(FilesEqual, IsFalseWhenEitherFileIsMissing)
{
    QTemporaryDir dir;
    fixtures::WriteBytes(dir.filePath("a"), "same");
    int calls = 0;
    EXPECT_FALSE(FilesEqual(dir.filePath("a"), dir.filePath("missing"), [&calls] { ++calls; }));
    EXPECT_FALSE(FilesEqual(dir.filePath("missing"), dir.filePath("a"), [&calls] { ++calls; }));
    EXPECT_FALSE(FilesEqual(dir.filePath("missing"), dir.filePath("missing")));
    EXPECT_EQ(calls, 0);
}

TEST(FilesEqual, AFileEqualsItself)
{
    QTemporaryDir dir;
    fixtures::WriteBytes(dir.filePath("a"), Pattern(2000, 9));
    EXPECT_TRUE(FilesEqual(dir.filePath("a"), dir.filePath("a")));
}

}  // namespace
