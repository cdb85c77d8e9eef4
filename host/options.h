// The vsthost command line, parsed into one Options value. Parsing checks syntax only; what depends
// on the plug-in (index and program ranges) is checked when the options are applied.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vsthost {

enum class Command { Help, Info, Render, Bench, Validate, Demo, Edit, Snapshot, Live };

// One of the options that change the plug-in, applied in command-line order.
struct Action {
    enum class Kind { Program, Set, Load, OpenFile };
    Kind kind = Kind::Set;
    int32_t index = 0;  // program number or parameter index
    float value = 0.0f;
    std::string path;
};

struct Options {
    Command command = Command::Help;
    std::string plugin;
    std::string input;   // render's IN, or bench's --input
    std::string output;  // render's OUT.wav, snapshot's OUT.png, or demo's folder
    std::optional<double> rate;
    int32_t block = 512;
    std::optional<double> seconds;  // bench: 10 s of its own signal, or the whole --input file
    bool silence = false;           // bench: exact zeros as input
    int level = 3;
    std::vector<std::string> checks;  // validate: only these (all when empty)
    bool json = false;
    bool quiet = false;
    bool inPlace = false;
    std::vector<Action> actions;
    std::string savePath;
    // live: the JACK client's name (default the plug-in's), the ports to connect, the editor, MIDI controllers.
    std::string clientName;
    bool connect = false;
    std::string connectIn, connectOut;  // port-name patterns; empty: the physical ports
    bool noEditor = false;
    std::vector<std::pair<int, int32_t>> controllers;  // MIDI controller number, parameter index
};

// Throws UsageError with one line on any malformed or unknown argument.
Options parseOptions(const std::vector<std::string>& args);

// Parses INDEX=VALUE; the value is a normalised parameter value in 0..1.
Action parseSetting(const std::string& text);

const char* usageText();

}  // namespace vsthost
