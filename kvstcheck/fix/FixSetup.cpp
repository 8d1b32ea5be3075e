#include "kvstcheck/fix/FixSetup.h"

#include <algorithm>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/rules/RuleCheck.h"
#include "kvstcheck/rules/RulesFiles.h"
#include "kvstcheck/rules/RulesText.h"
#include "kvstcheck/standardtools/StandardReadiness.h"

namespace kvstcheck::fix {
namespace {

// Maps are lists of names; anything larger is not one.
constexpr std::size_t kLargestMap = 16u << 20;

std::string Describe(const Problems& problems) {
    std::string text;
    for (const rules::RulesProblem& problem : problems) text += (text.empty() ? "" : "\n") + problem.Describe();
    return text;
}

void ReadFixTables(const std::vector<std::wstring>& files, FixMap& map, Problems& problems) {
    for (const std::wstring& file : files) {
        const rules::FileBytes read = rules::ReadRulesFile(file);
        // As saved: UTF-8 with or without its byte order mark, or UTF-16 with its mark.
        const rules::DecodedText decoded = rules::DecodeText(read.bytes);
        if (read.error.empty() && decoded.text) AddRulesFixTables(*decoded.text, EncodeUtf8(file), map, problems);
    }
}

void ReadMaps(const std::vector<std::wstring>& files, FixMap& map, Problems& problems) {
    for (const std::wstring& file : files) {
        std::string error;
        const auto bytes = ReadSmallFile(file, kLargestMap, error);
        if (!bytes)
            problems.push_back({rules::LintRule::FixEntry, rules::Place{EncodeUtf8(file), 0, 0}, "the map cannot be read: " + error,
                                "check the path, and that no other program holds the file open"});
        else
            AddCsvMap(*bytes, EncodeUtf8(file), map, problems);
    }
}

}  // namespace

bool AllowsTarget(const LoadedStandard& standard, const std::optional<rules::RuleSet>& ruleSet, rules::NameKind kind,
                  std::u32string_view target) {
    const auto& names = standard.names[static_cast<std::size_t>(kind)];
    const std::wstring wide = ToWide(target);
    if (names && std::find(names->begin(), names->end(), wide) == names->end()) return false;
    return !ruleSet || PatternsAllow(*ruleSet, kind, target);
}

FixSetup LoadFixSetup(const FixOptions& options) {
    FixSetup setup;
    const std::wstring standardFile = FullPath(options.standard);
    if (KindOfPath(standardFile) != PathKind::File)
        throw FixSetupError("the standard file " + EncodeUtf8(options.standard) + " cannot be read");
    // A standard the plug-in checks nothing with would call every drawing fixed.
    if (const StandardReadiness readiness = ReadinessOf(standardFile); !readiness.checks)
        throw FixSetupError(NothingCheckedMessage(readiness, options.standard));
    setup.standard = LoadAsThePluginDoes(standardFile);
    try {
        if (!options.rules.empty()) setup.rules = rules::LoadRules(options.rules);
    } catch (const rules::RulesFileError& error) {
        throw FixSetupError(error.what());
    }
    Problems problems;
    ReadFixTables(options.rules, setup.map, problems);
    ReadMaps(options.maps, setup.map, problems);
    CheckMap(setup.map,
             [&](rules::NameKind kind, std::u32string_view target) {
                 return AllowsTarget(setup.standard, setup.rules, kind, target);
             },
             problems);
    if (!problems.empty()) throw FixSetupError(Describe(problems));
    return setup;
}

}  // namespace kvstcheck::fix
