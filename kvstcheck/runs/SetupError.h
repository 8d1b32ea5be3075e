#pragma once
// The plug-in or its standard file is not ready: no drawing can be audited. The message is UTF-8.
#include <stdexcept>
#include <string>

namespace kvstcheck {

class SetupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace kvstcheck
