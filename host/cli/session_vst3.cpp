// The VST3 session: the first audio effect class of a .vst3 bundle, one
// object that is component, processor and controller.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "host/cli/error.h"
#include "host/cli/session_formats.h"
#include "host/vst3/vst3host.h"

namespace cli {

namespace {

using namespace ::vst3;

constexpr char kMagic[9] = "VST3STAT";
constexpr char kEffectCategory[] = "Audio Module Class";
constexpr double kTempo = 120.0;

std::string Hex(const char* bytes, std::size_t count) {
    std::string text;
    char digits[3];
    for (std::size_t k = 0; k < count; ++k) {
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(bytes[k]));
        text += digits;
    }
    return text;
}

// Fixed-size text from the interface, which need not be terminated.
template <std::size_t N>
std::string Text(const char (&text)[N]) {
    return std::string(text, strnlen(text, N));
}

SpeakerArrangement Arrangement(int32 channels) {
    if (channels == 1) return SpeakerArr::kMono;
    if (channels == 2) return SpeakerArr::kStereo;
    return channels <= 0 ? SpeakerArr::kEmpty : (channels >= 64 ? ~SpeakerArrangement{0} : (1ull << channels) - 1);
}

// A bundle folder with its module where this machine's architecture looks for it.
const std::string& Checked(const std::string& bundle) {
    std::error_code error;
    if (!std::filesystem::is_directory(bundle, error))
        throw Error(bundle + (std::filesystem::exists(bundle, error) ? " is not a VST3 bundle: one is a folder"
                                                                     : ": no such VST3 bundle folder"));
    const std::string binary = vst3host::BundleBinary(bundle);
    if (!std::filesystem::exists(binary, error))
        throw Error(bundle + " is not a VST3 bundle: it has no " +
                    std::filesystem::path(binary).lexically_relative(bundle).string());
    return bundle;
}

class Vst3Session final : public PluginSession {
public:
    Vst3Session(const std::string& bundle, double rate, int block) : PluginSession(bundle), module_(Checked(bundle)) {
        if (!module_.ok()) throw Error("cannot load " + bundle + ": " + module_.error());
        IPluginFactory* factory = module_.factory();
        const int32 classes = factory->countClasses();
        for (int32 k = 0; k < classes; ++k) {
            PClassInfo info{};
            if (factory->getClassInfo(k, &info) == kResultOk && Text(info.category) == kEffectCategory) {
                classInfo_ = info;
                classIndex_ = k;
                break;
            }
        }
        if (classIndex_ < 0) throw Error(bundle + " has no audio effect class");
        identity_ = Hex(classInfo_.cid, sizeof classInfo_.cid);
        plugin_ = std::make_unique<vst3host::Plugin>(factory, classInfo_.cid);
        if (!plugin_->component || !plugin_->processor)
            throw Error(bundle + " did not create its effect " + Text(classInfo_.name));
        if (!plugin_->controller)
            throw Error(bundle + " keeps its controller apart from its component, which vstrun does not load");
        if (!plugin_->ok()) throw Error(bundle + ": the effect " + Text(classInfo_.name) + " failed to initialize");
        for (BusDirection direction : {kInput, kOutput}) {
            const int32 count = plugin_->component->getBusCount(kAudio, direction);
            for (int32 k = 0; k < count; ++k) {
                BusInfo info{};
                if (plugin_->component->getBusInfo(kAudio, direction, k, &info) != kResultOk)
                    throw Error(bundle + " gave no description of its audio bus " + std::to_string(k));
                (direction == kInput ? inBuses_ : outBuses_).push_back(info);
            }
        }
        const int32 count = plugin_->controller->getParameterCount();
        for (int32 k = 0; k < count; ++k) {
            ParameterInfo info{};
            if (plugin_->controller->getParameterInfo(k, &info) != kResultOk)
                throw Error(bundle + " gave no description of its parameter " + std::to_string(k));
            params_.push_back(info);
        }
        (void)rate;
        (void)block; // a VST3 processor learns rate and block in its setup
    }

    std::string Name() override { return Text(classInfo_.name); }
    int Inputs() const override { return Channels(inBuses_); }
    int Outputs() const override { return Channels(outBuses_); }
    bool Processes(Precision precision) const override {
        return plugin_->processor->canProcessSampleSize(precision == Precision::Double ? kSample64 : kSample32) ==
               kResultTrue;
    }
    bool KeepsState() const override { return true; }

    int ParameterCount() const override { return static_cast<int>(params_.size()); }
    std::string ParameterName(int index) override { return vst3host::Narrow(params_.at(index).title, 128); }
    Parameter ParameterAt(int index) override {
        const ParameterInfo& info = params_.at(index);
        const ParamValue value = plugin_->controller->getParamNormalized(info.id);
        return {index, ParameterName(index), vst3host::Narrow(info.units, 128), plugin_->parameterText(info.id, value),
                static_cast<float>(value)};
    }
    // The controller shows the value at once; the processor gets it with the next call.
    void SetParameter(int index, float normalised) override {
        const ParamID id = params_.at(index).id;
        plugin_->controller->setParamNormalized(id, normalised);
        changes_.add(id, 0, normalised);
    }

    void LoadState(const std::string& file) override {
        const std::vector<std::uint8_t> bytes = StateInFile(file, kMagic, identity_);
        vst3host::MemoryStream component(bytes), controller(bytes);
        if (plugin_->component->setState(&component) != kResultOk)
            throw Error(path() + " did not accept the state in " + file);
        plugin_->controller->setComponentState(&controller);
    }

    std::vector<std::uint8_t> SaveState() override {
        const std::vector<std::uint8_t> bytes = plugin_->getState();
        if (bytes.empty()) throw Error(path() + " could not save its state");
        return StateFile(kMagic, identity_, bytes);
    }

    void Start(double rate, int block, Precision precision) override {
        rate_ = rate;
        sampleSize_ = precision == Precision::Double ? kSample64 : kSample32;
        if (plugin_->setup(rate, block, sampleSize_, kOffline) != kResultOk)
            throw Error(path() + " refused to process at " + std::to_string(rate) + " Hz in blocks of " +
                        std::to_string(block) + " frames");
        std::vector<SpeakerArrangement> ins, outs;
        for (const BusInfo& bus : inBuses_) ins.push_back(Arrangement(bus.channelCount));
        for (const BusInfo& bus : outBuses_) outs.push_back(Arrangement(bus.channelCount));
        // A plug-in may refuse arrangements it has already: its buses stay as they are.
        plugin_->processor->setBusArrangements(ins.data(), static_cast<int32>(ins.size()), outs.data(),
                                               static_cast<int32>(outs.size()));
        for (BusDirection direction : {kInput, kOutput})
            for (std::size_t k = 0; k < (direction == kInput ? inBuses_ : outBuses_).size(); ++k)
                plugin_->component->activateBus(kAudio, direction, static_cast<int32>(k), 1);
        if (plugin_->component->setActive(1) != kResultOk) throw Error(path() + " refused to become active");
        if (plugin_->processor->setProcessing(1) != kResultOk) throw Error(path() + " refused to start processing");
        processing_ = true;
        position_ = 0;
        // What was set before reaches the processor now, in a call of no frames,
        // since the controller shows the processor's values once it is active.
        Flush();
    }

    int Latency() override {
        return static_cast<int>(std::min<uint32>(plugin_->processor->getLatencySamples(), 1u << 30));
    }

    void Process(float** inputs, float** outputs, int frames) override { Run(inputs, outputs, frames); }
    void Process(double** inputs, double** outputs, int frames) override { Run(inputs, outputs, frames); }

    void Stop() override {
        if (!processing_) return;
        Flush();
        plugin_->processor->setProcessing(0);
        plugin_->component->setActive(0);
        processing_ = false;
    }

    std::vector<Fact> Describe() override {
        PFactoryInfo factory{};
        module_.factory()->getFactoryInfo(&factory);
        PClassInfo2 more{};
        bool hasMore = false;
        void* object = nullptr;
        if (module_.factory()->queryInterface(IPluginFactory2::iid.bytes, &object) == kResultOk && object) {
            auto* factory2 = static_cast<IPluginFactory2*>(object);
            hasMore = factory2->getClassInfo2(classIndex_, &more) == kResultOk;
            factory2->release();
        }

        Fact buses{"audio buses",
                   std::to_string(inBuses_.size()) + " in, " + std::to_string(outBuses_.size()) + " out",
                   {},
                   {}};
        std::string busesJson = "[";
        for (const auto* list : {&inBuses_, &outBuses_})
            for (const BusInfo& bus : *list) {
                const bool input = list == &inBuses_;
                const std::string name = vst3host::Narrow(bus.name, 128);
                char line[256];
                std::snprintf(line, sizeof line, "  %-3s %s: %d channels, %s%s", input ? "in" : "out", name.c_str(),
                              bus.channelCount, bus.busType == kMain ? "main" : "aux",
                              bus.flags & BusInfo::kDefaultActive ? ", active by default" : "");
                buses.lines.push_back(line);
                busesJson += std::string(busesJson.size() > 1 ? ", " : "") +
                             "{\"input\": " + (input ? "true" : "false") + ", \"name\": " + Json(name) +
                             ", \"channels\": " + std::to_string(bus.channelCount) +
                             ", \"main\": " + (bus.busType == kMain ? "true" : "false") + "}";
            }
        buses.json.emplace_back("audioBuses", busesJson + "]");

        const Fact ids = ParameterIdsFact(params_);

        const bool doubles = Processes(Precision::Double);
        std::vector<Fact> facts = {TextFact("effect", "effect", Name()), TextFact("class ID", "classId", identity_),
                                   TextFact("vendor", "vendor", Text(factory.vendor))};
        if (!Text(factory.url).empty()) facts.push_back(TextFact("URL", "url", Text(factory.url)));
        if (hasMore) {
            facts.push_back(TextFact("version", "version", Text(more.version)));
            facts.push_back(TextFact("subcategories", "subCategories", Text(more.subCategories)));
            facts.push_back(TextFact("SDK version", "sdkVersion", Text(more.sdkVersion)));
        }
        facts.push_back(TextFact("binary", "binary", vst3host::BundleBinary(path())));
        facts.push_back(WholeFact("inputs", "inputs", Inputs()));
        facts.push_back(WholeFact("outputs", "outputs", Outputs()));
        facts.push_back(buses);
        facts.push_back(ids);
        facts.push_back({"64-bit", doubles ? "yes" : "no", {}, {{"sample64", doubles ? "true" : "false"}}});
        facts.push_back(WholeFact("latency", "latency", Latency()));
        facts.push_back(WholeFact("tail", "tailSamples", plugin_->processor->getTailSamples()));
        return facts;
    }

private:
    static int Channels(const std::vector<BusInfo>& buses) {
        int channels = 0;
        for (const BusInfo& bus : buses) channels += std::max(bus.channelCount, 0);
        return channels;
    }

    template <class Sample>
    void Run(Sample** inputs, Sample** outputs, int frames) {
        Call(inputs, outputs, frames);
        position_ += frames;
    }

    // One process call over the session's channels, bus by bus, with the
    // queued changes and the render position, playing at the host's tempo in 4/4.
    template <class Sample>
    void Call(Sample** inputs, Sample** outputs, int frames) {
        std::vector<AudioBusBuffers> in(inBuses_.size()), out(outBuses_.size());
        int channel = 0;
        for (std::size_t k = 0; k < in.size(); ++k) {
            in[k].numChannels = inBuses_[k].channelCount;
            Point(in[k], inputs ? inputs + channel : nullptr);
            channel += std::max(inBuses_[k].channelCount, 0);
        }
        channel = 0;
        for (std::size_t k = 0; k < out.size(); ++k) {
            out[k].numChannels = outBuses_[k].channelCount;
            Point(out[k], outputs ? outputs + channel : nullptr);
            channel += std::max(outBuses_[k].channelCount, 0);
        }
        const double quarters = static_cast<double>(position_) / rate_ * kTempo / 60.0;
        ProcessContext context{};
        context.state = ProcessContext::kPlaying | ProcessContext::kTempoValid | ProcessContext::kTimeSigValid |
                        ProcessContext::kProjectTimeMusicValid | ProcessContext::kBarPositionValid |
                        ProcessContext::kContTimeValid;
        context.sampleRate = rate_;
        context.projectTimeSamples = position_;
        context.continousTimeSamples = position_;
        context.projectTimeMusic = quarters;
        context.barPositionMusic = std::floor(quarters / 4.0) * 4.0;
        context.tempo = kTempo;
        context.timeSigNumerator = 4;
        context.timeSigDenominator = 4;

        ProcessData data{};
        data.processMode = kOffline;
        data.symbolicSampleSize = sizeof(Sample) == sizeof(double) ? kSample64 : kSample32;
        // A flush has no buffers: it takes the processor's own width.
        if (frames == 0) data.symbolicSampleSize = sampleSize_;
        data.numSamples = frames;
        data.numInputs = frames == 0 ? 0 : static_cast<int32>(in.size());
        data.numOutputs = frames == 0 ? 0 : static_cast<int32>(out.size());
        data.inputs = in.data();
        data.outputs = out.data();
        data.inputParameterChanges = &changes_;
        data.inputEvents = &events_;
        data.processContext = &context;
        const tresult result = plugin_->processor->process(&data);
        changes_.queues.clear();
        if (result != kResultOk) throw Error(path() + " reported an error while processing");
    }

    // Changes no call has carried yet, in a call of no frames.
    void Flush() {
        if (!changes_.queues.empty()) Call(static_cast<float**>(nullptr), static_cast<float**>(nullptr), 0);
    }

    static void Point(AudioBusBuffers& bus, float** channels) { bus.channelBuffers32 = channels; }
    static void Point(AudioBusBuffers& bus, double** channels) { bus.channelBuffers64 = channels; }

    // Declared in this order so that the plug-in goes before the module holding its code.
    vst3host::Module module_;
    std::unique_ptr<vst3host::Plugin> plugin_;
    PClassInfo classInfo_{};
    int32 classIndex_ = -1;
    std::string identity_;
    std::vector<BusInfo> inBuses_, outBuses_;
    std::vector<ParameterInfo> params_;
    vst3host::ParameterChanges changes_;
    vst3host::EventList events_;
    double rate_ = 44100.0;
    int32 sampleSize_ = kSample32;
    std::int64_t position_ = 0;
    bool processing_ = false;
};

} // namespace

std::unique_ptr<PluginSession> OpenVst3Session(const std::string& bundle, double rate, int block) {
    return std::make_unique<Vst3Session>(bundle, rate, block);
}

} // namespace cli
