#include "kvstcheck/reports/Progress.h"

#include <algorithm>
#include <cmath>

#include "kvstcheck/Text.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/DisplayName.h"

namespace kvstcheck {
namespace {

constexpr std::wstring_view kCut = L"...";

std::string TwoDigits(long long value) { return (value < 10 ? "0" : "") + std::to_string(value); }

}  // namespace

bool ShowsProgress(bool errorIsConsole, bool json, std::size_t drawings) {
    return errorIsConsole && !json && drawings > 0;
}

std::string FormatDuration(double seconds) {
    const auto whole = static_cast<long long>(std::ceil(std::max(seconds, 0.0)));
    const long long hours = whole / 3600;
    const long long minutes = whole / 60 % 60;
    if (hours > 0) return std::to_string(hours) + " h " + TwoDigits(minutes) + " min";
    if (minutes > 0) return std::to_string(minutes) + " min " + TwoDigits(whole % 60) + " s";
    return std::to_string(whole) + " s";
}

std::wstring FormatProgress(std::size_t done, std::size_t total, std::wstring_view pathNow, double elapsedSeconds,
                            std::size_t width, std::string_view step) {
    std::string counts = std::to_string(done) + " of " + std::to_string(total) + " drawings";
    if (done > 0 && done < total)
        counts += ", " + FormatDuration(elapsedSeconds / static_cast<double>(done) * static_cast<double>(total - done)) +
                  " left";
    if (!step.empty()) counts += ", " + std::string(step);
    std::wstring line = DecodeUtf8(counts).value_or(std::wstring()) + L": ";
    if (line.size() >= width) return line.substr(0, width);
    // A CR or an escape sequence in a file name would break the line that is rewritten in place.
    const std::wstring shown = DisplayName(pathNow);
    const std::wstring_view current = shown;
    const std::size_t room = width - line.size();
    if (current.size() <= room) return line.append(current);
    if (room <= kCut.size()) return line.append(kCut.substr(0, room));
    std::size_t start = current.size() - (room - kCut.size());
    // Half of a surrogate pair alone would show as a broken character, part of a <U+XXXX> as another.
    if (start < current.size() && (current[start] & 0xFC00) == 0xDC00) ++start;
    const std::size_t notation = current.rfind(L"<U+", start);
    if (notation != std::wstring_view::npos && notation < start && current.find(L'>', notation) >= start)
        start = current.find(L'>', notation) + 1;
    return line.append(kCut).append(current.substr(start));
}

ProgressLine::ProgressLine(bool shown, std::size_t total)
    : shown_(shown), total_(total), width_(shown ? ErrorConsoleWidth() : 0), start_(std::chrono::steady_clock::now()) {}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Show(std::size_t done, std::wstring_view current, std::string_view step) {
    if (!shown_) return;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    if (total_ <= kFewDrawings && elapsed < kSlowRunSeconds) return;
    // One column short of the width: a full line would wrap on some consoles.
    const std::wstring line = FormatProgress(done, total_, current, elapsed, width_ > 1 ? width_ - 1 : 1, step);
    std::wstring text = L"\r" + line;
    if (line.size() < visible_) text += std::wstring(visible_ - line.size(), L' ') + L"\r" + line;
    visible_ = line.size();
    WriteErr(EncodeUtf8(text));
}

void ProgressLine::Clear() {
    if (!shown_ || visible_ == 0) return;
    WriteErr(EncodeUtf8(L"\r" + std::wstring(visible_, L' ') + L"\r"));
    visible_ = 0;
}

}  // namespace kvstcheck
