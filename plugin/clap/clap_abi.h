// Declarations of the CLAP binary interface the crossfader and our host use:
// structs, function-pointer tables, IDs and constants, written from the
// published facts, with their sizes and offsets asserted for 64-bit targets
// and 32-bit Windows. Declarations only.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define CLAP_ABI __cdecl // every table entry; it matters on 32-bit Windows
#else
#define CLAP_ABI
#endif

using clap_id = std::uint32_t;
using clap_beattime = std::int64_t; // beats * CLAP_BEATTIME_FACTOR
using clap_sectime = std::int64_t;  // seconds * CLAP_SECTIME_FACTOR
using clap_process_status = std::int32_t;

inline constexpr clap_id CLAP_INVALID_ID = 0xFFFFFFFFu;
inline constexpr std::int64_t CLAP_BEATTIME_FACTOR = std::int64_t{1} << 31;
inline constexpr std::int64_t CLAP_SECTIME_FACTOR = std::int64_t{1} << 31;
inline constexpr std::size_t CLAP_NAME_SIZE = 256;
inline constexpr std::size_t CLAP_PATH_SIZE = 1024;

// ---- version ----

struct clap_version {
    std::uint32_t major; // compatible from 1 on
    std::uint32_t minor;
    std::uint32_t revision;
};

// Fields named clap_version carry this type under its other name, as a
// member may not share the name its own type is spelled with.
using clap_version_t = clap_version;

inline constexpr clap_version CLAP_VERSION = {1, 2, 10};

inline constexpr bool clap_version_is_compatible(const clap_version& v) { return v.major >= 1; }

// ---- entry and factory ----

struct clap_plugin_entry {
    clap_version_t clap_version;
    bool(CLAP_ABI* init)(const char* plugin_path); // first call; false: nothing else follows
    void(CLAP_ABI* deinit)();
    const void*(CLAP_ABI* get_factory)(const char* factory_id); // thread-safe; null for unknown IDs
};

struct clap_plugin_descriptor {
    clap_version_t clap_version;
    const char* id; // reverse-domain, stable forever
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    const char* const* features; // ends with a null pointer
};

struct clap_host;
struct clap_plugin;

inline constexpr char CLAP_PLUGIN_FACTORY_ID[] = "clap.plugin-factory";

struct clap_plugin_factory {
    std::uint32_t(CLAP_ABI* get_plugin_count)(const clap_plugin_factory* factory);
    const clap_plugin_descriptor*(CLAP_ABI* get_plugin_descriptor)(const clap_plugin_factory* factory,
                                                                   std::uint32_t index);
    const clap_plugin*(CLAP_ABI* create_plugin)(const clap_plugin_factory* factory, const clap_host* host,
                                                const char* plugin_id);
};

// ---- events ----

inline constexpr std::uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;

enum : std::uint32_t {
    CLAP_EVENT_IS_LIVE = 1,
    CLAP_EVENT_DONT_RECORD = 2,
};

enum : std::uint16_t {
    CLAP_EVENT_NOTE_ON = 0,
    CLAP_EVENT_NOTE_OFF = 1,
    CLAP_EVENT_NOTE_CHOKE = 2,
    CLAP_EVENT_NOTE_END = 3,
    CLAP_EVENT_NOTE_EXPRESSION = 4,
    CLAP_EVENT_PARAM_VALUE = 5,
    CLAP_EVENT_PARAM_MOD = 6,
    CLAP_EVENT_PARAM_GESTURE_BEGIN = 7,
    CLAP_EVENT_PARAM_GESTURE_END = 8,
    CLAP_EVENT_TRANSPORT = 9,
    CLAP_EVENT_MIDI = 10,
    CLAP_EVENT_MIDI_SYSEX = 11,
    CLAP_EVENT_MIDI2 = 12,
};

struct clap_event_header {
    std::uint32_t size; // the whole event's bytes, header included
    std::uint32_t time; // frame within the block
    std::uint16_t space_id;
    std::uint16_t type;
    std::uint32_t flags;
};

struct clap_event_param_value {
    clap_event_header header;
    clap_id param_id;
    void* cookie;
    std::int32_t note_id; // -1 and below: wildcards
    std::int16_t port_index;
    std::int16_t channel;
    std::int16_t key;
    double value; // plain, in the parameter's own range
};

struct clap_event_param_mod {
    clap_event_header header;
    clap_id param_id;
    void* cookie;
    std::int32_t note_id;
    std::int16_t port_index;
    std::int16_t channel;
    std::int16_t key;
    double amount; // added to the plain value
};

struct clap_event_param_gesture {
    clap_event_header header;
    clap_id param_id;
};

enum : std::uint32_t {
    CLAP_TRANSPORT_HAS_TEMPO = 1,
    CLAP_TRANSPORT_HAS_BEATS_TIMELINE = 2,
    CLAP_TRANSPORT_HAS_SECONDS_TIMELINE = 4,
    CLAP_TRANSPORT_HAS_TIME_SIGNATURE = 8,
    CLAP_TRANSPORT_IS_PLAYING = 16,
    CLAP_TRANSPORT_IS_RECORDING = 32,
    CLAP_TRANSPORT_IS_LOOP_ACTIVE = 64,
    CLAP_TRANSPORT_IS_WITHIN_PRE_ROLL = 128,
};

struct clap_event_transport {
    clap_event_header header;
    std::uint32_t flags; // CLAP_TRANSPORT_… bits; a field counts only with its HAS bit
    clap_beattime song_pos_beats;
    clap_sectime song_pos_seconds;
    double tempo;     // beats per minute
    double tempo_inc; // per frame, until the next transport event
    clap_beattime loop_start_beats;
    clap_beattime loop_end_beats;
    clap_sectime loop_start_seconds;
    clap_sectime loop_end_seconds;
    clap_beattime bar_start;
    std::int32_t bar_number;
    std::uint16_t tsig_num;
    std::uint16_t tsig_denom;
};

struct clap_input_events {
    void* ctx; // the host's
    std::uint32_t(CLAP_ABI* size)(const clap_input_events* list);
    const clap_event_header*(CLAP_ABI* get)(const clap_input_events* list, std::uint32_t index);
};

struct clap_output_events {
    void* ctx;
    bool(CLAP_ABI* try_push)(const clap_output_events* list, const clap_event_header* event); // the host copies
};

// ---- processing ----

struct clap_audio_buffer {
    float** data32; // exactly one of data32 and data64 is set
    double** data64;
    std::uint32_t channel_count;
    std::uint32_t latency;
    std::uint64_t constant_mask; // bit i: channel i holds one value throughout
};

enum : clap_process_status {
    CLAP_PROCESS_ERROR = 0,
    CLAP_PROCESS_CONTINUE = 1,
    CLAP_PROCESS_CONTINUE_IF_NOT_QUIET = 2,
    CLAP_PROCESS_TAIL = 3,
    CLAP_PROCESS_SLEEP = 4,
};

struct clap_process {
    std::int64_t steady_time; // -1 when the host keeps none
    std::uint32_t frames_count;
    const clap_event_transport* transport; // null: the host runs free
    const clap_audio_buffer* audio_inputs;
    clap_audio_buffer* audio_outputs;
    std::uint32_t audio_inputs_count;
    std::uint32_t audio_outputs_count;
    const clap_input_events* in_events;
    const clap_output_events* out_events;
};

// ---- the instance and the host ----

struct clap_plugin {
    const clap_plugin_descriptor* desc;
    void* plugin_data; // the plug-in's own
    bool(CLAP_ABI* init)(const clap_plugin* plugin);
    void(CLAP_ABI* destroy)(const clap_plugin* plugin);
    bool(CLAP_ABI* activate)(const clap_plugin* plugin, double sample_rate, std::uint32_t min_frames_count,
                             std::uint32_t max_frames_count);
    void(CLAP_ABI* deactivate)(const clap_plugin* plugin);
    bool(CLAP_ABI* start_processing)(const clap_plugin* plugin);                                    // audio thread
    void(CLAP_ABI* stop_processing)(const clap_plugin* plugin);                                     // audio thread
    void(CLAP_ABI* reset)(const clap_plugin* plugin);                                               // audio thread
    clap_process_status(CLAP_ABI* process)(const clap_plugin* plugin, const clap_process* process); // audio thread
    const void*(CLAP_ABI* get_extension)(const clap_plugin* plugin, const char* id);                // thread-safe
    void(CLAP_ABI* on_main_thread)(const clap_plugin* plugin);
};

struct clap_host {
    clap_version_t clap_version;
    void* host_data; // the host's
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void*(CLAP_ABI* get_extension)(const clap_host* host, const char* extension_id);
    void(CLAP_ABI* request_restart)(const clap_host* host);
    void(CLAP_ABI* request_process)(const clap_host* host);
    void(CLAP_ABI* request_callback)(const clap_host* host);
};

// ---- extension "clap.audio-ports" ----

inline constexpr char CLAP_EXT_AUDIO_PORTS[] = "clap.audio-ports";
inline constexpr char CLAP_PORT_MONO[] = "mono";
inline constexpr char CLAP_PORT_STEREO[] = "stereo";

enum : std::uint32_t {
    CLAP_AUDIO_PORT_IS_MAIN = 1,
    CLAP_AUDIO_PORT_SUPPORTS_64BITS = 2,
    CLAP_AUDIO_PORT_PREFERS_64BITS = 4,
    CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE = 8,
};

struct clap_audio_port_info {
    clap_id id;
    char name[CLAP_NAME_SIZE];
    std::uint32_t flags;
    std::uint32_t channel_count;
    const char* port_type;
    clap_id in_place_pair; // CLAP_INVALID_ID for none
};

struct clap_plugin_audio_ports {
    std::uint32_t(CLAP_ABI* count)(const clap_plugin* plugin, bool is_input);
    bool(CLAP_ABI* get)(const clap_plugin* plugin, std::uint32_t index, bool is_input, clap_audio_port_info* info);
};

// ---- extension "clap.params" ----

inline constexpr char CLAP_EXT_PARAMS[] = "clap.params";

enum : std::uint32_t {
    CLAP_PARAM_IS_STEPPED = 1,
    CLAP_PARAM_IS_PERIODIC = 2,
    CLAP_PARAM_IS_HIDDEN = 4,
    CLAP_PARAM_IS_READONLY = 8,
    CLAP_PARAM_IS_BYPASS = 16,
    CLAP_PARAM_IS_AUTOMATABLE = 32,
    CLAP_PARAM_IS_AUTOMATABLE_PER_NOTE_ID = 64,
    CLAP_PARAM_IS_AUTOMATABLE_PER_KEY = 128,
    CLAP_PARAM_IS_AUTOMATABLE_PER_CHANNEL = 256,
    CLAP_PARAM_IS_AUTOMATABLE_PER_PORT = 512,
    CLAP_PARAM_IS_MODULATABLE = 1024,
    CLAP_PARAM_IS_MODULATABLE_PER_NOTE_ID = 2048,
    CLAP_PARAM_IS_MODULATABLE_PER_KEY = 4096,
    CLAP_PARAM_IS_MODULATABLE_PER_CHANNEL = 8192,
    CLAP_PARAM_IS_MODULATABLE_PER_PORT = 16384,
    CLAP_PARAM_REQUIRES_PROCESS = 32768,
    CLAP_PARAM_IS_ENUM = 65536,
};

enum : std::uint32_t {
    CLAP_PARAM_RESCAN_VALUES = 1,
    CLAP_PARAM_RESCAN_TEXT = 2,
    CLAP_PARAM_RESCAN_INFO = 4,
    CLAP_PARAM_RESCAN_ALL = 8,
};

enum : std::uint32_t {
    CLAP_PARAM_CLEAR_ALL = 1,
    CLAP_PARAM_CLEAR_AUTOMATIONS = 2,
    CLAP_PARAM_CLEAR_MODULATIONS = 4,
};

struct clap_param_info {
    clap_id id; // stable forever
    std::uint32_t flags;
    void* cookie;
    char name[CLAP_NAME_SIZE];
    char module[CLAP_PATH_SIZE]; // "/"-separated group path
    double min_value;
    double max_value;
    double default_value;
};

struct clap_plugin_params {
    std::uint32_t(CLAP_ABI* count)(const clap_plugin* plugin);
    bool(CLAP_ABI* get_info)(const clap_plugin* plugin, std::uint32_t param_index, clap_param_info* param_info);
    bool(CLAP_ABI* get_value)(const clap_plugin* plugin, clap_id param_id, double* out_value);
    bool(CLAP_ABI* value_to_text)(const clap_plugin* plugin, clap_id param_id, double value, char* out_buffer,
                                  std::uint32_t out_buffer_capacity);
    bool(CLAP_ABI* text_to_value)(const clap_plugin* plugin, clap_id param_id, const char* param_value_text,
                                  double* out_value);
    void(CLAP_ABI* flush)(const clap_plugin* plugin, const clap_input_events* in, const clap_output_events* out);
};

struct clap_host_params {
    void(CLAP_ABI* rescan)(const clap_host* host, std::uint32_t flags);                  // main thread
    void(CLAP_ABI* clear)(const clap_host* host, clap_id param_id, std::uint32_t flags); // main thread
    void(CLAP_ABI* request_flush)(const clap_host* host);
};

// ---- extension "clap.state" ----

inline constexpr char CLAP_EXT_STATE[] = "clap.state";

struct clap_ostream {
    void* ctx;
    // Bytes taken, -1 on error.
    std::int64_t(CLAP_ABI* write)(const clap_ostream* stream, const void* buffer, std::uint64_t size);
};

struct clap_istream {
    void* ctx;
    // Bytes read, 0 at the end, -1 on error.
    std::int64_t(CLAP_ABI* read)(const clap_istream* stream, void* buffer, std::uint64_t size);
};

struct clap_plugin_state {
    bool(CLAP_ABI* save)(const clap_plugin* plugin, const clap_ostream* stream);
    bool(CLAP_ABI* load)(const clap_plugin* plugin, const clap_istream* stream);
};

struct clap_host_state {
    void(CLAP_ABI* mark_dirty)(const clap_host* host);
};

// ---- extension "clap.latency" ----

inline constexpr char CLAP_EXT_LATENCY[] = "clap.latency";

struct clap_plugin_latency {
    std::uint32_t(CLAP_ABI* get)(const clap_plugin* plugin);
};

struct clap_host_latency {
    void(CLAP_ABI* changed)(const clap_host* host);
};

// ---- host extensions "clap.log" and "clap.thread-check" ----

inline constexpr char CLAP_EXT_LOG[] = "clap.log";
inline constexpr char CLAP_EXT_THREAD_CHECK[] = "clap.thread-check";

enum : std::int32_t {
    CLAP_LOG_DEBUG = 0,
    CLAP_LOG_INFO = 1,
    CLAP_LOG_WARNING = 2,
    CLAP_LOG_ERROR = 3,
    CLAP_LOG_FATAL = 4,
    CLAP_LOG_HOST_MISBEHAVING = 5,
    CLAP_LOG_PLUGIN_MISBEHAVING = 6,
};

struct clap_host_log {
    void(CLAP_ABI* log)(const clap_host* host, std::int32_t severity, const char* msg);
};

struct clap_host_thread_check {
    bool(CLAP_ABI* is_main_thread)(const clap_host* host);
    bool(CLAP_ABI* is_audio_thread)(const clap_host* host);
};

// ---- layout, as measured on 64-bit targets and 32-bit Windows ----

namespace clap_layout {
#if defined(_WIN64) || defined(__x86_64__) || defined(__aarch64__)
inline constexpr bool k64 = true;
#elif defined(_WIN32)
inline constexpr bool k64 = false;
#else
#error "32-bit targets other than Windows align 64-bit fields differently and are not declared here"
#endif
constexpr std::size_t Pick(std::size_t bits64, std::size_t win32) { return k64 ? bits64 : win32; }
} // namespace clap_layout

static_assert(sizeof(void*) == (clap_layout::k64 ? 8 : 4));
static_assert(sizeof(bool) == 1);

#define CLAP_ASSERT_SIZE(type, bits64, win32, align64, alignWin32)                                                     \
    static_assert(sizeof(type) == clap_layout::Pick(bits64, win32), #type " size");                                    \
    static_assert(alignof(type) == clap_layout::Pick(align64, alignWin32), #type " alignment")
#define CLAP_ASSERT_OFFSET(type, field, bits64, win32)                                                                 \
    static_assert(offsetof(type, field) == clap_layout::Pick(bits64, win32), #type "." #field " offset")

CLAP_ASSERT_SIZE(clap_version, 12, 12, 4, 4);
CLAP_ASSERT_OFFSET(clap_version, minor, 4, 4);
CLAP_ASSERT_OFFSET(clap_version, revision, 8, 8);

CLAP_ASSERT_SIZE(clap_plugin_entry, 40, 24, 8, 4);
CLAP_ASSERT_OFFSET(clap_plugin_entry, init, 16, 12);
CLAP_ASSERT_OFFSET(clap_plugin_entry, deinit, 24, 16);
CLAP_ASSERT_OFFSET(clap_plugin_entry, get_factory, 32, 20);

CLAP_ASSERT_SIZE(clap_plugin_factory, 24, 12, 8, 4);
CLAP_ASSERT_OFFSET(clap_plugin_factory, get_plugin_descriptor, 8, 4);
CLAP_ASSERT_OFFSET(clap_plugin_factory, create_plugin, 16, 8);

CLAP_ASSERT_SIZE(clap_plugin_descriptor, 88, 48, 8, 4);
CLAP_ASSERT_OFFSET(clap_plugin_descriptor, id, 16, 12);
CLAP_ASSERT_OFFSET(clap_plugin_descriptor, name, 24, 16);
CLAP_ASSERT_OFFSET(clap_plugin_descriptor, vendor, 32, 20);
CLAP_ASSERT_OFFSET(clap_plugin_descriptor, url, 40, 24);
CLAP_ASSERT_OFFSET(clap_plugin_descriptor, manual_url, 48, 28);
CLAP_ASSERT_OFFSET(clap_plugin_descriptor, support_url, 56, 32);
CLAP_ASSERT_OFFSET(clap_plugin_descriptor, version, 64, 36);
CLAP_ASSERT_OFFSET(clap_plugin_descriptor, description, 72, 40);
CLAP_ASSERT_OFFSET(clap_plugin_descriptor, features, 80, 44);

CLAP_ASSERT_SIZE(clap_plugin, 96, 48, 8, 4);
CLAP_ASSERT_OFFSET(clap_plugin, plugin_data, 8, 4);
CLAP_ASSERT_OFFSET(clap_plugin, init, 16, 8);
CLAP_ASSERT_OFFSET(clap_plugin, destroy, 24, 12);
CLAP_ASSERT_OFFSET(clap_plugin, activate, 32, 16);
CLAP_ASSERT_OFFSET(clap_plugin, deactivate, 40, 20);
CLAP_ASSERT_OFFSET(clap_plugin, start_processing, 48, 24);
CLAP_ASSERT_OFFSET(clap_plugin, stop_processing, 56, 28);
CLAP_ASSERT_OFFSET(clap_plugin, reset, 64, 32);
CLAP_ASSERT_OFFSET(clap_plugin, process, 72, 36);
CLAP_ASSERT_OFFSET(clap_plugin, get_extension, 80, 40);
CLAP_ASSERT_OFFSET(clap_plugin, on_main_thread, 88, 44);

CLAP_ASSERT_SIZE(clap_host, 88, 48, 8, 4);
CLAP_ASSERT_OFFSET(clap_host, host_data, 16, 12);
CLAP_ASSERT_OFFSET(clap_host, name, 24, 16);
CLAP_ASSERT_OFFSET(clap_host, vendor, 32, 20);
CLAP_ASSERT_OFFSET(clap_host, url, 40, 24);
CLAP_ASSERT_OFFSET(clap_host, version, 48, 28);
CLAP_ASSERT_OFFSET(clap_host, get_extension, 56, 32);
CLAP_ASSERT_OFFSET(clap_host, request_restart, 64, 36);
CLAP_ASSERT_OFFSET(clap_host, request_process, 72, 40);
CLAP_ASSERT_OFFSET(clap_host, request_callback, 80, 44);

CLAP_ASSERT_SIZE(clap_process, 64, 40, 8, 8);
CLAP_ASSERT_OFFSET(clap_process, frames_count, 8, 8);
CLAP_ASSERT_OFFSET(clap_process, transport, 16, 12);
CLAP_ASSERT_OFFSET(clap_process, audio_inputs, 24, 16);
CLAP_ASSERT_OFFSET(clap_process, audio_outputs, 32, 20);
CLAP_ASSERT_OFFSET(clap_process, audio_inputs_count, 40, 24);
CLAP_ASSERT_OFFSET(clap_process, audio_outputs_count, 44, 28);
CLAP_ASSERT_OFFSET(clap_process, in_events, 48, 32);
CLAP_ASSERT_OFFSET(clap_process, out_events, 56, 36);

CLAP_ASSERT_SIZE(clap_audio_buffer, 32, 24, 8, 8);
CLAP_ASSERT_OFFSET(clap_audio_buffer, data64, 8, 4);
CLAP_ASSERT_OFFSET(clap_audio_buffer, channel_count, 16, 8);
CLAP_ASSERT_OFFSET(clap_audio_buffer, latency, 20, 12);
CLAP_ASSERT_OFFSET(clap_audio_buffer, constant_mask, 24, 16);

CLAP_ASSERT_SIZE(clap_event_header, 16, 16, 4, 4);
CLAP_ASSERT_OFFSET(clap_event_header, time, 4, 4);
CLAP_ASSERT_OFFSET(clap_event_header, space_id, 8, 8);
CLAP_ASSERT_OFFSET(clap_event_header, type, 10, 10);
CLAP_ASSERT_OFFSET(clap_event_header, flags, 12, 12);

CLAP_ASSERT_SIZE(clap_event_param_value, 56, 48, 8, 8);
CLAP_ASSERT_OFFSET(clap_event_param_value, param_id, 16, 16);
CLAP_ASSERT_OFFSET(clap_event_param_value, cookie, 24, 20);
CLAP_ASSERT_OFFSET(clap_event_param_value, note_id, 32, 24);
CLAP_ASSERT_OFFSET(clap_event_param_value, port_index, 36, 28);
CLAP_ASSERT_OFFSET(clap_event_param_value, channel, 38, 30);
CLAP_ASSERT_OFFSET(clap_event_param_value, key, 40, 32);
CLAP_ASSERT_OFFSET(clap_event_param_value, value, 48, 40);
CLAP_ASSERT_SIZE(clap_event_param_mod, 56, 48, 8, 8);
CLAP_ASSERT_OFFSET(clap_event_param_mod, amount, 48, 40);

CLAP_ASSERT_SIZE(clap_event_param_gesture, 20, 20, 4, 4);
CLAP_ASSERT_OFFSET(clap_event_param_gesture, param_id, 16, 16);

CLAP_ASSERT_SIZE(clap_event_transport, 104, 104, 8, 8);
CLAP_ASSERT_OFFSET(clap_event_transport, flags, 16, 16);
CLAP_ASSERT_OFFSET(clap_event_transport, song_pos_beats, 24, 24);
CLAP_ASSERT_OFFSET(clap_event_transport, song_pos_seconds, 32, 32);
CLAP_ASSERT_OFFSET(clap_event_transport, tempo, 40, 40);
CLAP_ASSERT_OFFSET(clap_event_transport, tempo_inc, 48, 48);
CLAP_ASSERT_OFFSET(clap_event_transport, loop_start_beats, 56, 56);
CLAP_ASSERT_OFFSET(clap_event_transport, loop_end_beats, 64, 64);
CLAP_ASSERT_OFFSET(clap_event_transport, loop_start_seconds, 72, 72);
CLAP_ASSERT_OFFSET(clap_event_transport, loop_end_seconds, 80, 80);
CLAP_ASSERT_OFFSET(clap_event_transport, bar_start, 88, 88);
CLAP_ASSERT_OFFSET(clap_event_transport, bar_number, 96, 96);
CLAP_ASSERT_OFFSET(clap_event_transport, tsig_num, 100, 100);
CLAP_ASSERT_OFFSET(clap_event_transport, tsig_denom, 102, 102);

CLAP_ASSERT_SIZE(clap_input_events, 24, 12, 8, 4);
CLAP_ASSERT_OFFSET(clap_input_events, size, 8, 4);
CLAP_ASSERT_OFFSET(clap_input_events, get, 16, 8);
CLAP_ASSERT_SIZE(clap_output_events, 16, 8, 8, 4);
CLAP_ASSERT_OFFSET(clap_output_events, try_push, 8, 4);

CLAP_ASSERT_SIZE(clap_audio_port_info, 288, 276, 8, 4);
CLAP_ASSERT_OFFSET(clap_audio_port_info, name, 4, 4);
CLAP_ASSERT_OFFSET(clap_audio_port_info, flags, 260, 260);
CLAP_ASSERT_OFFSET(clap_audio_port_info, channel_count, 264, 264);
CLAP_ASSERT_OFFSET(clap_audio_port_info, port_type, 272, 268);
CLAP_ASSERT_OFFSET(clap_audio_port_info, in_place_pair, 280, 272);
CLAP_ASSERT_SIZE(clap_plugin_audio_ports, 16, 8, 8, 4);
CLAP_ASSERT_OFFSET(clap_plugin_audio_ports, get, 8, 4);

CLAP_ASSERT_SIZE(clap_param_info, 1320, 1320, 8, 8);
CLAP_ASSERT_OFFSET(clap_param_info, flags, 4, 4);
CLAP_ASSERT_OFFSET(clap_param_info, cookie, 8, 8);
CLAP_ASSERT_OFFSET(clap_param_info, name, 16, 12);
CLAP_ASSERT_OFFSET(clap_param_info, module, 272, 268);
CLAP_ASSERT_OFFSET(clap_param_info, min_value, 1296, 1296);
CLAP_ASSERT_OFFSET(clap_param_info, max_value, 1304, 1304);
CLAP_ASSERT_OFFSET(clap_param_info, default_value, 1312, 1312);

CLAP_ASSERT_SIZE(clap_plugin_params, 48, 24, 8, 4);
CLAP_ASSERT_OFFSET(clap_plugin_params, get_info, 8, 4);
CLAP_ASSERT_OFFSET(clap_plugin_params, get_value, 16, 8);
CLAP_ASSERT_OFFSET(clap_plugin_params, value_to_text, 24, 12);
CLAP_ASSERT_OFFSET(clap_plugin_params, text_to_value, 32, 16);
CLAP_ASSERT_OFFSET(clap_plugin_params, flush, 40, 20);
CLAP_ASSERT_SIZE(clap_host_params, 24, 12, 8, 4);
CLAP_ASSERT_OFFSET(clap_host_params, clear, 8, 4);
CLAP_ASSERT_OFFSET(clap_host_params, request_flush, 16, 8);

CLAP_ASSERT_SIZE(clap_ostream, 16, 8, 8, 4);
CLAP_ASSERT_OFFSET(clap_ostream, write, 8, 4);
CLAP_ASSERT_SIZE(clap_istream, 16, 8, 8, 4);
CLAP_ASSERT_OFFSET(clap_istream, read, 8, 4);
CLAP_ASSERT_SIZE(clap_plugin_state, 16, 8, 8, 4);
CLAP_ASSERT_OFFSET(clap_plugin_state, load, 8, 4);
CLAP_ASSERT_SIZE(clap_host_state, 8, 4, 8, 4);

CLAP_ASSERT_SIZE(clap_plugin_latency, 8, 4, 8, 4);
CLAP_ASSERT_SIZE(clap_host_latency, 8, 4, 8, 4);
CLAP_ASSERT_SIZE(clap_host_log, 8, 4, 8, 4);
CLAP_ASSERT_SIZE(clap_host_thread_check, 16, 8, 8, 4);
CLAP_ASSERT_OFFSET(clap_host_thread_check, is_audio_thread, 8, 4);

#undef CLAP_ASSERT_SIZE
#undef CLAP_ASSERT_OFFSET
