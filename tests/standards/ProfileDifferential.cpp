#include "ProfileDifferential.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <string_view>

#include "audit/Walk.h"
#include "standards/FileImage.h"
#include "standards/ProfileImage.h"
#include "support/TempFolder.h"
#include "tests/standards/LoadedMembers.h"

namespace standardstest {
namespace {

constexpr const char* kTypeNames[] = {"AcadLayer", "AcadLineType", "AcadTextStyle", "AcadDimStyle"};
constexpr char kMissingMarker[] = "Return Err";
// Reads of names beyond this many per section are left out: the loader's rules are the same there.
constexpr int kMostNamesRead = 40;

class Generator {
public:
    explicit Generator(std::uint32_t caseNumber) : random_(caseNumber) {}

    int Below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }
    bool Chance(int percent) { return Below(100) < percent; }
    template <class T, std::size_t N>
    const T& Pick(const T (&choices)[N]) {
        return choices[Below(static_cast<int>(N))];
    }

    std::string Blank() {
        static const char* const blanks[] = {"", "", "", " ", "\t", "  ", " \t "};
        return Pick(blanks);
    }

    std::string LineBreak() {
        static const char* const breaks[] = {"\r\n", "\n", "\r", "\r\r\n", "\n\r", "\r\n\r\n"};
        if (breakStyle_ < 0) breakStyle_ = Chance(60) ? 0 : Below(7);
        return breakStyle_ < 6 ? breaks[breakStyle_] : Pick(breaks);
    }

    // ASCII letters in a random letter case.
    std::string CaseVariant(std::string_view name) {
        std::string result(name);
        if (Chance(70)) return result;
        for (char& c : result) {
            if (Chance(50)) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            else c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return result;
    }

    std::string PlainName(int shortest, int longest) {
        static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.$";
        std::string name;
        const int length = shortest + Below(longest - shortest + 1);
        for (int i = 0; i < length; ++i) name += letters[Below(sizeof letters - 1)];
        return name;
    }

    std::string Value() {
        switch (Below(16)) {
        case 0: return "";
        case 1: return PlainName(1, 8) + " " + PlainName(1, 8);
        case 2: {
            static const char* const quoted[] = {"\"x\"", "'x'", "\"\"", "''", "\"", "'", "\"x'", "\"x", "x\"",
                                                 "\"a\"b\"", "\" x \"", "\"x\"  ", "' lead'", "\"tab\t\"", "x\"y\""};
            return Pick(quoted);
        }
        case 3: return PlainName(1, 6) + Pick({"=", ";", "#", " ;c", "\t", " = "}) + PlainName(0, 6);
        case 4: {
            std::string text = PlainName(0, 4);
            for (int i = Below(4) + 1; i > 0; --i) text += static_cast<char>(0x80 + Below(128));
            return text + PlainName(0, 4);
        }
        case 5: {
            const int length = 250 + Below(12);
            std::string text = PlainName(length, length);
            return Chance(50) ? "\"" + text.substr(0, length - 2) + "\"" : text;
        }
        case 6: return Pick({"Return Err", "return err", "\"Return Err\"", " Return Err "});
        default: return PlainName(1, 20);
        }
    }

    std::string Count(int count) {
        switch (Below(14)) {
        case 0: return Pick({"0", "-1", "32768", "abc", "", "2.5", "1e1", "&H2", "1,0", "--1", "99999"});
        case 1: return "\" " + std::to_string(count) + "\"";
        case 2: return std::to_string(count) + Pick({" ", "\t", ".4", ".5", "x"});
        default: return std::to_string(count);
        }
    }

    std::string KeyLine(std::string_view key, const std::string& value) {
        return Blank() + CaseVariant(key) + Blank() + "=" + Blank() + value + Blank();
    }

    std::string Junk() {
        static const char* const junk[] = {";Name1=shadow", "; comment", "#Name1=hash", "no equals here", "=empty name",
                                           "=", "[x=1", "[unclosed", "Name1", "  ", "\t", "NameCount", "Type",
                                           "[Type1] ; see [note]", "[]", "Name1 = =", "Name99=far"};
        return Pick(junk);
    }

    std::string Header(std::string_view name) {
        switch (Below(10)) {
        case 0: return "[ " + CaseVariant(name) + " ]";
        case 1: return "[\t" + CaseVariant(name) + "]";
        case 2: return "[" + CaseVariant(name) + "]" + Pick({" ;x", "x", "=x", "  "});
        default: return Blank() + "[" + CaseVariant(name) + "]";
        }
    }

private:
    std::mt19937 random_;
    int breakStyle_ = -1;
};

std::string Utf16LittleEndian(std::string_view ansi) {
    std::string bytes = "\xFF\xFE";
    for (char c : ansi) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// The lines of a generated file: a standard file with its parts varied, moved, repeated, left
// out or broken.
std::vector<std::string> StandardLines(Generator& g, int& typeSections, int& mostNames,
                                       std::vector<std::string>& values) {
    std::vector<std::string> lines;
    if (g.Chance(20)) {
        lines.push_back("; written by hand");
        if (g.Chance(50)) lines.push_back(g.KeyLine("TypeCount", "7"));
    }
    const int typeCount = 1 + g.Below(5);
    typeSections = g.Chance(80) ? typeCount : g.Below(7);
    if (!g.Chance(5)) {
        lines.push_back(g.Header("Common"));
        lines.push_back(g.KeyLine("TypeCount", g.Count(typeCount)));
    }
    std::vector<int> order(typeSections);
    for (int i = 0; i < typeSections; ++i) order[i] = i + 1;
    if (g.Chance(15) && typeSections > 1) std::swap(order[0], order[typeSections - 1]);
    mostNames = 0;
    for (int section : order) {
        if (g.Chance(5)) continue;
        lines.push_back(g.Header("Type" + std::to_string(section)));
        std::vector<std::string> body;
        const std::string typeName = g.Chance(85) ? kTypeNames[g.Below(4)] : g.Value();
        body.push_back(g.KeyLine("Type", g.Chance(90) ? typeName : "\"" + typeName + "\""));
        const int nameCount = g.Chance(90) ? 1 + g.Below(12) : g.Below(3);
        mostNames = std::max(mostNames, nameCount + 1);
        if (!g.Chance(5)) body.push_back(g.KeyLine("NameCount", g.Count(nameCount)));
        for (int name = 1; name <= nameCount + (g.Chance(20) ? 1 : 0); ++name) {
            if (g.Chance(5)) continue;
            const std::string value = g.Value();
            values.push_back(value);
            body.push_back(g.KeyLine(g.Chance(3) ? "Name0" + std::to_string(name) : "Name" + std::to_string(name), value));
            if (g.Chance(4)) body.push_back(g.KeyLine("Name" + std::to_string(name), g.Value()));
        }
        if (g.Chance(15) && body.size() > 2) std::swap(body[0], body[body.size() - 1]);
        for (const std::string& line : body) {
            lines.push_back(line);
            if (g.Chance(8)) lines.push_back(g.Junk());
            if (g.Chance(5)) lines.push_back(g.Blank());
        }
        if (g.Chance(5)) lines.push_back(g.Header("Type" + std::to_string(section)));
    }
    if (g.Chance(5)) lines.push_back(g.Header("Common"));
    return lines;
}

// A few bytes that the platforms handle apart: NULs, VT, FF, ^Z and byte order marks.
void Disturb(Generator& g, std::string& text) {
    if (g.Chance(4) && !text.empty()) text.insert(static_cast<std::size_t>(g.Below(static_cast<int>(text.size()))), 1, '\0');
    if (g.Chance(4)) text.append(1 + g.Below(3), '\0');
    if (g.Chance(3) && !text.empty())
        text.insert(static_cast<std::size_t>(g.Below(static_cast<int>(text.size()))), 1, g.Pick({'\v', '\f', '\x1a'}));
    if (g.Chance(3)) text.insert(0, "\xEF\xBB\xBF");
    else if (g.Chance(2)) text = Utf16LittleEndian(text);
    else if (g.Chance(1)) text.insert(0, "\xFE\xFF");
}

std::string ReadText(const ProfileRead& read) {
    return "[" + Escaped(read.section) + "] " + Escaped(read.key) + " default \"" + Escaped(read.fallback) +
           "\" size " + std::to_string(read.bufferSize);
}

struct Answer {
    DWORD length = 0;
    std::string bytes;       // the bytes before the NUL
    bool overrun = false;    // a byte past the NUL changed
};

Answer PlatformAnswer(const ProfileRead& read, const std::string& ansiPath) {
    constexpr char kSentinel = '\xA5';
    std::string buffer(read.bufferSize + 16, kSentinel);
    Answer answer;
    answer.length = ::GetPrivateProfileStringA(read.section.c_str(), read.key.c_str(), read.fallback.c_str(),
                                               buffer.data(), read.bufferSize, ansiPath.c_str());
    if (read.bufferSize == 0) {
        answer.overrun = buffer.find_first_not_of(kSentinel) != std::string::npos;
        return answer;
    }
    answer.bytes = buffer.substr(0, std::min<std::size_t>(answer.length, read.bufferSize));
    const std::size_t end = answer.bytes.size();
    answer.overrun = buffer[end] != '\0' || buffer.find_first_not_of(kSentinel, end + 1) != std::string::npos;
    return answer;
}

std::string AnsiPath(const std::wstring& path) {
    std::string ansi(path.size() * 2 + 1, '\0');
    const int size = ::WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, ansi.data(), static_cast<int>(ansi.size()),
                                           nullptr, nullptr);
    ansi.resize(size > 0 ? static_cast<std::size_t>(size - 1) : 0);
    return ansi;
}

std::wstring AnsiToWide(std::string_view text) {
    std::wstring wide(text.size(), L'\0');
    const int size = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
    return wide;
}

std::string Narrow(std::wstring_view text) { return kvtest::Utf8(text); }

struct LoadOutcome {
    bool loaded = false;
    std::vector<std::wstring> filter;
    audit::PerKind<standards::NameList> lists;
    std::vector<std::wstring> findings;
};

LoadOutcome LoadAndWalk(const std::wstring& path, standards::StandardFileReading reading,
                        const std::vector<std::wstring>& drawingNames) {
    LoadedMembers members;
    // Members filled before the load show what a load leaves unchanged.
    members.CheckFilter = FilterOf({L"<before>"});
    for (standards::NameView* list : {&members.StdLayerNames, &members.StdLinetypeNames, &members.StdTextStyleNames,
                                      &members.StdDimStyleNames})
        *list = standards::NameView::Of(std::vector<std::wstring>{L"<before>"});
    LoadOutcome outcome;
    outcome.loaded = members.Load(path, reading);
    outcome.filter = FilterElements(members.CheckFilter);
    const audit::PerKind<const standards::NameView*> loaded = {&members.StdLayerNames, &members.StdLinetypeNames,
                                                                &members.StdTextStyleNames, &members.StdDimStyleNames};
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind)
        outcome.lists[kind].assign(loaded[kind]->begin(), loaded[kind]->end());

    audit::StandardIndex index;
    index.Build(loaded);
    const audit::ListsByKind drawing = {&drawingNames, &drawingNames, &drawingNames, &drawingNames};
    audit::Cursor cursor;
    while (const auto finding = audit::NextFinding(cursor, drawing, index))
        outcome.findings.push_back(std::to_wstring(static_cast<int>(finding->kind)) + L":" + *finding->name);
    return outcome;
}

std::string Joined(const std::vector<std::wstring>& items) {
    std::string text;
    for (const std::wstring& item : items) text += (text.empty() ? "" : ", ") + Escaped(Narrow(item));
    return "{" + text + "}";
}

}  // namespace

std::string Escaped(std::string_view bytes) {
    std::string text;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') text += "\\\\";
        else if (c == '\r') text += "\\r";
        else if (c == '\n') text += "\\n";
        else if (c == '\t') text += "\\t";
        else if (byte >= 0x20 && byte < 0x7F) text += c;
        else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            text += escape;
        }
    }
    return text;
}

DifferentialCase GenerateCase(std::uint32_t caseNumber) {
    Generator g(caseNumber);
    DifferentialCase generated;
    int typeSections = 0, mostNames = 0;
    std::vector<std::string> values;
    const std::vector<std::string> lines = StandardLines(g, typeSections, mostNames, values);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        generated.bytes += lines[i];
        if (i + 1 < lines.size() || g.Chance(85)) generated.bytes += g.LineBreak();
    }
    Disturb(g, generated.bytes);

    // Every read a load can make, one past each end.
    generated.reads.push_back({"Common", "TypeCount", kMissingMarker});
    for (int section = 0; section <= typeSections + 1; ++section) {
        const std::string name = "Type" + std::to_string(section);
        generated.reads.push_back({name, "Type", kMissingMarker});
        generated.reads.push_back({name, "NameCount", kMissingMarker});
        for (int key = 0; key <= std::min(mostNames, kMostNamesRead); ++key)
            generated.reads.push_back({name, "Name" + std::to_string(key), kMissingMarker});
    }
    // Further reads: names of the file in other letter case and padding, other defaults and sizes.
    const standards::ProfileImage image(generated.bytes);
    std::vector<std::string> sectionNames = {"Common", "Type1", "", " ", "Missing"};
    std::vector<std::string> keyNames = {"TypeCount", "Type", "Name1", "", "NameCount", "Missing"};
    for (const standards::ProfileSection& section : image.Sections()) {
        sectionNames.emplace_back(section.name.substr(0, section.name.find('\0')));
        for (const standards::ProfileEntry& entry : image.EntriesOf(section))
            keyNames.emplace_back(image.Name(entry).substr(0, image.Name(entry).find('\0')));
    }
    static const char* const fallbacks[] = {kMissingMarker, "", "abc  ", "  ", "\"dq\"", "'x'", "abc\t", " lead"};
    for (int i = 0; i < 24; ++i) {
        ProfileRead read{g.Blank() + g.CaseVariant(sectionNames[g.Below(static_cast<int>(sectionNames.size()))]) + g.Blank(),
                         g.Blank() + g.CaseVariant(keyNames[g.Below(static_cast<int>(keyNames.size()))]) + g.Blank(),
                         g.Chance(10) ? std::string(300, 'd') : g.Pick(fallbacks), 255};
        if (g.Chance(40)) read.bufferSize = static_cast<DWORD>(g.Below(20));
        else if (g.Chance(20)) read.bufferSize = static_cast<DWORD>(250 + g.Below(12));
        generated.reads.push_back(std::move(read));
    }

    for (const std::string& value : values) generated.drawingNames.push_back(AnsiToWide(value));
    for (const char* type : kTypeNames) generated.drawingNames.push_back(AnsiToWide(type));
    for (int i = 0; i < 4; ++i) generated.drawingNames.push_back(AnsiToWide(g.PlainName(1, 8)));
    return generated;
}

std::vector<std::string> CompareReads(const std::string& bytes, const std::vector<ProfileRead>& reads,
                                      const std::wstring& path) {
    kvtest::WriteFileBytes(path, bytes);
    const standards::ProfileImage image(bytes);
    // The image answers only files it can read as the platform does here.
    if (image.Encoding() != standards::ProfileEncoding::Ansi ||
        (image.HasBytesAbove127() && !standards::CodePageKeepsEveryByte(::GetACP())))
        return {};
    const std::string ansiPath = AnsiPath(path);
    std::vector<std::string> disagreements;
    for (const ProfileRead& read : reads) {
        const Answer platform = PlatformAnswer(read, ansiPath);
        const std::string mine = image.ReadString(read.section, read.key, read.fallback, read.bufferSize);
        if (platform.overrun)
            disagreements.push_back(ReadText(read) + ": the platform wrote past its answer");
        if (platform.length != mine.size() || platform.bytes != mine)
            disagreements.push_back(ReadText(read) + ": platform \"" + Escaped(platform.bytes) + "\" (" +
                                    std::to_string(platform.length) + "), image \"" + Escaped(mine) + "\"");
    }
    return disagreements;
}

std::vector<std::string> CompareLoads(const std::string& bytes, const std::vector<std::wstring>& drawingNames,
                                      const std::wstring& path) {
    kvtest::WriteFileBytes(path, bytes);
    using standards::StandardFileReading;
    const LoadOutcome once = LoadAndWalk(path, StandardFileReading::OncePerLoad, drawingNames);
    const LoadOutcome perValue = LoadAndWalk(path, StandardFileReading::ProfileReadPerValue, drawingNames);
    std::vector<std::string> disagreements;
    if (once.loaded != perValue.loaded)
        disagreements.push_back("load result: one reading " + std::to_string(once.loaded) + ", per value " +
                                std::to_string(perValue.loaded));
    if (once.filter != perValue.filter)
        disagreements.push_back("filter: one reading " + Joined(once.filter) + ", per value " + Joined(perValue.filter));
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind)
        if (once.lists[kind] != perValue.lists[kind])
            disagreements.push_back("list " + std::to_string(kind) + ": one reading " + Joined(once.lists[kind]) +
                                    ", per value " + Joined(perValue.lists[kind]));
    if (once.findings != perValue.findings)
        disagreements.push_back("findings: one reading " + Joined(once.findings) + ", per value " +
                                Joined(perValue.findings));
    return disagreements;
}

std::vector<std::string> RunDifferential(std::uint32_t first, std::uint32_t count, const std::wstring& folder) {
    std::vector<std::string> disagreements;
    for (std::uint32_t caseNumber = first; caseNumber - first < count; ++caseNumber) {
        const DifferentialCase generated = GenerateCase(caseNumber);
        const std::wstring path = folder + L"\\case" + std::to_wstring(caseNumber) + L".ini";
        std::vector<std::string> found = CompareReads(generated.bytes, generated.reads, path);
        const std::vector<std::string> loads = CompareLoads(generated.bytes, generated.drawingNames, path);
        found.insert(found.end(), loads.begin(), loads.end());
        for (const std::string& line : found)
            disagreements.push_back("case " + std::to_string(caseNumber) + ": " + line + "\n  file \"" +
                                    Escaped(generated.bytes) + "\"");
        ::DeleteFileW(path.c_str());
    }
    return disagreements;
}

}  // namespace standardstest
