#pragma once
// A baseline: findings a team has accepted, so that a run fails only on new ones. One JSON file,
// written by kvstcheck in a stable order, one entry per line, so that a change to it reads well in
// a diff; each entry has a comment for the reason it was accepted, kept when the file is rewritten.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kvstcheck {

inline constexpr int kBaselineSchemaVersion = 1;

// Every text in UTF-8.
struct BaselineEntry {
    std::string drawing;  // relative to the baseline file's folder, with "/"; absolute when on another drive
    std::string kind;     // the kind's key (layers, linetypes, textStyles, dimStyles), or the plug-in's label
    std::string name;
    std::string rule;     // empty for a finding of the plug-in itself
    std::size_t count = 1;  // how many times the drawing has this finding
    std::string comment;
};

// Why bytes are not a baseline of this tool; UTF-8.
class BaselineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The entries as the file holds them. Throws BaselineError when the bytes are not JSON, are JSON of
// another program or of a later schema version, or an entry lacks a field or holds a wrong type.
std::vector<BaselineEntry> ParseBaseline(std::string_view bytes);

// The file's bytes: entries sorted by drawing, kind, name and rule (byte order, the same on every
// system), one per line.
std::string FormatBaseline(std::vector<BaselineEntry> entries);

}  // namespace kvstcheck
