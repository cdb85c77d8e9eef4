// One stored program of the preamp-only plug-in. The ten records lie back to back in the effect and are,
// byte for byte, the state chunk hosts keep in their projects, so the layout below is fixed for good.
#pragma once

#include <cstddef>
#include <cstdint>

#include "effect/channel_memory.h"

namespace tavik_preamp {

constexpr int kNumPrograms = 10;
constexpr int kNumParams = 14;
constexpr int kNameField = 24;
constexpr int kMaxNameLength = kNameField - 1;

// Index of each parameter, as hosts see it.
enum Param : int32_t {
    kInput = 0, kChannel, kCleanCrunch, kBoost, kBright, kDrive1, kDrive2, kLow, kMid, kHigh, kContour,
    kVolume, kMonoStereo, kQuality
};

// The three amp channels, each with its own knob memory.
using PreampChannel = effect::Channel;

// The knob settings each channel remembers, as normalised values: nine per channel in the order Input,
// Drive1, Drive2, Bright/Normal, Contour, Low, Mid, High, Volume; Overdrive keeps its boost as a tenth.
struct PreampChannelMemory {
    static constexpr int kSize = 28;
    static constexpr int kPerChannel = 9;

    double values[kSize];

    // Position of a parameter in the whole memory, or -1 when the channel does not remember it.
    static constexpr int slot(PreampChannel channel, int32_t index) noexcept
    {
        const int base = static_cast<int>(channel) * kPerChannel;
        switch (index) {
        case kInput: return base + 0;
        case kDrive1: return base + 1;
        case kDrive2: return base + 2;
        case kBright: return base + 3;
        case kContour: return base + 4;
        case kLow: return base + 5;
        case kMid: return base + 6;
        case kHigh: return base + 7;
        case kVolume: return base + 8;
        case kBoost: return channel == PreampChannel::Overdrive ? base + 9 : -1;
        default: return -1;
        }
    }

    double& at(PreampChannel channel, int32_t index) noexcept { return values[slot(channel, index)]; }
    double at(PreampChannel channel, int32_t index) const noexcept { return values[slot(channel, index)]; }

    // What a channel recall sets, in this order.
    static constexpr int32_t kRecallOrder[] = {kInput, kDrive1, kDrive2, kLow, kMid, kHigh, kContour, kVolume,
                                               kBoost, kBright};
};

struct PreampProgramRecord {
    char name[kNameField];  // NUL-terminated; bytes after the terminator mean nothing
    float values[kNumParams];
    PreampChannelMemory memory;
};

static_assert(sizeof(PreampChannelMemory) == 224);
static_assert(sizeof(PreampProgramRecord) == 304);
static_assert(offsetof(PreampProgramRecord, values) == 24);
static_assert(offsetof(PreampProgramRecord, memory) == 80);
static_assert(PreampChannelMemory::slot(PreampChannel::Crunch, kInput) == 9);
static_assert(PreampChannelMemory::slot(PreampChannel::Overdrive, kVolume) == 26);
static_assert(PreampChannelMemory::slot(PreampChannel::Overdrive, kBoost) == 27);

constexpr int32_t kProgramChunkSize = static_cast<int32_t>(sizeof(PreampProgramRecord));
constexpr int32_t kBankChunkSize = kNumPrograms * kProgramChunkSize;
static_assert(kBankChunkSize == 3040);

}  // namespace tavik_preamp
