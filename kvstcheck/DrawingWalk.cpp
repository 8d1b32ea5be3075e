#include "kvstcheck/DrawingWalk.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <optional>
#include <utility>

#include "com/Handle.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/selection/NaturalOrder.h"

namespace kvstcheck {
namespace {

// Deeper than any real project; stops a walk whose folders cannot be told apart by their identity.
constexpr std::size_t kDeepestFolder = 128;

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

struct FolderEntry {
    std::wstring name;
    bool folder = false;
};

class Walker {
public:
    Walker(std::vector<WalkEntry>& entries, const std::vector<FileIdentity>& skipped, const std::vector<Glob>& excludes)
        : entries_(entries), excludes_(excludes), skipped_(skipped) {}

    // separator: the one the user wrote in the folder's path, so that the paths shown read alike.
    void Walk(const std::wstring& folder, wchar_t separator) {
        separator_ = separator;
        excluded_ = 0;
        const std::size_t before = entries_.size();
        WalkFolder(folder, {});
        if (entries_.size() == before)
            entries_.push_back({folder, excluded_ == 0 ? "no .dxf or .json files in this folder"
                                                       : "no .dxf or .json files in this folder that --exclude leaves"});
    }

private:
    bool Excluded(const std::wstring& below) {
        const bool excluded =
            std::any_of(excludes_.begin(), excludes_.end(), [&](const Glob& glob) { return glob.Matches(below); });
        excluded_ += excluded;
        return excluded;
    }

    // below: the folder's path below the folder given, with "/"; empty for that folder itself.
    void WalkFolder(const std::wstring& folder, const std::wstring& below) {
        const auto identity = IdentityOf(folder);
        if (identity) {
            const auto above = std::find(ancestors_.begin(), ancestors_.end(), *identity);
            if (above != ancestors_.end()) {
                entries_.push_back({folder, "this folder links back to a folder above it; it is not walked again"});
                return;
            }
        }
        if (ancestors_.size() >= kDeepestFolder) {
            entries_.push_back({folder, "the folders nest deeper than " + std::to_string(kDeepestFolder) +
                                            " levels here; nothing below is walked"});
            return;
        }
        std::vector<FolderEntry> children;
        if (!List(folder, children)) return;
        ancestors_.push_back(identity);
        for (const FolderEntry& child : children) {
            const std::wstring path = folder + separator_ + child.name;
            const std::wstring childBelow = below.empty() ? child.name : below + L'/' + child.name;
            if (!child.folder && !IsDrawingFileName(child.name)) continue;
            if (Excluded(childBelow)) continue;
            if (child.folder)
                WalkFolder(path, childBelow);
            else if (!Skipped(path))
                entries_.push_back({path, {}});
        }
        ancestors_.pop_back();
    }

    // One of the run's own output files, which is no drawing of it.
    bool Skipped(const std::wstring& path) const {
        if (skipped_.empty()) return false;
        const auto identity = IdentityOf(path);
        return identity && std::find(skipped_.begin(), skipped_.end(), *identity) != skipped_.end();
    }

    bool List(const std::wstring& folder, std::vector<FolderEntry>& children) {
        WIN32_FIND_DATAW found{};
        const kv::FindHandle search(::FindFirstFileExW((SystemPath(folder) + L"\\*").c_str(), FindExInfoBasic, &found,
                                                       FindExSearchNameMatch, nullptr, 0));
        if (!search) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return true;
            entries_.push_back({folder, "cannot read the folder: " + SystemMessage(error)});
            return false;
        }
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            children.push_back({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        } while (::FindNextFileW(search.get(), &found));
        if (const DWORD error = ::GetLastError(); error != ERROR_NO_MORE_FILES)
            entries_.push_back({folder, "the folder could not be read to its end: " + SystemMessage(error)});
        std::sort(children.begin(), children.end(),
                  [](const FolderEntry& a, const FolderEntry& b) { return NaturalLess(a.name, b.name); });
        return true;
    }

    std::vector<WalkEntry>& entries_;
    const std::vector<Glob>& excludes_;
    std::size_t excluded_ = 0;
    // The folders above the one being walked; one whose identity is unknown matches none.
    std::vector<std::optional<FileIdentity>> ancestors_;
    const std::vector<FileIdentity>& skipped_;
    wchar_t separator_ = L'\\';
};

}  // namespace

wchar_t SeparatorOf(const std::wstring& folder) {
    const bool slashes = folder.find(L'/') != std::wstring::npos;
    const bool backslashes = folder.find(L'\\') != std::wstring::npos;
    if (slashes != backslashes) return slashes ? L'/' : L'\\';
    return PreferredSeparator();
}

bool IsDrawingFileName(const std::wstring& name) {
    const std::wstring lower = Lower(name);
    return lower.ends_with(L".dxf") || lower.ends_with(L".json");
}

std::vector<WalkEntry> ListDrawings(const std::vector<std::wstring>& arguments, const std::vector<FileIdentity>& skipped,
                                    const std::vector<Glob>& excludes) {
    std::vector<WalkEntry> entries;
    for (const std::wstring& argument : arguments) {
        const PathKind kind = KindOfPath(argument);
        // A mistyped folder is no drawing of an unknown kind: say that nothing is there.
        if (kind == PathKind::Missing && !IsDrawingFileName(argument)) {
            entries.push_back({argument, "no file or folder of that name"});
            continue;
        }
        if (kind != PathKind::Folder) {
            entries.push_back({argument, {}});
            continue;
        }
        // "C:\" becomes "C:", whose entries are joined back as "C:\name".
        std::wstring folder = argument;
        while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
        Walker(entries, skipped, excludes).Walk(folder, SeparatorOf(argument));
    }
    return entries;
}

}  // namespace kvstcheck
