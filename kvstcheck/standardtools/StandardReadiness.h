#pragma once
// Whether audits against a standard file check anything, decided by the plug-in's own reading code
// as lint reads the file: a run refuses to call a drawing clean against a file the plug-in would
// check nothing with.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kvstcheck {

struct StandardReadiness {
    bool checks = false;       // the plug-in loads the file with a first type name
    std::uint32_t line = 0;    // where loading stopped; 0 for the file as a whole
    std::string reason;        // UTF-8: why audits would check nothing; empty when they check
    std::size_t problems = 0;  // lint's warnings: lines the plug-in reads otherwise than meant
};

StandardReadiness ReadinessOf(const std::wstring& path);

// "file:LINE: why; run kvstcheck lint file", with the file as shown to the user.
std::string NothingCheckedMessage(const StandardReadiness& readiness, const std::wstring& shownPath);
// The one line of a run whose standard file loads but has problems.
std::string ProblemsMessage(const StandardReadiness& readiness, const std::wstring& shownPath);

}  // namespace kvstcheck
