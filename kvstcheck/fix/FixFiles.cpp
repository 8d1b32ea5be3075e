#include "kvstcheck/fix/FixFiles.h"

#include <algorithm>

#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/readers/InputError.h"

namespace kvstcheck::fix {
namespace {

constexpr std::size_t kWriteBuffer = 256 * 1024;

[[noreturn]] void ThrowSystemError(const std::string& what) {
    throw InputError(0, what + ": " + SystemMessage(::GetLastError()));
}

std::size_t ReadSome(HANDLE file, char* buffer, std::size_t size) {
    DWORD read = 0;
    if (!::ReadFile(file, buffer, static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD)), &read, nullptr))
        ThrowSystemError("cannot read the drawing");
    return read;
}

LONGLONG Position(HANDLE file, LONGLONG offset, DWORD from) {
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER now{};
    if (!::SetFilePointerEx(file, distance, &now, from)) ThrowSystemError("cannot read the drawing");
    return now.QuadPart;
}

}  // namespace

DrawingBytes::DrawingBytes(const std::wstring& path, Hashing hashing)
    : file_(::CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr)),
      hashing_(hashing == Hashing::Sha256) {
    if (!file_) {
        if (KindOfPath(path) == PathKind::Folder) throw InputError(0, "this is a folder, not a drawing file");
        ThrowSystemError("cannot open the drawing");
    }
    if (::GetFileType(file_.get()) != FILE_TYPE_DISK) throw InputError(0, "this is a device, not a drawing file");
}

std::size_t DrawingBytes::ReadNext(char* buffer, std::size_t size) {
    const std::size_t read = ReadSome(file_.get(), buffer, size);
    if (hashing_) hash_.Update(std::string_view(buffer, read));
    return read;
}

std::string DrawingBytes::ReadTail(std::size_t count) {
    // The hash follows the pieces in order: the tail is read aside and the place kept.
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

std::string DrawingBytes::FinishHash() {
    std::string piece(64 * 1024, '\0');
    while (ReadNext(piece.data(), piece.size()) > 0) {
    }
    return hash_.FinishHex();
}

std::string HashOfFile(const std::wstring& path) { return DrawingBytes(path).FinishHash(); }

TemporaryDrawing::TemporaryDrawing(const std::wstring& destination)
    : destination_(destination),
      path_(destination + L"." + std::to_wstring(::GetCurrentProcessId()) + L".fixing"),
      file_(::CreateFileW(SystemPath(path_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (!file_) ThrowSystemError("cannot write a temporary file beside it");
    buffer_.reserve(kWriteBuffer);
}

TemporaryDrawing::~TemporaryDrawing() {
    file_.reset();
    if (!moved_) ::DeleteFileW(SystemPath(path_).c_str());
}

void TemporaryDrawing::Write(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kWriteBuffer) Flush();
    if (bytes.size() >= kWriteBuffer)
        WriteThrough(bytes);  // a large piece goes as it is, not copied first
    else
        buffer_.append(bytes);
}

void TemporaryDrawing::WriteThrough(std::string_view bytes) {
    DWORD written = 0;
    if (!bytes.empty() && (!::WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                           written != bytes.size()))
        ThrowSystemError("cannot write the fixed drawing");
}

void TemporaryDrawing::Flush() {
    WriteThrough(buffer_);
    buffer_.clear();
}

void TemporaryDrawing::Close() {
    Flush();
    if (!::FlushFileBuffers(file_.get())) ThrowSystemError("cannot write the fixed drawing");
    file_.reset();
}

std::string TemporaryDrawing::MoveIntoPlace(bool replace) {
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!::MoveFileExW(SystemPath(path_).c_str(), SystemPath(destination_).c_str(), flags))
        return SystemMessage(::GetLastError());
    moved_ = true;
    return {};
}

}  // namespace kvstcheck::fix
