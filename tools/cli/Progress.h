// The progress of a long task (a ride streamed, a large file read) as its
// user sees it: on a terminal a bar on the last row, redrawn at most ten
// times a second; elsewhere (a pipe, a file, a service's log) a line every
// five seconds, so that a run that takes hours still says how far it is.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace karvel::cli {

struct ProgressPoint {
    std::uint64_t done = 0, total = 0; // in the task's units
    double elapsed = 0;                // seconds since the start
    double remaining = -1;             // seconds left; below 0: from the pace so far
    std::string counts;                // what is done, in words ("1234/2941 frames, 0 late")
};

// " 42% 0:12 elapsed, 0:17 left, 1234/2941 frames, 0 late"
std::string progressText(const ProgressPoint& point);
// A duration as a clock shows it: "0:07", "12:34", "1:02:03".
std::string clockText(double seconds);

// Where a Progress prints its lines and draws its bar: the console's
// standard error, unless a test looks.
struct ProgressOutput {
    std::function<void(const std::string&)> line, bar;
    std::function<void()> endBar;
};
ProgressOutput consoleProgressOutput();

class Progress {
public:
    // `title` begins each line ("replay: 42% ..."). On a terminal the bar
    // appears once `barAfter` seconds have passed (a task that ends sooner
    // leaves no bar behind).
    Progress(std::string title, bool terminal, double barAfter = 0,
             ProgressOutput output = consoleProgressOutput());
    // Ends the bar's row.
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Whether a point at `elapsed` would be shown (the last one, done ==
    // total, always is on a terminal): lets the caller skip building it.
    bool due(double elapsed, bool last) const;
    // Shows `point` when it is due.
    void show(const ProgressPoint& point);

private:
    std::string title_;
    bool terminal_;
    double barAfter_;
    ProgressOutput output_;
    double nextAt_; // elapsed time of the next line or redraw
    bool barDrawn_ = false;
};

} // namespace karvel::cli
