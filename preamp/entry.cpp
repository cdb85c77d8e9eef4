#include "preamp/preamp_effect.h"
#include "vst/plugin_entry.h"

vst::AudioEffect* vst::createEffectInstance(vst::AudioMasterCallback audioMaster)
{
    return new tavik_preamp::Tavik(audioMaster);
}
