// Arbitrary host behaviour through clap_entry: the lifecycle in any order,
// process calls of any size and width with events of every type and any
// contents, transports of any contents, state streams of any bytes with
// partial transfers and errors, and parameter calls with any IDs, values and
// texts. What a host keeps: buffers as long as the frame count it passes,
// events as long as their size fields say, one call at a time.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/clap/clap_host.h"

namespace {

using vsthost::clap::EventList;
using vsthost::clap::Instance;

vsthost::clap::Module& TheModule() {
    static vsthost::clap::Module module(PLUGIN_MODULE_PATH);
    if (!module.ok()) std::abort();
    return module;
}

double AnyDouble(FuzzedDataProvider& in) {
    const auto bits = in.ConsumeIntegral<std::uint64_t>();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

float AnyFloat(FuzzedDataProvider& in) {
    const auto bits = in.ConsumeIntegral<std::uint32_t>();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Mostly plausible values, sometimes any bits.
double Value(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? in.ConsumeFloatingPointInRange(-12.0, 12.0) : AnyDouble(in);
}

void AddEvents(EventList& events, FuzzedDataProvider& in, std::uint32_t frames) {
    const int count = in.ConsumeIntegralInRange(0, 12);
    for (int e = 0; e < count && in.remaining_bytes() > 0; ++e) {
        alignas(8) unsigned char bytes[160] = {};
        std::size_t size = sizeof(clap_event_param_value);
        clap_event_header header{};
        header.type = in.ConsumeBool() ? CLAP_EVENT_PARAM_VALUE : in.ConsumeIntegralInRange<std::uint16_t>(0, 16);
        header.space_id = in.ConsumeIntegralInRange(0, 8) == 0 ? 1 : CLAP_CORE_EVENT_SPACE_ID;
        header.time = in.ConsumeBool() && frames > 0 ? in.ConsumeIntegralInRange<std::uint32_t>(0, frames - 1)
                                                     : in.ConsumeIntegral<std::uint32_t>();
        header.flags = in.ConsumeIntegral<std::uint32_t>();
        if (header.type == CLAP_EVENT_PARAM_VALUE || header.type == CLAP_EVENT_PARAM_MOD) {
            clap_event_param_value event{};
            event.param_id =
                in.ConsumeBool() ? in.ConsumeIntegralInRange<clap_id>(0, 7) : in.ConsumeIntegral<clap_id>();
            event.note_id = in.ConsumeIntegral<std::int32_t>();
            event.value = Value(in);
            std::memcpy(bytes, &event, sizeof event);
        } else {
            size = in.ConsumeIntegralInRange<std::size_t>(sizeof header, sizeof bytes);
            const auto contents = in.ConsumeBytes<unsigned char>(size - sizeof header);
            if (!contents.empty()) std::memcpy(bytes + sizeof header, contents.data(), contents.size());
        }
        // The size field may claim less than the event's type needs, never more than the host holds.
        header.size = in.ConsumeIntegralInRange(0, 3) == 0 ? in.ConsumeIntegralInRange<std::uint32_t>(0, size)
                                                           : static_cast<std::uint32_t>(size);
        std::memcpy(bytes, &header, sizeof header);
        events.add(bytes, size);
    }
}

clap_event_transport AnyTransport(FuzzedDataProvider& in) {
    clap_event_transport t{};
    t.header = {sizeof t, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    t.flags = in.ConsumeIntegral<std::uint32_t>();
    t.song_pos_beats = in.ConsumeIntegral<std::int64_t>();
    t.song_pos_seconds = in.ConsumeIntegral<std::int64_t>();
    t.tempo = AnyDouble(in);
    t.tempo_inc = AnyDouble(in);
    t.bar_start = in.ConsumeIntegral<std::int64_t>();
    t.bar_number = in.ConsumeIntegral<std::int32_t>();
    t.tsig_num = in.ConsumeIntegral<std::uint16_t>();
    t.tsig_denom = in.ConsumeIntegral<std::uint16_t>();
    return t;
}

template <class Sample>
void Process(Instance& plugin, FuzzedDataProvider& in, bool processing) {
    const auto frames = in.ConsumeIntegralInRange<std::uint32_t>(0, 1200);
    std::vector<std::vector<Sample>> inputs(3, std::vector<Sample>(frames)), outputs(3, std::vector<Sample>(frames));
    for (auto& channel : inputs)
        for (Sample& x : channel) {
            if (in.remaining_bytes() == 0) break;
            x = in.ConsumeBool()                   ? static_cast<Sample>(in.ConsumeFloatingPointInRange(-1.0, 1.0))
                : sizeof(Sample) == sizeof(double) ? static_cast<Sample>(AnyDouble(in))
                                                   : static_cast<Sample>(AnyFloat(in));
        }
    Sample* ins[3] = {inputs[0].data(), inputs[1].data(), inputs[2].data()};
    Sample* outs[3] = {outputs[0].data(), outputs[1].data(), outputs[2].data()};
    const bool inPlace = in.ConsumeBool();
    if (inPlace)
        for (int c = 0; c < 3; ++c) outs[c] = ins[c];
    // Now and then a port layout no host should send: a missing channel or port, another width.
    clap_audio_buffer input{}, output{};
    input.channel_count = output.channel_count = 2;
    if constexpr (sizeof(Sample) == sizeof(double)) {
        input.data64 = ins;
        output.data64 = outs;
    } else {
        input.data32 = ins;
        output.data32 = outs;
    }
    clap_process call{};
    call.audio_inputs_count = call.audio_outputs_count = 1;
    switch (in.ConsumeIntegralInRange(0, 12)) {
    case 0: input.channel_count = in.ConsumeIntegralInRange<std::uint32_t>(0, 3); break;
    case 1: output.channel_count = in.ConsumeIntegralInRange<std::uint32_t>(0, 3); break;
    case 2: ins[in.ConsumeIntegralInRange(0, 1)] = nullptr; break;
    case 3: call.audio_inputs_count = 0; break;
    case 4: call.audio_outputs_count = 0; break;
    default: break;
    }
    EventList events;
    AddEvents(events, in, frames);
    clap_event_transport transport = AnyTransport(in);
    call.steady_time = in.ConsumeIntegral<std::int64_t>();
    call.frames_count = frames;
    call.transport = in.ConsumeBool() ? &transport : nullptr;
    call.audio_inputs = &input;
    call.audio_outputs = &output;
    call.in_events = in.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : events.input();
    const auto before = inputs; // in place, the call overwrites them
    const clap_process_status status = plugin.process(call);
    if (!processing && status != CLAP_PROCESS_ERROR) __builtin_trap();
    // The mix is finite in double; narrowed to float it overflows to an
    // infinity, as the VST 2.4 module's does, only from inputs near the
    // float range's end (the gains reach about 12.5).
    const auto huge = [&before](std::uint32_t j) {
        for (int c = 0; c < 2; ++c)
            if (std::isfinite(before[c][j]) && std::fabs(static_cast<double>(before[c][j])) > 1e37) return true;
        return false;
    };
    if (status == CLAP_PROCESS_CONTINUE)
        for (int c = 0; c < 2; ++c)
            for (std::uint32_t j = 0; j < frames; ++j)
                if (!std::isfinite(outs[c][j]) && (std::isnan(outs[c][j]) || !huge(j))) __builtin_trap();
}

void CheckValues(Instance& plugin) {
    for (clap_id k = 0; k < plugin.paramCount(); ++k) {
        const auto info = plugin.paramInfo(k);
        const auto value = plugin.value(k);
        if (!info || !value || !std::isfinite(*value) || *value < info->min_value || *value > info->max_value)
            __builtin_trap();
    }
}

void Save(Instance& plugin, FuzzedDataProvider& in) {
    vsthost::clap::OutStream out;
    out.maxPerCall = in.ConsumeIntegralInRange<std::size_t>(0, 300);
    out.failAt = in.ConsumeIntegralInRange<std::int64_t>(-1, 300);
    if (!plugin.save(out)) return;
    const float marker = -1000.0f;
    if (out.bytes.size() != 260 || std::memcmp(out.bytes.data(), &marker, 4) != 0) __builtin_trap();
}

void Load(Instance& plugin, FuzzedDataProvider& in) {
    vsthost::clap::InStream stream;
    if (in.ConsumeBool()) {
        // A chunk with the marker, so that the loads get past it.
        const float marker = -1000.0f;
        stream.bytes.resize(4);
        std::memcpy(stream.bytes.data(), &marker, 4);
    }
    const auto bytes = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 600));
    stream.bytes.insert(stream.bytes.end(), bytes.begin(), bytes.end());
    stream.maxPerCall = in.ConsumeIntegralInRange<std::size_t>(1, 300);
    stream.failAt = in.ConsumeIntegralInRange<std::int64_t>(-1, 700);
    plugin.load(stream);
}

void Texts(Instance& plugin, FuzzedDataProvider& in) {
    const clap_id id = in.ConsumeIntegralInRange<clap_id>(0, 7);
    // The text goes into a heap block of exactly its capacity, so that the
    // address sanitizer sees any byte written past it.
    const auto capacity = in.ConsumeIntegralInRange<std::uint32_t>(0, 40);
    std::vector<char> text(capacity ? capacity : 1, 'x');
    const double value = Value(in);
    const clap_plugin_params* params = plugin.params();
    if (params && params->value_to_text(plugin.plugin(), id, value, capacity ? text.data() : nullptr, capacity)) {
        if (!std::memchr(text.data(), 0, capacity)) __builtin_trap();
        double back = 0.0;
        if (params->text_to_value(plugin.plugin(), id, text.data(), &back) && !std::isfinite(back)) __builtin_trap();
    }
    const std::string any = in.ConsumeRandomLengthString(24);
    double parsed = 0.0;
    if (params && params->text_to_value(plugin.plugin(), id, any.c_str(), &parsed) && !std::isfinite(parsed))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TheModule(); // loaded before the first input, so the fuzzer sees its coverage
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    vsthost::clap::Host host;
    host.logCalls = false;
    host.offerParams = in.ConsumeBool();
    Instance plugin(TheModule(), host);
    if (!plugin.ok()) __builtin_trap();
    if (in.ConsumeIntegralInRange(0, 7) != 0) plugin.init();
    bool processing = false;
    for (int step = 0; step < 48 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange(0, 14)) {
        case 0: plugin.init(); break;
        case 1: {
            const double rate = in.ConsumeBool() ? in.ConsumeFloatingPointInRange(1.0, 400000.0) : AnyDouble(in);
            const auto minFrames = in.ConsumeIntegral<std::uint32_t>();
            const auto maxFrames = in.ConsumeBool() ? 1200u : in.ConsumeIntegral<std::uint32_t>();
            plugin.activate(rate, minFrames, maxFrames);
            break;
        }
        case 2: plugin.deactivate(); break;
        case 3: processing = plugin.startProcessing() || processing; break;
        case 4:
            plugin.stopProcessing();
            processing = false;
            break;
        case 5: Process<float>(plugin, in, processing); break;
        case 6: Process<double>(plugin, in, processing); break;
        case 7: {
            EventList events;
            AddEvents(events, in, 1);
            plugin.flush(events);
            break;
        }
        case 8: Save(plugin, in); break;
        case 9: Load(plugin, in); break;
        case 10: Texts(plugin, in); break;
        case 11: CheckValues(plugin); break;
        case 12:
            plugin.plugin()->reset(plugin.plugin());
            plugin.plugin()->on_main_thread(plugin.plugin());
            break;
        case 13: {
            clap_audio_port_info info{};
            if (const clap_plugin_audio_ports* ports = plugin.audioPorts())
                ports->get(plugin.plugin(), in.ConsumeIntegralInRange<std::uint32_t>(0, 2), in.ConsumeBool(), &info);
            break;
        }
        case 14: plugin.plugin()->get_extension(plugin.plugin(), in.ConsumeRandomLengthString(32).c_str()); break;
        }
    }
    CheckValues(plugin);
    return 0;
}
