// What vstrun writes, and nothing else: a regular file replaced whole with its
// mode kept, a link followed, a device, FIFO or standard output written in
// place, the files it reads never written, no temporary file left after a
// signal. Everything here happens in the test's own folder, with stand-ins;
// the one real device, /dev/null, is only ever written to.
#include <sys/stat.h>

#include "harness.h"

using namespace vstrun_test;

namespace {
mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

const auto kOwnerReadWrite = fs::perms::owner_read | fs::perms::owner_write;
} // namespace

TEST_F(Vstrun, RegularFilesAreReplacedWholeKeepingTheirMode) {
    WriteWav(At("in.wav"), Noise<float>(2, 1000), SF_FORMAT_FLOAT);
    ASSERT_EQ(Run({"render", kModule, At("in.wav"), At("plain.wav")}).status, 0);
    const auto expected = ReadWav<float>(At("plain.wav"));
    ASSERT_EQ(expected.size(), 2u);

    // An existing file keeps its mode; a new one gets what the umask leaves.
    std::ofstream(At("private.wav")) << "old";
    fs::permissions(At("private.wav"), kOwnerReadWrite);
    ASSERT_EQ(Run({"render", kModule, At("in.wav"), At("private.wav")}).status, 0);
    EXPECT_EQ(ModeOf(At("private.wav")), 0600u);
    EXPECT_EQ(ReadWav<float>(At("private.wav")), expected);
    const mode_t saved = umask(027);
    const Result masked = Run({"render", kModule, At("in.wav"), At("masked.wav")});
    umask(saved);
    ASSERT_EQ(masked.status, 0) << masked.err;
    EXPECT_EQ(ModeOf(At("masked.wav")), 0640u);

    // A link is followed, to a file or to where one is to be; the links stay.
    fs::create_directory(At("real"));
    std::ofstream(At("real/target.wav")) << "old";
    fs::permissions(At("real/target.wav"), kOwnerReadWrite | fs::perms::group_read);
    fs::create_symlink("real/target.wav", At("link.wav"));
    fs::create_symlink("real/new.wav", At("dangling.wav"));
    ASSERT_EQ(Run({"render", kModule, At("in.wav"), At("link.wav")}).status, 0);
    ASSERT_EQ(Run({"render", kModule, At("in.wav"), At("dangling.wav")}).status, 0);
    EXPECT_EQ(fs::read_symlink(At("link.wav")), "real/target.wav");
    EXPECT_EQ(fs::read_symlink(At("dangling.wav")), "real/new.wav");
    EXPECT_EQ(ModeOf(At("real/target.wav")), 0640u);
    EXPECT_EQ(ReadWav<float>(At("real/target.wav")), expected);
    EXPECT_EQ(ReadWav<float>(At("real/new.wav")), expected);

    const std::vector<std::string> names = {"dangling.wav", "link.wav",    "masked.wav",
                                            "plain.wav",    "private.wav", "real"};
    EXPECT_EQ(Leftovers({"in.wav"}), names);
    EXPECT_EQ(std::distance(fs::directory_iterator(At("real")), fs::directory_iterator()), 2);
}

TEST_F(Vstrun, DevicesFifosAndStandardOutputAreWrittenInPlace) {
    WriteWav(At("in.wav"), Noise<float>(2, 1000), SF_FORMAT_FLOAT);
    ASSERT_EQ(Run({"render", kModule, At("in.wav"), At("plain.wav")}).status, 0);
    ASSERT_EQ(Run({"render", kModule, At("in.wav"), At("plain.flac")}).status, 0);
    fs::create_directory(At("tmp"));
    const Launch withTmp = Environment({"TMPDIR=" + At("tmp")});

    // Standard output, here a file: the finished WAV, the summary on stderr.
    Launch toFile = withTmp;
    toFile.stdoutPath = At("captured.wav");
    const Result r = Run({"render", kModule, At("in.wav"), "-"}, toFile);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "rendered 1000 frames")) << r.err;
    EXPECT_EQ(ReadWav<float>(At("captured.wav")), ReadWav<float>(At("plain.wav")));

    // A FIFO, read here while vstrun writes: WAV, which libsndfile must seek in, and FLAC.
    ASSERT_EQ(mkfifo(At("pipe").c_str(), 0644), 0);
    for (const std::string format : {"wav", "flac"}) {
        const int reader = open(At("pipe").c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        Launch draining = withTmp;
        draining.drainFd = reader;
        const Result piped =
            Finish(Start({"render", kModule, At("in.wav"), At("pipe"), "--format", format}, draining), draining);
        close(reader);
        ASSERT_EQ(piped.status, 0) << piped.err;
        std::ofstream(At("from-pipe." + format), std::ios::binary) << piped.drained;
        EXPECT_EQ(ReadWav<float>(At("from-pipe." + format)), ReadWav<float>(At("plain." + format))) << format;
    }
    EXPECT_TRUE(fs::is_fifo(At("pipe")));

    // A device takes the bytes and stays the device it was.
    struct stat before {
    }, after{};
    ASSERT_EQ(stat("/dev/null", &before), 0);
    ASSERT_TRUE(S_ISCHR(before.st_mode));
    const Result device = Run({"render", kModule, At("in.wav"), "/dev/null"}, withTmp);
    EXPECT_EQ(device.status, 0) << device.err;
    ASSERT_EQ(stat("/dev/null", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
    EXPECT_EQ(after.st_rdev, before.st_rdev);
    EXPECT_EQ(after.st_ino, before.st_ino);

    EXPECT_TRUE(fs::is_empty(At("tmp")));
}

TEST_F(Vstrun, FilesItReadsAreNeverWritten) {
    WriteWav(At("in.wav"), Noise<float>(2, 100), SF_FORMAT_FLOAT);
    fs::copy_file(kModule, At("module.so"));
    ASSERT_EQ(Run({"render", At("module.so"), At("in.wav"), At("x.wav"), "--save-state", At("s.state")}).status, 0);
    fs::remove(At("x.wav"));
    fs::create_hard_link(At("in.wav"), At("alias.wav"));
    fs::create_symlink("module.so", At("module-link.so"));
    fs::create_directory(At("folder"));
    const std::vector<std::string> inputs = {"in.wav", "module.so", "s.state", "alias.wav", "module-link.so", "folder"};
    const std::vector<std::string> files(inputs.begin(), inputs.end() - 1);
    std::vector<std::string> contents;
    for (const auto& name : files) contents.push_back(Slurp(At(name)));

    const std::string module = At("module.so"), in = At("in.wav");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"render", module, in, At("alias.wav")}, "it is the same file as IN " + in},
        {{"render", module, in, At("module-link.so")}, "it is the same file as the module " + module},
        {{"render", "module.so", in, module}, "it is the same file as the module ./module.so"},
        {{"render", module, in, At("s.state"), "--load-state", At("s.state")}, "it is the same file as the state file"},
        {{"render", module, in, At("out.wav"), "--save-state", At("out.wav")}, "it is both OUT and the state file"},
        {{"render", module, in, At("out.wav"), "--save-state", At("alias.wav")}, "it is the same file as IN"},
        {{"sweep", module, "--param", "2", "--svg", At("module-link.so")}, "it is the same file as the module"},
        {{"render", module, in, At("folder")}, "cannot write " + At("folder") + ": it is a folder"},
    };
    for (const auto& [arguments, message] : cases) {
        const Result r = Run(arguments);
        EXPECT_EQ(r.status, 1) << message;
        EXPECT_TRUE(Contains(r.err, message)) << message << "\n" << r.err;
        EXPECT_EQ(r.out, "") << message;
        for (std::size_t k = 0; k < files.size(); ++k) EXPECT_EQ(Slurp(At(files[k])), contents[k]) << files[k];
        EXPECT_EQ(Leftovers(inputs), std::vector<std::string>{}) << message;
    }
    // A state may be loaded from a file and saved back into it.
    EXPECT_EQ(
        Run({"render", module, in, At("out.wav"), "--load-state", At("s.state"), "--save-state", At("s.state")}).status,
        0);
}

TEST_F(Vstrun, SignalsLeaveNoTemporaryFile) {
    WriteWav(At("in.wav"), Noise<float>(2, 16000), SF_FORMAT_FLOAT, 8000);
    fs::create_directory(At("tmp"));
    Launch slow = Environment({"PROBE_SLEEP_US=20000", "TMPDIR=" + At("tmp")}); // each call of 64 frames takes 20 ms
    slow.stdoutPath = At("stdout.wav");
    auto temporaries = [&] {
        int count = 0;
        for (const auto& folder : {dir, fs::path(At("tmp"))})
            for (const auto& entry : fs::directory_iterator(folder))
                count += Contains(entry.path().filename().string(), ".part") || folder != dir;
        return count;
    };
    // Beside OUT for a file, in TMPDIR for standard output.
    for (const auto& [signal, out] : {std::pair{SIGINT, At("out.wav")}, std::pair{SIGTERM, std::string("-")}}) {
        const pid_t pid = Start({"render", kProbe, At("in.wav"), out, "--block", "64"}, slow);
        for (int k = 0; k < 5000 && temporaries() == 0; ++k) usleep(1000);
        EXPECT_EQ(temporaries(), 1) << "no render under way to interrupt";
        kill(pid, signal);
        const Result r = Finish(pid, slow);
        EXPECT_EQ(r.status, 128 + signal) << r.err;
        EXPECT_EQ(temporaries(), 0);
        EXPECT_EQ(Leftovers({"in.wav", "tmp", "stdout.wav"}), std::vector<std::string>{});
    }
}
