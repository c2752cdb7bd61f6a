// Tests of the initialisation-file reader and writer and of the integer reading shared with the dialog.
#include "settings/IniFile.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

namespace {

struct IntegerCase {
    const char* name;
    const char* text;
    std::optional<int32_t> expected;
};

class ParseIniIntegerTest : public testing::TestWithParam<IntegerCase> {};

TEST_P(ParseIniIntegerTest, ReadsLikeTheSettingsFile) {
    const IntegerCase& c = GetParam();
    EXPECT_EQ(ParseIniInteger(QString::fromUtf8(c.text)), c.expected) << "text: \"" << c.text << "\"";
}

const IntegerCase kIntegerCases[] = {
    {"Zero", "0", 0},
    {"Plain", "100", 100},
    {"LeadingZeros", "00012", 12},
    {"PlusSign", "+5", 5},
    {"MinusSign", "-5", -5},
    {"MinusZero", "-0", 0},
    {"Int32Max", "2147483647", INT32_MAX},
    {"Int32Min", "-2147483648", INT32_MIN},
    {"AboveInt32Max", "2147483648", std::nullopt},
    {"BelowInt32Min", "-2147483649", std::nullopt},
    {"HugeDecimal", "99999999999999999999999", std::nullopt},
    {"HexLower", "0x20", 32},
    {"HexUpperX", "0X1f", 31},
    {"HexZero", "0x0", 0},
    {"HexMaxPositive", "0x7FFFFFFF", INT32_MAX},
    {"HexWrapsToMin", "0x80000000", INT32_MIN},
    {"HexAllOnesIsMinusOne", "0xFFFFFFFF", -1},
    {"HexBeyond32Bits", "0x100000000", std::nullopt},
    {"HexLeadingZeros", "0x0000000000FF", 255},
    {"Dollar", "$20", 32},
    {"DollarMixedCase", "$aBc", 0xABC},
    {"DollarAllOnes", "$FFFFFFFF", -1},
    {"DollarAlone", "$", std::nullopt},
    {"ZeroXAloneIsNotHex", "0x", std::nullopt},
    {"HexBadDigit", "0x1g", std::nullopt},
    {"HexWithSign", "0x-1", std::nullopt},
    {"SignBeforeHex", "-$10", std::nullopt},
    {"SignBeforeZeroX", "-0x10", std::nullopt},
    {"Empty", "", std::nullopt},
    {"Word", "abc", std::nullopt},
    {"SignOnly", "-", std::nullopt},
    {"DoubleSign", "--5", std::nullopt},
    {"Exponent", "1e3", std::nullopt},
    {"Fraction", "1.5", std::nullopt},
    {"LeadingBlank", " 5", std::nullopt},
    {"TrailingBlank", "5 ", std::nullopt},
    {"TrailingWord", "5 px", std::nullopt},
    {"NonAsciiDigit", "\xD9\xA3", std::nullopt},  // ARABIC-INDIC DIGIT THREE
    {"FullwidthDigit", "\xEF\xBC\x95", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Cases, ParseIniIntegerTest, testing::ValuesIn(kIntegerCases),
                         [](const testing::TestParamInfo<IntegerCase>& info) { return std::string(info.param.name); });

std::optional<QString> ValueIn(const QByteArray& bytes, const char* section, const char* key) {
    return IniFile::FromBytes(bytes).Value(QString::fromLatin1(section), QString::fromLatin1(key));
}

struct LookupCase {
    const char* name;
    const char* file;
    const char* section;
    const char* key;
    std::optional<QString> expected;
};

class IniLookupTest : public testing::TestWithParam<LookupCase> {};

TEST_P(IniLookupTest, FindsTheValue) {
    const LookupCase& c = GetParam();
    EXPECT_EQ(ValueIn(QByteArray(c.file), c.section, c.key), c.expected);
}

const LookupCase kLookupCases[] = {
    {"Plain", "[Main]\r\nA=1\r\n", "Main", "A", QString("1")},
    {"LineFeedOnly", "[Main]\nA=1\nB=2\n", "Main", "B", QString("2")},
    {"NoFinalLineEnd", "[Main]\nA=1", "Main", "A", QString("1")},
    {"SectionCase", "[MAIN]\nA=1\n", "Main", "A", QString("1")},
    {"KeyCase", "[Main]\nsearchjpg=0\n", "Main", "SearchJPG", QString("0")},
    {"BlanksTrimmed", "  [ Main ]  \n \t A \t=  x y \t\n", "Main", "A", QString("x y")},
    {"DoubleQuotesStripped", "[Main]\nA=\"12\"\n", "Main", "A", QString("12")},
    {"SingleQuotesStripped", "[Main]\nA='12'\n", "Main", "A", QString("12")},
    {"UnmatchedQuoteKept", "[Main]\nA=\"12\n", "Main", "A", QString("\"12")},
    {"LoneQuoteKept", "[Main]\nA=\"\n", "Main", "A", QString("\"")},
    {"EqualsInValue", "[Main]\nA=b=c\n", "Main", "A", QString("b=c")},
    {"EmptyValue", "[Main]\nA=\n", "Main", "A", QString("")},
    {"KeyWithoutEquals", "[Main]\nA\n", "Main", "A", QString("")},
    {"InlineCommentIsValue", "[Main]\nA=5 ; five\n", "Main", "A", QString("5 ; five")},
    {"CommentedKeyIgnored", "[Main]\n;A=1\n#A=2\n", "Main", "A", std::nullopt},
    {"FirstDuplicateKey", "[Main]\nA=1\na=2\n", "Main", "A", QString("1")},
    {"FirstDuplicateSection", "[Main]\nA=1\n[Main]\nA=2\nB=3\n", "Main", "B", std::nullopt},
    {"OtherSectionIgnored", "[Other]\nA=1\n[Main]\n", "Main", "A", std::nullopt},
    {"KeyBeforeAnySection", "A=1\n[Main]\n", "Main", "A", std::nullopt},
    {"MissingSection", "[Other]\nA=1\n", "Main", "A", std::nullopt},
    {"TextAfterHeader", "[Main] trailing\nA=1\n", "Main", "A", QString("1")},
    {"UnclosedHeaderIsNotSection", "[Main]\n[Other\nA=1\n", "Main", "A", QString("1")},
    {"EmptyFile", "", "Main", "A", std::nullopt},
    {"CarriageReturnBeforeLineFeedOnly", "[Main]\r\nA=1\r\r\n", "Main", "A", QString("1")},
};

INSTANTIATE_TEST_SUITE_P(Cases, IniLookupTest, testing::ValuesIn(kLookupCases),
                         [](const testing::TestParamInfo<LookupCase>& info) { return std::string(info.param.name); });

struct WriteCase {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

class IniWriteTest : public testing::TestWithParam<WriteCase> {};

TEST_P(IniWriteTest, WritesTheExpectedBytes) {
    const WriteCase& c = GetParam();
    IniFile ini = IniFile::FromBytes(QByteArray(c.before));
    ini.SetValue(QString::fromLatin1(c.section), QString::fromLatin1(c.key), QString::fromLatin1(c.value));
    EXPECT_EQ(ini.ToBytes(), QByteArray(c.after));
}

const WriteCase kWriteCases[] = {
    {"NewFile", "", "Main", "A", "1", "[Main]\r\nA=1\r\n"},
    {"ReplacedWhereItStands", "[Main]\r\nA=1\r\nB=2\r\nC=3\r\n", "Main", "B", "9",
     "[Main]\r\nA=1\r\nB=9\r\nC=3\r\n"},
    {"ReplacedKeepsFileSpelling", "[main]\r\n  searchJPG = 2 \r\n", "Main", "SearchJPG", "1",
     "[main]\r\nsearchJPG=1\r\n"},
    {"UnchangedValueKeepsSpacing", "[Main]\r\n A = 1 \r\n", "Main", "A", "1", "[Main]\r\n A = 1 \r\n"},
    {"KeyWithoutEqualsReplaced", "[Main]\r\nA\r\nB=2\r\n", "Main", "A", "1", "[Main]\r\nA=1\r\nB=2\r\n"},
    {"MissingKeyAtEndOfSection", "[Main]\r\nA=1\r\n\r\n[Other]\r\nX=1\r\n", "Main", "B", "2",
     "[Main]\r\nA=1\r\nB=2\r\n\r\n[Other]\r\nX=1\r\n"},
    {"MissingKeyInEmptySection", "[Main]\r\n\r\n[Other]\r\n", "Main", "B", "2",
     "[Main]\r\nB=2\r\n\r\n[Other]\r\n"},
    {"MissingKeyInLastSection", "[Other]\r\nX=1\r\n[Main]\r\nA=1", "Main", "B", "2",
     "[Other]\r\nX=1\r\n[Main]\r\nA=1\r\nB=2\r\n"},
    {"MissingSectionAfterBlankLine", "[Other]\r\nX=1\r\n", "Main", "A", "1",
     "[Other]\r\nX=1\r\n\r\n[Main]\r\nA=1\r\n"},
    {"MissingSectionNoSecondBlankLine", "[Other]\r\nX=1\r\n\r\n", "Main", "A", "1",
     "[Other]\r\nX=1\r\n\r\n[Main]\r\nA=1\r\n"},
    {"LineFeedsBecomeCrLf", "; note\n[Main]\nA=1\n", "Main", "A", "2", "; note\r\n[Main]\r\nA=2\r\n"},
    {"OnlyFirstDuplicateChanged", "[Main]\r\nA=1\r\nA=1\r\n", "Main", "A", "0", "[Main]\r\nA=0\r\nA=1\r\n"},
    {"OtherSectionsSameKeyUntouched", "[Other]\r\nA=1\r\n[Main]\r\nA=1\r\n", "Main", "A", "0",
     "[Other]\r\nA=1\r\n[Main]\r\nA=0\r\n"},
    {"NegativeNumberAsGiven", "[Main]\r\nW=5\r\n", "Main", "W", "-7", "[Main]\r\nW=-7\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, IniWriteTest, testing::ValuesIn(kWriteCases),
                         [](const testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

// Keys are found through an index of the lines: an inserted line moves every later key, and the next
// lookups must see it where it went.
TEST(IniWriteSequence, LaterKeysAreFoundAfterAnInsertion) {
    IniFile ini = IniFile::FromBytes("[Main]\r\nA=1\r\n\r\n[Other]\r\nX=1\r\nY=2\r\n");
    EXPECT_EQ(ini.Value("Other", "Y"), QString("2"));
    ini.SetValue("Main", "B", "2");
    ini.SetValue("Other", "Y", "3");
    ini.SetValue("Third", "Z", "4");
    ini.SetValue("Other", "x", "5");
    ini.SetValue("Third", "Z", "6");
    EXPECT_EQ(ini.ToBytes(),
              QByteArray("[Main]\r\nA=1\r\nB=2\r\n\r\n[Other]\r\nX=5\r\nY=3\r\n\r\n[Third]\r\nZ=6\r\n"));
    EXPECT_EQ(ini.Value("MAIN", "b"), QString("2"));
}

TEST(IniFileEncoding, LatinOneBytesSurviveUnchanged) {
    // 0xE9 alone is not UTF-8; the line holding it must come back byte for byte.
    const QByteArray before("[Other]\r\nName=caf\xE9\r\n[Main]\r\nA=1\r\n");
    IniFile ini = IniFile::FromBytes(before);
    ini.SetValue("Main", "A", "0");
    EXPECT_EQ(ini.ToBytes(), QByteArray("[Other]\r\nName=caf\xE9\r\n[Main]\r\nA=0\r\n"));
}

TEST(IniFileEncoding, Utf8WithMarkKeepsMark) {
    const QByteArray before("\xEF\xBB\xBF[Main]\r\nName=caf\xC3\xA9\r\n");
    IniFile ini = IniFile::FromBytes(before);
    EXPECT_EQ(ini.Value("main", "name"), QString::fromUtf8("caf\xC3\xA9"));
    ini.SetValue("Main", "A", "1");
    EXPECT_EQ(ini.ToBytes(), QByteArray("\xEF\xBB\xBF[Main]\r\nName=caf\xC3\xA9\r\nA=1\r\n"));
}

// ASCII text as UTF-16 little-endian with its mark, built byte by byte so the host's order does not matter.
QByteArray Utf16LeWithMark(const char* ascii) {
    QByteArray bytes("\xFF\xFE");
    for (const char* p = ascii; *p; ++p) {
        bytes.append(*p);
        bytes.append('\0');
    }
    return bytes;
}

TEST(IniFileEncoding, Utf16LittleEndianStaysUtf16) {
    IniFile ini = IniFile::FromBytes(Utf16LeWithMark("[Main]\r\nA=1\r\n"));
    EXPECT_EQ(ini.Value("Main", "A"), QString("1"));
    ini.SetValue("Main", "A", "0");
    EXPECT_EQ(ini.ToBytes(), Utf16LeWithMark("[Main]\r\nA=0\r\n"));
}

TEST(IniFileFile, MissingFileCannotBeRead) {
    EXPECT_FALSE(IniFile::FromFile("/nonexistent-voralin-folder/Voralin.ini").has_value());
}

}  // namespace
