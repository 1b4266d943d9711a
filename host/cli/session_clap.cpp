// The CLAP session: the first plug-in of a .clap module.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "host/clap/clap_host.h"
#include "host/cli/error.h"
#include "host/cli/session_formats.h"

namespace cli {

namespace {

namespace clap = vsthost::clap;

constexpr char kMagic[9] = "CLAPSTAT";
constexpr double kTempo = 120.0;

std::string Text(const char* text) { return text ? text : ""; }

std::string Flags(std::uint32_t flags) {
    static const std::pair<std::uint32_t, const char*> known[] = {
        {CLAP_AUDIO_PORT_IS_MAIN, "main"},
        {CLAP_AUDIO_PORT_SUPPORTS_64BITS, "64-bit"},
        {CLAP_AUDIO_PORT_PREFERS_64BITS, "prefers 64-bit"},
        {CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE, "common sample size"}};
    std::string names;
    for (const auto& [bit, name] : known)
        if (flags & bit) names += (names.empty() ? "" : ", ") + std::string(name);
    return names;
}

// A clap_output_events that takes every event and keeps none: a render may
// be long, and vstrun has no use for what a plug-in reports.
const clap_output_events* Discard() {
    static const clap_output_events events{nullptr,
                                           [](const clap_output_events*, const clap_event_header*) { return true; }};
    return &events;
}

class ClapSession final : public PluginSession {
public:
    ClapSession(const std::string& path, double rate, int block) : PluginSession(path), module_(Checked(path)) {
        if (!module_.ok()) throw Error("cannot load " + path + ": " + module_.error());
        const auto descriptors = module_.descriptors();
        if (descriptors.empty() || !descriptors.front() || !descriptors.front()->id)
            throw Error(path + " is a CLAP module without a plug-in");
        descriptor_ = descriptors.front();
        host_.logCalls = false;
        instance_ = std::make_unique<clap::Instance>(module_, host_, descriptor_->id);
        if (!instance_->ok()) throw Error(path + " did not create its plug-in " + descriptor_->id);
        if (!instance_->init()) throw Error("the plug-in " + Text(descriptor_->id) + " in " + path + " failed to init");
        for (bool input : {true, false}) {
            const clap_plugin_audio_ports* ports = instance_->audioPorts();
            const std::uint32_t count = ports ? ports->count(instance_->plugin(), input) : 0;
            for (std::uint32_t k = 0; k < count; ++k) {
                clap_audio_port_info info{};
                if (!ports->get(instance_->plugin(), k, input, &info))
                    throw Error(path + " gave no description of its audio port " + std::to_string(k));
                (input ? inPorts_ : outPorts_).push_back(info);
            }
        }
        for (std::uint32_t k = 0; k < instance_->paramCount(); ++k) {
            const auto info = instance_->paramInfo(k);
            if (!info) throw Error(path + " gave no description of its parameter " + std::to_string(k));
            params_.push_back(*info);
        }
        (void)rate;
        (void)block; // a CLAP plug-in learns rate and block when activated
    }

    std::string Name() override { return Text(descriptor_->name); }
    int Inputs() const override { return Channels(inPorts_); }
    int Outputs() const override { return Channels(outPorts_); }
    bool Processes(Precision precision) const override {
        if (precision == Precision::Single) return true;
        for (const auto* ports : {&inPorts_, &outPorts_})
            for (const clap_audio_port_info& port : *ports)
                if (!(port.flags & CLAP_AUDIO_PORT_SUPPORTS_64BITS)) return false;
        return true;
    }
    bool KeepsState() const override { return instance_->state() != nullptr; }

    int ParameterCount() const override { return static_cast<int>(params_.size()); }
    std::string ParameterName(int index) override { return params_.at(index).name; }
    Parameter ParameterAt(int index) override {
        const clap_param_info& info = params_.at(index);
        const double value = instance_->value(info.id).value_or(info.default_value);
        return {index, info.name, "", instance_->valueToText(info.id, value).value_or(TwoDecimals(value)),
                NormalisedOf(info.min_value, info.max_value, value)};
    }
    void SetParameter(int index, float normalised) override {
        const clap_param_info& info = params_.at(index);
        const int steps =
            info.flags & CLAP_PARAM_IS_STEPPED ? static_cast<int>(info.max_value - info.min_value) + 1 : 0;
        const double plain = PlainFor<double>(info.min_value, info.max_value, normalised, steps);
        // Between process calls a change waits for the next; otherwise flush hands it over now.
        if (processing_) {
            pending_.addParamValue(0, info.id, plain);
        } else {
            clap::EventList events;
            events.addParamValue(0, info.id, plain);
            instance_->flush(events);
        }
    }

    void LoadState(const std::string& file) override {
        const std::vector<std::uint8_t> bytes = StateInFile(file, kMagic, descriptor_->id);
        if (!KeepsState()) throw Error(path() + " keeps no state to load");
        if (!instance_->load(bytes)) throw Error(path() + " did not accept the state in " + file);
    }

    std::vector<std::uint8_t> SaveState() override {
        if (!KeepsState()) throw Error(path() + " keeps no state to save");
        const auto bytes = instance_->save();
        if (!bytes || bytes->empty()) throw Error(path() + " could not save its state");
        return StateFile(kMagic, descriptor_->id, *bytes);
    }

    void Start(double rate, int block, Precision precision) override {
        (void)precision; // each call's buffers say which
        rate_ = rate;
        if (!instance_->activate(rate, 1, static_cast<std::uint32_t>(block)))
            throw Error(path() + " refused to activate at " + std::to_string(rate) + " Hz for blocks of " +
                        std::to_string(block) + " frames");
        if (!instance_->startProcessing()) throw Error(path() + " refused to start processing");
        processing_ = true;
        position_ = 0;
    }

    int Latency() override {
        const clap_plugin_latency* latency = instance_->latency();
        return latency ? static_cast<int>(std::min<std::uint32_t>(latency->get(instance_->plugin()), 1u << 30)) : 0;
    }

    void Process(float** inputs, float** outputs, int frames) override { Run(inputs, outputs, frames); }
    void Process(double** inputs, double** outputs, int frames) override { Run(inputs, outputs, frames); }

    void Stop() override {
        if (!processing_) return;
        instance_->stopProcessing();
        instance_->deactivate();
        processing_ = false;
        pending_.clear();
    }

    std::vector<Fact> Describe() override {
        const clap_version_t& version = module_.entry()->clap_version;
        std::vector<std::string> features;
        for (const char* const* feature = descriptor_->features; feature && *feature; ++feature)
            features.push_back(*feature);
        std::string featureText, featureJson = "[";
        for (std::size_t k = 0; k < features.size(); ++k) {
            featureText += (k ? " " : "") + features[k];
            featureJson += (k ? ", " : "") + Json(features[k]);
        }

        Fact ports{"audio ports",
                   std::to_string(inPorts_.size()) + " in, " + std::to_string(outPorts_.size()) + " out",
                   {},
                   {}};
        std::string portsJson = "[";
        for (const auto* list : {&inPorts_, &outPorts_})
            for (const clap_audio_port_info& port : *list) {
                const bool input = list == &inPorts_;
                char line[512];
                std::snprintf(line, sizeof line, "  %-3s %u  %s: %u channels, %s%s%s", input ? "in" : "out", port.id,
                              port.name, port.channel_count, port.port_type ? port.port_type : "no type",
                              port.flags ? ", " : "", Flags(port.flags).c_str());
                ports.lines.push_back(line);
                portsJson += std::string(portsJson.size() > 1 ? ", " : "") +
                             "{\"input\": " + (input ? "true" : "false") + ", \"id\": " + std::to_string(port.id) +
                             ", \"name\": " + Json(port.name) +
                             ", \"channels\": " + std::to_string(port.channel_count) +
                             ", \"type\": " + (port.port_type ? Json(port.port_type) : "null") +
                             ", \"flags\": " + std::to_string(port.flags) + "}";
            }
        ports.json.emplace_back("audioPorts", portsJson + "]");

        const Fact ids = ParameterIdsFact(params_);

        const std::string interface = std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
                                      std::to_string(version.revision);
        return {TextFact("effect", "effect", Name()),
                TextFact("ID", "id", Text(descriptor_->id)),
                TextFact("vendor", "vendor", Text(descriptor_->vendor)),
                TextFact("version", "version", Text(descriptor_->version)),
                TextFact("description", "description", Text(descriptor_->description)),
                {"features", featureText.empty() ? "none" : featureText, {}, {{"features", featureJson + "]"}}},
                TextFact("CLAP version", "clapVersion", interface),
                WholeFact("inputs", "inputs", Inputs()),
                WholeFact("outputs", "outputs", Outputs()),
                ports,
                ids,
                {"state", KeepsState() ? "yes" : "no", {}, {{"state", KeepsState() ? "true" : "false"}}},
                WholeFact("latency", "latency", Latency())};
    }

private:
    static const std::string& Checked(const std::string& path) {
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            throw Error("cannot load " + path + ": a CLAP module is a file, and this is a folder");
        return path;
    }

    static int Channels(const std::vector<clap_audio_port_info>& ports) {
        int channels = 0;
        for (const clap_audio_port_info& port : ports) channels += static_cast<int>(port.channel_count);
        return channels;
    }

    // One clap_audio_buffer per port over the session's channels, in port order.
    template <class Sample>
    void Buffers(const std::vector<clap_audio_port_info>& ports, Sample** channels,
                 std::vector<clap_audio_buffer>& buffers) {
        buffers.assign(ports.size(), clap_audio_buffer{});
        int channel = 0;
        for (std::size_t k = 0; k < ports.size(); ++k) {
            if constexpr (sizeof(Sample) == sizeof(double)) buffers[k].data64 = channels + channel;
            else buffers[k].data32 = channels + channel;
            buffers[k].channel_count = ports[k].channel_count;
            channel += static_cast<int>(ports[k].channel_count);
        }
    }

    template <class Sample>
    void Run(Sample** inputs, Sample** outputs, int frames) {
        Buffers(inPorts_, inputs, inBuffers_);
        Buffers(outPorts_, outputs, outBuffers_);
        // The render position, playing at the host's tempo in 4/4.
        const double seconds = static_cast<double>(position_) / rate_;
        const double beats = seconds * kTempo / 60.0;
        clap_event_transport transport{};
        transport.header = {sizeof transport, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
        transport.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_BEATS_TIMELINE |
                          CLAP_TRANSPORT_HAS_SECONDS_TIMELINE | CLAP_TRANSPORT_HAS_TIME_SIGNATURE |
                          CLAP_TRANSPORT_IS_PLAYING;
        transport.song_pos_beats = std::llround(beats * static_cast<double>(CLAP_BEATTIME_FACTOR));
        transport.song_pos_seconds = std::llround(seconds * static_cast<double>(CLAP_SECTIME_FACTOR));
        transport.tempo = kTempo;
        transport.bar_number = static_cast<std::int32_t>(std::floor(beats / 4.0));
        transport.bar_start = static_cast<clap_beattime>(transport.bar_number) * 4 * CLAP_BEATTIME_FACTOR;
        transport.tsig_num = 4;
        transport.tsig_denom = 4;

        clap_process call{};
        call.steady_time = position_;
        call.frames_count = static_cast<std::uint32_t>(frames);
        call.transport = &transport;
        call.audio_inputs = inBuffers_.data();
        call.audio_outputs = outBuffers_.data();
        call.audio_inputs_count = static_cast<std::uint32_t>(inBuffers_.size());
        call.audio_outputs_count = static_cast<std::uint32_t>(outBuffers_.size());
        call.in_events = pending_.input();
        call.out_events = Discard();
        const clap_process_status status = instance_->process(call);
        pending_.clear();
        position_ += frames;
        if (status == CLAP_PROCESS_ERROR) throw Error(path() + " reported an error while processing");
    }

    // Declared in this order so that the instance goes before the host and the module holding its code.
    clap::Module module_;
    clap::Host host_;
    std::unique_ptr<clap::Instance> instance_;
    const clap_plugin_descriptor* descriptor_ = nullptr;
    std::vector<clap_audio_port_info> inPorts_, outPorts_;
    std::vector<clap_param_info> params_;
    std::vector<clap_audio_buffer> inBuffers_, outBuffers_;
    clap::EventList pending_;
    double rate_ = 44100.0;
    std::int64_t position_ = 0;
    bool processing_ = false;
};

} // namespace

std::unique_ptr<PluginSession> OpenClapSession(const std::string& module, double rate, int block) {
    return std::make_unique<ClapSession>(module, rate, block);
}

} // namespace cli
