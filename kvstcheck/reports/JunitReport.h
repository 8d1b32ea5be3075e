#pragma once
// A run as JUnit XML for a CI job: one test case per drawing (its folder as the class name, its
// file as the name), a failure for a drawing with findings listing them, an error for a drawing
// not audited; accepted findings pass and are listed in the case's output.
#include <cstddef>
#include <string>
#include <string_view>

#include "kvstcheck/reports/Report.h"

namespace kvstcheck {

// Keeps only the XML it will write.
class JunitReport {
public:
    void Add(const DrawingResult& drawing);
    // The whole document; a run whose set-up failed gets one case in error, so that no CI reads it
    // as passed.
    std::string Document(const RunReport& report) const;

private:
    std::string cases_;
    std::size_t tests_ = 0;
    std::size_t failures_ = 0;
    std::size_t errors_ = 0;
};

// XML 1.0 text: &, <, >, " and ' as references; TAB, LF and CR as references too (attribute values
// keep them so); characters XML 1.0 cannot hold at all (other control characters, U+FFFE, U+FFFF)
// as U+FFFD.
std::string EscapeXml(std::string_view utf8);

}  // namespace kvstcheck
