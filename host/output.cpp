#include <unistd.h>

#include "host/commands.h"

namespace vsthost {
namespace {
FILE* resultStream = nullptr;
}

void separateResults() {
    if (resultStream) return;
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    if (saved >= 0) resultStream = fdopen(saved, "w");
    if (resultStream) dup2(STDERR_FILENO, STDOUT_FILENO);
}

FILE* results() { return resultStream ? resultStream : stdout; }

}  // namespace vsthost
