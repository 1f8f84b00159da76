// The receive filter and hex formatter, fed with bytes alone.
#include "serial/receive_filter.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace ventaro {
namespace {

struct Filtered {
    std::string display;  // up to the first zero, as readers take it
    std::string hex;
};

Filtered Filter(const std::vector<uint8_t>& bytes, bool hex, CaptureKind mode, int& column) {
    std::array<char, kDisplayTextSize> display{};
    std::array<char, kHexTextSize> hexText{};
    FilterBlock(bytes, hex, mode, column, display, hexText);
    return {std::string(display.data(), TextLength(display)),
            std::string(hexText.data(), TextLength(hexText))};
}

struct PlainCase {
    const char* name;
    std::vector<uint8_t> in;
    CaptureKind mode;
    std::string out;
};

class PlainText : public ::testing::TestWithParam<PlainCase> {};

TEST_P(PlainText, GivesTheTerminalText) {
    int column = 0;
    EXPECT_EQ(Filter(GetParam().in, false, GetParam().mode, column).display, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, PlainText,
    ::testing::Values(
        PlainCase{"CrLf", {'A', 0x0D, 0x0A, 'B'}, CaptureKind::Terminal, "A\r\nB"},
        PlainCase{"LoneLf", {'A', 0x0A, 'B'}, CaptureKind::Terminal, "AB"},
        PlainCase{"LoneCr", {'A', 0x0D, 'B'}, CaptureKind::Terminal, "A\r\nB"},
        PlainCase{"LfCr", {'A', 0x0A, 0x0D, 'B'}, CaptureKind::Terminal, "A\r\nB"},
        PlainCase{"DegreeInTerminal", {0xDF}, CaptureKind::Terminal, "\xDF"},
        PlainCase{"DegreeInProgram", {0xDF}, CaptureKind::ProgramCapture, "\xDF"},
        PlainCase{"DegreeInAscii", {0xDF, 0xB0}, CaptureKind::AsciiCapture, "\xB0\xB0"},
        PlainCase{"ZeroCutsTheBlock", {'A', 0x00, 'B'}, CaptureKind::Terminal, "A"},
        PlainCase{
            "HighAndControlBytesPass", {0x09, 0x80, 0xFF}, CaptureKind::Terminal, "\t\x80\xFF"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HexText, SixteenBytesMakeOneLine) {
    int column = 0;
    std::vector<uint8_t> bytes(17, 0xAB);
    bytes[0] = 0x01;
    auto out = Filter(bytes, true, CaptureKind::Terminal, column);
    std::string line = "[01]";
    for (int i = 1; i < 16; ++i) {
        line += "[AB]";
    }
    EXPECT_EQ(out.hex, line + "\r\n[AB]");
    EXPECT_EQ(column, 4);
}

TEST(HexText, ColumnCarriesAcrossBlocksAndViews) {
    int column = 0;
    Filter(std::vector<uint8_t>(10, 'x'), true, CaptureKind::Terminal, column);
    // A block in Normal view leaves the column alone.
    Filter(std::vector<uint8_t>(3, 'y'), false, CaptureKind::Terminal, column);
    EXPECT_EQ(column, 40);
    auto out = Filter(std::vector<uint8_t>(7, 0x00), true, CaptureKind::Terminal, column);
    EXPECT_EQ(out.hex, "[00][00][00][00][00][00]\r\n[00]");
}

TEST(HexText, ShowsWhatFollowsAZero) {
    int column = 0;
    auto out = Filter({'A', 0x00, 'B'}, true, CaptureKind::Terminal, column);
    EXPECT_EQ(out.hex, "[41][00][42]");
    EXPECT_EQ(out.display, "A");
}

TEST(Filter, ByteAtATimeEqualsOneBlock) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 300; ++i) {
        bytes.push_back(uint8_t((i * 37) % 256 == 0 ? 1 : (i * 37) % 256));
    }
    int whole = 0;
    auto block = Filter(bytes, true, CaptureKind::AsciiCapture, whole);
    int single = 0;
    Filtered pieces;
    for (uint8_t b : bytes) {
        auto one = Filter({b}, true, CaptureKind::AsciiCapture, single);
        pieces.display += one.display;
        pieces.hex += one.hex;
    }
    EXPECT_EQ(block.display, pieces.display);
    EXPECT_EQ(block.hex, pieces.hex);
    EXPECT_EQ(whole, single);
}

TEST(Filter, LargestBlockFitsAndSmallBuffersAreNeverOverrun) {
    std::vector<uint8_t> crs(kReadSize, 0x0D);
    int column = 0;
    auto out = Filter(crs, true, CaptureKind::Terminal, column);
    EXPECT_EQ(out.display.size(), 3200u);
    EXPECT_EQ(out.hex.size(), 6600u);

    std::array<char, 8> display{};
    std::array<char, 8> hex{};
    auto lengths = FilterBlock(crs, true, CaptureKind::Terminal, column, display, hex);
    EXPECT_EQ(lengths.displayLength, 7u);
    EXPECT_EQ(display[7], '\0');
    EXPECT_EQ(hex[7], '\0');
}

}  // namespace
}  // namespace ventaro
