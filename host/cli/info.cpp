// `info`: what a host learns of a plug-in before it processes anything.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "host/cli/arguments.h"
#include "host/cli/commands.h"
#include "host/cli/plugin_session.h"

namespace cli {

namespace {
const char* const kCapabilities[] = {
    "sendVstEvents",      "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent",
    "receiveVstTimeInfo", "offline",          "midiProgramNames", "bypass"};

const char* const kCategories[] = {"unknown", "effect",   "synth",       "analysis", "mastering", "spacializer",
                                   "room fx", "surround", "restoration", "offline",  "shell",     "generator"};

std::vector<std::string> FlagNames(VstInt32 flags) {
    static const std::pair<VstInt32, const char*> known[] = {{effFlagsHasEditor, "HasEditor"},
                                                             {2, "HasClip"},
                                                             {4, "HasVu"},
                                                             {8, "CanMono"},
                                                             {effFlagsCanReplacing, "CanReplacing"},
                                                             {effFlagsProgramChunks, "ProgramChunks"},
                                                             {effFlagsIsSynth, "IsSynth"},
                                                             {effFlagsNoSoundInStop, "NoSoundInStop"},
                                                             {effFlagsCanDoubleReplacing, "CanDoubleReplacing"}};
    std::vector<std::string> names;
    VstInt32 left = flags;
    for (const auto& [bit, name] : known)
        if (flags & bit) {
            names.push_back(name);
            left &= ~bit;
        }
    for (int bit = 0; bit < 32; ++bit)
        if (left & (VstInt32(1) << bit)) names.push_back("bit" + std::to_string(bit));
    return names;
}

// The four characters of a unique ID when they are printable.
std::string FourCharacters(VstInt32 id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E) return "";
        text += c;
    }
    return text;
}

std::string Json(const std::string& text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Number(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

struct Facts {
    std::string module, effectName, vendor, product;
    VstIntPtr vendorVersion, vstVersion, category;
    AEffect record;
    std::vector<std::pair<std::string, VstIntPtr>> canDo;
    std::vector<PluginSession::Parameter> parameters;
};

Facts Gather(PluginSession& session) {
    vsthost::Instance& plugin = session.instance();
    Facts facts{session.path(),
                plugin.text(effGetEffectName),
                plugin.text(effGetVendorString),
                plugin.text(effGetProductString),
                plugin.dispatch(effGetVendorVersion),
                plugin.dispatch(effGetVstVersion),
                plugin.dispatch(effGetPlugCategory),
                session.effect(),
                {},
                session.Parameters()};
    for (const char* capability : kCapabilities) {
        std::string text = capability; // writable: some plug-ins take the text as char*
        facts.canDo.emplace_back(capability, plugin.dispatch(effCanDo, 0, 0, text.data()));
    }
    return facts;
}

std::string CategoryName(VstIntPtr category) {
    if (category >= 0 && category < static_cast<VstIntPtr>(std::size(kCategories))) return kCategories[category];
    return "category " + std::to_string(category);
}

std::string Answer(VstIntPtr answer) {
    if (answer > 0) return "yes (" + std::to_string(answer) + ")";
    return answer < 0 ? "no" : "don't know";
}

void PrintText(const Facts& f, std::ostream& out) {
    const std::string id = FourCharacters(f.record.uniqueID);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(f.record.uniqueID));
    std::string flags;
    for (const std::string& name : FlagNames(f.record.flags)) flags += " " + name;

    out << "module          " << f.module << "\n"
        << "effect          " << f.effectName << "\n"
        << "vendor          " << f.vendor << "\n"
        << "product         " << f.product << "\n"
        << "vendor version  " << f.vendorVersion << "\n"
        << "VST version     " << f.vstVersion << "\n"
        << "category        " << CategoryName(f.category) << "\n"
        << "unique ID       " << (id.empty() ? "" : "'" + id + "' ") << hex << " (" << f.record.uniqueID << ")\n"
        << "version         " << f.record.version << "\n"
        << "inputs          " << f.record.numInputs << "\n"
        << "outputs         " << f.record.numOutputs << "\n"
        << "programs        " << f.record.numPrograms << "\n"
        << "initial delay   " << f.record.initialDelay << "\n"
        << "flags           " << f.record.flags << " =" << (flags.empty() ? " none" : flags) << "\n"
        << "can do\n";
    for (const auto& [capability, answer] : f.canDo) {
        char line[96];
        std::snprintf(line, sizeof line, "  %-21s %s\n", capability.c_str(), Answer(answer).c_str());
        out << line;
    }
    out << "parameters      " << f.parameters.size() << "\n";
    if (!f.parameters.empty()) out << "  index  value            display  label  name\n";
    for (const auto& p : f.parameters) {
        char line[256];
        std::snprintf(line, sizeof line, "  %5d  %-12s  %10s  %-5s  %s\n", p.index, Number(p.value).c_str(),
                      p.display.c_str(), p.label.c_str(), p.name.c_str());
        out << line;
    }
}

void PrintJson(const Facts& f, std::ostream& out) {
    out << "{\n  \"module\": " << Json(f.module) << ",\n  \"effect\": " << Json(f.effectName)
        << ",\n  \"vendor\": " << Json(f.vendor) << ",\n  \"product\": " << Json(f.product)
        << ",\n  \"vendorVersion\": " << f.vendorVersion << ",\n  \"vstVersion\": " << f.vstVersion
        << ",\n  \"category\": " << Json(CategoryName(f.category)) << ",\n  \"uniqueID\": " << f.record.uniqueID
        << ",\n  \"uniqueIDText\": " << Json(FourCharacters(f.record.uniqueID))
        << ",\n  \"version\": " << f.record.version << ",\n  \"inputs\": " << f.record.numInputs
        << ",\n  \"outputs\": " << f.record.numOutputs << ",\n  \"programs\": " << f.record.numPrograms
        << ",\n  \"initialDelay\": " << f.record.initialDelay << ",\n  \"flags\": " << f.record.flags
        << ",\n  \"flagNames\": [";
    const auto names = FlagNames(f.record.flags);
    for (std::size_t k = 0; k < names.size(); ++k) out << (k ? ", " : "") << Json(names[k]);
    out << "],\n  \"canDo\": {";
    for (std::size_t k = 0; k < f.canDo.size(); ++k)
        out << (k ? ", " : "") << Json(f.canDo[k].first) << ": " << f.canDo[k].second;
    out << "},\n  \"parameters\": [";
    for (std::size_t k = 0; k < f.parameters.size(); ++k) {
        const auto& p = f.parameters[k];
        out << (k ? "," : "") << "\n    {\"index\": " << p.index << ", \"name\": " << Json(p.name)
            << ", \"label\": " << Json(p.label) << ", \"value\": " << Number(p.value)
            << ", \"display\": " << Json(p.display) << "}";
    }
    out << (f.parameters.empty() ? "]\n}\n" : "\n  ]\n}\n");
}
} // namespace

int Info(const std::vector<std::string>& argv) {
    const Arguments arguments = Parse(argv, {"--set", "--load-state"}, {"--json"}, 1);
    PluginSession session(arguments.positional[0]);
    for (const std::string& path : arguments.Values("--load-state")) session.LoadState(path);
    for (const std::string& assignment : arguments.Values("--set")) session.Set(assignment);
    const Facts facts = Gather(session);
    std::ostringstream text;
    if (arguments.Has("--json")) PrintJson(facts, text);
    else PrintText(facts, text);
    std::cout << text.str() << std::flush;
    return 0;
}

} // namespace cli
