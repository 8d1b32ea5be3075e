#include "RunInputsCheck.h"

#include <vector>

#include "kvstcheck/baseline/BaselineFile.h"
#include "kvstcheck/selection/FileList.h"

namespace fuzzcheck {
namespace {

std::string Joined(const std::vector<std::string>& paths, std::string_view end) {
    std::string text;
    for (const std::string& path : paths) text += path + std::string(end);
    return text;
}

std::string CheckPaths(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (path.empty()) return "an empty path";
        if (path.find_first_of(std::string_view("\n\0", 2)) != std::string::npos) return "a path holds LF or NUL";
        if (path.back() == '\r') return "a path ends in CR";
    }
    if (!paths.empty() && paths.front().starts_with("\xEF\xBB\xBF")) return {};  // would read as a byte order mark
    for (const std::string_view end : {"\n", "\r\n"})
        if (kvstcheck::ParseFileList(Joined(paths, end)) != paths) return "the paths do not read back the same";
    return {};
}

bool SameEntries(const std::vector<kvstcheck::BaselineEntry>& a, const std::vector<kvstcheck::BaselineEntry>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].drawing != b[i].drawing || a[i].kind != b[i].kind || a[i].name != b[i].name || a[i].rule != b[i].rule ||
            a[i].count != b[i].count || a[i].comment != b[i].comment)
            return false;
    return true;
}

}  // namespace

std::string CheckFileList(std::string_view bytes) {
    std::vector<std::string> paths;
    try {
        paths = kvstcheck::ParseFileList(bytes);
    } catch (const kvstcheck::FileListError& error) {
        const std::string why = error.what();
        return why.starts_with("line ") || why == "the UTF-16 text ends in half a character" ? std::string()
                                                                                            : "refused without a line: " + why;
    }
    return CheckPaths(paths);
}

std::string CheckBaseline(std::string_view bytes) {
    std::vector<kvstcheck::BaselineEntry> entries;
    try {
        entries = kvstcheck::ParseBaseline(bytes);
    } catch (const kvstcheck::BaselineError& error) {
        return std::string(error.what()).empty() ? "refused without a reason" : std::string();
    }
    const std::string written = kvstcheck::FormatBaseline(entries);
    std::vector<kvstcheck::BaselineEntry> read;
    try {
        read = kvstcheck::ParseBaseline(written);
    } catch (const kvstcheck::BaselineError& error) {
        return std::string("the written baseline does not read back: ") + error.what();
    }
    if (kvstcheck::FormatBaseline(read) != written) return "writing the baseline again changes it";
    if (read.size() != entries.size()) return "entries were lost";
    return SameEntries(read, kvstcheck::ParseBaseline(kvstcheck::FormatBaseline(read))) ? std::string()
                                                                                       : "entries change when read back";
}

}  // namespace fuzzcheck
