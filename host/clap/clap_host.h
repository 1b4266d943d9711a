// A small CLAP host: loads a .clap module through its clap_entry, answers and
// logs a plug-in's requests, and drives an instance through the interface
// only (lifecycle, processing with events and transport, parameters, state).
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "plugin/clap/clap_abi.h"

namespace vsthost::clap {

// A loaded module, its entry initialised; deinitialised and unloaded on destruction.
class Module {
public:
    explicit Module(const std::string& path);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    bool ok() const { return entry_ != nullptr; }
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }
    // The exported entry, whatever init answered; null when the symbol is missing.
    const clap_plugin_entry* entry() const { return rawEntry_; }
    // The plug-in factory, null when the module is not ok or has none.
    const clap_plugin_factory* factory() const;
    // Descriptors by index, as the factory lists them.
    std::vector<const clap_plugin_descriptor*> descriptors() const;

private:
    std::string path_;
    std::string error_;
    void* handle_ = nullptr;
    const clap_plugin_entry* rawEntry_ = nullptr;
    const clap_plugin_entry* entry_ = nullptr; // set once init answered true
};

// The host side of instances: its answers and a log of what the plug-in asked.
class Host {
public:
    Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    const clap_host* get() const { return &host_; }
    clap_host& raw() { return host_; } // for tests of bad hosts

    // Which host extensions it offers.
    bool offerParams = true;
    bool offerState = true;
    bool offerLog = true;
    bool offerThreadCheck = true;
    bool logCalls = true;

    // What the plug-in asked, in order: "get_extension <id>", "params.rescan <flags>",
    // "params.clear <id> <flags>", "params.request_flush", "state.mark_dirty",
    // "log <severity> <message>", "request_restart", "request_process", "request_callback".
    std::vector<std::string> calls() const;
    std::size_t count(const std::string& call) const; // calls equal to call
    void clearCalls();

private:
    void record(std::string call) const;
    static Host& From(const clap_host* host);

    static const void* CLAP_ABI GetExtension(const clap_host* host, const char* id);
    static void CLAP_ABI RequestRestart(const clap_host* host);
    static void CLAP_ABI RequestProcess(const clap_host* host);
    static void CLAP_ABI RequestCallback(const clap_host* host);
    static void CLAP_ABI Rescan(const clap_host* host, std::uint32_t flags);
    static void CLAP_ABI Clear(const clap_host* host, clap_id id, std::uint32_t flags);
    static void CLAP_ABI RequestFlush(const clap_host* host);
    static void CLAP_ABI MarkDirty(const clap_host* host);
    static void CLAP_ABI Log(const clap_host* host, std::int32_t severity, const char* message);
    static bool CLAP_ABI IsMainThread(const clap_host* host);
    static bool CLAP_ABI IsAudioThread(const clap_host* host);

    clap_host host_{};
    clap_host_params params_{};
    clap_host_state state_{};
    clap_host_log log_{};
    clap_host_thread_check threadCheck_{};
    std::thread::id mainThread_;
    mutable std::mutex mutex_;
    mutable std::vector<std::string> calls_;
};

// Input events owned by the host: copies of whole events, each kept 8-byte aligned.
class EventList {
public:
    EventList() = default;
    EventList(const EventList&) = delete;
    EventList& operator=(const EventList&) = delete;

    // Copies size bytes; the copy is at least as long as the header's size field claims.
    void add(const void* event, std::size_t size);
    template <class Event>
    void add(const Event& event) {
        add(&event, sizeof event);
    }
    void addParamValue(std::uint32_t time, clap_id id, double value);
    void clear() { events_.clear(); }
    std::size_t size() const { return events_.size(); }
    const clap_input_events* input() const;

private:
    static std::uint32_t CLAP_ABI Size(const clap_input_events* list);
    static const clap_event_header* CLAP_ABI Get(const clap_input_events* list, std::uint32_t index);

    std::vector<std::vector<std::uint64_t>> events_;
    mutable clap_input_events input_{};
};

clap_event_param_value ParamValueEvent(std::uint32_t time, clap_id id, double value);

// Events a plug-in pushes, copied.
class OutputEvents {
public:
    OutputEvents() = default;
    OutputEvents(const OutputEvents&) = delete;
    OutputEvents& operator=(const OutputEvents&) = delete;

    const clap_output_events* output() const;
    std::size_t size() const { return pushed_.size(); }

private:
    static bool CLAP_ABI TryPush(const clap_output_events* list, const clap_event_header* event);
    std::vector<std::vector<std::uint8_t>> pushed_;
    mutable clap_output_events output_{};
};

// A host's ends of the state streams, with partial transfers and errors to order.
struct OutStream {
    std::vector<std::uint8_t> bytes;
    std::size_t maxPerCall = std::numeric_limits<std::size_t>::max(); // 0: takes nothing
    std::int64_t failAt = -1; // a write that would take this byte offset answers -1
    std::size_t calls = 0;
    const clap_ostream* stream();

private:
    static std::int64_t CLAP_ABI Write(const clap_ostream* stream, const void* buffer, std::uint64_t size);
    clap_ostream stream_{};
};

struct InStream {
    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
    std::size_t maxPerCall = std::numeric_limits<std::size_t>::max();
    std::int64_t failAt = -1; // a read that would deliver this byte offset answers -1
    std::size_t calls = 0;
    const clap_istream* stream();

private:
    static std::int64_t CLAP_ABI Read(const clap_istream* stream, void* buffer, std::uint64_t size);
    clap_istream stream_{};
};

// One plug-in instance; on destruction it is stopped, deactivated and
// destroyed in the interface's order.
class Instance {
public:
    // Creates the plug-in with the given ID, or the factory's first.
    Instance(const Module& module, Host& host, const char* pluginId = nullptr);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool ok() const { return plugin_ != nullptr; }
    const clap_plugin* plugin() const { return plugin_; }

    // Lifecycle. init also looks up the plug-in's extensions.
    bool init();
    bool activate(double sampleRate = 44100.0, std::uint32_t minFrames = 1, std::uint32_t maxFrames = 4096);
    void deactivate();
    bool startProcessing();
    void stopProcessing();
    // init (once), activate and start processing.
    bool start(double sampleRate = 44100.0, std::uint32_t maxFrames = 4096);
    // Calls destroy now, whatever the state.
    void destroy();

    const clap_plugin_params* params() const { return params_; }
    const clap_plugin_state* state() const { return state_; }
    const clap_plugin_audio_ports* audioPorts() const { return audioPorts_; }
    const clap_plugin_latency* latency() const { return latency_; }

    // One stereo input and one stereo output port; events and transport optional.
    clap_process_status process(float* const* inputs, float* const* outputs, std::uint32_t frames,
                                const EventList* events = nullptr, const clap_event_transport* transport = nullptr);
    clap_process_status process(double* const* inputs, double* const* outputs, std::uint32_t frames,
                                const EventList* events = nullptr, const clap_event_transport* transport = nullptr);
    // Whole channels; all four of one length.
    clap_process_status process(std::vector<std::vector<float>>& inputs, std::vector<std::vector<float>>& outputs,
                                const EventList* events = nullptr, const clap_event_transport* transport = nullptr);
    clap_process_status process(std::vector<std::vector<double>>& inputs, std::vector<std::vector<double>>& outputs,
                                const EventList* events = nullptr, const clap_event_transport* transport = nullptr);
    clap_process_status process(const clap_process& call) { return plugin_->process(plugin_, &call); }

    // Parameters; nullopt where the plug-in answers false.
    std::uint32_t paramCount() const;
    std::optional<clap_param_info> paramInfo(std::uint32_t index) const;
    std::optional<double> value(clap_id id) const;
    std::optional<std::string> valueToText(clap_id id, double value, std::uint32_t capacity = 256) const;
    std::optional<double> textToValue(clap_id id, const std::string& text) const;
    void flush(const EventList& events);

    // State, whole or through streams set up by the caller.
    std::optional<std::vector<std::uint8_t>> save();
    bool save(OutStream& stream);
    bool load(const std::vector<std::uint8_t>& bytes);
    bool load(InStream& stream);

private:
    template <class Sample>
    clap_process_status processWith(Sample* const* inputs, Sample* const* outputs, std::uint32_t frames,
                                    const EventList* events, const clap_event_transport* transport);

    const clap_plugin* plugin_ = nullptr;
    const clap_plugin_params* params_ = nullptr;
    const clap_plugin_state* state_ = nullptr;
    const clap_plugin_audio_ports* audioPorts_ = nullptr;
    const clap_plugin_latency* latency_ = nullptr;
    bool initialised_ = false, active_ = false, processing_ = false;
    std::int64_t steadyTime_ = 0;
    EventList noEvents_;
    OutputEvents outEvents_;
};

} // namespace vsthost::clap
