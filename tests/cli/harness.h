// Running vstrun as a user does: a separate process in a folder of its own,
// with a time limit, on real files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vstrun_test {

namespace fs = std::filesystem;

inline const std::string kModule = fs::absolute(PLUGIN_MODULE_FILE).string();
inline const std::string kProbe = fs::absolute(PROBE_MODULE).string();

struct Result {
    int status; // exit status, or 128 + the signal that ended it
    std::string out, err;
    long peakResidentKb; // as last seen while it ran
    std::string drained; // what was read from Launch::drainFd
};

struct Launch {
    std::vector<std::string> environment; // NAME=value, before the inherited ones
    std::string folder;                   // working folder; the test's own when empty
    std::string stdoutPath;               // standard output to this file instead of Result::out
    int stderrFd = -1;                    // standard error to this descriptor instead of Result::err
    int drainFd = -1;                     // read into Result::drained while the child runs
};

// A launch that only adds to the environment.
inline Launch Environment(std::vector<std::string> variables) {
    Launch launch;
    launch.environment = std::move(variables);
    return launch;
}

inline std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Vstrun : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vstrun-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string At(const std::string& name) const { return (dir / name).string(); }

    pid_t Start(std::vector<std::string> arguments, const Launch& launch = {}) {
        arguments.insert(arguments.begin(), VSTRUN_PATH);
        std::vector<char*> argv;
        for (auto& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> environment = launch.environment;
        for (char** e = environ; *e; ++e) environment.emplace_back(*e);
        std::vector<char*> envp;
        for (auto& e : environment) envp.push_back(e.data());
        envp.push_back(nullptr);

        const std::string out = launch.stdoutPath.empty() ? At(".stdout") : launch.stdoutPath;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (launch.stderrFd >= 0) posix_spawn_file_actions_adddup2(&actions, launch.stderrFd, 2);
        else posix_spawn_file_actions_addopen(&actions, 2, At(".stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addchdir_np(&actions, launch.folder.empty() ? dir.c_str() : launch.folder.c_str());
        // Signals the test sends are not ignored, whatever this process inherited.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        pid_t pid = -1;
        if (posix_spawn(&pid, VSTRUN_PATH, &actions, &attributes, argv.data(), envp.data()) != 0) pid = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    // Waits for the child, killing it after seconds: no test ever hangs.
    Result Finish(pid_t pid, const Launch& launch = {}, double seconds = 60) {
        Result result{-1, "", "", 0, ""};
        if (pid <= 0) {
            ADD_FAILURE() << "cannot start " << VSTRUN_PATH;
            return result;
        }
        if (launch.drainFd >= 0) fcntl(launch.drainFd, F_SETFL, O_NONBLOCK);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        int status = 0;
        for (;;) {
            Drain(launch.drainFd, result.drained);
            result.peakResidentKb = std::max(result.peakResidentKb, PeakResidentKb(pid));
            if (waitpid(pid, &status, WNOHANG) == pid) break;
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << "vstrun did not finish within " << seconds << " s";
                break;
            }
            usleep(1000);
        }
        Drain(launch.drainFd, result.drained);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (launch.stdoutPath.empty()) result.out = Slurp(At(".stdout"));
        if (launch.stderrFd < 0) result.err = Slurp(At(".stderr"));
        fs::remove(At(".stdout"));
        fs::remove(At(".stderr"));
        return result;
    }

    Result Run(const std::vector<std::string>& arguments, const Launch& launch = {}) {
        return Finish(Start(arguments, launch), launch);
    }

    // Files left in the folder, the test's own inputs aside.
    std::vector<std::string> Leftovers(const std::vector<std::string>& inputs) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (std::find(inputs.begin(), inputs.end(), name) == inputs.end()) names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    // The kernel's high-water mark of the process's memory since it started the
    // program (its rusage would count the memory of this process, which started it).
    static long PeakResidentKb(pid_t pid) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
        return 0;
    }

    static void Drain(int fd, std::string& into) {
        if (fd < 0) return;
        char buffer[4096];
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) into.append(buffer, static_cast<std::size_t>(n));
    }
};

template <class Sample>
void WriteWav(const std::string& path, const std::vector<std::vector<Sample>>& channels, int subtype,
              int rate = 48000) {
    SF_INFO info{};
    info.channels = static_cast<int>(channels.size());
    info.samplerate = rate;
    info.format = SF_FORMAT_WAV | subtype;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<Sample> interleaved;
    for (std::size_t f = 0; f < channels[0].size(); ++f)
        for (const auto& channel : channels) interleaved.push_back(channel[f]);
    if constexpr (sizeof(Sample) == sizeof(double))
        sf_writef_double(file, interleaved.data(), static_cast<sf_count_t>(channels[0].size()));
    else sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(channels[0].size()));
    sf_close(file);
}

// Channels of a file, and its format through info when asked.
template <class Sample>
std::vector<std::vector<Sample>> ReadWav(const std::string& path, SF_INFO* infoOut = nullptr) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    std::vector<Sample> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    if constexpr (sizeof(Sample) == sizeof(double)) sf_readf_double(file, interleaved.data(), info.frames);
    else sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    std::vector<std::vector<Sample>> channels(info.channels);
    for (std::size_t k = 0; k < interleaved.size(); ++k) channels[k % info.channels].push_back(interleaved[k]);
    if (infoOut) *infoOut = info;
    return channels;
}

template <class Sample>
std::vector<std::vector<Sample>> Noise(std::size_t channels, std::size_t frames) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> uniform(-1.5f, 1.5f); // beyond full scale too
    std::vector<std::vector<Sample>> out(channels, std::vector<Sample>(frames));
    for (auto& channel : out)
        for (auto& x : channel) x = uniform(random);
    return out;
}

} // namespace vstrun_test
