// A small LV2 host over lilv: loads one bundle, makes instances of its
// plug-in with urid:map and the block-length option, connects and runs them,
// sends host time, and saves and restores their state as lilv does.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

namespace lv2host {

// URIs to URIDs and back, for the urid:map and urid:unmap features.
class UridMap {
public:
    UridMap();
    UridMap(const UridMap&) = delete;
    UridMap& operator=(const UridMap&) = delete;

    LV2_URID map(const char* uri);
    const char* unmap(LV2_URID urid) const; // null for an unknown URID
    LV2_URID_Map* mapFeature() { return &map_; }
    LV2_URID_Unmap* unmapFeature() { return &unmap_; }

private:
    mutable std::mutex mutex_;
    std::deque<std::string> uris_; // URID n is uris_[n - 1]; a deque keeps their addresses
    std::unordered_map<std::string, LV2_URID> urids_;
    LV2_URID_Map map_;
    LV2_URID_Unmap unmap_;
};

// An owned lilv node.
class Node {
public:
    explicit Node(LilvNode* node = nullptr) : node_(node) {}
    ~Node() { lilv_node_free(node_); }
    Node(Node&& other) noexcept : node_(other.node_) { other.node_ = nullptr; }
    Node& operator=(Node&&) = delete;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    LilvNode* get() const { return node_; }
    explicit operator bool() const { return node_ != nullptr; }

private:
    LilvNode* node_;
};

class World {
public:
    // Loads the bundles on searchPath (directories separated by ':'; empty:
    // lilv's default path), for the LV2 vocabularies that name classes and
    // units. A copy of the plug-in found there hides the one loadPlugin asks
    // for, so tests pass the vocabularies' directory only.
    explicit World(const std::string& searchPath = {});
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // Loads the bundle in directory and answers its plug-in uri, or null
    // with a message in error.
    const LilvPlugin* loadPlugin(const std::string& directory, const std::string& uri, std::string& error);

    LilvWorld* lilv() const { return world_; }
    UridMap& urids() { return urids_; }
    Node uri(const char* text) const { return Node(lilv_new_uri(world_, text)); }

private:
    LilvWorld* world_;
    UridMap urids_;
};

struct PortInfo {
    enum Kind { kAudio, kControl, kAtom, kOther };
    std::uint32_t index = 0;
    std::string symbol;
    std::string name;
    Kind kind = kOther;
    bool input = false;
    bool optional = false; // lv2:connectionOptional
    float minimum = 0.0f;  // NaN where the description gives none
    float maximum = 0.0f;
    float defaultValue = 0.0f;
};

// The properties of one time:Position event; each is sent only when set.
struct Position {
    std::optional<float> tempo;       // time:beatsPerMinute
    std::optional<float> beatsPerBar; // time:beatsPerBar
    std::optional<std::int32_t> beatUnit;
    std::optional<float> speed;
    std::optional<std::int64_t> bar;
    std::optional<float> barBeat;
    std::optional<double> beat;
};

struct InstanceOptions {
    double sampleRate = 48000.0;
    std::int32_t maxBlockLength = 4096; // 0: no options feature
    bool map = true;                    // false: neither urid:map nor urid:unmap
};

class Instance {
public:
    // Instantiates plugin with its control inputs at their defaults, its
    // atom ports on buffers of its own, its audio ports unconnected. Null
    // with a message in error when the plug-in refuses.
    static std::unique_ptr<Instance> Create(World& world, const LilvPlugin* plugin, const InstanceOptions& options,
                                            std::string& error);
    ~Instance(); // deactivates first where active
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    const std::vector<PortInfo>& ports() const { return ports_; }
    const PortInfo* port(const std::string& symbol) const;
    std::vector<std::uint32_t> audioPorts(bool input) const;

    // The value a control input port holds for the next run; false for no such port.
    bool setControl(const std::string& symbol, float value);
    float control(const std::string& symbol) const;

    // Connects port index to the caller's buffer (null disconnects).
    void connect(std::uint32_t index, void* data);
    // Queues a time:Position event at frame for the next run's atom inputs.
    void sendPosition(std::uint32_t frame, const Position& position);

    void activate();
    void deactivate();
    void run(std::uint32_t frames);

    // The plug-in's state with the control inputs' values, as Turtle text;
    // empty when lilv could not make it.
    std::string saveState();
    // Restores such text through lilv: the plug-in's state, then the ports'
    // values. False when the text is no state.
    bool restoreState(const std::string& text);

    LilvInstance* lilv() const { return instance_; }
    const void* extensionData(const char* uri) const { return lilv_instance_get_extension_data(instance_, uri); }

private:
    Instance(World& world, const LilvPlugin* plugin) : world_(world), plugin_(plugin) {}
    void prepareAtoms();
    static const void* PortValue(const char* symbol, void* user, std::uint32_t* size, std::uint32_t* type);
    static void SetPortValue(const char* symbol, void* user, const void* value, std::uint32_t size, std::uint32_t type);

    World& world_;
    const LilvPlugin* plugin_;
    LilvInstance* instance_ = nullptr;
    bool active_ = false;
    bool mapped_ = false;
    std::vector<PortInfo> ports_;
    std::vector<float> controls_; // by port index
    std::unordered_map<std::uint32_t, std::vector<std::uint64_t>> atoms_;
    std::vector<std::pair<std::uint32_t, Position>> pending_;
    LV2_Atom_Forge forge_{};
    LV2_URID floatType_ = 0, position_ = 0, bpm_ = 0, perBar_ = 0, unit_ = 0, speed_ = 0, bar_ = 0, barBeat_ = 0,
             beat_ = 0;
    std::int32_t maxBlock_ = 0;
    std::vector<LV2_Options_Option> options_;
    std::vector<LV2_Feature> featureData_;
    std::vector<const LV2_Feature*> features_;
};

} // namespace lv2host
