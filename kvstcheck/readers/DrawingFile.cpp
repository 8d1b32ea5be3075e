#include "kvstcheck/readers/DrawingFile.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "com/Handle.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/readers/DxfReader.h"
#include "kvstcheck/readers/InputError.h"
#include "kvstcheck/readers/JsonDrawingReader.h"
#include "kvstcheck/readers/SystemTextDecoder.h"

namespace kvstcheck {
namespace {

// JSON drawings are read whole; beyond this size they are not drawings this tool is meant for.
constexpr LONGLONG kLargestJsonFile = 1LL << 30;

kv::FileHandle OpenDrawing(const std::wstring& path) {
    kv::FileHandle file(::CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        // Asked only now: every question to the file system costs a drawing time.
        const DWORD error = ::GetLastError();
        if (KindOfPath(path) == PathKind::Folder) throw InputError(0, "this is a folder, not a drawing file");
        throw InputError(0, "cannot open the file: " + SystemMessage(error));
    }
    // Names such as NUL or CON open a device, whatever their extension.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) throw InputError(0, "this is a device, not a drawing file");
    return file;
}

[[noreturn]] void ThrowReadError() { throw InputError(0, "cannot read the file: " + SystemMessage(::GetLastError())); }

LONGLONG Position(HANDLE file, LONGLONG offset, DWORD from) {
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER now{};
    if (!::SetFilePointerEx(file, distance, &now, from)) ThrowReadError();
    return now.QuadPart;
}

LONGLONG SizeOf(HANDLE file) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size)) ThrowReadError();
    return size.QuadPart;
}

// Reads at most size bytes at the file's current position; fewer only at its end.
std::size_t ReadSome(HANDLE file, char* buffer, std::size_t size) {
    DWORD read = 0;
    if (!::ReadFile(file, buffer, static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD)), &read, nullptr))
        ThrowReadError();
    return read;
}

std::string ReadWholeFile(const std::wstring& path) {
    const kv::FileHandle file = OpenDrawing(path);
    const LONGLONG size = SizeOf(file.get());
    if (size > kLargestJsonFile) throw InputError(0, "the file is too large (over 1 GiB)");
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!bytes.empty() && ReadSome(file.get(), bytes.data(), bytes.size()) != bytes.size()) ThrowReadError();
    return bytes;
}

std::wstring LowerExtension(const std::wstring& path) {
    const auto dot = path.find_last_of(L".\\/");
    if (dot == std::wstring::npos || path[dot] != L'.') return {};
    std::wstring extension = path.substr(dot);
    for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towlower(c));
    return extension;
}

}  // namespace

DrawingContent ReadDrawingFile(const std::wstring& path) {
    const std::wstring extension = LowerExtension(path);
    if (extension != L".dxf" && extension != L".json")
        throw InputError(0, "unknown kind of drawing file: the name must end in .dxf or .json");
    try {
        if (extension == L".dxf") {
            DrawingFileBytes file(path);
            return ReadDxf(file, SystemTextDecoder());
        }
        return DrawingContent{ReadJsonDrawing(ReadWholeFile(path)), {}};
    } catch (const std::bad_alloc&) {
        // A 32-bit process: tables or a JSON drawing of some hundred megabytes may not fit, and the
        // next drawing still may.
        throw InputError(0, "the file is too large to read into this program's memory");
    }
}

DrawingFileBytes::DrawingFileBytes(const std::wstring& path) : file_(OpenDrawing(path)) {}

DrawingFileBytes::DrawingFileBytes(kv::FileHandle file) : file_(std::move(file)) { Position(file_.get(), 0, FILE_BEGIN); }

std::size_t DrawingFileBytes::ReadNext(char* buffer, std::size_t size) {
    const std::size_t read = ReadSome(file_.get(), buffer, size);
    // A disk file reads short only at its end.
    if (pieces_++ == 0 && read < size) wholeFile_.emplace(buffer, read);
    return read;
}

std::string DrawingFileBytes::ReadTail(std::size_t count) {
    if (wholeFile_) return wholeFile_->substr(wholeFile_->size() - std::min(count, wholeFile_->size()));
    // Those that hash the pieces in order read on from where they were.
    const LONGLONG resume = Position(file_.get(), 0, FILE_CURRENT);
    const LONGLONG end = Position(file_.get(), 0, FILE_END);
    const LONGLONG start = end - std::min<LONGLONG>(end, static_cast<LONGLONG>(count));
    Position(file_.get(), start, FILE_BEGIN);
    std::string tail(static_cast<std::size_t>(end - start), '\0');
    std::size_t filled = 0;
    while (filled < tail.size()) {
        const std::size_t read = ReadSome(file_.get(), tail.data() + filled, tail.size() - filled);
        if (read == 0) break;
        filled += read;
    }
    tail.resize(filled);
    Position(file_.get(), resume, FILE_BEGIN);
    return tail;
}

}  // namespace kvstcheck
