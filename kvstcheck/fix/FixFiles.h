#pragma once
// The files of a fix: a drawing read piece by piece with its SHA-256 taken on the way, and the files it
// writes (a fixed drawing beside its destination, a backup), which the system removes unless they are
// kept: an error, Ctrl+C or a killed process leaves no half-written file behind.
#include <windows.h>

#include <string>

#include "com/Handle.h"
#include "kvstcheck/Interrupts.h"
#include "kvstcheck/fix/Rewrite.h"
#include "kvstcheck/readers/DrawingFile.h"
#include "kvstcheck/reports/Sha256.h"

namespace kvstcheck::fix {

class DrawingBytes final : public DxfBytes {
public:
    // Hashing::None: a file whose hash no one asks for (hashing is most of a pass's time).
    enum class Hashing { Sha256, None };
    // Others may read the drawing meanwhile, not write it. Throws InputError in plain words.
    explicit DrawingBytes(const std::wstring& path, Hashing hashing = Hashing::Sha256)
        : file_(path), hashing_(hashing == Hashing::Sha256) {}
    explicit DrawingBytes(DrawingFileBytes file, Hashing hashing = Hashing::Sha256)
        : file_(std::move(file)), hashing_(hashing == Hashing::Sha256) {}
    std::size_t ReadNext(char* buffer, std::size_t size) override;
    std::string ReadTail(std::size_t count) override { return file_.ReadTail(count); }
    // The SHA-256 of the whole file: what was not read yet is read now. Empty when not hashed.
    std::string FinishHash();

private:
    DrawingFileBytes file_;
    Sha256 hash_;
    bool hashing_;
};

// The SHA-256 of a file's bytes; throws InputError.
std::string HashOfFile(const std::wstring& path);

// What is left of from handed to to, piece by piece; the SHA-256 of the whole of from.
std::string CopyAll(DrawingBytes& from, ByteSink& to);

// A new file that the system deletes when it is closed, however the process ends, until it is kept.
class PendingFile final : public ByteSink {
public:
    // creation: CREATE_NEW (a file already there is left alone: error() says ERROR_FILE_EXISTS) or
    // CREATE_ALWAYS. The run's interrupts are asked as the bytes go out.
    PendingFile(std::wstring path, DWORD creation, const InterruptsStopRun& interrupts);
    PendingFile(PendingFile&&) = default;
    ~PendingFile() override = default;

    // 0 when made; else the system's error.
    DWORD error() const noexcept { return error_; }
    const std::wstring& path() const noexcept { return path_; }

    // Throws InputError, or RunInterrupted once an interrupt asked the run to stop.
    void Write(std::string_view bytes) override;
    // What is buffered written out and on the disk; throws InputError.
    void Finish();
    // After Finish: the file's bytes from its start, not hashed.
    DrawingBytes ReadBack() const;
    // The file's times set to those of another open file (a backup keeps its drawing's).
    void TakeTimesOf(HANDLE source) const;

    // The file stays; empty, or why not (UTF-8) and it goes.
    std::string Keep();
    // Kept and moved onto target (replacing it when replace); empty, or why not and the file is gone.
    std::string MoveTo(const std::wstring& target, bool replace);

private:
    void Flush();
    void WriteThrough(std::string_view bytes);

    std::wstring path_;
    kv::FileHandle file_;
    std::string buffer_;
    const InterruptsStopRun& interrupts_;
    DWORD error_ = 0;
};

// The temporary file of a fixed drawing, beside its destination ("NAME.dxf.<process>.fixing"). Throws
// InputError.
PendingFile TemporaryDrawingFor(const std::wstring& destination, const InterruptsStopRun& interrupts);

}  // namespace kvstcheck::fix
