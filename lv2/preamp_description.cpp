#include "lv2/plugin_description.h"
#include "preamp/preamp_effect.h"
#include "preamp/preamp_parameters.h"

namespace tavik_lv2 {

namespace {

vst::AudioEffect* create(vst::AudioMasterCallback master) { return new tavik_preamp::Tavik(master); }

}  // namespace

const Description& preampDescription() {
    static const Description d{"urn:mirad:lv2:tavik-preamp-v2", "Tavik_PreAmp_v2", "Tavik PreAmp v2", 0, 0,
                               tavik_preamp::kNumParams, tavik_preamp::kParameterTable, nullptr, create,
                               0, nullptr, nullptr, nullptr};
    return d;
}

}  // namespace tavik_lv2
