#pragma once
// Files for the rewriter's test driver and benchmark: a drawing read piece by piece and a file
// written piece by piece, through the C library (paths are plain ASCII here).
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "kvstcheck/fix/Rewrite.h"

namespace fixtest {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

inline File Open(const std::string& path, const char* mode) {
    File file(std::fopen(path.c_str(), mode));
    if (!file) throw std::runtime_error("cannot open " + path);
    return file;
}

class FileBytes final : public kvstcheck::DxfBytes {
public:
    explicit FileBytes(const std::string& path) : path_(path), file_(Open(path, "rb")) {}
    std::size_t ReadNext(char* buffer, std::size_t size) override { return std::fread(buffer, 1, size, file_.get()); }
    std::string ReadTail(std::size_t count) override {
        File tail = Open(path_, "rb");
        std::fseek(tail.get(), 0, SEEK_END);
        const long size = std::ftell(tail.get());
        const long start = size > static_cast<long>(count) ? size - static_cast<long>(count) : 0;
        std::fseek(tail.get(), start, SEEK_SET);
        std::string bytes(static_cast<std::size_t>(size - start), '\0');
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), tail.get()));
        return bytes;
    }

private:
    std::string path_;
    File file_;
};

class FileSink final : public kvstcheck::fix::ByteSink {
public:
    explicit FileSink(const std::string& path) : file_(Open(path, "wb")) {}
    void Write(std::string_view bytes) override {
        if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) throw std::runtime_error("write failed");
    }
    void Close() { file_.reset(); }

private:
    File file_;
};

}  // namespace fixtest
