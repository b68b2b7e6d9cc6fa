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
    void SetPower(std::uint8_t Value);
    std::int32_t BufferSize() const { return FBufferSize; }
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
    // Unscaled out-of-place DFT with exponent sign Sign (+1 or -1).
    void Transform(std::int32_t Sign);

protected:
    void BuildBitReverseTable();
    void BuildTwiddleTables();
    void ApplyWindow();
    void FreeBuffers();

    std::uint8_t FPower = 0;
    TdspWindow FWindow = TdspWindow::fwNone;
    std::vector<float> FWindowCoefficients;
    std::int32_t FBufferSize = 0;
    std::int32_t FHalfSize = 0;
    std::vector<float> FCosTable;
    std::vector<float> FSinTable;
    std::vector<std::int32_t> FBitReverseTable;
    float FHalfScale = 0.0f;
    std::vector<float> FRealIn;
    std::vector<float> FImagIn;
    std::vector<float> FRealOut;
    std::vector<float> FImagOut;
};

class TdspFFT : public TdspCustomFFT {};

} // namespace vireon
