// The amp's three channels and the knob settings each remembers. Selecting a channel recalls its memory;
// moving a knob it keeps remembers the new value, in the live memory and in the current program's record.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace effect {

enum class Channel { Clean = 0, Crunch = 1, Overdrive = 2 };

// Channel 1 is Clean or Crunch by the Clean/Crunch switch; the Channel switch selects Overdrive over both.
constexpr Channel selectedChannel(bool overdrive, bool crunch) noexcept
{
    return overdrive ? Channel::Overdrive : crunch ? Channel::Crunch : Channel::Clean;
}

// Each drive pot is live only in its own channel (Drive1 in Crunch, Drive2 in Overdrive); elsewhere it rests
// at the middle.
constexpr float drivePot(Channel selected, Channel owner, float value) noexcept
{
    return selected == owner ? value : 0.5f;
}

// Layout: `static constexpr int kSize`, `static constexpr int slot(Channel, int32_t index)` (the entry of a
// parameter in the whole memory, -1 where the channel does not keep it) and `kRecallOrder`, the parameters a
// recall sets, in the order it sets them.
template <class Layout>
class ChannelMemory {
public:
    static constexpr int kSize = Layout::kSize;

    // Writer side: a program's memory becomes the live one. Values outside 0..1 (a damaged record) count as
    // the nearest end, NaN as 0.
    void load(const double* from) noexcept
    {
        for (int m = 0; m < kSize; ++m) {
            double v = from[m];
            if (!(v > 0.0)) v = 0.0;
            if (v > 1.0) v = 1.0;
            values_[m].store(v, std::memory_order_relaxed);
        }
    }

    double at(int entry) const noexcept { return values_[entry].load(std::memory_order_relaxed); }

    // Remembers v for the parameter in `channel`, here and in `record` (the current program's memory); false
    // when the channel does not keep the parameter.
    bool remember(Channel channel, int32_t index, float v, double* record) noexcept
    {
        const int entry = Layout::slot(channel, index);
        if (entry < 0) return false;
        values_[entry].store(v, std::memory_order_relaxed);
        record[entry] = v;
        return true;
    }

    // Calls set(index, value) for every parameter `channel` keeps, in recall order.
    template <class Set>
    void recall(Channel channel, Set&& set) const
    {
        for (int32_t index : Layout::kRecallOrder) {
            const int entry = Layout::slot(channel, index);
            if (entry >= 0) set(index, static_cast<float>(at(entry)));
        }
    }

private:
    std::array<std::atomic<double>, kSize> values_{};
};

}  // namespace effect
