#include "preamp/preamp_effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "preamp/preamp_editor.h"
#include "preamp/preamp_parameters.h"
#include "vst/value_format.h"

namespace tavik_preamp {

namespace {

constexpr const char* kEffectName = "Tavik_PreAmp_v2";
constexpr const char* kVendor = "Mirad Plugins";
constexpr int32_t kVendorVersion = 2000;

int flagOf(float v) noexcept { return v >= 0.5f ? 1 : 0; }

}  // namespace

Tavik::Tavik(vst::AudioMasterCallback audioMaster) : AudioEffectX(audioMaster, kNumPrograms, kNumParams)
{
    for (PreampProgramRecord& record : programs_) initRecord(record);
    setProgram(0);
    setSampleRate(sampleRate_);
    canProcessReplacing();
    programsAreChunks();
    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(vst::fourCC("TVKP"));
    new SDEditor(this);  // registers itself as this effect's editor, which owns and deletes it
    // No audio runs yet: take the first program's set-up now and put the valve stages at rest.
    adoptPendingSetup();
    chain_.restStages(chain_.factor() * static_cast<double>(sampleRate_));
}

Tavik::~Tavik() = default;

PreampChannel Tavik::selectedChannel() const noexcept
{
    if (live_.channel.load(std::memory_order_relaxed)) return PreampChannel::Overdrive;
    return live_.crunch.load(std::memory_order_relaxed) ? PreampChannel::Crunch : PreampChannel::Clean;
}

void Tavik::store(int32_t index, float value) noexcept
{
    live_.values[index].store(value, std::memory_order_relaxed);
    programs_[currentProgram_].values[index] = value;
}

void Tavik::remember(int32_t index, float value) noexcept
{
    const int slot = PreampChannelMemory::slot(selectedChannel(), index);
    if (slot < 0) return;
    memory_.values[slot] = value;
    programs_[currentProgram_].memory.values[slot] = value;
}

void Tavik::recall(PreampChannel channel)
{
    auto remembered = [&](int32_t index) { return static_cast<float>(memory_.at(channel, index)); };
    for (int32_t index : {kInput, kDrive1, kDrive2, kLow, kMid, kHigh, kContour, kVolume})
        setParameter(index, remembered(index));
    if (channel == PreampChannel::Overdrive) setParameter(kBoost, remembered(kBoost));
    setParameter(kBright, remembered(kBright));
}

void Tavik::setParameter(int32_t index, float value)
{
    const float v = clampUnit(value);
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
        live_.channel.store(flagOf(v), std::memory_order_relaxed);
        if (v >= 0.5f)
            recall(PreampChannel::Overdrive);
        else
            recall(live_.crunch.load(std::memory_order_relaxed) ? PreampChannel::Crunch : PreampChannel::Clean);
        break;
    case kCleanCrunch:
        store(index, v);
        live_.crunch.store(flagOf(v), std::memory_order_relaxed);
        if (live_.channel.load(std::memory_order_relaxed) == 0)
            recall(v >= 0.5f ? PreampChannel::Crunch : PreampChannel::Clean);
        break;
    case kBoost:
        store(index, v);
        live_.boost.store(flagOf(v), std::memory_order_relaxed);
        if (live_.channel.load(std::memory_order_relaxed) == 1) remember(index, v);
        break;
    case kBright:
        store(index, v);
        live_.bright.store(flagOf(v), std::memory_order_relaxed);
        remember(index, v);
        break;
    case kDrive1:
    case kDrive2: {
        // Each drive pot is live only in its own channel; elsewhere it rests at the middle.
        const PreampChannel owner = index == kDrive1 ? PreampChannel::Crunch : PreampChannel::Overdrive;
        const float d = selectedChannel() == owner ? v : 0.5f;
        store(index, d);
        remember(index, d);
        break;
    }
    case kMonoStereo:
        store(index, v);
        live_.stereo.store(flagOf(v), std::memory_order_relaxed);
        break;
    case kQuality:
        // Both designs are ready; the audio side takes the one the flag names at its next block.
        store(index, v);
        live_.highQ.store(flagOf(v), std::memory_order_relaxed);
        break;
    default:
        break;
    }
    adoptBeforeAudio();
    if (editor_) editor_->setParameter(index, v);
}

float Tavik::getParameter(int32_t index)
{
    if (index < 0 || index >= kNumParams) return 0.0f;
    return liveValue(index);
}

void Tavik::setSampleRate(float rate)
{
    // A rate that is not a finite positive number would poison every design: keep the current one.
    if (!(std::isfinite(rate) && rate > 0.0f)) return;
    std::lock_guard<std::mutex> lock(writer_);
    sampleRate_ = rate;
    // The rate in force again (also as the host answers it) prepares nothing: nothing to hear.
    chain_.requestSetup(updateSampleRate());
    adoptBeforeAudio();
}

// Hosts may go on processing between suspend and resume: what arrives meanwhile takes the path it takes at
// any other time.
void Tavik::suspend() {}

void Tavik::resume() { audioStarted_.store(true, std::memory_order_relaxed); }

void Tavik::adoptBeforeAudio() noexcept
{
    // Once audio has run, taking the audio side here would silence the block that starts meanwhile.
    if (!audioStarted_.load(std::memory_order_relaxed)) adoptPendingSetup();
}

bool Tavik::adoptPendingSetup() noexcept
{
    realtime::AudioGuard::Try side(guard_);
    if (!side.held()) return false;
    chain_.adoptPendingSetup(live_.highQ.load(std::memory_order_relaxed) != 0);
    return true;
}

void Tavik::processReplacing(float** inputs, float** outputs, int32_t sampleFrames)
{
    if (sampleFrames <= 0 || !inputs || !inputs[0] || !outputs || !outputs[0] || !outputs[1]) return;
    // Audio runs: from now on changes wait for the top of a block.
    if (!audioStarted_.load(std::memory_order_relaxed)) audioStarted_.store(true, std::memory_order_relaxed);
    realtime::AudioGuard::Try side(guard_);
    if (!side.held()) {
        // Another thread is applying a change right now (only before the host first resumes).
        std::fill(outputs[0], outputs[0] + sampleFrames, 0.0f);
        std::fill(outputs[1], outputs[1] + sampleFrames, 0.0f);
        return;
    }
    chain_.adoptPendingSetup(live_.highQ.load(std::memory_order_relaxed) != 0);
    chain_.process(live_, inputs, outputs, sampleFrames);
}

void Tavik::setProgram(int32_t program)
{
    if (program < 0 || program >= kNumPrograms) return;
    std::lock_guard<std::mutex> lock(writer_);
    // The program in force, chosen again (hosts do it on every session load): nothing changes.
    if (programApplied_ && program == currentProgram_) return;
    applyProgram(program);
}

void Tavik::applyProgram(int32_t program)
{
    currentProgram_ = program;
    const PreampProgramRecord& record = programs_[program];
    memory_ = record.memory;
    // The channel switches recall the knobs from the memories; the record's own knob values are not
    // applied directly.
    for (int32_t index : {kChannel, kCleanCrunch, kMonoStereo, kQuality}) setParameter(index, record.values[index]);
    programApplied_ = true;
}

void Tavik::setProgramName(char* name)
{
    if (name) vst::copyText(programs_[currentProgram_].name, name, kMaxNameLength);
}

void Tavik::getProgramName(char* name)
{
    if (name) vst::copyText(name, programs_[currentProgram_].name, kMaxNameLength);
}

bool Tavik::getProgramNameIndexed(int32_t, int32_t index, char* text)
{
    if (index < 0 || index >= kNumPrograms || !text) return false;
    vst::copyText(text, programs_[index].name, kMaxNameLength);
    return true;
}

void Tavik::getParameterLabel(int32_t index, char* label) { writeParameterLabel(index, label); }

void Tavik::getParameterDisplay(int32_t index, char* text)
{
    if (index < 0 || index >= kNumParams) return;
    writeParameterDisplay(index, liveValue(index), text);
}

void Tavik::getParameterName(int32_t index, char* text) { writeParameterName(index, text); }

int32_t Tavik::getChunk(void** data, bool isPreset)
{
    if (!data) return 0;
    if (isPreset) {
        *data = &programs_[currentProgram_];
        return kProgramChunkSize;
    }
    *data = programs_;
    return kBankChunkSize;
}

int32_t Tavik::setChunk(void* data, int32_t byteSize, bool isPreset)
{
    if (!data) return 0;
    std::lock_guard<std::mutex> lock(writer_);
    PreampProgramRecord& current = programs_[currentProgram_];
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (isPreset) {
        if (byteSize != kProgramChunkSize) return 0;
    } else {
        if (byteSize != kBankChunkSize) return 0;
        bytes += static_cast<std::size_t>(currentProgram_) * sizeof(PreampProgramRecord);
    }
    // Hosts hand back the chunk they were given (on every session load): when the program in force comes
    // back unchanged there is nothing to apply, and nothing to hear.
    const bool unchanged = std::memcmp(&current, bytes, sizeof(PreampProgramRecord)) == 0;
    // memmove: a host may hand back the very pointer getChunk gave it.
    if (isPreset) {
        std::memmove(&current, data, kProgramChunkSize);
        repairRecord(current);
    } else {
        std::memmove(programs_, data, kBankChunkSize);
        for (PreampProgramRecord& record : programs_) repairRecord(record);
    }
    if (!unchanged || !programApplied_) applyProgram(currentProgram_);
    return 1;
}

bool Tavik::getEffectName(char* name)
{
    if (!name) return false;
    vst::copyText(name, kEffectName, vst::kVstMaxEffectNameLen);
    return true;
}

bool Tavik::getVendorString(char* text)
{
    if (!text) return false;
    vst::copyText(text, kVendor, vst::kVstMaxVendorStrLen);
    return true;
}

bool Tavik::getProductString(char* text)
{
    if (!text) return false;
    vst::copyText(text, kEffectName, vst::kVstMaxProductStrLen);
    return true;
}

int32_t Tavik::getVendorVersion() { return kVendorVersion; }

}  // namespace tavik_preamp
