#include "effect/tquill_effect.h"

#include <cmath>

#include "runtime/brio_host.h"
#include "runtime/datapath.h"

using quill::Store;

TQuillEffect::TQuillEffect() {
    effectName = "Morvantide_crossfader_2x_mono";
    productString = "Morvantide_crossfader_2x_mono";
    programName = "Morvantide_crossfader_2x_mono";
    vendorString = "Morvantide";
    vendorVersion = 1000;
    uniqueId = 0;
    channelCount = 2;

    AddSlider(1, nullptr, 0, -10, 10, 0.1, "", "", "", "level mono 1");
    AddSlider(2, nullptr, 0, -10, 10, 0.1, "", "", "", "level mono 2");
    AddSlider(3, nullptr, 0, 0, 1, 0.01, "", "", "", "crossfader mono 1 / mono 2");
    AddSlider(4, nullptr, 0, 0, 1, 1, "", "", "", "channel 1 on/off");
    sliders.back().enumNames = {"on", "off"};
    AddSlider(5, nullptr, 0, 0, 1, 1, "", "", "", "channel 2 on/off");
    sliders.back().enumNames = {"on", "off"};
    AddSlider(6, nullptr, 0, -10, 10, 0.1, "", "", "", "output mix level");
}

void TQuillEffect::DoReset() {
    TQuill::DoReset();
    gainIn1 = gainIn2 = gainOut = 0;
    fadeCentred = centreBoost = 0;
    onIn1 = onIn2 = weightIn2 = weightIn1 = 0;
    in1Left = in1Right = in2Left = in2Right = 0;
    mix1Left = mix1Right = mix2Left = mix2Right = 0;
    curSampleRate = hostSampleRate = curChannelCount = hostChannelCount = 0;
    curBlockSize = hostBlockSize = curTempo = hostTempo = 0;
    curTimeSigNumerator = hostTimeSigNumerator = curTimeSigDenominator = hostTimeSigDenominator = 0;
    playState = beatPosition = displayUpdateRequest = lastDisplayCheck = 0;
    latencySamples = reportedLatency = serialIndex = 0;
    StringSlot(10000) = "Courier New";
    stringCount = static_cast<double>(strings.size());
}

void TQuillEffect::DoInit() {
    hostSampleRate = Store(BrioGetSampleRate(wrapper));
    curSampleRate = Store(hostSampleRate);
    hostChannelCount = Store(BrioGetNumInputs(wrapper));
    curChannelCount = Store(hostChannelCount);
    hostBlockSize = Store(BrioGetBlockSize(wrapper));
    curBlockSize = Store(hostBlockSize);
    hostTempo = Store(BrioGetTempo(wrapper));
    curTempo = Store(hostTempo);
    curTimeSigNumerator = Store(hostTimeSigNumerator);
    curTimeSigDenominator = Store(hostTimeSigDenominator);
}

// Dispatcher side: runs on the thread that changed a parameter or loaded a chunk.
void TQuillEffect::DoSlider() {
    Refresh();
    const double* s = sliderValues.data();
    gainIn1 = Store(std::pow(10.0, s[1] / 20.0));
    gainIn2 = Store(std::pow(10.0, s[2] / 20.0));
    gainOut = Store(std::pow(10.0, s[6] / 20.0));
    fadeCentred = Store((s[3] - 1.0) * 10.0 + s[3] * 10.0);
    centreBoost = Store((std::fabs(fadeCentred / 20.0) - std::fabs(fadeCentred / 10.0) + 1.0 + 1.5) * 0.5);
    onIn1 = Store(1.0 - s[4]);
    onIn2 = Store(1.0 - s[5]);
    weightIn2 = Store(s[3]);
    weightIn1 = Store(1.0 - s[3]);
}

// Audio side: once per processing call, before the first frame.
void TQuillEffect::DoBlock() {
    if (quill::WallClockSeconds() - lastDisplayCheck > 0.25) {
        if (quill::IsTrue(displayUpdateRequest)) {
            displayUpdateRequest = 0;
            BrioUpdateDisplay(wrapper);
        }
        lastDisplayCheck = Store(quill::WallClockSeconds());
    }
    if (!quill::Equal(latencySamples, reportedLatency)) {
        reportedLatency = Store(latencySamples);
        BrioSetInitialDelay(wrapper, quill::ToIndex(latencySamples));
    }
    // Without a time record the service writes nothing and the host copies keep their values.
    double tempo = hostTempo, numerator = hostTimeSigNumerator, denominator = hostTimeSigDenominator;
    BrioGetTempoAndSignature(wrapper, &tempo, &numerator, &denominator);
    hostTempo = Store(tempo);
    hostTimeSigNumerator = Store(numerator);
    hostTimeSigDenominator = Store(denominator);
    const double playing = BrioIsPlaying(wrapper);
    const double recording = BrioIsRecording(wrapper) == 1 ? 4.0 : 0.0;
    playState = Store(playing + recording);
    beatPosition = Store(BrioGetPpqPos(wrapper));
    Refresh();
}

void TQuillEffect::DoSerialize() {
    serialIndex = 1;
    quill::RunLoop([this] {
        double& slider = SliderAt(serialIndex);
        FileStream& stream = files[0];
        if (stream.mode == FileStream::kWriting) stream.WriteNumber(slider);
        else if (stream.mode == FileStream::kReading) stream.ReadNumber(slider);
        serialIndex = serialIndex + Store(1.0);
        return serialIndex <= 64.0 ? 1.0 : 0.0;
    });
}
