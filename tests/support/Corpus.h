#pragma once
// The saved inputs of a fuzz target, for the tests that replay them in the Windows build.
#include <string>
#include <vector>

namespace kvtest {

struct CorpusInput {
    std::string name;   // the file's name, UTF-8, for failure messages
    std::string bytes;
};

// Every file of the folder (a path in UTF-8, with / or \), in no particular order; none when the
// folder cannot be read.
std::vector<CorpusInput> ReadCorpus(const std::string& folder);

}  // namespace kvtest
