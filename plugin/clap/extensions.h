// The extension tables an instance hands out: each entry finds its instance
// through the clap_plugin and answers neutrally for a null or foreign one.
#pragma once

#include "plugin/clap/clap_abi.h"

namespace brio_clap {

extern const clap_plugin_params kParamsExtension;
extern const clap_plugin_state kStateExtension;
extern const clap_plugin_audio_ports kAudioPortsExtension;
extern const clap_plugin_latency kLatencyExtension;

} // namespace brio_clap
