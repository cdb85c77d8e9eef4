// vsthost: a command-line VST 2.4 host. One line on stderr and a non-zero status for every failure.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "host/commands.h"
#include "host/host_error.h"
#include "host/options.h"

int main(int argc, char** argv) {
    using namespace vsthost;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        // Called without a command: say how to use it, and do not count it as success.
        std::fputs(usageText(), stderr);
        return 2;
    }
    try {
        const Options options = parseOptions(args);
        separateResults();
        switch (options.command) {
        case Command::Help:
            std::fputs(usageText(), results());
            return 0;
        case Command::Info:
            return runInfo(options);
        case Command::Render:
            return runRender(options);
        case Command::Bench:
            return runBench(options);
        case Command::Validate:
            return runValidate(options);
        case Command::Demo:
            return runDemo(options);
        case Command::Edit:
            return runEdit(options);
        case Command::Snapshot:
            return runSnapshot(options);
        case Command::Live:
            return runLive(options);
        }
    } catch (const UsageError& e) {
        std::fprintf(stderr, "vsthost: %s (vsthost --help lists the commands)\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vsthost: %s\n", e.what());
        return 1;
    }
    return 1;
}
