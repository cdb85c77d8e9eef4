// One stored program of the full-stack plug-in. The ten records lie back to back in the effect and are,
// byte for byte, the state chunk hosts keep in their projects, so the layout below is fixed for good.
#pragma once

#include <cstddef>
#include <cstdint>

#include "effect/channel_memory.h"

namespace tavik {

constexpr int kNumPrograms = 10;
constexpr int kNumParams = 34;
constexpr int kIrCapacity = 4096;
constexpr int kNameField = 64;
constexpr int kProgramNameLen = 24;

// Index of each parameter, as hosts see it.
enum Param : int32_t {
    kInput = 0, kChannel, kCleanCrunch, kBoost, kBright, kDrive1, kDrive2, kLow, kMid, kHigh, kContour,
    kPowerAmp, kVolume, kMonoStereo, kQuality, kPhase1, kPhase2, kVolume1, kVolume2, kPan1, kPan2,
    kLoadIr1, kLoadIr2, kFreqHp1, kFreqHp2, kFreqLp1, kFreqLp2, kCab1On, kCab2On, kStereoLink, kDelay1,
    kDelay2, kIrSource1, kIrSource2
};

struct ProgramRecord {
    char name[kProgramNameLen + 1];
    char ir1Name[kNameField];
    char ir2Name[kNameField];
    char padding0[3];
    float irRate;
    int32_t ir1Length;
    int32_t ir2Length;
    double ir1Samples[kIrCapacity];
    double ir2Samples[kIrCapacity];
    double ir1Spectrum[kIrCapacity];
    double ir2Spectrum[kIrCapacity];
    float values[33];
    char padding1[4];
    double channelMemory[31];
};

static_assert(sizeof(ProgramRecord) == 131624);
static_assert(offsetof(ProgramRecord, ir1Name) == 25);
static_assert(offsetof(ProgramRecord, ir2Name) == 89);
static_assert(offsetof(ProgramRecord, irRate) == 156);
static_assert(offsetof(ProgramRecord, ir1Length) == 160);
static_assert(offsetof(ProgramRecord, ir2Length) == 164);
static_assert(offsetof(ProgramRecord, ir1Samples) == 168);
static_assert(offsetof(ProgramRecord, ir2Samples) == 32936);
static_assert(offsetof(ProgramRecord, ir1Spectrum) == 65704);
static_assert(offsetof(ProgramRecord, ir2Spectrum) == 98472);
static_assert(offsetof(ProgramRecord, values) == 131240);
static_assert(offsetof(ProgramRecord, channelMemory) == 131376);

constexpr int32_t kBankChunkSize = kNumPrograms * static_cast<int32_t>(sizeof(ProgramRecord));
constexpr int32_t kProgramChunkSize = static_cast<int32_t>(sizeof(ProgramRecord));
static_assert(kBankChunkSize == 1316240);

// Where a parameter's stored value lives in ProgramRecord::values; -1 for "Mono/Stereo", which has none.
constexpr int recordSlot(int32_t index) noexcept {
    if (index >= kPhase1 && index <= kIrSource2) return index - kPhase1;
    if (index >= kInput && index <= kContour) return 19 + index;
    if (index == kVolume) return 30;
    if (index == kQuality) return 31;
    if (index == kPowerAmp) return 32;
    return -1;
}

// The three amp channels, each with its own knob memory.
using AmpChannel = effect::Channel;

constexpr int kChannelMemorySize = 31;

// Position of a parameter inside one channel's memory block, or -1 when the channel does not keep it.
constexpr int memoryOffset(AmpChannel channel) noexcept { return static_cast<int>(channel) * 10; }
constexpr int memoryEntry(AmpChannel channel, int32_t index) noexcept {
    switch (index) {
    case kInput: return 0;
    case kDrive1: return 1;
    case kDrive2: return 2;
    case kBright: return 3;
    case kContour: return 4;
    case kLow: return 5;
    case kMid: return 6;
    case kHigh: return 7;
    case kVolume: return 8;
    case kBoost: return channel == AmpChannel::Overdrive ? 9 : -1;
    case kPowerAmp: return channel == AmpChannel::Overdrive ? 10 : 9;
    default: return -1;
    }
}

// The live channel memory's layout: the record's 31 doubles.
struct ChannelMemoryLayout {
    static constexpr int kSize = kChannelMemorySize;
    static constexpr int slot(AmpChannel channel, int32_t index) noexcept
    {
        const int entry = memoryEntry(channel, index);
        return entry < 0 ? -1 : memoryOffset(channel) + entry;
    }
    // What a channel recall sets, in this order.
    static constexpr int32_t kRecallOrder[] = {kInput, kDrive1, kDrive2, kLow, kMid, kHigh, kContour, kVolume,
                                               kBoost, kBright, kPowerAmp};
};

}  // namespace tavik
