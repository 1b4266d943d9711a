// The bundle's description as lilv reads it, against the effect's sliders.
#include <iterator>
#include <map>

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/units/units.h>

#include "core/brio_format.h"
#include "quill_version.h"
#include "support.h"

using lv2host::Node;
using lv2test::ThePlugin;
using lv2test::TheWorld;

namespace {

int IntValue(const LilvPlugin* plugin, const char* predicate) {
    LilvNodes* values = lilv_plugin_get_value(plugin, TheWorld().uri(predicate).get());
    const int value = values && lilv_nodes_size(values) == 1 ? lilv_node_as_int(lilv_nodes_get_first(values)) : -1;
    lilv_nodes_free(values);
    return value;
}

bool Contains(const LilvNodes* nodes, const char* uri) {
    return nodes && lilv_nodes_contains(nodes, TheWorld().uri(uri).get());
}

} // namespace

TEST(Lv2Description, PluginFacts) {
    const LilvPlugin* plugin = ThePlugin();
    ASSERT_NE(plugin, nullptr);
    EXPECT_STREQ(lilv_node_as_uri(lilv_plugin_get_uri(plugin)), lv2test::kUri);
    const Node name(lilv_plugin_get_name(plugin)), author(lilv_plugin_get_author_name(plugin));
    ASSERT_TRUE(name && author);
    EXPECT_STREQ(lilv_node_as_string(name.get()), "Morvantide_crossfader_2x_mono");
    EXPECT_STREQ(lilv_node_as_string(author.get()), "Morvantide");
    EXPECT_STREQ(lilv_node_as_uri(lilv_plugin_class_get_uri(lilv_plugin_get_class(plugin))), LV2_CORE__MixerPlugin);
    EXPECT_EQ(IntValue(plugin, LV2_CORE__minorVersion), QUILL_VERSION_MINOR);
    EXPECT_EQ(IntValue(plugin, LV2_CORE__microVersion), QUILL_VERSION_PATCH);

    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    EXPECT_EQ(lilv_nodes_size(required), 0u);
    lilv_nodes_free(required);
    LilvNodes* optional = lilv_plugin_get_optional_features(plugin);
    EXPECT_TRUE(Contains(optional, LV2_CORE__hardRTCapable));
    lilv_nodes_free(optional);
    EXPECT_TRUE(lilv_plugin_has_extension_data(plugin, TheWorld().uri(LV2_STATE__interface).get()));
    EXPECT_TRUE(lilv_plugin_verify(plugin));
}

TEST(Lv2Description, PortsInOrderCarryTheSliders) {
    const LilvPlugin* plugin = ThePlugin();
    ASSERT_NE(plugin, nullptr);
    lv2test::Lv2Rig rig;
    ASSERT_TRUE(rig.plugin);
    const auto& ports = rig->ports();
    const char* symbols[] = {"in_1",       "in_2",          "out_1",         "out_2",        "level_1", "level_2",
                             "crossfader", "channel_1_off", "channel_2_off", "output_level", "control"};
    ASSERT_EQ(ports.size(), std::size(symbols));
    for (std::size_t i = 0; i < ports.size(); ++i) EXPECT_EQ(ports[i].symbol, symbols[i]) << i;
    using Kind = lv2host::PortInfo::Kind;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ports[i].kind, Kind::kAudio);
        EXPECT_EQ(ports[i].input, i < 2);
    }
    EXPECT_EQ(ports[0].name, "mono 1");
    EXPECT_EQ(ports[1].name, "mono 2");

    // Names, ranges and defaults are the effect's own.
    const Node unit(lilv_new_uri(TheWorld().lilv(), LV2_UNITS__unit));
    const Node enumeration(lilv_new_uri(TheWorld().lilv(), LV2_CORE__enumeration));
    const Node integer(lilv_new_uri(TheWorld().lilv(), LV2_CORE__integer));
    BrioFormatInstance effect;
    for (std::int32_t k = 0; k < 6; ++k) {
        const lv2host::PortInfo& port = ports[4 + static_cast<std::size_t>(k)];
        SCOPED_TRACE(port.symbol);
        BrioSliderFacts facts;
        ASSERT_TRUE(BrioGetSliderFacts(&effect, k, &facts));
        EXPECT_EQ(port.kind, Kind::kControl);
        EXPECT_TRUE(port.input);
        EXPECT_EQ(port.name, *facts.name);
        EXPECT_EQ(port.minimum, static_cast<float>(facts.minimum));
        EXPECT_EQ(port.maximum, static_cast<float>(facts.maximum));
        EXPECT_EQ(port.defaultValue, static_cast<float>(facts.defaultValue));

        const LilvPort* lilvPort = lilv_plugin_get_port_by_index(plugin, port.index);
        LilvNodes* units = lilv_port_get_value(plugin, lilvPort, unit.get());
        const bool level = k == 0 || k == 1 || k == 5;
        EXPECT_EQ(Contains(units, LV2_UNITS__db), level);
        lilv_nodes_free(units);

        const bool onOff = k == 3 || k == 4;
        EXPECT_EQ(lilv_port_has_property(plugin, lilvPort, enumeration.get()), onOff);
        EXPECT_EQ(lilv_port_has_property(plugin, lilvPort, integer.get()), onOff);
        LilvScalePoints* points = lilv_port_get_scale_points(plugin, lilvPort);
        std::map<std::string, float> labelled;
        LILV_FOREACH(scale_points, i, points) {
            const LilvScalePoint* point = lilv_scale_points_get(points, i);
            labelled[lilv_node_as_string(lilv_scale_point_get_label(point))] =
                lilv_node_as_float(lilv_scale_point_get_value(point));
        }
        lilv_scale_points_free(points);
        const std::map<std::string, float> expected = {{"on", 0.0f}, {"off", 1.0f}}, none;
        EXPECT_EQ(labelled, onOff ? expected : none);
    }
    EXPECT_EQ(ports[4].minimum, -10.0f);
    EXPECT_EQ(ports[6].maximum, 1.0f);

    // The time port, which a host without atom support may leave alone.
    const lv2host::PortInfo& control = ports[10];
    EXPECT_EQ(control.kind, Kind::kAtom);
    EXPECT_TRUE(control.input);
    EXPECT_TRUE(control.optional);
    const LilvPort* events = lilv_plugin_get_port_by_index(plugin, 10);
    EXPECT_TRUE(lilv_port_supports_event(plugin, events, TheWorld().uri(LV2_TIME__Position).get()));
    LilvNodes* bufferType = lilv_port_get_value(plugin, events, TheWorld().uri(LV2_ATOM__bufferType).get());
    EXPECT_TRUE(Contains(bufferType, LV2_ATOM__Sequence));
    lilv_nodes_free(bufferType);
}
