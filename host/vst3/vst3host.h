// A small VST3 host: loads a bundle's module and calls its entry, offers the
// objects a host hands a plug-in (streams, parameter changes, event list,
// host application, component handler) and drives one plug-in object
// through its interfaces only.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/vst3/vst3_abi.h"

namespace vst3host {

using namespace ::vst3;

// The bundle's folder for this target: x86_64-linux, x86_64-win or x86-win.
const char* BundleArchitecture();
// The module inside a bundle folder: <bundle>/Contents/<architecture>/<name>.so (.vst3 on Windows).
std::string BundleBinary(const std::string& bundle);

// ASCII in and out of the interface's UTF-16 text; other units read as '?'.
std::string Narrow(const char16* text, std::size_t capacity);
void Widen(std::string_view text, char16* target, std::size_t capacity);

// One loaded module: entry called, factory held; the reverse on destruction.
class Module {
public:
    // A bundle folder (ending in .vst3 with a Contents folder) or the module file itself.
    explicit Module(const std::string& path);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    bool ok() const { return factory_ != nullptr; }
    const std::string& error() const { return error_; }
    void* symbol(const char* name) const;
    // The module's factory, with the reference this object holds.
    IPluginFactory* factory() const { return factory_; }

private:
    void* handle_ = nullptr;
    bool entered_ = false;
    IPluginFactory* factory_ = nullptr;
    std::string error_;
};

// Host objects live on the host's stack or heap; their counts show what a plug-in keeps.
template <class Interface>
class HostObject : public Interface {
public:
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (!obj) return kInvalidArgument;
        *obj = nullptr;
        if (!FUnknown::iid.Is(iid) && !Interface::iid.Is(iid)) return kNoInterface;
        addRef();
        *obj = static_cast<Interface*>(this);
        return kResultOk;
    }
    uint32 PLUGIN_API addRef() override { return references_.fetch_add(1) + 1; }
    uint32 PLUGIN_API release() override { return references_.fetch_sub(1) - 1; }
    // References the plug-in holds (the host's own are not counted).
    std::int32_t references() const { return static_cast<std::int32_t>(references_.load()); }

private:
    std::atomic<uint32> references_{0};
};

// A stream over bytes in memory, which can also read or write only part of
// each request and fail from a given position on.
class MemoryStream final : public HostObject<IBStream> {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes(std::move(bytes)) {}

    std::vector<std::uint8_t> bytes;
    std::int64_t position = 0;
    std::int32_t readLimit = 0x7FFFFFFF;  // at most this many bytes per read
    std::int32_t writeLimit = 0x7FFFFFFF; // and per write
    std::int64_t failFrom = -1;           // reads and writes at or past this position fail; -1 never

    tresult PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) override;
    tresult PLUGIN_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override;
    tresult PLUGIN_API seek(int64 pos, int32 mode, int64* result) override;
    tresult PLUGIN_API tell(int64* pos) override;
};

class ParamValueQueue final : public HostObject<IParamValueQueue> {
public:
    explicit ParamValueQueue(ParamID id) : id(id) {}

    struct Point {
        int32 offset;
        ParamValue value;
    };
    ParamID id;
    std::vector<Point> points;
    int32 failingPoint = -1; // getPoint answers kResultFalse for this index

    ParamID PLUGIN_API getParameterId() override { return id; }
    int32 PLUGIN_API getPointCount() override { return static_cast<int32>(points.size()); }
    tresult PLUGIN_API getPoint(int32 index, int32* sampleOffset, ParamValue* value) override;
    tresult PLUGIN_API addPoint(int32 sampleOffset, ParamValue value, int32* index) override;
};

class ParameterChanges final : public HostObject<IParameterChanges> {
public:
    // A point on the queue for id, created on first use.
    void add(ParamID id, int32 offset, ParamValue value);
    ParamValueQueue* queue(ParamID id);
    std::vector<std::unique_ptr<ParamValueQueue>> queues;

    int32 PLUGIN_API getParameterCount() override { return static_cast<int32>(queues.size()); }
    IParamValueQueue* PLUGIN_API getParameterData(int32 index) override;
    IParamValueQueue* PLUGIN_API addParameterData(const ParamID* id, int32* index) override;
};

// No events ever: the lists a host passes to a plug-in without event buses.
class EventList final : public HostObject<IEventList> {
public:
    int32 PLUGIN_API getEventCount() override { return 0; }
    tresult PLUGIN_API getEvent(int32, Event*) override { return kInvalidArgument; }
    tresult PLUGIN_API addEvent(Event*) override { return kResultFalse; }
};

class HostApplication final : public HostObject<IHostApplication> {
public:
    tresult PLUGIN_API getName(String128 name) override;
    tresult PLUGIN_API createInstance(TUID cid, TUID iid, void** obj) override;
};

// Records what the controller reports.
class ComponentHandler final : public HostObject<IComponentHandler> {
public:
    std::vector<ParamID> edits;
    std::vector<int32> restarts;
    tresult PLUGIN_API beginEdit(ParamID) override { return kResultOk; }
    tresult PLUGIN_API performEdit(ParamID id, ParamValue) override;
    tresult PLUGIN_API endEdit(ParamID) override { return kResultOk; }
    tresult PLUGIN_API restartComponent(int32 flags) override;
};

// One plug-in object created from a factory as a host does: the component
// first, then its processor and controller asked of it, and initialized.
class Plugin {
public:
    // The factory's class cid, or its first class when cid is null.
    explicit Plugin(IPluginFactory* factory, const char* cid = nullptr);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    bool ok() const { return component && processor && controller && initialized_; }

    HostApplication application;
    IComponent* component = nullptr;
    IAudioProcessor* processor = nullptr;
    IEditController* controller = nullptr;

    tresult setup(double rate, int32 maxBlock, int32 sampleSize = kSample32, int32 mode = kRealtime);
    // Setup, stereo arrangements, buses, setActive and setProcessing: true when every call succeeded.
    bool start(double rate = 44100.0, int32 maxBlock = 4096, int32 sampleSize = kSample32);
    void stop();

    // One process call over whole channel vectors (two in, two out), frames = the inputs' length.
    tresult process(std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out,
                    IParameterChanges* changes = nullptr, ProcessContext* context = nullptr);
    tresult process(std::vector<std::vector<double>>& in, std::vector<std::vector<double>>& out,
                    IParameterChanges* changes = nullptr, ProcessContext* context = nullptr);

    // The processor's state through a memory stream; empty when getState fails.
    std::vector<std::uint8_t> getState();
    tresult setState(const std::vector<std::uint8_t>& bytes);

    std::string parameterText(ParamID id, ParamValue normalised);

private:
    template <class Sample>
    tresult processAny(std::vector<std::vector<Sample>>& in, std::vector<std::vector<Sample>>& out,
                       IParameterChanges* changes, ProcessContext* context);
    bool initialized_ = false;
    EventList events_;
};

} // namespace vst3host
