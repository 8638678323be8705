#include "settings/item_reader.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace varnox::settings {
namespace {

using namespace std::string_literals;
using Items = std::vector<std::string>;

struct ItemCase {
    const char* name;
    std::string text;
    Items items;
};

void PrintTo(const ItemCase& c, std::ostream* os) {
    *os << c.name;
}

class ItemReaderCases : public testing::TestWithParam<ItemCase> {};

TEST_P(ItemReaderCases, ReadsTheItems) {
    EXPECT_EQ(readItems(GetParam().text), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    Items, ItemReaderCases,
    testing::Values(
        ItemCase{"Empty", "", {}}, ItemCase{"OnlyBlanksAndLineEnds", " \r\n\t\n\r\n  ", {}},
        ItemCase{"WrittenRecord", "\"UTpath:\",\"/games/ut\"\r\n", {"UTpath:", "/games/ut"}},
        ItemCase{"EmptyQuotedItems", "\"Password:\",\"\"\r\n", {"Password:", ""}},
        ItemCase{"QuotedHoldsCommas", "\"a,b\",c", {"a,b", "c"}},
        ItemCase{"QuotedHoldsLineEnds", "\"a\r\nb\nc\",d", {"a\r\nb\nc", "d"}},
        ItemCase{"QuotedKeepsBlanks", " \" a \" ,\t\"b\t\"", {" a ", "b\t"}},
        ItemCase{"BlanksBeforeItemsSkipped", "  a,\t b\r\n   c", {"a", "b", "c"}},
        ItemCase{"TrailingBlanksOfPlainItemDropped", "a  \t,b \r\nc\t", {"a", "b", "c"}},
        ItemCase{"InnerBlanksOfPlainItemKept", "Log: a  b ,c", {"Log: a  b", "c"}},
        ItemCase{"TextAfterClosingQuoteIgnored", "\"a\"xyz,\"b\" q\"r\r\nc", {"a", "b", "c"}},
        ItemCase{"UnterminatedQuoteRunsToTheEnd", "x,\"a,b\r\nc", {"x", "a,b\r\nc"}},
        ItemCase{"QuoteInsidePlainItemIsOrdinary", "ab\"c,d", {"ab\"c", "d"}},
        ItemCase{"AllThreeLineEnds", "a\nb\rc\r\nd", {"a", "b", "c", "d"}},
        ItemCase{"LfCrIsTwoLineEnds", "a\n\rb", {"a", "b"}},
        ItemCase{"BlankLinesSkipped", "a\r\n\r\n  \r\n\tb\r\n\r\n", {"a", "b"}},
        ItemCase{"CommaAtEndPromisesAnItem", "a,", {"a", ""}},
        ItemCase{"CommaBeforeLineEndPromisesAnItem", "a, \r\nb", {"a", "", "b"}},
        ItemCase{"CommasOnly", ",,", {"", "", ""}},
        ItemCase{"NulIsOrdinary", "a\0b,\"c\0\"\0\r\nd"s, {"a\0b"s, "c\0"s, "d"}},
        ItemCase{"ByteOrderMarkAtStartSkipped", "\xEF\xBB\xBF\"a\",b", {"a", "b"}},
        ItemCase{"ByteOrderMarkElsewhereKept", "a,\xEF\xBB\xBF b", {"a", "\xEF\xBB\xBF b"}},
        ItemCase{"EightBitBytesKept", "\"Caf\xE9\",\xFF", {"Caf\xE9", "\xFF"}}),
    [](const testing::TestParamInfo<ItemCase>& info) { return std::string(info.param.name); });

TEST(ItemReader, NextPastTheEndGivesEmptyItems) {
    ItemReader reader("a\r\n\r\n");
    EXPECT_FALSE(reader.atEnd());
    EXPECT_EQ(reader.next(), "a");
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(reader.next(), "");
    EXPECT_EQ(reader.next(), "");
    EXPECT_TRUE(reader.atEnd());
}

TEST(ItemReader, TrailingCommaKeepsTheReaderOpenForOneEmptyItem) {
    ItemReader reader("a,");
    EXPECT_EQ(reader.next(), "a");
    EXPECT_FALSE(reader.atEnd());
    EXPECT_EQ(reader.next(), "");
    EXPECT_TRUE(reader.atEnd());
}

// The game tool's log is read with the same reader; the compress command looks for the
// items that begin with "Log: Compr".
TEST(ItemReader, ReadsToolLogText) {
    const std::string log =
        "Log: Log file open, 12/06/26 19:09:59\r\n"
        "Init: Name subsystem initialized\r\n"
        "\r\n"
        "Log: Compressed /a/b.unr -> /a/b.unr.uz (41%)\r\n"
        "Log: Compressed /c/My Map, final.unr -> /c/My Map, final.unr.uz (7%)\r\n"
        "Log: \"quoted, with comma\" and more\r\n"
        "\"Log: Compressed quoted, kept whole\" tail\n"
        "Exit: Log file closed, 12/06/26 19:10:00\r\n";
    const Items expected{
        "Log: Log file open",
        "12/06/26 19:09:59",
        "Init: Name subsystem initialized",
        "Log: Compressed /a/b.unr -> /a/b.unr.uz (41%)",
        "Log: Compressed /c/My Map",
        "final.unr -> /c/My Map",
        "final.unr.uz (7%)",
        "Log: \"quoted",
        "with comma\" and more",
        "Log: Compressed quoted, kept whole",
        "Exit: Log file closed",
        "12/06/26 19:10:00",
    };
    EXPECT_EQ(readItems(log), expected);
}

}  // namespace
}  // namespace varnox::settings
