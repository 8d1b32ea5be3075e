#include "kvstcheck/readers/DrawingFile.h"

#include <windows.h>

#include <cwctype>
#include <memory>
#include <new>

#include "com/Handle.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/readers/DxfReader.h"
#include "kvstcheck/readers/InputError.h"
#include "kvstcheck/readers/JsonDrawingReader.h"
#include "kvstcheck/readers/SystemTextDecoder.h"

namespace kvstcheck {
namespace {

// Drawing files beyond this size are not drawings this tool is meant for.
constexpr LONGLONG kLargestFile = 1LL << 30;

std::string ReadWholeFile(const std::wstring& path) {
    if (KindOfPath(path) == PathKind::Folder) throw InputError(0, "this is a folder, not a drawing file");
    const kv::FileHandle file(::CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        throw InputError(0, "cannot open the file: " + SystemMessage(::GetLastError()));
    }
    // Names such as NUL or CON open a device, whatever their extension.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) throw InputError(0, "this is a device, not a drawing file");
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) throw InputError(0, "cannot read the file: " + SystemMessage(::GetLastError()));
    if (size.QuadPart > kLargestFile) throw InputError(0, "the file is too large (over 1 GiB)");
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size()))
        throw InputError(0, "cannot read the file: " + SystemMessage(::GetLastError()));
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
        const std::string bytes = ReadWholeFile(path);
        if (extension == L".dxf") return ReadDxf(bytes, SystemTextDecoder());
        return DrawingContent{ReadJsonDrawing(bytes), {}};
    } catch (const std::bad_alloc&) {
        // A 32-bit process: a drawing of some hundred megabytes may not fit, and the next one still may.
        throw InputError(0, "the file is too large to read into this program's memory");
    }
}

}  // namespace kvstcheck
