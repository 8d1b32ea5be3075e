#pragma once
// Whether audits against a standard file check anything, decided by the plug-in's own reading code
// as lint reads the file: a run refuses to call a drawing clean against a file the plug-in would
// check nothing with.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "kvstcheck/standardtools/Lint.h"

namespace kvstcheck {

struct StandardReadiness {
    bool checks = false;       // the plug-in loads the file with a first type name
    std::uint32_t line = 0;    // where loading stopped; 0 for the file as a whole
    std::string reason;        // UTF-8: why audits would check nothing; empty when they check
    std::size_t problems = 0;  // lint's warnings: lines the plug-in reads otherwise than meant
};

StandardReadiness ReadinessOf(const std::wstring& path);

// A run's standard file, read once: its bytes give the readiness, lint's problems, the names for
// hints, the SHA-256 and the plug-in's private copy, so that a report names the bytes audited.
class RunStandard {
public:
    // Reads the file; shownPath as the user named it, or the file beside the plug-in's module.
    explicit RunStandard(std::wstring shownPath);

    const std::wstring& shownPath() const noexcept { return shownPath_; }
    // Nothing when the file cannot be read (too large, refused, missing, a folder).
    const std::optional<std::string>& bytes() const noexcept { return bytes_; }
    // Lints the bytes and judges them; loadPath: the file the plug-in reads, which holds the same bytes
    // (a private copy of them, or the file itself). Bytes that could not be read are judged by the
    // plug-in's own load of loadPath.
    const StandardReadiness& Judge(const std::wstring& loadPath);
    const StandardReadiness& readiness() const noexcept { return readiness_; }
    // What the plug-in's loader made of the bytes, once judged; nothing when lint could not read them.
    const LoadedStandard* loaded() const noexcept;
    // Whether the file at shownPath now holds other bytes than those read (or none): a file the
    // plug-in reads itself may change while the run audits.
    bool ChangedSinceRead() const;

private:
    std::wstring shownPath_;
    std::optional<std::string> bytes_;
    std::string problem_;  // why there are no bytes
    LintReport report_;
    StandardReadiness readiness_;
};

// "file:LINE: why; run kvstcheck lint file", with the file as shown to the user.
std::string NothingCheckedMessage(const StandardReadiness& readiness, const std::wstring& shownPath);
// The one line of a run whose standard file loads but has problems.
std::string ProblemsMessage(const StandardReadiness& readiness, const std::wstring& shownPath);
// The warning of a run whose standard file changed while the plug-in read it.
std::string ChangedDuringRunMessage(const std::wstring& shownPath, const std::string& sha256);

}  // namespace kvstcheck
