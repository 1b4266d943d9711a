// The module as a host scans it: entry, factory, descriptor, instance
// creation, extensions, ports, and the lifecycle in and out of order.
#include <cmath>
#include <limits>

#include "quill_version.h"
#include "support.h"

using namespace clap_contract;

namespace {
const char kId[] = "org.morvantide.crossfader_2x_mono";
} // namespace

TEST(ClapEntry, InitIsCountedAndTheFactoryAnswersOnlyWhileInitialised) {
    ASSERT_TRUE(TheModule().ok()) << TheModule().error();
    const clap_plugin_entry* entry = TheModule().entry();
    EXPECT_GE(entry->clap_version.major, 1u);
    EXPECT_NE(TheModule().factory(), nullptr);
    EXPECT_EQ(entry->get_factory("clap.preset-discovery-factory"), nullptr);
    EXPECT_EQ(entry->get_factory("clap.plugin-factor"), nullptr);
    EXPECT_EQ(entry->get_factory(nullptr), nullptr);

    // A second init before deinit, as a wrapper in the same process does: one deinit leaves it working.
    ASSERT_TRUE(entry->init(TheModule().path().c_str()));
    entry->deinit();
    EXPECT_NE(entry->get_factory(CLAP_PLUGIN_FACTORY_ID), nullptr);
    Clap still;
    EXPECT_TRUE(still.plugin->ok());
}

TEST(ClapEntry, AfterTheLastDeinitNothingIsServedUntilInitAgain) {
    vsthost::clap::Module module(std::string("./") + CLAP_MODULE_FILE);
    ASSERT_TRUE(module.ok());
    const clap_plugin_entry* entry = module.entry();
    // The shared module holds one init; this one another: take both away.
    entry->deinit();
    entry->deinit();
    EXPECT_EQ(entry->get_factory(CLAP_PLUGIN_FACTORY_ID), nullptr);
    entry->deinit(); // one too many changes nothing
    ASSERT_TRUE(entry->init(module.path().c_str()));
    ASSERT_TRUE(entry->init(module.path().c_str()));
    EXPECT_NE(entry->get_factory(CLAP_PLUGIN_FACTORY_ID), nullptr);
}

TEST(ClapFactory, OneDescriptorWithTheProductsFacts) {
    const clap_plugin_factory* factory = TheModule().factory();
    ASSERT_NE(factory, nullptr);
    ASSERT_EQ(factory->get_plugin_count(factory), 1u);
    EXPECT_EQ(factory->get_plugin_descriptor(factory, 1), nullptr);
    const clap_plugin_descriptor* d = factory->get_plugin_descriptor(factory, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(clap_version_is_compatible(d->clap_version));
    EXPECT_STREQ(d->id, kId);
    EXPECT_STREQ(d->name, "Morvantide_crossfader_2x_mono");
    EXPECT_STREQ(d->vendor, "Morvantide");
    EXPECT_STREQ(d->version, QUILL_VERSION);
    for (const char* text : {d->url, d->manual_url, d->support_url, d->description}) EXPECT_NE(text, nullptr);
    std::vector<std::string> features;
    for (const char* const* f = d->features; f && *f; ++f) features.emplace_back(*f);
    EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "mixing", "stereo"}));

    // The descriptor's name is the VST 2.4 module's effect name.
    Vst2 vst2;
    EXPECT_EQ(vst2->text(effGetEffectName), d->name);
    EXPECT_EQ(vst2->text(effGetVendorString), d->vendor);
}

TEST(ClapFactory, CreateRefusesUnknownIdsAndUnusableHosts) {
    const clap_plugin_factory* factory = TheModule().factory();
    ASSERT_NE(factory, nullptr);
    vsthost::clap::Host host;
    for (const char* id : {"org.morvantide.crossfader_2x_mon", "org.morvantide.crossfader_2x_mono2", ""})
        EXPECT_EQ(factory->create_plugin(factory, host.get(), id), nullptr) << id;
    EXPECT_EQ(factory->create_plugin(factory, host.get(), nullptr), nullptr);
    EXPECT_EQ(factory->create_plugin(factory, nullptr, kId), nullptr);
    host.raw().clap_version = {0, 19, 0};
    EXPECT_EQ(factory->create_plugin(factory, host.get(), kId), nullptr);
    // Creating speaks to no host: the first request comes in init.
    host.raw().clap_version = CLAP_VERSION;
    const clap_plugin* plugin = factory->create_plugin(factory, host.get(), kId);
    ASSERT_NE(plugin, nullptr);
    EXPECT_TRUE(host.calls().empty());
    EXPECT_EQ(plugin->desc, factory->get_plugin_descriptor(factory, 0));
    for (auto entry :
         {reinterpret_cast<const void*>(plugin->init), reinterpret_cast<const void*>(plugin->destroy),
          reinterpret_cast<const void*>(plugin->activate), reinterpret_cast<const void*>(plugin->deactivate),
          reinterpret_cast<const void*>(plugin->start_processing),
          reinterpret_cast<const void*>(plugin->stop_processing), reinterpret_cast<const void*>(plugin->reset),
          reinterpret_cast<const void*>(plugin->process), reinterpret_cast<const void*>(plugin->get_extension),
          reinterpret_cast<const void*>(plugin->on_main_thread)})
        EXPECT_NE(entry, nullptr);
    plugin->destroy(plugin);
}

TEST(ClapExtensions, TheFourServedFromInitOnAndNothingElse) {
    Clap clap;
    const clap_plugin* plugin = clap->plugin();
    EXPECT_EQ(plugin->get_extension(plugin, CLAP_EXT_PARAMS), nullptr); // not before init
    ASSERT_TRUE(clap->init());
    EXPECT_NE(clap->params(), nullptr);
    EXPECT_NE(clap->state(), nullptr);
    EXPECT_NE(clap->audioPorts(), nullptr);
    EXPECT_NE(clap->latency(), nullptr);
    for (const char* id : {"clap.gui", "clap.note-ports", "clap.tail", "clap.render", "clap.state-context/2",
                           "clap.params.draft/0", "clap.param", "clap.paramsx", "", "clap.audio-ports-config"})
        EXPECT_EQ(plugin->get_extension(plugin, id), nullptr) << id;
    EXPECT_EQ(plugin->get_extension(plugin, nullptr), nullptr);
    EXPECT_EQ(clap.host.count("get_extension clap.params"), 1u);
}

TEST(ClapPorts, OneStereoMainPortEachWayAnInPlacePairWithSixtyFourBitAudio) {
    Clap clap;
    ASSERT_TRUE(clap->init());
    const clap_plugin_audio_ports* ports = clap->audioPorts();
    for (bool input : {true, false}) {
        ASSERT_EQ(ports->count(clap->plugin(), input), 1u);
        clap_audio_port_info info{};
        ASSERT_TRUE(ports->get(clap->plugin(), 0, input, &info));
        EXPECT_EQ(info.id, 0u);
        EXPECT_GT(std::strlen(info.name), 0u);
        EXPECT_EQ(info.flags, CLAP_AUDIO_PORT_IS_MAIN | CLAP_AUDIO_PORT_SUPPORTS_64BITS |
                                  CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE);
        EXPECT_EQ(info.channel_count, 2u);
        ASSERT_NE(info.port_type, nullptr);
        EXPECT_STREQ(info.port_type, CLAP_PORT_STEREO);
        EXPECT_EQ(info.in_place_pair, 0u);
        EXPECT_FALSE(ports->get(clap->plugin(), 1, input, &info));
        EXPECT_FALSE(ports->get(clap->plugin(), 0, input, nullptr));
    }
    EXPECT_EQ(clap->latency()->get(clap->plugin()), 0u);
}

TEST(ClapLifecycle, OutOfOrderCallsAreRefusedAndChangeNothing) {
    Clap clap;
    const clap_plugin* plugin = clap->plugin();
    auto in = Signal<float>(1, 16), out = Blank<float>(16);
    // Nothing before init.
    EXPECT_FALSE(plugin->activate(plugin, 44100.0, 1, 16));
    EXPECT_FALSE(plugin->start_processing(plugin));
    ASSERT_TRUE(clap->init());
    EXPECT_FALSE(plugin->init(plugin));
    // No processing before activate and start_processing.
    EXPECT_FALSE(plugin->start_processing(plugin));
    EXPECT_EQ(clap->process(in, out), CLAP_PROCESS_ERROR);
    EXPECT_TRUE(SameBits(out[0], Blank<float>(16)[0]));
    plugin->stop_processing(plugin);
    plugin->deactivate(plugin);
    plugin->reset(plugin);
    plugin->on_main_thread(plugin);
    // Activation wants a real rate and a frame range.
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    for (double rate : {0.0, -44100.0, nan, inf, 1e300}) EXPECT_FALSE(plugin->activate(plugin, rate, 1, 16)) << rate;
    EXPECT_FALSE(plugin->activate(plugin, 44100.0, 1, 0));
    EXPECT_FALSE(plugin->activate(plugin, 44100.0, 32, 16));
    EXPECT_FALSE(plugin->activate(plugin, 44100.0, 1, 0x80000000u));
    ASSERT_TRUE(clap->activate(48000.0, 1, 16));
    EXPECT_FALSE(plugin->activate(plugin, 48000.0, 1, 16));
    EXPECT_EQ(clap->process(in, out), CLAP_PROCESS_ERROR); // active, not processing
    ASSERT_TRUE(clap->startProcessing());
    EXPECT_FALSE(plugin->start_processing(plugin));
    plugin->deactivate(plugin); // refused while processing
    EXPECT_EQ(clap->process(in, out), CLAP_PROCESS_CONTINUE);
    Vst2 vst2;
    EXPECT_TRUE(SameBits(out[0], Vst2Output(vst2, in)[0]));
    clap->stopProcessing();
    EXPECT_EQ(clap->process(in, out), CLAP_PROCESS_ERROR);
    clap->deactivate();
    // Again, at another rate.
    EXPECT_TRUE(clap->start(96000.0, 16));
    EXPECT_EQ(clap->process(in, out), CLAP_PROCESS_CONTINUE);
}

TEST(ClapLifecycle, DestroyInAnyStateAndForeignRecordsAreHarmless) {
    for (int state = 0; state < 4; ++state) {
        Clap clap;
        if (state >= 1) {
            ASSERT_TRUE(clap->init());
        }
        if (state >= 2) {
            ASSERT_TRUE(clap->activate());
        }
        if (state >= 3) {
            ASSERT_TRUE(clap->startProcessing());
        }
        clap->destroy();
    }
    Clap clap;
    ASSERT_TRUE(clap->init());
    const clap_plugin* plugin = clap->plugin();
    clap_plugin foreign = *plugin; // a copy is not the instance
    EXPECT_FALSE(foreign.activate(&foreign, 44100.0, 1, 16));
    EXPECT_EQ(foreign.get_extension(&foreign, CLAP_EXT_PARAMS), nullptr);
    foreign.plugin_data = nullptr;
    EXPECT_EQ(foreign.process(&foreign, nullptr), CLAP_PROCESS_ERROR);
    const clap_plugin_params* params = clap->params();
    EXPECT_EQ(params->count(nullptr), 0u);
    EXPECT_EQ(params->count(&foreign), 0u);
    double value = 0;
    EXPECT_FALSE(params->get_value(nullptr, 0, &value));
    EXPECT_EQ(clap->state()->save(nullptr, nullptr), false);
    EXPECT_EQ(clap->latency()->get(nullptr), 0u);
}
