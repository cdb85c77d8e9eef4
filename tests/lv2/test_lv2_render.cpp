// The LV2 build of each plug-in plays exactly what the VST 2 build plays, and its state carries the bank
// into a fresh instance at another rate.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "lv2_test_host.h"
#include "support/plugin_library.h"

namespace {

struct Case {
    const char* vst;
    const char* lv2;
    std::vector<std::pair<int32_t, float>> settings;  // VST parameter index, value
    std::vector<int32_t> portless;                    // parameter indices without a port
};

const Case kFullStack{TAVIK_FULLSTACK_VST, TAVIK_FULLSTACK_LV2, {{1, 1.0f}, {6, 0.8f}, {14, 1.0f}, {19, 0.3f}, {30, 0.4f}},
                      {13, 21, 22}};
const Case kPreamp{TAVIK_PREAMP_VST, TAVIK_PREAMP_LV2, {{2, 1.0f}, {5, 0.9f}, {12, 1.0f}}, {}};

uint32_t portOf(const Case& c, int32_t index) {
    uint32_t port = 7;
    for (int32_t i = 0; i < index; ++i)
        if (std::find(c.portless.begin(), c.portless.end(), i) == c.portless.end()) ++port;
    return port;
}

std::vector<float> input(int frames) {
    std::vector<float> in(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) in[static_cast<std::size_t>(i)] = static_cast<float>(0.4 * std::sin(i * 0.031) * std::exp(-i / 20000.0));
    return in;
}

// Both outputs, left then right, played in blocks of varying length.
template <class Run>
std::vector<float> render(Run run, const std::vector<float>& in) {
    std::vector<float> left(in.size()), right(in.size());
    const int blocks[] = {64, 301, 1024, 7, 512};
    for (std::size_t at = 0, k = 0; at < in.size(); ++k) {
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(blocks[k % 5]), in.size() - at);
        run(in.data() + at, left.data() + at, right.data() + at, static_cast<uint32_t>(n));
        at += n;
    }
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

std::vector<float> renderVst(const Case& c, float rate, const std::vector<float>& in, const void* chunk = nullptr,
                             int32_t chunkSize = 0) {
    testing_support::PluginLibrary library(c.vst);
    testing_support::Instance v(library);
    v.call(vst::effSetSampleRate, 0, 0, nullptr, rate);
    v.call(vst::effSetBlockSize, 0, 4096);
    if (chunk) v.call(vst::effSetChunk, 0, chunkSize, const_cast<void*>(chunk));
    v.call(vst::effMainsChanged, 0, 1);
    if (!chunk)
        for (auto [index, value] : c.settings) v.set(index, value);
    return render([&](const float* x, float* l, float* r, uint32_t n) {
        float* ins[2] = {const_cast<float*>(x), const_cast<float*>(x)};
        float* outs[2] = {l, r};
        v.e->processReplacing(v.e, ins, outs, static_cast<int32_t>(n));
    }, in);
}

std::vector<float> vstDefaults(const Case& c) {
    testing_support::PluginLibrary library(c.vst);
    testing_support::Instance v(library);
    std::vector<float> values;
    for (int32_t i = 0; i < v.e->numParams; ++i)
        if (std::find(c.portless.begin(), c.portless.end(), i) == c.portless.end()) values.push_back(v.get(i));
    return values;
}

void setPorts(const Case& c, lv2_test::Plugin& p) {
    p.connectControls(vstDefaults(c));
    for (auto [index, value] : c.settings) p.set(portOf(c, index), value);
}

TEST(Lv2, RendersBitIdenticalToVst) {
    const std::vector<float> in = input(30000);
    for (const Case* c : {&kFullStack, &kPreamp}) {
        lv2_test::UridMap map;
        lv2_test::Plugin p(c->lv2, 48000.0, map);
        ASSERT_TRUE(p.ok()) << c->lv2;
        p.connectControls(vstDefaults(*c));
        p.activate();
        // The settings arrive with the first block, as the VST side gets them before its first block.
        for (auto [index, value] : c->settings) p.set(portOf(*c, index), value);
        const std::vector<float> lv2 = render([&](const float* x, float* l, float* r, uint32_t n) { p.run(x, l, r, n); }, in);
        const std::vector<float> ref = renderVst(*c, 48000.0f, in);
        EXPECT_EQ(lv2, ref) << c->lv2;
        EXPECT_EQ(p.latency, c == &kFullStack ? 201.0f : 0.0f);
        double energy = 0;
        for (float s : lv2) energy += double(s) * s;
        EXPECT_GT(energy, 1.0) << c->lv2;
    }
}

TEST(Lv2, StateCarriesTheBankToAnotherRateAndDamagedStateKeepsPlaying) {
    const std::vector<float> in = input(20000);
    for (const Case* c : {&kFullStack, &kPreamp}) {
        lv2_test::UridMap map;
        lv2_test::State state;
        {
            lv2_test::Plugin a(c->lv2, 44100.0, map);
            ASSERT_TRUE(a.ok());
            setPorts(*c, a);
            a.activate();
            std::vector<float> l(64), r(64), x(64, 0.0f);
            a.run(x.data(), l.data(), r.data(), 64);
            a.save(state);
        }
        const LV2_URID bank = map.map((std::string(c->lv2 == kFullStack.lv2 ? "urn:mirad:lv2:tavik-fullstack-v1" : "urn:mirad:lv2:tavik-preamp-v2") + ":bank").c_str());
        ASSERT_TRUE(state.values.count(bank));
        const std::vector<unsigned char> chunk = state.values[bank].bytes;

        lv2_test::Plugin b(c->lv2, 96000.0, map);
        ASSERT_TRUE(b.ok());
        b.restore(state);
        b.connectControls(vstDefaults(*c));
        setPorts(*c, b);
        b.activate();
        const std::vector<float> restored = render([&](const float* x, float* l, float* r, uint32_t n) { b.run(x, l, r, n); }, in);
        EXPECT_EQ(restored, renderVst(*c, 96000.0f, in, chunk.data(), static_cast<int32_t>(chunk.size()))) << c->lv2;

        // A truncated blob is left aside: the instance plays as it did.
        lv2_test::State damaged = state;
        damaged.values[bank].bytes.resize(chunk.size() / 2);
        b.restore(damaged);
        const std::vector<float> after = render([&](const float* x, float* l, float* r, uint32_t n) { b.run(x, l, r, n); }, in);
        double energy = 0;
        for (float s : after) {
            ASSERT_TRUE(std::isfinite(s));
            energy += double(s) * s;
        }
        EXPECT_GT(energy, 1.0) << c->lv2;
    }
}

}  // namespace
