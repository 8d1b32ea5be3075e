#include "NameStore.h"

#include <algorithm>

namespace standards {
namespace {

// Blocks grow with the load, so that a large file takes few of them, up to a size whose unused end
// wastes little.
constexpr std::size_t kFirstBlock = 4096;
constexpr std::size_t kLargestBlock = std::size_t{1} << 16;

}  // namespace

void NamePool::NewBlock(std::size_t atLeast) {
    const std::size_t next = std::min(std::max(lastBlockSize_ * 2, kFirstBlock), kLargestBlock);
    const std::size_t size = std::max(next, atLeast);
    blocks_.push_back(std::make_unique_for_overwrite<wchar_t[]>(size));
    lastBlockSize_ = size;
    next_ = blocks_.back().get();
    end_ = next_ + size;
}

NameView NameView::Indexed() const {
    NameView indexed = *this;
    indexed.index_ = HashedNames(*this);
    return indexed;
}

}  // namespace standards
