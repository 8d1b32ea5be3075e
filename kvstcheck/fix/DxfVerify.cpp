#include <algorithm>
#include <unordered_set>

#include "kvstcheck/fix/DxfPlan.h"
#include "kvstcheck/fix/PairStream.h"
#include "kvstcheck/fix/References.h"

namespace kvstcheck::fix {
namespace {

bool IsLayerPropertyCode(int code) noexcept { return code == 62 || code == 6 || code == 370 || code == 290; }

// Reads the original and the rewritten drawing unit by unit, side by side.
class Verifier {
public:
    Verifier(const TextCodec& codec, const RewriteAccount& account) : text_(codec), account_(account) {
        for (const Rename& rename : account.renames) {
            if (!rename.merge || !rename.inTable) continue;
            ++expectedRemovals_;
            if (!rename.handle.empty()) removedHandles_.insert(rename.handle);
        }
        index_ = IndexRenames(account, text_);
    }

    std::optional<std::string> Verify(DxfBytes& original, DxfBytes& rewritten) {
        UnitReader before(original), after(rewritten);
        if (before.binary() || after.binary()) return "a binary DXF file";
        if (before.Preamble() != after.Preamble()) return "line 1: the byte order mark differs";
        Unit old, now;
        bool hasNow = after.Next(now);
        while (before.Next(old)) {
            if (old.place().type == "SECTION" && old.place().section == "HEADER") {
                text_.ReadHeader(old);
                encoded_.clear();
            }
            if (old.place().tableEntry() && IsRemoved(old)) {
                ++removals_;
                continue;
            }
            if (!hasNow) return "the rewritten drawing ends before the " + std::string(old.place().type) + " of line " + std::to_string(old.line());
            if (auto problem = Compare(old, now)) return problem;
            hasNow = after.Next(now);
        }
        if (hasNow) return "line " + std::to_string(now.line()) + ": the rewritten drawing goes on after the original's end";
        if (removals_ != expectedRemovals_)
            return std::to_string(removals_) + " table entries are gone where the merges remove " + std::to_string(expectedRemovals_);
        return std::nullopt;
    }

private:
    bool IsRemoved(const Unit& unit) const {
        const auto kind = KindOfTable(unit.place().table);
        if (!kind) return false;
        const std::string_view handle = unit.Handle();
        if (!handle.empty()) return removedHandles_.contains(std::string(handle));
        const RawPair* name = unit.Find(2);
        const auto folded = name ? text_.Folded(name->value()) : std::nullopt;
        const auto& names = index_[KindIndex(*kind)];
        const auto found = folded ? names.find(*folded) : names.end();
        return found != names.end() && account_.renames[found->second].merge && account_.renames[found->second].inTable;
    }

    bool HasProperties(const Unit& unit) const {
        if (!unit.place().tableEntry() || unit.place().table != "LAYER") return false;
        const RawPair* name = unit.Find(2);
        const auto folded = name ? text_.Folded(name->value()) : std::nullopt;
        return folded && std::any_of(account_.properties.begin(), account_.properties.end(),
                                     [&](const auto& change) { return text_.Fold(change.first) == *folded; });
    }

    // A layer property the original entry lacks, added once.
    static bool IsAddedProperty(const Unit& old, const Unit& now, const RawPair& added) {
        return IsLayerPropertyCode(added.code) && old.Find(added.code) == nullptr && now.Find(added.code) == &added;
    }

    // A value the account changes: a renamed name written as the drawing writes the new one, a table's
    // count, a layer's property. The code line and the line end stay.
    bool AllowedChange(const Unit& unit, const RawPair& old, const RawPair& now, bool properties) const {
        if (old.codeLine() != now.codeLine() || old.lineEnd() != now.lineEnd()) return false;
        if (IsHandleCode(old.code) || old.code == 0 || old.code == 5 || old.code == 100 || old.code == 102 || old.code == 105)
            return false;
        if (unit.place().tableHead() && (old.code == 70 || old.code == 71)) return true;
        if (properties && IsLayerPropertyCode(old.code)) return true;
        const auto folded = text_.Folded(old.value());
        if (!folded) return false;
        for (const auto& names : index_) {
            const auto found = names.find(*folded);
            if (found != names.end() && Encoded(found->second) == now.value()) return true;
        }
        return false;
    }

    // The targets as this drawing writes them, made once its header is read.
    const std::optional<std::string>& Encoded(std::size_t rename) const {
        if (encoded_.empty())
            for (const Rename& each : account_.renames) encoded_.push_back(text_.Encode(each.to));
        return encoded_[rename];
    }

    std::optional<std::string> Compare(const Unit& old, const Unit& now) const {
        if (old.bytes() == now.bytes()) return std::nullopt;  // nearly every unit: one comparison
        const auto& a = old.pairs();
        const auto& b = now.pairs();
        if (a.front().raw != b.front().raw)
            return "line " + std::to_string(b.front().line) + ": expected the " + std::string(old.place().type) + " of the original's line " +
                   std::to_string(a.front().line);
        const bool properties = HasProperties(old);
        const bool dimstyleHead = old.place().tableHead() && old.place().table == "DIMSTYLE";
        std::size_t i = 1, j = 1;
        while (i < a.size() || j < b.size()) {
            if (i < a.size() && j < b.size() && (a[i].raw == b[j].raw || (a[i].code == b[j].code && AllowedChange(old, a[i], b[j], properties)))) {
                ++i, ++j;
            } else if (j < b.size() && properties && IsAddedProperty(old, now, b[j]) && (i == a.size() || a[i].code != b[j].code)) {
                ++j;
            } else if (i < a.size() && dimstyleHead && a[i].code == 340 && removedHandles_.contains(std::string(a[i].keyword()))) {
                ++i;
            } else {
                const std::size_t line = j < b.size() ? b[j].line : b.back().line;
                return "line " + std::to_string(line) + ": a pair differs from the original's line " +
                       std::to_string(i < a.size() ? a[i].line : a.back().line) + " beyond the fix's changes";
            }
        }
        return std::nullopt;
    }

    DrawingText text_;
    const RewriteAccount& account_;
    RenameIndex index_;
    std::unordered_set<std::string> removedHandles_;
    std::size_t expectedRemovals_ = 0, removals_ = 0;
    mutable std::vector<std::optional<std::string>> encoded_;
};

}  // namespace

std::optional<std::string> VerifyRewrite(DxfBytes& original, DxfBytes& rewritten, const TextCodec& codec,
                                         const RewriteAccount& account) {
    return Verifier(codec, account).Verify(original, rewritten);
}

}  // namespace kvstcheck::fix
