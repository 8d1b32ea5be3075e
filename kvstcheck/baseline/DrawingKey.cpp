#include "kvstcheck/baseline/DrawingKey.h"

#include <vector>

#include "kvstcheck/selection/Characters.h"

namespace kvstcheck {
namespace {

std::vector<std::wstring_view> Parts(std::wstring_view path) {
    std::vector<std::wstring_view> parts;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != L'\\' && path[at] != L'/') continue;
        if (at > start) parts.push_back(path.substr(start, at - start));
        start = at + 1;
    }
    return parts;
}

bool SamePart(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(static_cast<char32_t>(a[i])) != FoldCase(static_cast<char32_t>(b[i]))) return false;
    return true;
}

std::wstring Joined(const std::vector<std::wstring_view>& parts, std::size_t from, std::wstring text) {
    for (std::size_t i = from; i < parts.size(); ++i) {
        if (!text.empty() && text.back() != L'/') text += L'/';
        text += parts[i];
    }
    return text;
}

}  // namespace

std::wstring RelativeDrawingPath(std::wstring_view drawing, std::wstring_view folder) {
    const std::vector<std::wstring_view> file = Parts(drawing);
    const std::vector<std::wstring_view> base = Parts(folder);
    const bool share = drawing.starts_with(L"\\\\") || drawing.starts_with(L"//");
    // The root: the drive, or the server and share of a network path.
    const std::size_t rootParts = share ? 2 : 1;
    bool sameRoot = file.size() > rootParts && base.size() >= rootParts &&
                    share == (folder.starts_with(L"\\\\") || folder.starts_with(L"//"));
    for (std::size_t i = 0; sameRoot && i < rootParts; ++i) sameRoot = SamePart(file[i], base[i]);
    if (!sameRoot) return Joined(file, 0, share ? L"//" : L"");
    std::size_t common = rootParts;
    while (common < base.size() && common + 1 < file.size() && SamePart(file[common], base[common])) ++common;
    std::wstring relative;
    for (std::size_t i = common; i < base.size(); ++i) relative += L"../";
    return Joined(file, common, relative);
}

}  // namespace kvstcheck
