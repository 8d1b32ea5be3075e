#pragma once
// One broken input for a reader, and the check that the reader names its line and problem.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "kvstcheck/Text.h"
#include "kvstcheck/readers/DrawingNames.h"
#include "kvstcheck/readers/InputError.h"

namespace kvtest {

struct BrokenInput {
    const char* label;
    std::string bytes;
    int line;
    std::string problem;  // part of the message
};

inline std::string LabelOf(const ::testing::TestParamInfo<BrokenInput>& info) { return info.param.label; }

template <class Reader>
void ExpectInputError(Reader read, const BrokenInput& input) {
    try {
        read(input.bytes);
        ADD_FAILURE() << "no error";
    } catch (const kvstcheck::InputError& error) {
        EXPECT_EQ(error.line(), input.line) << error.what();
        EXPECT_NE(std::string(error.what()).find(input.problem), std::string::npos) << error.what();
        EXPECT_TRUE(kvstcheck::DecodeUtf8(error.what())) << "the message is not UTF-8: " << error.what();
    }
}

}  // namespace kvtest
