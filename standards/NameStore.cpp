#include "NameStore.h"

#include <algorithm>

namespace standards {
namespace {

// Blocks grow with the load, so that a large file takes few of them, up to a size that the heap
// serves from memory it keeps (larger blocks are mapped afresh, and each page faults in again, at
// every load).
constexpr std::size_t kFirstBlock = 4096;
constexpr std::size_t kLargestBlock = std::size_t{1} << 16;

}  // namespace

std::wstring_view NamePool::Add(std::wstring_view text) {
    if (text.empty()) return {};
    if (capacity_ - used_ < text.size()) {
        const std::size_t next = std::min(std::max(capacity_ * 2, kFirstBlock), kLargestBlock);
        const std::size_t size = std::max(next, text.size());
        blocks_.push_back(std::make_unique_for_overwrite<wchar_t[]>(size));
        capacity_ = size;
        used_ = 0;
    }
    wchar_t* const start = blocks_.back().get() + used_;
    std::copy(text.begin(), text.end(), start);
    used_ += text.size();
    return {start, text.size()};
}

}  // namespace standards
