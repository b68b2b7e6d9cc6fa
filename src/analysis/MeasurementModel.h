#pragma once

// The measurement beside the picture: fed the same buffers as the spectrum
// model, it reads nothing of the picture's gain, fade, peak hold or average.
//
// - A power spectrum corrected by the window's equivalent noise bandwidth:
//   a steady sine reads its level, a full-scale sine 0 dBFS, and noise summed
//   over a band the same power at every transform size.
// - The low octaves come from decimated signals (a half-band low-pass, then
//   half the rate, as often as needed), so every band of every fraction
//   spans several bins. Each analysis stage keeps its own blocks; the stages
//   hand over to each other with a linear cross-fade in frequency.
// - Bins straddling a band edge are shared between the bands by overlap.
// - Frequency weighting A, C or Z applied per bin; Fast and Slow exponential
//   time weighting, Leq since the last reset, and the highest time-weighted
//   level since the last reset (Max).
// Nothing is allocated per buffer or per block.

#include "analysis/BandLayout.h"
#include "analysis/FrequencyWeighting.h"
#include "analysis/QuorTone.h"
#include "analysis/TimeWeighting.h"
#include "dsp/dspWindow.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace vireon {

// Levels in dB relative to a full-scale sine; -infinity before anything
// was measured and for silence.
struct TBandLevels {
    double Level = -std::numeric_limits<double>::infinity(); // time-weighted
    double Leq = -std::numeric_limits<double>::infinity();
    double Max = -std::numeric_limits<double>::infinity();
};

// A stored curve, kept as 1/24-octave band powers by band number so that it
// can be drawn at any fraction.
struct TReferenceTrace {
    std::string Name;
    TFrequencyWeighting Weighting = TFrequencyWeighting::Z;
    // What was stored: "Leq", "Fast" or "Slow".
    std::string Quantity = "Leq";
    std::int32_t StoredFraction = TBandLayout::DefaultFraction;
    std::vector<std::pair<std::int32_t, double>> FinePowers; // (number, power)
    bool Visible = true;
};

class TMeasurementModel {
public:
    static constexpr std::int32_t MinSize = 1024;
    static constexpr std::int32_t MaxSize = 16384;

    TMeasurementModel();
    ~TMeasurementModel();
    TMeasurementModel(const TMeasurementModel&) = delete;
    TMeasurementModel& operator=(const TMeasurementModel&) = delete;

    // As starting capture sets the spectrum model: the sample rate when Rate
    // is above 0 (0 keeps it), the transform size (a power of two, clamped
    // to MinSize..MaxSize) and window. Everything measured starts again.
    void PrepareCapture(std::int32_t Rate, std::int32_t RequestedSize, TdspWindow Window);
    std::int32_t SampleRate() const;
    std::int32_t FFTSize() const;
    TdspWindow Window() const;

    // Interleaved 16-bit little-endian stereo, left first, folded to mono
    // as the spectrum model folds it; ByteCount bytes. Tells every
    // subscriber after each block of any stage.
    void ProcessBuffer(const void* Buffer, std::uint32_t ByteCount);

    // These keep what was measured; a new fraction or weighting starts Max again.
    void SetFraction(std::int32_t BandsPerOctave);
    void SetWeighting(TFrequencyWeighting Weighting);
    void SetTimeWeighting(TTimeWeighting Weighting);
    std::int32_t Fraction() const;
    TFrequencyWeighting Weighting() const;
    TTimeWeighting TimeWeighting() const;
    const TBandLayout& Layout() const;

    // One entry per band of Layout(), as of the last block.
    const std::vector<TBandLevels>& Bands() const;
    // Any band between two frequencies, with the current weightings: the
    // Real Time page's bands. Its Max is not tracked (-infinity).
    TBandLevels Between(double LowHz, double HighHz) const;
    // All bands together.
    TBandLevels Overall() const;
    // The strongest tone of the last full-rate block, independent of the
    // window (none before the first block).
    const TQuorTone& LoudestTone();

    // Leq and Max start again.
    void Reset();
    // Seconds of sound measured since the last reset or PrepareCapture.
    double Seconds() const;

    // A trace of the measurement as it stands: Leq, or the time-weighted level.
    TReferenceTrace Trace(const std::string& Name, bool Leq) const;
    // Levels of a trace at the current layout's bands, in dB: a band the
    // trace does not wholly cover is NaN.
    std::vector<double> TraceLevels(const TReferenceTrace& Trace) const;

    // Run after every block, on the thread that processed it.
    using TSubscriber = std::function<void()>;
    std::int32_t Subscribe(TSubscriber Subscriber);
    void Unsubscribe(std::int32_t Id);

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

} // namespace vireon
