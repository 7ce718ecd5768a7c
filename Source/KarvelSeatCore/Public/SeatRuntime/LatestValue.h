// The newest of a stream of values, handed from one writer thread to one reader thread without either of them
// ever waiting or allocating. Three slots: the writer fills one, the reader holds one, and the third lies between
// them; each side swaps its slot with the one in between. A value written twice before the reader looks is seen
// once, as the newer of the two.
#pragma once

#include <atomic>

namespace KarvelSeat {

template <typename T>
class LatestValue {
public:
    // Writer thread only.
    void Write(const T& Value) {
        Slots[WriterSlot] = Value;
        const unsigned Previous = Between.exchange(WriterSlot | FreshBit, std::memory_order_acq_rel);
        WriterSlot = Previous & SlotMask;
    }

    // Reader thread only: the newest value written since the last Read, if there is one.
    bool Read(T& Out) {
        if ((Between.load(std::memory_order_acquire) & FreshBit) == 0) return false;
        const unsigned Previous = Between.exchange(ReaderSlot, std::memory_order_acq_rel);
        ReaderSlot = Previous & SlotMask;
        Out = Slots[ReaderSlot];
        return true;
    }

private:
    static constexpr unsigned SlotMask = 3;
    static constexpr unsigned FreshBit = 4; // the slot in between holds a value the reader has not seen

    T Slots[3]{};
    std::atomic<unsigned> Between{1};
    unsigned WriterSlot = 0;
    unsigned ReaderSlot = 2;
};

} // namespace KarvelSeat
