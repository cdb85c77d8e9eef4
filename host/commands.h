// The vsthost commands. Each returns the exit status or throws HostError.
#pragma once

#include <cstdio>

#include "host/options.h"

namespace vsthost {

int runInfo(const Options& options);
int runRender(const Options& options);
int runBench(const Options& options);
int runValidate(const Options& options);
int runDemo(const Options& options);
int runEdit(const Options& options);
int runSnapshot(const Options& options);
int runLive(const Options& options);

// Where results go: the process's original standard output. separateResults() points file descriptor 1
// at stderr, so that text a plug-in prints cannot mix into results (such as JSON) that tools parse.
void separateResults();
FILE* results();

}  // namespace vsthost
