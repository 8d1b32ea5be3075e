#pragma once
// The names of one load in one pooled store, and lists of names that view it: no heap allocation
// per name. Portable C++20.
#include <algorithm>
#include <cstddef>
#include <iterator>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace standards {

// Text appended into blocks that never move, so every view it hands out stays valid as long as
// the pool. A few allocations per load, however many names.
class NamePool {
public:
    NamePool() = default;
    NamePool(const NamePool&) = delete;
    NamePool& operator=(const NamePool&) = delete;

    // A copy of text inside the pool. Throws std::bad_alloc. Inline: a load adds every name.
    std::wstring_view Add(std::wstring_view text) {
        if (text.empty()) return {};
        if (static_cast<std::size_t>(end_ - next_) < text.size()) NewBlock(text.size());
        wchar_t* const start = next_;
        next_ = std::copy(text.begin(), text.end(), next_);
        return {start, text.size()};
    }

private:
    void NewBlock(std::size_t atLeast);

    std::vector<std::unique_ptr<wchar_t[]>> blocks_;
    std::size_t lastBlockSize_ = 0;
    wchar_t* next_ = nullptr;  // the free room of the last block
    wchar_t* end_ = nullptr;
};

// The names of a list hashed for lookups by value; views into the list's pool.
using NameSet = std::unordered_set<std::wstring_view>;

// The names of any list hashed, as views: the names must outlive the set. Throws std::bad_alloc.
template <class Names>
std::shared_ptr<const NameSet> HashedNames(const Names& names) {
    return std::make_shared<const NameSet>(std::begin(names), std::end(names));
}

// A zero-based list of names, read-only, that shares the pool its names live in: copies are
// cheap (the names, their order and any index are shared, never copied), and a list kept from an
// earlier load keeps that load's pool alive.
class NameView {
public:
    using value_type = std::wstring_view;
    using const_iterator = std::vector<std::wstring_view>::const_iterator;
    using iterator = const_iterator;

    NameView() = default;
    // Throws std::bad_alloc.
    NameView(std::shared_ptr<const NamePool> pool, std::vector<std::wstring_view> names)
        : shared_(std::make_shared<const Shared>(Shared{std::move(pool), std::move(names)})) {}

    std::size_t size() const noexcept { return shared_ ? shared_->names.size() : 0; }
    bool empty() const noexcept { return size() == 0; }
    std::wstring_view operator[](std::size_t index) const noexcept { return shared_->names[index]; }
    const_iterator begin() const noexcept { return shared_ ? shared_->names.begin() : const_iterator(); }
    const_iterator end() const noexcept { return shared_ ? shared_->names.end() : const_iterator(); }

    // The same list with its names hashed, once, for every copy made from the result. Throws
    // std::bad_alloc.
    NameView Indexed() const;
    // The index Indexed made, or null.
    std::shared_ptr<const NameSet> Index() const noexcept { return index_; }

    // A list of copies of names, in a pool of its own. Throws std::bad_alloc.
    template <class Names>
    static NameView Of(const Names& names) {
        auto pool = std::make_shared<NamePool>();
        std::vector<std::wstring_view> views;
        views.reserve(std::size(names));
        for (const auto& name : names) views.push_back(pool->Add(name));
        return NameView(std::move(pool), std::move(views));
    }

    friend bool operator==(const NameView& a, const NameView& b) noexcept {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    struct Shared {
        std::shared_ptr<const NamePool> pool;
        std::vector<std::wstring_view> names;
    };

    std::shared_ptr<const Shared> shared_;
    std::shared_ptr<const NameSet> index_;
};

}  // namespace standards
