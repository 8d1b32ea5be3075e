#include "kvstcheck/fix/FixDrawing.h"

#include <windows.h>

#include <cwctype>
#include <optional>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/fix/Backups.h"
#include "kvstcheck/fix/FixFiles.h"
#include "kvstcheck/fix/FixRequests.h"
#include "kvstcheck/readers/DrawingFile.h"
#include "kvstcheck/readers/DxfReader.h"
#include "kvstcheck/readers/InputError.h"
#include "kvstcheck/readers/JsonDrawingReader.h"
#include "kvstcheck/reports/Sha256.h"
#include "kvstcheck/readers/SystemTextDecoder.h"
#include "kvstcheck/reports/KindLabels.h"

namespace kvstcheck::fix {
namespace {

struct Planned {
    DrawingPlan plan;
    RewriteAccount account;
    std::vector<Finding> before;    // the drawing's findings as it is
    std::vector<Finding> expected;  // those the fixed drawing will have
    DrawingNames after;             // its names
    std::optional<std::string> json;  // a JSON drawing's fixed text, written whole
};

// JSON drawings are read whole by the reader too; beyond this they are not drawings for this tool.
constexpr std::size_t kLargestJsonDrawing = 1u << 30;

bool HasExtension(const std::wstring& path, std::wstring_view kExtension) {
    if (path.size() < kExtension.size()) return false;
    const std::size_t start = path.size() - kExtension.size();
    for (std::size_t i = 0; i < kExtension.size(); ++i)
        if (std::towlower(path[start + i]) != static_cast<std::wint_t>(kExtension[i])) return false;
    return true;
}

std::vector<LeftName> Unmapped(const std::vector<Finding>& findings) {
    std::vector<LeftName> names;
    // The kind in the user's words, as the audit's lines name it.
    const Language language = UserLanguage();
    for (const Finding& finding : findings)
        names.push_back({KindName(finding, language), WideToUtf8(finding.name), finding.message});
    return names;
}

// The request, the account and what the fixed drawing will give; a refusal in the plan where the
// drawing must not be changed.
Planned PlanOne(const FixContext& context, const DrawingTarget& target) {
    Planned out;
    out.plan.path = WideToUtf8(target.path);
    out.plan.below = WideToUtf8(target.below);
    const DrawingNames names = ReadDrawingFile(target.path).names;
    out.before = context.auditor.Audit(names, target.path);
    const DrawingRequest request = target.planned ? RequestOf(*target.planned, context.options.force)
                                                  : RequestFor(context.setup, names, out.before, context.options.force);
    if (HasExtension(target.path, L".json")) {
        std::string error;
        const auto bytes = ReadSmallFile(target.path, kLargestJsonDrawing, error);
        if (!bytes) throw InputError(0, error);
        out.json.emplace();
        out.account = RewriteJsonDrawing(*bytes, *out.json, context.codec, request.request);
        out.plan.sha256 = Sha256Hex(*bytes);
    } else {
        DrawingBytes bytes(target.path);
        out.account = PlanDxf(bytes, context.codec, request.request);
        out.plan.sha256 = bytes.FinishHash();
    }
    FillPlan(out.account, request, out.plan);
    if (target.planned && out.plan.refusal.empty()) {
        if (target.planned->sha256 != out.plan.sha256)
            out.plan.refusal = "the drawing changed since the plan was made (its SHA-256 differs)";
        else if (target.planned->renames != out.plan.renames || target.planned->properties != out.plan.properties)
            out.plan.refusal = "the drawing would be fixed otherwise than the plan says";
    }
    out.after = AfterFix(names, out.account);
    out.expected = out.plan.refusal.empty() ? context.auditor.Audit(out.after, target.path) : out.before;
    // A fixed drawing must bring no finding of its own: such a plan is refused before anything is written.
    if (const std::string added = CompareFindings(out.before, out.expected, out.expected); !added.empty()) {
        out.plan.refusal = "the fix would bring " + added;
        out.expected = out.before;
    }
    out.plan.unmapped = Unmapped(out.expected);
    return out;
}

// The folder part of a path as the user spelled it; empty for a bare file name.
std::wstring FolderPart(const std::wstring& path) {
    const auto separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

std::wstring DestinationOf(const FixOptions& options, const DrawingTarget& target) {
    return options.inPlace ? target.path : BelowFolder(options.output, target.below);
}

// The written drawing read again, audited again and compared pair by pair with the original; empty when
// it holds, else what fails.
std::string Prove(const FixContext& context, const DrawingTarget& target, const Planned& planned, const RewriteAccount& done,
                  const PendingFile& written) {
    DrawingNames names;
    if (planned.json) {
        DrawingBytes again = written.ReadBack();
        StringSink bytes;
        CopyAll(again, bytes);
        names = ReadJsonDrawing(bytes.text);
    } else {
        DrawingBytes rewrittenNames = written.ReadBack();
        names = ReadDxf(rewrittenNames, SystemTextDecoder()).names;
    }
    const std::string findings = CompareFindings(planned.before, planned.expected, context.auditor.Audit(names, target.path));
    if (!findings.empty()) return findings;
    // A JSON drawing holds nothing but its names: they are the whole proof.
    if (planned.json)
        return names.layers == planned.after.layers && names.linetypes == planned.after.linetypes &&
                       names.textStyles == planned.after.textStyles && names.dimStyles == planned.after.dimStyles
                   ? std::string()
                   : "its names read back are not the ones planned";
    // The original is hashed as the proof reads it, so that what is proven is the drawing planned: one
    // that changed since (also while it was rewritten) is named so.
    DrawingBytes original(target.path);
    DrawingBytes rewritten = written.ReadBack();
    const auto changed = [&] { return original.FinishHash() != planned.plan.sha256; };
    std::optional<std::string> problem;
    try {
        problem = VerifyRewrite(original, rewritten, context.codec, done);
    } catch (const InputError&) {
        if (changed()) throw InputError(0, "the drawing changed while it was being fixed");
        throw;
    }
    if (changed()) throw InputError(0, "the drawing changed while it was being fixed");
    return problem.value_or(std::string());
}

// The folders of a copy below --output made; the copy never stands where its own drawing is (that is
// --in-place, with its backup) nor replaces a file there without --force.
void PrepareCopy(const FixOptions& options, const std::wstring& destination, const DrawingTarget& target) {
    if (std::string error = MakeFolders(FolderOf(FullPath(destination))); !error.empty()) throw InputError(0, error);
    const auto copy = IdentityOf(destination);
    if (copy && copy == IdentityOf(target.path))
        throw InputError(0, "the copy " + WideToUtf8(destination) + " would replace the drawing itself: --in-place does "
                                                                    "that, keeping a backup");
    if (KindOfPath(destination) != PathKind::Missing && !options.force)
        throw InputError(0, "the copy " + WideToUtf8(destination) + " exists already: --force replaces it");
}

// The drawing rewritten into the temporary file, from the bytes planned; the drawing is closed again
// before anything replaces it.
RewriteAccount Rewrite(const FixContext& context, const DrawingTarget& target, const Planned& planned,
                       PendingFile& temporary) {
    if (planned.json) {
        temporary.Write(*planned.json);
        temporary.Finish();
        return planned.account;
    }
    // Not hashed: the proof reads the drawing again and ties what was written to the bytes planned.
    DrawingBytes again(target.path, DrawingBytes::Hashing::None);
    RewriteAccount done = RewriteDxf(again, temporary, context.codec, planned.account);
    temporary.Finish();
    return done;
}

// The original kept as its backup and the fixed drawing put in its place, or neither: a backup is kept
// only just before its drawing is replaced, and goes again when that fails.
std::wstring ReplaceKeepingBackup(const FixContext& context, const DrawingTarget& target, const std::string& planned,
                                  PendingFile& fixed) {
    const FixOptions& options = context.options;
    const std::wstring backupFolder =
        FolderPart(options.backupDir.empty() ? target.path : BelowFolder(options.backupDir, target.below));
    PendingBackup backup = [&] {
        try {
            return MakeBackup(target.path, backupFolder, context.interrupts);
        } catch (const BackupError& error) {
            // The drawing is not fixed; the run goes on with the next.
            throw InputError(0, error.what());
        }
    }();
    // The bytes replaced must be the ones fixed: a program may have saved the drawing meanwhile.
    if (backup.sha256 != planned) throw InputError(0, "the drawing changed since it was read");
    const InterruptsHeld held;
    if (std::string error = backup.file.Keep(); !error.empty())
        throw InputError(0, "the backup " + WideToUtf8(backup.file.path()) + " cannot be kept: " + error);
    if (std::string error = fixed.MoveTo(target.path, true); !error.empty()) {
        ::DeleteFileW(SystemPath(backup.file.path()).c_str());
        throw InputError(0, "the drawing cannot be replaced: " + error);
    }
    return backup.file.path();
}

// Writes, proves and keeps the fixed drawing; the plan says what was done or why nothing was kept.
void Apply(const FixContext& context, const DrawingTarget& target, Planned& planned) {
    const FixOptions& options = context.options;
    const std::wstring destination = DestinationOf(options, target);
    if (!options.inPlace) PrepareCopy(options, destination, target);
    PendingFile temporary = TemporaryDrawingFor(destination, context.interrupts);
    const RewriteAccount done = Rewrite(context, target, planned, temporary);
    if (const std::string failed = Prove(context, target, planned, done, temporary); !failed.empty())
        throw InputError(0, "the fixed drawing failed its check, so it was not kept: " + failed);
    context.interrupts.ThrowIfInterrupted();
    if (options.inPlace) {
        planned.plan.backup = WideToUtf8(ReplaceKeepingBackup(context, target, planned.plan.sha256, temporary));
    } else {
        const InterruptsHeld held;
        if (std::string error = temporary.MoveTo(destination, options.force); !error.empty())
            throw InputError(0, "the copy " + WideToUtf8(destination) + " cannot be written: " + error);
    }
    planned.plan.written = WideToUtf8(destination);
}

// An unchanged drawing's copy below --output, byte for byte.
void CopyUnchanged(const FixContext& context, const DrawingTarget& target, DrawingPlan& plan) {
    const std::wstring destination = DestinationOf(context.options, target);
    PrepareCopy(context.options, destination, target);
    PendingFile copy = TemporaryDrawingFor(destination, context.interrupts);
    DrawingBytes bytes(target.path);
    if (CopyAll(bytes, copy) != plan.sha256) throw InputError(0, "the drawing changed while it was being copied");
    copy.Finish();
    const InterruptsHeld held;
    if (std::string error = copy.MoveTo(destination, context.options.force); !error.empty())
        throw InputError(0, "the copy " + WideToUtf8(destination) + " cannot be written: " + error);
    plan.written = WideToUtf8(destination);
}

}  // namespace

DrawingPlan FixDrawing(const FixContext& context, const DrawingTarget& target) {
    Planned planned;
    try {
        planned = PlanOne(context, target);
        if (!context.options.Writes() || !planned.plan.refusal.empty()) return planned.plan;
        context.interrupts.ThrowIfInterrupted();
        if (planned.account.renames.empty() && planned.account.properties.empty()) {
            if (!context.options.output.empty()) CopyUnchanged(context, target, planned.plan);
            return planned.plan;
        }
        Apply(context, target, planned);
    } catch (const InputError& error) {
        planned.plan.path = WideToUtf8(target.path);
        planned.plan.error = error.what();
    }
    return planned.plan;
}

}  // namespace kvstcheck::fix
