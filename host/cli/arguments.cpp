#include "host/cli/arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "host/cli/error.h"

namespace cli {

std::string Arguments::Value(const std::string& option, const std::string& fallback) const {
    const auto range = options.equal_range(option);
    if (range.first == range.second) return fallback;
    return std::prev(range.second)->second;
}

std::vector<std::string> Arguments::Values(const std::string& option) const {
    std::vector<std::string> values;
    const auto range = options.equal_range(option);
    for (auto it = range.first; it != range.second; ++it) values.push_back(it->second);
    return values;
}

Arguments Parse(const std::vector<std::string>& argv, const std::set<std::string>& valued,
                const std::set<std::string>& flags, std::size_t least, std::size_t most) {
    Arguments arguments;
    for (std::size_t k = 0; k < argv.size(); ++k) {
        const std::string& word = argv[k];
        if (word.size() < 2 || word.compare(0, 2, "--") != 0) {
            arguments.positional.push_back(word);
            continue;
        }
        const auto equals = word.find('=');
        const std::string name = word.substr(0, equals);
        if (valued.count(name)) {
            if (equals != std::string::npos) {
                arguments.options.emplace(name, word.substr(equals + 1));
            } else {
                if (k + 1 >= argv.size()) throw UsageError(name + " needs a value");
                arguments.options.emplace(name, argv[++k]);
            }
        } else if (flags.count(name) && equals == std::string::npos) {
            arguments.flags.insert(name);
        } else {
            throw UsageError("unknown option " + word);
        }
    }
    const std::size_t count = arguments.positional.size();
    if (count < least || count > most)
        throw UsageError("expected " + std::to_string(least) + (most > least ? " or " + std::to_string(most) : "") +
                         " arguments, got " + std::to_string(count));
    return arguments;
}

long ParseWhole(const std::string& text, const std::string& what, long minimum, long maximum) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < minimum || value > maximum)
        throw UsageError(what + " must be a whole number from " + std::to_string(minimum) + " to " +
                         std::to_string(maximum) + ", not \"" + text + "\"");
    return value;
}

double ParseNumber(const std::string& text, const std::string& what) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value))
        throw UsageError(what + " must be a number, not \"" + text + "\"");
    return value;
}

} // namespace cli
