// Declarations of the VST3 binary interface a minimal effect and its host
// use: basic types, result codes, interface IDs, the interfaces as classes of
// pure virtual methods (one table pointer per interface, methods in table
// order) and the structures they pass, with their sizes and offsets asserted
// for 64-bit Linux, 64-bit Windows and 32-bit Windows. Declarations only.
//
// Arguments the published declarations take by reference are declared here
// as pointers: they are passed as pointers, and a pointer lets the callee
// check a host's null.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
// Without it i686 mingw passes the object in ECX (thiscall), which no host expects.
#define PLUGIN_API __stdcall
#else
#define PLUGIN_API
#endif

namespace vst3 {

// ---- basic types ----

using int8 = char;
using uint8 = std::uint8_t;
using int16 = std::int16_t;
using uint16 = std::uint16_t;
using int32 = std::int32_t;
using uint32 = std::uint32_t;
using int64 = std::int64_t;
using uint64 = std::uint64_t;
using tresult = int32;
using TBool = uint8;
using char8 = char;
using char16 = char16_t; // UTF-16 on every platform, never wchar_t
using TChar = char16;
using String128 = TChar[128];
using TUID = char[16];
using FIDString = const char8*;
using ParamID = uint32;
using ParamValue = double;
using SampleRate = double;
using Sample32 = float;
using Sample64 = double;
using TSamples = int64;
using TQuarterNotes = double;
using SpeakerArrangement = uint64;
using Speaker = uint64;
using MediaType = int32;
using BusDirection = int32;
using BusType = int32;
using IoMode = int32;
using UnitID = int32;

inline constexpr ParamID kNoParamId = 0xFFFFFFFF;

// ---- result codes: COM values on Windows, small numbers elsewhere ----

#if defined(_WIN32)
inline constexpr tresult kNoInterface = static_cast<tresult>(0x80004002);
inline constexpr tresult kResultOk = 0;
inline constexpr tresult kResultTrue = kResultOk;
inline constexpr tresult kResultFalse = 1;
inline constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057);
inline constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001);
inline constexpr tresult kInternalError = static_cast<tresult>(0x80004005);
inline constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFF);
inline constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000E);
#else
inline constexpr tresult kNoInterface = -1;
inline constexpr tresult kResultOk = 0;
inline constexpr tresult kResultTrue = kResultOk;
inline constexpr tresult kResultFalse = 1;
inline constexpr tresult kInvalidArgument = 2;
inline constexpr tresult kNotImplemented = 3;
inline constexpr tresult kInternalError = 4;
inline constexpr tresult kNotInitialized = 5;
inline constexpr tresult kOutOfMemory = 6;
#endif

// ---- interface and class IDs ----

// An ID as the four 32-bit numbers of its text form, laid out in memory by
// the platform's rule: all four big-endian on Linux; on Windows the first
// little-endian and the halves of the second each little-endian (a COM GUID).
struct Uid {
    char bytes[16];

    enum class Layout { kText, kCom };
#if defined(_WIN32)
    static constexpr Layout kNative = Layout::kCom;
#else
    static constexpr Layout kNative = Layout::kText;
#endif

    static constexpr Uid Make(uint32 l1, uint32 l2, uint32 l3, uint32 l4, Layout layout = kNative) {
        Uid id{};
        const uint32 words[4] = {l1, l2, l3, l4};
        for (int w = 0; w < 4; ++w)
            for (int b = 0; b < 4; ++b) id.bytes[w * 4 + b] = static_cast<char>((words[w] >> (24 - 8 * b)) & 0xFF);
        if (layout == Layout::kCom) {
            for (int b = 0; b < 4; ++b) id.bytes[b] = static_cast<char>((l1 >> (8 * b)) & 0xFF);
            id.bytes[4] = static_cast<char>((l2 >> 16) & 0xFF);
            id.bytes[5] = static_cast<char>((l2 >> 24) & 0xFF);
            id.bytes[6] = static_cast<char>(l2 & 0xFF);
            id.bytes[7] = static_cast<char>((l2 >> 8) & 0xFF);
        }
        return id;
    }

    // Compares with 16 bytes as they lie in memory.
    constexpr bool Is(const char* other) const {
        if (!other) return false;
        for (int i = 0; i < 16; ++i)
            if (bytes[i] != other[i]) return false;
        return true;
    }
};

// ---- structures (no packing pragma: every field already sits at its natural place) ----

struct PFactoryInfo {
    enum FactoryFlags : int32 {
        kNoFlags = 0,
        kClassesDiscardable = 1,
        kLicenseCheck = 2,
        kComponentNonDiscardable = 8,
        kUnicode = 16,
    };
    char8 vendor[64];
    char8 url[256];
    char8 email[128];
    int32 flags;
};

struct PClassInfo {
    enum ClassCardinality : int32 { kManyInstances = 0x7FFFFFFF };
    TUID cid;
    int32 cardinality;
    char8 category[32];
    char8 name[64];
};

struct PClassInfo2 {
    TUID cid;
    int32 cardinality;
    char8 category[32];
    char8 name[64];
    uint32 classFlags;
    char8 subCategories[128];
    char8 vendor[64];
    char8 version[64];
    char8 sdkVersion[64];
};

struct PClassInfoW {
    TUID cid;
    int32 cardinality;
    char8 category[32];
    char16 name[64];
    uint32 classFlags;
    char8 subCategories[128];
    char16 vendor[64];
    char16 version[64];
    char16 sdkVersion[64];
};

// PClassInfo2/PClassInfoW classFlags.
enum ComponentFlags : uint32 { kDistributable = 1, kSimpleModeSupported = 2 };

enum MediaTypes : MediaType { kAudio = 0, kEvent = 1 };
enum BusDirections : BusDirection { kInput = 0, kOutput = 1 };
enum BusTypes : BusType { kMain = 0, kAux = 1 };
enum IoModes : IoMode { kSimple = 0, kAdvanced = 1, kOfflineProcessing = 2 };

inline constexpr Speaker kSpeakerL = 1 << 0;
inline constexpr Speaker kSpeakerR = 1 << 1;
inline constexpr Speaker kSpeakerM = 1 << 19;
namespace SpeakerArr {
inline constexpr SpeakerArrangement kEmpty = 0;
inline constexpr SpeakerArrangement kMono = kSpeakerM;
inline constexpr SpeakerArrangement kStereo = kSpeakerL | kSpeakerR;
} // namespace SpeakerArr

struct BusInfo {
    enum BusFlags : uint32 { kDefaultActive = 1, kIsControlVoltage = 2 };
    MediaType mediaType;
    BusDirection direction;
    int32 channelCount;
    String128 name;
    BusType busType;
    uint32 flags;
};

struct RoutingInfo {
    MediaType mediaType;
    int32 busIndex;
    int32 channel;
};

enum ProcessModes : int32 { kRealtime = 0, kPrefetch = 1, kOffline = 2 };
enum SymbolicSampleSizes : int32 { kSample32 = 0, kSample64 = 1 };

struct ProcessSetup {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 maxSamplesPerBlock;
    SampleRate sampleRate;
};

struct AudioBusBuffers {
    int32 numChannels;
    uint64 silenceFlags; // bit c: channel c is all zeros
    union {
        Sample32** channelBuffers32;
        Sample64** channelBuffers64;
    };
};

struct Chord {
    uint8 keyNote;
    uint8 rootNote;
    int16 chordMask;
};

struct FrameRate {
    enum FrameRateFlags : uint32 { kPullDownRate = 1, kDropRate = 2 };
    uint32 framesPerSecond;
    uint32 flags;
};

struct ProcessContext {
    enum StatesAndFlags : uint32 {
        kPlaying = 1 << 1,
        kCycleActive = 1 << 2,
        kRecording = 1 << 3,
        kSystemTimeValid = 1 << 8,
        kProjectTimeMusicValid = 1 << 9,
        kTempoValid = 1 << 10,
        kBarPositionValid = 1 << 11,
        kCycleValid = 1 << 12,
        kTimeSigValid = 1 << 13,
        kSmpteValid = 1 << 14,
        kClockValid = 1 << 15,
        kContTimeValid = 1 << 17,
        kChordValid = 1 << 18,
    };
    uint32 state;
    SampleRate sampleRate;
    TSamples projectTimeSamples;
    int64 systemTime;
    TSamples continousTimeSamples;
    TQuarterNotes projectTimeMusic;
    TQuarterNotes barPositionMusic;
    TQuarterNotes cycleStartMusic;
    TQuarterNotes cycleEndMusic;
    double tempo;
    int32 timeSigNumerator;
    int32 timeSigDenominator;
    Chord chord;
    int32 smpteOffsetSubframes;
    FrameRate frameRate;
    int32 samplesToNextClock;
};

class IParameterChanges;
class IEventList;

struct ProcessData {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 numSamples;
    int32 numInputs;
    int32 numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContext* processContext;
};

struct ParameterInfo {
    enum ParameterFlags : int32 {
        kNoFlags = 0,
        kCanAutomate = 1 << 0,
        kIsReadOnly = 1 << 1,
        kIsWrapAround = 1 << 2,
        kIsList = 1 << 3,
        kIsHidden = 1 << 4,
        kIsProgramChange = 1 << 15,
        kIsBypass = 1 << 16,
    };
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32 stepCount; // 0 continuous; n: n + 1 discrete values
    ParamValue defaultNormalizedValue;
    UnitID unitId;
    int32 flags;
};

enum ProcessContextNeeds : uint32 {
    kNeedSystemTime = 1 << 0,
    kNeedContinousTimeSamples = 1 << 1,
    kNeedProjectTimeMusic = 1 << 2,
    kNeedBarPositionMusic = 1 << 3,
    kNeedCycleMusic = 1 << 4,
    kNeedSamplesToNextClock = 1 << 5,
    kNeedTempo = 1 << 6,
    kNeedTimeSignature = 1 << 7,
    kNeedChord = 1 << 8,
    kNeedFrameRate = 1 << 9,
    kNeedTransportState = 1 << 10,
};

enum RestartFlags : int32 {
    kReloadComponent = 1 << 0,
    kIoChanged = 1 << 1,
    kParamValuesChanged = 1 << 2,
    kLatencyChanged = 1 << 3,
    kParamTitlesChanged = 1 << 4,
};

enum SeekModes : int32 { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };

inline constexpr uint32 kNoTail = 0;
inline constexpr uint32 kInfiniteTail = 0xFFFFFFFF;

struct Event; // never read: an effect without event buses ignores the lists

// ---- interfaces; the comment after each method is its table slot ----

class FUnknown {
public:
    static constexpr Uid iid = Uid::Make(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
    virtual tresult PLUGIN_API queryInterface(const TUID iid, void** obj) = 0; // 0
    virtual uint32 PLUGIN_API addRef() = 0;                                    // 1
    virtual uint32 PLUGIN_API release() = 0;                                   // 2
};

class IPluginBase : public FUnknown {
public:
    static constexpr Uid iid = Uid::Make(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
    virtual tresult PLUGIN_API initialize(FUnknown* context) = 0; // 3
    virtual tresult PLUGIN_API terminate() = 0;                   // 4
};

class IPluginFactory : public FUnknown {
public:
    static constexpr Uid iid = Uid::Make(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
    virtual tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) = 0;                       // 3
    virtual int32 PLUGIN_API countClasses() = 0;                                             // 4
    virtual tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) = 0;              // 5
    virtual tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) = 0; // 6
};

class IPluginFactory2 : public IPluginFactory {
public:
    static constexpr Uid iid = Uid::Make(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
    virtual tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) = 0; // 7
};

class IPluginFactory3 : public IPluginFactory2 {
public:
    static constexpr Uid iid = Uid::Make(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
    virtual tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) = 0; // 8
    virtual tresult PLUGIN_API setHostContext(FUnknown* context) = 0;                   // 9
};

class IBStream : public FUnknown {
public:
    static constexpr Uid iid = Uid::Make(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
    // numBytesRead, numBytesWritten and result may be null.
    virtual tresult PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) = 0;     // 3
    virtual tresult PLUGIN_API write(void* buffer, int32 numBytes, int32* numBytesWritten) = 0; // 4
    virtual tresult PLUGIN_API seek(int64 pos, int32 mode, int64* result) = 0;                  // 5
    virtual tresult PLUGIN_API tell(int64* pos) = 0;                                            // 6
};

class IComponent : public IPluginBase {
public:
    static constexpr Uid iid = Uid::Make(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
    virtual tresult PLUGIN_API getControllerClassId(TUID classId) = 0;                                      // 5
    virtual tresult PLUGIN_API setIoMode(IoMode mode) = 0;                                                  // 6
    virtual int32 PLUGIN_API getBusCount(MediaType type, BusDirection dir) = 0;                             // 7
    virtual tresult PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo* bus) = 0; // 8
    virtual tresult PLUGIN_API getRoutingInfo(RoutingInfo* inInfo, RoutingInfo* outInfo) = 0;               // 9
    virtual tresult PLUGIN_API activateBus(MediaType type, BusDirection dir, int32 index, TBool state) = 0; // 10
    virtual tresult PLUGIN_API setActive(TBool state) = 0;                                                  // 11
    virtual tresult PLUGIN_API setState(IBStream* state) = 0;                                               // 12
    virtual tresult PLUGIN_API getState(IBStream* state) = 0;                                               // 13
};

class IAudioProcessor : public FUnknown {
public:
    static constexpr Uid iid = Uid::Make(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
    virtual tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                                  int32 numOuts) = 0;                                         // 3
    virtual tresult PLUGIN_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement* arr) = 0; // 4
    virtual tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) = 0;                            // 5
    virtual uint32 PLUGIN_API getLatencySamples() = 0;                                                        // 6
    virtual tresult PLUGIN_API setupProcessing(ProcessSetup* setup) = 0;                                      // 7
    virtual tresult PLUGIN_API setProcessing(TBool state) = 0;                                                // 8
    virtual tresult PLUGIN_API process(ProcessData* data) = 0;                                                // 9
    virtual uint32 PLUGIN_API getTailSamples() = 0;                                                           // 10
};

class IProcessContextRequirements : public FUnknown {
public:
    static constexpr Uid iid = Uid::Make(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
    virtual uint32 PLUGIN_API getProcessContextRequirements() = 0; // 3
};

class IComponentHandler : public FUnknown {
public:
    static constexpr Uid iid = Uid::Make(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
    virtual tresult PLUGIN_API beginEdit(ParamID id) = 0;                               // 3
    virtual tresult PLUGIN_API performEdit(ParamID id, ParamValue valueNormalized) = 0; // 4
    virtual tresult PLUGIN_API endEdit(ParamID id) = 0;                                 // 5
    virtual tresult PLUGIN_API restartComponent(int32 flags) = 0;                       // 6
};

// Declared for its ID: no editor is ever created.
class IPlugView : public FUnknown {
public:
    static constexpr Uid iid = Uid::Make(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
};

class IEditController : public IPluginBase {
public:
    static constexpr Uid iid = Uid::Make(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
    virtual tresult PLUGIN_API setComponentState(IBStream* state) = 0;                      // 5
    virtual tresult PLUGIN_API setState(IBStream* state) = 0;                               // 6
    virtual tresult PLUGIN_API getState(IBStream* state) = 0;                               // 7
    virtual int32 PLUGIN_API getParameterCount() = 0;                                       // 8
    virtual tresult PLUGIN_API getParameterInfo(int32 paramIndex, ParameterInfo* info) = 0; // 9
    virtual tresult PLUGIN_API getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                     String128 string) = 0; // 10
    virtual tresult PLUGIN_API getParamValueByString(ParamID id, TChar* string,
                                                     ParamValue* valueNormalized) = 0;                // 11
    virtual ParamValue PLUGIN_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0; // 12
    virtual ParamValue PLUGIN_API plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;      // 13
    virtual ParamValue PLUGIN_API getParamNormalized(ParamID id) = 0;                                 // 14
    virtual tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) = 0;                  // 15
    virtual tresult PLUGIN_API setComponentHandler(IComponentHandler* handler) = 0;                   // 16
    virtual IPlugView* PLUGIN_API createView(FIDString name) = 0;                                     // 17
};

// Declared for its ID: a single object exchanges no messages.
class IMessage : public FUnknown {
public:
    static constexpr Uid iid = Uid::Make(0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613);
};

class IConnectionPoint : public FUnknown {
public:
    static constexpr Uid iid = Uid::Make(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);
    virtual tresult PLUGIN_API connect(IConnectionPoint* other) = 0;    // 3
    virtual tresult PLUGIN_API disconnect(IConnectionPoint* other) = 0; // 4
    virtual tresult PLUGIN_API notify(IMessage* message) = 0;           // 5
};

class IParamValueQueue : public FUnknown {
public:
    static constexpr Uid iid = Uid::Make(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
    virtual ParamID PLUGIN_API getParameterId() = 0;                                              // 3
    virtual int32 PLUGIN_API getPointCount() = 0;                                                 // 4
    virtual tresult PLUGIN_API getPoint(int32 index, int32* sampleOffset, ParamValue* value) = 0; // 5
    virtual tresult PLUGIN_API addPoint(int32 sampleOffset, ParamValue value, int32* index) = 0;  // 6
};

class IParameterChanges : public FUnknown {
public:
    static constexpr Uid iid = Uid::Make(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
    virtual int32 PLUGIN_API getParameterCount() = 0;                                           // 3
    virtual IParamValueQueue* PLUGIN_API getParameterData(int32 index) = 0;                     // 4
    virtual IParamValueQueue* PLUGIN_API addParameterData(const ParamID* id, int32* index) = 0; // 5
};

class IEventList : public FUnknown {
public:
    static constexpr Uid iid = Uid::Make(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
    virtual int32 PLUGIN_API getEventCount() = 0;                   // 3
    virtual tresult PLUGIN_API getEvent(int32 index, Event* e) = 0; // 4
    virtual tresult PLUGIN_API addEvent(Event* e) = 0;              // 5
};

class IHostApplication : public FUnknown {
public:
    static constexpr Uid iid = Uid::Make(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
    virtual tresult PLUGIN_API getName(String128 name) = 0;                        // 3
    virtual tresult PLUGIN_API createInstance(TUID cid, TUID iid, void** obj) = 0; // 4
};

// ---- what the interface fixes, checked ----

namespace check {

constexpr int HexDigit(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

// Whether an ID's memory bytes read as the 32 hex digits of text (spaces skipped).
constexpr bool BytesAre(const Uid& id, const char* text) {
    int i = 0;
    for (const char* p = text; *p; ++p) {
        if (*p == ' ') continue;
        if (!p[1] || i >= 16) return false;
        if (static_cast<unsigned char>(id.bytes[i++]) != HexDigit(p[0]) * 16 + HexDigit(p[1])) return false;
        ++p;
    }
    return i == 16;
}

template <class Interface>
constexpr bool Laid(uint32 l1, uint32 l2, uint32 l3, uint32 l4, const char* text, const char* com) {
    return BytesAre(Uid::Make(l1, l2, l3, l4, Uid::Layout::kText), text) &&
           BytesAre(Uid::Make(l1, l2, l3, l4, Uid::Layout::kCom), com) &&
           BytesAre(Interface::iid, Uid::kNative == Uid::Layout::kCom ? com : text);
}

} // namespace check

static_assert(check::Laid<FUnknown>(0, 0, 0xC0000000, 0x46, "00000000 00000000 C0000000 00000046",
                                    "00000000 00000000 C0000000 00000046"));
static_assert(check::Laid<IPluginBase>(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625,
                                       "22888DDB 156E45AE 8358B348 08190625", "DB8D8822 6E15AE45 8358B348 08190625"));
static_assert(check::Laid<IPluginFactory>(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F,
                                          "7A4D811C 52114A1F AED9D2EE 0B43BF9F",
                                          "1C814D7A 11521F4A AED9D2EE 0B43BF9F"));
static_assert(check::Laid<IPluginFactory2>(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB,
                                           "0007B650 F24B4C0B A464EDB9 F00B2ABB",
                                           "50B60700 4BF20B4C A464EDB9 F00B2ABB"));
static_assert(check::Laid<IPluginFactory3>(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931,
                                           "4555A2AB C1234E57 9B122910 36878931",
                                           "ABA25545 23C1574E 9B122910 36878931"));
static_assert(check::Laid<IComponent>(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802,
                                      "E831FF31 F2D54301 928EBBEE 25697802", "31FF31E8 D5F20143 928EBBEE 25697802"));
static_assert(check::Laid<IAudioProcessor>(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D,
                                           "42043F99 B7DA453C A569E79D 9AAEC33D",
                                           "993F0442 DAB73C45 A569E79D 9AAEC33D"));
static_assert(check::Laid<IProcessContextRequirements>(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0,
                                                       "2A654303 EF764E3D 95B5FE83 730EF6D0",
                                                       "0343652A 76EF3D4E 95B5FE83 730EF6D0"));
static_assert(check::Laid<IEditController>(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E,
                                           "DCD7BBE3 7742448D A874AACC 979C759E",
                                           "E3BBD7DC 42778D44 A874AACC 979C759E"));
static_assert(check::Laid<IConnectionPoint>(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1,
                                            "70A4156F 6E6E4026 989148BF AA60D8D1",
                                            "6F15A470 6E6E2640 989148BF AA60D8D1"));
static_assert(check::Laid<IMessage>(0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613,
                                    "936F033B C6C047DB BB0882F8 13C1E613", "3B036F93 C0C6DB47 BB0882F8 13C1E613"));
static_assert(check::Laid<IBStream>(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B,
                                    "C3BF6EA2 30994752 9B6BF990 1EE33E9B", "A26EBFC3 99305247 9B6BF990 1EE33E9B"));
static_assert(check::Laid<IParameterChanges>(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D,
                                             "A4779663 0BB64A56 B44384A8 466FEB9D",
                                             "639677A4 B60B564A B44384A8 466FEB9D"));
static_assert(check::Laid<IParamValueQueue>(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA,
                                            "01263A18 ED074F6F 98C9D356 4686F9BA",
                                            "183A2601 07ED6F4F 98C9D356 4686F9BA"));
static_assert(check::Laid<IEventList>(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44,
                                      "3A2C4214 346349FE B2C4F397 B9695A44", "14422C3A 6334FE49 B2C4F397 B9695A44"));
static_assert(check::Laid<IComponentHandler>(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6,
                                             "93A0BEA3 0BD045DB 8E890B0C C1E46AC6",
                                             "A3BEA093 D00BDB45 8E890B0C C1E46AC6"));
static_assert(check::Laid<IHostApplication>(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5,
                                            "58E595CC DB2D4969 8B6AAF8C 36A664E5",
                                            "CC95E558 2DDB6949 8B6AAF8C 36A664E5"));
static_assert(check::Laid<IPlugView>(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29,
                                     "5BC32507 D06049EA A6151B52 2B755B29", "0725C35B 60D0EA49 A6151B52 2B755B29"));

#if defined(_WIN32)
static_assert(kNoInterface == static_cast<tresult>(0x80004002) && kInvalidArgument == static_cast<tresult>(0x80070057));
static_assert(kNotImplemented == static_cast<tresult>(0x80004001) &&
              kInternalError == static_cast<tresult>(0x80004005));
static_assert(kNotInitialized == static_cast<tresult>(0x8000FFFF) && kOutOfMemory == static_cast<tresult>(0x8007000E));
#else
static_assert(kNoInterface == -1 && kInvalidArgument == 2 && kNotImplemented == 3 && kInternalError == 4);
static_assert(kNotInitialized == 5 && kOutOfMemory == 6);
#endif
static_assert(kResultOk == 0 && kResultTrue == 0 && kResultFalse == 1);

static_assert(sizeof(TChar) == 2 && sizeof(TUID) == 16 && sizeof(TBool) == 1 && sizeof(String128) == 256);
static_assert(sizeof(tresult) == 4 && sizeof(ParamValue) == 8 && sizeof(TSamples) == 8 && sizeof(Uid) == 16);

// Every interface is one table pointer and nothing else.
static_assert(sizeof(FUnknown) == sizeof(void*) && sizeof(IEditController) == sizeof(void*));
static_assert(sizeof(IComponent) == sizeof(void*) && sizeof(IAudioProcessor) == sizeof(void*));

static_assert(sizeof(PFactoryInfo) == 452 && alignof(PFactoryInfo) == 4);
static_assert(offsetof(PFactoryInfo, url) == 64 && offsetof(PFactoryInfo, email) == 320);
static_assert(offsetof(PFactoryInfo, flags) == 448);
static_assert(sizeof(PClassInfo) == 116 && alignof(PClassInfo) == 4);
static_assert(offsetof(PClassInfo, cardinality) == 16 && offsetof(PClassInfo, category) == 20);
static_assert(offsetof(PClassInfo, name) == 52);
static_assert(sizeof(PClassInfo2) == 440 && alignof(PClassInfo2) == 4);
static_assert(offsetof(PClassInfo2, cardinality) == 16 && offsetof(PClassInfo2, category) == 20);
static_assert(offsetof(PClassInfo2, name) == 52 && offsetof(PClassInfo2, classFlags) == 116);
static_assert(offsetof(PClassInfo2, subCategories) == 120 && offsetof(PClassInfo2, vendor) == 248);
static_assert(offsetof(PClassInfo2, version) == 312 && offsetof(PClassInfo2, sdkVersion) == 376);
static_assert(sizeof(PClassInfoW) == 696 && alignof(PClassInfoW) == 4);
static_assert(offsetof(PClassInfoW, cardinality) == 16 && offsetof(PClassInfoW, category) == 20);
static_assert(offsetof(PClassInfoW, name) == 52 && offsetof(PClassInfoW, classFlags) == 180);
static_assert(offsetof(PClassInfoW, subCategories) == 184 && offsetof(PClassInfoW, vendor) == 312);
static_assert(offsetof(PClassInfoW, version) == 440 && offsetof(PClassInfoW, sdkVersion) == 568);

static_assert(sizeof(BusInfo) == 276 && alignof(BusInfo) == 4);
static_assert(offsetof(BusInfo, direction) == 4 && offsetof(BusInfo, channelCount) == 8);
static_assert(offsetof(BusInfo, name) == 12 && offsetof(BusInfo, busType) == 268 && offsetof(BusInfo, flags) == 272);
static_assert(sizeof(RoutingInfo) == 12 && alignof(RoutingInfo) == 4);
static_assert(offsetof(RoutingInfo, busIndex) == 4 && offsetof(RoutingInfo, channel) == 8);

// A 32-bit build that packed to 4 would move these doubles and 64-bit integers.
static_assert(sizeof(ProcessSetup) == 24 && alignof(ProcessSetup) == 8);
static_assert(offsetof(ProcessSetup, symbolicSampleSize) == 4 && offsetof(ProcessSetup, maxSamplesPerBlock) == 8);
static_assert(offsetof(ProcessSetup, sampleRate) == 16);
static_assert(sizeof(AudioBusBuffers) == 24 && alignof(AudioBusBuffers) == 8);
static_assert(offsetof(AudioBusBuffers, silenceFlags) == 8 && offsetof(AudioBusBuffers, channelBuffers32) == 16);
static_assert(offsetof(AudioBusBuffers, channelBuffers64) == 16);

static_assert(sizeof(ProcessContext) == 112 && alignof(ProcessContext) == 8);
static_assert(offsetof(ProcessContext, sampleRate) == 8 && offsetof(ProcessContext, projectTimeSamples) == 16);
static_assert(offsetof(ProcessContext, systemTime) == 24 && offsetof(ProcessContext, continousTimeSamples) == 32);
static_assert(offsetof(ProcessContext, projectTimeMusic) == 40 && offsetof(ProcessContext, barPositionMusic) == 48);
static_assert(offsetof(ProcessContext, cycleStartMusic) == 56 && offsetof(ProcessContext, cycleEndMusic) == 64);
static_assert(offsetof(ProcessContext, tempo) == 72 && offsetof(ProcessContext, timeSigNumerator) == 80);
static_assert(offsetof(ProcessContext, timeSigDenominator) == 84 && offsetof(ProcessContext, chord) == 88);
static_assert(offsetof(Chord, rootNote) == 1 && offsetof(Chord, chordMask) == 2 && sizeof(Chord) == 4);
static_assert(offsetof(ProcessContext, smpteOffsetSubframes) == 92 && offsetof(ProcessContext, frameRate) == 96);
static_assert(offsetof(FrameRate, flags) == 4 && sizeof(FrameRate) == 8);
static_assert(offsetof(ProcessContext, samplesToNextClock) == 104);

static_assert(sizeof(ParameterInfo) == 792 && alignof(ParameterInfo) == 8);
static_assert(offsetof(ParameterInfo, title) == 4 && offsetof(ParameterInfo, shortTitle) == 260);
static_assert(offsetof(ParameterInfo, units) == 516 && offsetof(ParameterInfo, stepCount) == 772);
static_assert(offsetof(ParameterInfo, defaultNormalizedValue) == 776 && offsetof(ParameterInfo, unitId) == 784);
static_assert(offsetof(ParameterInfo, flags) == 788);

static_assert(offsetof(ProcessData, symbolicSampleSize) == 4 && offsetof(ProcessData, numSamples) == 8);
static_assert(offsetof(ProcessData, numInputs) == 12 && offsetof(ProcessData, numOutputs) == 16);
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(void*) == 4);
static_assert(sizeof(ProcessData) == 48 && offsetof(ProcessData, inputs) == 20 && offsetof(ProcessData, outputs) == 24);
static_assert(offsetof(ProcessData, inputParameterChanges) == 28 &&
              offsetof(ProcessData, outputParameterChanges) == 32);
static_assert(offsetof(ProcessData, inputEvents) == 36 && offsetof(ProcessData, outputEvents) == 40);
static_assert(offsetof(ProcessData, processContext) == 44);
#else
static_assert(sizeof(void*) == 8, "the 64-bit layouts below; a 32-bit non-Windows target is not measured");
static_assert(sizeof(ProcessData) == 80 && offsetof(ProcessData, inputs) == 24 && offsetof(ProcessData, outputs) == 32);
static_assert(offsetof(ProcessData, inputParameterChanges) == 40 &&
              offsetof(ProcessData, outputParameterChanges) == 48);
static_assert(offsetof(ProcessData, inputEvents) == 56 && offsetof(ProcessData, outputEvents) == 64);
static_assert(offsetof(ProcessData, processContext) == 72);
#endif

} // namespace vst3
