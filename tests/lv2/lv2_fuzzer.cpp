// Arbitrary host behaviour through lv2_descriptor: instantiation with any
// rate, with or without urid:map and options, ports connected or not,
// control values of any bits, runs of any length, atom sequences whose
// events and objects hold anything, state restored from any bytes. The host
// keeps only what every LV2 host keeps: buffers as large as it says, a
// sequence no longer than its buffer.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include "host/module.h"

namespace {

constexpr std::uint32_t kPorts = 11, kMaxFrames = 2048;

const LV2_Descriptor* Descriptor() {
    static const LV2_Descriptor* descriptor = [] {
        std::string error;
        void* module = vsthost::module::Open(PLUGIN_MODULE_PATH, error);
        if (!module) std::abort();
        using Entry = const LV2_Descriptor* (*)(std::uint32_t);
        const auto entry = reinterpret_cast<Entry>(vsthost::module::Symbol(module, "lv2_descriptor"));
        if (!entry || !entry(0) || entry(1)) std::abort();
        return entry(0);
    }();
    return descriptor;
}

// URIDs are indexes into this list plus one; unknown URIs are added.
struct Map {
    std::vector<std::string> uris = {LV2_ATOM__Sequence,
                                     LV2_ATOM__Object,
                                     LV2_ATOM__Blank,
                                     LV2_ATOM__Float,
                                     LV2_ATOM__Double,
                                     LV2_ATOM__Int,
                                     LV2_ATOM__Long,
                                     LV2_ATOM__Chunk,
                                     LV2_TIME__Position,
                                     LV2_TIME__beatsPerMinute,
                                     LV2_TIME__beatsPerBar,
                                     LV2_TIME__beatUnit,
                                     LV2_TIME__speed,
                                     LV2_TIME__bar,
                                     LV2_TIME__barBeat,
                                     LV2_TIME__beat,
                                     LV2_BUF_SIZE__maxBlockLength};
    LV2_URID_Map feature{this, [](LV2_URID_Map_Handle handle, const char* uri) -> LV2_URID {
                             auto& uris = static_cast<Map*>(handle)->uris;
                             for (std::size_t i = 0; i < uris.size(); ++i)
                                 if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
                             uris.emplace_back(uri);
                             return static_cast<LV2_URID>(uris.size());
                         }};
    LV2_URID operator()(const char* uri) { return feature.map(this, uri); }
};
// The URIDs a fuzzed atom picks its types and keys from: known ones, and some no one mapped.
LV2_URID AnyUrid(FuzzedDataProvider& in) { return in.ConsumeIntegralInRange<LV2_URID>(0, 24); }

float AnyFloat(FuzzedDataProvider& in) {
    const auto bits = in.ConsumeIntegral<std::uint32_t>();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

struct Host {
    Map map;
    const LV2_Descriptor* descriptor = Descriptor();
    LV2_Handle handle = nullptr;
    bool connected[kPorts] = {};
    float controls[6] = {};
    std::vector<std::uint64_t> atoms = std::vector<std::uint64_t>(1, 0); // an empty sequence
    std::vector<std::uint8_t> saved;

    void Connect(std::uint32_t port, void* data) { descriptor->connect_port(handle, port, data); }

    // Position objects with properties of any key and type, or raw bytes,
    // in a sequence sized to the heap block that holds it.
    void Sequence(FuzzedDataProvider& in) {
        std::vector<std::uint8_t> body;
        if (in.ConsumeBool()) {
            body = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 512));
        } else {
            const auto put = [&body](const void* data, std::size_t n) {
                const auto* bytes = static_cast<const std::uint8_t*>(data);
                body.insert(body.end(), bytes, bytes + n);
            };
            const LV2_Atom_Sequence_Body head{0, 0};
            put(&head, sizeof head);
            for (int events = in.ConsumeIntegralInRange(0, 4); events > 0; --events) {
                std::vector<std::uint8_t> object;
                const LV2_Atom_Object_Body objectHead{0, in.ConsumeBool() ? map(LV2_TIME__Position) : AnyUrid(in)};
                object.insert(object.end(), reinterpret_cast<const std::uint8_t*>(&objectHead),
                              reinterpret_cast<const std::uint8_t*>(&objectHead + 1));
                for (int properties = in.ConsumeIntegralInRange(0, 8); properties > 0; --properties) {
                    const std::vector<std::uint8_t> value =
                        in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 12));
                    LV2_Atom_Property_Body property{AnyUrid(in), 0, {0, AnyUrid(in)}};
                    property.value.size = in.ConsumeBool() ? static_cast<std::uint32_t>(value.size())
                                                           : in.ConsumeIntegral<std::uint32_t>();
                    object.insert(object.end(), reinterpret_cast<const std::uint8_t*>(&property),
                                  reinterpret_cast<const std::uint8_t*>(&property + 1));
                    object.insert(object.end(), value.begin(), value.end());
                    object.resize((object.size() + 7) & ~std::size_t{7});
                }
                LV2_Atom_Event event{};
                event.time.frames = in.ConsumeIntegral<std::int64_t>();
                event.body.type = in.ConsumeBool() ? map(LV2_ATOM__Object) : AnyUrid(in);
                event.body.size =
                    in.ConsumeBool() ? static_cast<std::uint32_t>(object.size()) : in.ConsumeIntegral<std::uint32_t>();
                put(&event, sizeof event);
                body.insert(body.end(), object.begin(), object.end());
            }
        }
        atoms.assign(1 + (body.size() + 7) / 8, 0);
        auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(atoms.data());
        sequence->atom.type = in.ConsumeBool() ? map(LV2_ATOM__Sequence) : AnyUrid(in);
        sequence->atom.size = static_cast<std::uint32_t>(body.size());
        if (!body.empty()) std::memcpy(&sequence->body, body.data(), body.size());
        if (connected[10]) Connect(10, atoms.data());
    }

    void Run(FuzzedDataProvider& in) {
        const auto frames = in.ConsumeIntegralInRange<std::uint32_t>(0, kMaxFrames);
        const bool inPlace = in.ConsumeBool();
        // Heap blocks of exactly the run's length: the sanitizer sees any access past them.
        std::vector<float> buffers[4];
        for (auto& buffer : buffers) buffer.resize(frames);
        for (int c = 0; c < 2; ++c)
            for (float& x : buffers[c]) x = in.remaining_bytes() >= 4 ? AnyFloat(in) : 0.25f;
        for (std::uint32_t port = 0; port < 4; ++port) {
            float* data = buffers[inPlace ? port % 2 : port].data();
            Connect(port, connected[port] ? data : nullptr);
        }
        descriptor->run(handle, frames);
        for (std::uint32_t port = 2; port < 4; ++port)
            if (connected[port])
                for (float x : buffers[inPlace ? port % 2 : port])
                    if (std::isnan(x)) __builtin_trap();
    }

    void Save(const LV2_State_Interface& state) {
        const auto store = [](LV2_State_Handle handle, std::uint32_t, const void* value, std::size_t size,
                              std::uint32_t, std::uint32_t) {
            const auto* bytes = static_cast<const std::uint8_t*>(value);
            static_cast<Host*>(handle)->saved.assign(bytes, bytes + size);
            return LV2_STATE_SUCCESS;
        };
        saved.clear();
        if (state.save(handle, store, this, 0, nullptr) == LV2_STATE_SUCCESS) {
            const std::uint8_t marker[4] = {0x00, 0x00, 0x7A, 0xC4};
            if (saved.size() != 260 || std::memcmp(saved.data(), marker, 4) != 0) __builtin_trap();
        }
    }

    void Restore(const LV2_State_Interface& state, FuzzedDataProvider& in) {
        struct Answer {
            std::vector<std::uint8_t> bytes;
            std::uint32_t type, flags;
            bool none;
        } answer{in.ConsumeBool() && !saved.empty()
                     ? saved
                     : in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 600)),
                 in.ConsumeBool() ? map(LV2_ATOM__Chunk) : AnyUrid(in), in.ConsumeIntegral<std::uint32_t>(),
                 in.ConsumeIntegralInRange(0, 15) == 0};
        const auto retrieve = [](LV2_State_Handle handle, std::uint32_t, std::size_t* size, std::uint32_t* type,
                                 std::uint32_t* flags) -> const void* {
            const auto* a = static_cast<const Answer*>(handle);
            if (a->none) return nullptr;
            *size = a->bytes.size();
            *type = a->type;
            *flags = a->flags;
            return a->bytes.data();
        };
        state.restore(handle, retrieve, &answer, 0, nullptr);
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Descriptor();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Host host;
    double rate = 48000.0;
    if (in.ConsumeBool()) {
        const auto bits = in.ConsumeIntegral<std::uint64_t>();
        std::memcpy(&rate, &bits, sizeof rate);
    }
    std::int32_t maxBlock = in.ConsumeIntegral<std::int32_t>();
    LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, in.ConsumeBool() ? host.map(LV2_BUF_SIZE__maxBlockLength) : AnyUrid(in),
         in.ConsumeBool() ? 4u : in.ConsumeIntegral<std::uint32_t>(),
         in.ConsumeBool() ? host.map(LV2_ATOM__Int) : AnyUrid(in), in.ConsumeBool() ? &maxBlock : nullptr},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    const LV2_Feature mapFeature{LV2_URID__map, &host.map.feature}, optionsFeature{LV2_OPTIONS__options, options},
        empty{LV2_CORE__hardRTCapable, nullptr};
    const LV2_Feature* features[] = {in.ConsumeBool() ? &mapFeature : &empty,
                                     in.ConsumeBool() ? &optionsFeature : &empty, nullptr};
    host.handle = host.descriptor->instantiate(host.descriptor, rate, "/", features);
    if (!host.handle) return 0;
    if (host.descriptor->extension_data("http://example.org/none")) __builtin_trap();
    const auto* state = static_cast<const LV2_State_Interface*>(host.descriptor->extension_data(LV2_STATE__interface));
    if (!state) __builtin_trap();

    for (std::uint32_t port = 0; port < kPorts; ++port) host.connected[port] = true;
    for (std::uint32_t k = 0; k < 6; ++k) host.Connect(4 + k, &host.controls[k]);
    host.Connect(10, host.atoms.data());
    bool active = false;
    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange(0, 6)) {
        case 0: host.controls[in.ConsumeIntegralInRange(0, 5)] = AnyFloat(in); break;
        case 1: {
            // Any index, known or not; a control or time port connected or left without a buffer.
            const auto port = in.ConsumeIntegralInRange<std::uint32_t>(0, kPorts + 2);
            const bool on = in.ConsumeBool();
            if (port < kPorts) host.connected[port] = on;
            void* buffer = port >= 4 && port < 10 ? static_cast<void*>(&host.controls[port - 4])
                           : port == 10           ? static_cast<void*>(host.atoms.data())
                                                  : nullptr;
            host.Connect(port, on ? buffer : nullptr);
            break;
        }
        case 2: host.Run(in); break;
        case 3: host.Sequence(in); break;
        case 4: host.Save(*state); break;
        case 5: host.Restore(*state, in); break;
        case 6:
            if (active) host.descriptor->deactivate(host.handle);
            else host.descriptor->activate(host.handle);
            active = !active;
            break;
        }
    }
    if (active) host.descriptor->deactivate(host.handle);
    host.descriptor->cleanup(host.handle);
    return 0;
}
