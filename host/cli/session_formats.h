// What the sessions of the plug-in formats share: how each is opened, how
// their facts and state files are laid out, and how a normalised value from
// the command line becomes a format's plain value.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/cli/json.h"
#include "host/cli/plugin_session.h"

namespace cli {

// Each is defined only in a build that has the format's host library.
std::unique_ptr<PluginSession> OpenLv2Session(const std::string& bundle, double rate, int block);
std::unique_ptr<PluginSession> OpenClapSession(const std::string& module, double rate, int block);
std::unique_ptr<PluginSession> OpenVst3Session(const std::string& bundle, double rate, int block);

inline Fact TextFact(const std::string& label, const std::string& key, const std::string& text) {
    return {label, text, {}, {{key, Json(text)}}};
}

inline Fact WholeFact(const std::string& label, const std::string& key, long long value) {
    return {label, std::to_string(value), {}, {{key, std::to_string(value)}}};
}

// The parameter IDs of a format that numbers its parameters, as a list.
template <class Infos>
Fact ParameterIdsFact(const Infos& infos) {
    Fact ids{"parameter ids", "", {}, {}};
    std::string json = "[";
    for (const auto& info : infos) {
        if (!ids.text.empty()) {
            ids.text += ' ';
            json += ", ";
        }
        ids.text += std::to_string(info.id);
        json += std::to_string(info.id);
    }
    ids.json.emplace_back("parameterIds", json + "]");
    return ids;
}

// A state file of one of the further formats: an 8-byte magic, then the
// plug-in's identity and the format's state bytes, each after its length as
// 32-bit little-endian.
std::vector<std::uint8_t> StateFile(const char (&magic)[9], const std::string& identity,
                                    const std::vector<std::uint8_t>& state);
// The state bytes of such a file for the plug-in of identity; throws Error
// naming file for another kind of file, another plug-in, or a damaged one.
std::vector<std::uint8_t> StateInFile(const std::string& file, const char (&magic)[9], const std::string& identity);

// The plain value in [minimum, maximum] for normalised, carried as Carrier.
// A plug-in that normalises it again, (plain - minimum) / (maximum - minimum)
// narrowed to float, gets exactly normalised back wherever a Carrier value
// allows: so a setting on the command line reaches a format with plain values
// as the same float a format with normalised ones receives. Where none does
// (float carriers, near the ends of a wide range) the value goes on the
// parameter's grid of steps when it has one, so that the plug-in's own
// rounding to a step cannot land on the neighbouring step.
template <class Carrier>
Carrier PlainFor(double minimum, double maximum, float normalised, int steps = 0) {
    const double range = maximum - minimum;
    if (!(range > 0.0)) return static_cast<Carrier>(minimum);
    const double exact = minimum + static_cast<double>(normalised) * range;
    const auto plain = static_cast<Carrier>(std::fmin(std::fmax(exact, minimum), maximum));
    if (static_cast<float>((static_cast<double>(plain) - minimum) / range) == normalised || steps < 2) return plain;
    const double step = range / (steps - 1);
    return static_cast<Carrier>(minimum + std::floor((exact - minimum) / step + 0.5) * step);
}

inline float NormalisedOf(double minimum, double maximum, double plain) {
    const double range = maximum - minimum;
    return range > 0.0 ? static_cast<float>((plain - minimum) / range) : 0.0f;
}

// A parameter's plain value as vstrun shows it beside the VST 2.4 display:
// two decimals.
std::string TwoDecimals(double plain);

} // namespace cli
