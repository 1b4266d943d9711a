#include "core/brio_instance.h"

#include <new>

#include "effect/tquill.h"

BrioFormatInstance::BrioFormatInstance() {
    try {
        effect = BrioNewEffect();
    } catch (const std::bad_alloc&) {
        effect = nullptr;
        return;
    }
    callbacks = BrioMakeCallbackTable();
    effect->wrapper = this;
    if (callbacks.init) callbacks.init(this);
}

BrioFormatInstance::~BrioFormatInstance() {
    if (effect && callbacks.destroy) callbacks.destroy(this);
}

std::int32_t BrioFormatInstance::GetTempoAndSignature(double* tempo, double* numerator, double* denominator) {
    if (!transport.present) return 0;
    if (tempo) *tempo = transport.tempo;
    if (numerator) *numerator = transport.numerator;
    if (denominator) *denominator = transport.denominator;
    return 1;
}
