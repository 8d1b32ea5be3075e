#include "kvstcheck/outputs/Registry.h"

#include <algorithm>

namespace kvstcheck {
namespace {

// A format defined in its own file of this folder as extern const OutputFormat.
#define KV_OUTPUT_FORMAT(name) [] { extern const OutputFormat name; return &name; }()

}  // namespace

std::span<const OutputFormat* const> OutputFormats() {
    static const OutputFormat* const formats[] = {
        KV_OUTPUT_FORMAT(kHtmlFormat),
        KV_OUTPUT_FORMAT(kCsvFormat),
        KV_OUTPUT_FORMAT(kJunitFormat),
        KV_OUTPUT_FORMAT(kBaselineFormat),
        KV_OUTPUT_FORMAT(kSarifFormat),
    };
    return formats;
}

const OutputFormat* FormatOfOption(std::string_view option) {
    const auto formats = OutputFormats();
    const auto found = std::find_if(formats.begin(), formats.end(),
                                    [option](const OutputFormat* format) { return option == format->option; });
    return found == formats.end() ? nullptr : *found;
}

}  // namespace kvstcheck
