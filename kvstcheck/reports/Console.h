#pragma once
// Writes UTF-8 text to the standard output and error: byte for byte to a file or a pipe, so that it
// reaches a Linux pipe unchanged; as UTF-16 to a console, which would read bytes in its own code page.
#include <cstddef>
#include <string_view>

namespace kvstcheck {

void WriteOut(std::string_view utf8);
void WriteErr(std::string_view utf8);
// 0 while every write to the standard output has succeeded; else the system's error for the first
// that failed (a full disk, a closed pipe). The writes go on, so that a run still ends as it should.
unsigned long StandardOutputError() noexcept;
// Whether the standard error is a console (a person watching), not a file or a pipe.
bool ErrorIsConsole();
// The columns of the console behind the standard error; 80 when it cannot say.
std::size_t ErrorConsoleWidth();
// A message for the user on the standard error: prefixed with "kvstcheck: ", ended with a new line.
void WriteError(std::string_view utf8);

}  // namespace kvstcheck
