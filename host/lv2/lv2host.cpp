#include "host/lv2/lv2host.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

namespace lv2host {

namespace {

constexpr std::size_t kAtomBufferBytes = 64 * 1024;
constexpr char kStateUri[] = "urn:lv2host:state";

void Forge(LV2_Atom_Forge& forge, float value) { lv2_atom_forge_float(&forge, value); }
void Forge(LV2_Atom_Forge& forge, double value) { lv2_atom_forge_double(&forge, value); }
void Forge(LV2_Atom_Forge& forge, std::int32_t value) { lv2_atom_forge_int(&forge, value); }
void Forge(LV2_Atom_Forge& forge, std::int64_t value) { lv2_atom_forge_long(&forge, value); }

template <class T>
void Property(LV2_Atom_Forge& forge, LV2_URID key, const std::optional<T>& value) {
    if (!value) return;
    lv2_atom_forge_key(&forge, key);
    Forge(forge, *value);
}

} // namespace

// ---- UridMap ----

UridMap::UridMap() {
    map_.handle = this;
    map_.map = [](LV2_URID_Map_Handle handle, const char* uri) { return static_cast<UridMap*>(handle)->map(uri); };
    unmap_.handle = this;
    unmap_.unmap = [](LV2_URID_Unmap_Handle handle, LV2_URID urid) {
        return static_cast<UridMap*>(handle)->unmap(urid);
    };
}

LV2_URID UridMap::map(const char* uri) {
    if (!uri) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = urids_.find(uri);
    if (found != urids_.end()) return found->second;
    uris_.emplace_back(uri);
    const auto urid = static_cast<LV2_URID>(uris_.size());
    urids_.emplace(uris_.back(), urid);
    return urid;
}

const char* UridMap::unmap(LV2_URID urid) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return urid >= 1 && urid <= uris_.size() ? uris_[urid - 1].c_str() : nullptr;
}

// ---- World ----

World::World(const std::string& searchPath) : world_(lilv_world_new()) {
    if (!searchPath.empty()) {
        LilvNode* path = lilv_new_string(world_, searchPath.c_str());
        lilv_world_set_option(world_, LILV_OPTION_LV2_PATH, path);
        lilv_node_free(path);
    }
    lilv_world_load_all(world_);
}

World::~World() { lilv_world_free(world_); }

const LilvPlugin* World::loadPlugin(const std::string& directory, const std::string& uri, std::string& error) {
    char* absolute = realpath(directory.c_str(), nullptr);
    if (!absolute) {
        error = "no bundle at " + directory;
        return nullptr;
    }
    std::string path = absolute;
    std::free(absolute);
    if (path.back() != '/') path += '/';
    const Node bundle(lilv_new_file_uri(world_, nullptr, path.c_str()));
    lilv_world_load_bundle(world_, bundle.get());
    const Node pluginUri(lilv_new_uri(world_, uri.c_str()));
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), pluginUri.get());
    if (!plugin) {
        error = "no plug-in " + uri + " in " + path;
        return nullptr;
    }
    if (!lilv_node_equals(lilv_plugin_get_bundle_uri(plugin), bundle.get())) {
        error = "plug-in " + uri + " comes from " + lilv_node_as_uri(lilv_plugin_get_bundle_uri(plugin)) +
                ", not from " + path;
        return nullptr;
    }
    return plugin;
}

// ---- Instance ----

std::unique_ptr<Instance> Instance::Create(World& world, const LilvPlugin* plugin, const InstanceOptions& options,
                                           std::string& error) {
    if (!plugin) {
        error = "no plug-in";
        return nullptr;
    }
    std::unique_ptr<Instance> self(new Instance(world, plugin));
    LilvWorld* lilv = world.lilv();
    const Node audio(lilv_new_uri(lilv, LV2_CORE__AudioPort)), control(lilv_new_uri(lilv, LV2_CORE__ControlPort)),
        atom(lilv_new_uri(lilv, LV2_ATOM__AtomPort)), input(lilv_new_uri(lilv, LV2_CORE__InputPort)),
        optional(lilv_new_uri(lilv, LV2_CORE__connectionOptional));

    const std::uint32_t count = lilv_plugin_get_num_ports(plugin);
    std::vector<float> minimum(count), maximum(count), defaults(count);
    lilv_plugin_get_port_ranges_float(plugin, minimum.data(), maximum.data(), defaults.data());
    self->controls_.assign(count, 0.0f);
    for (std::uint32_t i = 0; i < count; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        PortInfo info;
        info.index = i;
        info.symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
        const Node name(lilv_port_get_name(plugin, port));
        if (name) info.name = lilv_node_as_string(name.get());
        info.input = lilv_port_is_a(plugin, port, input.get());
        info.optional = lilv_port_has_property(plugin, port, optional.get());
        info.kind = lilv_port_is_a(plugin, port, audio.get())     ? PortInfo::kAudio
                    : lilv_port_is_a(plugin, port, control.get()) ? PortInfo::kControl
                    : lilv_port_is_a(plugin, port, atom.get())    ? PortInfo::kAtom
                                                                  : PortInfo::kOther;
        info.minimum = minimum[i];
        info.maximum = maximum[i];
        info.defaultValue = defaults[i];
        if (info.kind == PortInfo::kControl && std::isfinite(info.defaultValue)) self->controls_[i] = info.defaultValue;
        self->ports_.push_back(std::move(info));
    }

    // Features, pointing into the instance, which stays where it is.
    UridMap& urids = world.urids();
    self->mapped_ = options.map;
    self->maxBlock_ = options.maxBlockLength;
    if (options.map) {
        self->featureData_.push_back({LV2_URID__map, urids.mapFeature()});
        self->featureData_.push_back({LV2_URID__unmap, urids.unmapFeature()});
        if (options.maxBlockLength > 0) {
            self->options_.push_back({LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__maxBlockLength),
                                      sizeof(std::int32_t), urids.map(LV2_ATOM__Int), &self->maxBlock_});
            self->options_.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});
            self->featureData_.push_back({LV2_OPTIONS__options, self->options_.data()});
            self->featureData_.push_back({LV2_BUF_SIZE__boundedBlockLength, nullptr});
        }
        lv2_atom_forge_init(&self->forge_, urids.mapFeature());
        self->floatType_ = urids.map(LV2_ATOM__Float);
        self->position_ = urids.map(LV2_TIME__Position);
        self->bpm_ = urids.map(LV2_TIME__beatsPerMinute);
        self->perBar_ = urids.map(LV2_TIME__beatsPerBar);
        self->unit_ = urids.map(LV2_TIME__beatUnit);
        self->speed_ = urids.map(LV2_TIME__speed);
        self->bar_ = urids.map(LV2_TIME__bar);
        self->barBeat_ = urids.map(LV2_TIME__barBeat);
        self->beat_ = urids.map(LV2_TIME__beat);
    }
    for (const LV2_Feature& feature : self->featureData_) self->features_.push_back(&feature);
    self->features_.push_back(nullptr);

    self->instance_ = lilv_plugin_instantiate(plugin, options.sampleRate, self->features_.data());
    if (!self->instance_) {
        error = "the plug-in refused to instantiate";
        return nullptr;
    }
    for (const PortInfo& info : self->ports_) {
        if (info.kind == PortInfo::kControl) {
            lilv_instance_connect_port(self->instance_, info.index, &self->controls_[info.index]);
        } else if (info.kind == PortInfo::kAtom) {
            auto& buffer = self->atoms_[info.index];
            buffer.assign(kAtomBufferBytes / sizeof(std::uint64_t), 0);
            lilv_instance_connect_port(self->instance_, info.index, buffer.data());
        }
    }
    return self;
}

Instance::~Instance() {
    if (!instance_) return;
    if (active_) lilv_instance_deactivate(instance_);
    lilv_instance_free(instance_);
}

const PortInfo* Instance::port(const std::string& symbol) const {
    for (const PortInfo& info : ports_)
        if (info.symbol == symbol) return &info;
    return nullptr;
}

std::vector<std::uint32_t> Instance::audioPorts(bool input) const {
    std::vector<std::uint32_t> indexes;
    for (const PortInfo& info : ports_)
        if (info.kind == PortInfo::kAudio && info.input == input) indexes.push_back(info.index);
    return indexes;
}

bool Instance::setControl(const std::string& symbol, float value) {
    const PortInfo* info = port(symbol);
    if (!info || info->kind != PortInfo::kControl || !info->input) return false;
    controls_[info->index] = value;
    return true;
}

float Instance::control(const std::string& symbol) const {
    const PortInfo* info = port(symbol);
    return info && info->kind == PortInfo::kControl ? controls_[info->index] : 0.0f;
}

void Instance::connect(std::uint32_t index, void* data) { lilv_instance_connect_port(instance_, index, data); }

void Instance::sendPosition(std::uint32_t frame, const Position& position) { pending_.emplace_back(frame, position); }

void Instance::activate() {
    if (active_) return;
    lilv_instance_activate(instance_);
    active_ = true;
}

void Instance::deactivate() {
    if (!active_) return;
    lilv_instance_deactivate(instance_);
    active_ = false;
}

// Inputs get the queued events (an empty sequence without any); outputs
// their whole capacity, as the atom extension asks of a host.
void Instance::prepareAtoms() {
    for (auto& [index, buffer] : atoms_) {
        auto* bytes = reinterpret_cast<std::uint8_t*>(buffer.data());
        const std::size_t capacity = buffer.size() * sizeof(std::uint64_t);
        auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(bytes);
        if (!ports_[index].input) {
            sequence->atom.type = 0;
            sequence->atom.size = static_cast<std::uint32_t>(capacity - sizeof(LV2_Atom));
            continue;
        }
        if (!mapped_) {
            // Without a map there is no URID for a sequence: an empty atom.
            sequence->atom = {0, 0};
            continue;
        }
        lv2_atom_forge_set_buffer(&forge_, bytes, capacity);
        LV2_Atom_Forge_Frame frame;
        lv2_atom_forge_sequence_head(&forge_, &frame, 0);
        for (const auto& [at, position] : pending_) {
            lv2_atom_forge_frame_time(&forge_, at);
            LV2_Atom_Forge_Frame object;
            lv2_atom_forge_object(&forge_, &object, 0, position_);
            Property(forge_, bpm_, position.tempo);
            Property(forge_, perBar_, position.beatsPerBar);
            Property(forge_, unit_, position.beatUnit);
            Property(forge_, speed_, position.speed);
            Property(forge_, bar_, position.bar);
            Property(forge_, barBeat_, position.barBeat);
            Property(forge_, beat_, position.beat);
            lv2_atom_forge_pop(&forge_, &object);
        }
        lv2_atom_forge_pop(&forge_, &frame);
    }
    pending_.clear();
}

void Instance::run(std::uint32_t frames) {
    prepareAtoms();
    lilv_instance_run(instance_, frames);
}

const void* Instance::PortValue(const char* symbol, void* user, std::uint32_t* size, std::uint32_t* type) {
    auto* self = static_cast<Instance*>(user);
    const PortInfo* info = self->port(symbol);
    if (!info || info->kind != PortInfo::kControl) return nullptr;
    *size = sizeof(float);
    *type = self->floatType_;
    return &self->controls_[info->index];
}

void Instance::SetPortValue(const char* symbol, void* user, const void* value, std::uint32_t size, std::uint32_t type) {
    auto* self = static_cast<Instance*>(user);
    const PortInfo* info = self->port(symbol);
    if (!info || info->kind != PortInfo::kControl || !info->input || type != self->floatType_ || size != sizeof(float))
        return;
    std::memcpy(&self->controls_[info->index], value, sizeof(float));
}

std::string Instance::saveState() {
    if (!mapped_) return {};
    UridMap& urids = world_.urids();
    LilvState* state =
        lilv_state_new_from_instance(plugin_, instance_, urids.mapFeature(), nullptr, nullptr, nullptr, nullptr,
                                     PortValue, this, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features_.data());
    if (!state) return {};
    char* text =
        lilv_state_to_string(world_.lilv(), urids.mapFeature(), urids.unmapFeature(), state, kStateUri, nullptr);
    lilv_state_free(state);
    if (!text) return {};
    std::string result = text;
    lilv_free(text);
    return result;
}

bool Instance::restoreState(const std::string& text) {
    if (!mapped_) return false;
    LilvState* state = lilv_state_new_from_string(world_.lilv(), world_.urids().mapFeature(), text.c_str());
    if (!state) return false;
    lilv_state_restore(state, instance_, SetPortValue, this, 0, features_.data());
    lilv_state_free(state);
    return true;
}

} // namespace lv2host
