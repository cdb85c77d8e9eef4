#include "lv2/plugin_description.h"
#include "shell/parameter_table.h"
#include "shell/tavik.h"

namespace tavik_lv2 {

namespace {

constexpr const char* kExtraNames[tavik::kNumParams] = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, "Stereo Link", "Cab1 Delay", "Cab2 Delay", nullptr, nullptr,
};
static_assert(tavik::kStereoLink == 29 && tavik::kDelay1 == 30 && tavik::kDelay2 == 31);

constexpr const char* kFileUris[2] = {"urn:mirad:lv2:tavik-fullstack-v1:ir1", "urn:mirad:lv2:tavik-fullstack-v1:ir2"};
constexpr const char* kFileLabels[2] = {"Cabinet 1 impulse response", "Cabinet 2 impulse response"};

vst::AudioEffect* create(vst::AudioMasterCallback master) { return new tavik::Tavik(master); }

bool load(vst::AudioEffect& effect, int cabinet, const std::string& path) {
    return static_cast<tavik::Tavik&>(effect).loadIrFile(cabinet, path);
}

}  // namespace

const Description& fullStackDescription() {
    static const Description d{"urn:mirad:lv2:tavik-fullstack-v1",
                               "Tavik_FullStack_v1_04",
                               "Tavik FullStack v1.04",
                               4,
                               0,
                               tavik::kNumParams,
                               tavik::kParameterTable,
                               kExtraNames,
                               create,
                               2,
                               kFileUris,
                               kFileLabels,
                               load};
    return d;
}

}  // namespace tavik_lv2
