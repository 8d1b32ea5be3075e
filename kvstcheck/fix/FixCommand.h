#pragma once
// kvstcheck fix: the plan of renames and layer properties for each drawing, printed (a dry run), kept,
// or applied to copies or to the drawings themselves, each written drawing proven before it is kept.
#include <string>
#include <vector>

namespace kvstcheck::fix {

// arguments: UTF-8, the program's name first. Returns the exit status: 0 the fixed drawings follow the
// standard, 1 findings remain that nothing maps, 2 an error or a refusal. Starts COM on the calling thread.
int RunFixCommand(const std::vector<std::string>& arguments);

}  // namespace kvstcheck::fix
