#include "kvstcheck/reports/Console.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "kvstcheck/Text.h"

namespace kvstcheck {
namespace {

// Process-wide, as the stream is.
std::atomic<DWORD> g_outputError{0};

// The first failure counts.
void RecordFailure(DWORD which, DWORD error) {
    DWORD none = 0;
    if (which == STD_OUTPUT_HANDLE) g_outputError.compare_exchange_strong(none, error);
}

// A write that made no progress without an error is a failure too.
DWORD FailureOf(BOOL succeeded) { return succeeded ? ERROR_WRITE_FAULT : ::GetLastError(); }

void WriteToConsole(HANDLE console, std::string_view utf8, DWORD which) {
    std::wstring_view text;
    const auto wide = DecodeUtf8(utf8);
    if (wide) text = *wide;
    while (!text.empty()) {
        DWORD written = 0;
        const BOOL succeeded = ::WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        if (!succeeded || written == 0) return RecordFailure(which, FailureOf(succeeded));
        text.remove_prefix(written);
    }
}

// Asking whether a handle is a console costs Wine a server request, at every line of a long run:
// each thread remembers the answer for the handle it last asked about, one for each stream.
bool IsConsole(HANDLE handle, DWORD which) {
    struct Answer {
        HANDLE handle = nullptr;
        bool console = false;
    };
    thread_local Answer output, error;
    Answer& answer = which == STD_OUTPUT_HANDLE ? output : error;
    if (handle != answer.handle) {
        DWORD mode = 0;
        answer = {handle, ::GetConsoleMode(handle, &mode) != FALSE};
    }
    return answer.console;
}

void Write(DWORD which, std::string_view bytes) {
    const HANDLE handle = ::GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || bytes.empty()) return;
    if (IsConsole(handle, which)) return WriteToConsole(handle, bytes, which);
    while (!bytes.empty()) {
        DWORD written = 0;
        const BOOL succeeded = ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        if (!succeeded || written == 0) return RecordFailure(which, FailureOf(succeeded));
        bytes.remove_prefix(written);
    }
}

}  // namespace

void WriteOut(std::string_view utf8) { Write(STD_OUTPUT_HANDLE, utf8); }

void WriteErr(std::string_view utf8) { Write(STD_ERROR_HANDLE, utf8); }

unsigned long StandardOutputError() noexcept { return g_outputError; }

bool ErrorIsConsole() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
}

std::size_t ErrorConsoleWidth() {
    constexpr std::size_t kUsualWidth = 80;
    CONSOLE_SCREEN_BUFFER_INFO information{};
    if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &information)) return kUsualWidth;
    const auto width = information.srWindow.Right - information.srWindow.Left + 1;
    return width > 0 ? static_cast<std::size_t>(width) : kUsualWidth;
}

void WriteError(std::string_view utf8) { WriteErr("kvstcheck: " + std::string(utf8) + "\n"); }

}  // namespace kvstcheck
