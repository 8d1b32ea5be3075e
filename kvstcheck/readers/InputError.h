#pragma once
// A drawing file that cannot be read: the message (UTF-8) says why, and where when a line is known.
#include <stdexcept>
#include <string>

namespace kvstcheck {

class InputError : public std::runtime_error {
public:
    // line 0: the problem belongs to no single line.
    InputError(int line, const std::string& problem)
        : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + problem : problem), line_(line) {}

    int line() const noexcept { return line_; }

private:
    int line_;
};

}  // namespace kvstcheck
