#include "host/options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

#include "host/host_error.h"

namespace vsthost {
namespace {

constexpr int32_t kLargestBlock = 1 << 20;
constexpr double kLongestBench = 3600.0;
constexpr double kHighestRate = 4e6;

template <typename T>
std::optional<T> parseNumber(const std::string& text) {
    T value{};
    const char* end = text.data() + text.size();
    auto [last, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || last != end || text.empty()) return std::nullopt;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value)) return std::nullopt;
    }
    return value;
}

bool hasExtension(const std::string& path, const std::string& extension) {
    if (path.size() <= extension.size()) return false;
    const std::string tail = path.substr(path.size() - extension.size());
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(tail[i])) != extension[i]) return false;
    return true;
}

// Which options each command takes; the audio-processing ones share the plug-in setting options.
enum Takes : unsigned {
    kJson = 1u << 0,
    kSetup = 1u << 1,  // --rate --block --program --set --load --save --open-file --quiet
    kSeconds = 1u << 2,
    kLevel = 1u << 3,
    kInPlace = 1u << 4,
    kQuiet = 1u << 5,
    kBenchInput = 1u << 6,  // --input --silence
    kLive = 1u << 7,        // --name --connect --no-editor --cc
};

struct CommandShape {
    Command command;
    int positionals;  // including the plug-in
    int optionalPositionals;
    unsigned takes;
};

const std::map<std::string, CommandShape>& commands() {
    static const std::map<std::string, CommandShape> table = {
        {"info", {Command::Info, 1, 0, kJson}},
        {"render", {Command::Render, 3, 0, kSetup | kInPlace | kQuiet}},
        {"bench", {Command::Bench, 1, 0, kSetup | kSeconds | kJson | kQuiet | kBenchInput}},
        {"validate", {Command::Validate, 1, 0, kLevel | kJson | kQuiet}},
        {"demo", {Command::Demo, 0, 1, kQuiet}},
        {"edit", {Command::Edit, 1, 0, kSetup}},
        {"snapshot", {Command::Snapshot, 2, 0, kSetup}},
        {"live", {Command::Live, 1, 0, kSetup | kLive}},
        {"help", {Command::Help, 0, 0, 0}},
    };
    return table;
}

}  // namespace

Action parseSetting(const std::string& text) {
    const auto equals = text.find('=');
    if (equals == std::string::npos)
        throw UsageError("--set needs INDEX=VALUE, got '" + text + "'");
    const auto index = parseNumber<int32_t>(text.substr(0, equals));
    if (!index || *index < 0)
        throw UsageError("--set " + text + ": the index must be a whole number of at least 0");
    const auto value = parseNumber<double>(text.substr(equals + 1));
    if (!value) throw UsageError("--set " + text + ": the value is not a number");
    if (*value < 0.0 || *value > 1.0)
        throw UsageError("--set " + text + ": the value must be a normalised value from 0 to 1");
    Action action;
    action.kind = Action::Kind::Set;
    action.index = *index;
    action.value = static_cast<float>(*value);
    return action;
}

Options parseOptions(const std::vector<std::string>& args) {
    Options options;
    if (args.empty() || args[0] == "--help" || args[0] == "-h") return options;
    const auto found = commands().find(args[0]);
    if (found == commands().end()) throw UsageError("unknown command '" + args[0] + "'");
    const CommandShape& shape = found->second;
    options.command = shape.command;

    std::vector<std::string> positionals;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            positionals.push_back(arg);
            continue;
        }
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
            return args[++i];
        };
        auto allowed = [&](unsigned what) {
            if (!(shape.takes & what)) throw UsageError(args[0] + " does not take " + arg);
        };
        if (arg == "--help") {
            options.command = Command::Help;
            return options;
        } else if (arg == "--json") {
            allowed(kJson);
            options.json = true;
        } else if (arg == "--quiet") {
            if (!(shape.takes & (kQuiet | kSetup))) allowed(kQuiet);
            options.quiet = true;
        } else if (arg == "--in-place") {
            allowed(kInPlace);
            options.inPlace = true;
        } else if (arg == "--level") {
            allowed(kLevel);
            const auto level = parseNumber<int>(value());
            if (!level || *level < 1 || *level > 10) throw UsageError("--level needs a whole number from 1 to 10");
            options.level = *level;
        } else if (arg == "--check") {
            allowed(kLevel);
            options.checks.push_back(value());
        } else if (arg == "--seconds") {
            allowed(kSeconds);
            const auto seconds = parseNumber<double>(value());
            if (!seconds || *seconds <= 0.0 || *seconds > kLongestBench)
                throw UsageError("--seconds needs a number of seconds above 0 and at most 3600");
            options.seconds = *seconds;
        } else if (arg == "--input") {
            allowed(kBenchInput);
            options.input = value();
        } else if (arg == "--silence") {
            allowed(kBenchInput);
            options.silence = true;
        } else if (arg == "--rate") {
            allowed(kSetup);
            const auto rate = parseNumber<double>(value());
            if (!rate || *rate <= 0.0 || *rate > kHighestRate)
                throw UsageError("--rate needs a sample rate in hertz above 0 and at most 4000000");
            options.rate = *rate;
        } else if (arg == "--block") {
            allowed(kSetup);
            const auto block = parseNumber<int32_t>(value());
            if (!block || *block < 1 || *block > kLargestBlock)
                throw UsageError("--block needs a whole number of frames from 1 to 1048576");
            options.block = *block;
        } else if (arg == "--program") {
            allowed(kSetup);
            const auto program = parseNumber<int32_t>(value());
            if (!program || *program < 0) throw UsageError("--program needs a program number of at least 0");
            Action action;
            action.kind = Action::Kind::Program;
            action.index = *program;
            options.actions.push_back(action);
        } else if (arg == "--set") {
            allowed(kSetup);
            options.actions.push_back(parseSetting(value()));
        } else if (arg == "--load") {
            allowed(kSetup);
            Action action;
            action.kind = Action::Kind::Load;
            action.path = value();
            options.actions.push_back(action);
        } else if (arg == "--open-file") {
            allowed(kSetup);
            Action action;
            action.kind = Action::Kind::OpenFile;
            action.path = value();
            options.actions.push_back(action);
        } else if (arg == "--name") {
            allowed(kLive);
            options.clientName = value();
            if (options.clientName.empty()) throw UsageError("--name needs a client name");
        } else if (arg == "--no-editor") {
            allowed(kLive);
            options.noEditor = true;
        } else if (arg == "--connect") {
            allowed(kLive);
            options.connect = true;
            // Patterns are optional: the next argument is taken only when it has the IN,OUT comma.
            if (i + 1 < args.size() && args[i + 1].find(',') != std::string::npos) {
                const std::string& both = args[++i];
                const auto comma = both.find(',');
                options.connectIn = both.substr(0, comma);
                options.connectOut = both.substr(comma + 1);
            }
        } else if (arg == "--cc") {
            allowed(kLive);
            const std::string& text = value();
            const auto equals = text.find('=');
            const auto number = parseNumber<int>(text.substr(0, std::min(equals, text.size())));
            const auto index = equals == std::string::npos ? std::nullopt : parseNumber<int32_t>(text.substr(equals + 1));
            if (!number || *number < 0 || *number > 127 || !index || *index < 0)
                throw UsageError("--cc needs CONTROLLER=INDEX, a controller 0..127 and a parameter index, got '" + text + "'");
            options.controllers.emplace_back(*number, *index);
        } else if (arg == "--save") {
            allowed(kSetup);
            options.savePath = value();
            if (!hasExtension(options.savePath, ".fxp") && !hasExtension(options.savePath, ".fxb"))
                throw UsageError("--save needs a file name ending in .fxp (one program) or .fxb (a bank)");
        } else {
            throw UsageError("unknown option " + arg);
        }
    }

    const auto count = static_cast<int>(positionals.size());
    if (count < shape.positionals || count > shape.positionals + shape.optionalPositionals) {
        static const std::map<Command, const char*> expected = {
            {Command::Info, "info PLUGIN.so"},       {Command::Render, "render PLUGIN.so IN OUT.wav"},
            {Command::Bench, "bench PLUGIN.so"},     {Command::Validate, "validate PLUGIN.so"},
            {Command::Demo, "demo [OUTDIR]"},        {Command::Help, "help"},
            {Command::Edit, "edit PLUGIN.so"}, {Command::Live, "live PLUGIN.so"},       {Command::Snapshot, "snapshot PLUGIN.so OUT.png"},
        };
        throw UsageError(std::string("expected: vsthost ") + expected.at(shape.command));
    }
    if (options.silence && !options.input.empty()) throw UsageError("bench takes --input FILE or --silence, not both");
    if (shape.command == Command::Demo) {
        options.output = count > 0 ? positionals[0] : "demo-out";
    } else if (count > 0) {
        options.plugin = positionals[0];
        if (shape.command == Command::Render) {
            options.input = positionals[1];
            options.output = positionals[2];
        }
        if (shape.command == Command::Snapshot) {
            options.output = positionals[1];
            if (!hasExtension(options.output, ".png")) throw UsageError("snapshot writes a PNG file: OUT must end in .png");
        }
    }
    return options;
}

const char* usageText() {
    return "usage:\n"
           "  vsthost info PLUGIN.so [--json]\n"
           "  vsthost render PLUGIN.so IN OUT.wav [options] [--in-place]\n"
           "  vsthost validate PLUGIN.so [--level 1..10] [--check NAME]... [--json]\n"
           "  vsthost bench PLUGIN.so [--seconds S] [--input FILE | --silence] [options] [--json]\n"
           "  vsthost snapshot PLUGIN.so OUT.png [options]   (the editor's window as a picture)\n"
           "  vsthost edit PLUGIN.so [options] [--save FILE]  (the editor in a window; preset saved on close)\n"
           "  vsthost live PLUGIN.so [options] [--name NAME] [--connect [IN,OUT]] [--cc N=INDEX]... [--no-editor]\n"
           "                     (a JACK client around the plug-in, to play live)\n"
           "  vsthost demo [OUTDIR]\n"
           "options, applied in command-line order:\n"
           "  --rate HZ          sample rate (default: the input file's, else 44100)\n"
           "  --block N          frames per processing call (default 512)\n"
           "  --program N        switch to program N\n"
           "  --set INDEX=VALUE  set a parameter to a normalised value 0..1 (repeatable)\n"
           "  --load FILE        load a preset (.fxp program or .fxb bank)\n"
           "  --save FILE        save a preset after processing (.fxp or .fxb)\n"
           "  --open-file PATH   answer the plug-in's next file-selector request with PATH\n"
           "  --quiet            no progress bar\n"
           "bench times the plug-in on a guitar-like signal, on --input FILE (the whole file, or looped or\n"
           "cut to --seconds; a mono file feeds every input) or on --silence (exact zeros).\n"
           "validate levels 1-5 stay within the interface's promises; 6-10 also break them (indices out\n"
           "of range, undeclared block sizes, random chunks, processing before resume).\n";
}

}  // namespace vsthost
