#include "shell/tavik.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "editor/sd_editor.h"
#include "shell/parameter_table.h"
#include "vst/value_format.h"

namespace tavik {

namespace {

constexpr const char* kEffectName = "Tavik_FullStack_v1_04";
constexpr const char* kVendor = "Mirad Plugins";
constexpr int32_t kVendorVersion = 1040;
constexpr const char* kBuiltinIrName[2] = {"Tavik_IR_Center(Alu)", "Tavik_IR_Edge(Alu)"};

}  // namespace

Tavik::Tavik(vst::AudioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams), loadFfts_(std::make_unique<cabinet::RealFftPair>()) {
    for (auto& p : params_) p.store(0.0f, std::memory_order_relaxed);
    for (auto& m : memory_) m.store(0.0, std::memory_order_relaxed);
    for (int c = 0; c < 2; ++c) vst::copyText(builtinName_[c], kBuiltinIrName[c], kNameField - 1);
    {
        std::lock_guard<std::mutex> lock(writer_);
        publishAmpDesigns();
        initPrograms();
        applyProgram(0);
    }
    canProcessReplacing();
    setUniqueID(vst::fourCC("TVKS"));
    setNumInputs(2);
    setNumOutputs(2);
    new SDEditor(this);  // registers itself as this effect's editor, which owns and deletes it
    // No audio runs yet: take the first program's design now and put the valve stages at rest.
    adoptPending();
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
    memory_[at].store(value, std::memory_order_relaxed);
    programs_[currentProgram_].channelMemory[at] = value;
}

void Tavik::recall(AmpChannel channel) {
    auto remembered = [&](int32_t index) {
        return static_cast<float>(memory_[memoryOffset(channel) + memoryEntry(channel, index)].load(std::memory_order_relaxed));
    };
    for (int32_t index : {kInput, kDrive1, kDrive2, kLow, kMid, kHigh, kContour, kVolume})
        setParameter(index, remembered(index));
    if (channel == AmpChannel::Overdrive) setParameter(kBoost, remembered(kBoost));
    setParameter(kBright, remembered(kBright));
    setParameter(kPowerAmp, remembered(kPowerAmp));
}

// Runs on any thread, the audio thread included: it never locks, allocates or waits (but for the two load
// triggers, which open a file selector). A value set to what it already is changes nothing audible.
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
        // Both designs are ready; the audio side takes the one the flag names at its next block.
        store(index, v);
        highQFlag_.store(v >= 0.5f ? 1 : 0, std::memory_order_relaxed);
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
        // A cabinet switched off has its tail cleared by the audio side at the next block.
        store(index, v);
        cabinet_.setEnabled(index - kCab1On, v >= 0.5f);
        break;
    case kStereoLink: {
        // Only switching the link on centres the pans and resets Volume1: a value sent again while the link
        // is on must not throw away the levels set since.
        store(index, v);
        const int link = v > 0.5f ? 1 : 0;
        const int was = stereoLinkFlag_.exchange(link, std::memory_order_relaxed);
        if (link && !was) {
            setParameter(kPan1, 0.5f);
            setParameter(kPan2, 0.5f);
            setParameter(kVolume1, 0.5f);
        }
        cabinet_.setMakeupGain(link ? 7.5 : 5.0);
        break;
    }
    case kDelay1:
    case kDelay2:
        // The value is held as sent; the audio side lets the delay line glide to it.
        store(index, v);
        cabinet_.setDelayTarget(index - kDelay1, v);
        break;
    case kLoadIr1:
    case kLoadIr2:
        // Hosts that apply automation on their audio thread would hold it in a modal dialog: from there the
        // trigger only asks an open editor to run the load at its next idle.
        if (v > 0.5f) {
            if (std::this_thread::get_id() == audioThread_.load(std::memory_order_relaxed))
                deferredLoad_[static_cast<std::size_t>(index - kLoadIr1)].store(true, std::memory_order_relaxed);
            else
                loadExternalIr(index - kLoadIr1);
        }
        break;
    case kIrSource1:
    case kIrSource2:
        store(index, v);
        cabinet_.setExternalSource(index - kIrSource1, v > 0.5f);
        break;
    default:
        break;
    }
    adoptBeforeAudio();
    if (editor_) editor_->setParameter(index, v);
}

float Tavik::getParameter(int32_t index) {
    if (index < 0 || index >= kNumParams || !parameterInfo(index).hasValue) return 0.0f;
    if (index == kLoadIr1 || index == kLoadIr2) return 0.0f;
    return live(index);
}

// Hosts may go on processing between suspend and resume: what arrives meanwhile takes the path it takes at
// any other time.
void Tavik::suspend() {}

void Tavik::resume() {
    audioStarted_.store(true, std::memory_order_relaxed);
    // Delays set while suspended take effect at once, without a glide.
    cabinet_.snapDelays();
}

bool Tavik::takeDeferredLoad(int cabinet) noexcept {
    if (cabinet < 0 || cabinet > 1) return false;
    return deferredLoad_[static_cast<std::size_t>(cabinet)].exchange(false, std::memory_order_relaxed);
}

void Tavik::dropDeferredLoads() noexcept {
    for (auto& load : deferredLoad_) load.store(false, std::memory_order_relaxed);
}

void Tavik::setSampleRate(float rate) {
    // A rate that is not a finite positive number would poison every design: keep the current one.
    if (!(std::isfinite(rate) && rate > 0.0f)) return;
    std::lock_guard<std::mutex> lock(writer_);
    // The rate in force again: nothing to redo, nothing to hear.
    if (rate == sampleRate_ && cabinet_.sampleRate() == static_cast<double>(rate)) return;
    cabinet::CabinetSection::EnginePtr engine = cabinet_.buildEngine(rate);
    if (!engine) return;  // out of memory: the current rate stays in force
    sampleRate_ = rate;
    publishAmpDesigns();
    {
        // The cabinets' buffers are replaced: the audio side plays silence for a block that would start now.
        realtime::AudioGuard::Hold side(guard_);
        engine = cabinet_.install(std::move(engine));
    }
    engine.reset();
    // A new engine starts with empty external spectra: bring the program's external impulse responses to the
    // new rate at once, so cabinets set to them keep sounding.
    restoreExternalIrs();
    adoptBeforeAudio();
}

void Tavik::publishAmpDesigns() {
    AmpDesigns& designs = ampDesigns_.back();
    designs.quality[0] = amp::makeAmpDesign(sampleRate_, false);
    designs.quality[1] = amp::makeAmpDesign(sampleRate_, true);
    ampDesigns_.publish();
}

bool Tavik::adoptPending() noexcept {
    if (ampDesigns_.fetch()) adoptedQuality_ = -1;
    const int quality = highQFlag_.load(std::memory_order_relaxed);
    if (quality != adoptedQuality_) {
        amp_.adopt(ampDesigns_.front().quality[quality]);
        adoptedQuality_ = quality;
    }
    return cabinet_.beginBlock();
}

void Tavik::adoptBeforeAudio() noexcept {
    // Once audio has run, changes wait for the top of a block whether or not the host says it is suspended:
    // hosts go on processing between suspend and resume, and taking the audio side here would silence a block.
    if (audioStarted_.load(std::memory_order_relaxed)) return;
    realtime::AudioGuard::Try side(guard_);
    if (side.held()) adoptPending();
}

void Tavik::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) {
    if (sampleFrames <= 0 || !inputs || !inputs[0] || !outputs || !outputs[0] || !outputs[1]) return;
    const float* in = inputs[0];
    float* outL = outputs[0];
    float* outR = outputs[1];
    const std::thread::id self = std::this_thread::get_id();
    if (audioThread_.load(std::memory_order_relaxed) != self) audioThread_.store(self, std::memory_order_relaxed);
    if (!audioStarted_.load(std::memory_order_relaxed)) audioStarted_.store(true, std::memory_order_relaxed);
    realtime::AudioGuard::Try side(guard_);
    if (!side.held() || !adoptPending()) {
        // Another thread is replacing the cabinets, or no rate was ever set: silence, without waiting.
        std::fill(outL, outL + sampleFrames, 0.0f);
        std::fill(outR, outR + sampleFrames, 0.0f);
        return;
    }
    amp_.beginBlock({live(kInput), live(kLow), live(kMid), live(kHigh), live(kContour), live(kPowerAmp)});
    // The amp works a run of samples at a time, the cabinets a frame at a time.
    constexpr int32_t kRun = amp::AmpPath::kMaxRun;
    float x[kRun];
    amp::AmpSampleControls controls[kRun];
    double s[kRun];
    for (int32_t start = 0; start < sampleFrames; start += kRun) {
        const int32_t count = std::min(kRun, sampleFrames - start);
        for (int32_t i = 0; i < count; ++i) {
            // Read before writing: hosts may pass the same buffers for input and output.
            // A sample that is not a number would stay in the filter states for good: it plays as silence.
            x[i] = std::isfinite(in[start + i]) ? in[start + i] : 0.0f;
            // Switches and drives are read for every sample, as they were when the amp ran sample by sample.
            controls[i] = {{channelFlag_.load(std::memory_order_relaxed), crunchFlag_.load(std::memory_order_relaxed),
                            boostFlag_.load(std::memory_order_relaxed), brightFlag_.load(std::memory_order_relaxed)},
                           drive1Gain_.load(std::memory_order_relaxed),
                           drive2Gain_.load(std::memory_order_relaxed)};
        }
        amp_.process(x, controls, count, sampleFrames - 1 - start, s);
        for (int32_t i = 0; i < count; ++i) {
            float left = 0.0f;
            float right = 0.0f;
            cabinet_.processFrame(std::isfinite(s[i]) ? s[i] : 0.0, left, right);
            outL[start + i] = left;
            outR[start + i] = right;
        }
    }
}

void Tavik::setProgram(int32_t program) {
    if (program < 0 || program >= kNumPrograms) return;
    std::lock_guard<std::mutex> lock(writer_);
    // The program in force, chosen again (hosts do it on every session load): nothing changes.
    if (programApplied_ && program == currentProgram_) return;
    applyProgram(program);
}

void Tavik::applyProgram(int32_t program) {
    currentProgram_ = program;
    ProgramRecord& record = programs_[program];
    // The record may come from a damaged project file: nothing outside 0..1 reaches the live state.
    for (int m = 0; m < kChannelMemorySize; ++m)
        memory_[m].store(vst::clampUnit(static_cast<float>(record.channelMemory[m])), std::memory_order_relaxed);
    // The replay stores into this record as it goes (switching the stereo link on resets Volume1 and the
    // pans), so it replays the values the program had when it was chosen.
    std::array<float, sizeof(ProgramRecord::values) / sizeof(float)> stored;
    std::copy(std::begin(record.values), std::end(record.values), stored.begin());
    for (int32_t index : {kChannel, kCleanCrunch, kQuality, kStereoLink, kPhase1, kPhase2, kVolume1, kVolume2,
                          kPan1, kPan2, kFreqHp1, kFreqHp2, kFreqLp1, kFreqLp2, kCab1On, kCab2On, kDelay1,
                          kDelay2})
        setParameter(index, stored[recordSlot(index)]);
    cabinet_.clearAll();
    setIrName(0, record.ir1Name);
    setIrName(1, record.ir2Name);
    restoreExternalIrs();
    // Both source switches are applied on every switch, so each cabinet always has its spectrum.
    setParameter(kIrSource1, stored[recordSlot(kIrSource1)]);
    setParameter(kIrSource2, stored[recordSlot(kIrSource2)]);
    // A program takes its stored delays at once; only changes made while it plays glide.
    cabinet_.snapDelays();
    programApplied_ = true;
    adoptBeforeAudio();
}

void Tavik::setIrName(int cabinet, const char* name) {
    std::lock_guard<std::mutex> lock(namesMutex_);
    vst::copyText(irName_[cabinet], name, kNameField - 1);
}

std::string Tavik::irName(int cabinet) const {
    if (cabinet < 0 || cabinet > 1) return {};
    std::lock_guard<std::mutex> lock(namesMutex_);
    return irName_[cabinet];
}

void Tavik::showIrMessage(int cabinet, const std::string& text) {
    constexpr std::chrono::seconds kShown{4};
    std::lock_guard<std::mutex> lock(namesMutex_);
    irMessage_[cabinet] = text;
    irMessageUntil_[cabinet] = std::chrono::steady_clock::now() + kShown;
}

bool Tavik::irMessageShown(int cabinet) const {
    if (cabinet < 0 || cabinet > 1) return false;
    std::lock_guard<std::mutex> lock(namesMutex_);
    return !irMessage_[cabinet].empty() && std::chrono::steady_clock::now() < irMessageUntil_[cabinet];
}

bool Tavik::irLabelText(int cabinet, char* text, std::size_t size) const {
    if (cabinet < 0 || cabinet > 1 || text == nullptr || size == 0) return false;
    const bool external = live(kIrSource1 + cabinet) > 0.5f;
    std::lock_guard<std::mutex> lock(namesMutex_);
    const bool message = !irMessage_[cabinet].empty() && std::chrono::steady_clock::now() < irMessageUntil_[cabinet];
    const char* name = message ? irMessage_[cabinet].c_str() : external ? irName_[cabinet] : builtinName_[cabinet];
    vst::copyText(text, name, static_cast<int>(std::min<std::size_t>(size - 1, 1 << 20)));
    return true;
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
    std::lock_guard<std::mutex> lock(writer_);
    ProgramRecord& current = programs_[currentProgram_];
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (isPreset) {
        if (byteSize != kProgramChunkSize) return 0;
    } else {
        if (byteSize != kBankChunkSize) return 0;
        bytes += static_cast<std::size_t>(currentProgram_) * sizeof(ProgramRecord);
    }
    // Hosts hand back the chunk they were given (on every session load, some with the very pointer getChunk
    // returned): when the program in force comes back unchanged there is nothing to apply, and nothing to hear.
    const bool unchanged = std::memcmp(&current, bytes, sizeof(ProgramRecord)) == 0;
    // memmove: the data may be our own records.
    if (isPreset)
        std::memmove(&current, data, kProgramChunkSize);
    else
        std::memmove(programs_, data, kBankChunkSize);
    if (!unchanged || !programApplied_) applyProgram(currentProgram_);
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
