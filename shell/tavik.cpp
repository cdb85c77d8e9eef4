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

// Hosts may send anything; a value the plug-in works with is always inside 0..1 (NaN counts as 0).
float clampUnit(float v) noexcept {
    if (!(v > 0.0f)) return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

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
    float v = clampUnit(value);
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
    case kVolume1:
        store(index, v);
        if (stereoLinkFlag_.load(std::memory_order_relaxed)) setParameter(kVolume2, 1.0f - v);
        break;
    case kVolume2:
        store(index, stereoLinkFlag_.load(std::memory_order_relaxed) ? 1.0f - live(kVolume1) : v);
        break;
    case kPan1:
    case kPan2:
        store(index, stereoLinkFlag_.load(std::memory_order_relaxed) ? 0.5f : v);
        break;
    case kStereoLink:
        store(index, v);
        stereoLinkFlag_.store(0, std::memory_order_relaxed);
        if (v > 0.5f) {
            stereoLinkFlag_.store(1, std::memory_order_relaxed);
            setParameter(kPan1, 0.5f);
            setParameter(kPan2, 0.5f);
            setParameter(kVolume1, 0.5f);
        }
        break;
    case kDelay1:
    case kDelay2: {
        // Delay changes glide: each change moves the delay a tenth of the way.
        float smoothed = static_cast<float>(0.9 * live(index) + 0.1 * v);
        store(index, smoothed);
        break;
    }
    case kLoadIr1:
    case kLoadIr2:
        break;
    case kIrSource2:
        sourceSwitchesTouched_ = true;
        [[fallthrough]];
    case kIrSource1:
        store(index, v);
        break;
    default:  // Phase, filter corners, cabinet switches: the cabinet reads them once it exists.
        store(index, v);
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
        const float x = in[i];
        const amp::AmpSwitches switches{channelFlag_.load(std::memory_order_relaxed),
                                        crunchFlag_.load(std::memory_order_relaxed),
                                        boostFlag_.load(std::memory_order_relaxed),
                                        brightFlag_.load(std::memory_order_relaxed)};
        const double s = amp_.processSample(x, sampleFrames - 1 - i, switches,
                                            drive1Gain_.load(std::memory_order_relaxed),
                                            drive2Gain_.load(std::memory_order_relaxed));
        // Until the cabinets exist the amp is heard directly, at a fixed safe level.
        const float y = static_cast<float>(s * 0.5);
        outL[i] = y;
        outR[i] = y;
    }
}

void Tavik::setProgram(int32_t program) {
    if (program < 0 || program >= kNumPrograms) return;
    suspend();
    currentProgram_ = program;
    const ProgramRecord& record = programs_[program];
    std::memcpy(memory_, record.channelMemory, sizeof(memory_));
    for (int32_t index : {kChannel, kCleanCrunch, kQuality, kStereoLink, kPhase1, kPhase2, kVolume1, kVolume2,
                          kPan1, kPan2, kFreqHp1, kFreqHp2, kFreqLp1, kFreqLp2, kCab1On, kCab2On, kDelay1,
                          kDelay2})
        setParameter(index, programs_[program].values[recordSlot(index)]);
    for (int32_t index : {kIrSource1, kIrSource2})
        params_[index].store(clampUnit(record.values[recordSlot(index)]), std::memory_order_relaxed);
    vst::copyText(irName_[0], record.ir1Name, kNameField - 1);
    vst::copyText(irName_[1], record.ir2Name, kNameField - 1);
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
        std::memcpy(&programs_[currentProgram_], data, kProgramChunkSize);
    } else {
        if (byteSize != kBankChunkSize) return 0;
        std::memcpy(programs_, data, kBankChunkSize);
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
