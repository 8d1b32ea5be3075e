#include "StandardLoader.h"
// Placeholder until the loader lands.
namespace standards {
bool LoadStandardFile(const std::wstring&, const StandardTargets&) noexcept { return false; }
}
