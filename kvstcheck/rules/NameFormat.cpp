#include "kvstcheck/rules/NameFormat.h"

#include <algorithm>
#include <bit>
#include <string>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/standardtools/EditDistance.h"
#include "kvstcheck/text/CaseFolding.h"

namespace kvstcheck::rules {
namespace {

// Codes of four or more characters may be two edits away, shorter ones one; never all of it.
std::size_t NearestEdits(std::size_t length) { return length >= 4 ? 2 : length >= 2 ? 1 : 0; }

constexpr std::size_t kNearestShown = 3;

std::string Shown(const std::string& fieldName) {
    std::string shown = fieldName;
    std::replace(shown.begin(), shown.end(), '_', ' ');
    return shown;
}

bool IsNameCharacter(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9') || c == U'_';
}

}  // namespace

NameFormat::NameFormat(std::u32string_view layout, std::vector<FieldCodes> fields)
    : layout_(layout), fields_(std::move(fields)) {
    int part = -1;
    std::size_t partColumn = 0;
    for (std::size_t at = 0; at < layout.size();) {
        const std::size_t column = at + 1;
        const char32_t c = layout[at];
        if (c == U'[') {
            if (part >= 0) throw FormatError(column, "[...] parts cannot be nested");
            if (optionalParts_ == static_cast<int>(kMostOptionalParts))
                throw FormatError(column, "more than " + std::to_string(kMostOptionalParts) + " [...] parts");
            part = optionalParts_++;
            partColumn = column;
            ++at;
            continue;
        }
        if (c == U']') {
            if (part < 0) throw FormatError(column, "a ] without its [");
            part = -1;
            ++at;
            continue;
        }
        if (c == U'}') throw FormatError(column, "a } without its {");
        if (c != U'{') {
            if (tokens_.empty() || tokens_.back().isField || tokens_.back().optionalPart != part)
                tokens_.push_back(Token{{}, 0, 0, false, part});
            tokens_.back().literal += c;
            ++at;
            continue;
        }
        const auto close = layout.find(U'}', at);
        if (close == std::u32string_view::npos) throw FormatError(column, "this { has no closing }");
        std::u32string_view inside = layout.substr(at + 1, close - at - 1);
        std::size_t width = 0;
        if (const auto colon = inside.find(U':'); colon != std::u32string_view::npos) {
            const std::u32string_view digits = inside.substr(colon + 1);
            if (digits.empty() || digits.size() > 3 ||
                !std::all_of(digits.begin(), digits.end(), [](char32_t d) { return d >= U'0' && d <= U'9'; }))
                throw FormatError(column, "a field's width {name:N} must be a number from 1 to 999");
            for (const char32_t d : digits) width = width * 10 + (d - U'0');
            if (width == 0) throw FormatError(column, "a field's width {name:N} must be a number from 1 to 999");
            inside = inside.substr(0, colon);
        }
        if (inside.empty() || !std::all_of(inside.begin(), inside.end(), IsNameCharacter))
            throw FormatError(column, "a field's name must be letters, digits or _");
        const std::string name = ToUtf8(inside);
        const auto field = std::find_if(fields_.begin(), fields_.end(), [&](const FieldCodes& f) { return f.name == name; });
        if (field == fields_.end())
            throw FormatError(column, "the field {" + name + "} has no codes: give its list under fields");
        if (!tokens_.empty() && tokens_.back().isField && tokens_.back().width == 0)
            throw FormatError(column, "a field without a width must be followed by literal text: give the one "
                                      "before it a width, {name:N}");
        tokens_.push_back(Token{{}, static_cast<std::size_t>(field - fields_.begin()), width, true, part});
        at = close + 1;
    }
    if (part >= 0) throw FormatError(partColumn, "this [ has no closing ]");
    if (tokens_.empty()) throw FormatError(1, "the layout is empty");
}

FormatVerdict NameFormat::Check(std::u32string_view name) const {
    // Every choice of the [...] parts: the one with the fewest wrong fields wins, then the one with
    // the most parts, then the one with the earlier parts.
    const auto preference = [this](unsigned present) {
        unsigned earlierFirst = 0;
        for (int part = 0; part < optionalParts_; ++part)
            if (present & (1u << part)) earlierFirst |= 1u << (optionalParts_ - 1 - part);
        return std::make_pair(std::popcount(present), earlierFirst);
    };
    FormatVerdict best;
    std::pair<int, unsigned> bestPreference{};
    for (unsigned present = 0; present < (1u << optionalParts_); ++present) {
        FormatVerdict verdict = Walk(name, present);
        if (!verdict.fits) continue;
        const auto candidate = preference(present);
        if (!best.fits || verdict.problems.size() < best.problems.size() ||
            (verdict.problems.size() == best.problems.size() && candidate > bestPreference)) {
            best = std::move(verdict);
            bestPreference = candidate;
        }
    }
    return best;
}

std::vector<const NameFormat::Token*> NameFormat::Chosen(unsigned present) const {
    std::vector<const Token*> chosen;
    for (const Token& token : tokens_)
        if (token.optionalPart < 0 || (present & (1u << token.optionalPart))) chosen.push_back(&token);
    return chosen;
}

FormatVerdict NameFormat::Walk(std::u32string_view name, unsigned present) const {
    FormatVerdict verdict;
    const std::vector<const Token*> chosen = Chosen(present);
    std::size_t at = 0;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        const Token& token = *chosen[i];
        const std::u32string_view rest = name.substr(at);
        if (!token.isField) {
            if (!rest.starts_with(token.literal)) return {};
            at += token.literal.size();
            continue;
        }
        std::size_t length = token.width;
        if (length == 0) {
            if (i + 1 == chosen.size())
                length = rest.size();
            else if (!chosen[i + 1]->isField)
                length = rest.find(chosen[i + 1]->literal);
            else
                return {};
        }
        if (length == 0 || length == std::u32string_view::npos || length > rest.size()) return {};
        const std::u32string_view value = rest.substr(0, length);
        const FieldCodes& field = fields_[token.field];
        if (std::find(field.codes.begin(), field.codes.end(), value) == field.codes.end())
            verdict.problems.push_back({Shown(field.name), std::u32string(value), Nearest(field, value)});
        at += length;
    }
    verdict.fits = at == name.size();
    return verdict;
}

bool NameFormat::Uses(std::string_view field) const {
    return std::any_of(tokens_.begin(), tokens_.end(),
                       [&](const Token& token) { return token.isField && fields_[token.field].name == field; });
}

bool NameFormat::CodeCanFit(std::string_view field, std::u32string_view code) const {
    for (std::size_t i = 0; i < tokens_.size(); ++i) {
        const Token& token = tokens_[i];
        if (!token.isField || fields_[token.field].name != field) continue;
        const bool endsAtLiteral = token.width == 0 && i + 1 < tokens_.size() && !tokens_[i + 1].isField;
        if ((token.width == 0 || code.size() == token.width) &&
            (!endsAtLiteral || code.find(tokens_[i + 1].literal) == std::u32string_view::npos))
            return true;
    }
    return false;
}

std::u32string EscapedForPattern(std::u32string_view literal) {
    constexpr std::u32string_view kSpecial = U"\\^$.|?*+()[]{}/";
    std::u32string escaped;
    for (const char32_t c : literal) {
        if (kSpecial.find(c) != std::u32string_view::npos) escaped += U'\\';
        escaped += c;
    }
    return escaped;
}

std::optional<std::u32string> NameFormat::ChoicePattern(unsigned present) const {
    const std::vector<const Token*> chosen = Chosen(present);
    if (chosen.empty()) return U"(?:)";  // the empty name
    std::u32string pattern;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        const Token& token = *chosen[i];
        if (!token.isField) {
            pattern += EscapedForPattern(token.literal);
        } else if (token.width > 0) {
            pattern += U".{" + FromUtf8(std::to_string(token.width)) + U"}";
        } else if (i + 1 == chosen.size()) {
            pattern += U".+";
        } else if (chosen[i + 1]->isField) {
            return U"";  // this choice never fits
        } else if (chosen[i + 1]->literal.size() == 1) {
            const char32_t end = chosen[i + 1]->literal[0];
            pattern += std::u32string(U"[^") + (end == U']' || end == U'\\' || end == U'^' || end == U'-' ? U"\\" : U"") +
                       end + U"]+";
        } else {
            return std::nullopt;
        }
    }
    return pattern;
}

std::optional<std::u32string> NameFormat::FormPattern() const {
    std::u32string alternatives;
    for (unsigned present = 0; present < (1u << optionalParts_); ++present) {
        const auto choice = ChoicePattern(present);
        if (!choice) return std::nullopt;
        if (!choice->empty()) alternatives += (alternatives.empty() ? U"" : U"|") + *choice;
    }
    return U"^(?:" + alternatives + U")$";
}

std::vector<std::u32string> NameFormat::Nearest(const FieldCodes& field, std::u32string_view value) const {
    const std::wstring wideValue = ToWide(text::FoldCase(value));
    const std::size_t limit = NearestEdits(value.size());
    std::vector<std::pair<std::size_t, std::size_t>> close;  // distance (letter case aside), code
    for (std::size_t i = 0; i < field.codes.size(); ++i) {
        const std::size_t distance = BoundedEditDistance(wideValue, ToWide(text::FoldCase(field.codes[i])), limit);
        if (distance <= limit) close.emplace_back(distance, i);
    }
    std::stable_sort(close.begin(), close.end());
    std::vector<std::u32string> nearest;  // only the closest: a code one edit away outranks any two away
    for (std::size_t i = 0; i < close.size() && i < kNearestShown && close[i].first == close.front().first; ++i)
        nearest.push_back(field.codes[close[i].second]);
    return nearest;
}

}  // namespace kvstcheck::rules
