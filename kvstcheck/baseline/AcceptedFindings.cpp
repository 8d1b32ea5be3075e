#include "kvstcheck/baseline/AcceptedFindings.h"

#include "kvstcheck/Files.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/baseline/DrawingKey.h"
#include "kvstcheck/selection/Characters.h"

namespace kvstcheck {
namespace {

// Drawing names compare with letter case ignored, as the file system compares paths.
std::string Folded(const std::string& drawing) {
    std::wstring wide = DecodeUtf8(drawing).value_or(std::wstring());
    for (wchar_t& c : wide) c = static_cast<wchar_t>(FoldCase(static_cast<char32_t>(c)));
    return EncodeUtf8(wide);
}

std::string KindOf(const Finding& finding) {
    return KindKeyOf(finding);
}

BaselineKey KeyOf(const BaselineEntry& entry) { return {Folded(entry.drawing), entry.kind, entry.name, entry.rule}; }

}  // namespace

std::string BaselineDrawingName(const std::wstring& path, const std::wstring& folder) {
    return EncodeUtf8(RelativeDrawingPath(FullPath(path), folder));
}

AcceptedFindings::AcceptedFindings(const std::vector<BaselineEntry>& entries) {
    for (const BaselineEntry& entry : entries) {
        const BaselineKey key = KeyOf(entry);
        left_[key] += entry.count;
        entries_.try_emplace(key, entry);
    }
}

void AcceptedFindings::Accept(const std::string& drawing, const std::string& path, std::vector<Finding>& findings) {
    const std::string folded = Folded(drawing);
    seen_.try_emplace(folded, path);
    for (Finding& finding : findings) {
        const BaselineKey key{folded, KindOf(finding), EncodeUtf8(finding.name), finding.rule};
        const auto left = left_.find(key);
        if (left == left_.end() || left->second == 0) continue;
        --left->second;
        finding.accepted = true;
        finding.comment = entries_.at(key).comment;
    }
}

std::vector<BaselineEntry> AcceptedFindings::NoLongerFound() const {
    std::vector<BaselineEntry> gone;
    for (const auto& [key, count] : left_) {
        const auto seen = seen_.find(std::get<0>(key));
        if (count == 0 || seen == seen_.end()) continue;
        gone.push_back(entries_.at(key));
        gone.back().drawing = seen->second;
        gone.back().count = count;
    }
    return gone;
}

BaselineWriter::BaselineWriter(std::wstring folder, const std::vector<BaselineEntry>& previous)
    : folder_(std::move(folder)), previous_(previous) {
    for (const BaselineEntry& entry : previous_) comments_.try_emplace(KeyOf(entry), entry.comment);
}

void BaselineWriter::Add(const DrawingResult& drawing) {
    if (!drawing.error.empty()) return;
    const std::string name = BaselineDrawingName(drawing.path, folder_);
    audited_.insert(Folded(name));
    for (const Finding& finding : drawing.findings) {
        BaselineEntry entry{name, KindOf(finding), EncodeUtf8(finding.name), finding.rule, 1, {}};
        const BaselineKey key = KeyOf(entry);
        if (const auto same = entries_.find(key); same != entries_.end()) {
            ++same->second.count;
            continue;
        }
        if (const auto comment = comments_.find(key); comment != comments_.end()) entry.comment = comment->second;
        entries_.emplace(key, std::move(entry));
    }
}

std::string KeptUncheckedMessage(const std::wstring& baseline, std::size_t kept) {
    return "the baseline " + EncodeUtf8(baseline) + " keeps " + std::to_string(kept) +
           (kept == 1 ? " entry" : " entries") +
           " that this run did not check (rules not given, kinds not looked at, drawings not audited), with their comments";
}

std::vector<BaselineEntry> BaselineWriter::Unchecked() const {
    std::vector<BaselineEntry> kept;
    for (const BaselineEntry& entry : previous_) {
        const bool checked = audited_.contains(Folded(entry.drawing)) && scope_.Checks(entry);
        if (!checked && !entries_.contains(KeyOf(entry))) kept.push_back(entry);
    }
    return kept;
}

std::string BaselineWriter::Bytes() const {
    std::vector<BaselineEntry> entries = Unchecked();
    for (const auto& [key, entry] : entries_) entries.push_back(entry);
    return FormatBaseline(std::move(entries));
}

}  // namespace kvstcheck
