// Drives the rewriter from the tests' Python side: renames every name of every kind of each drawing
// (but the reserved ones) and writes the fixed drawing when its proof holds. One JSON line per drawing.
// Usage: rewrite_driver LIST, a file of lines IN<tab>OUT.
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "StdioFiles.h"
#include "kvstcheck/CodePoints.h"
#include "kvstcheck/fix/SystemTextCodec.h"
#include "kvstcheck/readers/DxfReader.h"

namespace {

using namespace kvstcheck::fix;

const char* const kKindKeys[] = {"layers", "linetypes", "text-styles", "dimension-styles"};

// Every name to NEW<kind><n>-<name>, so that each target is new and its origin plain to see.
FixRequest RenameEverything(const kvstcheck::DrawingNames& names) {
    FixRequest request;
    const std::vector<std::wstring>* lists[] = {&names.layers, &names.linetypes, &names.textStyles, &names.dimStyles};
    for (std::size_t kind = 0; kind < kFixKindCount; ++kind)
        for (std::size_t i = 0; i < lists[kind]->size(); ++i)
            request.renames[kind].emplace_back((*lists[kind])[i], L"FIX" + std::to_wstring(kind) + L"N" + std::to_wstring(i));
    return request;
}

nlohmann::json Fix(const std::string& in, const std::string& out, const SystemTextCodec& codec) {
    nlohmann::json result{{"file", in}};
    fixtest::FileBytes names(in);
    const FixRequest request = RenameEverything(kvstcheck::ReadDxf(names, codec).names);
    fixtest::FileBytes first(in);
    const RewriteAccount plan = PlanDxf(first, codec, request);
    if (plan.refusal && !plan.forced) {
        result["refusal"] = plan.refusal->reason;
        return result;
    }
    fixtest::FileBytes second(in);
    fixtest::FileSink sink(out);
    const RewriteAccount done = RewriteDxf(second, sink, codec, plan);
    sink.Close();
    fixtest::FileBytes original(in), rewritten(out);
    const auto proof = VerifyRewrite(original, rewritten, codec, done);
    nlohmann::json renames = nlohmann::json::array();
    for (const Rename& rename : done.renames)
        renames.push_back({{"kind", kKindKeys[static_cast<std::size_t>(rename.kind)]},
                           {"from", kvstcheck::WideToUtf8(rename.from)}, {"to", kvstcheck::WideToUtf8(rename.to)},
                           {"merge", rename.merge}, {"references", rename.references}});
    nlohmann::json left = nlohmann::json::array();
    for (const LeftPlace& place : done.left) left.push_back({{"line", place.line}, {"what", place.what}, {"reason", place.reason}});
    result.update({{"renames", renames}, {"left", left}, {"changed", done.changed}});
    if (done.refusal) result["refusal"] = done.refusal->reason;
    if (proof) result["proof"] = *proof;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const SystemTextCodec codec;
    std::ifstream list(argv[1]);
    std::string line;
    while (std::getline(list, line)) {
        const auto tab = line.find('\t');
        if (tab == std::string::npos) continue;
        const std::string in = line.substr(0, tab), out = line.substr(tab + 1);
        nlohmann::json result;
        try {
            result = Fix(in, out, codec);
        } catch (const std::exception& error) {
            result = {{"file", in}, {"error", error.what()}};
        }
        std::printf("%s\n", result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    }
    return 0;
}
