// Test fixture, not product code: a tiny plug-in that keeps its state in a chunk.
// The output is the input times parameter 0 (a gain) divided by 1 + the program number; parameter 2
// asks the host's file selector for a path. Built with FAKE_FAULTY, parameter 1 at 0.5 or above makes
// the output NaN, a 7-frame block is overrun, a parameter value outside 0..1 aborts, setting parameter 0
// (even to its own value) restarts a fade-in, the block after effSetSampleRate is 100 times too loud,
// exact zeros in the input cost a lot of CPU, setParameter allocates, processing locks and
// effGetTailSize prints to stdout and stderr: faults for
// vsthost to report. FAKE_RACY aborts when the sample rate is set while another thread processes.
// FAKE_ENTRY 1 makes the entry point return null, 2 a record without the VST magic. FAKE_LINGER leaves a
// process of its own behind at each load (as a helper or licence daemon would), which lives on for 15 s.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include <unistd.h>

#include "vst/aeffect.h"

namespace {

#ifdef FAKE_RACY
std::atomic<int> processing{0};
#endif
#ifdef FAKE_FAULTY
constexpr int32_t kFade = 256;
std::mutex processLock;
#endif

struct Fake {
    vst::AEffect effect{};
    vst::AudioMasterCallback host;
    float params[3] = {1.0f, 0.0f, 0.0f};
    int32_t program = 0;
    std::string path;   // the last file the host's selector answered
    std::string chunk;  // what effGetChunk hands out: a kind letter, the gain, the path
#ifdef FAKE_FAULTY
    int32_t fade = kFade;  // frames since parameter 0 was last set
    bool burst = false;
    float sink = 0.0f;
#endif
};

Fake* self(vst::AEffect* e) { return static_cast<Fake*>(e->object); }

// Nine digits give a float back exactly.
std::string exact(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
    return text;
}

void askForFile(Fake& f) {
    vst::VstFileSelect select{};
    select.command = vst::kVstFileLoad;
    if (f.host(&f.effect, vst::audioMasterOpenFileSelector, 0, 0, &select, 0) && select.returnPath)
        f.path = select.returnPath;
    f.host(&f.effect, vst::audioMasterCloseFileSelector, 0, 0, &select, 0);
}

void setParameter(vst::AEffect* e, int32_t index, float value) {
#ifdef FAKE_FAULTY
    if (!(value >= 0.0f && value <= 1.0f)) std::abort();
#endif
    if (index < 0 || index > 2) return;
#ifdef FAKE_FAULTY
    void* scratch = std::malloc(64);
    asm volatile("" : : "r"(scratch) : "memory");  // keeps the allocation from being optimised away
    std::free(scratch);
    if (index == 0) self(e)->fade = 0;
#endif
    self(e)->params[index] = value >= 0.0f ? std::min(value, 1.0f) : 0.0f;  // NaN too becomes 0
    if (index == 2 && value > 0.5f) askForFile(*self(e));
}

float getParameter(vst::AEffect* e, int32_t index) { return index >= 0 && index <= 2 ? self(e)->params[index] : 0.0f; }

void process(vst::AEffect* e, float** in, float** out, int32_t frames) {
#ifdef FAKE_FAULTY
    Fake& f = *self(e);
    std::lock_guard lock(processLock);
    for (int c = 0; c < 2; ++c)
        for (int32_t i = 0; i < frames; ++i) {
            const float fade = static_cast<float>(std::min(f.fade + i, kFade)) / kFade;
            out[c][i] = in[c][i] * f.params[0] * fade * (f.burst ? 100.0f : 1.0f) / static_cast<float>(1 + f.program);
            if (in[c][i] == 0.0f) {
                float x = 1.0f + in[c][i];  // not a constant, so the loop is not folded away
                for (int k = 0; k < 400; ++k) x = x * 0.999f + 1e-3f;
                f.sink += x;
            }
        }
    f.fade = std::min(f.fade + frames, kFade);
    f.burst = false;
    if (f.params[1] >= 0.5f) out[0][0] = NAN;
    if (frames == 7) out[1][7] = 0.0f;  // one sample past the block
#else
#ifdef FAKE_RACY
    ++processing;
    float x = 1.0f + in[0][0];  // tens of microseconds in here, so that the other thread's calls land inside
    for (int k = 0; k < 20000; ++k) x = x * 0.999f + 1e-3f;
    self(e)->params[1] = x * 0.0f;
#endif
    const Fake& f = *self(e);
    for (int c = 0; c < 2; ++c)
        for (int32_t i = 0; i < frames; ++i)
            out[c][i] = in[c][i] * f.params[0] / static_cast<float>(1 + f.program);
#ifdef FAKE_RACY
    --processing;
#endif
#endif
}

intptr_t dispatch(vst::AEffect* e, int32_t op, int32_t index, intptr_t value, void* ptr, float) {
    Fake& f = *self(e);
    auto text = [ptr](const std::string& s) { std::strcpy(static_cast<char*>(ptr), s.c_str()); return 1; };
    switch (op) {
    case vst::effClose: delete &f; return 1;
    case vst::effSetProgram: if (value >= 0 && value < 3) f.program = static_cast<int32_t>(value); return 0;
    case vst::effGetProgram: return f.program;
    case vst::effGetProgramName: return text("Prog" + std::to_string(f.program));
    case vst::effGetProgramNameIndexed: return index >= 0 && index < 3 ? text("Prog" + std::to_string(index)) : 0;
    case vst::effGetParamName: return index >= 0 && index < 3 ? text(index == 0 ? "Gain" : index == 1 ? "NaN" : "File") : 0;
    case vst::effGetEffectName: return text("Fake");
#ifdef FAKE_FAULTY
    case vst::effSetSampleRate: f.burst = true; return 0;
    case vst::effGetTailSize:  // chatter on both streams, which validate keeps out of its report
        std::printf("fake: tail size asked\n");
        std::fflush(stdout);
        std::fprintf(stderr, "fake: warning, nothing to say\nfake: really nothing\n");
        return 0;
#endif
#ifdef FAKE_RACY
    case vst::effSetSampleRate: if (processing > 0) std::abort(); return 0;  // buffers "freed" under the audio
#endif
    case vst::effGetChunk:
        f.chunk = std::string(index ? "P" : "B") + exact(f.params[0]) + "|" + f.path;
        *static_cast<void**>(ptr) = f.chunk.data();
        return static_cast<intptr_t>(f.chunk.size());
    case vst::effSetChunk: {
        const std::string data(static_cast<const char*>(ptr), ptr ? static_cast<std::size_t>(value) : 0);
        const auto bar = data.find('|');
        if (data.size() < 2 || data[0] != (index ? 'P' : 'B') || bar == std::string::npos) return 0;
        f.params[0] = std::strtof(data.c_str() + 1, nullptr);
        f.path = data.substr(bar + 1);
        return 1;
    }
    default: return 0;
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) vst::AEffect* VSTPluginMain(vst::AudioMasterCallback host) {
    if (!host || host(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0) == 0) return nullptr;
#if FAKE_ENTRY == 1
    return nullptr;
#elif FAKE_ENTRY == 2
    static vst::AEffect notAnEffect{};  // what a broken entry point might hand out
    return &notAnEffect;
#endif
#ifdef FAKE_LINGER
    if (fork() == 0) {
        sleep(15);
        _exit(0);
    }
#endif
    auto* f = new Fake;
    f->host = host;
    vst::AEffect& e = f->effect;
    e.magic = vst::kEffectMagic;
    e.dispatcher = dispatch;
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.processReplacing = process;
    e.numPrograms = 3;
    e.numParams = 3;
    e.numInputs = e.numOutputs = 2;
    e.flags = vst::effFlagsCanReplacing | vst::effFlagsProgramChunks;
    e.uniqueID = vst::fourCC("Fake");
    e.version = 3;
    e.object = f;
    e.ioRatio = 1.0f;
    return &e;
}
