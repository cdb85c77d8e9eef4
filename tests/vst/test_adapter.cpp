// The adapter as a host sees it, through a minimal effect.
#include <gtest/gtest.h>

#include <stdexcept>

#include "vst/audio_effect.h"

namespace {

int hostCalls = 0;
intptr_t host(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    ++hostCalls;
    return opcode == vst::audioMasterGetSampleRate ? 96000 : 0;
}

class Throwing : public vst::AudioEffectX {
public:
    using AudioEffectX::AudioEffectX;
    void processReplacing(float**, float**, int32_t) override { throw std::runtime_error("boom"); }
    float getParameter(int32_t) override { throw std::runtime_error("boom"); }
    void getParameterName(int32_t, char*) override { throw std::runtime_error("boom"); }
    int32_t setChunk(void*, int32_t, bool) override { ++chunkCalls; return 1; }
    int chunkCalls = 0;
};

TEST(Adapter, NoExceptionReachesTheHost) {
    auto* effect = new Throwing(host, 1, 1);
    vst::AEffect* e = effect->getAeffect();
    float buf[4] = {};
    float* io[2] = {buf, buf};
    EXPECT_NO_THROW(e->processReplacing(e, io, io, 4));
    EXPECT_EQ(e->getParameter(e, 0), 0.0f);
    char text[64] = {};
    EXPECT_EQ(e->dispatcher(e, vst::effGetParamName, 0, 0, text, 0), 0);
    EXPECT_EQ(e->dispatcher(e, vst::effClose, 0, 0, nullptr, 0), 1);
}

TEST(Adapter, RefusesEmptyAndNullChunksAndNullTextBuffers) {
    Throwing effect(host, 1, 1);
    vst::AEffect* e = effect.getAeffect();
    char data[8] = {};
    EXPECT_EQ(e->dispatcher(e, vst::effSetChunk, 0, 0, data, 0), 0);
    EXPECT_EQ(e->dispatcher(e, vst::effSetChunk, 0, 8, nullptr, 0), 0);
    EXPECT_EQ(e->dispatcher(e, vst::effSetChunk, 0, -5, data, 0), 0);
    EXPECT_EQ(effect.chunkCalls, 0);
    EXPECT_EQ(e->dispatcher(e, vst::effGetChunk, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(e->dispatcher(e, vst::effGetProgramName, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(e->dispatcher(e, vst::effGetEffectName, 0, 0, nullptr, 0), 0);
}

TEST(Adapter, HostServicesWithAndWithoutACallback) {
    Throwing withHost(host, 1, 1);
    EXPECT_EQ(withHost.updateSampleRate(), 96000.0f);
    Throwing alone(nullptr, 1, 1);
    EXPECT_EQ(alone.updateSampleRate(), 44100.0f);
    EXPECT_EQ(alone.getMasterVersion(), 0);
    EXPECT_FALSE(alone.canHostDo("openFileSelector"));
}

}  // namespace

namespace {

struct CountedEditor : vst::AEffEditor {
    CountedEditor(vst::AudioEffect* effect, int* alive) : AEffEditor(effect), alive_(alive) { ++*alive_; }
    ~CountedEditor() override { --*alive_; }
    int* alive_;
};

TEST(Adapter, TheEffectOwnsItsEditorAndAReplacedOneGoes) {
    int alive = 0;
    {
        Throwing effect(host, 1, 1);
        effect.setEditor(new CountedEditor(&effect, &alive));
        EXPECT_TRUE(effect.getAeffect()->flags & vst::effFlagsHasEditor);
        effect.setEditor(new CountedEditor(&effect, &alive));
        EXPECT_EQ(alive, 1) << "the first editor is deleted when replaced";
        effect.setEditor(effect.getEditor());
        EXPECT_EQ(alive, 1) << "setting the same editor again keeps it";
    }
    EXPECT_EQ(alive, 0) << "the last editor goes with the effect";
}

}  // namespace
