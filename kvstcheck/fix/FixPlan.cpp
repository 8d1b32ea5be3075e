#include "kvstcheck/fix/FixPlan.h"

#include <array>

#include <nlohmann/json.hpp>

namespace kvstcheck::fix {
namespace {

using Json = nlohmann::ordered_json;
using rules::NameKind;

constexpr std::array<std::string_view, 3> kSourceKeys = {"map", "letter-case", "invisible"};

template <class T>
void PutOptional(Json& json, const char* key, const std::optional<T>& value) {
    if (value) json[key] = *value;
}

template <class T>
std::optional<T> GetOptional(const Json& json, const char* key) {
    if (!json.contains(key)) return std::nullopt;
    return json.at(key).get<T>();
}

NameKind KindOfKey(const std::string& key) {
    for (const NameKind kind : rules::kKinds)
        if (rules::SectionOf(kind) == key) return kind;
    throw PlanError("unknown kind \"" + key + "\"");
}

RenameSource SourceOfKey(const std::string& key) {
    for (std::size_t i = 0; i < kSourceKeys.size(); ++i)
        if (kSourceKeys[i] == key) return static_cast<RenameSource>(i);
    throw PlanError("unknown rename source \"" + key + "\"");
}

Json LeftToJson(const std::vector<PlannedLeft>& places) {
    Json list = Json::array();
    for (const PlannedLeft& left : places) list.push_back({{"line", left.line}, {"what", left.what}, {"reason", left.reason}});
    return list;
}

std::vector<PlannedLeft> LeftFromJson(const Json& list) {
    std::vector<PlannedLeft> places;
    for (const Json& left : list)
        places.push_back({left.at("line").get<std::size_t>(), left.at("what").get<std::string>(),
                          left.at("reason").get<std::string>()});
    return places;
}

Json UnmappedToJson(const std::vector<LeftName>& names) {
    Json list = Json::array();
    for (const LeftName& name : names) {
        Json entry = {{"kind", name.kind}, {"name", name.name}};
        if (!name.message.empty()) entry["message"] = name.message;
        list.push_back(std::move(entry));
    }
    return list;
}

std::vector<LeftName> UnmappedFromJson(const Json& list) {
    std::vector<LeftName> names;
    for (const Json& name : list)
        names.push_back({name.at("kind").get<std::string>(), name.at("name").get<std::string>(),
                         name.value("message", std::string())});
    return names;
}

void PutText(Json& json, const char* key, const std::string& text) {
    if (!text.empty()) json[key] = text;
}

Json DrawingToJson(const DrawingPlan& drawing) {
    Json json = {{"path", drawing.path}, {"below", drawing.below}, {"sha256", drawing.sha256}, {"renames", Json::array()},
                 {"properties", Json::array()}};
    for (const PlannedRename& rename : drawing.renames)
        json["renames"].push_back({{"kind", rules::SectionOf(rename.kind)}, {"from", rename.from}, {"to", rename.to},
                                   {"source", KeyOf(rename.source)}, {"merge", rename.merge},
                                   {"references", rename.references}});
    for (const PlannedProperties& layer : drawing.properties) {
        Json properties = {{"layer", layer.layer}};
        PutOptional(properties, "color", layer.color);
        PutOptional(properties, "linetype", layer.linetype);
        PutOptional(properties, "lineweight", layer.lineweight);
        PutOptional(properties, "plot", layer.plot);
        json["properties"].push_back(std::move(properties));
    }
    json["left"] = LeftToJson(drawing.left);
    json["unmapped"] = UnmappedToJson(drawing.unmapped);
    PutText(json, "refusal", drawing.refusal);
    PutText(json, "forcedOver", drawing.forcedOver);
    PutText(json, "written", drawing.written);
    PutText(json, "backup", drawing.backup);
    PutText(json, "error", drawing.error);
    return json;
}

DrawingPlan DrawingFromJson(const Json& json) {
    DrawingPlan drawing;
    drawing.path = json.at("path").get<std::string>();
    drawing.below = json.at("below").get<std::string>();
    drawing.sha256 = json.at("sha256").get<std::string>();
    if (drawing.sha256.size() != 64 || drawing.sha256.find_first_not_of("0123456789abcdef") != std::string::npos)
        throw PlanError("the SHA-256 of " + drawing.path + " is not 64 lower-case hex digits");
    for (const Json& rename : json.at("renames"))
        drawing.renames.push_back({KindOfKey(rename.at("kind").get<std::string>()), rename.at("from").get<std::string>(),
                                   rename.at("to").get<std::string>(), SourceOfKey(rename.at("source").get<std::string>()),
                                   rename.at("merge").get<bool>(), rename.at("references").get<std::size_t>()});
    for (const Json& layer : json.at("properties"))
        drawing.properties.push_back({layer.at("layer").get<std::string>(), GetOptional<int>(layer, "color"),
                                      GetOptional<std::string>(layer, "linetype"), GetOptional<int>(layer, "lineweight"),
                                      GetOptional<bool>(layer, "plot")});
    drawing.left = LeftFromJson(json.at("left"));
    drawing.unmapped = UnmappedFromJson(json.at("unmapped"));
    drawing.refusal = json.value("refusal", std::string());
    drawing.forcedOver = json.value("forcedOver", std::string());
    return drawing;
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string CsvRow(std::initializer_list<std::string_view> fields) {
    std::string row;
    for (const std::string_view field : fields) row += (row.empty() ? "" : ",") + CsvField(field);
    return row + "\r\n";
}

}  // namespace

std::string_view KeyOf(RenameSource source) { return kSourceKeys[static_cast<std::size_t>(source)]; }

std::string PlanToJson(const FixPlan& plan) {
    Json json = {{"schemaVersion", kFixPlanSchemaVersion},
                 {"standard", {{"path", plan.standard}, {"sha256", plan.standardSha256}}},
                 {"drawings", Json::array()}};
    for (const DrawingPlan& drawing : plan.drawings) json["drawings"].push_back(DrawingToJson(drawing));
    return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

FixPlan PlanFromJson(std::string_view text) {
    const Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object()) throw PlanError("not a JSON document");
    try {
        if (json.value("schemaVersion", 0) != kFixPlanSchemaVersion)
            throw PlanError("schemaVersion is not " + std::to_string(kFixPlanSchemaVersion) + ": not a plan this kvstcheck wrote");
        FixPlan plan;
        plan.standard = json.at("standard").at("path").get<std::string>();
        plan.standardSha256 = json.at("standard").at("sha256").get<std::string>();
        for (const Json& drawing : json.at("drawings")) plan.drawings.push_back(DrawingFromJson(drawing));
        return plan;
    } catch (const nlohmann::json::exception& error) {
        throw PlanError(std::string("a field is missing or of another type (") + error.what() + ")");
    }
}

std::string FormatPlan(const DrawingPlan& plan) {
    // A refused drawing stays as it is: its reason is the whole story.
    if (!plan.refusal.empty()) return plan.path + ": refused, left as it is: " + plan.refusal + "\n";
    std::string text = plan.path + "\n";
    for (const PlannedRename& rename : plan.renames)
        text += "  " + std::string(rules::WordOf(rename.kind)) + " \"" + rename.from + "\" -> \"" + rename.to + "\"" +
                (rename.merge ? " (merged)" : "") + ": " + std::to_string(rename.references) + " references" +
                (rename.source == RenameSource::Map ? "" : " [" + std::string(KeyOf(rename.source)) + "]") + "\n";
    for (const PlannedProperties& layer : plan.properties) {
        text += "  layer \"" + layer.layer + "\" properties:";
        if (layer.color) text += " color " + std::to_string(*layer.color);
        if (layer.linetype) text += " linetype " + *layer.linetype;
        if (layer.lineweight) text += " lineweight " + std::to_string(*layer.lineweight);
        if (layer.plot) text += *layer.plot ? " plotted" : " not plotted";
        text += "\n";
    }
    for (const PlannedLeft& left : plan.left)
        text += "  left at line " + std::to_string(left.line) + ", " + left.what + ": " + left.reason + "\n";
    for (const LeftName& name : plan.unmapped)
        text += "  still a finding: " + (name.message.empty() ? name.kind + " \"" + name.name + "\": nothing maps it" : name.message) + "\n";
    if (plan.refusal.empty() && !plan.Changes()) text += "  nothing to change\n";
    if (!plan.forcedOver.empty()) text += "  changed as --force asked, although: " + plan.forcedOver + "\n";
    if (!plan.written.empty()) text += "  written: " + plan.written + "\n";
    if (!plan.backup.empty()) text += "  backup: " + plan.backup + "\n";
    if (!plan.error.empty()) text += "  not kept: " + plan.error + "\n";
    return text;
}

std::string PlanToCsv(const FixPlan& plan) {
    std::string csv = CsvRow({"drawing", "action", "kind", "from", "to", "references", "reason"});
    for (const DrawingPlan& drawing : plan.drawings) {
        if (!drawing.refusal.empty()) csv += CsvRow({drawing.path, "refused", "", "", "", "", drawing.refusal});
        if (!drawing.error.empty()) csv += CsvRow({drawing.path, "not kept", "", "", "", "", drawing.error});
        for (const PlannedRename& rename : drawing.renames)
            csv += CsvRow({drawing.path, rename.merge ? "merge" : "rename", rules::SectionOf(rename.kind), rename.from,
                           rename.to, std::to_string(rename.references), KeyOf(rename.source)});
        for (const PlannedProperties& layer : drawing.properties)
            csv += CsvRow({drawing.path, "properties", "layers", layer.layer, "", "", ""});
        for (const PlannedLeft& left : drawing.left)
            csv += CsvRow({drawing.path, "left", "", left.what, "", "", "line " + std::to_string(left.line) + ": " + left.reason});
        for (const LeftName& name : drawing.unmapped)
            csv += CsvRow({drawing.path, "unmapped", name.kind, name.name, "", "", name.message});
    }
    return csv;
}

}  // namespace kvstcheck::fix
