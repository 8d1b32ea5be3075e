#pragma once
// The files of a fix: a drawing read piece by piece with its SHA-256 taken on the way, and a rewritten
// drawing written to a temporary file in the folder it goes to, which goes unless it is kept.
#include <windows.h>

#include <string>

#include "com/Handle.h"
#include "kvstcheck/fix/Rewrite.h"
#include "kvstcheck/reports/Sha256.h"

namespace kvstcheck::fix {

class DrawingBytes final : public DxfBytes {
public:
    enum class Hashing { Sha256, None };
    // Others may read the drawing meanwhile, not write it. Throws InputError in plain words (a drawing
    // another program holds open is named so). Hashing::None: a file whose hash no one asks for.
    explicit DrawingBytes(const std::wstring& path, Hashing hashing = Hashing::Sha256);
    std::size_t ReadNext(char* buffer, std::size_t size) override;
    std::string ReadTail(std::size_t count) override;
    // The SHA-256 of the whole file: what was not read yet is read now.
    std::string FinishHash();

private:
    kv::FileHandle file_;
    Sha256 hash_;
    bool hashing_;
};

// The SHA-256 of a file's bytes; throws InputError.
std::string HashOfFile(const std::wstring& path);

class TemporaryDrawing final : public ByteSink {
public:
    // A new file beside destination ("NAME.dxf.<process>.fixing"). Throws InputError.
    explicit TemporaryDrawing(const std::wstring& destination);
    TemporaryDrawing(const TemporaryDrawing&) = delete;
    TemporaryDrawing& operator=(const TemporaryDrawing&) = delete;
    ~TemporaryDrawing() override;

    void Write(std::string_view bytes) override;
    // Writes what is buffered and closes the file; throws InputError.
    void Close();
    // Moves the file onto its destination (replacing it when replace); empty or why not (UTF-8).
    std::string MoveIntoPlace(bool replace);
    const std::wstring& path() const noexcept { return path_; }

private:
    void Flush();
    void WriteThrough(std::string_view bytes);

    std::wstring destination_;
    std::wstring path_;
    kv::FileHandle file_;
    std::string buffer_;
    bool moved_ = false;
};

}  // namespace kvstcheck::fix
