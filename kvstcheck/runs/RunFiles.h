#pragma once
// The files a run starts from: the drawings (named, listed, found in folders), the outputs it may
// write, and whether its text takes colours.
#include <string>
#include <vector>

#include "kvstcheck/CommandLine.h"
#include "kvstcheck/DrawingWalk.h"

namespace kvstcheck {

// Whether two paths name one file: equal once made absolute, letter case and "/" or "\" aside.
bool SamePath(const std::wstring& a, const std::wstring& b);

// Why options.outputs[index] cannot be written where asked: it is one of the run's inputs, or
// another output; empty when it has a place of its own. UTF-8.
std::string OutputClash(const Options& options, std::size_t index);
// The first such clash of any output; empty when there is none.
std::string RefusedOutput(const Options& options);

// The drawings of the command line and of --files-from, folders walked, without the run's own
// baseline and report files below them; why none can be audited (the list cannot be read, or names nothing),
// or empty.
std::string ListRunDrawings(const Options& options, std::vector<WalkEntry>& entries);

// never and always as asked; auto: colours on a console, unless NO_COLOR is set (and not empty).
bool ChoosesColour(ColourChoice choice, bool console, bool noColourSet);
// Whether the standard output takes colours now (on a console, terminal sequences switched on).
bool UsesColour(ColourChoice choice);

}  // namespace kvstcheck
