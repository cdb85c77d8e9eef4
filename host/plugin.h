// One loaded VST 2.4 plug-in: the library, its effect record, and typed calls through the dispatcher.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/four_char_text.h"
#include "host/host_callback.h"
#include "vst/aeffect.h"

namespace vsthost {

class Plugin {
public:
    // Loads the library (entry VSTPluginMain, else main), checks the record and sends effOpen.
    // Throws HostError with one line naming what went wrong.
    static std::unique_ptr<Plugin> load(const std::string& path, HostContext& host);
    // The same checks of the file and its entry point, without calling the entry point.
    static void checkLibrary(const std::string& path);

    // Sends effMainsChanged 0 and effClose, then unloads the library.
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    vst::AEffect& effect() { return *effect_; }
    const std::string& path() const { return path_; }
    HostContext& host() { return host_; }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);

    int32_t numInputs() const { return effect_->numInputs; }
    int32_t numOutputs() const { return effect_->numOutputs; }
    int32_t numParams() const { return effect_->numParams; }
    int32_t numPrograms() const { return effect_->numPrograms; }
    int32_t flags() const { return effect_->flags; }
    bool hasFlag(int32_t flag) const { return (effect_->flags & flag) != 0; }

    // Tells the plug-in (and the callback's answers) the rate and the largest block.
    void setSampleRate(double rate);
    void setBlockSize(int32_t frames);
    void resume();
    void suspend();
    bool resumed() const { return resumed_; }

    // processReplacing, or the old accumulating call on zeroed outputs for plug-ins without it.
    void process(float** inputs, float** outputs, int32_t frames);

    float parameter(int32_t index);
    void setParameter(int32_t index, float value);

    // Texts read into a zero-filled buffer larger than any the interface allows.
    std::string text(int32_t opcode, int32_t index = 0);
    std::string effectName() { return text(vst::effGetEffectName); }
    std::string vendor() { return text(vst::effGetVendorString); }
    std::string product() { return text(vst::effGetProductString); }
    std::string paramName(int32_t index) { return text(vst::effGetParamName, index); }
    std::string paramLabel(int32_t index) { return text(vst::effGetParamLabel, index); }
    std::string paramDisplay(int32_t index) { return text(vst::effGetParamDisplay, index); }
    std::string programName() { return text(vst::effGetProgramName); }

    // effGetProgramNameIndexed; falls back to switching programs for the ones it does not answer.
    std::vector<std::string> programNames();

    int32_t program() { return static_cast<int32_t>(dispatch(vst::effGetProgram)); }
    void setProgram(int32_t index) { dispatch(vst::effSetProgram, 0, index); }

    // The plug-in's state chunk (effGetChunk), copied; empty if it gave none.
    std::vector<uint8_t> chunk(bool preset);
    // effSetChunk; the plug-in's answer.
    intptr_t setChunk(std::vector<uint8_t> data, bool preset);

private:
    Plugin(std::string path, void* library, vst::AEffect* effect, HostContext& host);

    std::string path_;
    void* library_;
    vst::AEffect* effect_;
    HostContext& host_;
    bool resumed_ = false;
};

}  // namespace vsthost
