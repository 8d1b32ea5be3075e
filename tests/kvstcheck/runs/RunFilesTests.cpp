// What a run decides before it audits: where its outputs may go, and whether its text takes colours.
#include "kvstcheck/runs/RunFiles.h"

#include <gtest/gtest.h>

#include "kvstcheck/outputs/Registry.h"

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

void Ask(Options& options, const char* option, const wchar_t* path) {
    options.outputs.push_back({kvstcheck::FormatOfOption(option), path});
}

TEST(Outputs, AnOutputThatIsAnInputOrAnotherOutputIsRefused) {
    struct Case {
        void (*set)(Options&);
        const char* refusal;  // empty: accepted
    };
    const Case cases[] = {
        {[](Options& o) { Ask(o, "--csv", L"out.csv"), Ask(o, "--junit", L"out.xml"), Ask(o, "--write-baseline", L"b.json"); }, ""},
        {[](Options& o) { Ask(o, "--csv", L"Plans\\A.DXF"); }, "Plans\\A.DXF is a drawing of this run; it cannot also be the CSV file"},
        {[](Options& o) { Ask(o, "--junit", L"std.ini"); }, "std.ini is the standard file of this run; it cannot also be the JUnit file"},
        {[](Options& o) { Ask(o, "--csv", L"list.txt"); }, "list.txt is the list of files of this run; it cannot also be the CSV file"},
        {[](Options& o) { Ask(o, "--csv", L"r.csv"), Ask(o, "--junit", L".\\R.csv"); }, "r.csv cannot be both the CSV file and the JUnit file"},
        {[](Options& o) { o.baseline = L"b.json", Ask(o, "--csv", L"b.json"); }, "b.json is the baseline of this run; it cannot also be the CSV file"},
        {[](Options& o) { o.baseline = L"b.json", Ask(o, "--write-baseline", L"./b.json"); }, ""},
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
