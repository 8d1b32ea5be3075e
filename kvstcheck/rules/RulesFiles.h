#pragma once
// The rules files of a run read from disk and layered in the order given.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "kvstcheck/rules/Rules.h"
#include "kvstcheck/rules/RulesFile.h"

namespace kvstcheck::rules {

// Every problem of the files, one "file:line:column: problem" with its fix each, in UTF-8.
class RulesFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The bytes of a rules file or code list; nullopt with why when it cannot be read.
struct FileBytes {
    std::string bytes;
    std::string error;  // UTF-8; empty when read
};
FileBytes ReadRulesFile(const std::wstring& path);
// A code list beside a rules file, by its UTF-8 path; nullopt when it cannot be read.
std::optional<std::string> ReadCodeList(const std::string& utf8Path);

// Throws RulesFileError for every error of the files, the more checks' among them.
RuleSet LoadRules(const std::vector<std::wstring>& files, const MoreChecks& more = {});

}  // namespace kvstcheck::rules
