// A progress bar on stderr, drawn only when stderr is a terminal and the user did not ask for quiet.
#pragma once

#include <cstdint>
#include <string>

namespace vsthost {

class Progress {
public:
    Progress(std::string label, int64_t total, bool quiet);
    ~Progress();  // clears the bar
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void update(int64_t done);

private:
    std::string label_;
    int64_t total_;
    bool enabled_;
    int shown_ = -1;  // percent last drawn
};

}  // namespace vsthost
