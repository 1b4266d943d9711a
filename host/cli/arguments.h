// A command's arguments: positional ones in order, options by name.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace cli {

struct Arguments {
    std::vector<std::string> positional;
    std::multimap<std::string, std::string> options; // "--set" may repeat
    std::set<std::string> flags;

    bool Has(const std::string& flag) const { return flags.count(flag) != 0; }
    // The option's last value, or fallback when it was not given.
    std::string Value(const std::string& option, const std::string& fallback = "") const;
    std::vector<std::string> Values(const std::string& option) const;
};

// Splits argv by the options the command knows: valued ones take the next
// argument (or "--name=value"), flags take none; "-" alone is positional.
// Throws UsageError, also for fewer than least or more than most positionals.
Arguments Parse(const std::vector<std::string>& argv, const std::set<std::string>& valued,
                const std::set<std::string>& flags, std::size_t least, std::size_t most);
inline Arguments Parse(const std::vector<std::string>& argv, const std::set<std::string>& valued,
                       const std::set<std::string>& flags, std::size_t positionalCount) {
    return Parse(argv, valued, flags, positionalCount, positionalCount);
}

// A whole number within limits, or throws UsageError naming the option.
long ParseWhole(const std::string& text, const std::string& what, long minimum, long maximum);
// A finite decimal number, or throws UsageError naming what.
double ParseNumber(const std::string& text, const std::string& what);

} // namespace cli
