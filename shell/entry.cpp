#include "shell/tavik.h"
#include "vst/plugin_entry.h"

vst::AudioEffect* vst::createEffectInstance(vst::AudioMasterCallback audioMaster) {
    return new tavik::Tavik(audioMaster);
}
