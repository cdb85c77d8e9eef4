#include "host/validate/report.h"

#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "host/json.h"
#include "host/validate/checks.h"
#include "host/validate/probe.h"

namespace vsthost::validation {
namespace {

std::string signalName(int sig) {
    const char* abbreviation = sigabbrev_np(sig);
    return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(sig);
}

long failedCount(const std::vector<Result>& all) {
    return static_cast<long>(std::count_if(all.begin(), all.end(), [](const Result& r) { return !r.pass; }));
}

}  // namespace

Result readResult(const std::string& name, const std::string& received, int status) {
    Result result{name, true, {}};
    std::string summary, lastStep;
    std::vector<std::string> notes;
    struct Failure {
        std::string what, where;
        long count = 1;
    };
    std::vector<Failure> failures;
    for (std::size_t start = 0; start < received.size();) {
        std::size_t end = received.find('\n', start);
        if (end == std::string::npos) end = received.size();
        const std::string line = received.substr(start, end - start);
        start = end + 1;
        if (line.size() < 2) continue;
        const std::string text = line.substr(2);
        const std::size_t tab = text.find('\t');
        const std::string first = text.substr(0, tab), second = tab == std::string::npos ? "" : text.substr(tab + 1);
        if (line[0] == 'S') lastStep = text;
        if (line[0] == 'P') summary = text;
        if (line[0] == 'F') failures.push_back({first, second});
        if (line[0] == 'R') {
            const std::size_t index = std::strtoul(first.c_str(), nullptr, 10);
            if (index < failures.size()) failures[index].count = std::strtol(second.c_str(), nullptr, 10);
        }
        if (line[0] == 'N') notes.push_back("note: " + text);
    }
    for (const Failure& f : failures) {
        std::string detail = f.what;
        if (f.count > 1) detail += ", " + std::to_string(f.count) + " times" + (f.where.empty() ? "" : ", first");
        if (!f.where.empty()) detail += (f.count > 1 ? " " : ", ") + f.where;
        result.details.push_back(detail);
    }
    const std::string where = lastStep.empty() ? "" : " while " + lastStep;
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        result.details.push_back((sig == SIGALRM ? "timed out after " + std::to_string(kCheckTimeoutSeconds) + " s"
                                                 : "crashed with " + signalName(sig)) + where);
    } else if (result.details.empty() && (!WIFEXITED(status) || WEXITSTATUS(status) != 0)) {
        result.details.push_back("exited with status " + std::to_string(WEXITSTATUS(status)) + where);
    } else if (result.details.empty() && summary.empty()) {
        result.details.push_back("ended without a result" + where);
    }
    result.pass = result.details.empty();
    if (result.pass) result.details.push_back(summary);
    else result.details.insert(result.details.end(), notes.begin(), notes.end());
    return result;
}

void print(FILE* out, const Result& r) {
    for (const std::string& detail : r.details)
        std::fprintf(out, "%s %-16s %s\n", r.pass ? "PASS" : "FAIL", r.name.c_str(), detail.c_str());
    std::fflush(out);
}

void printTotals(FILE* out, const std::vector<Result>& all, long logLines, const std::string& logPath) {
    const long failed = failedCount(all);
    const long passed = static_cast<long>(all.size()) - failed;
    if (logLines > 0)
        std::fprintf(out, "validate: the plug-in wrote %s of its own; full log: %s\n", plural(logLines, "line").c_str(),
                     logPath.c_str());
    std::fprintf(out, "validate: %ld passed, %ld failed\n", passed, failed);
}

void printJson(FILE* out, const std::string& plugin, int level, const std::vector<Result>& all, long logLines,
               const std::string& logPath) {
    const long failed = failedCount(all);
    const long passed = static_cast<long>(all.size()) - failed;
    std::fprintf(out, "{\"plugin\": %s, \"level\": %d, \"checks\": [", jsonString(plugin).c_str(), level);
    for (std::size_t i = 0; i < all.size(); ++i) {
        std::fprintf(out, "%s\n  {\"name\": %s, \"result\": \"%s\", \"details\": [", i ? "," : "",
                     jsonString(all[i].name).c_str(), all[i].pass ? "pass" : "fail");
        for (std::size_t k = 0; k < all[i].details.size(); ++k)
            std::fprintf(out, "%s%s", k ? ", " : "", jsonString(all[i].details[k]).c_str());
        std::fprintf(out, "]}");
    }
    std::fprintf(out, "\n], \"plugin_output_lines\": %ld, \"plugin_log\": %s, \"passed\": %ld, \"failed\": %ld}\n",
                 logLines, logLines > 0 ? jsonString(logPath).c_str() : "null", passed, failed);
}

}  // namespace vsthost::validation
