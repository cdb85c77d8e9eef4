#include "preamp/preamp_effect.h"

#include <cmath>

#include "preamp/preamp_editor.h"

namespace tavik_preamp {

Tavik::Tavik(vst::AudioMasterCallback audioMaster) : Effect(audioMaster)
{
    for (PreampProgramRecord& record : bank_) initRecord(record);
    setProgram(0);
    setSampleRate(sampleRate_);
    setUniqueID(vst::fourCC("TVKP"));
    new SDEditor(this);  // registers itself as this effect's editor, which owns and deletes it
    // No audio runs yet: take the first program's set-up now and put the valve stages at rest.
    adoptPendingNow();
    chain_.restStages(chain_.factor() * static_cast<double>(sampleRate_));
}

Tavik::~Tavik() = default;

PreampChannel Tavik::selectedChannel() const noexcept
{
    return effect::selectedChannel(live_.channel.load(std::memory_order_relaxed) != 0,
                                   live_.crunch.load(std::memory_order_relaxed) != 0);
}

PreampChannelMemory Tavik::channelMemory() const noexcept
{
    PreampChannelMemory copy;
    for (int m = 0; m < PreampChannelMemory::kSize; ++m) copy.values[m] = memory_.at(m);
    return copy;
}

void Tavik::store(int32_t index, float value) noexcept
{
    live_.values[index].store(value, std::memory_order_relaxed);
    bank_[currentProgram_].values[index] = value;
}

void Tavik::remember(int32_t index, float value) noexcept
{
    memory_.remember(selectedChannel(), index, value, bank_[currentProgram_].memory.values);
}

void Tavik::apply(int32_t index, float v, effect::Changes& changes)
{
    const int on = switchOn(index, v) ? 1 : 0;
    auto recall = [&](PreampChannel channel) {
        memory_.recall(channel, [&](int32_t i, float value) { change(i, value, changes); });
    };
    switch (index) {
    case kInput:
    case kLow:
    case kMid:
    case kHigh:
    case kContour:
    case kVolume:
        store(index, v);
        remember(index, v);
        break;
    case kChannel:
        store(index, v);
        live_.channel.store(on, std::memory_order_relaxed);
        recall(selectedChannel());
        break;
    case kCleanCrunch:
        store(index, v);
        live_.crunch.store(on, std::memory_order_relaxed);
        if (live_.channel.load(std::memory_order_relaxed) == 0) recall(selectedChannel());
        break;
    case kBoost:
        store(index, v);
        live_.boost.store(on, std::memory_order_relaxed);
        if (live_.channel.load(std::memory_order_relaxed) == 1) remember(index, v);
        break;
    case kBright:
        store(index, v);
        live_.bright.store(on, std::memory_order_relaxed);
        remember(index, v);
        break;
    case kDrive1:
    case kDrive2: {
        const float d = effect::drivePot(selectedChannel(), index == kDrive1 ? PreampChannel::Crunch
                                                                              : PreampChannel::Overdrive, v);
        store(index, d);
        remember(index, d);
        break;
    }
    case kMonoStereo:
        store(index, v);
        live_.stereo.store(on, std::memory_order_relaxed);
        break;
    case kQuality:
        // Both designs are ready; the audio side takes the one the flag names at its next block.
        store(index, v);
        live_.highQ.store(on, std::memory_order_relaxed);
        break;
    default:
        break;
    }
}

void Tavik::setSampleRate(float rate)
{
    // A rate that is not a finite positive number would poison every design: keep the current one.
    if (!(std::isfinite(rate) && rate > 0.0f)) return;
    std::lock_guard<std::mutex> lock(writer_);
    sampleRate_ = rate;
    // The rate in force again (also as the host answers it) prepares nothing: nothing to hear.
    chain_.requestSetup(updateSampleRate());
    audio_.adoptBeforeAudio([this]() noexcept { adoptPending(); });
}

bool Tavik::adoptPending() noexcept
{
    chain_.adoptPending(live_.highQ.load(std::memory_order_relaxed) != 0);
    return true;
}

bool Tavik::adoptPendingNow() noexcept
{
    realtime::AudioGuard::Try side(audio_.guard());
    if (!side.held()) return false;
    adoptPending();
    return true;
}

void Tavik::processReplacing(float** inputs, float** outputs, int32_t sampleFrames)
{
    effect::AudioSide::Block block(audio_, inputs, outputs, sampleFrames, [this]() noexcept { return adoptPending(); });
    if (block.runs()) chain_.process(live_, inputs, outputs, sampleFrames);
}

void Tavik::applyProgram(int32_t program)
{
    currentProgram_ = program;
    const PreampProgramRecord& record = bank_[program];
    memory_.load(record.memory.values);
    // The channel switches recall the knobs from the memories; the record's own knob values are not
    // applied directly. The replay stores into the record as it goes, so it reads the values first.
    const float stored[] = {record.values[kChannel], record.values[kCleanCrunch], record.values[kMonoStereo],
                            record.values[kQuality]};
    effect::Changes changes;
    int k = 0;
    for (int32_t index : {kChannel, kCleanCrunch, kMonoStereo, kQuality}) change(index, stored[k++], changes);
    audio_.adoptBeforeAudio([this]() noexcept { adoptPending(); });
    tell(changes);
}

}  // namespace tavik_preamp
