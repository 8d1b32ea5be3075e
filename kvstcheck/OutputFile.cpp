#include "kvstcheck/OutputFile.h"

#include <windows.h>

#include <algorithm>

#include "kvstcheck/Files.h"
#include "kvstcheck/Interrupts.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/Text.h"

namespace kvstcheck {
namespace {

// Enough of a file's beginning to hold any format's mark.
constexpr DWORD kHeadBytes = 4096;
constexpr char kHtmlGenerator[] = "<meta name=\"generator\" content=\"kvstcheck\">";

// A new file beside the output, removed unless it was moved into place.
class TemporaryBeside {
public:
    explicit TemporaryBeside(const std::wstring& fullTarget) {
        const std::wstring folder = FolderOf(fullTarget);
        const std::wstring joined = folder.ends_with(L'\\') ? folder : folder + L'\\';
        for (unsigned attempt = 0; attempt < 100 && !handle_; ++attempt) {
            path_ = SystemPath(joined + L"~kvstcheck-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                               std::to_wstring(attempt) + L".tmp");
            handle_.reset(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
            if (handle_) return;
            error_ = ::GetLastError();
            if (error_ != ERROR_FILE_EXISTS && error_ != ERROR_ALREADY_EXISTS) break;
        }
        path_.clear();
    }
    TemporaryBeside(const TemporaryBeside&) = delete;
    TemporaryBeside& operator=(const TemporaryBeside&) = delete;
    ~TemporaryBeside() {
        handle_.reset();
        if (!path_.empty()) ::DeleteFileW(path_.c_str());
    }

    // 0 when created; else the system's error.
    DWORD error() const noexcept { return path_.empty() ? error_ : 0; }

    DWORD Write(std::string_view bytes) {
        while (!bytes.empty()) {
            DWORD written = 0;
            const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
            if (!::WriteFile(handle_.get(), bytes.data(), chunk, &written, nullptr) || written == 0)
                return ::GetLastError();
            bytes.remove_prefix(written);
        }
        return ::FlushFileBuffers(handle_.get()) ? 0 : ::GetLastError();
    }

    // A new target is never made over a file that appeared meanwhile; an existing one is replaced
    // whole, keeping its attributes, or left as it was.
    DWORD MoveTo(const std::wstring& target, bool replace) {
        handle_.reset();
        if (replace) {
            // A file held open without leave to delete it cannot be replaced: ask before trying,
            // so that a failed replace leaves no file of its own behind.
            const kv::FileHandle held(::CreateFileW(target.c_str(), DELETE,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!held) return ::GetLastError();
        }
        const BOOL moved = replace ? ::ReplaceFileW(target.c_str(), path_.c_str(), nullptr,
                                                    REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                                   : ::MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        if (!moved) return ::GetLastError();
        path_.clear();
        return 0;
    }

private:
    std::wstring path_;
    kv::FileHandle handle_;
    DWORD error_ = 0;
};

// The folder part of the path as the user gave it: "/nope" of "/nope/x.xml".
std::string GivenFolder(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return "(the working folder)";
    return EncodeUtf8(path.substr(0, separator == 0 ? 1 : separator));
}

bool HeldByAnotherProgram(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

}  // namespace

void RunInputs::Add(const std::wstring& path, const std::string& what) { inputs_.push_back({path, what}); }

std::string RunInputs::Describe(const FileIdentity& identity) const {
    const std::size_t drawings = drawings_ ? drawings_->size() : 0;
    if (!identities_) {
        identities_.emplace();
        identities_->reserve(drawings + inputs_.size());
        for (std::size_t i = 0; i < drawings; ++i) identities_->push_back(IdentityOf((*drawings_)[i].path));
        for (const Input& input : inputs_) identities_->push_back(IdentityOf(input.path));
    }
    const auto found = std::find(identities_->begin(), identities_->end(), identity);
    if (found == identities_->end()) return {};
    const auto index = static_cast<std::size_t>(found - identities_->begin());
    return index < drawings ? "a drawing of this run" : inputs_[index - drawings].what;
}

OutputFile::OutputFile(std::wstring path, std::string what, OutputMark mark)
    : path_(std::move(path)), what_(std::move(what)), mark_(mark) {}

std::string OutputFile::Refusal(const RunInputs& inputs, bool force) {
    const std::string named = EncodeUtf8(path_) + ": cannot write " + what_ + " there: ";
    const std::wstring full = FullPath(path_);
    switch (KindOfPath(path_)) {
        case PathKind::Folder: return named + "it is a folder; give a file name";
        case PathKind::Missing: {
            if (KindOfPath(FolderOf(full)) != PathKind::Folder)
                return named + "its folder " + GivenFolder(path_) + " does not exist";
            // A device has no attributes to show, but opens: it is no file to replace.
            const kv::FileHandle device(::CreateFileW(SystemPath(path_).c_str(), 0,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (device) return named + "it is a device, not a file";
            // A folder that takes no new file (read-only, not this user's) is found now, not after the audit.
            const TemporaryBeside probe(full);
            if (const DWORD error = probe.error())
                return named + "cannot create a file in its folder " + GivenFolder(path_) + ": " + SystemMessage(error);
            return {};
        }
        case PathKind::File: break;
    }
    replaces_ = true;
    if (const auto identity = IdentityOf(path_)) {
        const std::string input = inputs.Describe(*identity);
        if (!input.empty()) return named + "it is " + input + ", which the run reads; choose another file";
    }
    const kv::FileHandle file(::CreateFileW(SystemPath(path_).c_str(), GENERIC_READ | DELETE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return named + SystemMessage(::GetLastError(), FileUse::Writing);
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) return named + "it is a device, not a file";
    if (::GetFileAttributesW(SystemPath(path_).c_str()) & FILE_ATTRIBUTE_READONLY)
        return named + "the file is read-only";
    if (force) return {};
    std::string head(kHeadBytes, '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), head.data(), kHeadBytes, &read, nullptr)) read = 0;
    head.resize(read);
    if (mark_(head)) return {};
    if (mark_ == NeverOurs) return named + "the file exists; add --force to replace it, or choose another name";
    return named + "the file exists and kvstcheck did not write it; add --force to replace it, or choose another name";
}

std::string OutputFile::Write(std::string_view bytes) const {
    const std::string named = EncodeUtf8(path_) + ": cannot write " + what_ + ": ";
    const std::wstring full = FullPath(path_);
    // Ctrl+C while the temporary file exists would leave it behind: interrupts wait until it is in place
    // or gone. A run writes its files at its very end, so nothing is lost by it.
    const InterruptsHeld held;
    TemporaryBeside temporary(full);
    if (const DWORD error = temporary.error())
        return named + "cannot create a file in its folder " + EncodeUtf8(FolderOf(full)) + ": " + SystemMessage(error, FileUse::Writing);
    if (const DWORD error = temporary.Write(bytes)) return named + SystemMessage(error, FileUse::Writing);
    DWORD error = temporary.MoveTo(SystemPath(full), replaces_);
    // The file it was to replace is gone: the report is still wanted.
    if (replaces_ && error == ERROR_FILE_NOT_FOUND) error = temporary.MoveTo(SystemPath(full), false);
    if (error == 0) return {};
    if (HeldByAnotherProgram(error))
        return named + "another program has the file open and keeps it from being replaced: close it there and run again";
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
        return named + "a file of that name appeared during the run; it is left as it is";
    return named + SystemMessage(error, FileUse::Writing);
}

bool IsKvstcheckHtml(std::string_view head) { return head.find(kHtmlGenerator) != std::string_view::npos; }

bool NeverOurs(std::string_view) { return false; }

}  // namespace kvstcheck
