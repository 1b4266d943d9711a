// The module's one exported symbol.
#include <lv2/core/lv2.h>

#include "plugin/lv2/lv2_instance.h"

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? Lv2CrossfaderDescriptor() : nullptr;
}
