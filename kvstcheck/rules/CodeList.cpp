#include "kvstcheck/rules/CodeList.h"

#include <algorithm>

#include "kvstcheck/CodePoints.h"

namespace kvstcheck::rules {
namespace {

// The first "," or ";" outside quotes on the header line; "," when it has neither.
char SeparatorOf(std::string_view header) {
    bool quoted = false;
    for (const char c : header) {
        if (c == '"') quoted = !quoted;
        else if (!quoted && (c == ',' || c == ';')) return c;
    }
    return ',';
}

std::string FirstCell(std::string_view line, char separator) {
    std::string cell;
    if (line.starts_with('"')) {
        for (std::size_t i = 1; i < line.size(); ++i) {
            if (line[i] == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (line[i] == '"') {
                break;
            } else {
                cell += line[i];
            }
        }
        return cell;
    }
    cell = std::string(line.substr(0, line.find(separator)));
    while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\t' || cell.back() == '\r')) cell.pop_back();
    cell.erase(0, std::min(cell.size(), cell.find_first_not_of(" \t")));
    return cell;
}

}  // namespace

std::vector<std::u32string> CodesOfCsv(std::string_view text) {
    std::vector<std::u32string> codes;
    const char separator = SeparatorOf(text.substr(0, text.find('\n')));
    bool first = true;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::string cell = FirstCell(line, separator);
        const bool header = first && (cell == "code" || cell == "Code" || cell == "CODE");
        first = false;
        if (cell.empty() || cell.starts_with('#') || header) continue;
        codes.push_back(FromUtf8(cell));
    }
    return codes;
}

}  // namespace kvstcheck::rules
