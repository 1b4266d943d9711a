// TQuillEffect: the crossfader script's generated class. Two mono inputs with
// a level and an on/off switch each, a crossfader with a centre boost, an
// output level, and the same mono mix on both outputs.
#pragma once

#include "effect/tquill.h"

class TQuillEffect final : public TQuill {
public:
    TQuillEffect();

    void DoSlider() override;
    void DoBlock() override;
    void DoSample() override;
    void DoReset() override;
    void DoInit() override;
    void DoSerialize() override;

    // Gains, computed in the slider section.
    double gainIn1 = 0, gainIn2 = 0, gainOut = 0;
    double fadeCentred = 0, centreBoost = 0;
    double onIn1 = 0, onIn2 = 0;
    double weightIn2 = 0, weightIn1 = 0;
    // Per-frame values of the sample section.
    double in1Left = 0, in1Right = 0, in2Left = 0, in2Right = 0;
    double mix1Left = 0, mix1Right = 0, mix2Left = 0, mix2Right = 0;
    // The host's state: host copies filled by the init and block sections,
    // current copies refreshed from them.
    double curSampleRate = 0, hostSampleRate = 0;
    double curChannelCount = 0, hostChannelCount = 0;
    double curBlockSize = 0, hostBlockSize = 0;
    double curTempo = 0, hostTempo = 0;
    double curTimeSigNumerator = 0, hostTimeSigNumerator = 0;
    double curTimeSigDenominator = 0, hostTimeSigDenominator = 0;
    double playState = 0, beatPosition = 0;
    double displayUpdateRequest = 0, lastDisplayCheck = 0;
    double latencySamples = 0, reportedLatency = 0;
    double serialIndex = 0;

private:
    void Refresh() {
        curSampleRate = quill::Store(hostSampleRate);
        curChannelCount = quill::Store(hostChannelCount);
        curBlockSize = quill::Store(hostBlockSize);
        curTempo = quill::Store(hostTempo);
        curTimeSigNumerator = quill::Store(hostTimeSigNumerator);
        curTimeSigDenominator = quill::Store(hostTimeSigDenominator);
    }
};

// Defined here so that a caller that knows the type can inline it into its frame loop.
inline void TQuillEffect::DoSample() {
    using quill::Store;
    Refresh();
    in2Left = Store(onIn2 * sampleSlots[1]);
    in2Right = Store(onIn2 * sampleSlots[1]);
    in1Left = Store(onIn1 * sampleSlots[0]);
    in1Right = Store(onIn1 * sampleSlots[0]);
    mix1Left = Store((in1Left * gainIn1) * weightIn1);
    mix1Right = Store((in1Right * gainIn1) * weightIn1);
    mix2Left = Store((in2Left * gainIn2) * weightIn2);
    mix2Right = Store((in2Right * gainIn2) * weightIn2);
    sampleSlots[0] = Store((gainOut * centreBoost) * (mix1Left + mix2Left));
    sampleSlots[1] = Store((gainOut * centreBoost) * (mix2Right + mix1Right));
}
