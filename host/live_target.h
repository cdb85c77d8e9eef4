// What `vsthost live` plays: one plug-in behind calls that do not depend on its format, so that another
// backend (LV2) can stand in for the VST2 one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/plugin.h"

namespace vsthost {

class LiveTarget {
public:
    virtual ~LiveTarget() = default;
    virtual std::string name() = 0;
    virtual int32_t inputs() = 0;
    virtual int32_t outputs() = 0;
    virtual int32_t latency() = 0;  // frames
    virtual int32_t programs() = 0;
    virtual int32_t parameters() = 0;
    virtual int32_t program() = 0;
    virtual std::string programName() = 0;
    virtual void setProgram(int32_t index) = 0;
    // Both called on the audio thread: real-time safe.
    virtual void setParameter(int32_t index, float value) = 0;
    virtual void process(float** in, float** out, int32_t frames) = 0;
    // Suspends, sets rate and largest block, resumes (which resets the plug-in).
    virtual void restart(double rate, int32_t block) = 0;
    virtual void suspend() = 0;
};

class Vst2LiveTarget final : public LiveTarget {
public:
    explicit Vst2LiveTarget(Plugin& plugin) : plugin_(plugin) {}
    std::string name() override { return plugin_.effectName(); }
    int32_t inputs() override { return plugin_.numInputs(); }
    int32_t outputs() override { return plugin_.numOutputs(); }
    int32_t latency() override { return plugin_.effect().initialDelay; }
    int32_t programs() override { return plugin_.numPrograms(); }
    int32_t parameters() override { return plugin_.numParams(); }
    int32_t program() override { return plugin_.program(); }
    std::string programName() override { return plugin_.programName(); }
    void setProgram(int32_t index) override { plugin_.setProgram(index); }
    void setParameter(int32_t index, float value) override { plugin_.setParameter(index, value); }
    void process(float** in, float** out, int32_t frames) override { plugin_.process(in, out, frames); }
    void restart(double rate, int32_t block) override {
        if (plugin_.resumed()) plugin_.suspend();
        plugin_.setSampleRate(rate);
        plugin_.setBlockSize(block);
        plugin_.resume();
    }
    void suspend() override {
        if (plugin_.resumed()) plugin_.suspend();
    }

private:
    Plugin& plugin_;
};

}  // namespace vsthost
