// validate's checks, in the order they run. Each runs in a child process of its own with a freshly
// loaded plug-in (runner.cpp), and reports through its Probe.
#pragma once

#include "host/validate/probe.h"

namespace vsthost::validation {

// A check's child is ended after this long, and the check fails as timed out.
constexpr unsigned kCheckTimeoutSeconds = 120;

void checkLoad(Probe& probe);
void checkOpcodes(Probe& probe);
void checkParameterTexts(Probe& probe);
void checkParameterSweep(Probe& probe);
void checkBlocks(Probe& probe);
void checkInPlace(Probe& probe);
void checkSampleRates(Probe& probe);
void checkPrograms(Probe& probe);
void checkChunks(Probe& probe);
void checkLifecycle(Probe& probe);
void checkResend(Probe& probe);
void checkThreads(Probe& probe);
void checkSilence(Probe& probe);
void checkRealtime(Probe& probe);
void checkPresetFiles(Probe& probe);

struct Check {
    const char* name;  // as --check takes it and the report prints it
    void (*run)(Probe&);
};

// The first loads the plug-in; when it fails, nothing after it runs.
inline constexpr Check kChecks[] = {
    {"load", checkLoad},
    {"opcodes", checkOpcodes},
    {"parameter-texts", checkParameterTexts},
    {"parameter-sweep", checkParameterSweep},
    {"blocks", checkBlocks},
    {"in-place", checkInPlace},
    {"sample-rates", checkSampleRates},
    {"programs", checkPrograms},
    {"chunks", checkChunks},
    {"lifecycle", checkLifecycle},
    {"resend", checkResend},
    {"threads", checkThreads},
    {"silence-cpu", checkSilence},
    {"realtime", checkRealtime},
    {"preset-files", checkPresetFiles},
};

}  // namespace vsthost::validation
