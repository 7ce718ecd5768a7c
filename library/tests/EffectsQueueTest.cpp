// The effects queue keeps what the devices must still be told, bounded, and
// ends on what the caller asked last.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "EffectsQueue.h"

using karvel::EffectCommand;
using karvel::EffectsQueue;
using Kind = EffectCommand::Kind;

namespace {

std::vector<EffectCommand> drain(EffectsQueue& queue) {
    std::vector<EffectCommand> commands;
    while (!queue.empty()) commands.push_back(queue.pop());
    return commands;
}

// What four outputs hold after a sequence of commands, applied one by one.
using Outputs = std::array<int, 4>; // wind, water mist, scent, heater
void applyTo(Outputs& outputs, const EffectCommand& command) {
    if (command.kind == Kind::AllOff) {
        outputs = {0, 0, 0, 0};
        return;
    }
    outputs[static_cast<std::size_t>(command.kind)] = command.value;
}

} // namespace

TEST(EffectsQueue, AChangeReplacesTheQueuedChangeOfTheSameEffectInPlace) {
    EffectsQueue queue;
    queue.push({Kind::Wind, 50});
    queue.push({Kind::WaterMist, 1});
    queue.push({Kind::Wind, 70});
    queue.push({Kind::WaterMist, 3});
    queue.push({Kind::Heater, 1});
    EXPECT_EQ(drain(queue), (std::vector<EffectCommand>{{Kind::Wind, 70}, {Kind::WaterMist, 3}, {Kind::Heater, 1}}));
}

TEST(EffectsQueue, AllOffIsNeverDroppedAndSupersedesWhatCameBefore) {
    EffectsQueue queue;
    queue.push({Kind::Wind, 100});
    queue.push({Kind::Scent, 2});
    queue.push({Kind::AllOff});
    EXPECT_EQ(drain(queue), (std::vector<EffectCommand>{{Kind::AllOff}}));

    // Changes after an off queue behind it; the off itself stays.
    queue.push({Kind::AllOff});
    queue.push({Kind::WaterMist, 2});
    queue.push({Kind::WaterMist, 3});
    queue.push({Kind::Heater, 1});
    EXPECT_EQ(drain(queue),
              (std::vector<EffectCommand>{{Kind::AllOff}, {Kind::WaterMist, 3}, {Kind::Heater, 1}}));

    // A second off makes one.
    queue.push({Kind::AllOff});
    queue.push({Kind::Heater, 1});
    queue.push({Kind::AllOff});
    EXPECT_EQ(drain(queue), (std::vector<EffectCommand>{{Kind::AllOff}}));
}

TEST(EffectsQueue, AppendedCallsCoalesceWithTheQueue) {
    EffectsQueue queue;
    queue.push({Kind::Scent, 1});
    EffectsQueue later;
    later.push({Kind::Scent, 2});
    later.push({Kind::Wind, 50});
    queue.append(std::move(later));
    EXPECT_TRUE(later.empty());
    EXPECT_EQ(drain(queue), (std::vector<EffectCommand>{{Kind::Scent, 2}, {Kind::Wind, 50}}));
}

// Any stream of calls, however long, and a worker that takes a command now
// and then: the queue stays within its bound, and the outputs end as the calls
// applied one by one would leave them.
TEST(EffectsQueue, AnyStreamStaysBoundedAndEndsInTheLastAskedState) {
    std::mt19937 random(14);
    for (int round = 0; round < 200; ++round) {
        EffectsQueue queue;
        Outputs asked{};
        Outputs devices{};
        for (int call = 0; call < 500; ++call) {
            const int pick = std::uniform_int_distribution<int>(0, 4)(random);
            const EffectCommand command{static_cast<Kind>(pick), std::uniform_int_distribution<int>(0, 3)(random)};
            queue.push(command);
            applyTo(asked, command);
            ASSERT_LE(queue.size(), EffectsQueue::kMaxLength);
            if (std::uniform_int_distribution<int>(0, 9)(random) == 0 && !queue.empty()) applyTo(devices, queue.pop());
        }
        while (!queue.empty()) applyTo(devices, queue.pop());
        ASSERT_EQ(devices, asked) << "round " << round;
    }
}

// A command that met no answer goes back to the front, unless a later call
// superseded it.
TEST(EffectsQueue, PutBackGoesFirstUnlessSuperseded) {
    EffectsQueue queue;
    queue.push({Kind::WaterMist, 2});
    queue.putBack({Kind::Heater, 1});
    queue.putBack({Kind::WaterMist, 1}); // the queued change is later: it stands
    EXPECT_EQ(drain(queue), (std::vector<EffectCommand>{{Kind::Heater, 1}, {Kind::WaterMist, 2}}));
    queue.push({Kind::AllOff});
    queue.push({Kind::Heater, 1});
    queue.putBack({Kind::Scent, 2}); // the off came later
    EXPECT_EQ(drain(queue), (std::vector<EffectCommand>{{Kind::AllOff}, {Kind::Heater, 1}}));
}

// The same stream against a device that misses requests at random: what it
// missed goes back (an all-off as its parts, each on its own), and the
// outputs still end as asked, the queue within its bound.
TEST(EffectsQueue, AStreamToAnUnreliableDeviceEndsInTheLastAskedState) {
    std::mt19937 random(18);
    const auto misses = [&random] { return std::uniform_int_distribution<int>(0, 2)(random) == 0; };
    for (int round = 0; round < 200; ++round) {
        EffectsQueue queue;
        Outputs asked{};
        Outputs devices{};
        const auto send = [&] {
            const EffectCommand command = queue.pop();
            std::vector<EffectCommand> parts{command};
            if (command.kind == Kind::AllOff)
                parts = {{Kind::Wind, 0}, {Kind::WaterMist, 0}, {Kind::Scent, 0}, {Kind::Heater, 0}};
            std::vector<EffectCommand> missed;
            for (const EffectCommand& part : parts) {
                if (misses()) {
                    missed.push_back(part);
                } else {
                    applyTo(devices, part);
                }
            }
            for (auto part = missed.rbegin(); part != missed.rend(); ++part) queue.putBack(*part);
        };
        for (int call = 0; call < 500; ++call) {
            const int pick = std::uniform_int_distribution<int>(0, 4)(random);
            const EffectCommand command{static_cast<Kind>(pick), std::uniform_int_distribution<int>(0, 3)(random)};
            queue.push(command);
            applyTo(asked, command);
            if (std::uniform_int_distribution<int>(0, 9)(random) == 0 && !queue.empty()) send();
            ASSERT_LE(queue.size(), EffectsQueue::kMaxLength);
        }
        // The device answers again, now and then missing one more.
        while (!queue.empty()) send();
        ASSERT_EQ(devices, asked) << "round " << round;
    }
}
