#include "StandardLoad.h"

#include <string_view>

namespace standards {
namespace {

std::optional<std::size_t> KindOf(const std::wstring& typeName) noexcept {
    for (std::size_t kind = 0; kind < kStandardKindCount; ++kind)
        if (typeName == kStandardTypeNames[kind]) return kind;
    return std::nullopt;
}

class Loader {
public:
    Loader(StandardValues& values, bool withAccount) : values_(values) {
        if (withAccount) result_.account.emplace();
    }

    StandardLoad Run() noexcept {
        try {
            pool_ = std::make_shared<NamePool>();
            result_.loaded = Walk();
        } catch (...) {
            result_.loaded = false;
            Failed(LoadEnd::Failure, 0);
        }
        for (std::size_t kind = 0; kind < kStandardKindCount; ++kind)
            if (result_.kinds[kind].filled) Publish(kind);
        return std::move(result_);
    }

private:
    bool Walk() {
        std::int32_t typeCount = 0;
        const bool counted = values_.TypeCount(typeCount);
        Note(LoadRead::Of::TypeCount, 0, 0, counted, typeCount, {});
        if (!counted) return Failed(LoadEnd::NoTypeCount, 0);
        // An array of no elements cannot be dimensioned; the filter keeps what it held.
        if (typeCount < 1) return Failed(LoadEnd::TypeCountBelowOne, 0);
        result_.typeNames.emplace(static_cast<std::size_t>(typeCount));

        // Counts come from 16-bit values, so every index fits the 16-bit parameters.
        for (std::int32_t type = 1; type <= typeCount; ++type) {
            const auto section = static_cast<std::int16_t>(type);
            const bool named = values_.TypeName(section, text_);
            Note(LoadRead::Of::TypeName, section, 0, named, 0, text_);
            // A missing section or type name ends the walk; what was loaded stands.
            if (!named) return Ended(LoadEnd::NoTypeName, section);
            (*result_.typeNames)[static_cast<std::size_t>(type - 1)] = text_;
            const auto kind = KindOf(text_);

            std::int32_t nameCount = 0;
            const bool counted = values_.NameCount(section, nameCount);
            Note(LoadRead::Of::NameCount, section, 0, counted, nameCount, {});
            if (!counted) return Ended(LoadEnd::NoNameCount, section);
            if (kind) {
                // A list of no names cannot be dimensioned; the load fails and the list keeps what it held.
                if (nameCount < 1) return Failed(LoadEnd::NameCountBelowOne, section);
                lists_[*kind].assign(static_cast<std::size_t>(nameCount), std::wstring_view());
                result_.kinds[*kind].filled = true;
            }
            ReadNames(section, nameCount, kind);
        }
        return true;
    }

    void ReadNames(std::int16_t section, std::int32_t nameCount, std::optional<std::size_t> kind) {
        for (std::int32_t name = 1; name <= nameCount; ++name) {
            const auto key = static_cast<std::int16_t>(name);
            const bool found = values_.Name(section, key, text_);
            Note(LoadRead::Of::Name, section, key, found, 0, text_);
            if (!found) return;
            if (kind) lists_[*kind][static_cast<std::size_t>(name - 1)] = pool_->Add(text_);
        }
    }

    // Without memory for the list's view the load fails, and the list keeps what it held.
    void Publish(std::size_t kind) noexcept {
        try {
            result_.kinds[kind].names = NameView(pool_, std::move(lists_[kind]));
        } catch (...) {
            result_.kinds[kind].filled = false;
            result_.loaded = false;
            Failed(LoadEnd::Failure, 0);
        }
    }

    // The load's result, with where and why it ended.
    bool Ended(LoadEnd end, std::int16_t section) noexcept {
        if (result_.account) {
            result_.account->end = end;
            result_.account->endSection = section;
        }
        return true;
    }
    bool Failed(LoadEnd end, std::int16_t section) noexcept { return !Ended(end, section); }

    // Kept apart from the recording, so that a load without an account pays only the test.
    void Note(LoadRead::Of of, std::int16_t section, std::int16_t name, bool found, std::int32_t count,
              std::wstring_view text) {
        if (result_.account) Record(of, section, name, found, count, text);
    }
    void Record(LoadRead::Of of, std::int16_t section, std::int16_t name, bool found, std::int32_t count,
                std::wstring_view text) {
        result_.account->reads.push_back(
            {of, section, name, found, found ? count : 0, found ? std::wstring(text) : std::wstring()});
    }

    StandardValues& values_;
    StandardLoad result_;
    std::shared_ptr<NamePool> pool_;
    std::array<std::vector<std::wstring_view>, kStandardKindCount> lists_;
    std::wstring text_;  // the read buffer, reused for every value
};

}  // namespace

StandardLoad LoadStandard(StandardValues& values, bool withAccount) noexcept {
    try {
        return Loader(values, withAccount).Run();
    } catch (...) {
        return {};
    }
}

StandardLoad FileNotFound(bool withAccount) {
    StandardLoad load;
    if (withAccount) load.account.emplace().end = LoadEnd::FileNotFound;
    return load;
}

}  // namespace standards
