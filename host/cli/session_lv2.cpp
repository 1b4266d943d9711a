// The LV2 session: the first plug-in of a bundle folder, through lilv.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include <lilv/lilv.h>
#include <lv2/core/lv2.h>
#include <lv2/port-props/port-props.h>
#include <lv2/state/state.h>
#include <lv2/units/units.h>

#include "host/cli/error.h"
#include "host/cli/session_formats.h"
#include "host/lv2/lv2host.h"

namespace cli {

namespace {

constexpr char kMagic[9] = "LV2STATE";
constexpr char kRdfType[] = "http://www.w3.org/1999/02/22-rdf-syntax-ns#type";

using lv2host::Node;
using lv2host::PortInfo;

std::string AsText(const LilvNode* node) {
    if (!node) return "";
    if (lilv_node_is_uri(node)) {
        // File URIs read better as paths.
        if (char* path = lilv_file_uri_parse(lilv_node_as_uri(node), nullptr)) {
            std::string text = path;
            lilv_free(path);
            return text;
        }
        return lilv_node_as_uri(node);
    }
    return lilv_node_as_string(node) ? lilv_node_as_string(node) : "";
}

std::vector<std::string> Texts(const LilvNodes* nodes) {
    std::vector<std::string> texts;
    LILV_FOREACH(nodes, i, nodes)
    texts.push_back(AsText(lilv_nodes_get(nodes, i)));
    return texts;
}

std::string JsonList(const std::vector<std::string>& texts) {
    std::string json = "[";
    for (std::size_t k = 0; k < texts.size(); ++k) json += (k ? ", " : "") + Json(texts[k]);
    return json + "]";
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) joined += (joined.empty() ? "" : " ") + text;
    return joined.empty() ? "none" : joined;
}

// "-10", "0.5": a range end as a person writes it.
std::string Short(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

const char* KindName(PortInfo::Kind kind) {
    switch (kind) {
    case PortInfo::kAudio: return "audio";
    case PortInfo::kControl: return "control";
    case PortInfo::kAtom: return "atom";
    default: return "other";
    }
}

// One control input as a parameter: its range and how a host shows it.
struct Control {
    const PortInfo* port;
    double minimum, maximum;
    int steps;                                         // pprops:rangeSteps, 0 for a continuous port
    bool integer;                                      // lv2:integer, lv2:enumeration or lv2:toggled
    std::vector<std::pair<float, std::string>> points; // scale points
    std::string unit;                                  // the unit's symbol where lilv knows it

    // The value the plug-in makes of plain, which it takes as normalised
    // float as the formats with normalised values do: on its steps, or a
    // whole number.
    double Shown(double plain) const {
        const double value = minimum + static_cast<double>(NormalisedOf(minimum, maximum, plain)) * (maximum - minimum);
        if (integer) return std::floor(value + 0.5);
        if (steps < 2) return value;
        const double step = (maximum - minimum) / (steps - 1);
        return minimum + std::floor((value - minimum) / step + 0.5) * step;
    }
};

class Lv2Session final : public PluginSession {
public:
    Lv2Session(const std::string& bundle, double rate, int block)
        : PluginSession(bundle), world_(EmptyFolder(bundle)), rate_(rate), maxBlock_(std::max(block, 1)) {
        plugin_ = FirstPlugin(bundle);
        uri_ = lilv_node_as_uri(lilv_plugin_get_uri(plugin_));
        std::string error;
        instance_ = lv2host::Instance::Create(world_, plugin_, {rate, maxBlock_, true}, error);
        if (!instance_) throw Error("cannot make an instance of " + uri_ + " from " + bundle + ": " + error);
        for (const PortInfo& port : instance_->ports()) {
            if (port.kind == PortInfo::kOther && !port.optional)
                throw Error(uri_ + " has port \"" + port.symbol + "\" of a kind vstrun does not connect");
            if (port.kind == PortInfo::kControl && port.input) controls_.push_back(Describe(port));
            if (port.kind == PortInfo::kAtom && port.input && !timePort_) timePort_ = TakesTime(port);
        }
        ins_ = instance_->audioPorts(true);
        outs_ = instance_->audioPorts(false);
        scratch_.assign(static_cast<std::size_t>(maxBlock_), 0.0f);
    }

    std::string Name() override {
        const Node name(lilv_plugin_get_name(plugin_));
        return AsText(name.get());
    }
    int Inputs() const override { return static_cast<int>(ins_.size()); }
    int Outputs() const override { return static_cast<int>(outs_.size()); }
    // LV2 audio is 32-bit float only.
    bool Processes(Precision precision) const override { return precision == Precision::Single; }
    // lilv's state holds every control input's value even without the plug-in's state interface.
    bool KeepsState() const override { return true; }

    int ParameterCount() const override { return static_cast<int>(controls_.size()); }
    std::string ParameterName(int index) override { return controls_.at(index).port->name; }
    std::string ParameterSymbol(int index) override { return controls_.at(index).port->symbol; }
    Parameter ParameterAt(int index) override {
        const Control& control = controls_.at(index);
        const double shown = control.Shown(instance_->control(control.port->symbol));
        std::string display = TwoDecimals(shown);
        for (const auto& [value, label] : control.points)
            if (static_cast<double>(value) == shown) display = label;
        return {index, control.port->name, control.unit, display,
                NormalisedOf(control.minimum, control.maximum, shown)};
    }
    void SetParameter(int index, float normalised) override {
        const Control& control = controls_.at(index);
        const int steps = control.integer && control.steps < 2 ? static_cast<int>(control.maximum - control.minimum) + 1
                                                               : control.steps;
        instance_->setControl(control.port->symbol,
                              PlainFor<float>(control.minimum, control.maximum, normalised, steps));
    }

    void LoadState(const std::string& file) override {
        const std::vector<std::uint8_t> bytes = StateInFile(file, kMagic, uri_);
        if (!instance_->restoreState(std::string(bytes.begin(), bytes.end())))
            throw Error(path() + " did not accept the state in " + file);
    }

    std::vector<std::uint8_t> SaveState() override {
        const std::string text = instance_->saveState();
        if (text.empty()) throw Error("lilv could not save the state of " + uri_);
        return StateFile(kMagic, uri_, std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    void Start(double rate, int block, Precision precision) override {
        // An LV2 instance keeps the rate it was made with, and Process splits
        // what is longer than the block it was promised.
        if (rate != rate_) throw Error(uri_ + " was made for " + Short(rate_) + " Hz, not " + Short(rate));
        (void)block;
        if (precision == Precision::Double) throw Error(uri_ + " is an LV2 plug-in: LV2 has no 64-bit processing");
        instance_->activate();
        positionSent_ = false;
        if (LatencyPort()) {
            // The plug-in writes its latency output in a run, which may be empty.
            ConnectScratch();
            instance_->run(0);
        }
    }

    int Latency() override {
        const PortInfo* port = LatencyPort();
        if (!port) return 0;
        const float frames = instance_->control(port->symbol);
        return std::isfinite(frames) && frames > 0.0f ? static_cast<int>(std::lround(frames)) : 0;
    }

    void Process(float** inputs, float** outputs, int frames) override {
        for (int done = 0; done < frames;) {
            const int part = std::min(frames - done, maxBlock_);
            for (std::size_t c = 0; c < ins_.size(); ++c) instance_->connect(ins_[c], inputs[c] + done);
            for (std::size_t c = 0; c < outs_.size(); ++c) instance_->connect(outs_[c], outputs[c] + done);
            if (timePort_ && !positionSent_) {
                // Playing from the start at the host's tempo; the plug-in counts on from there.
                lv2host::Position position;
                position.tempo = 120.0f;
                position.beatsPerBar = 4.0f;
                position.beatUnit = 4;
                position.speed = 1.0f;
                position.bar = 0;
                position.barBeat = 0.0f;
                position.beat = 0.0;
                instance_->sendPosition(0, position);
                positionSent_ = true;
            }
            instance_->run(static_cast<std::uint32_t>(part));
            done += part;
        }
    }
    void Process(double**, double**, int) override {
        throw Error(uri_ + " is an LV2 plug-in: LV2 has no 64-bit processing");
    }

    void Stop() override { instance_->deactivate(); }

    std::vector<Fact> Describe() override {
        const Node author(lilv_plugin_get_author_name(plugin_));
        const Node type(lilv_new_uri(world_.lilv(), kRdfType));
        const Node minor(lilv_new_uri(world_.lilv(), LV2_CORE__minorVersion));
        const Node micro(lilv_new_uri(world_.lilv(), LV2_CORE__microVersion));
        const Node license(lilv_new_uri(world_.lilv(), "http://usefulinc.com/ns/doap#license"));
        std::vector<std::string> classes;
        for (const std::string& uri : Values(type.get()))
            if (uri.rfind(LV2_CORE_PREFIX, 0) == 0 && uri != LV2_CORE__Plugin)
                classes.push_back(uri.substr(std::string(LV2_CORE_PREFIX).size()));
        const long minorVersion = Whole(minor.get()), microVersion = Whole(micro.get());
        const std::vector<std::string> licenses = Values(license.get());
        LilvNodes* required = lilv_plugin_get_required_features(plugin_);
        LilvNodes* optional = lilv_plugin_get_optional_features(plugin_);
        LilvNodes* extensions = lilv_plugin_get_extension_data(plugin_);
        const std::vector<std::string> requiredList = Texts(required), optionalList = Texts(optional),
                                       extensionList = Texts(extensions);
        lilv_nodes_free(required);
        lilv_nodes_free(optional);
        lilv_nodes_free(extensions);

        Fact ports{"ports", std::to_string(instance_->ports().size()), {}, {}};
        std::string portsJson = "[";
        for (const PortInfo& port : instance_->ports()) {
            std::string line = "  " + Padded(std::to_string(port.index), 4, true) + "  " + Padded(port.symbol, 14) +
                               "  " + Padded(std::string(KindName(port.kind)) + (port.input ? " in" : " out"), 11) +
                               "  " + port.name;
            std::string json = "{\"index\": " + std::to_string(port.index) + ", \"symbol\": " + Json(port.symbol) +
                               ", \"name\": " + Json(port.name) + ", \"type\": " + Json(KindName(port.kind)) +
                               ", \"input\": " + (port.input ? "true" : "false");
            if (port.kind == PortInfo::kControl && std::isfinite(port.minimum) && std::isfinite(port.maximum)) {
                line += " (" + Short(port.minimum) + " to " + Short(port.maximum) + ", default " +
                        Short(port.defaultValue) + ")";
                json += ", \"minimum\": " + Number(port.minimum) + ", \"maximum\": " + Number(port.maximum) +
                        ", \"default\": " + Number(port.defaultValue);
            }
            if (port.optional) line += " optional";
            ports.lines.push_back(line);
            portsJson += (portsJson.size() > 1 ? ", " : "") + json +
                         ", \"optional\": " + (port.optional ? "true" : "false") + "}";
        }
        ports.json.emplace_back("ports", portsJson + "]");

        const PortInfo* latency = LatencyPort();
        return {TextFact("effect", "effect", Name()),
                TextFact("URI", "uri", uri_),
                TextFact("author", "author", AsText(author.get())),
                {"version",
                 std::to_string(minorVersion) + "." + std::to_string(microVersion) + " (minor, micro)",
                 {},
                 {{"minorVersion", std::to_string(minorVersion)}, {"microVersion", std::to_string(microVersion)}}},
                {"classes", Joined(classes), {}, {{"classes", JsonList(classes)}}},
                {"license", Joined(licenses), {}, {{"license", JsonList(licenses)}}},
                TextFact("binary", "binary", AsText(lilv_plugin_get_library_uri(plugin_))),
                WholeFact("inputs", "inputs", Inputs()),
                WholeFact("outputs", "outputs", Outputs()),
                ports,
                {"needs", Joined(requiredList), {}, {{"requiredFeatures", JsonList(requiredList)}}},
                {"can use", Joined(optionalList), {}, {{"optionalFeatures", JsonList(optionalList)}}},
                {"extension data", Joined(extensionList), {}, {{"extensionData", JsonList(extensionList)}}},
                {"latency port",
                 latency ? latency->symbol : "none",
                 {},
                 {{"latencyPort", latency ? Json(latency->symbol) : "null"}}}};
    }

private:
    // lilv is pointed at a folder holding no bundle, so that no installed
    // copy of the plug-in can hide the one named.
    static std::string EmptyFolder(const std::string& bundle) {
        std::error_code error;
        if (!std::filesystem::is_directory(bundle, error))
            throw Error(bundle + (std::filesystem::exists(bundle, error) ? " is not an LV2 bundle: one is a folder"
                                                                         : ": no such LV2 bundle folder"));
        return (std::filesystem::path(bundle) / "Contents-none").string();
    }

    const LilvPlugin* FirstPlugin(const std::string& bundle) {
        char* absolute = realpath(bundle.c_str(), nullptr);
        if (!absolute) throw Error("cannot read " + bundle);
        std::string folder = absolute;
        std::free(absolute);
        if (folder.back() != '/') folder += '/';
        if (!std::filesystem::exists(folder + "manifest.ttl"))
            throw Error(bundle + " is not an LV2 bundle: it has no manifest.ttl");
        const Node uri(lilv_new_file_uri(world_.lilv(), nullptr, folder.c_str()));
        lilv_world_load_bundle(world_.lilv(), uri.get());
        const LilvPlugins* all = lilv_world_get_all_plugins(world_.lilv());
        LILV_FOREACH(plugins, i, all) {
            const LilvPlugin* plugin = lilv_plugins_get(all, i);
            if (lilv_node_equals(lilv_plugin_get_bundle_uri(plugin), uri.get())) {
                if (!lilv_plugin_verify(plugin))
                    throw Error(bundle + " describes " + lilv_node_as_uri(lilv_plugin_get_uri(plugin)) +
                                " incompletely (it lacks a name, a binary or a port's description)");
                return plugin;
            }
        }
        throw Error(bundle + " is an LV2 bundle without a plug-in");
    }

    Control Describe(const PortInfo& port) const {
        Control control{&port, port.minimum, port.maximum, 0, false, {}, {}};
        if (!std::isfinite(control.minimum) || !std::isfinite(control.maximum) || control.maximum <= control.minimum) {
            control.minimum = 0.0;
            control.maximum = 1.0;
        }
        const LilvPort* lilvPort = lilv_plugin_get_port_by_index(plugin_, port.index);
        LilvWorld* world = world_.lilv();
        const Node rangeSteps(lilv_new_uri(world, LV2_PORT_PROPS__rangeSteps));
        if (LilvNodes* steps = lilv_port_get_value(plugin_, lilvPort, rangeSteps.get())) {
            const LilvNode* first = lilv_nodes_get_first(steps);
            if (lilv_node_is_int(first) || lilv_node_is_float(first))
                control.steps = static_cast<int>(lilv_node_as_float(first));
            lilv_nodes_free(steps);
        }
        for (const char* property : {LV2_CORE__integer, LV2_CORE__enumeration, LV2_CORE__toggled}) {
            const Node node(lilv_new_uri(world, property));
            control.integer = control.integer || lilv_port_has_property(plugin_, lilvPort, node.get());
        }
        if (LilvScalePoints* points = lilv_port_get_scale_points(plugin_, lilvPort)) {
            LILV_FOREACH(scale_points, i, points) {
                const LilvScalePoint* point = lilv_scale_points_get(points, i);
                control.points.emplace_back(lilv_node_as_float(lilv_scale_point_get_value(point)),
                                            AsText(lilv_scale_point_get_label(point)));
            }
            lilv_scale_points_free(points);
        }
        const Node unitKey(lilv_new_uri(world, LV2_UNITS__unit)), symbolKey(lilv_new_uri(world, LV2_UNITS__symbol));
        if (LilvNodes* units = lilv_port_get_value(plugin_, lilvPort, unitKey.get())) {
            const Node symbol(lilv_world_get(world, lilv_nodes_get_first(units), symbolKey.get(), nullptr));
            if (symbol) control.unit = AsText(symbol.get());
            lilv_nodes_free(units);
        }
        return control;
    }

    bool TakesTime(const PortInfo& port) const {
        const LilvPort* lilvPort = lilv_plugin_get_port_by_index(plugin_, port.index);
        const Node position(lilv_new_uri(world_.lilv(), "http://lv2plug.in/ns/ext/time#Position"));
        return lilv_port_supports_event(plugin_, lilvPort, position.get());
    }

    const PortInfo* LatencyPort() const {
        if (!lilv_plugin_has_latency(plugin_)) return nullptr;
        const std::uint32_t index = lilv_plugin_get_latency_port_index(plugin_);
        return index < instance_->ports().size() ? &instance_->ports()[index] : nullptr;
    }

    void ConnectScratch() {
        for (std::uint32_t port : ins_) instance_->connect(port, scratch_.data());
        for (std::uint32_t port : outs_) instance_->connect(port, scratch_.data());
    }

    std::vector<std::string> Values(const LilvNode* predicate) const {
        LilvNodes* nodes = lilv_plugin_get_value(plugin_, predicate);
        std::vector<std::string> texts = Texts(nodes);
        lilv_nodes_free(nodes);
        return texts;
    }

    long Whole(const LilvNode* predicate) const {
        LilvNodes* nodes = lilv_plugin_get_value(plugin_, predicate);
        const LilvNode* first = nodes ? lilv_nodes_get_first(nodes) : nullptr;
        const long value = first && lilv_node_is_int(first) ? lilv_node_as_int(first) : 0;
        lilv_nodes_free(nodes);
        return value;
    }

    static std::string Padded(const std::string& text, std::size_t width, bool right = false) {
        if (text.size() >= width) return text;
        const std::string fill(width - text.size(), ' ');
        return right ? fill + text : text + fill;
    }

    lv2host::World world_;
    const double rate_;
    const int maxBlock_;
    const LilvPlugin* plugin_ = nullptr;
    std::string uri_;
    std::unique_ptr<lv2host::Instance> instance_;
    std::vector<Control> controls_;
    std::vector<std::uint32_t> ins_, outs_;
    std::vector<float> scratch_;
    bool timePort_ = false, positionSent_ = false;
};

} // namespace

std::unique_ptr<PluginSession> OpenLv2Session(const std::string& bundle, double rate, int block) {
    return std::make_unique<Lv2Session>(bundle, rate, block);
}

} // namespace cli
