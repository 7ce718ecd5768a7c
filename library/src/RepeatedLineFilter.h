// Holds back repeats of identical lines so that an error met on every frame
// cannot flood the host's log: the first line passes, its repeats are counted
// and shown as the line followed by " (repeated N times)" at most once per
// interval, N being the repeats held back since the line last passed. A few
// distinct lines are tracked at once, so that two errors taking turns are
// both held back. No I/O and no clock of its own: the caller passes the time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace karvel {

class RepeatedLineFilter {
public:
    static constexpr std::size_t kLineCapacity = 1024; // 1023 characters and the NUL
    static constexpr std::size_t kTrackedLines = 8;
    static constexpr std::int64_t kIntervalNs = 1000000000;

    // Lines to pass on, in order; each NUL-terminated and at most 1023 characters.
    struct Output {
        std::size_t count = 0;
        char lines[kTrackedLines][kLineCapacity];
    };

    // What to pass on for one incoming line: the line itself (new, or its
    // interval passed with repeats held back, then with the count) and the
    // count of a line that gave up its place; nothing for a held-back repeat.
    void admit(const char* line, std::int64_t nowNs, Output& out);
    // The counts still held back, as lines, and forgets every line.
    void flush(Output& out);

private:
    struct Entry {
        char text[kLineCapacity] = {};
        std::uint64_t heldBack = 0;
        std::int64_t passedNs = 0;
        std::uint64_t lastSeen = 0; // 0: the place is free
    };

    static void appendCount(const Entry& entry, Output& out);
    static void appendText(const char* text, Output& out);

    Entry entries[kTrackedLines];
    std::uint64_t sequence = 0;
};

} // namespace karvel
