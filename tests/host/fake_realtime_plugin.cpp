// Test fixture, not product code: a plug-in whose setParameter(i, 1) makes one call of a kind a host's
// audio thread must never see, so that validate's realtime check can be shown to count each family
// and to forward it intact: a forwarded call that gives the wrong result aborts. processReplacing
// copies its input and calls nothing. Built with FAKE_VARIANTS (and 64-bit file offsets), it makes the
// calls under the names the headers then choose: lseek64 for lseek, mmap64 for mmap and so on, and the
// clock-taking waits of the standard library's timed mutexes and condition variables.
#include <fcntl.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "vst/aeffect.h"

namespace {

constexpr int32_t kParams = 8;  // validate shows eight failures in full

struct Fake {
    vst::AEffect effect{};
    float params[kParams] = {};
    std::mutex mutex;
    sem_t semaphore{};
    FILE* sink = std::fopen("/dev/null", "w");
    int zero = open("/dev/zero", O_RDWR);  // opened here, so that no open comes first in a call below
#ifdef FAKE_VARIANTS
    std::timed_mutex timed;
    std::shared_timed_mutex shared;
    std::mutex waited;
    std::unique_lock<std::mutex> holding{waited};  // a wait needs its lock held, from the loading thread on
    std::condition_variable condition;
#endif
};

Fake* self(vst::AEffect* e) { return static_cast<Fake*>(e->object); }

void expect(bool ok) {
    if (!ok) std::abort();
}

#ifdef FAKE_VARIANTS
static_assert(sizeof(off_t) == 8 && _FILE_OFFSET_BITS == 64);

// Returns false for an index it leaves to call().
bool variantCall(Fake& f, int32_t index) {
    char byte = 1;
    switch (index) {
    case 0:
        expect(lseek(f.zero, 0, SEEK_SET) == 0);
        return true;
    case 1:
        expect(pread(f.zero, &byte, 1, 0) == 1 && byte == 0);
        return true;
    case 2:
        expect(pwrite(f.zero, &byte, 1, 0) == 1);
        return true;
    case 3: {
        void* p = mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        expect(p != MAP_FAILED && munmap(p, 4096) == 0);
        return true;
    }
    case 4: {
        const int fd = creat("/dev/null", 0644);
        expect(fd >= 0 && close(fd) == 0);
        return true;
    }
    case 5:
        expect(f.timed.try_lock_for(std::chrono::milliseconds(1)));
        f.timed.unlock();
        return true;
    case 6:
        expect(f.shared.try_lock_shared_for(std::chrono::milliseconds(1)));
        f.shared.unlock_shared();
        return true;
    case 7:
        f.condition.wait_for(f.holding, std::chrono::microseconds(1));
        expect(f.holding.owns_lock());
        return true;
    default:
        return false;
    }
}
#endif

void call(Fake& f, int32_t index) {
#ifdef FAKE_VARIANTS
    if (variantCall(f, index)) return;
#endif
    switch (index) {
    case 0: {
        auto block = std::make_unique<double[]>(64);  // operator new: malloc
        asm volatile("" : : "r"(block.get()) : "memory");
        break;
    }
    case 1: {
        void* p = nullptr;
        expect(posix_memalign(&p, 64, 256) == 0 && reinterpret_cast<uintptr_t>(p) % 64 == 0);
        std::free(p);
        break;
    }
    case 2: {
        std::lock_guard lock(f.mutex);
        break;
    }
    case 3:
        expect(sem_post(&f.semaphore) == 0 && sem_wait(&f.semaphore) == 0);
        break;
    case 4: {  // open's mode travels through its variadic wrapper
        const int fd = open("/dev/null", O_WRONLY | O_CREAT, 0644);
        expect(fd >= 0 && write(fd, "x", 1) == 1 && close(fd) == 0);
        break;
    }
    case 5: {
        const timespec pause{0, 1000};
        expect(nanosleep(&pause, nullptr) == 0);
        break;
    }
    case 6:  // and syscall's arguments through its own
        expect(syscall(SYS_getpid) == getpid());
        break;
    default:
        expect(std::fprintf(f.sink, "%d %s", 42, "x") == 4);
        break;
    }
}

void setParameter(vst::AEffect* e, int32_t index, float value) {
    if (index < 0 || index >= kParams) return;
    self(e)->params[index] = value;
    if (value >= 0.5f) call(*self(e), index);
}

float getParameter(vst::AEffect* e, int32_t index) { return index >= 0 && index < kParams ? self(e)->params[index] : 0.0f; }

void process(vst::AEffect*, float** in, float** out, int32_t frames) {
    for (int c = 0; c < 2; ++c) std::memcpy(out[c], in[c], sizeof(float) * static_cast<std::size_t>(frames > 0 ? frames : 0));
}

intptr_t dispatch(vst::AEffect* e, int32_t op, int32_t, intptr_t, void*, float) {
    if (op == vst::effClose) {
        Fake* f = self(e);
        std::fclose(f->sink);
        close(f->zero);
        sem_destroy(&f->semaphore);
        delete f;
        return 1;
    }
    return 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) vst::AEffect* VSTPluginMain(vst::AudioMasterCallback host) {
    if (!host || host(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0) == 0) return nullptr;
    auto* f = new Fake;
    sem_init(&f->semaphore, 0, 0);
    vst::AEffect& e = f->effect;
    e.magic = vst::kEffectMagic;
    e.dispatcher = dispatch;
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.processReplacing = process;
    e.numParams = kParams;
    e.numInputs = e.numOutputs = 2;
    e.flags = vst::effFlagsCanReplacing;
    e.uniqueID = vst::fourCC("Fkrt");
    e.object = f;
    e.ioRatio = 1.0f;
    return &e;
}
