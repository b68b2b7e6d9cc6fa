#include "PulseSpectrum.h"

#include "dsp/dspFFT.h"

#include <algorithm>

namespace vireon::test {

double PeakFrequency(const std::int16_t* Samples, std::size_t Frames, unsigned Channels,
                     double SampleRate) {
    TdspFFT Fft;
    Fft.SetBufferSize(4096);
    Fft.SetWindow(TdspWindow::fwHanning);
    Fft.Clear();
    const std::size_t Used = std::min<std::size_t>(Frames, Fft.BufferSize());
    for (std::size_t Frame = 0; Frame < Used; ++Frame) {
        float Sum = 0;
        for (unsigned Channel = 0; Channel < Channels; ++Channel)
            Sum += Samples[Frame * Channels + Channel];
        Fft.RealIn()[Frame] = Sum / static_cast<float>(Channels * 32768);
    }
    Fft.Process();
    Fft.CalcMagnitudes();
    const float* Magnitudes = Fft.RealOut();
    // Bin 0 holds the DC offset, not a tone.
    const std::int32_t Peak = static_cast<std::int32_t>(
        std::max_element(Magnitudes + 1, Magnitudes + Fft.HalfSize()) - Magnitudes);
    return Peak * SampleRate / Fft.BufferSize();
}

} // namespace vireon::test
