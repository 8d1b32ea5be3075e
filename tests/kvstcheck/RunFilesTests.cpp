// What a run decides before it audits: where its outputs may go, and whether its text takes colours.
#include "kvstcheck/runs/RunFiles.h"

#include <gtest/gtest.h>

namespace {

using kvstcheck::ColourChoice;
using kvstcheck::Options;

TEST(Colour, OnAConsoleUnlessAskedOtherwise) {
    struct Case {
        ColourChoice choice;
        bool console;
        bool noColour;
        bool colour;
    };
    const Case cases[] = {
        {ColourChoice::Auto, true, false, true},    {ColourChoice::Auto, false, false, false},
        {ColourChoice::Auto, true, true, false},    {ColourChoice::Always, false, false, true},
        {ColourChoice::Always, true, true, true},   {ColourChoice::Never, true, false, false},
        {ColourChoice::Never, false, true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kvstcheck::ChoosesColour(c.choice, c.console, c.noColour), c.colour)
            << static_cast<int>(c.choice) << c.console << c.noColour;
}

TEST(Outputs, AnOutputThatIsAnInputOrAnotherOutputIsRefused) {
    struct Case {
        void (*set)(Options&);
        const char* refusal;  // empty: accepted
    };
    const Case cases[] = {
        {[](Options& o) { o.csv = L"out.csv", o.junit = L"out.xml", o.writeBaseline = L"b.json"; }, ""},
        {[](Options& o) { o.csv = L"Plans\\A.DXF"; }, "Plans\\A.DXF is a drawing of this run; it cannot also be the CSV file"},
        {[](Options& o) { o.junit = L"std.ini"; }, "std.ini is the standard file of this run; it cannot also be the JUnit file"},
        {[](Options& o) { o.csv = L"list.txt"; }, "list.txt is the list of files of this run; it cannot also be the CSV file"},
        {[](Options& o) { o.csv = L"r.csv", o.junit = L".\\R.csv"; }, "r.csv cannot be both the CSV file and the JUnit file"},
        {[](Options& o) { o.baseline = L"b.json", o.csv = L"b.json"; }, "b.json is the baseline of this run; it cannot also be the CSV file"},
        {[](Options& o) { o.baseline = L"b.json", o.writeBaseline = L"./b.json"; }, ""},
    };
    for (const Case& c : cases) {
        Options options;
        options.drawings = {L"plans/a.dxf", L"site.json"};
        options.standard = L"std.ini";
        options.filesFrom = L"list.txt";
        c.set(options);
        EXPECT_EQ(kvstcheck::RefusedOutput(options), c.refusal);
    }
}

}  // namespace
