// validate's report: what each check's child sent on its pipe, read into one outcome, and how the
// outcomes are printed, as lines or as JSON.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace vsthost::validation {

// One check's outcome: passed with a summary, or the failures it found.
struct Result {
    std::string name;
    bool pass = true;
    std::vector<std::string> details;
};

// `received` is everything the child sent (the probe's lines), `status` its wait status.
Result readResult(const std::string& name, const std::string& received, int status);

// "PASS name  summary", or a "FAIL name  detail" line for each detail.
void print(FILE* out, const Result& r);

// What the plug-in printed (`logLines` lines into `logPath`) and the counts; or, for JSON, the whole
// report at once.
void printTotals(FILE* out, const std::vector<Result>& all, long logLines, const std::string& logPath);
void printJson(FILE* out, const std::string& plugin, int level, const std::vector<Result>& all, long logLines,
               const std::string& logPath);

}  // namespace vsthost::validation
