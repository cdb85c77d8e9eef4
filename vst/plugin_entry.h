// The exported entry point of a plug-in library: VSTPluginMain, also exported as main.
// Each plug-in defines createEffectInstance and includes this header in exactly one source file.
#pragma once

#include <new>

#include "vst/audio_effect.h"

namespace vst {
AudioEffect* createEffectInstance(AudioMasterCallback audioMaster);
}

extern "C" __attribute__((visibility("default"))) vst::AEffect* VSTPluginMain(vst::AudioMasterCallback audioMaster) {
    if (!audioMaster) return nullptr;
    // A host that does not tell its version gets no effect.
    if (audioMaster(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    try {
        vst::AudioEffect* effect = vst::createEffectInstance(audioMaster);
        return effect ? effect->getAeffect() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

// Older hosts look for the entry point under the name main.
extern "C" __attribute__((visibility("default"), alias("VSTPluginMain"))) vst::AEffect* vstPluginMainAlias(
    vst::AudioMasterCallback audioMaster) __asm__("main");

#if defined(TAVIK_STATIC_RUNTIME)
// The C++ runtime is linked into each plug-in (hosts differ in the runtime they bring, and ours must not
// clash with theirs), so its emergency exception pool of about 70 kB belongs to this library alone and would
// be lost at every unload: hosts load and unload plug-ins many times while scanning. Give it back when the
// library goes away; nothing of ours runs after that.
namespace __gnu_cxx {
void __freeres() noexcept;
}
__attribute__((destructor)) static void releaseRuntimePool() { __gnu_cxx::__freeres(); }
#endif
