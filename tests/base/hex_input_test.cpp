// SPDX-License-Identifier: GPL-3.0-or-later
// The Go To, Find and Fill fields of the desktop program: hex unless marked.
#include "base/hex_input.h"

#include <gtest/gtest.h>

#include "rom/buffer_ops.h"

namespace vexo {
namespace {

TEST(HexInput, NumbersAreHexUnlessMarkedDecimal)
{
    for (const char* text : {"4000", "0x4000", "0X4000", "4000h", "4000H", " 4000 ", "#16384", "d16384"}) {
        const Result<std::uint64_t> n = ParseHexNumber(text, 0xFFFFFF);
        ASSERT_TRUE(n.ok()) << text;
        EXPECT_EQ(*n, 0x4000u) << text;
    }
    EXPECT_EQ(*ParseHexNumber("ff", 0xFF, "byte"), 0xFFu);
    EXPECT_EQ(*ParseHexNumber("DEAD", 0xFFFFFF), 0xDEADu);  // a hex digit D, not the decimal mark
    EXPECT_EQ(*ParseHexNumber("0", 0xFFFFFF), 0u);
}

TEST(HexInput, BadNumbersNameTheFieldAndTheRange)
{
    for (const char* text : {"", "#", "0x", "h", "12g", "#12a", "1000000", "-1", "0x-1", "4000 1"})
        EXPECT_FALSE(ParseHexNumber(text, 0xFFFFFF).ok()) << text;
    const Result<std::uint64_t> byte = ParseHexNumber("100", 0xFF, "byte");
    ASSERT_FALSE(byte.ok());
    EXPECT_EQ(byte.message(), "Bad byte \"100\": give 0 .. FF (hexadecimal; #255 for decimal).");
}

TEST(HexInput, FindReadsEveryHexSpelling)
{
    const std::vector<std::uint8_t> deadbeef{0xDE, 0xAD, 0xBE, 0xEF};
    for (const char* text : {"DEADBEEF", "DE AD BE EF", "0xDE 0xAD 0xBE 0xEF", "de,ad,be,ef", "de, ad beef",
                             "DEh ADh BEh EFh", "0xDEADBEEF"}) {
        const Result<FindQuery> q = ParseFindQuery(text, FindMode::Auto);
        ASSERT_TRUE(q.ok()) << text;
        EXPECT_FALSE(q->text) << text;
        EXPECT_EQ(q->bytes, deadbeef) << text;
    }
    EXPECT_EQ(ParseFindQuery("DE AD", FindMode::Auto)->Describe(), "DE AD (read as hex bytes)");
}

TEST(HexInput, FindTextByQuotesModeOrWhatIsNotHex)
{
    const Result<FindQuery> quoted = ParseFindQuery("\"CAFE\"", FindMode::Auto);
    EXPECT_TRUE(quoted->text);
    EXPECT_EQ(quoted->bytes, (std::vector<std::uint8_t>{'C', 'A', 'F', 'E'}));
    const Result<FindQuery> asText = ParseFindQuery("CAFE", FindMode::Text, true);
    EXPECT_TRUE(asText->text);
    EXPECT_EQ(asText->bytes.size(), 4u);
    EXPECT_EQ(asText->Describe(), "\"CAFE\" (read as text, ignoring case)");
    EXPECT_TRUE(ParseFindQuery("Hello", FindMode::Auto)->text);
    EXPECT_TRUE(ParseFindQuery("ABC", FindMode::Auto)->text);  // odd digits are no bytes
    // Hex only: what is not hex is refused, not searched as text.
    EXPECT_FALSE(ParseFindQuery("Hello", FindMode::Hex).ok());
    EXPECT_FALSE(ParseFindQuery("\"AB\"", FindMode::Hex).ok());
    EXPECT_FALSE(ParseFindQuery("", FindMode::Text).ok());
    EXPECT_FALSE(ParseFindQuery("", FindMode::Auto).ok());
}

TEST(HexInput, FindIgnoringCaseMatchesLettersOnly)
{
    std::vector<std::uint8_t> buf(64, 0);
    const char text[] = "xxHeLLo";
    std::copy(text, text + 7, buf.begin() + 40);
    const std::vector<std::uint8_t> hello{'h', 'e', 'l', 'l', 'o'};
    EXPECT_FALSE(FindInBuffer(buf.data(), 64, hello, 0).has_value());
    EXPECT_EQ(FindInBuffer(buf.data(), 64, hello, 0, true), 42u);
    EXPECT_EQ(FindInBuffer(buf.data(), 64, hello, 43, true), 42u);  // round to the start
    // 0x41 'A' and 0x61 'a' match; 0x01 and 0x21 do not.
    buf[10] = 0x21;
    const std::vector<std::uint8_t> one{0x01};
    EXPECT_FALSE(FindInBuffer(buf.data(), 64, one, 0, true).has_value());
}

}  // namespace
}  // namespace vexo
