#include "shell/tavik.h"

#include <cmath>
#include <cstring>

#include "shell/parameter_table.h"
#include "vst/value_format.h"

namespace tavik {

namespace {

constexpr const char* kEffectName = "Tavik_FullStack_v1_04";
constexpr const char* kVendor = "Mirad Plugins";
constexpr int32_t kVendorVersion = 1040;
constexpr const char* kBuiltinIrName[2] = {"Tavik_IR_Center(Alu)", "Tavik_IR_Edge(Alu)"};

}  // namespace

Tavik::Tavik(vst::AudioMasterCallback audioMaster) : AudioEffectX(audioMaster, kNumPrograms, kNumParams) {
    for (auto& p : params_) p.store(0.0f, std::memory_order_relaxed);
    initPrograms();
    setProgram(0);
    canProcessReplacing();
    setUniqueID(vst::fourCC("TVKS"));
    setNumInputs(2);
    setNumOutputs(2);
    for (int c = 0; c < 2; ++c) vst::copyText(builtinName_[c], kBuiltinIrName[c], kNameField - 1);
    // The editor is created here once it exists.
    cabinet_.setMakeupGain(5.0);
    // No audio runs yet: take the design of the first program now and set the valve stages to rest.
    if (ampDesigns_.fetch()) amp_.adopt(ampDesigns_.front());
    amp_.setupStages();
    programsAreChunks();
}

Tavik::~Tavik() = default;

void Tavik::initPrograms() noexcept {
    for (auto& record : programs_) {
        std::memset(&record, 0, sizeof(record));
        vst::copyText(record.name, "Init", kProgramNameLen);
        vst::copyText(record.ir1Name, "Empty", kNameField - 1);
        vst::copyText(record.ir2Name, "Empty", kNameField - 1);
        record.irRate = sampleRate_;
        record.ir1Length = 1024;
        record.ir2Length = 1024;
        for (int32_t i = 0; i < kNumParams; ++i) {
            int slot = recordSlot(i);
            if (slot >= 0) record.values[slot] = parameterInfo(i).init;
        }
        for (double& m : record.channelMemory) m = 0.5;
        for (AmpChannel c : {AmpChannel::Clean, AmpChannel::Crunch, AmpChannel::Overdrive})
            record.channelMemory[memoryOffset(c) + memoryEntry(c, kBright)] = 0.0;
        record.channelMemory[memoryOffset(AmpChannel::Overdrive) +
                             memoryEntry(AmpChannel::Overdrive, kBoost)] = 0.0;
    }
}

AmpChannel Tavik::selectedChannel() const noexcept {
    if (channelFlag_.load(std::memory_order_relaxed)) return AmpChannel::Overdrive;
    return crunchFlag_.load(std::memory_order_relaxed) ? AmpChannel::Crunch : AmpChannel::Clean;
}

void Tavik::store(int32_t index, float value) noexcept {
    params_[index].store(value, std::memory_order_relaxed);
    int slot = recordSlot(index);
    if (slot >= 0) programs_[currentProgram_].values[slot] = value;
}

void Tavik::remember(int32_t index, float value) noexcept {
    AmpChannel channel = selectedChannel();
    int entry = memoryEntry(channel, index);
    if (entry < 0) return;
    int at = memoryOffset(channel) + entry;
    memory_[at] = value;
    programs_[currentProgram_].channelMemory[at] = value;
}

void Tavik::recall(AmpChannel channel) {
    auto remembered = [&](int32_t index) {
        return static_cast<float>(memory_[memoryOffset(channel) + memoryEntry(channel, index)]);
    };
    for (int32_t index : {kInput, kDrive1, kDrive2, kLow, kMid, kHigh, kContour, kVolume})
        setParameter(index, remembered(index));
    if (channel == AmpChannel::Overdrive) setParameter(kBoost, remembered(kBoost));
    setParameter(kBright, remembered(kBright));
    setParameter(kPowerAmp, remembered(kPowerAmp));
}

void Tavik::setParameter(int32_t index, float value) {
    float v = vst::clampUnit(value);
    if (index < 0 || index >= kNumParams) {
        if (editor_) editor_->setParameter(index, v);
        return;
    }
    switch (index) {
    case kInput:
    case kLow:
    case kMid:
    case kHigh:
    case kContour:
    case kPowerAmp:
    case kVolume:
        store(index, v);
        remember(index, v);
        if (index == kVolume) cabinet_.setMasterVolume(v);
        break;
    case kChannel:
        store(index, v);
        if (v >= 0.5f) {
            channelFlag_.store(1, std::memory_order_relaxed);
            recall(AmpChannel::Overdrive);
        } else {
            channelFlag_.store(0, std::memory_order_relaxed);
            recall(crunchFlag_.load(std::memory_order_relaxed) ? AmpChannel::Crunch : AmpChannel::Clean);
        }
        break;
    case kCleanCrunch:
        store(index, v);
        crunchFlag_.store(v >= 0.5f ? 1 : 0, std::memory_order_relaxed);
        if (channelFlag_.load(std::memory_order_relaxed) == 0)
            recall(v >= 0.5f ? AmpChannel::Crunch : AmpChannel::Clean);
        break;
    case kBoost:
        store(index, v);
        boostFlag_.store(v >= 0.5f ? 1 : 0, std::memory_order_relaxed);
        if (channelFlag_.load(std::memory_order_relaxed) == 1) remember(index, v);
        break;
    case kBright:
        store(index, v);
        brightFlag_.store(v >= 0.5f ? 1 : 0, std::memory_order_relaxed);
        remember(index, v);
        break;
    case kDrive1:
    case kDrive2: {
        // Each drive pot is live only in its own channel; elsewhere it rests at the middle.
        AmpChannel owner = index == kDrive1 ? AmpChannel::Crunch : AmpChannel::Overdrive;
        float d = selectedChannel() == owner ? v : 0.5f;
        store(index, d);
        remember(index, d);
        (index == kDrive1 ? drive1Gain_ : drive2Gain_).store(amp::driveTaper(live(index)), std::memory_order_relaxed);
        break;
    }
    case kMonoStereo:
        break;
    case kQuality:
        store(index, v);
        highQFlag_.store(v >= 0.5f ? 1 : 0, std::memory_order_relaxed);
        requestAmpDesign();
        break;
    case kPhase1:
    case kPhase2:
        store(index, v);
        cabinet_.setPolarityInverted(index - kPhase1, v >= 0.5f);
        break;
    case kVolume1:
        store(index, v);
        cabinet_.setVolume(0, v);
        if (stereoLinkFlag_.load(std::memory_order_relaxed)) setParameter(kVolume2, 1.0f - v);
        break;
    case kVolume2:
        store(index, stereoLinkFlag_.load(std::memory_order_relaxed) ? 1.0f - live(kVolume1) : v);
        cabinet_.setVolume(1, live(kVolume2));
        break;
    case kPan1:
    case kPan2:
        store(index, stereoLinkFlag_.load(std::memory_order_relaxed) ? 0.5f : v);
        cabinet_.setPan(index - kPan1, live(index));
        break;
    case kFreqHp1:
    case kFreqHp2:
        store(index, v);
        cabinet_.setHighpassHz(index - kFreqHp1, 990.0 * v + 10.0);
        break;
    case kFreqLp1:
    case kFreqLp2:
        store(index, v);
        cabinet_.setLowpassHz(index - kFreqLp1, 9000.0 * v + 1000.0);
        break;
    case kCab1On:
    case kCab2On:
        store(index, v);
        cabinet_.setEnabled(index - kCab1On, v >= 0.5f);
        if (v < 0.5f) cabinet_.clearBlock(index - kCab1On);
        break;
    case kStereoLink:
        store(index, v);
        stereoLinkFlag_.store(0, std::memory_order_relaxed);
        cabinet_.setMakeupGain(5.0);
        if (v > 0.5f) {
            stereoLinkFlag_.store(1, std::memory_order_relaxed);
            setParameter(kPan1, 0.5f);
            setParameter(kPan2, 0.5f);
            setParameter(kVolume1, 0.5f);
            cabinet_.setMakeupGain(7.5);
        }
        break;
    case kDelay1:
    case kDelay2: {
        // Changes from the host or the editor glide: each moves the delay a tenth of the way. A program
        // switch takes its stored delay exactly, so stored delays survive any number of switches.
        if (applyingProgram_) {
            params_[index].store(v, std::memory_order_relaxed);
        } else {
            store(index, static_cast<float>(0.9 * live(index) + 0.1 * v));
        }
        cabinet_.setDelay(index - kDelay1, live(index));
        break;
    }
    case kLoadIr1:
    case kLoadIr2:
        if (v > 0.5f) loadExternalIr(index - kLoadIr1);
        break;
    case kIrSource1:
    case kIrSource2:
        store(index, v);
        applySourceSwitch(index - kIrSource1, v);
        break;
    default:
        break;
    }
    if (editor_) editor_->setParameter(index, v);
}

float Tavik::getParameter(int32_t index) {
    if (index < 0 || index >= kNumParams || !parameterInfo(index).hasValue) return 0.0f;
    if (index == kLoadIr1 || index == kLoadIr2) return 0.0f;
    return live(index);
}

void Tavik::setSampleRate(float rate) {
    // A rate that is not a finite positive number would poison every design: keep the current one.
    if (!(std::isfinite(rate) && rate > 0.0f)) return;
    sampleRate_ = rate;
    requestAmpDesign();
    const bool changed = cabinet_.sampleRate() != static_cast<double>(rate);
    // A new rate rebuilds the cabinets with empty external spectra: bring the program's external
    // impulse responses to the new rate at once, so cabinets set to them keep sounding.
    if (cabinet_.setSampleRate(rate) && changed) {
        restoreExternalIrs();
        applySourceSwitch(0, live(kIrSource1));
        applySourceSwitch(1, live(kIrSource2));
    }
}

void Tavik::applySourceSwitch(int c, float v) {
    cabinet_.clearBlock(c);
    if (v <= 0.5f) {
        sourceFlag_[c].store(0, std::memory_order_relaxed);
        cabinet_.setReady(c, true);
        cabinet_.useInternal(c);
    } else {
        sourceFlag_[c].store(1, std::memory_order_relaxed);
        cabinet_.useExternal(c);
        if (std::strcmp(irName_[c], "Empty") == 0) cabinet_.setReady(c, false);
    }
}

void Tavik::requestAmpDesign() {
    std::lock_guard<std::mutex> lock(ampDesignWriter_);
    ampDesigns_.back() = amp::makeAmpDesign(sampleRate_, highQFlag_.load(std::memory_order_relaxed) != 0);
    ampDesigns_.publish();
}

void Tavik::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) {
    if (sampleFrames <= 0 || !inputs || !inputs[0] || !outputs || !outputs[0] || !outputs[1]) return;
    if (ampDesigns_.fetch()) amp_.adopt(ampDesigns_.front());
    amp_.beginBlock({live(kInput), live(kLow), live(kMid), live(kHigh), live(kContour), live(kPowerAmp)});
    const float* in = inputs[0];
    float* outL = outputs[0];
    float* outR = outputs[1];
    for (int32_t i = 0; i < sampleFrames; ++i) {
        // Read before writing: hosts may pass the same buffers for input and output.
        // A sample that is not a number would stay in the filter states for good: it plays as silence.
        const float x = std::isfinite(in[i]) ? in[i] : 0.0f;
        const amp::AmpSwitches switches{channelFlag_.load(std::memory_order_relaxed),
                                        crunchFlag_.load(std::memory_order_relaxed),
                                        boostFlag_.load(std::memory_order_relaxed),
                                        brightFlag_.load(std::memory_order_relaxed)};
        const double s = amp_.processSample(x, sampleFrames - 1 - i, switches,
                                            drive1Gain_.load(std::memory_order_relaxed),
                                            drive2Gain_.load(std::memory_order_relaxed));
        float left = 0.0f;
        float right = 0.0f;
        cabinet_.processFrame(s, left, right);
        outL[i] = left;
        outR[i] = right;
    }
}

void Tavik::setProgram(int32_t program) {
    if (program < 0 || program >= kNumPrograms) return;
    suspend();
    currentProgram_ = program;
    const ProgramRecord& record = programs_[program];
    // The record may come from a damaged project file: nothing outside 0..1 reaches the live state.
    for (int m = 0; m < kChannelMemorySize; ++m) memory_[m] = vst::clampUnit(static_cast<float>(record.channelMemory[m]));
    applyingProgram_ = true;
    for (int32_t index : {kChannel, kCleanCrunch, kQuality, kStereoLink, kPhase1, kPhase2, kVolume1, kVolume2,
                          kPan1, kPan2, kFreqHp1, kFreqHp2, kFreqLp1, kFreqLp2, kCab1On, kCab2On, kDelay1,
                          kDelay2})
        setParameter(index, record.values[recordSlot(index)]);
    applyingProgram_ = false;
    for (int32_t index : {kIrSource1, kIrSource2})
        params_[index].store(vst::clampUnit(record.values[recordSlot(index)]), std::memory_order_relaxed);
    cabinet_.clearForProgramChange();
    vst::copyText(irName_[0], record.ir1Name, kNameField - 1);
    vst::copyText(irName_[1], record.ir2Name, kNameField - 1);
    restoreExternalIrs();
    // Both source switches are applied on every switch, so each cabinet always has its spectrum.
    setParameter(kIrSource1, live(kIrSource1));
    setParameter(kIrSource2, live(kIrSource2));
    resume();
}

void Tavik::setProgramName(char* name) {
    vst::copyText(programs_[currentProgram_].name, name, kProgramNameLen);
}

void Tavik::getProgramName(char* name) {
    vst::copyText(name, programs_[currentProgram_].name, kProgramNameLen);
}

bool Tavik::getProgramNameIndexed(int32_t, int32_t index, char* text) {
    if (index < 0 || index >= kNumPrograms) return false;
    vst::copyText(text, programs_[index].name, kProgramNameLen);
    return true;
}

void Tavik::getParameterLabel(int32_t index, char* label) {
    if (index < 0 || index >= kNumParams) return;
    if (const char* l = parameterInfo(index).label) vst::copyText(label, l, vst::kVstMaxParamStrLen);
}

void Tavik::getParameterDisplay(int32_t index, char* text) {
    if (index < 0 || index >= kNumParams) return;
    switch (parameterInfo(index).display) {
    case Display::Value:
        vst::formatValue(live(index), text, vst::kVstMaxParamStrLen);
        break;
    case Display::Decibels:
        vst::formatDecibels(live(index), text, vst::kVstMaxParamStrLen);
        break;
    case Display::None:
        break;
    }
}

void Tavik::getParameterName(int32_t index, char* text) {
    if (index < 0 || index >= kNumParams) return;
    if (const char* n = parameterInfo(index).name) vst::copyText(text, n, 31);
}

int32_t Tavik::getChunk(void** data, bool isPreset) {
    if (!data) return 0;
    if (isPreset) {
        *data = &programs_[currentProgram_];
        return kProgramChunkSize;
    }
    *data = programs_;
    return kBankChunkSize;
}

int32_t Tavik::setChunk(void* data, int32_t byteSize, bool isPreset) {
    if (!data) return 0;
    if (isPreset) {
        if (byteSize != kProgramChunkSize) return 0;
        // memmove: a host may hand back the very pointer getChunk gave it.
        std::memmove(&programs_[currentProgram_], data, kProgramChunkSize);
    } else {
        if (byteSize != kBankChunkSize) return 0;
        std::memmove(programs_, data, kBankChunkSize);
    }
    setProgram(currentProgram_);
    return 1;
}

bool Tavik::getEffectName(char* name) {
    vst::copyText(name, kEffectName, vst::kVstMaxEffectNameLen);
    return true;
}

bool Tavik::getVendorString(char* text) {
    vst::copyText(text, kVendor, vst::kVstMaxVendorStrLen);
    return true;
}

bool Tavik::getProductString(char* text) {
    vst::copyText(text, kEffectName, vst::kVstMaxProductStrLen);
    return true;
}

int32_t Tavik::getVendorVersion() {
    return kVendorVersion;
}

}  // namespace tavik
