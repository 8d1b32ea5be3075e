#include "kvstcheck/rules/RulesFiles.h"

#include <windows.h>

#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/rules/RulesFile.h"

namespace kvstcheck::rules {
namespace {

// Rules files and code lists are small; anything larger is not one.
constexpr LONGLONG kLargestRulesFile = 16LL << 20;

}  // namespace

FileBytes ReadRulesFile(const std::wstring& path) {
    if (KindOfPath(path) == PathKind::Folder) return {{}, "this is a folder, not a file"};
    const kv::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {{}, "cannot open the file: " + SystemMessage(::GetLastError())};
    LARGE_INTEGER size{};
    if (::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.get(), &size))
        return {{}, "this is not a file that can be read"};
    if (size.QuadPart > kLargestRulesFile) return {{}, "the file is too large for a rules file (over 16 MiB)"};
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size()))
        return {{}, "cannot read the file: " + SystemMessage(::GetLastError())};
    return {std::move(bytes), {}};
}

std::optional<std::string> ReadCodeList(const std::string& utf8Path) {
    const auto path = DecodeUtf8(utf8Path);
    if (!path) return std::nullopt;
    FileBytes file = ReadRulesFile(*path);
    if (!file.error.empty()) return std::nullopt;
    return std::move(file.bytes);
}

RuleSet LoadRules(const std::vector<std::wstring>& files, const MoreChecks& more) {
    RulesBuilder builder(ReadCodeList, more);
    std::string unreadable;
    for (const std::wstring& file : files) {
        const FileBytes read = ReadRulesFile(file);
        if (!read.error.empty())
            unreadable += "rules file " + EncodeUtf8(file) + ": " + read.error + "\n";
        else
            builder.Add(read.bytes, EncodeUtf8(file));
    }
    RuleSet rules = builder.Finish();
    std::string problems = unreadable;
    for (const RulesProblem& problem : builder.problems())
        if (problem.severity() == RuleSeverity::Error) problems += problem.Describe() + "\n";
    if (!problems.empty()) {
        problems.pop_back();
        throw RulesFileError(problems);
    }
    return rules;
}

}  // namespace kvstcheck::rules
