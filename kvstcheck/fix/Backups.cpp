#include "kvstcheck/fix/Backups.h"

#include <windows.h>

#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/readers/InputError.h"

namespace kvstcheck::fix {
namespace {

// More backups than this of one drawing means something else is wrong.
constexpr std::size_t kMostBackups = 10000;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring FileNameOf(const std::wstring& path) {
    const auto separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

// The drawing's bytes and times into the backup; their SHA-256, or BackupError in plain words.
std::string CopyInto(const std::wstring& drawing, PendingFile& backup) {
    const kv::FileHandle times(::CreateFileW(SystemPath(drawing).c_str(), FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string sha256;
    try {
        DrawingBytes bytes(drawing);
        sha256 = CopyAll(bytes, backup);
        backup.Finish();
    } catch (const InputError& error) {
        throw BackupError("the backup " + EncodeUtf8(backup.path()) + " cannot be written: " + error.what());
    }
    if (times) backup.TakeTimesOf(times.get());
    return sha256;
}

}  // namespace

std::wstring BackupName(std::wstring_view fileName, std::size_t attempt) {
    std::wstring name(fileName);
    if (attempt > 0) name += L"." + std::to_wstring(attempt);
    return name + L".bak";
}

std::wstring BelowFolder(const std::wstring& folder, const std::wstring& relative) {
    if (folder.empty() || IsSeparator(folder.back())) return folder + relative;
    return folder + L"\\" + relative;
}

std::wstring RelativePath(const std::wstring& argument, const std::wstring& drawing, bool argumentIsFolder) {
    if (!argumentIsFolder || drawing.size() <= argument.size() || drawing.compare(0, argument.size(), argument) != 0)
        return FileNameOf(drawing);
    std::size_t start = argument.size();
    while (start < drawing.size() && IsSeparator(drawing[start])) ++start;
    return drawing.substr(start);
}

std::string MakeFolders(const std::wstring& folder) {
    const std::wstring full = FullPath(folder);
    if (KindOfPath(full) == PathKind::Folder) return {};
    const std::wstring parent = FolderOf(full);
    if (!parent.empty() && parent != full && parent.size() > 3)
        if (std::string error = MakeFolders(parent); !error.empty()) return error;
    if (::CreateDirectoryW(SystemPath(full).c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS) {
        if (KindOfPath(full) == PathKind::Folder) return {};
        return "the folder " + EncodeUtf8(full) + " cannot be made: a file stands there";
    }
    return "the folder " + EncodeUtf8(full) + " cannot be made: " + SystemMessage(::GetLastError());
}

PendingBackup MakeBackup(const std::wstring& drawing, const std::wstring& folder, const InterruptsStopRun& interrupts) {
    if (const std::string error = folder.empty() ? std::string() : MakeFolders(folder); !error.empty())
        throw BackupError(error);
    const std::wstring name = FileNameOf(drawing);
    for (std::size_t attempt = 0; attempt < kMostBackups; ++attempt) {
        // Made only where the name is free, so an earlier backup is never replaced, even one made meanwhile.
        PendingFile backup(BelowFolder(folder, BackupName(name, attempt)), CREATE_NEW, interrupts);
        const DWORD error = backup.error();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
        if (error != 0)
            throw BackupError("the backup " + EncodeUtf8(backup.path()) + " cannot be written: " + SystemMessage(error));
        std::string sha256 = CopyInto(drawing, backup);
        return {std::move(backup), std::move(sha256)};
    }
    throw BackupError("the drawing has " + std::to_string(kMostBackups) + " backups in " + EncodeUtf8(folder) +
                      " already: move some away");
}

}  // namespace kvstcheck::fix
