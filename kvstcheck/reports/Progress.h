#pragma once
// The progress line of a long run on a console: drawings done of the total, the time left and the
// drawing being read, rewritten in place on the standard error.
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace kvstcheck {

// Runs of this many drawings or fewer mostly end before a progress line would help: theirs appears
// only once the run has lasted kSlowRunSeconds (one drawing of 100,000 names takes that long).
inline constexpr std::size_t kFewDrawings = 5;
inline constexpr double kSlowRunSeconds = 2.0;

// Only a person watching a console reads a progress line; a file, a pipe or a JSON reader would
// keep its control characters as garbage.
bool ShowsProgress(bool errorIsConsole, bool json, std::size_t drawings);

// "2 min 05 s", "45 s", "1 h 03 min": whole seconds, rounded up.
std::string FormatDuration(double seconds);

// One line, at most width characters: "12 of 1000 drawings, 2 min 05 s left: folder\file.dxf". The
// time left is an estimate from the time spent so far; none before the first drawing is done. A long
// path keeps its end, the file's name.
// A step within the drawing, when given, follows the counts: "0 of 1 drawings, hints for 4000 of
// 100000 findings: plan.dxf".
std::wstring FormatProgress(std::size_t done, std::size_t total, std::wstring_view current, double elapsedSeconds,
                            std::size_t width, std::string_view step = {});

// Writes the line to the console's standard error when shown is true; does nothing otherwise.
class ProgressLine {
public:
    ProgressLine(bool shown, std::size_t total);
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    ~ProgressLine();

    // Shows the line for the drawing that comes next, after done drawings; and a step within it.
    void Show(std::size_t done, std::wstring_view current, std::string_view step = {});
    // Removes the line, so that other output starts on a clean line.
    void Clear();

private:
    bool shown_;
    std::size_t total_;
    std::size_t width_;
    std::size_t visible_ = 0;  // characters of the line now on the console
    std::chrono::steady_clock::time_point start_;
};

}  // namespace kvstcheck
