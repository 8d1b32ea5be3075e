#include "kvstcheck/CommandLine.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using kvstcheck::ParseCommandLine;

TEST(CommandLine, DrawingsAndOptionsInAnyLanguage) {
    const auto parsed = ParseCommandLine({"kvstcheck", "--standard", "C:\\\xE6\xA0\x87\xE5\x87\x86.ini", "a.dxf",
                                          "\xE5\x9B\xBE.json", "--json", "--plugin=D:\\p.dll", "--html",
                                          "\xE6\x8A\xA5\xE5\x91\x8A.html"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->drawings, (std::vector<std::wstring>{L"a.dxf", L"\u56FE.json"}));
    EXPECT_EQ(parsed.options->standard, L"C:\\\u6807\u51C6.ini");
    EXPECT_EQ(parsed.options->plugin, L"D:\\p.dll");
    EXPECT_EQ(kvstcheck::OutputPath(*parsed.options, "--html"), L"\u62A5\u544A.html");
    EXPECT_TRUE(parsed.options->json);
}

TEST(CommandLine, RulesFilesLayerInTheOrderGiven) {
    const auto parsed = ParseCommandLine({"kvstcheck", "--rules", "office.toml", "a.dxf", "--rules=project.toml", "b.json"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->rules, (std::vector<std::wstring>{L"office.toml", L"project.toml"}));
    EXPECT_EQ(parsed.options->drawings, (std::vector<std::wstring>{L"a.dxf", L"b.json"}));
}

TEST(CommandLine, DefaultsAreTheInstalledPluginAndText) {
    const auto parsed = ParseCommandLine({"kvstcheck", "--", "-odd name.dxf"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->drawings, std::vector<std::wstring>{L"-odd name.dxf"});
    EXPECT_TRUE(parsed.options->standard.empty());
    EXPECT_TRUE(parsed.options->plugin.empty());
    EXPECT_TRUE(kvstcheck::OutputPath(*parsed.options, "--html").empty());
    EXPECT_FALSE(parsed.options->json);
}

TEST(CommandLine, TheStandardFileTools) {
    const auto lint = ParseCommandLine({"kvstcheck", "lint", "--json", "\xE6\xA0\x87\xE5\x87\x86.ini"});
    ASSERT_TRUE(lint.options);
    EXPECT_EQ(lint.options->command, kvstcheck::Command::Lint);
    EXPECT_EQ(lint.options->standard, L"\u6807\u51C6.ini");
    EXPECT_TRUE(lint.options->json);

    const auto made = ParseCommandLine({"kvstcheck", "make-standard", "a.dxf", "b.json", "-o", "out.ini", "--force"});
    ASSERT_TRUE(made.options);
    EXPECT_EQ(made.options->command, kvstcheck::Command::MakeStandard);
    EXPECT_EQ(made.options->drawings, (std::vector<std::wstring>{L"a.dxf", L"b.json"}));
    EXPECT_EQ(made.options->output, L"out.ini");
    EXPECT_TRUE(made.options->force);

    const auto defaults = ParseCommandLine({"kvstcheck", "make-standard", "a.dxf"});
    ASSERT_TRUE(defaults.options);
    EXPECT_EQ(defaults.options->output, L"KVStPluginDefault.ini");
    EXPECT_FALSE(defaults.options->force);

    const auto audit = ParseCommandLine({"kvstcheck", "a.dxf"});
    ASSERT_TRUE(audit.options);
    EXPECT_EQ(audit.options->command, kvstcheck::Command::Audit);
}

TEST(CommandLine, JobsFromOneToSixtyFourDefaultingToOnePerProcessor) {
    struct Case {
        std::vector<std::string> arguments;
        std::optional<unsigned> jobs;  // nothing: refused
        const char* refusal;           // what the refusal says, beside the option's name
    };
    const char* const kRange = "a whole number from 1 to 64, not \"";
    const Case cases[] = {
        {{"kvstcheck", "a.dxf"}, 0u, ""},
        {{"kvstcheck", "--jobs", "1", "a.dxf"}, 1u, ""},
        {{"kvstcheck", "--jobs=64", "a.dxf"}, 64u, ""},
        {{"kvstcheck", "a.dxf", "--jobs", "3"}, 3u, ""},
        {{"kvstcheck", "--jobs", "0", "a.dxf"}, std::nullopt, kRange},
        {{"kvstcheck", "--jobs", "65", "a.dxf"}, std::nullopt, kRange},
        {{"kvstcheck", "--jobs", "-2", "a.dxf"}, std::nullopt, kRange},
        {{"kvstcheck", "--jobs", "two", "a.dxf"}, std::nullopt, kRange},
        {{"kvstcheck", "--jobs", "abc", "a.dxf"}, std::nullopt, "not \"abc\""},
        {{"kvstcheck", "--jobs", "4294967297", "a.dxf"}, std::nullopt, kRange},
        {{"kvstcheck", "--jobs", "2.5", "a.dxf"}, std::nullopt, kRange},
        {{"kvstcheck", "a.dxf", "--jobs"}, std::nullopt, ""},
    };
    for (const auto& [arguments, jobs, refusal] : cases) {
        const auto parsed = ParseCommandLine(arguments);
        std::string label;
        for (const std::string& argument : arguments) label += argument + " ";
        if (!jobs) {
            EXPECT_FALSE(parsed.options) << label;
            EXPECT_EQ(parsed.exitStatus, 2) << label;
            EXPECT_NE(parsed.error.find("--jobs"), std::string::npos) << label << ": " << parsed.error;
            EXPECT_NE(parsed.error.find(refusal), std::string::npos) << label << ": " << parsed.error;
            // A word that is no number is not "out of range".
            EXPECT_EQ(parsed.error.find("not in range"), std::string::npos) << label << ": " << parsed.error;
            continue;
        }
        ASSERT_TRUE(parsed.options) << label << ": " << parsed.error;
        EXPECT_EQ(parsed.options->jobs, *jobs) << label;
        EXPECT_EQ(parsed.options->drawings, std::vector<std::wstring>{L"a.dxf"}) << label;
    }
}

// Linux paths through the launcher begin with '/': they are drawings and files, never options.
TEST(CommandLine, PathsFromTheRootAreNoOptions) {
    const auto parsed = ParseCommandLine({"kvstcheck", "--standard", "/home/s.ini", "/home/a.dxf", "--html", "/tmp/r.html",
                                          "--force"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->drawings, std::vector<std::wstring>{L"/home/a.dxf"});
    EXPECT_EQ(parsed.options->standard, L"/home/s.ini");
    EXPECT_EQ(kvstcheck::OutputPath(*parsed.options, "--html"), L"/tmp/r.html");
    EXPECT_TRUE(parsed.options->force);
    const auto lint = ParseCommandLine({"kvstcheck", "lint", "/home/s.ini"});
    ASSERT_TRUE(lint.options) << lint.error;
    EXPECT_EQ(lint.options->standard, L"/home/s.ini");
}

TEST(CommandLine, LintTakesFilesOrTheInstalledOnes) {
    struct Case {
        std::vector<std::string> arguments;
        bool parses;
        std::vector<std::wstring> standards;
        bool allNames;
    };
    const Case cases[] = {
        {{"kvstcheck", "lint", "--installed"}, true, {}, false},
        {{"kvstcheck", "lint", "--installed", "--json"}, true, {}, false},
        {{"kvstcheck", "lint", "a.ini"}, true, {L"a.ini"}, false},
        {{"kvstcheck", "lint", "a.ini", "b.ini", "c.toml"}, true, {L"a.ini", L"b.ini", L"c.toml"}, false},
        {{"kvstcheck", "lint", "--all-names", "a.ini"}, true, {L"a.ini"}, true},
        {{"kvstcheck", "lint"}, false, {}, false},
        {{"kvstcheck", "lint", "--installed", "a.ini"}, false, {}, false},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseCommandLine(c.arguments);
        EXPECT_EQ(parsed.options.has_value(), c.parses) << c.arguments.size() << " " << c.arguments.back();
        if (!c.parses) {
            EXPECT_EQ(parsed.exitStatus, 2);
            continue;
        }
        EXPECT_EQ(parsed.options->standards, c.standards) << c.arguments.back();
        EXPECT_EQ(parsed.options->standard, c.standards.empty() ? L"" : c.standards.front()) << c.arguments.back();
        EXPECT_EQ(parsed.options->allNames, c.allNames) << c.arguments.back();
    }
    EXPECT_TRUE(ParseCommandLine({"kvstcheck", "lint", "--installed"}).options->installed);
    EXPECT_FALSE(ParseCommandLine({"kvstcheck", "lint", "a.ini"}).options->installed);
}

TEST(CommandLine, HelpEndsTheRunWithSuccess) {
    const auto parsed = ParseCommandLine({"kvstcheck", "--help"});
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.exitStatus, 0);
    EXPECT_NE(parsed.output.find("--standard"), std::string::npos);
}

TEST(CommandLine, ReportsBaselinesListsAndExclusions) {
    const auto parsed = ParseCommandLine({"kvstcheck", "--csv", "r.csv", "--junit", "r.xml", "--baseline", "b.json",
                                          "--write-baseline", "\xE6\x96\xB0.json", "--exclude", "old/**", "plans",
                                          "--exclude", "*.bak.dxf", "-q", "--color", "always", "--files-from", "-"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    const kvstcheck::Options& options = *parsed.options;
    EXPECT_EQ(kvstcheck::OutputPath(options, "--csv"), L"r.csv");
    EXPECT_EQ(kvstcheck::OutputPath(options, "--junit"), L"r.xml");
    EXPECT_EQ(options.baseline, L"b.json");
    EXPECT_EQ(kvstcheck::OutputPath(options, "--write-baseline"), L"\u65B0.json");
    EXPECT_EQ(options.filesFrom, L"-");
    // Each --exclude takes one pattern: "plans" after it is a drawing.
    EXPECT_EQ(options.drawings, std::vector<std::wstring>{L"plans"});
    ASSERT_EQ(options.excludes.size(), 2u);
    EXPECT_TRUE(options.excludes[0].Matches(L"old/a.dxf"));
    EXPECT_TRUE(options.excludes[1].Matches(L"x.bak.dxf"));
    EXPECT_TRUE(options.quiet);
    EXPECT_EQ(options.colour, kvstcheck::ColourChoice::Always);

    const auto listOnly = ParseCommandLine({"kvstcheck", "--files-from", "list.txt"});
    ASSERT_TRUE(listOnly.options);
    EXPECT_TRUE(listOnly.options->drawings.empty());
    EXPECT_EQ(listOnly.options->colour, kvstcheck::ColourChoice::Auto);
    EXPECT_FALSE(listOnly.options->quiet);
}

TEST(CommandLine, VersionNeedsNoDrawings) {
    const auto parsed = ParseCommandLine({"kvstcheck", "--version", "--plugin", "p.dll"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->command, kvstcheck::Command::Version);
    EXPECT_EQ(parsed.options->plugin, L"p.dll");
}

TEST(CommandLine, HelpForEachCommand) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"kvstcheck", "help"}, "--write-baseline"},
        {{"kvstcheck", "help", "lint"}, "Explains a standard file"},
        {{"kvstcheck", "lint", "--help"}, "Explains a standard file"},
        {{"kvstcheck", "help", "make-standard"}, "--output"},
        {{"kvstcheck", "make-standard", "-h"}, "--output"},
    };
    for (const auto& [arguments, text] : cases) {
        const auto parsed = ParseCommandLine(arguments);
        EXPECT_FALSE(parsed.options);
        EXPECT_EQ(parsed.exitStatus, 0);
        EXPECT_NE(parsed.output.find(text), std::string::npos) << arguments.back() << "\n" << parsed.output;
        EXPECT_EQ(parsed.error, "");
    }
}

// The help lists every command of the table, each with its summary, and explains each one.
TEST(CommandLine, HelpListsEveryCommandOfTheTable) {
    const std::string help = ParseCommandLine({"kvstcheck", "--help"}).output;
    std::size_t previous = 0;
    for (const kvstcheck::CommandName& name : kvstcheck::kCommandNames) {
        const std::string word(name.word);
        const std::size_t listed = help.find("  " + word + " ");
        ASSERT_NE(listed, std::string::npos) << word << "\n" << help;
        // In the table's order, with the summary's first words beside the word.
        EXPECT_GT(listed, previous) << word;
        previous = listed;
        EXPECT_NE(help.find(std::string(name.summary.substr(0, 30)), listed), std::string::npos) << word << "\n" << help;

        const auto explained = ParseCommandLine({"kvstcheck", "help", word});
        EXPECT_EQ(explained.exitStatus, 0) << word << explained.error;
        EXPECT_EQ(explained.error, "") << word;
        if (name.command == kvstcheck::Command::Fix) {
            // The fix command explains itself from its own options.
            ASSERT_TRUE(explained.options) << word;
            EXPECT_EQ(explained.options->arguments, (std::vector<std::string>{"kvstcheck", "fix", "--help"}));
        } else {
            EXPECT_NE(explained.output.find("Usage: kvstcheck " + word), std::string::npos) << explained.output;
        }
    }
}

TEST(CommandLine, OnlyTheWordFixFirstChoosesTheFixCommand) {
    const auto chosen = ParseCommandLine({"kvstcheck.exe", "fix", "--standard", "s.ini", "a.dxf"});
    ASSERT_TRUE(chosen.options);
    EXPECT_EQ(chosen.options->command, kvstcheck::Command::Fix);
    EXPECT_EQ(chosen.options->arguments, (std::vector<std::string>{"kvstcheck.exe", "fix", "--standard", "s.ini", "a.dxf"}));
    const auto drawing = ParseCommandLine({"kvstcheck.exe", "fix.dxf"});
    ASSERT_TRUE(drawing.options) << drawing.error;
    EXPECT_EQ(drawing.options->command, kvstcheck::Command::Audit);
    // Nothing can come before the word: the audit's options are not the fix's.
    for (const std::vector<std::string>& late : {std::vector<std::string>{"kvstcheck.exe", "--json", "fix", "a.dxf"},
                                                 std::vector<std::string>{"kvstcheck.exe", "a.dxf", "fix"}}) {
        const auto parsed = ParseCommandLine(late);
        EXPECT_FALSE(parsed.options) << late[1];
        EXPECT_EQ(parsed.exitStatus, 2) << late[1];
        EXPECT_NE(parsed.error.find("the word fix comes first"), std::string::npos) << parsed.error;
    }
}

TEST(CommandLine, EveryLineOfAUsageErrorIsTheTools) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"kvstcheck", "--exclude", "[a", "x.dxf"}, "kvstcheck: --exclude: \"[a\": the [ at character 1 has no closing ]\n"},
        {{"kvstcheck", "--color", "blue", "x.dxf"}, "kvstcheck: --color: "},
        {{"kvstcheck", "help", "audit"}, "kvstcheck: "},
        {{"kvstcheck", "lint", "a.ini", "--bogus"}, "kvstcheck: "},
    };
    for (const auto& [arguments, start] : cases) {
        const auto parsed = ParseCommandLine(arguments);
        EXPECT_FALSE(parsed.options);
        EXPECT_EQ(parsed.exitStatus, 2);
        EXPECT_EQ(parsed.error.substr(0, std::string(start).size()), start) << parsed.error;
        std::size_t lines = 0;
        for (std::size_t at = 0; at < parsed.error.size(); at = parsed.error.find('\n', at) + 1, ++lines)
            EXPECT_EQ(parsed.error.compare(at, 11, "kvstcheck: "), 0) << parsed.error;
        EXPECT_GE(lines, 2u);
    }
    EXPECT_NE(ParseCommandLine({"kvstcheck", "lint", "--bogus", "a.ini"}).error.find("kvstcheck help lint"), std::string::npos);
}

TEST(CommandLine, UsageErrorsEndTheRunWithStatus2) {
    const std::vector<std::vector<std::string>> cases = {
        {"kvstcheck"}, {"kvstcheck", "--standard"}, {"kvstcheck", "--colour", "a.dxf"}, {"kvstcheck", "--json"},
        {"kvstcheck", "a.dxf", "--html"}, {"kvstcheck", "lint"}, {"kvstcheck", "lint", "--all-names"},
        {"kvstcheck", "make-standard"}, {"kvstcheck", "make-standard", "a.dxf", "-o"}};
    for (const auto& arguments : cases) {
        const auto parsed = ParseCommandLine(arguments);
        EXPECT_FALSE(parsed.options) << arguments.size();
        EXPECT_EQ(parsed.exitStatus, 2);
        EXPECT_FALSE(parsed.error.empty());
    }
}

}  // namespace
