#include <algorithm>
#include <array>
#include <cstdlib>
#include <unordered_set>

#include <nlohmann/json.hpp>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/fix/References.h"
#include "kvstcheck/fix/Rewrite.h"
#include "kvstcheck/readers/JsonDrawingReader.h"

namespace kvstcheck::fix {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::array<const char*, kFixKindCount> kKeys = {"Layers", "Linetypes", "TextStyles", "DimStyles"};

// An element of a list: a name, or a layer given as an object with its name.
Json& NameOf(Json& element) { return element.is_object() ? element["name"] : element; }

class JsonFixer {
public:
    JsonFixer(const TextCodec& codec, const FixRequest& request) : codec_(codec), request_(request) {}

    RewriteAccount Fix(Json& drawing) {
        if (drawing.contains(kKeys[0])) layerLists_.push_back(&drawing[kKeys[0]]);
        for (std::size_t kind = 0; kind < kFixKindCount; ++kind)
            if (drawing.contains(kKeys[kind])) FixList(drawing[kKeys[kind]], kind);
        if (drawing.contains(kKeys[0])) SetProperties(drawing);
        return std::move(account_);
    }

private:
    std::wstring Folded(const Json& name) const { return codec_.FoldCase(Utf8ToWide(name.get<std::string>())); }

    void FixList(Json& list, std::size_t kind) {
        const bool asked = !request_.renames[kind].empty() || (kind == 0 && !request_.layerProperties.empty());
        std::unordered_set<std::wstring> names;
        for (Json& element : list)
            if (!names.insert(Folded(NameOf(element))).second && asked && !account_.refusal)
                account_.refusal = Refusal{"the " + std::string(KindWord(static_cast<FixKind>(kind))) +
                                           " list has two names equal but for letter case", 0};
        if (account_.refusal && !request_.force) return;
        account_.forced = account_.forced || account_.refusal.has_value();
        std::unordered_set<std::wstring> taken = names;
        for (const auto& [from, to] : request_.renames[kind]) Rename(list, kind, from, to, taken);
    }

    void Rename(Json& list, std::size_t kind, const std::wstring& from, const std::wstring& to,
                std::unordered_set<std::wstring>& taken) {
        const std::wstring foldedFrom = codec_.FoldCase(from), foldedTo = codec_.FoldCase(to);
        const auto found = std::find_if(list.begin(), list.end(), [&](Json& e) { return Folded(NameOf(e)) == foldedFrom; });
        if (found == list.end()) return;
        const std::wstring spelled = Utf8ToWide(NameOf(*found).get<std::string>());
        const std::string what = "the " + std::string(KindWord(static_cast<FixKind>(kind))) + " \"" + WideToUtf8(spelled) + "\"";
        if (IsReservedName(foldedFrom)) return account_.left.push_back({0, what, "a reserved name is never renamed"});
        if (spelled.find(L'|') != std::wstring::npos)
            return account_.left.push_back({0, what, "it comes from an external reference"});
        const bool merge = foldedTo != foldedFrom && taken.contains(foldedTo);
        if (merge)
            list.erase(found);
        else
            NameOf(*found) = WideToUtf8(to);
        taken.insert(foldedTo);
        std::size_t references = 0;
        if (kind == 1) references = RenameLayerLinetypes(foldedFrom, to);
        account_.renames.push_back({static_cast<FixKind>(kind), spelled, to, merge, references, {}, true});
        account_.changed = true;
    }

    std::size_t RenameLayerLinetypes(const std::wstring& foldedFrom, const std::wstring& to) {
        std::size_t count = 0;
        for (Json* layers : layerLists_)
            for (Json& layer : *layers)
                if (layer.is_object() && layer.contains("linetype") && Folded(layer["linetype"]) == foldedFrom) {
                    layer["linetype"] = WideToUtf8(to);
                    ++count;
                }
        return count;
    }

    void SetProperties(Json& drawing);

    const TextCodec& codec_;
    const FixRequest& request_;
    RewriteAccount account_;
    std::vector<Json*> layerLists_;
};

void JsonFixer::SetProperties(Json& drawing) {
    if (account_.refusal && !request_.force) return;
    Json& layers = drawing[kKeys[0]];
    for (const auto& [name, change] : request_.layerProperties) {
        const std::wstring folded = codec_.FoldCase(name);
        const auto found = std::find_if(layers.begin(), layers.end(), [&](Json& e) { return Folded(NameOf(e)) == folded; });
        if (found == layers.end()) continue;
        Json& layer = *found;
        if (!layer.is_object()) layer = Json{{"name", layer}};
        const std::wstring spelled = Utf8ToWide(layer["name"].get<std::string>());
        LayerChange done;
        if (change.color) {
            const bool off = layer.contains("color") && layer["color"].get<int>() < 0;
            const int color = off ? -std::abs(*change.color) : std::abs(*change.color);
            if (!layer.contains("color") || layer["color"] != color) layer["color"] = color, done.color = std::abs(*change.color);
        }
        if (change.linetype) {
            const Json* linetypes = drawing.contains(kKeys[1]) ? &drawing[kKeys[1]] : nullptr;
            const std::wstring wanted = codec_.FoldCase(*change.linetype);
            const auto defined = linetypes ? std::find_if(linetypes->begin(), linetypes->end(),
                                                          [&](const Json& e) { return Folded(e) == wanted; })
                                           : Json::const_iterator();
            if (linetypes == nullptr || defined == linetypes->end())
                account_.left.push_back({0, "the layer \"" + WideToUtf8(spelled) + "\"",
                                         "the drawing defines no linetype \"" + WideToUtf8(*change.linetype) + "\""});
            else if (!layer.contains("linetype") || layer["linetype"] != *defined)
                layer["linetype"] = *defined, done.linetype = Utf8ToWide(defined->get<std::string>());
        }
        if (change.lineweight && (!layer.contains("lineweight") || layer["lineweight"] != *change.lineweight))
            layer["lineweight"] = *change.lineweight, done.lineweight = change.lineweight;
        if (change.plot && (!layer.contains("plot") || layer["plot"] != *change.plot))
            layer["plot"] = *change.plot, done.plot = change.plot;
        if (done == LayerChange{}) continue;
        account_.properties.emplace_back(spelled, std::move(done));
        account_.changed = true;
    }
}

}  // namespace

RewriteAccount RewriteJsonDrawing(std::string_view in, std::string& out, const TextCodec& codec, const FixRequest& request) {
    ReadJsonDrawing(in);  // the reader's checks and messages, with their lines
    Json drawing = Json::parse(in);
    RewriteAccount account = JsonFixer(codec, request).Fix(drawing);
    out.clear();
    if (account.refusal && !account.forced) return account;
    out = account.changed ? drawing.dump(2) + "\n" : std::string(in);
    return account;
}

}  // namespace kvstcheck::fix
