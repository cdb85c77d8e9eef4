// Errors of the host. Each carries one line of text for the user; main() prints it and exits non-zero.
#pragma once

#include <stdexcept>
#include <string>

namespace vsthost {

// A failure while running a command: unloadable plug-in, unreadable file, refused preset, ...
struct HostError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A malformed command line.
struct UsageError : HostError {
    using HostError::HostError;
};

}  // namespace vsthost
