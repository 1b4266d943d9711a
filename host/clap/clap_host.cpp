#include "host/clap/clap_host.h"

#include <algorithm>
#include <cstring>

#include "host/module.h"

namespace vsthost::clap {

// ---- Module ----

Module::Module(const std::string& path) : path_(path) {
    handle_ = module::Open(path, error_);
    if (!handle_) return;
    rawEntry_ = static_cast<const clap_plugin_entry*>(module::Symbol(handle_, "clap_entry"));
    if (!rawEntry_) {
        error_ = "no clap_entry in " + path;
        return;
    }
    if (!clap_version_is_compatible(rawEntry_->clap_version)) {
        error_ = "incompatible interface version " + std::to_string(rawEntry_->clap_version.major);
        return;
    }
    if (!rawEntry_->init || !rawEntry_->init(path.c_str())) {
        error_ = "clap_entry.init failed";
        return;
    }
    entry_ = rawEntry_;
}

Module::~Module() {
    if (entry_ && entry_->deinit) entry_->deinit();
    module::Close(handle_);
}

const clap_plugin_factory* Module::factory() const {
    if (!entry_ || !entry_->get_factory) return nullptr;
    return static_cast<const clap_plugin_factory*>(entry_->get_factory(CLAP_PLUGIN_FACTORY_ID));
}

std::vector<const clap_plugin_descriptor*> Module::descriptors() const {
    std::vector<const clap_plugin_descriptor*> found;
    const clap_plugin_factory* f = factory();
    if (!f) return found;
    const std::uint32_t count = f->get_plugin_count(f);
    for (std::uint32_t i = 0; i < count; ++i) found.push_back(f->get_plugin_descriptor(f, i));
    return found;
}

// ---- Host ----

Host::Host() : mainThread_(std::this_thread::get_id()) {
    host_.clap_version = CLAP_VERSION;
    host_.host_data = this;
    host_.name = "vsthost";
    host_.vendor = "Morvantide";
    host_.url = "";
    host_.version = "1.0.0";
    host_.get_extension = GetExtension;
    host_.request_restart = RequestRestart;
    host_.request_process = RequestProcess;
    host_.request_callback = RequestCallback;
    params_ = {Rescan, Clear, RequestFlush};
    state_ = {MarkDirty};
    log_ = {Log};
    threadCheck_ = {IsMainThread, IsAudioThread};
}

Host& Host::From(const clap_host* host) { return *static_cast<Host*>(host->host_data); }

void Host::record(std::string call) const {
    if (!logCalls) return;
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
}

std::vector<std::string> Host::calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

std::size_t Host::count(const std::string& call) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<std::size_t>(std::count(calls_.begin(), calls_.end(), call));
}

void Host::clearCalls() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
}

const void* CLAP_ABI Host::GetExtension(const clap_host* host, const char* id) {
    Host& self = From(host);
    self.record(std::string("get_extension ") + (id ? id : "(null)"));
    if (!id) return nullptr;
    const std::string name = id;
    if (name == CLAP_EXT_PARAMS && self.offerParams) return &self.params_;
    if (name == CLAP_EXT_STATE && self.offerState) return &self.state_;
    if (name == CLAP_EXT_LOG && self.offerLog) return &self.log_;
    if (name == CLAP_EXT_THREAD_CHECK && self.offerThreadCheck) return &self.threadCheck_;
    return nullptr;
}

void CLAP_ABI Host::RequestRestart(const clap_host* host) { From(host).record("request_restart"); }
void CLAP_ABI Host::RequestProcess(const clap_host* host) { From(host).record("request_process"); }
void CLAP_ABI Host::RequestCallback(const clap_host* host) { From(host).record("request_callback"); }

void CLAP_ABI Host::Rescan(const clap_host* host, std::uint32_t flags) {
    From(host).record("params.rescan " + std::to_string(flags));
}

void CLAP_ABI Host::Clear(const clap_host* host, clap_id id, std::uint32_t flags) {
    From(host).record("params.clear " + std::to_string(id) + " " + std::to_string(flags));
}

void CLAP_ABI Host::RequestFlush(const clap_host* host) { From(host).record("params.request_flush"); }
void CLAP_ABI Host::MarkDirty(const clap_host* host) { From(host).record("state.mark_dirty"); }

void CLAP_ABI Host::Log(const clap_host* host, std::int32_t severity, const char* message) {
    From(host).record("log " + std::to_string(severity) + " " + (message ? message : "(null)"));
}

bool CLAP_ABI Host::IsMainThread(const clap_host* host) { return std::this_thread::get_id() == From(host).mainThread_; }

// Whatever is not the main thread counts as the audio thread.
bool CLAP_ABI Host::IsAudioThread(const clap_host* host) { return !IsMainThread(host); }

// ---- events ----

void EventList::add(const void* event, std::size_t size) {
    std::size_t claimed = 0;
    if (size >= sizeof(clap_event_header)) {
        clap_event_header header;
        std::memcpy(&header, event, sizeof header);
        claimed = header.size;
    }
    // Never shorter than the size field says: a plug-in may read that far.
    const std::size_t bytes = std::max(size, claimed);
    std::vector<std::uint64_t> words((bytes + 7) / 8 + 1, 0);
    if (size > 0) std::memcpy(words.data(), event, size);
    events_.push_back(std::move(words));
}

void EventList::addParamValue(std::uint32_t time, clap_id id, double value) { add(ParamValueEvent(time, id, value)); }

const clap_input_events* EventList::input() const {
    input_ = {const_cast<EventList*>(this), Size, Get};
    return &input_;
}

std::uint32_t CLAP_ABI EventList::Size(const clap_input_events* list) {
    return static_cast<std::uint32_t>(static_cast<const EventList*>(list->ctx)->events_.size());
}

const clap_event_header* CLAP_ABI EventList::Get(const clap_input_events* list, std::uint32_t index) {
    const auto& events = static_cast<const EventList*>(list->ctx)->events_;
    return index < events.size() ? reinterpret_cast<const clap_event_header*>(events[index].data()) : nullptr;
}

clap_event_param_value ParamValueEvent(std::uint32_t time, clap_id id, double value) {
    clap_event_param_value event{};
    event.header.size = sizeof event;
    event.header.time = time;
    event.header.space_id = CLAP_CORE_EVENT_SPACE_ID;
    event.header.type = CLAP_EVENT_PARAM_VALUE;
    event.header.flags = 0;
    event.param_id = id;
    event.cookie = nullptr;
    event.note_id = -1;
    event.port_index = -1;
    event.channel = -1;
    event.key = -1;
    event.value = value;
    return event;
}

const clap_output_events* OutputEvents::output() const {
    output_ = {const_cast<OutputEvents*>(this), TryPush};
    return &output_;
}

bool CLAP_ABI OutputEvents::TryPush(const clap_output_events* list, const clap_event_header* event) {
    if (!event || event->size < sizeof(clap_event_header)) return false;
    auto* self = static_cast<OutputEvents*>(list->ctx);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(event);
    self->pushed_.emplace_back(bytes, bytes + event->size);
    return true;
}

// ---- streams ----

const clap_ostream* OutStream::stream() {
    stream_ = {this, Write};
    return &stream_;
}

std::int64_t CLAP_ABI OutStream::Write(const clap_ostream* stream, const void* buffer, std::uint64_t size) {
    auto* self = static_cast<OutStream*>(stream->ctx);
    ++self->calls;
    const std::uint64_t n = std::min<std::uint64_t>(size, self->maxPerCall);
    if (self->failAt >= 0 && self->bytes.size() + n > static_cast<std::uint64_t>(self->failAt)) return -1;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    self->bytes.insert(self->bytes.end(), bytes, bytes + n);
    return static_cast<std::int64_t>(n);
}

const clap_istream* InStream::stream() {
    stream_ = {this, Read};
    return &stream_;
}

std::int64_t CLAP_ABI InStream::Read(const clap_istream* stream, void* buffer, std::uint64_t size) {
    auto* self = static_cast<InStream*>(stream->ctx);
    ++self->calls;
    const std::uint64_t left = self->bytes.size() - self->position;
    const std::uint64_t n = std::min<std::uint64_t>({size, self->maxPerCall, left});
    if (self->failAt >= 0 && self->position + n > static_cast<std::uint64_t>(self->failAt)) return -1;
    if (n > 0) std::memcpy(buffer, self->bytes.data() + self->position, static_cast<std::size_t>(n));
    self->position += static_cast<std::size_t>(n);
    return static_cast<std::int64_t>(n);
}

// ---- Instance ----

Instance::Instance(const Module& module, Host& host, const char* pluginId) {
    const clap_plugin_factory* factory = module.factory();
    if (!factory) return;
    std::string id;
    if (pluginId) {
        id = pluginId;
    } else {
        const clap_plugin_descriptor* first = factory->get_plugin_descriptor(factory, 0);
        if (!first || !first->id) return;
        id = first->id;
    }
    plugin_ = factory->create_plugin(factory, host.get(), id.c_str());
}

Instance::~Instance() { destroy(); }

void Instance::destroy() {
    if (!plugin_) return;
    if (processing_) stopProcessing();
    if (active_) deactivate();
    plugin_->destroy(plugin_);
    plugin_ = nullptr;
    params_ = nullptr;
    state_ = nullptr;
    audioPorts_ = nullptr;
    latency_ = nullptr;
    initialised_ = active_ = processing_ = false;
}

bool Instance::init() {
    if (!plugin_ || !plugin_->init(plugin_)) return false;
    initialised_ = true;
    params_ = static_cast<const clap_plugin_params*>(plugin_->get_extension(plugin_, CLAP_EXT_PARAMS));
    state_ = static_cast<const clap_plugin_state*>(plugin_->get_extension(plugin_, CLAP_EXT_STATE));
    audioPorts_ = static_cast<const clap_plugin_audio_ports*>(plugin_->get_extension(plugin_, CLAP_EXT_AUDIO_PORTS));
    latency_ = static_cast<const clap_plugin_latency*>(plugin_->get_extension(plugin_, CLAP_EXT_LATENCY));
    return true;
}

bool Instance::activate(double sampleRate, std::uint32_t minFrames, std::uint32_t maxFrames) {
    if (!plugin_ || !plugin_->activate(plugin_, sampleRate, minFrames, maxFrames)) return false;
    active_ = true;
    return true;
}

void Instance::deactivate() {
    if (!plugin_) return;
    plugin_->deactivate(plugin_);
    active_ = false;
}

bool Instance::startProcessing() {
    if (!plugin_ || !plugin_->start_processing(plugin_)) return false;
    processing_ = true;
    return true;
}

void Instance::stopProcessing() {
    if (!plugin_) return;
    plugin_->stop_processing(plugin_);
    processing_ = false;
}

bool Instance::start(double sampleRate, std::uint32_t maxFrames) {
    if (!initialised_ && !init()) return false;
    return activate(sampleRate, 1, maxFrames) && startProcessing();
}

template <class Sample>
clap_process_status Instance::processWith(Sample* const* inputs, Sample* const* outputs, std::uint32_t frames,
                                          const EventList* events, const clap_event_transport* transport) {
    Sample* in[2] = {inputs[0], inputs[1]};
    Sample* out[2] = {outputs[0], outputs[1]};
    clap_audio_buffer input{}, output{};
    if constexpr (sizeof(Sample) == sizeof(double)) {
        input.data64 = in;
        output.data64 = out;
    } else {
        input.data32 = in;
        output.data32 = out;
    }
    input.channel_count = output.channel_count = 2;
    clap_process call{};
    call.steady_time = steadyTime_;
    call.frames_count = frames;
    call.transport = transport;
    call.audio_inputs = &input;
    call.audio_outputs = &output;
    call.audio_inputs_count = call.audio_outputs_count = 1;
    call.in_events = (events ? events : &noEvents_)->input();
    call.out_events = outEvents_.output();
    const clap_process_status status = plugin_->process(plugin_, &call);
    steadyTime_ += frames;
    return status;
}

clap_process_status Instance::process(float* const* inputs, float* const* outputs, std::uint32_t frames,
                                      const EventList* events, const clap_event_transport* transport) {
    return processWith(inputs, outputs, frames, events, transport);
}

clap_process_status Instance::process(double* const* inputs, double* const* outputs, std::uint32_t frames,
                                      const EventList* events, const clap_event_transport* transport) {
    return processWith(inputs, outputs, frames, events, transport);
}

clap_process_status Instance::process(std::vector<std::vector<float>>& inputs, std::vector<std::vector<float>>& outputs,
                                      const EventList* events, const clap_event_transport* transport) {
    float* in[2] = {inputs[0].data(), inputs[1].data()};
    float* out[2] = {outputs[0].data(), outputs[1].data()};
    return processWith(in, out, static_cast<std::uint32_t>(inputs[0].size()), events, transport);
}

clap_process_status Instance::process(std::vector<std::vector<double>>& inputs,
                                      std::vector<std::vector<double>>& outputs, const EventList* events,
                                      const clap_event_transport* transport) {
    double* in[2] = {inputs[0].data(), inputs[1].data()};
    double* out[2] = {outputs[0].data(), outputs[1].data()};
    return processWith(in, out, static_cast<std::uint32_t>(inputs[0].size()), events, transport);
}

std::uint32_t Instance::paramCount() const { return params_ ? params_->count(plugin_) : 0; }

std::optional<clap_param_info> Instance::paramInfo(std::uint32_t index) const {
    clap_param_info info{};
    if (!params_ || !params_->get_info(plugin_, index, &info)) return std::nullopt;
    return info;
}

std::optional<double> Instance::value(clap_id id) const {
    double v = 0.0;
    if (!params_ || !params_->get_value(plugin_, id, &v)) return std::nullopt;
    return v;
}

std::optional<std::string> Instance::valueToText(clap_id id, double value, std::uint32_t capacity) const {
    std::vector<char> text(capacity + 1, '\x7f'); // one byte past the capacity shows an overrun
    if (!params_ || !params_->value_to_text(plugin_, id, value, text.data(), capacity)) return std::nullopt;
    if (text[capacity] != '\x7f') return std::string("(overrun)");
    const auto end = std::find(text.begin(), text.begin() + capacity, '\0');
    if (end == text.begin() + capacity) return std::string("(unterminated)");
    return std::string(text.begin(), end);
}

std::optional<double> Instance::textToValue(clap_id id, const std::string& text) const {
    double v = 0.0;
    if (!params_ || !params_->text_to_value(plugin_, id, text.c_str(), &v)) return std::nullopt;
    return v;
}

void Instance::flush(const EventList& events) {
    if (params_) params_->flush(plugin_, events.input(), outEvents_.output());
}

std::optional<std::vector<std::uint8_t>> Instance::save() {
    OutStream stream;
    if (!save(stream)) return std::nullopt;
    return stream.bytes;
}

bool Instance::save(OutStream& stream) { return state_ && state_->save(plugin_, stream.stream()); }

bool Instance::load(const std::vector<std::uint8_t>& bytes) {
    InStream stream;
    stream.bytes = bytes;
    return load(stream);
}

bool Instance::load(InStream& stream) { return state_ && state_->load(plugin_, stream.stream()); }

} // namespace vsthost::clap
