#include "kvstcheck/readers/JsonDrawingReader.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
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

// The members of a layer given as an object; only "name" is required.
constexpr std::array<std::string_view, 5> kLayerKeys = {"name", "color", "linetype", "lineweight", "plot"};
constexpr std::int64_t kMostColor = 255;
constexpr std::int64_t kLeastLineweight = -3;
constexpr std::int64_t kMostLineweight = 211;

// Accepts exactly one object whose members are lists of strings under the four keys; a layer may
// also be an object with its name and properties.
class DrawingHandler : public nlohmann::json_sax<Json> {
public:
    DrawingHandler(std::string_view text, const char* const* furthest) : text_(text), furthest_(furthest) {}

    bool null() override { return Unexpected("null", 0); }
    bool boolean(bool value) override {
        if (state_ != State::InLayer || layerKey_ != "plot") return Unexpected("true or false", 0);
        layer_.plot = value;
        return true;
    }
    bool number_integer(number_integer_t value) override { return LayerNumber(value); }
    // Any number above both ranges is refused alike, so a huge one is taken as the first beyond them.
    bool number_unsigned(number_unsigned_t value) override {
        constexpr auto kBeyond = static_cast<number_unsigned_t>(std::max(kMostColor, kMostLineweight) + 1);
        return LayerNumber(static_cast<number_integer_t>(std::min(value, kBeyond)));
    }
    bool number_float(number_float_t, const string_t&) override { return Unexpected("a number", 1); }
    bool binary(binary_t&) override { return Unexpected("binary data", 0); }

    bool string(string_t& value) override {
        if (state_ == State::InLayer && (layerKey_ == "name" || layerKey_ == "linetype")) return LayerText(value);
        if (state_ != State::InList) return Unexpected("a string", 0);
        const auto name = DecodeUtf8(value);
        if (!name) return Fail("a name that is not valid UTF-8", 0);
        (drawing_.*(current_->list)).push_back(*name);
        if (current_->list == &DrawingNames::layers) properties_.emplace_back();
        return true;
    }

    bool start_object(std::size_t) override {
        if (state_ == State::InList && current_->list == &DrawingNames::layers) {
            state_ = State::InLayer;
            layerName_.reset();
            layer_ = LayerProperties{};
            return true;
        }
        if (state_ != State::Start) return Unexpected("an object", 0);
        state_ = State::InObject;
        return true;
    }
    bool end_object() override {
        if (state_ == State::InLayer) return EndLayer();
        state_ = State::Done;
        return true;
    }

    bool key(string_t& key) override {
        if (state_ == State::InLayer) {
            if (std::find(kLayerKeys.begin(), kLayerKeys.end(), key) == kLayerKeys.end())
                return Fail("unknown key \"" + key + "\" in a layer (expected name, color, linetype, lineweight or plot)",
                            0);
            layerKey_ = key;
            return true;
        }
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
    // Layers' properties only when at least one layer was given with them.
    DrawingNames take() {
        if (std::any_of(properties_.begin(), properties_.end(), [](const auto& p) { return p.has_value(); }))
            drawing_.layerProperties = std::move(properties_);
        return std::move(drawing_);
    }

private:
    enum class State { Start, InObject, BeforeList, InList, InLayer, Done };

    bool LayerNumber(number_integer_t value) {
        if (state_ == State::InLayer && layerKey_ == "color") {
            if (value == 0 || value < -kMostColor || value > kMostColor)
                return Fail("a layer's \"color\" must be a colour number from 1 to 255 (negative: the layer is off)", 1);
            layer_.color = static_cast<int>(value);
            return true;
        }
        if (state_ == State::InLayer && layerKey_ == "lineweight") {
            if (value < kLeastLineweight || value > kMostLineweight)
                return Fail("a layer's \"lineweight\" must be hundredths of a millimetre from 0 to 211, or -1 (by "
                            "layer), -2 (by block), -3 (the default)",
                            1);
            layer_.lineweight = static_cast<int>(value);
            return true;
        }
        return Unexpected("a number", 1);
    }

    bool LayerText(const string_t& value) {
        const auto text = DecodeUtf8(value);
        if (!text) return Fail("a name that is not valid UTF-8", 0);
        if (layerKey_ == "name")
            layerName_ = *text;
        else
            layer_.linetype = *text;
        return true;
    }

    bool EndLayer() {
        if (!layerName_) return Fail("a layer given as an object needs its \"name\"", 0);
        drawing_.layers.push_back(std::move(*layerName_));
        properties_.emplace_back(std::move(layer_));
        state_ = State::InList;
        return true;
    }

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
        case State::InLayer:
            return Fail("a layer's \"" + layerKey_ + "\" cannot be " + found, overRead);
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
    std::vector<std::optional<LayerProperties>> properties_;  // one per layer read so far
    std::optional<std::wstring> layerName_;
    LayerProperties layer_;
    std::string layerKey_;
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
