// What a plug-in hears back from vsthost: the basic answers and the file-selector queue.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "host/host_callback.h"

using vsthost::HostContext;
using vsthost::hostCallback;

namespace {

intptr_t call(vst::AEffect* effect, int32_t opcode, void* ptr = nullptr, int32_t index = 0, float opt = 0.0f) {
    return hostCallback(effect, opcode, index, 0, ptr, opt);
}

struct Attached {
    HostContext host;
    vst::AEffect effect{};
    Attached() { vsthost::attach(&effect, host); }
};

}  // namespace

TEST(HostCallback, AnswersBeforeAndAfterTheEffectExists) {
    HostContext host;
    host.sampleRate = 96000.0;
    host.blockSize = 64;
    {
        vsthost::LoadingScope loading(host);
        EXPECT_EQ(call(nullptr, vst::audioMasterVersion), 2400);
        EXPECT_EQ(call(nullptr, vst::audioMasterGetSampleRate), 96000);
        vst::AEffect notYetAttached{};
        EXPECT_EQ(call(&notYetAttached, vst::audioMasterGetBlockSize), 64);
    }
    vst::AEffect effect{};
    vsthost::attach(&effect, host);
    EXPECT_EQ(call(&effect, vst::audioMasterGetSampleRate), 96000);
    // A record whose reserved field holds garbage is not followed.
    vst::AEffect garbage{};
    garbage.resvd1 = 0x1234;
    EXPECT_EQ(call(&garbage, vst::audioMasterVersion), 2400);

    char canDo[] = "openFileSelector";
    char cannot[] = "sendVstMidiEvent";
    EXPECT_EQ(call(&effect, vst::audioMasterCanDo, canDo), 1);
    EXPECT_EQ(call(&effect, vst::audioMasterCanDo, cannot), 0);
    EXPECT_EQ(call(&effect, vst::audioMasterCanDo, nullptr), 0);
    EXPECT_EQ(call(&effect, vst::audioMasterGetTime), 0);

    call(&effect, vst::audioMasterAutomate, nullptr, 5, 0.25f);
    ASSERT_EQ(host.automation().size(), 1u);
    EXPECT_EQ(host.automation()[0].index, 5);
    EXPECT_EQ(host.automation()[0].value, 0.25f);
}

TEST(HostCallback, FileSelectorTakesQueuedPathsInOrderAndEmptyMeansCancelled) {
    Attached a;
    a.host.queueFile("/first.wav");
    a.host.queueFile("/second.wav");

    vst::VstFileSelect select{};
    ASSERT_EQ(call(&a.effect, vst::audioMasterOpenFileSelector, &select), 1);
    ASSERT_NE(select.returnPath, nullptr);  // the host allocated it
    EXPECT_STREQ(select.returnPath, "/first.wav");
    EXPECT_EQ(call(&a.effect, vst::audioMasterCloseFileSelector, &select), 1);
    EXPECT_EQ(select.returnPath, nullptr);  // and released it

    char own[64];
    std::memset(own, 'z', sizeof own);
    vst::VstFileSelect withBuffer{};
    withBuffer.returnPath = own;
    withBuffer.sizeReturnPath = sizeof own;
    ASSERT_EQ(call(&a.effect, vst::audioMasterOpenFileSelector, &withBuffer), 1);
    EXPECT_STREQ(own, "/second.wav");
    EXPECT_EQ(call(&a.effect, vst::audioMasterCloseFileSelector, &withBuffer), 1);
    EXPECT_EQ(withBuffer.returnPath, own);  // the plug-in's memory is left alone

    vst::VstFileSelect empty{};
    EXPECT_EQ(call(&a.effect, vst::audioMasterOpenFileSelector, &empty), 0);
    EXPECT_EQ(empty.returnPath, nullptr);
    EXPECT_EQ(call(&a.effect, vst::audioMasterOpenFileSelector, nullptr), 0);
    EXPECT_EQ(a.host.fileSelectorRequests(), 4u) << "answered or cancelled, every request counts";
}

TEST(HostCallback, PluginThreadsMayCallAtOnce) {
    Attached a;
    auto automate = [&] {
        for (int i = 0; i < 2000; ++i) call(&a.effect, vst::audioMasterAutomate, nullptr, i % 7, 0.5f);
    };
    auto select = [&] {
        for (int i = 0; i < 500; ++i) {
            a.host.queueFile("/cab.wav");
            vst::VstFileSelect request{};
            call(&a.effect, vst::audioMasterOpenFileSelector, &request);
            call(&a.effect, vst::audioMasterCloseFileSelector, &request);
        }
    };
    std::thread one(automate), two(automate), three(select);
    one.join();
    two.join();
    three.join();
    EXPECT_EQ(a.host.automationCount(), 4000u);
    EXPECT_EQ(a.host.fileSelectorRequests(), 500u);
    EXPECT_EQ(a.host.pendingFiles(), 0u);
}

TEST(HostCallback, PathThatDoesNotFitThePluginsBufferIsNotCut) {
    Attached a;
    a.host.queueFile("/a/rather/long/path/to/an/impulse.wav");
    char small[8] = "keep me";
    vst::VstFileSelect select{};
    select.returnPath = small;
    select.sizeReturnPath = sizeof small;
    EXPECT_EQ(call(&a.effect, vst::audioMasterOpenFileSelector, &select), 0);
    EXPECT_STREQ(small, "keep me");
}

TEST(HostCallback, MultipleFileRequestGetsAHostOwnedList) {
    Attached a;
    a.host.queueFile("/one.wav");
    vst::VstFileSelect select{};
    select.command = vst::kVstMultipleFilesLoad;
    ASSERT_EQ(call(&a.effect, vst::audioMasterOpenFileSelector, &select), 1);
    ASSERT_EQ(select.nbReturnPath, 1);
    EXPECT_STREQ(select.returnMultiplePaths[0], "/one.wav");
    call(&a.effect, vst::audioMasterCloseFileSelector, &select);
    EXPECT_EQ(select.returnMultiplePaths, nullptr);
    // A selector never closed is released with the context (the sanitizer build checks for leaks).
    a.host.queueFile("/two.wav");
    vst::VstFileSelect leftOpen{};
    EXPECT_EQ(call(&a.effect, vst::audioMasterOpenFileSelector, &leftOpen), 1);
}
