// The command line: what is accepted, in which order options apply, and what is refused.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "host/host_error.h"
#include "host/json.h"
#include "host/options.h"

using vsthost::Action;
using vsthost::Command;
using vsthost::parseOptions;

TEST(Options, RenderKeepsPluginOptionsInCommandLineOrder) {
    const auto o = parseOptions({"render", "amp.so", "in.flac", "out.wav", "--open-file", "cab.wav", "--set", "21=1",
                                 "--program", "3", "--load", "a.fxb", "--set", "0=0.25", "--block", "64", "--quiet",
                                 "--save", "b.FXP", "--in-place"});
    EXPECT_EQ(o.command, Command::Render);
    EXPECT_EQ(o.plugin, "amp.so");
    EXPECT_EQ(o.input, "in.flac");
    EXPECT_EQ(o.output, "out.wav");
    EXPECT_EQ(o.block, 64);
    EXPECT_TRUE(o.quiet);
    EXPECT_TRUE(o.inPlace);
    EXPECT_EQ(o.savePath, "b.FXP");
    ASSERT_EQ(o.actions.size(), 5u);
    EXPECT_EQ(o.actions[0].kind, Action::Kind::OpenFile);
    EXPECT_EQ(o.actions[1].kind, Action::Kind::Set);
    EXPECT_EQ(o.actions[1].index, 21);
    EXPECT_EQ(o.actions[2].kind, Action::Kind::Program);
    EXPECT_EQ(o.actions[3].path, "a.fxb");
    EXPECT_EQ(o.actions[4].value, 0.25f);
}

TEST(Options, DefaultsAndOtherCommands) {
    EXPECT_EQ(parseOptions({}).command, Command::Help);
    const auto demo = parseOptions({"demo"});
    EXPECT_EQ(demo.output, "demo-out");
    EXPECT_EQ(parseOptions({"demo", "elsewhere"}).output, "elsewhere");
    const auto bench = parseOptions({"bench", "p.so", "--rate", "48000", "--seconds", "2.5", "--json"});
    EXPECT_EQ(bench.rate, 48000.0);
    EXPECT_EQ(bench.seconds, 2.5);
    EXPECT_EQ(bench.block, 512);
    EXPECT_TRUE(bench.json);
    EXPECT_FALSE(parseOptions({"render", "p.so", "a", "b"}).rate.has_value());
    EXPECT_EQ(parseOptions({"validate", "p.so", "--level", "10"}).level, 10);
    EXPECT_FALSE(parseOptions({"bench", "p.so"}).seconds.has_value()) << "a file then plays once";
    EXPECT_EQ(parseOptions({"bench", "p.so", "--input", "di.wav"}).input, "di.wav");
    EXPECT_TRUE(parseOptions({"bench", "p.so", "--silence"}).silence);
    EXPECT_EQ(parseOptions({"validate", "p.so", "--check", "threads", "--check", "resend"}).checks,
              (std::vector<std::string>{"threads", "resend"}));
}

TEST(Options, BadSettingsAndArgumentsAreRefused) {
    const std::vector<std::vector<std::string>> bad = {
        {"render", "p.so", "a", "b", "--set", "5"},          // not INDEX=VALUE
        {"render", "p.so", "a", "b", "--set", "x=0.5"},      // index not a number
        {"render", "p.so", "a", "b", "--set", "-1=0.5"},     // negative index
        {"render", "p.so", "a", "b", "--set", "5=loud"},     // value not a number
        {"render", "p.so", "a", "b", "--set", "5=nan"},      // not a finite number
        {"render", "p.so", "a", "b", "--set", "5=1.5"},      // not normalised
        {"render", "p.so", "a", "b", "--set", "5=0.5x"},     // trailing junk
        {"render", "p.so", "a", "b", "--set"},               // missing value
        {"render", "p.so", "a", "b", "--frobnicate"},        // unknown option
        {"render", "p.so", "a"},                             // missing OUT
        {"render", "p.so", "a", "b", "--save", "x.wav"},     // not a preset name
        {"render", "p.so", "a", "b", "--block", "0"},
        {"render", "p.so", "a", "b", "--rate", "-44100"},
        {"info", "p.so", "--set", "1=0"},                    // info takes no settings
        {"validate", "p.so", "--level", "11"},
        {"bench", "p.so", "--seconds", "0"},
        {"bench", "p.so", "--input", "a.wav", "--silence"},  // one input or the other
        {"bench", "p.so", "--input"},
        {"render", "p.so", "a", "b", "--silence"},          // bench only
        {"transmogrify", "p.so"},
        {"live", "p.so", "--cc", "128=1"},                   // controllers are 0..127
        {"live", "p.so", "--cc", "7"},
        {"render", "p.so", "a", "b", "--no-editor"},         // live only
    };
    for (const auto& args : bad) {
        std::string line;
        for (const auto& a : args) line += a + " ";
        EXPECT_THROW(parseOptions(args), vsthost::UsageError) << line;
    }
}

// --connect takes patterns only when the next argument has the IN,OUT comma, so the plug-in may follow it.
TEST(Options, LiveConnectAndControllers) {
    auto bare = parseOptions({"live", "--connect", "p.so", "--cc", "7=2", "--cc", "1=0"});
    EXPECT_EQ(bare.plugin, "p.so");
    EXPECT_TRUE(bare.connect);
    EXPECT_TRUE(bare.connectIn.empty() && bare.connectOut.empty());
    ASSERT_EQ(bare.controllers.size(), 2u);
    EXPECT_EQ(bare.controllers[0], (std::pair<int, int32_t>{7, 2}));
    auto patterns = parseOptions({"live", "p.so", "--connect", "system:capture_2,", "--name", "amp"});
    EXPECT_EQ(patterns.connectIn, "system:capture_2");
    EXPECT_EQ(patterns.connectOut, "");
    EXPECT_EQ(patterns.clientName, "amp");
}

TEST(Json, StringsAreAlwaysValid) {
    EXPECT_EQ(vsthost::jsonString("plain"), "\"plain\"");
    EXPECT_EQ(vsthost::jsonString("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\u000ad\\u0001\"");
    EXPECT_EQ(vsthost::jsonString("caf\xc3\xa9"), "\"caf\xc3\xa9\"");  // UTF-8 passes through
    EXPECT_EQ(vsthost::jsonString("caf\xe9"), "\"caf\\u00e9\"");        // Latin-1 becomes an escape
    EXPECT_EQ(vsthost::jsonString("\xc3"), "\"\\u00c3\"");              // a cut sequence too
    EXPECT_EQ(vsthost::jsonNumber(0.5), "0.5");
    EXPECT_EQ(vsthost::jsonNumber(std::numeric_limits<double>::quiet_NaN()), "null");
}
