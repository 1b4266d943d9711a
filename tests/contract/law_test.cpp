// The crossfade law checked against values worked out by hand, independently
// of the step-by-step reference: a fault copied into both the plug-in and the
// reference still fails here.
#include <vector>

#include "support.h"

using contract::Rig;

namespace {

// One frame through the module's double path with the given normalised settings.
std::pair<double, double> Mix(const std::vector<float>& settings, double in1, double in2) {
    Rig rig;
    rig->start();
    for (int k = 0; k < 6; ++k) rig->setParameter(k, settings[static_cast<std::size_t>(k)]);
    double a[1] = {in1}, b[1] = {in2}, o0[1] = {9}, o1[1] = {9};
    double* ins[2] = {a, b};
    double* outs[2] = {o0, o1};
    rig->processDouble(ins, outs, 1);
    EXPECT_EQ(o0[0], o1[0]); // the same mono mix on both outputs
    return {o0[0], o1[0]};
}

// Levels at 0 dB are normalised 0.5; crossfader 0 is all mono 1.
constexpr float kUnity = 0.5f;

} // namespace

TEST(Law, EndsCentreAndQuartersOfTheCrossfader) {
    const double x = 0.6, y = -0.2;
    EXPECT_EQ(Mix({kUnity, kUnity, 0.0f, 0, 0, kUnity}, x, y).first, x);
    EXPECT_EQ(Mix({kUnity, kUnity, 1.0f, 0, 0, kUnity}, x, y).first, y);
    // The centre boost: 1.25 at the middle, 1.125 a quarter of the way.
    EXPECT_NEAR(Mix({kUnity, kUnity, 0.5f, 0, 0, kUnity}, x, y).first, 1.25 * (0.5 * x + 0.5 * y), 1e-15);
    EXPECT_NEAR(Mix({kUnity, kUnity, 0.25f, 0, 0, kUnity}, x, y).first, 1.125 * (0.75 * x + 0.25 * y), 1e-15);
    EXPECT_NEAR(Mix({kUnity, kUnity, 0.75f, 0, 0, kUnity}, x, y).first, 1.125 * (0.25 * x + 0.75 * y), 1e-15);
}

TEST(Law, SwitchesSilenceTheirInputOnly) {
    const double x = 0.6, y = -0.2;
    EXPECT_EQ(Mix({kUnity, kUnity, 0.0f, 1, 0, kUnity}, x, y).first, 0.0);
    EXPECT_NEAR(Mix({kUnity, kUnity, 0.5f, 1, 0, kUnity}, x, y).first, 1.25 * 0.5 * y, 1e-15);
    EXPECT_NEAR(Mix({kUnity, kUnity, 0.5f, 0, 1, kUnity}, x, y).first, 1.25 * 0.5 * x, 1e-15);
    EXPECT_EQ(Mix({kUnity, kUnity, 0.5f, 1, 1, kUnity}, x, y).first, 0.0);
}

// Normalised 0.2 is -6 dB, 0.8 is +6 dB, 1 is +10 dB on the -10 … 10 dB sliders.
TEST(Law, LevelsAreDecibels) {
    const double minus6 = 0.50118723362727224, plus6 = 1.9952623149688795, plus10 = 3.1622776601683795;
    EXPECT_NEAR(Mix({0.2f, kUnity, 0.0f, 0, 0, kUnity}, 0.5, 0.0).first, 0.5 * minus6, 1e-12);
    EXPECT_NEAR(Mix({kUnity, 0.8f, 1.0f, 0, 0, kUnity}, 0.0, 0.5).first, 0.5 * plus6, 1e-12);
    EXPECT_NEAR(Mix({kUnity, kUnity, 0.0f, 0, 0, 1.0f}, 0.25, 0.0).first, 0.25 * plus10, 1e-12);
    EXPECT_NEAR(Mix({kUnity, kUnity, 0.0f, 0, 0, 0.0f}, 0.25, 0.0).first, 0.25 / plus10, 1e-12);
}
