#pragma once

#include "dsp/dspWindow.h"

#include <cstdint>
#include <vector>

namespace vireon {

// Holds everything needed to transform blocks of one size N = 2^Power
// (4..32768): input and output arrays, the window table and the radix-2
// tables. Sizes are clamped, never rejected. Not thread-safe.
class TdspCustomFFT {
public:
    TdspCustomFFT();
    virtual ~TdspCustomFFT() = default;
    TdspCustomFFT(const TdspCustomFFT&) = delete;
    TdspCustomFFT& operator=(const TdspCustomFFT&) = delete;

    std::uint8_t Power() const { return FPower; }
    // Clamped to 2..15. A new size replaces and zeroes every array; the
    // current size keeps the data.
    void SetPower(std::uint8_t Value);
    std::int32_t BufferSize() const { return FBufferSize; }
    // Rounded down to a power of two and clamped to 4..32768.
    void SetBufferSize(std::int32_t Value);
    TdspWindow Window() const { return FWindow; }
    // Always recomputes the coefficients, even for the kind already set.
    void SetWindow(TdspWindow Value);
    std::int32_t HalfSize() const { return FHalfSize; }

    float* RealIn() { return FRealIn.data(); }
    float* ImagIn() { return FImagIn.data(); }
    float* RealOut() { return FRealOut.data(); }
    float* ImagOut() { return FImagOut.data(); }
    const float* WindowCoefficients() const { return FWindowCoefficients.data(); }

    // Zeroes the four data arrays; the coefficient table stays.
    void Clear();
    // Weights RealIn in place (unless fwNone), then Transform(+1).
    void Process();
    // RealOut[0..HalfSize-1] := |X[k]| * 2/N, the amplitude spectrum.
    void CalcMagnitudes();
    // Unscaled out-of-place DFT of RealIn/ImagIn into RealOut/ImagOut, with a
    // positive exponent for Sign >= 0 and a negative one for Sign < 0.
    void Transform(std::int32_t Sign);

protected:
    // Both fill tables already sized for the current Power.
    void BuildBitReverseTable();
    void BuildTwiddleTables();
    void ApplyWindow();

    std::uint8_t FPower = 0;
    TdspWindow FWindow = TdspWindow::fwNone;
    std::vector<float> FWindowCoefficients;
    std::int32_t FBufferSize = 0;
    std::int32_t FHalfSize = 0;
    // Step factor of each stage: cos and sin of pi / 2^s.
    std::vector<float> FCosTable;
    std::vector<float> FSinTable;
    std::vector<std::int32_t> FBitReverseTable;
    float FHalfScale = 0.0f;
    std::vector<float> FRealIn;
    std::vector<float> FImagIn;
    std::vector<float> FRealOut;
    std::vector<float> FImagOut;
    // Every twiddle factor of every stage, as the stage's step recurrence
    // produces it: stage s holds 2^s values from index 2^s - 1 on. The
    // imaginary parts are kept for both exponent signs.
    std::vector<float> FTwiddleRe;
    std::vector<float> FTwiddleImPositive;
    std::vector<float> FTwiddleImNegative;

private:
    void FirstTwoStages(const float* TwiddleIm);
    void FirstTwoStagesAt(std::int32_t R, const float* TwiddleIm);
    void TwoStages(std::int32_t Stage, const float* TwiddleIm);
};

class TdspFFT : public TdspCustomFFT {};

} // namespace vireon
