// Arbitrary host behaviour through the AEffect: dispatcher calls with any
// opcode, index, value, option and buffer, parameter calls, and processing
// of any length, in any order. The calls keep only what every host keeps:
// pointers where the interface passes pointers, buffers as large as the
// texts they receive, byte counts that fit their buffers.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/vsthost.h"
#include "plugin_entry.h"

namespace {

float AnyFloat(FuzzedDataProvider& in) {
    const auto bits = in.ConsumeIntegral<std::uint32_t>();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double AnyDouble(FuzzedDataProvider& in) {
    const auto bits = in.ConsumeIntegral<std::uint64_t>();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

template <class Sample>
void CheckNoNaN(const std::vector<std::vector<Sample>>& channels) {
    for (const auto& channel : channels)
        for (Sample x : channel)
            if (std::isnan(x)) __builtin_trap();
}

template <class Sample>
void Process(vsthost::Instance& plugin, FuzzedDataProvider& in) {
    const auto frames = in.ConsumeIntegralInRange<VstInt32>(0, 2048);
    const bool inPlace = in.ConsumeBool();
    std::vector<std::vector<Sample>> inputs(2, std::vector<Sample>(frames)), outputs(2, std::vector<Sample>(frames));
    for (auto& channel : inputs)
        for (Sample& x : channel) {
            if (in.remaining_bytes() == 0) break;
            x = sizeof(Sample) == sizeof(double) ? static_cast<Sample>(AnyDouble(in))
                                                 : static_cast<Sample>(AnyFloat(in));
        }
    std::vector<Sample*> ins = {inputs[0].data(), inputs[1].data()};
    std::vector<Sample*> outs = inPlace ? ins : std::vector<Sample*>{outputs[0].data(), outputs[1].data()};
    if constexpr (sizeof(Sample) == sizeof(double)) plugin.processDouble(ins.data(), outs.data(), frames);
    else plugin.process(ins.data(), outs.data(), frames);
    CheckNoNaN(inPlace ? inputs : outputs);
}

// The buffer a host gives for each text the plug-in writes.
std::size_t TextBound(VstInt32 opcode) {
    switch (opcode) {
    case effGetProgramName:
    case effGetProgramNameIndexed: return 24;
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
    case effGetEffectName: return 32;
    case effGetVendorString:
    case effGetProductString: return 64;
    default: return 0;
    }
}

void Dispatch(vsthost::Instance& plugin, FuzzedDataProvider& in) {
    const auto opcode = in.ConsumeBool() ? in.ConsumeIntegralInRange<VstInt32>(0, 80) : in.ConsumeIntegral<VstInt32>();
    const auto index = in.ConsumeBool() ? in.ConsumeIntegralInRange<VstInt32>(-2, 8) : in.ConsumeIntegral<VstInt32>();
    auto value = in.ConsumeIntegral<VstIntPtr>();
    const float opt = AnyFloat(in);

    alignas(16) char buffer[1024] = {};
    const std::vector<char> bytes = in.ConsumeBytes<char>(in.ConsumeIntegralInRange<std::size_t>(0, sizeof buffer));
    if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
    void* slots[2] = {};
    void* ptr = in.ConsumeBool() ? nullptr : buffer;

    VstMidiEvent midi{};
    midi.type = kVstMidiType;
    midi.byteSize = sizeof midi;
    VstEvents events{};

    switch (opcode) {
    case effClose: return; // only the instance's owner closes it
    case effSetChunk: value = in.ConsumeIntegralInRange<VstIntPtr>(0, sizeof buffer); break;
    case effGetChunk:
    case effEditGetRect: ptr = ptr ? slots : nullptr; break;
    case effGetSpeakerArrangement:
    case effSetSpeakerArrangement:
        value = in.ConsumeBool() ? reinterpret_cast<VstIntPtr>(&slots[1]) : 0;
        ptr = ptr ? slots : nullptr;
        break;
    case effProcessEvents:
        events.numEvents = in.ConsumeIntegralInRange(0, 2);
        events.events[0] = events.events[1] = reinterpret_cast<VstEvent*>(&midi);
        ptr = ptr ? &events : nullptr;
        break;
    default: break;
    }
    // A text answer goes into a heap block of exactly its bound, so that the
    // address sanitizer sees any byte written past it.
    const std::size_t bound = TextBound(opcode);
    std::vector<char> text(bound ? bound : 1);
    if (bound && ptr) {
        std::memcpy(text.data(), buffer, bound);
        ptr = text.data();
    }
    plugin.dispatch(opcode, index, value, ptr, opt);
    // A text the plug-in wrote ends within its bound; one it did not write stays as it was.
    const bool written = bound && ptr == text.data() && std::memcmp(text.data(), buffer, bound) != 0;
    if (written && !std::memchr(text.data(), 0, bound)) __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    vsthost::Host host;
    host.logRequests = false;
    host.provideTime = in.ConsumeBool();
    host.time.tempo = AnyDouble(in);
    host.time.sampleRate = AnyDouble(in);
    host.time.timeSigNumerator = in.ConsumeIntegral<VstInt32>();
    host.time.timeSigDenominator = in.ConsumeIntegral<VstInt32>();
    host.time.flags = in.ConsumeIntegral<VstInt32>();
    host.sampleRate = AnyFloat(in);
    host.blockSize = in.ConsumeIntegral<VstInt32>();
    if (in.ConsumeBool()) host.versionAnswer = in.ConsumeIntegral<VstIntPtr>();
    host.updateDisplayAnswer = in.ConsumeIntegral<VstIntPtr>();

    AEffect* effect = host.instantiate(PluginEntry());
    if (!effect) return 0;
    if (effect->magic != kEffectMagic) __builtin_trap();
    vsthost::Instance plugin(effect, host);
    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange(0, 5)) {
        case 0: Dispatch(plugin, in); break;
        case 1: plugin.setParameter(in.ConsumeIntegralInRange<VstInt32>(-1, 7), AnyFloat(in)); break;
        case 2: plugin.getParameter(in.ConsumeIntegral<VstInt32>()); break;
        case 3: Process<float>(plugin, in); break;
        case 4: Process<double>(plugin, in); break;
        case 5: plugin.setChunk(plugin.getChunk()); break;
        }
    }
    return 0;
}
