#include "kvstcheck/readers/JsonDrawingReader.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "kvstcheck/Text.h"
#include "kvstcheck/readers/InputError.h"

namespace kvstcheck {
namespace {

using Json = nlohmann::json;

// Walks the text for the parser and remembers how far it has read, so that a complaint about a
// value can name its line.
class TrackingIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    TrackingIterator(const char* at, const char** furthest) : at_(at), furthest_(furthest) {}
    reference operator*() const { return *at_; }
    TrackingIterator& operator++() {
        *furthest_ = ++at_;
        return *this;
    }
    TrackingIterator operator++(int) {
        TrackingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const TrackingIterator& other) const { return at_ == other.at_; }

private:
    const char* at_;
    const char** furthest_;
};

struct Kind {
    std::string_view key;
    std::vector<std::wstring> DrawingNames::*list;
};
constexpr std::array<Kind, 4> kKinds = {{
    {"Layers", &DrawingNames::layers},
    {"Linetypes", &DrawingNames::linetypes},
    {"TextStyles", &DrawingNames::textStyles},
    {"DimStyles", &DrawingNames::dimStyles},
}};

// Accepts exactly one object whose members are lists of strings under the four keys.
class DrawingHandler : public nlohmann::json_sax<Json> {
public:
    DrawingHandler(std::string_view text, const char* const* furthest) : text_(text), furthest_(furthest) {}

    bool null() override { return Unexpected("null", 0); }
    bool boolean(bool) override { return Unexpected("true or false", 0); }
    bool number_integer(number_integer_t) override { return Unexpected("a number", 1); }
    bool number_unsigned(number_unsigned_t) override { return Unexpected("a number", 1); }
    bool number_float(number_float_t, const string_t&) override { return Unexpected("a number", 1); }
    bool binary(binary_t&) override { return Unexpected("binary data", 0); }

    bool string(string_t& value) override {
        if (state_ != State::InList) return Unexpected("a string", 0);
        const auto name = DecodeUtf8(value);
        if (!name) return Fail("a name that is not valid UTF-8", 0);
        (drawing_.*(current_->list)).push_back(*name);
        return true;
    }

    bool start_object(std::size_t) override {
        if (state_ != State::Start) return Unexpected("an object", 0);
        state_ = State::InObject;
        return true;
    }
    bool end_object() override {
        state_ = State::Done;
        return true;
    }

    bool key(string_t& key) override {
        const auto kind = std::find_if(kKinds.begin(), kKinds.end(), [&](const Kind& k) { return k.key == key; });
        if (kind == kKinds.end())
            return Fail("unknown key \"" + key + "\" (expected Layers, Linetypes, TextStyles or DimStyles)", 0);
        const auto index = static_cast<std::size_t>(kind - kKinds.begin());
        if (seen_[index]) return Fail("\"" + key + "\" is given twice", 0);
        seen_[index] = true;
        current_ = &*kind;
        state_ = State::BeforeList;
        return true;
    }

    bool start_array(std::size_t) override {
        if (state_ != State::BeforeList) return Unexpected("a list", 0);
        state_ = State::InList;
        return true;
    }
    bool end_array() override {
        state_ = State::InObject;
        return true;
    }

    // position: how many characters the parser had read, the offending one included.
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& error) override {
        error_ = InputError(LineAt(position > 0 ? position - 1 : 0), "invalid JSON: " + Reason(error.what()));
        return false;
    }

    const std::optional<InputError>& error() const noexcept { return error_; }
    DrawingNames take() { return std::move(drawing_); }

private:
    enum class State { Start, InObject, BeforeList, InList, Done };

    // What was found where something else belongs; overRead: characters the parser read past the value.
    bool Unexpected(const std::string& found, std::size_t overRead) {
        switch (state_) {
        case State::Start:
            return Fail("the drawing must be a JSON object, found " + found, overRead);
        case State::BeforeList:
            return Fail("\"" + std::string(current_->key) + "\" must be a list of names, found " + found, overRead);
        case State::InList:
            return Fail("\"" + std::string(current_->key) + "\" holds " + found + "; each name must be a string",
                        overRead);
        default:
            return Fail("unexpected " + found, overRead);
        }
    }

    bool Fail(const std::string& problem, std::size_t overRead) {
        const std::size_t read = static_cast<std::size_t>(*furthest_ - text_.data());
        error_ = InputError(LineAt(read > overRead ? read - overRead - 1 : 0), problem);
        return false;
    }

    int LineAt(std::size_t offset) const {
        offset = std::min(offset, text_.size());
        return 1 + static_cast<int>(std::count(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
    }

    // The parser's own words, without its exception's name and its count of lines and columns; the
    // text it quotes from the file may hold bytes that are not UTF-8.
    static std::string Reason(std::string_view what) {
        if (const auto name = what.find("] "); what.starts_with("[json.exception.") && name != what.npos)
            what.remove_prefix(name + 2);
        if (const auto colon = what.find(": "); what.starts_with("parse error") && colon != what.npos)
            what.remove_prefix(colon + 2);
        return ValidUtf8(what);
    }

    std::string_view text_;
    const char* const* furthest_;
    State state_ = State::Start;
    const Kind* current_ = nullptr;
    std::array<bool, kKinds.size()> seen_{};
    DrawingNames drawing_;
    std::optional<InputError> error_;
};

}  // namespace

DrawingNames ReadJsonDrawing(std::string_view bytes) {
    const char* furthest = bytes.data();
    DrawingHandler handler(bytes, &furthest);
    const bool parsed = Json::sax_parse(TrackingIterator(bytes.data(), &furthest),
                                        TrackingIterator(bytes.data() + bytes.size(), &furthest), &handler);
    if (handler.error()) throw *handler.error();
    if (!parsed) throw InputError(0, "invalid JSON");
    return handler.take();
}

}  // namespace kvstcheck
