#include "EffectsQueue.h"

#include <utility>

namespace karvel {

void EffectsQueue::push(const EffectCommand& command) {
    if (command.kind == EffectCommand::Kind::AllOff) {
        // It sets all four effects: nothing queued before it matters any more.
        commands_.clear();
        commands_.push_back(command);
        return;
    }
    // A change of the same effect since the last "all off" is replaced where it
    // stands; one before the "all off" stays, so that the off is still sent.
    for (auto queued = commands_.rbegin(); queued != commands_.rend(); ++queued) {
        if (queued->kind == EffectCommand::Kind::AllOff) break;
        if (queued->kind == command.kind) {
            queued->value = command.value;
            return;
        }
    }
    commands_.push_back(command);
}

void EffectsQueue::append(EffectsQueue&& later) {
    for (const EffectCommand& command : later.commands_) push(command);
    later.commands_.clear();
}

void EffectsQueue::putBack(const EffectCommand& command) {
    for (const EffectCommand& later : commands_)
        if (later.kind == EffectCommand::Kind::AllOff || later.kind == command.kind) return;
    commands_.push_front(command);
}

EffectCommand EffectsQueue::pop() {
    EffectCommand front = commands_.front();
    commands_.pop_front();
    return front;
}

} // namespace karvel
