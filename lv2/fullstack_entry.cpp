#include "lv2/adapter.h"

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? tavik_lv2::descriptorFor(tavik_lv2::fullStackDescription()) : nullptr;
}
