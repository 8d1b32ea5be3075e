#include "kvstcheck/fix/FixFiles.h"

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/readers/InputError.h"

namespace kvstcheck::fix {
namespace {

constexpr std::size_t kWriteBuffer = 256 * 1024;
constexpr std::size_t kPiece = 64 * 1024;

[[noreturn]] void ThrowSystemError(const std::string& what) {
    throw InputError(0, what + ": " + SystemMessage(::GetLastError()));
}

// Set while the file is written, cleared just before it is kept: the system deletes a file so marked
// when its last handle closes, however the process ended.
bool MarkForDeletion(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

}  // namespace

std::size_t DrawingBytes::ReadNext(char* buffer, std::size_t size) {
    const std::size_t read = file_.ReadNext(buffer, size);
    if (hashing_) hash_.Update(std::string_view(buffer, read));
    return read;
}

std::string DrawingBytes::FinishHash() {
    if (!hashing_) return {};
    std::string piece(kPiece, '\0');
    while (ReadNext(piece.data(), piece.size()) > 0) {
    }
    return hash_.FinishHex();
}

std::string CopyAll(DrawingBytes& from, ByteSink& to) {
    std::string piece(kPiece, '\0');
    while (const std::size_t read = from.ReadNext(piece.data(), piece.size())) to.Write(std::string_view(piece.data(), read));
    return from.FinishHash();
}

std::string HashOfFile(const std::wstring& path) { return DrawingBytes(path).FinishHash(); }

PendingFile::PendingFile(std::wstring path, DWORD creation, const InterruptsStopRun& interrupts)
    : path_(std::move(path)),
      // No other program opens it while it is written: what is proven is what is kept.
      file_(::CreateFileW(SystemPath(path_).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, creation,
                          FILE_ATTRIBUTE_NORMAL, nullptr)),
      interrupts_(interrupts) {
    if (!file_) {
        error_ = ::GetLastError();
    } else if (!MarkForDeletion(file_.get(), true)) {
        error_ = ::GetLastError();
        file_.reset();
        ::DeleteFileW(SystemPath(path_).c_str());
    }
    if (!error_) buffer_.reserve(kWriteBuffer);
}

void PendingFile::Write(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kWriteBuffer) Flush();
    if (bytes.size() >= kWriteBuffer)
        WriteThrough(bytes);  // a large piece goes as it is, not copied first
    else
        buffer_.append(bytes);
}

void PendingFile::WriteThrough(std::string_view bytes) {
    // A large drawing takes seconds: Ctrl+C stops it between pieces, and the file goes.
    interrupts_.ThrowIfInterrupted();
    DWORD written = 0;
    if (!bytes.empty() && (!::WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                           written != bytes.size()))
        ThrowSystemError("cannot write the file " + WideToUtf8(path_));
}

void PendingFile::Flush() {
    WriteThrough(buffer_);
    buffer_.clear();
}

void PendingFile::Finish() {
    Flush();
    if (!::FlushFileBuffers(file_.get())) ThrowSystemError("cannot write the file " + WideToUtf8(path_));
}

DrawingBytes PendingFile::ReadBack() const {
    // Opened again by name, a file marked for deletion refuses: a second handle of this one reads it.
    kv::FileHandle again;
    if (!::DuplicateHandle(::GetCurrentProcess(), file_.get(), ::GetCurrentProcess(), again.put(), 0, FALSE,
                           DUPLICATE_SAME_ACCESS))
        ThrowSystemError("cannot read the file " + WideToUtf8(path_) + " again");
    return DrawingBytes(DrawingFileBytes(std::move(again)), DrawingBytes::Hashing::None);
}

void PendingFile::TakeTimesOf(HANDLE source) const {
    FILETIME created{}, accessed{}, written{};
    if (::GetFileTime(source, &created, &accessed, &written)) ::SetFileTime(file_.get(), &created, &accessed, &written);
}

std::string PendingFile::Keep() {
    if (!MarkForDeletion(file_.get(), false)) {
        const DWORD error = ::GetLastError();
        file_.reset();
        return SystemMessage(error);
    }
    file_.reset();
    return {};
}

std::string PendingFile::MoveTo(const std::wstring& target, bool replace) {
    if (std::string error = Keep(); !error.empty()) return error;
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (::MoveFileExW(SystemPath(path_).c_str(), SystemPath(target).c_str(), flags)) return {};
    const DWORD error = ::GetLastError();
    ::DeleteFileW(SystemPath(path_).c_str());
    return SystemMessage(error);
}

PendingFile TemporaryDrawingFor(const std::wstring& destination, const InterruptsStopRun& interrupts) {
    PendingFile file(destination + L"." + std::to_wstring(::GetCurrentProcessId()) + L".fixing", CREATE_ALWAYS, interrupts);
    if (const DWORD error = file.error()) throw InputError(0, "cannot write a temporary file beside it: " + SystemMessage(error));
    return file;
}

}  // namespace kvstcheck::fix
