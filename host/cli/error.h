// The command-line host's failures: a message for the user and an exit status.
#pragma once

#include <stdexcept>
#include <string>

namespace cli {

// A failure of the work asked for: exit status 1.
struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A command line that cannot be understood: exit status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace cli
