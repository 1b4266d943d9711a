// Many instances of the built module alive in one process, each taken
// through a host's whole lifecycle. Run natively, under the sanitizers and
// under valgrind; it fails on any instance that behaves unlike the first.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "host/vsthost.h"

namespace {
struct Soaked {
    vsthost::Host host;
    std::unique_ptr<vsthost::Instance> plugin;
    std::vector<std::vector<float>> out = std::vector<std::vector<float>>(2, std::vector<float>(64));
    std::vector<std::vector<double>> outDouble = std::vector<std::vector<double>>(2, std::vector<double>(64));
    std::vector<std::uint8_t> chunk;
};

bool Fail(const char* what, int instance) {
    std::fprintf(stderr, "soak: instance %d: %s\n", instance, what);
    return false;
}
} // namespace

int main(int argc, char** argv) {
    const int count = argc > 2 ? std::atoi(argv[2]) : 1000;
    if (argc < 2 || count <= 0) {
        std::fprintf(stderr, "usage: soak MODULE [COUNT]\n");
        return 2;
    }
    vsthost::Module module(argv[1]);
    if (!module.ok() || !module.entry()) {
        std::fprintf(stderr, "soak: cannot load %s: %s\n", argv[1], module.error().c_str());
        return 1;
    }

    std::vector<std::vector<float>> in(2, std::vector<float>(64));
    std::vector<std::vector<double>> inDouble(2, std::vector<double>(64));
    for (int j = 0; j < 64; ++j) {
        in[0][j] = static_cast<float>(std::sin(0.1 * j));
        in[1][j] = static_cast<float>(std::cos(0.03 * j));
        inDouble[0][j] = in[0][j];
        inDouble[1][j] = in[1][j];
    }

    std::vector<std::unique_ptr<Soaked>> all;
    bool ok = true;
    for (int k = 0; k < count && ok; ++k) {
        auto s = std::make_unique<Soaked>();
        s->host.logRequests = false;
        AEffect* effect = s->host.instantiate(module.entry());
        if (!effect) {
            ok = Fail("the entry point returned null", k);
            break;
        }
        s->plugin = std::make_unique<vsthost::Instance>(effect, s->host);
        s->plugin->start(48000.0f, 64);
        s->plugin->setParameter(2, static_cast<float>(k % 101) / 100.0f);
        s->plugin->process(in, s->out);
        s->plugin->processDouble(inDouble, s->outDouble);
        s->chunk = s->plugin->getChunk();
        if (s->chunk.size() != 260) ok = Fail("the chunk is not 260 bytes", k);
        s->plugin->setChunk(s->chunk);
        s->plugin->process(in, s->out);
        all.push_back(std::move(s));
    }
    // Instances with the same settings sound the same and save the same state.
    for (std::size_t k = 101; k < all.size() && ok; ++k) {
        if (all[k]->out != all[k % 101]->out || all[k]->outDouble != all[k % 101]->outDouble)
            ok = Fail("output differs from an instance with the same settings", static_cast<int>(k));
        if (all[k]->chunk != all[k % 101]->chunk) ok = Fail("state differs", static_cast<int>(k));
    }
    for (auto& s : all) {
        s->plugin->suspend();
        s->plugin->close();
    }
    all.clear();
    std::printf("soak: %d instances %s\n", count, ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
