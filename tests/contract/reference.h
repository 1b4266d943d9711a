// The crossfader's output computed independently, step by step in double
// precision with the store rule at every assignment.
#pragma once

#include <cmath>

namespace contract {

// The C library's pow at run time, never folded by the compiler, so that the
// reference uses the same function as the plug-in.
inline double Pow10(double exponent) {
    volatile double base = 10.0;
    return std::pow(base, exponent);
}

inline double Stored(double v) { return std::isfinite(v) ? v : 0.0; }

// What a host value becomes on a slider of the given range and step.
inline double Quantised(float host, double minimum, double maximum, double step) {
    const double x = host;
    return std::floor((minimum + x * (maximum - minimum) + step * 0.5) / step) * step;
}

// Slider ranges and steps in parameter order.
inline constexpr double kMin[6] = {-10, -10, 0, 0, 0, -10}, kMax[6] = {10, 10, 1, 1, 1, 10},
                        kStep[6] = {0.1, 0.1, 0.01, 1, 1, 0.1};

struct Reference {
    // Slider values by number: s[1] … s[6].
    double s[7] = {0, 0, 0, 0, 0, 0, 0};

    // The plug-in's defaults: both levels and the output at 0 dB, crossfader fully to input 1.
    Reference() { Update(); }

    void SetFromHost(int parameter, float value) {
        s[parameter + 1] = Quantised(value, kMin[parameter], kMax[parameter], kStep[parameter]);
        Update();
    }

    double gainIn1 = 0, gainIn2 = 0, gainOut = 0, boost = 0, on1 = 0, on2 = 0, w1 = 0, w2 = 0;

    void Update() {
        gainIn1 = Stored(Pow10(s[1] / 20.0));
        gainIn2 = Stored(Pow10(s[2] / 20.0));
        gainOut = Stored(Pow10(s[6] / 20.0));
        const double centred = Stored((s[3] - 1.0) * 10.0 + s[3] * 10.0);
        boost = Stored((std::fabs(centred / 20.0) - std::fabs(centred / 10.0) + 1.0 + 1.5) * 0.5);
        on1 = Stored(1.0 - s[4]);
        on2 = Stored(1.0 - s[5]);
        w2 = Stored(s[3]);
        w1 = Stored(1.0 - s[3]);
    }

    // Both outputs for one frame.
    void Frame(double in0, double in1, double& out0, double& out1) const {
        const double a = Stored(on2 * in1), b = Stored(on1 * in0);
        const double mix1 = Stored((b * gainIn1) * w1), mix2 = Stored((a * gainIn2) * w2);
        out0 = Stored((gainOut * boost) * (mix1 + mix2));
        out1 = Stored((gainOut * boost) * (mix2 + mix1));
    }
};

} // namespace contract
