// An effects device's queue. It holds what the device still has to be told,
// not every call: a level change replaces a queued change of the same effect,
// and turning everything off replaces every change queued before it. What the
// device ends with is what the caller asked last, and the queue never holds
// more than kMaxLength commands however fast the caller is, nor while the
// device does not answer. Pure: no I/O.
#pragma once

#include <cstddef>
#include <deque>

namespace karvel {

struct EffectCommand {
    enum class Kind { Wind, WaterMist, Scent, Heater, AllOff };
    Kind kind;
    // Wind: the fan speed value; water mist and scent: the level; heater: 0 or 1; all off: unused.
    int value = 0;

    bool operator==(const EffectCommand& other) const { return kind == other.kind && value == other.value; }
};

class EffectsQueue {
public:
    // One "all off" and a change of each of the four effects after it.
    static constexpr std::size_t kMaxLength = 5;

    void push(const EffectCommand& command);
    // Appends every command of `later` as if pushed one by one, in order.
    void append(EffectsQueue&& later);
    EffectCommand pop();
    // A command that met no answer goes back to the front to be tried again,
    // unless a later call superseded it: a change of the same effect, or an all-off.
    void putBack(const EffectCommand& command);
    bool empty() const { return commands_.empty(); }
    std::size_t size() const { return commands_.size(); }
    void clear() { commands_.clear(); }

private:
    std::deque<EffectCommand> commands_;
};

} // namespace karvel
