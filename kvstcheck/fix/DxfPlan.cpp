#include "kvstcheck/fix/DxfPlan.h"

#include <algorithm>
#include <memory>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/fix/PairStream.h"
#include "kvstcheck/fix/References.h"

namespace kvstcheck::fix {
namespace {

// A place that names an old name without being the kind's reference; judged once the renames are known.
struct Candidate {
    std::wstring folded;
    FixKind kind;  // of the reference it is, when role is Reference or EntryName
    PlaceMeaning meaning;
    std::string what;
    std::size_t line;
};
// Enough places to show a user; more are counted, not kept, so memory stays bounded.
constexpr std::size_t kMostCandidates = 1000;

struct HandleReference {
    std::string handle;
    std::string what;
    std::size_t line;
    std::string table;  // when it stands in a TABLE head: the table's, which the rewrite mends
};

struct Entry {
    std::wstring spelled, folded;
    std::string handle;
    long long flags = 0;
    std::size_t line = 0;
    std::optional<long long> color, lineweight, plot;
    std::optional<std::wstring> linetype;
};

std::string Utf8(std::wstring_view text) { return WideToUtf8(text); }

std::string Describe(const RawPair& pair, const UnitPlace& place) {
    const std::string where = place.section.empty() ? std::string("between sections") : "in " + std::string(place.section);
    return "group " + std::to_string(pair.code) + " of " + std::string(place.type.empty() ? "a pair" : place.type) + " " +
           where;
}

// The entries of the four tables, with what a plan needs of them.
class EntryTables {
public:
    explicit EntryTables(const DrawingText& text) : text_(text) {}

    void Read(const Unit& unit) {
        const auto kind = KindOfTable(unit.place().table);
        const RawPair* name = unit.Find(2);
        if (!kind || name == nullptr) return;
        Entry entry;
        entry.spelled = text_.Decode(name->value()).value_or(L"");
        entry.folded = text_.Fold(entry.spelled);
        entry.handle = unit.Handle();
        entry.line = name->line;
        long long number = 0;
        if (const RawPair* flags = unit.Find(70); flags && ParseDxfInt(flags->value(), number)) entry.flags = number;
        if (*kind == FixKind::Layers) {
            for (const auto& [code, target] : {std::pair{62, &entry.color}, {370, &entry.lineweight}, {290, &entry.plot}})
                if (const RawPair* pair = unit.Find(code); pair && ParseDxfInt(pair->value(), number)) *target = number;
            if (const RawPair* linetype = unit.Find(6)) entry.linetype = text_.Decode(linetype->value());
        }
        index_[KindIndex(*kind)].emplace(entry.folded, entries_[KindIndex(*kind)].size());
        entries_[KindIndex(*kind)].push_back(std::move(entry));
    }

    // The first entry of that name.
    const Entry* Find(std::size_t kind, const std::wstring& folded) const {
        const auto found = index_[kind].find(folded);
        return found == index_[kind].end() ? nullptr : &entries_[kind][found->second];
    }

    const std::vector<Entry>& entries(std::size_t kind) const { return entries_[kind]; }

private:
    const DrawingText& text_;
    std::array<std::vector<Entry>, kFixKindCount> entries_;
    std::array<std::unordered_map<std::wstring, std::size_t>, kFixKindCount> index_;
};

class Planner {
public:
    Planner(const TextCodec& codec, const FixRequest& request) : text_(codec), request_(request) {
        for (std::size_t kind = 0; kind < kFixKindCount; ++kind)
            for (const auto& [from, to] : request.renames[kind]) watched_[kind].insert(codec.FoldCase(from));
        anyWatched_ = std::any_of(watched_.begin(), watched_.end(), [](const auto& names) { return !names.empty(); });
    }

    RewriteAccount Plan(DxfBytes& in) {
        UnitReader reader(in);
        if (reader.binary()) {
            account_.refusal = Refusal{std::string(kBinaryRefusal), 0};
            return account_;
        }
        Unit unit;
        while (reader.Next(unit)) Read(unit);
        if (!resolved_) Resolve();
        // References after the tables are counted after the renames were decided.
        for (Rename& rename : account_.renames) rename.references = references_[KindIndex(rename.kind)][text_.Fold(rename.from)];
        Judge();
        return std::move(account_);
    }

private:
    void Read(const Unit& unit) {
        const UnitPlace& place = unit.place();
        if (place.type == "SECTION" && place.section == "HEADER") text_.ReadHeader(unit);
        if (place.tableEntry()) tables_.Read(unit);
        ForEachPair(unit, [&](const RawPair& pair, std::size_t, const PairContext& context) {
            if (IsHandleCode(pair.code)) return NoteHandle(pair, place);
            const PlaceMeaning meaning = MeaningOf(context, pair.code);
            if (meaning.role != PlaceRole::NoName) NoteName(pair, place, meaning);
        });
        if (place.type == "ENDSEC" && place.section == "TABLES") Resolve();
    }

    void NoteHandle(const RawPair& pair, const UnitPlace& place) {
        if (resolved_ && !anyMerged_) return;  // no handle can be a merged entry's
        HandleReference reference{std::string(pair.keyword()), std::string(place.type), pair.line,
                                  std::string(place.tableHead() ? place.table : std::string_view())};
        if (!resolved_) {
            pending_.push_back(std::move(reference));
            return;
        }
        CheckHandle(reference);
    }

    void CheckHandle(const HandleReference& reference) {
        for (std::size_t kind = 0; kind < kFixKindCount; ++kind) {
            const auto found = mergedHandles_[kind].find(reference.handle);
            if (found == mergedHandles_[kind].end() || reference.table == TableOf(static_cast<FixKind>(kind))) continue;
            const Rename& rename = account_.renames[found->second];
            Refuse(false, reference.line,
                   "the " + std::string(KindWord(rename.kind)) + " \"" + Utf8(rename.from) + "\" cannot be merged into \"" +
                       Utf8(rename.to) + "\": a " + reference.what + " refers to it by its handle " + reference.handle);
        }
    }

    void NoteName(const RawPair& pair, const UnitPlace& place, const PlaceMeaning& meaning) {
        if (!anyWatched_ || !text_.Folded(pair.value(), folded_) || !IsWatched(folded_)) return;
        const std::wstring* folded = &folded_;
        if (meaning.role == PlaceRole::Reference && watched_[KindIndex(meaning.kind)].contains(*folded))
            ++references_[KindIndex(meaning.kind)][*folded];
        if (meaning.role == PlaceRole::EntryName && watched_[KindIndex(meaning.kind)].contains(*folded)) return;
        if (meaning.role == PlaceRole::Reference && watched_[KindIndex(meaning.kind)].contains(*folded)) return;
        if (candidates_.size() == kMostCandidates) {
            ++candidatesDropped_;
            return;
        }
        candidates_.push_back({*folded, meaning.kind, meaning, Describe(pair, place), pair.line});
    }

    bool IsWatched(const std::wstring& folded) const {
        return std::any_of(watched_.begin(), watched_.end(), [&](const auto& names) { return names.contains(folded); });
    }

    // A forceable refusal is for places the fix cannot account for; the others would damage the drawing.
    void Refuse(bool forceable, std::size_t line, std::string reason) {
        if (!forceable) {
            if (!hardRefusal_) account_.refusal = Refusal{std::move(reason), line};
            hardRefusal_ = true;
            return;
        }
        if (request_.force) account_.forced = true;
        if (!account_.refusal) account_.refusal = Refusal{std::move(reason), line};
    }

    const Entry* FindEntry(std::size_t kind, const std::wstring& folded) const { return tables_.Find(kind, folded); }

    void Resolve();
    void ResolveKind(std::size_t kind);
    void CheckCaseTwins(std::size_t kind);
    void PlanProperties();
    void Judge();
    void Leave(std::size_t line, std::string what, std::string reason) {
        account_.left.push_back({line, std::move(what), std::move(reason)});
    }

    DrawingText text_;
    const FixRequest& request_;
    RewriteAccount account_;
    std::array<std::unordered_set<std::wstring>, kFixKindCount> watched_;
    std::array<std::unordered_map<std::wstring, std::size_t>, kFixKindCount> references_;
    EntryTables tables_{text_};
    std::array<std::unordered_map<std::string, std::size_t>, kFixKindCount> mergedHandles_;
    std::vector<HandleReference> pending_;
    std::vector<Candidate> candidates_;
    std::wstring folded_;  // the value being looked at
    std::size_t candidatesDropped_ = 0;
    bool anyWatched_ = false;
    bool resolved_ = false;
    bool anyMerged_ = false;  // an entry with a handle is merged away
    bool hardRefusal_ = false;
};

void Planner::Resolve() {
    resolved_ = true;
    for (std::size_t kind = 0; kind < kFixKindCount; ++kind) {
        if (!request_.renames[kind].empty() || (kind == 0 && !request_.layerProperties.empty())) CheckCaseTwins(kind);
        ResolveKind(kind);
    }
    PlanProperties();
    anyMerged_ = std::any_of(mergedHandles_.begin(), mergedHandles_.end(), [](const auto& handles) { return !handles.empty(); });
    for (const HandleReference& reference : pending_) CheckHandle(reference);
    pending_.clear();
    pending_.shrink_to_fit();
}

void Planner::CheckCaseTwins(std::size_t kind) {
    std::unordered_map<std::wstring, const Entry*> seen;
    for (const Entry& entry : tables_.entries(kind)) {
        const auto [found, added] = seen.emplace(entry.folded, &entry);
        if (added) continue;
        Refuse(true, entry.line,
               "the " + std::string(KindWord(static_cast<FixKind>(kind))) + " table has two entries equal but for letter case: \"" +
                   Utf8(found->second->spelled) + "\" and \"" + Utf8(entry.spelled) + "\"");
        return;
    }
}

void Planner::ResolveKind(std::size_t kind) {
    const auto fixKind = static_cast<FixKind>(kind);
    const std::string word(KindWord(fixKind));
    std::unordered_set<std::wstring> targets;  // folded names that renamed entries now bear
    std::unordered_set<std::wstring> renamedEntries;  // folded names of entries the request renames
    for (const auto& [from, to] : request_.renames[kind])
        if (const std::wstring folded = text_.Fold(from); FindEntry(kind, folded) != nullptr) renamedEntries.insert(folded);
    for (const auto& [from, to] : request_.renames[kind]) {
        const std::wstring foldedFrom = text_.Fold(from), foldedTo = text_.Fold(to);
        const Entry* entry = FindEntry(kind, foldedFrom);
        const auto counted = references_[kind].find(foldedFrom);
        const std::size_t references = counted == references_[kind].end() ? 0 : counted->second;
        if (entry == nullptr && references == 0) continue;
        const std::wstring spelled = entry ? entry->spelled : from;
        const std::size_t line = entry ? entry->line : 0;
        const std::string what = "the " + word + " \"" + Utf8(spelled) + "\"";
        if (IsReservedName(foldedFrom)) {
            Leave(line, what, "a reserved name is never renamed");
            continue;
        }
        if (spelled.find(L'|') != std::wstring::npos || (entry && (entry->flags & kDependentFlag))) {
            Leave(line, what, "it comes from an external reference");
            continue;
        }
        if (foldedTo != foldedFrom && renamedEntries.contains(foldedTo)) Refuse(false, line, what + " is to be renamed to \"" + Utf8(to) + "\", which is itself renamed");
        if (text_.version() > 0 && text_.version() <= kLastR12Version && !FitsR12(to))
            Refuse(false, line, "\"" + Utf8(to) + "\" is not a name an R12 drawing allows (up to 31 letters, digits, $, - and _)");
        if (to.empty() || std::any_of(to.begin(), to.end(), [](wchar_t c) { return c < L' '; }))
            Refuse(false, line, what + " cannot be renamed to \"" + Utf8(to) + "\": a name holds no line end or control character");
        else if (!text_.Encode(to))
            Refuse(false, line, "\"" + Utf8(to) + "\" cannot be written in this drawing's code page");
        const bool merge = foldedTo != foldedFrom && (FindEntry(kind, foldedTo) != nullptr || targets.contains(foldedTo));
        targets.insert(foldedTo);
        account_.renames.push_back(
            Rename{fixKind, spelled, to, merge, references, entry ? entry->handle : std::string(), entry != nullptr});
        if (merge && entry && !entry->handle.empty()) mergedHandles_[kind][entry->handle] = account_.renames.size() - 1;
    }
}

void Planner::PlanProperties() {
    const bool r12 = text_.version() < kFirstLineweightVersion;
    std::unordered_map<std::wstring, const Rename*> renamedLayers;
    for (const Rename& rename : account_.renames)
        if (rename.kind == FixKind::Layers) renamedLayers.emplace(text_.Fold(rename.from), &rename);
    for (const auto& [name, change] : request_.layerProperties) {
        const std::wstring folded = text_.Fold(name);
        for (const Entry& entry : tables_.entries(0)) {
            const auto found = renamedLayers.find(entry.folded);
            const Rename* renamed = found == renamedLayers.end() ? nullptr : found->second;
            if (renamed != nullptr && renamed->merge) continue;
            if ((renamed != nullptr ? text_.Fold(renamed->to) : entry.folded) != folded) continue;
            const std::string what = "the layer \"" + Utf8(entry.spelled) + "\"";
            LayerChange diff;
            if (change.color) {
                const int wanted = entry.color.value_or(1) < 0 ? -std::abs(*change.color) : std::abs(*change.color);
                if (entry.color != wanted) diff.color = std::abs(*change.color);
            }
            if (change.linetype) {
                const Entry* linetype = FindEntry(1, text_.Fold(*change.linetype));
                if (linetype == nullptr)
                    Leave(entry.line, what, "the drawing defines no linetype \"" + Utf8(*change.linetype) + "\"");
                else if (entry.linetype != linetype->spelled)
                    diff.linetype = linetype->spelled;
            }
            if ((change.lineweight || change.plot) && r12) Leave(entry.line, what, "an R12 drawing's layers have no lineweight or plot flag");
            if (change.lineweight && !r12 && entry.lineweight != *change.lineweight) diff.lineweight = change.lineweight;
            if (change.plot && !r12 && entry.plot.value_or(1) != (*change.plot ? 1 : 0)) diff.plot = change.plot;
            if (diff != LayerChange{}) account_.properties.emplace_back(entry.spelled, std::move(diff));
            break;
        }
    }
}

void Planner::Judge() {
    std::unordered_set<std::wstring> renamed;
    for (const Rename& rename : account_.renames) renamed.insert(text_.Fold(rename.from));
    for (const Candidate& candidate : candidates_) {
        if (!renamed.contains(candidate.folded)) continue;
        const bool unknown = candidate.meaning.role == PlaceRole::Unknown;
        std::string reason = unknown || candidate.meaning.role == PlaceRole::Other
                                 ? std::string(candidate.meaning.reason)
                                 : "it names a " + std::string(KindWord(candidate.kind)) + " of that name";
        if (unknown) {
            Refuse(true, candidate.line, candidate.what + " holds an old name, and the fix cannot tell what it names (" + reason + ")");
            reason = "the fix cannot tell what it names (" + reason + ")";
        }
        Leave(candidate.line, candidate.what, std::move(reason));
    }
    if (candidatesDropped_ > 0)
        Leave(0, "more places", std::to_string(candidatesDropped_) + " more places hold an old name and were not judged");
    if (candidatesDropped_ > 0) Refuse(true, 0, "too many places hold an old name to judge them all");
    if (hardRefusal_) account_.forced = false;
}

}  // namespace

RewriteAccount PlanDxf(DxfBytes& in, const TextCodec& codec, const FixRequest& request) {
    return Planner(codec, request).Plan(in);
}

RenameIndex IndexRenames(const RewriteAccount& account, const DrawingText& text) {
    RenameIndex index;
    for (std::size_t i = 0; i < account.renames.size(); ++i)
        index[KindIndex(account.renames[i].kind)].emplace(text.Fold(account.renames[i].from), i);
    return index;
}

}  // namespace kvstcheck::fix
