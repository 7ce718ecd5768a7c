#include "RepeatedLineFilter.h"

#include <cstdio>
#include <cstring>

namespace karvel {

void RepeatedLineFilter::appendText(const char* text, Output& out) {
    std::snprintf(out.lines[out.count++], kLineCapacity, "%s", text);
}

void RepeatedLineFilter::appendCount(const Entry& entry, Output& out) {
    char suffix[48];
    const int suffixLength =
        std::snprintf(suffix, sizeof suffix, " (repeated %llu times)", static_cast<unsigned long long>(entry.heldBack));
    // A line at the length limit gives up its end to the count, which matters more.
    const int room = static_cast<int>(kLineCapacity - 1) - suffixLength;
    std::snprintf(out.lines[out.count++], kLineCapacity, "%.*s%s", room, entry.text, suffix);
}

void RepeatedLineFilter::admit(const char* line, std::int64_t nowNs, Output& out) {
    out.count = 0;
    ++sequence;
    Entry* oldest = &entries[0];
    for (Entry& entry : entries) {
        if (entry.lastSeen != 0 && std::strncmp(entry.text, line, kLineCapacity - 1) == 0) {
            entry.lastSeen = sequence;
            if (nowNs - entry.passedNs < kIntervalNs) {
                ++entry.heldBack;
                return;
            }
            // The interval is over: this repeat passes, with the count of those held back.
            if (entry.heldBack == 0) {
                appendText(entry.text, out);
            } else {
                ++entry.heldBack;
                appendCount(entry, out);
            }
            entry.heldBack = 0;
            entry.passedNs = nowNs;
            return;
        }
        if (entry.lastSeen < oldest->lastSeen) oldest = &entry;
    }
    if (oldest->lastSeen != 0 && oldest->heldBack != 0) appendCount(*oldest, out);
    std::snprintf(oldest->text, kLineCapacity, "%s", line);
    oldest->heldBack = 0;
    oldest->passedNs = nowNs;
    oldest->lastSeen = sequence;
    appendText(line, out);
}

void RepeatedLineFilter::flush(Output& out) {
    out.count = 0;
    for (Entry& entry : entries) {
        if (entry.lastSeen != 0 && entry.heldBack != 0) appendCount(entry, out);
        entry = Entry{};
    }
}

} // namespace karvel
