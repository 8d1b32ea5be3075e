#include "kvstcheck/baseline/BaselineFile.h"

#include <algorithm>
#include <cstdint>
#include <tuple>

#include <nlohmann/json.hpp>

namespace kvstcheck {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kGenerator = "kvstcheck baseline";

std::string Field(const Json& entry, const char* name, std::size_t number, bool required) {
    const auto found = entry.find(name);
    if (found == entry.end()) {
        if (!required) return {};
        throw BaselineError("entry " + std::to_string(number) + " has no \"" + name + "\"");
    }
    if (!found->is_string())
        throw BaselineError("entry " + std::to_string(number) + ": \"" + name + "\" is not a string");
    return found->get<std::string>();
}

BaselineEntry ReadEntry(const Json& entry, std::size_t number) {
    if (!entry.is_object()) throw BaselineError("entry " + std::to_string(number) + " is not an object");
    BaselineEntry read{Field(entry, "drawing", number, true), Field(entry, "kind", number, true),
                       Field(entry, "name", number, true), Field(entry, "rule", number, false), 1,
                       Field(entry, "comment", number, false)};
    if (const auto count = entry.find("count"); count != entry.end()) {
        // Beyond the findings any drawing can have (2^32 - 1 on every system).
        constexpr std::uint64_t kMostRepeats = 0xFFFFFFFFu;
        if (!count->is_number_unsigned() || count->get<std::uint64_t>() == 0 || count->get<std::uint64_t>() > kMostRepeats)
            throw BaselineError("entry " + std::to_string(number) + ": \"count\" is not a whole number from 1 to " +
                                std::to_string(kMostRepeats));
        read.count = static_cast<std::size_t>(count->get<std::uint64_t>());
    }
    return read;
}

Json Parse(std::string_view bytes) {
    try {
        return Json::parse(bytes.begin(), bytes.end());
    } catch (const Json::exception& error) {  // a syntax error, or a number beyond any type
        throw BaselineError(std::string("not JSON: ") + error.what());
    }
}

void CheckOurs(const Json& document) {
    if (!document.is_object() || document.value("generator", Json()) != kGenerator)
        throw BaselineError("not a kvstcheck baseline (no \"generator\": \"kvstcheck baseline\")");
    const auto version = document.find("schemaVersion");
    if (version == document.end() || !version->is_number_integer())
        throw BaselineError("no \"schemaVersion\" number");
    if (version->get<long long>() != kBaselineSchemaVersion)
        throw BaselineError("schema version " + version->dump() + ", and this kvstcheck reads version " +
                            std::to_string(kBaselineSchemaVersion));
    if (!document.contains("accepted") || !document["accepted"].is_array())
        throw BaselineError("no \"accepted\" list");
}

}  // namespace

std::vector<BaselineEntry> ParseBaseline(std::string_view bytes) {
    const Json document = Parse(bytes);
    CheckOurs(document);
    std::vector<BaselineEntry> entries;
    std::size_t number = 0;
    for (const Json& entry : document["accepted"]) entries.push_back(ReadEntry(entry, ++number));
    return entries;
}

std::string FormatBaseline(std::vector<BaselineEntry> entries) {
    // Every field written takes part in the order, so that entries of the same finding (a file edited
    // by hand may hold some) come out in the same order each time the file is written.
    std::sort(entries.begin(), entries.end(), [](const BaselineEntry& a, const BaselineEntry& b) {
        return std::tie(a.drawing, a.kind, a.name, a.rule, a.count, a.comment) <
               std::tie(b.drawing, b.kind, b.name, b.rule, b.count, b.comment);
    });
    std::string text = "{\n  \"generator\": \"" + std::string(kGenerator) +
                       "\",\n  \"schemaVersion\": " + std::to_string(kBaselineSchemaVersion) + ",\n  \"accepted\": [";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const BaselineEntry& entry = entries[i];
        const Json line = {{"drawing", entry.drawing}, {"kind", entry.kind},   {"name", entry.name},
                           {"rule", entry.rule},       {"count", entry.count}, {"comment", entry.comment}};
        text += (i > 0 ? ",\n    " : "\n    ") + line.dump(-1, ' ', false, Json::error_handler_t::replace);
    }
    return text + (entries.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

}  // namespace kvstcheck
