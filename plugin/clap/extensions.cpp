#include "plugin/clap/extensions.h"

#include "plugin/clap/brio_clap.h"

namespace {

// ---- "clap.params" ----

std::uint32_t CLAP_ABI ParamsCount(const clap_plugin* plugin) noexcept {
    const CBrioClap* self = CBrioClap::From(plugin);
    return self ? self->ParameterCount() : 0;
}

bool CLAP_ABI ParamsGetInfo(const clap_plugin* plugin, std::uint32_t index, clap_param_info* info) noexcept {
    const CBrioClap* self = CBrioClap::From(plugin);
    return self && self->ParameterInfo(index, info);
}

bool CLAP_ABI ParamsGetValue(const clap_plugin* plugin, clap_id id, double* value) noexcept {
    CBrioClap* self = CBrioClap::From(plugin);
    return self && self->ParameterValue(id, value);
}

bool CLAP_ABI ParamsValueToText(const clap_plugin* plugin, clap_id id, double value, char* text,
                                std::uint32_t capacity) noexcept {
    const CBrioClap* self = CBrioClap::From(plugin);
    return self && self->ValueToText(id, value, text, capacity);
}

bool CLAP_ABI ParamsTextToValue(const clap_plugin* plugin, clap_id id, const char* text, double* value) noexcept {
    const CBrioClap* self = CBrioClap::From(plugin);
    return self && self->TextToValue(id, text, value);
}

// The plug-in changes no value by itself, so it has nothing to send back.
void CLAP_ABI ParamsFlush(const clap_plugin* plugin, const clap_input_events* in, const clap_output_events*) noexcept {
    if (CBrioClap* self = CBrioClap::From(plugin)) self->Flush(in);
}

// ---- "clap.state" ----

bool CLAP_ABI StateSave(const clap_plugin* plugin, const clap_ostream* stream) noexcept {
    CBrioClap* self = CBrioClap::From(plugin);
    return self && self->Save(stream);
}

bool CLAP_ABI StateLoad(const clap_plugin* plugin, const clap_istream* stream) noexcept {
    CBrioClap* self = CBrioClap::From(plugin);
    return self && self->Load(stream);
}

// ---- "clap.audio-ports" ----

std::uint32_t CLAP_ABI PortsCount(const clap_plugin* plugin, bool) noexcept {
    const CBrioClap* self = CBrioClap::From(plugin);
    return self ? self->PortCount() : 0;
}

bool CLAP_ABI PortsGet(const clap_plugin* plugin, std::uint32_t index, bool isInput,
                       clap_audio_port_info* info) noexcept {
    const CBrioClap* self = CBrioClap::From(plugin);
    return self && self->PortInfo(index, isInput, info);
}

// ---- "clap.latency" ----

std::uint32_t CLAP_ABI LatencyGet(const clap_plugin* plugin) noexcept {
    const CBrioClap* self = CBrioClap::From(plugin);
    return self ? self->Latency() : 0;
}

} // namespace

namespace brio_clap {

const clap_plugin_params kParamsExtension = {ParamsCount,       ParamsGetInfo,     ParamsGetValue,
                                             ParamsValueToText, ParamsTextToValue, ParamsFlush};
const clap_plugin_state kStateExtension = {StateSave, StateLoad};
const clap_plugin_audio_ports kAudioPortsExtension = {PortsCount, PortsGet};
const clap_plugin_latency kLatencyExtension = {LatencyGet};

} // namespace brio_clap
