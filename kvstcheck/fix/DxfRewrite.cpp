#include <algorithm>
#include <cstdlib>
#include <deque>
#include <unordered_set>

#include "kvstcheck/fix/DxfPlan.h"
#include "kvstcheck/fix/PairStream.h"
#include "kvstcheck/fix/References.h"

namespace kvstcheck::fix {
namespace {

// A change to one of the unit's pairs: its value replaced (its code line and line end kept), a pair
// inserted before it (index == the unit's size: at its end), or the pair removed.
struct Edit {
    enum Kind { Value, Insert, Remove };
    std::size_t index;
    Kind kind;
    std::string_view text;  // the new value, or the inserted pair's bytes; in the plan's encoded
                            // names or the rewriter's made_, which outlive the unit's writing
};

// A code line and value line laid out as the unit's group 2 pair is (code width, line ends).
std::string LaidOut(const Unit& unit, int code, std::string_view value) {
    const RawPair* model = unit.Find(2);
    std::string codeText = std::to_string(code);
    std::string codeEnd = "\n", valueEnd = "\n";
    if (model != nullptr) {
        const std::string_view codeLine = model->codeLine();
        const std::size_t digitsEnd = codeLine.find_last_of("0123456789") + 1;
        const std::size_t width = digitsEnd;  // the code right-aligned to this width
        if (codeText.size() < width && codeLine.front() == ' ') codeText.insert(0, width - codeText.size(), ' ');
        codeEnd = std::string(codeLine.substr(digitsEnd));
        valueEnd = std::string(model->lineEnd());
    }
    return codeText + codeEnd + std::string(value) + valueEnd;
}

class Rewriter {
public:
    Rewriter(const TextCodec& codec, const RewriteAccount& plan, ByteSink& out)
        : text_(codec), plan_(plan), done_(plan), out_(out) {
        for (Rename& rename : done_.renames) rename.references = 0;
        for (const Rename& rename : plan.renames) {
            if (!rename.merge || !rename.inTable) continue;
            ++expectedRemovals_[KindIndex(rename.kind)];
            if (!rename.handle.empty()) removedHandles_.insert(rename.handle);
        }
        index_ = IndexRenames(plan, text_);
    }

    RewriteAccount Rewrite(DxfBytes& in) {
        UnitReader reader(in);
        if (reader.binary()) {
            done_.refusal = Refusal{std::string(kBinaryRefusal), 0};
            return done_;
        }
        Emit(reader.Preamble());
        Unit unit;
        while (reader.Next(unit)) Process(unit);
        out_.Write(written_);
        CheckAgainstPlan();
        return std::move(done_);
    }

private:
    void Process(const Unit& unit) {
        const UnitPlace& place = unit.place();
        if (place.type == "SECTION" && place.section == "HEADER") {
            text_.ReadHeader(unit);
            encoded_.clear();
        }
        if (place.tableEntry() && IsRemoved(unit)) {
            ++removals_[KindIndex(*KindOfTable(place.table))];
            done_.changed = true;
            return;
        }
        edits_.clear();
        made_.clear();
        if (place.section == "TABLES" && place.tableHead()) MendTableHead(unit);
        if (place.tableEntry() && place.table == "LAYER") SetProperties(unit);
        RenameNames(unit);
        Write(unit);
    }

    bool IsRemoved(const Unit& unit) {
        const auto kind = KindOfTable(unit.place().table);
        if (!kind || expectedRemovals_[KindIndex(*kind)] == 0) return false;
        const std::string_view handle = unit.Handle();
        if (!handle.empty()) return removedHandles_.contains(std::string(handle));
        const RawPair* name = unit.Find(2);
        const auto folded = name ? text_.Folded(name->value()) : std::nullopt;
        if (!folded) return false;
        const auto found = index_[KindIndex(*kind)].find(*folded);
        return found != index_[KindIndex(*kind)].end() && plan_.renames[found->second].merge;
    }

    // The entry count follows the entries removed; a DIMSTYLE head also lists its entries' handles.
    void MendTableHead(const Unit& unit) {
        const auto kind = KindOfTable(unit.place().table);
        if (!kind || expectedRemovals_[KindIndex(*kind)] == 0) return;
        const auto removed = static_cast<long long>(expectedRemovals_[KindIndex(*kind)]);
        const auto& pairs = unit.pairs();
        for (std::size_t i = 1; i < pairs.size(); ++i) {
            long long count = 0;
            if ((pairs[i].code == 70 || pairs[i].code == 71) && ParseDxfInt(pairs[i].value(), count) && count >= removed)
                edits_.push_back({i, Edit::Value, Made(std::to_string(count - removed))});
            else if (pairs[i].code == 340 && removedHandles_.contains(std::string(pairs[i].keyword())))
                edits_.push_back({i, Edit::Remove, {}});
        }
    }

    void SetProperties(const Unit& unit);
    void RenameNames(const Unit& unit);
    void Write(const Unit& unit);
    void CheckAgainstPlan();

    void Emit(std::string_view bytes) {
        constexpr std::size_t kPiece = 256 * 1024;
        written_.append(bytes);
        if (written_.size() < kPiece) return;
        out_.Write(written_);
        written_.clear();
    }

    // A value the rewriter makes: kept until the unit is written (a deque does not move its strings).
    std::string_view Made(std::string text) { return made_.emplace_back(std::move(text)); }

    std::string_view Encoded(std::size_t rename) {
        if (encoded_.empty())
            for (const auto& each : plan_.renames) encoded_.push_back(text_.Encode(each.to).value_or(std::string()));
        return encoded_[rename];
    }

    DrawingText text_;
    const RewriteAccount& plan_;
    RewriteAccount done_;
    ByteSink& out_;
    RenameIndex index_;
    std::vector<std::string> encoded_;
    std::unordered_set<std::string> removedHandles_;
    std::array<std::size_t, kFixKindCount> expectedRemovals_{}, removals_{};
    std::vector<Edit> edits_;
    std::deque<std::string> made_;
    std::wstring folded_;  // the value being looked at
    std::string written_;  // output gathered into large pieces: a sink's write may cost a system call
};

void Rewriter::SetProperties(const Unit& unit) {
    const RawPair* name = unit.Find(2);
    const auto folded = name ? text_.Folded(name->value()) : std::nullopt;
    if (!folded) return;
    const auto found = std::find_if(plan_.properties.begin(), plan_.properties.end(),
                                    [&](const auto& change) { return text_.Fold(change.first) == *folded; });
    if (found == plan_.properties.end()) return;
    const LayerChange& change = found->second;
    const auto& pairs = unit.pairs();
    std::size_t end = pairs.size();  // new pairs go before extended data
    for (std::size_t i = 1; i < pairs.size(); ++i)
        if (pairs[i].code == 1001) end = std::min(end, i);
    auto set = [&](int code, std::string value) {
        for (std::size_t i = 1; i < end; ++i)
            if (pairs[i].code == code) return edits_.push_back({i, Edit::Value, Made(std::move(value))});
        edits_.push_back({end, Edit::Insert, Made(LaidOut(unit, code, value))});
    };
    if (change.color) {
        long long current = 1;
        const RawPair* color = unit.Find(62);
        const bool off = color && ParseDxfInt(color->value(), current) && current < 0;
        set(62, std::to_string(off ? -std::abs(*change.color) : std::abs(*change.color)));
    }
    if (change.linetype) set(6, text_.Encode(*change.linetype).value_or(std::string()));
    if (change.plot) set(290, *change.plot ? "1" : "0");
    if (change.lineweight) set(370, std::to_string(*change.lineweight));
}

void Rewriter::RenameNames(const Unit& unit) {
    if (index_ == RenameIndex{}) return;
    ForEachPair(unit, [&](const RawPair& pair, std::size_t i, const PairContext& context) {
        const PlaceMeaning meaning = MeaningOf(context, pair.code);
        if (meaning.role != PlaceRole::Reference && meaning.role != PlaceRole::EntryName) return;
        const auto& names = index_[KindIndex(meaning.kind)];
        if (names.empty() || !text_.Folded(pair.value(), folded_)) return;
        const auto found = names.find(folded_);
        if (found == names.end()) return;
        if (meaning.role == PlaceRole::Reference) ++done_.renames[found->second].references;
        if (pair.value() != Encoded(found->second)) edits_.push_back({i, Edit::Value, Encoded(found->second)});
    });
}

void Rewriter::Write(const Unit& unit) {
    if (edits_.empty()) {
        Emit(unit.bytes());
        return;
    }
    done_.changed = true;
    std::stable_sort(edits_.begin(), edits_.end(), [](const Edit& a, const Edit& b) {
        return a.index != b.index ? a.index < b.index : a.kind == Edit::Insert && b.kind != Edit::Insert;
    });
    // The unchanged pairs between edits go out as one run of the unit's bytes.
    const auto& pairs = unit.pairs();
    const auto offset = [&](std::size_t index) {
        return index < pairs.size() ? static_cast<std::size_t>(pairs[index].raw.data() - unit.bytes().data()) : unit.bytes().size();
    };
    std::size_t written = 0;  // of the unit's bytes
    for (const Edit& edit : edits_) {
        // One pair takes one change: a layer's new linetype stands, not the rename of its old one.
        if (offset(edit.index) < written) continue;
        Emit(unit.bytes().substr(written, offset(edit.index) - written));
        written = offset(edit.index);
        if (edit.kind == Edit::Insert) {
            Emit(edit.text);
            continue;
        }
        const RawPair& pair = pairs[edit.index];
        if (edit.kind == Edit::Value) {
            Emit(pair.codeLine());
            Emit(edit.text);
            Emit(pair.lineEnd());
        }
        written += pair.raw.size();
    }
    Emit(unit.bytes().substr(written));
}

void Rewriter::CheckAgainstPlan() {
    bool same = removals_ == expectedRemovals_;
    for (std::size_t i = 0; i < plan_.renames.size(); ++i)
        same = same && done_.renames[i].references == plan_.renames[i].references;
    if (same) return;
    done_.refusal = Refusal{"the drawing is not the one planned: it changed since its plan was made", 0};
    done_.forced = false;
}

}  // namespace

RewriteAccount RewriteDxf(DxfBytes& in, ByteSink& out, const TextCodec& codec, const RewriteAccount& plan) {
    if (plan.refusal && !plan.forced) return plan;
    return Rewriter(codec, plan, out).Rewrite(in);
}

}  // namespace kvstcheck::fix
