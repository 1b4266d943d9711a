// The host's transport at frame 0 of a block, as the effect's time services
// read it: what a VST 2.4 host's time record would carry, with 0 in every
// field the host marks as missing.
#pragma once

#include "core/brio_instance.h"
#include "plugin/clap/clap_abi.h"

namespace brio_clap {

inline BrioTransport MapTransport(const clap_event_transport* transport) {
    BrioTransport time;
    if (!transport) return time; // a host running free: no time record
    const std::uint32_t flags = transport->flags;
    time.present = true;
    time.playing = (flags & CLAP_TRANSPORT_IS_PLAYING) != 0;
    time.recording = (flags & CLAP_TRANSPORT_IS_RECORDING) != 0;
    if (flags & CLAP_TRANSPORT_HAS_TEMPO) time.tempo = transport->tempo;
    if (flags & CLAP_TRANSPORT_HAS_TIME_SIGNATURE) {
        time.numerator = transport->tsig_num;
        time.denominator = transport->tsig_denom;
    }
    // Beats are the tempo's beats, which hosts count in quarter notes.
    if (flags & CLAP_TRANSPORT_HAS_BEATS_TIMELINE)
        time.ppqPos = static_cast<double>(transport->song_pos_beats) / static_cast<double>(CLAP_BEATTIME_FACTOR);
    return time;
}

} // namespace brio_clap
