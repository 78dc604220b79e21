// Loading, parsing and writing the trigger-string table.

#include "processing/ProcessingError.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace parlune::test {
namespace {

const std::string kMark = "\xEF\xBB\xBF";

struct ParsedEntry {
    std::int32_t id;
    LineList lines;
    bool operator==(const ParsedEntry&) const = default;
};

std::vector<ParsedEntry> entriesOf(const MapProcessor& processor) {
    std::vector<ParsedEntry> entries;
    for (const TWTSEntry& entry : processor.Entries)
        entries.push_back({entry.Id, entry.Lines});
    return entries;
}

// Loads and parses table; returns the failure message, empty on success.
std::string loadAndParse(RecordingProcessor& processor, const std::string& table) {
    processor.StringTableData = table;
    try {
        processor.LoadStringTable();
        processor.ParseStringTable();
    } catch (const ProcessingError& failure) {
        return failure.what();
    }
    return {};
}

struct TableCase {
    const char* name;
    std::string table;
    std::vector<ParsedEntry> expected;
};

class ParseTable : public testing::TestWithParam<TableCase> {};

TEST_P(ParseTable, GivesTheEntries) {
    RecordingProcessor processor;
    ASSERT_EQ(loadAndParse(processor, GetParam().table), "");
    EXPECT_EQ(entriesOf(processor), GetParam().expected);
    EXPECT_TRUE(processor.StringTableLines.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Tables, ParseTable,
    testing::Values(
        TableCase{"Plain", kMark + "STRING 1\r\n{\r\nFootman\r\n}\r\n", {{1, {"Footman"}}}},
        TableCase{"CommentsBeforeBrace",
                  kMark + "STRING 3\r\n// Units: Footman (Name)\r\n// more\r\n{\r\nA\r\n}\r\n",
                  {{3, {"A"}}}},
        TableCase{"EntryWithoutLines", kMark + "STRING 2\r\n{\r\n}\r\n", {{2, {}}}},
        TableCase{"EarlyClosingLine",
                  kMark + "STRING 1\r\n{\r\nfirst\r\n}second\r\nthird\r\n}\r\n",
                  {{1, {"first"}}}},
        TableCase{"ClosingLineHoldsNextHeader",
                  kMark + "STRING 1\r\n{\r\nx\r\n}STRING 2\r\n{\r\ny\r\n}\r\n",
                  {{1, {"x"}}, {2, {"y"}}}},
        TableCase{"DuplicateNumbersKeptInOrder",
                  kMark + "STRING 4\r\n{\r\nfirst\r\n}\r\nSTRING 4\r\n{\r\nsecond\r\n}\r\n",
                  {{4, {"first"}}, {4, {"second"}}}},
        TableCase{"LineFeedEnds",
                  kMark + "STRING 1\n{\nline one\nline two\n}\n",
                  {{1, {"line one", "line two"}}}},
        TableCase{"LoneCarriageReturnEnds", kMark + "STRING 1\r{\rtext\r}\r", {{1, {"text"}}}},
        TableCase{"EmptyTextLinesKept", kMark + "STRING 1\r\n{\r\n\r\n\r\n}\r\n", {{1, {"", ""}}}},
        TableCase{"HighBytesUnchanged",
                  kMark + "STRING 1\r\n{\r\n\xC3\xA4\xFF\x80\r\n}\r\n",
                  {{1, {"\xC3\xA4\xFF\x80"}}}},
        TableCase{"NegativeNumber", kMark + "STRING -5\r\n{\r\n}\r\n", {{-5, {}}}},
        TableCase{"DollarHexNumber", kMark + "STRING $1F\r\n{\r\n}\r\n", {{31, {}}}},
        TableCase{"ZeroPaddedNumber", kMark + "STRING 007\r\n{\r\n}\r\n", {{7, {}}}},
        TableCase{"ZeroXHexNumber", kMark + "STRING 0x1f\r\n{\r\n}\r\n", {{31, {}}}},
        TableCase{
            "HexAboveSignedRangeIsNegative", kMark + "STRING $FFFFFFFF\r\n{\r\n}\r\n", {{-1, {}}}},
        TableCase{"LargestDecimal", kMark + "STRING 2147483647\r\n{\r\n}\r\n", {{2147483647, {}}}},
        TableCase{
            "SmallestDecimal", kMark + "STRING -2147483648\r\n{\r\n}\r\n", {{-2147483647 - 1, {}}}},
        TableCase{"LeadingSpacesSkipped", kMark + "STRING   12\r\n{\r\n}\r\n", {{12, {}}}},
        TableCase{"OneByteBeforeHeader", kMark + "xSTRING 9\r\n{\r\n}\r\n", {{9, {}}}},
        TableCase{"TableWithoutMark", "STRING 1\r\n{\r\nkept\r\n}\r\n", {{1, {"kept"}}}},
        TableCase{"LinesButNoHeader", kMark + "// nothing here\r\n\r\n", {}}),
    [](const testing::TestParamInfo<TableCase>& info) { return info.param.name; });

struct FailureCase {
    const char* name;
    std::string table;
    std::string message;
};

class RejectTable : public testing::TestWithParam<FailureCase> {};

TEST_P(RejectTable, FailsWithTheMessage) {
    RecordingProcessor processor;
    EXPECT_EQ(loadAndParse(processor, GetParam().table), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, RejectTable,
    testing::Values(FailureCase{"NulFirst", std::string(1, '\0') + "STRING 1\r\n",
                                "Listenindex überschreitet das Maximum (0)"},
                    // Strings behind a NUL byte would be lost to the run.
                    FailureCase{"NulLater",
                                kMark + "STRING 1\r\n{\r\na\r\n}\r\n" + std::string(1, '\0') +
                                    "STRING 2\r\n{\r\nb\r\n}\r\n",
                                "war3map.wts is damaged: NUL byte at byte 22"},
                    FailureCase{"TrailingSpace", kMark + "STRING 1 \r\n{\r\n}\r\n",
                                "'1 ' ist kein gültiger Integerwert"},
                    FailureCase{"TwoBytesBeforeHeader", kMark + "//STRING 1\r\n{\r\n}\r\n",
                                "'G 1' ist kein gültiger Integerwert"},
                    FailureCase{"DecimalOutOfRange", kMark + "STRING 2147483648\r\n{\r\n}\r\n",
                                "'2147483648' ist kein gültiger Integerwert"},
                    FailureCase{"HexOutOfRange", kMark + "STRING $100000000\r\n{\r\n}\r\n",
                                "'$100000000' ist kein gültiger Integerwert"},
                    FailureCase{"NoNumber", kMark + "STRING \r\n{\r\n}\r\n",
                                "'' ist kein gültiger Integerwert"},
                    FailureCase{"EndsBeforeOpeningBrace", kMark + "STRING 1\r\n// comment\r\n",
                                "Listenindex überschreitet das Maximum (2)"},
                    FailureCase{"EndsBeforeClosingBrace",
                                kMark + "STRING 1\r\n{\r\ntext\r\nmore\r\n",
                                "Listenindex überschreitet das Maximum (4)"},
                    FailureCase{"SecondEntryUnclosed",
                                kMark + "STRING 1\r\n{\r\n}\r\nSTRING 2\r\n{\r\n",
                                "Listenindex überschreitet das Maximum (5)"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

struct IntegerCase {
    const char* text;
    std::int32_t value;
};

TEST(StrToInt, AcceptsDecimalAndHexadecimalForms) {
    const IntegerCase cases[] = {
        {"0", 0},
        {"+7", 7},
        {"-0", 0},
        {"  42", 42},
        {"0000000000012", 12},
        {"$7FFFFFFF", 2147483647},
        {"$80000000", -2147483647 - 1},
        {"x10", 16},
        {"X10", 16},
        {"0X10", 16},
        {"-$1", -1},
        {"-$FFFFFFFF", 1},
        {"$0000000000ff", 255},
        {"+$a", 10},
    };
    for (const IntegerCase& c : cases)
        EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
}

TEST(StrToInt, RejectsEverythingElse) {
    for (const char* text : {"", " ", "-", "$", "0x", "00x1", "1 ", "\t1", "1a", "$G", "--1",
                             "2147483648", "-2147483649", "99999999999999999999", "x-1"}) {
        try {
            StrToInt(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const ProcessingError& failure) {
            EXPECT_EQ(failure.what(), "'" + std::string(text) + "' ist kein gültiger Integerwert");
        }
    }
}

TEST(SplitLines, HandlesEveryLineEnd) {
    EXPECT_EQ(SplitLines(""), LineList{});
    EXPECT_EQ(SplitLines("a"), LineList{"a"});
    EXPECT_EQ(SplitLines("a\r\n"), LineList{"a"});
    EXPECT_EQ(SplitLines("\r\n"), LineList{""});
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (LineList{"a", ""}));
    EXPECT_EQ(SplitLines("a\n\rb"), (LineList{"a", "", "b"}));
    EXPECT_EQ(SplitLines("a\r\rb\n"), (LineList{"a", "", "b"}));
    EXPECT_EQ(SplitLines(std::string("a\r\0\nb", 5)), LineList{"a"});
    EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
    EXPECT_EQ(JoinLines({}), "");
}

TEST(LoadStringTable, RemovesOnlyARealByteOrderMark) {
    RecordingProcessor withMark;
    withMark.StringTableData = kMark + "abc\r\nSTRING 1";
    withMark.LoadStringTable();
    EXPECT_EQ(withMark.StringTableLines, (LineList{"abc", "STRING 1"}));

    RecordingProcessor withoutMark;
    withoutMark.StringTableData = "STRING 1\r\n{";
    withoutMark.LoadStringTable();
    EXPECT_EQ(withoutMark.StringTableLines, (LineList{"STRING 1", "{"}));
    EXPECT_EQ(withoutMark.Transcript(), "Loading war3map.wts...\n     2 lines loaded\n");
}

TEST(WriteStringTable, WritesTheCanonicalForm) {
    RecordingProcessor processor;
    processor.Entries = {{1, {"Footman"}}, {2, {}}, {-5, {"a", "\xE4"}}};
    processor.WriteStringTable();
    EXPECT_EQ(processor.StringTableData,
              kMark + "STRING 1\r\n{\r\nFootman\r\n}\r\n\r\nSTRING 2\r\n{\r\n}\r\n\r\n"
                      "STRING -5\r\n{\r\na\r\n\xE4\r\n}\r\n\r\n");
    EXPECT_EQ(processor.Transcript(), "Writing new war3map.wts...\n     Done\n");
}

TEST(WriteStringTable, EmptiesTheBufferWhenNoStringsRemain) {
    RecordingProcessor processor;
    processor.StringTableData = "old contents";
    processor.WriteStringTable();
    EXPECT_EQ(processor.StringTableData, "");
    EXPECT_EQ(processor.Transcript(), "Writing new war3map.wts...\n     No strings to write\n");
}

TEST(StringTable, DebugOutputNamesEveryString) {
    RecordingProcessor processor;
    processor.verbose = true;
    ASSERT_EQ(
        loadAndParse(processor, kMark + "STRING 007\r\n{\r\n}\r\nSTRING 3\r\n{\r\nx\r\n}\r\n"), "");
    processor.WriteStringTable();
    EXPECT_EQ(processor.Transcript(), "Loading war3map.wts...\n"
                                      "     7 lines loaded\n"
                                      "Parsing war3map.wts...\n"
                                      "          Found string 7\n"
                                      "          Found string 3\n"
                                      "     2 strings found\n"
                                      "Writing new war3map.wts...\n"
                                      "          Added string 7\n"
                                      "          Added string 3\n"
                                      "     Done\n");
}

TEST(StringTable, RoundTripKeepsTheEntries) {
    const std::string table = "STRING 10\n// c\n{\nline\n\xFE\n}\nnoise\r\nSTRING $20\r{\r}\r"
                              "STRING 10\r\n{\r\n\"q\" \\\r\n}\r\n";
    RecordingProcessor first;
    ASSERT_EQ(loadAndParse(first, table), "");
    first.WriteStringTable();

    RecordingProcessor second;
    ASSERT_EQ(loadAndParse(second, first.StringTableData), "");
    EXPECT_EQ(entriesOf(second), entriesOf(first));
    second.WriteStringTable();
    EXPECT_EQ(second.StringTableData, first.StringTableData);
    EXPECT_TRUE(second.StringTableData.starts_with(kMark));
}

} // namespace
} // namespace parlune::test
