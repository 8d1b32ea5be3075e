// The progress line's decision and text; a console under Wine is checked end to end.
#include "kvstcheck/reports/Progress.h"

#include <gtest/gtest.h>

namespace {

using kvstcheck::FormatDuration;
using kvstcheck::FormatProgress;
using kvstcheck::ShowsProgress;

// A run of a few drawings has a line too (it shows once the run is slow).
TEST(Progress, OnlyOnAConsoleWithoutJson) {
    struct Case {
        bool console;
        bool json;
        std::size_t drawings;
        bool shown;
    };
    const Case cases[] = {{true, false, kvstcheck::kFewDrawings + 1, true}, {true, false, 1000, true},
                          {true, false, kvstcheck::kFewDrawings, true},     {true, false, 1, true},
                          {true, false, 0, false},
                          {false, false, 1000, false},                      {true, true, 1000, false}};
    for (const Case& c : cases)
        EXPECT_EQ(ShowsProgress(c.console, c.json, c.drawings), c.shown) << c.console << c.json << c.drawings;
}

TEST(Progress, DurationsRoundUpToWholeSeconds) {
    const std::pair<double, const char*> cases[] = {{0, "0 s"},         {0.2, "1 s"},         {59, "59 s"},
                                                    {60, "1 min 00 s"}, {125.5, "2 min 06 s"}, {3599, "59 min 59 s"},
                                                    {3600, "1 h 00 min"}, {7384, "2 h 03 min"}, {-3, "0 s"}};
    for (const auto& [seconds, text] : cases) EXPECT_EQ(FormatDuration(seconds), text) << seconds;
}

TEST(Progress, TheLineCountsEstimatesAndKeepsTheFileName) {
    EXPECT_EQ(FormatProgress(0, 1000, L"a\\b.dxf", 0.0, 79), L"0 of 1000 drawings: a\\b.dxf");
    // 10 drawings in 5 s: 990 more take 495 s.
    EXPECT_EQ(FormatProgress(10, 1000, L"a\\b.dxf", 5.0, 79), L"10 of 1000 drawings, 8 min 15 s left: a\\b.dxf");
    const std::wstring deep = L"projects\\tower\\levels\\03\\\u529E\u516C\u5BA4-plan.dxf";
    const std::wstring line = FormatProgress(3, 9, deep, 3.0, 40);
    EXPECT_EQ(line.size(), 40u);
    EXPECT_EQ(line, L"3 of 9 drawings, 6 s left: ...\u5BA4-plan.dxf");
    EXPECT_EQ(FormatProgress(3, 9, deep, 3.0, 20), L"3 of 9 drawings, 6 s");
}

TEST(Progress, AStepWithinTheDrawingFollowsTheCounts) {
    const struct {
        std::size_t done, total, width;
        double elapsed;
        const char* step;
        const wchar_t* line;
    } cases[] = {
        {0, 1, 79, 3.0, "hints for 4000 of 100000 findings", L"0 of 1 drawings, hints for 4000 of 100000 findings: p.dxf"},
        {1, 3, 79, 2.0, "hints for 1000 of 2000 findings", L"1 of 3 drawings, 4 s left, hints for 1000 of 2000 findings: p.dxf"},
        {0, 1, 30, 3.0, "hints for 4000 of 100000 findings", L"0 of 1 drawings, hints for 400"},
        {0, 1, 79, 3.0, "", L"0 of 1 drawings: p.dxf"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatProgress(c.done, c.total, L"p.dxf", c.elapsed, c.width, c.step), c.line) << c.step;
}

TEST(Progress, APathShowsNothingThatMovesTheCursor) {
    EXPECT_EQ(FormatProgress(0, 9, L"a\r\x1B[2Jb.dxf", 0.0, 79), L"0 of 9 drawings: a<U+000D><U+001B>[2Jb.dxf");
    // A cut path never starts inside the notation.
    const std::wstring path = L"x\n\u202E.dxf";  // shown as x<U+000A><U+202E>.dxf
    EXPECT_EQ(FormatProgress(0, 9, path, 0.0, 32), L"0 of 9 drawings: ...<U+202E>.dxf");
    for (std::size_t width = 17 + 4; width < 17 + 21; ++width) {
        const std::wstring shown = FormatProgress(0, 9, path, 0.0, width).substr(17 + 3);
        EXPECT_TRUE(std::wstring_view(L".dxf").ends_with(shown) || shown.starts_with(L"<U+") || shown.starts_with(L"x"))
            << width;
    }
}

TEST(Progress, ACutPathNeverStartsInsideACharacterPair) {
    const std::wstring path = std::wstring(L"abc") + L"\U0001F600" + L"d.dxf";  // a pair of UTF-16 units
    const std::wstring prefix = L"0 of 9 drawings: ";
    for (std::size_t width = prefix.size() + 4; width < prefix.size() + path.size(); ++width) {
        const std::wstring line = FormatProgress(0, 9, path, 0.0, width);
        EXPECT_LE(line.size(), width);
        const std::wstring shown = line.substr(prefix.size() + 3);
        ASSERT_FALSE(shown.empty()) << width;
        EXPECT_NE(shown.front() & 0xFC00, 0xDC00) << width;
    }
}

}  // namespace
