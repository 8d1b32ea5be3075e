#include "DxfRewriteCheck.h"

#include <algorithm>
#include <exception>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/readers/DxfReader.h"
#include "kvstcheck/readers/InputError.h"

namespace fuzzcheck {
namespace {

using kvstcheck::fix::FixKind;
using kvstcheck::fix::FixRequest;
using kvstcheck::fix::RewriteAccount;

constexpr wchar_t kLastByteCharacter = 0xFE;

std::vector<std::wstring>& ListOf(kvstcheck::DrawingNames& names, std::size_t kind) {
    std::vector<std::wstring>* lists[] = {&names.layers, &names.linetypes, &names.textStyles, &names.dimStyles};
    return *lists[kind];
}

// Renames picked by the selector's bits: some to new names, some onto a name the drawing has (a merge),
// some to a name in another letter case.
FixRequest RequestFor(kvstcheck::DrawingNames names, unsigned char selector, const kvstcheck::fix::TextCodec& codec) {
    FixRequest request;
    for (std::size_t kind = 0; kind < 4; ++kind) {
        const auto& list = ListOf(names, kind);
        for (std::size_t i = 0; i < list.size() && i < 4; ++i) {
            const unsigned choice = (selector >> ((i + kind) % 4 * 2)) & 3;
            if (choice == 0) continue;
            std::wstring to = choice == 1 ? L"NEW-" + std::to_wstring(kind) + L"-" + std::to_wstring(i)
                            : choice == 2 ? list[(i + 1) % list.size()]
                                          : codec.FoldCase(list[i]);
            request.renames[kind].emplace_back(list[i], to);
        }
    }
    if (selector & 0x80) request.force = true;
    return request;
}

std::optional<kvstcheck::DrawingNames> ReadNames(std::string_view bytes, const kvstcheck::fix::TextCodec& codec) {
    try {
        return kvstcheck::ReadDxf(bytes, codec).names;
    } catch (const kvstcheck::InputError&) {
        return std::nullopt;
    }
}

// The input's names with the account's renames and merges applied.
kvstcheck::DrawingNames Expected(kvstcheck::DrawingNames names, const RewriteAccount& account,
                                 const kvstcheck::fix::TextCodec& codec) {
    for (std::size_t kind = 0; kind < 4; ++kind) {
        auto& list = ListOf(names, kind);
        std::vector<std::wstring> mapped;
        for (const std::wstring& name : list) {
            const auto rename = std::find_if(account.renames.begin(), account.renames.end(), [&](const auto& r) {
                return static_cast<std::size_t>(r.kind) == kind && codec.FoldCase(r.from) == codec.FoldCase(name);
            });
            if (rename == account.renames.end()) mapped.push_back(name);
            else if (!rename->merge) mapped.push_back(rename->to);
        }
        list = std::move(mapped);
    }
    names.layerProperties.clear();
    return names;
}

}  // namespace

bool ByteTextCodec::Knows(unsigned codePage) const { return codePage != 0; }

std::optional<std::wstring> ByteTextCodec::Decode(std::string_view bytes, unsigned codePage) const {
    std::wstring text;
    if (codePage == kvstcheck::kUtf8CodePage) {
        // As the system's strict conversion: no invalid sequence, and only what UTF-16 holds in one unit
        // (Encode's range).
        const kvstcheck::Utf8Points decoded = kvstcheck::DecodeUtf8Points(bytes);
        if (!decoded.valid) return std::nullopt;
        for (const char32_t code : decoded.points) {
            if (code > 0xFFFF) return std::nullopt;
            text += static_cast<wchar_t>(code);
        }
        return text;
    }
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) == 0xFF) return std::nullopt;
        text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return text;
}

std::optional<std::string> ByteTextCodec::Encode(std::wstring_view text, unsigned codePage) const {
    std::string bytes;
    for (const wchar_t c : text) {
        const auto code = static_cast<char32_t>(c);
        if (codePage == kvstcheck::kUtf8CodePage) {
            if (code > 0xFFFF) return std::nullopt;
            kvstcheck::AppendUtf8(bytes, code);
        } else {
            if (c > kLastByteCharacter) return std::nullopt;
            bytes += static_cast<char>(c);
        }
    }
    return bytes;
}

std::wstring ByteTextCodec::FoldCase(std::wstring_view name) const {
    std::wstring folded(name);
    // To small letters, as the rewriter's ASCII fast path and Unicode's simple case folding fold.
    for (wchar_t& c : folded)
        if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c = static_cast<wchar_t>(c + 0x20);
    return folded;
}

std::string CheckDxfRewrite(std::string_view bytes, const kvstcheck::fix::TextCodec& codec) {
    if (bytes.empty()) return {};
    const unsigned char selector = static_cast<unsigned char>(bytes[0]);
    const std::string_view drawing = bytes.substr(1);
    const auto names = ReadNames(drawing, codec);
    const FixRequest request = RequestFor(names.value_or(kvstcheck::DrawingNames{}), selector, codec);
    RewriteAccount plan;
    try {
        kvstcheck::DxfMemoryBytes in(drawing);
        plan = kvstcheck::fix::PlanDxf(in, codec, request);
    } catch (const kvstcheck::InputError&) {
        return {};
    } catch (const std::exception& error) {
        return std::string("the plan threw an exception other than InputError: ") + error.what();
    }
    std::string whole;
    for (const std::size_t pieceSize : {std::size_t(1) << 30, std::size_t(1), std::size_t(5)}) {
        kvstcheck::DxfMemoryBytes in(drawing, pieceSize);
        kvstcheck::fix::StringSink out;
        RewriteAccount done;
        try {
            done = kvstcheck::fix::RewriteDxf(in, out, codec, plan);
        } catch (const std::exception& error) {
            return std::string("the rewrite threw what the plan did not: ") + error.what();
        }
        if (plan.refusal && !plan.forced) return out.text.empty() ? std::string() : "a refused drawing was written";
        if (done.refusal && !done.forced) return "the rewrite refused its own plan: " + done.refusal->reason;
        if (pieceSize != (std::size_t(1) << 30) && out.text != whole) return "pieces rewrite differently";
        whole = std::move(out.text);
        kvstcheck::DxfMemoryBytes original(drawing), rewritten(whole);
        if (const auto problem = kvstcheck::fix::VerifyRewrite(original, rewritten, codec, done))
            return "the proof fails: " + *problem;
        if (!done.changed && whole != drawing) return "an unchanged drawing was written differently";
        if (names && done.properties.empty()) {
            const auto again = ReadNames(whole, codec);
            if (!again) return "the rewritten drawing cannot be read";
            auto got = *again;
            got.layerProperties.clear();
            if (!(got == Expected(*names, done, codec))) return "the rewritten drawing's names are not the renamed ones";
        }
    }
    return {};
}

}  // namespace fuzzcheck
