// Writes the bundle's manifest.ttl and the plug-in's description from the
// effect's own slider table and the project's version, at build time:
//   lv2_describe BUNDLE_DIR BINARY_FILE_NAME DESCRIPTION_FILE_NAME
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "core/brio_format.h"
#include "plugin/lv2/lv2_ports.h"
#include "quill_version.h"

namespace {

// A Turtle decimal or double that reads back as the same float the port holds.
std::string Number(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, static_cast<float>(value));
    std::string number(text, result.ptr);
    if (number.find_first_of(".e") == std::string::npos) number += ".0";
    return number;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string Text(std::int32_t (*slot)(BrioInstance*, char*), BrioInstance& brio) {
    char text[kBrioVendorCapacity] = {};
    if (slot) slot(&brio, text);
    return text;
}

void AudioPort(std::ostringstream& out, std::uint32_t index, bool input, const lv2port::AudioPort& port) {
    out << "    [\n        a lv2:AudioPort , lv2:" << (input ? "InputPort" : "OutputPort") << " ;\n"
        << "        lv2:index " << index << " ;\n"
        << "        lv2:symbol " << Quoted(port.symbol) << " ;\n"
        << "        lv2:name " << Quoted(port.name) << " ;\n    ] ,\n";
}

bool ControlPort(std::ostringstream& out, BrioInstance& brio, std::int32_t k) {
    BrioSliderFacts facts;
    if (!BrioGetSliderFacts(&brio, k, &facts)) return false;
    const lv2port::ControlPort& port = lv2port::kControls[k];
    out << "    [\n        a lv2:InputPort , lv2:ControlPort ;\n"
        << "        lv2:index " << lv2port::kFirstControl + static_cast<std::uint32_t>(k) << " ;\n"
        << "        lv2:symbol " << Quoted(port.symbol) << " ;\n"
        << "        lv2:name " << Quoted(*facts.name) << " ;\n"
        << "        lv2:default " << Number(facts.defaultValue) << " ;\n"
        << "        lv2:minimum " << Number(facts.minimum) << " ;\n"
        << "        lv2:maximum " << Number(facts.maximum) << " ;\n";
    if (port.decibels) out << "        units:unit units:db ;\n";
    const auto& names = *facts.enumNames;
    if (!names.empty()) {
        out << "        lv2:portProperty lv2:integer , lv2:enumeration ;\n";
        for (std::size_t i = 0; i < names.size(); ++i) {
            // Spread over the range as the effect's display spreads them.
            const double position =
                names.size() > 1 ? static_cast<double>(i) / static_cast<double>(names.size() - 1) : 0;
            const double value = facts.minimum + position * (facts.maximum - facts.minimum);
            out << "        lv2:scalePoint [ rdfs:label " << Quoted(names[i]) << " ; rdf:value " << Number(value)
                << " ] ;\n";
        }
    } else if (facts.step > 0.0) {
        const double steps = std::round((facts.maximum - facts.minimum) / facts.step) + 1.0;
        out << "        pprops:rangeSteps " << static_cast<long long>(steps) << " ;\n";
    }
    out << "    ] ,\n";
    return true;
}

bool Write(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
    file.close();
    if (!file) std::fprintf(stderr, "lv2_describe: cannot write %s\n", path.c_str());
    return static_cast<bool>(file);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: lv2_describe BUNDLE_DIR BINARY_FILE_NAME DESCRIPTION_FILE_NAME\n");
        return 2;
    }
    const std::string bundle = argv[1], binary = argv[2], description = argv[3];
    BrioFormatInstance brio;
    if (BrioSliderCount(&brio) != static_cast<std::int32_t>(lv2port::kControlCount)) {
        std::fprintf(stderr, "lv2_describe: the effect has %d sliders, the ports carry %d\n", BrioSliderCount(&brio),
                     static_cast<int>(lv2port::kControlCount));
        return 1;
    }

    std::ostringstream manifest;
    manifest << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
             << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n"
             << "<" << lv2port::kPluginUri << ">\n"
             << "    a lv2:Plugin ;\n"
             << "    lv2:binary <" << binary << "> ;\n"
             << "    rdfs:seeAlso <" << description << "> .\n";

    std::ostringstream out;
    out << "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
        << "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
        << "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
        << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
        << "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
        << "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
        << "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
        << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
        << "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
        << "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
        << "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
        << "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n"
        << "<" << lv2port::kPluginUri << ">\n"
        << "    a lv2:Plugin , lv2:MixerPlugin , doap:Project ;\n"
        << "    doap:name " << Quoted(Text(brio.callbacks.getEffectName, brio)) << " ;\n"
        << "    doap:maintainer [ a foaf:Person ; foaf:name " << Quoted(Text(brio.callbacks.getVendorString, brio))
        << " ] ;\n"
        << "    doap:license <https://spdx.org/licenses/ISC> ;\n"
        << "    lv2:minorVersion " << QUILL_VERSION_MINOR << " ;\n"
        << "    lv2:microVersion " << QUILL_VERSION_PATCH << " ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable , urid:map , opts:options ;\n"
        << "    opts:supportedOption <http://lv2plug.in/ns/ext/buf-size#maxBlockLength> ;\n"
        << "    lv2:extensionData state:interface ;\n"
        << "    lv2:port\n";
    for (std::uint32_t i = 0; i < 2; ++i) AudioPort(out, lv2port::kIn1 + i, true, lv2port::kAudioInputs[i]);
    for (std::uint32_t i = 0; i < 2; ++i) AudioPort(out, lv2port::kOut1 + i, false, lv2port::kAudioOutputs[i]);
    for (std::int32_t k = 0; k < static_cast<std::int32_t>(lv2port::kControlCount); ++k)
        if (!ControlPort(out, brio, k)) return 1;
    // A host that knows no atom ports may leave this one unconnected.
    out << "    [\n        a lv2:InputPort , atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n"
        << "        atom:supports time:Position ;\n"
        << "        lv2:designation lv2:control ;\n"
        << "        lv2:portProperty lv2:connectionOptional ;\n"
        << "        lv2:index " << lv2port::kEvents << " ;\n"
        << "        lv2:symbol " << Quoted(lv2port::kEventsSymbol) << " ;\n"
        << "        lv2:name " << Quoted(lv2port::kEventsSymbol) << " ;\n    ] .\n";

    return Write(bundle + "/manifest.ttl", manifest.str()) && Write(bundle + "/" + description, out.str()) ? 0 : 1;
}
