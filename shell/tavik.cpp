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

constexpr const char* kBuiltinIrName[2] = {"Tavik_IR_Center(Alu)", "Tavik_IR_Edge(Alu)"};

}  // namespace

Tavik::Tavik(vst::AudioMasterCallback audioMaster)
    : Effect(audioMaster), loadFfts_(std::make_unique<cabinet::RealFftPair>()) {
    for (auto& p : params_) p.store(0.0f, std::memory_order_relaxed);
    for (int c = 0; c < 2; ++c) vst::copyText(builtinName_[c], kBuiltinIrName[c], kNameField - 1);
    {
        std::lock_guard<std::mutex> lock(writer_);
        amp_.requestSetup(sampleRate_);
        initPrograms();
        selectProgram(0);
    }
    setUniqueID(vst::fourCC("TVKS"));
    setInitialDelay(cabinet::CabinetSection::latencyFor(sampleRate_));
    new SDEditor(this);  // registers itself as this effect's editor, which owns and deletes it
    // No audio runs yet: take the first program's design now and put the valve stages at rest.
    adoptPending();
    amp_.setupStages();
}

Tavik::~Tavik() = default;

void Tavik::initPrograms() noexcept {
    for (auto& record : bank_) {
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
    return effect::selectedChannel(channelFlag_.load(std::memory_order_relaxed) != 0,
                                   crunchFlag_.load(std::memory_order_relaxed) != 0);
}

void FullStackTraits::repair(ProgramRecord& record) noexcept {
    record.name[kProgramNameLen] = '\0';
    record.ir1Name[kNameField - 1] = '\0';
    record.ir2Name[kNameField - 1] = '\0';
    for (float& v : record.values) v = vst::clampUnit(v);
    for (double& m : record.channelMemory) {
        if (!(m > 0.0)) m = 0.0;
        if (m > 1.0) m = 1.0;
    }
}

void Tavik::store(int32_t index, float value) noexcept {
    params_[index].store(value, std::memory_order_relaxed);
    int slot = recordSlot(index);
    if (slot >= 0) bank_[currentProgram_].values[slot] = value;
}

void Tavik::remember(int32_t index, float value) noexcept {
    memory_.remember(selectedChannel(), index, value, bank_[currentProgram_].channelMemory);
}

// Never locks, allocates or waits, but for the two load triggers off the audio thread, which open a file
// selector.
void Tavik::apply(int32_t index, float v, effect::Changes& changes) {
    auto recall = [&](AmpChannel channel) {
        memory_.recall(channel, [&](int32_t i, float value) { change(i, value, changes); });
    };
    const bool on = switchOn(index, v);
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
        channelFlag_.store(on ? 1 : 0, std::memory_order_relaxed);
        recall(selectedChannel());
        break;
    case kCleanCrunch:
        store(index, v);
        crunchFlag_.store(on ? 1 : 0, std::memory_order_relaxed);
        if (channelFlag_.load(std::memory_order_relaxed) == 0) recall(selectedChannel());
        break;
    case kBoost:
        store(index, v);
        boostFlag_.store(on ? 1 : 0, std::memory_order_relaxed);
        if (channelFlag_.load(std::memory_order_relaxed) == 1) remember(index, v);
        break;
    case kBright:
        store(index, v);
        brightFlag_.store(on ? 1 : 0, std::memory_order_relaxed);
        remember(index, v);
        break;
    case kDrive1:
    case kDrive2: {
        const float d = effect::drivePot(selectedChannel(), index == kDrive1 ? AmpChannel::Crunch
                                                                              : AmpChannel::Overdrive, v);
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
        highQFlag_.store(on ? 1 : 0, std::memory_order_relaxed);
        break;
    case kPhase1:
    case kPhase2:
        store(index, v);
        cabinet_.setPolarityInverted(index - kPhase1, on);
        break;
    case kVolume1:
        store(index, v);
        cabinet_.setVolume(0, v);
        if (stereoLinkFlag_.load(std::memory_order_relaxed)) change(kVolume2, 1.0f - v, changes);
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
        cabinet_.setEnabled(index - kCab1On, on);
        break;
    case kStereoLink: {
        // Only switching the link on centres the pans and resets Volume1: a value sent again while the link
        // is on must not throw away the levels set since.
        store(index, v);
        const int link = on ? 1 : 0;
        const int was = stereoLinkFlag_.exchange(link, std::memory_order_relaxed);
        if (link && !was) {
            change(kPan1, 0.5f, changes);
            change(kPan2, 0.5f, changes);
            change(kVolume1, 0.5f, changes);
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
        if (on) {
            if (audio_.onAudioThread())
                deferredLoad_[static_cast<std::size_t>(index - kLoadIr1)].store(true, std::memory_order_relaxed);
            else
                loadExternalIr(index - kLoadIr1);
        }
        break;
    case kIrSource1:
    case kIrSource2:
        store(index, v);
        cabinet_.setExternalSource(index - kIrSource1, on);
        break;
    default:
        break;
    }
}

void Tavik::resume() {
    Effect::resume();
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
    bool delayMoved = false;
    {
        std::lock_guard<std::mutex> lock(writer_);
        // The rate in force again: nothing to redo, nothing to hear.
        if (rate == sampleRate_ && cabinet_.sampleRate() == static_cast<double>(rate)) return;
        cabinet::CabinetSection::EnginePtr engine = cabinet_.buildEngine(rate);
        if (!engine) return;  // out of memory: the current rate stays in force
        sampleRate_ = rate;
        amp_.requestSetup(sampleRate_);
        {
            // The cabinets' buffers are replaced: the audio side plays silence for a block that would start now.
            realtime::AudioGuard::Hold side(audio_.guard());
            engine = cabinet_.install(std::move(engine));
        }
        engine.reset();
        const int latency = cabinet::CabinetSection::latencyFor(rate);
        delayMoved = latency != initialDelay();
        setInitialDelay(latency);
        // A new engine starts with empty external spectra: bring the program's external impulse responses to the
        // new rate at once, so cabinets set to them keep sounding.
        restoreExternalIrs();
        adoptBeforeAudio();
    }
    // Outside the lock: the host may call back in when it hears of the new delay.
    if (delayMoved) ioChanged();
}

bool Tavik::adoptPending() noexcept {
    amp_.adoptPending(highQFlag_.load(std::memory_order_relaxed) != 0);
    return cabinet_.adoptPending();
}

void Tavik::adoptBeforeAudio() noexcept {
    audio_.adoptBeforeAudio([this]() noexcept { adoptPending(); });
}

void Tavik::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) {
    // Another thread replacing the cabinets, or no rate ever set: silence, without waiting.
    effect::AudioSide::Block block(audio_, inputs, outputs, sampleFrames, [this]() noexcept { return adoptPending(); });
    if (!block.runs()) return;
    const float* in = inputs[0];
    float* outL = outputs[0];
    float* outR = outputs[1];
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

void Tavik::applyProgram(int32_t program) {
    currentProgram_ = program;
    ProgramRecord& record = bank_[program];
    memory_.load(record.channelMemory);
    // The replay stores into this record as it goes (switching the stereo link on resets Volume1 and the
    // pans), so it replays the values the program had when it was chosen.
    std::array<float, sizeof(ProgramRecord::values) / sizeof(float)> stored;
    std::copy(std::begin(record.values), std::end(record.values), stored.begin());
    effect::Changes changes;
    for (int32_t index : {kChannel, kCleanCrunch, kQuality, kStereoLink, kPhase1, kPhase2, kVolume1, kVolume2,
                          kPan1, kPan2, kFreqHp1, kFreqHp2, kFreqLp1, kFreqLp2, kCab1On, kCab2On, kDelay1,
                          kDelay2})
        change(index, vst::clampUnit(stored[recordSlot(index)]), changes);
    cabinet_.clearAll();
    setIrName(0, record.ir1Name);
    setIrName(1, record.ir2Name);
    restoreExternalIrs();
    // Both source switches are applied on every switch, so each cabinet always has its spectrum.
    change(kIrSource1, vst::clampUnit(stored[recordSlot(kIrSource1)]), changes);
    change(kIrSource2, vst::clampUnit(stored[recordSlot(kIrSource2)]), changes);
    // A program takes its stored delays at once; only changes made while it plays glide.
    cabinet_.snapDelays();
    adoptBeforeAudio();
    tell(changes);
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

}  // namespace tavik
