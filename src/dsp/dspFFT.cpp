#include "dsp/dspFFT.h"

#include "dsp/dspSimd.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>
#include <utility>

#if VIREON_SSE2
#include <xmmintrin.h>
#endif

namespace vireon {

namespace {

constexpr std::uint8_t MinPower = 2;
constexpr std::uint8_t MaxPower = 15;
constexpr std::uint8_t InitialPower = 9;

// (a, b) := (a + w·b, a − w·b), with w·b rounded to single before the sums.
inline void Butterfly(float& ARe, float& AIm, float& BRe, float& BIm, float WRe, float WIm) {
    const float TRe = WRe * BRe - WIm * BIm;
    const float TIm = WRe * BIm + WIm * BRe;
    BRe = ARe - TRe;
    BIm = AIm - TIm;
    ARe = ARe + TRe;
    AIm = AIm + TIm;
}

// The butterfly for the twiddle 1 + 0i, whose product with b is b itself.
inline void UnitButterfly(float& ARe, float& AIm, float& BRe, float& BIm) {
    const float TRe = BRe;
    const float TIm = BIm;
    BRe = ARe - TRe;
    BIm = AIm - TIm;
    ARe = ARe + TRe;
    AIm = AIm + TIm;
}

// Four floats side by side: one SSE register, or else an array whose lanes
// plain loops treat one by one. Both do exactly the operations named.
#if VIREON_SSE2
using TQuad = __m128;

inline TQuad LoadQuad(const float* From) {
    return _mm_loadu_ps(From);
}
inline void StoreQuad(float* To, TQuad Value) {
    _mm_storeu_ps(To, Value);
}
inline TQuad SplatQuad(float Value) {
    return _mm_set1_ps(Value);
}
inline TQuad ZeroQuad() {
    return _mm_setzero_ps();
}
inline TQuad Add(TQuad A, TQuad B) {
    return _mm_add_ps(A, B);
}
inline TQuad Sub(TQuad A, TQuad B) {
    return _mm_sub_ps(A, B);
}
inline TQuad Mul(TQuad A, TQuad B) {
    return _mm_mul_ps(A, B);
}
// Rows become columns: afterwards lane j of row i is what lane i of row j was.
inline void Transpose(TQuad& Row0, TQuad& Row1, TQuad& Row2, TQuad& Row3) {
    _MM_TRANSPOSE4_PS(Row0, Row1, Row2, Row3);
}
#else
struct TQuad {
    float Lane[4];
};

inline TQuad LoadQuad(const float* From) {
    return TQuad{{From[0], From[1], From[2], From[3]}};
}
inline void StoreQuad(float* To, TQuad Value) {
    std::copy_n(Value.Lane, 4, To);
}
inline TQuad SplatQuad(float Value) {
    return TQuad{{Value, Value, Value, Value}};
}
inline TQuad ZeroQuad() {
    return TQuad{};
}

inline TQuad Add(TQuad A, TQuad B) {
    for (int L = 0; L < 4; ++L)
        A.Lane[L] += B.Lane[L];
    return A;
}
inline TQuad Sub(TQuad A, TQuad B) {
    for (int L = 0; L < 4; ++L)
        A.Lane[L] -= B.Lane[L];
    return A;
}
inline TQuad Mul(TQuad A, TQuad B) {
    for (int L = 0; L < 4; ++L)
        A.Lane[L] *= B.Lane[L];
    return A;
}
inline void Transpose(TQuad& Row0, TQuad& Row1, TQuad& Row2, TQuad& Row3) {
    TQuad* Rows[] = {&Row0, &Row1, &Row2, &Row3};
    for (int I = 0; I < 4; ++I)
        for (int J = I + 1; J < 4; ++J)
            std::swap(Rows[I]->Lane[J], Rows[J]->Lane[I]);
}
#endif

// Four butterflies side by side, one per lane, with the same operations as
// the scalar ones above.
struct TLanes {
    TQuad Re;
    TQuad Im;
};

inline void UnitButterfly(TLanes& A, TLanes& B) {
    const TLanes T = B;
    B.Re = Sub(A.Re, T.Re);
    B.Im = Sub(A.Im, T.Im);
    A.Re = Add(A.Re, T.Re);
    A.Im = Add(A.Im, T.Im);
}

inline void Butterfly(TLanes& A, TLanes& B, TQuad WRe, TQuad WIm) {
    const TQuad TRe = Sub(Mul(WRe, B.Re), Mul(WIm, B.Im));
    const TQuad TIm = Add(Mul(WRe, B.Im), Mul(WIm, B.Re));
    B.Re = Sub(A.Re, TRe);
    B.Im = Sub(A.Im, TIm);
    A.Re = Add(A.Re, TRe);
    A.Im = Add(A.Im, TIm);
}

// True when every value is +0.0 (all bits clear); -0.0 does not count, so a
// path that assumes +0 computes exactly what the general one would.
WIDE_VECTOR_CLONES bool AllBitsZero(const float* Values, std::int32_t Count) {
    std::uint32_t Bits = 0;
    for (std::int32_t I = 0; I < Count; ++I)
        Bits |= std::bit_cast<std::uint32_t>(Values[I]);
    return Bits == 0;
}

// What the first two stages read and write, and stage 1's second twiddle.
struct TFirstStages {
    const float* InRe;
    const float* InIm;
    float* OutRe;
    float* OutIm;
    const std::int32_t* BitReverse;
    std::int32_t Quarter;
    TQuad WRe;
    TQuad WIm;
};

// The bit-reversed copy and stages 0 and 1 for r = R..R+3, one r per lane:
// inputs r, r + N/2, r + N/4 and r + 3N/4 land on the four consecutive
// outputs from BitReverse[r] on, which the two stages combine among
// themselves. A 4 x 4 transpose then turns each lane into one run of output.
// With RealInput the imaginary inputs are taken as +0 without reading them.
template <bool RealInput> void FirstTwoStagesOfFour(const TFirstStages& S, std::int32_t R) {
    const auto Load = [&S](std::int32_t Index) {
        return TLanes{LoadQuad(S.InRe + Index), RealInput ? ZeroQuad() : LoadQuad(S.InIm + Index)};
    };
    TLanes A = Load(R);
    TLanes B = Load(R + 2 * S.Quarter);
    TLanes C = Load(R + S.Quarter);
    TLanes D = Load(R + 3 * S.Quarter);
    UnitButterfly(A, B);
    UnitButterfly(C, D);
    UnitButterfly(A, C);
    Butterfly(B, D, S.WRe, S.WIm);
    Transpose(A.Re, B.Re, C.Re, D.Re);
    Transpose(A.Im, B.Im, C.Im, D.Im);
    const TLanes Runs[] = {A, B, C, D};
    for (std::int32_t Lane = 0; Lane < 4; ++Lane) {
        const std::int32_t Out = S.BitReverse[R + Lane];
        StoreQuad(S.OutRe + Out, Runs[Lane].Re);
        StoreQuad(S.OutIm + Out, Runs[Lane].Im);
    }
}

template <bool RealInput> void FirstTwoStagesInLanes(const TFirstStages& S) {
    // Taking r in plain order would scatter every output run to a far cache
    // line. Instead, r runs through tiles of 4 x 4: its low two bits (the
    // lanes) and its top two bits (Hi) vary inside a tile, the middle bits
    // (Mid) between tiles. The four Hi of one lane fill 16 consecutive
    // outputs. Blocks too small for a tile fit in the cache anyway.
    if (S.Quarter < 16) {
        for (std::int32_t R = 0; R < S.Quarter; R += 4)
            FirstTwoStagesOfFour<RealInput>(S, R);
        return;
    }
    const std::int32_t HiStep = S.Quarter / 4;
    for (std::int32_t Mid = 0; Mid < HiStep; Mid += 4)
        for (std::int32_t Hi = 0; Hi < S.Quarter; Hi += HiStep)
            FirstTwoStagesOfFour<RealInput>(S, Hi + Mid);
}

inline TLanes LoadLanes(const float* Re, const float* Im) {
    return TLanes{LoadQuad(Re), LoadQuad(Im)};
}

inline void StoreLanes(const TLanes& Values, float* Re, float* Im) {
    StoreQuad(Re, Values.Re);
    StoreQuad(Im, Values.Im);
}

// Stage 2 alone: each group of 8 is one vector against another, so the four
// twiddles stay in registers for the whole pass instead of a four-step loop
// being set up for every group.
void StageTwo(float* Re, float* Im, std::int32_t N, const float* WRe, const float* WIm) {
    const TLanes W = LoadLanes(WRe, WIm);
    for (std::int32_t Group = 0; Group < N; Group += 8) {
        TLanes A = LoadLanes(Re + Group, Im + Group);
        TLanes B = LoadLanes(Re + Group + 4, Im + Group + 4);
        Butterfly(A, B, W.Re, W.Im);
        StoreLanes(A, Re + Group, Im + Group);
        StoreLanes(B, Re + Group + 4, Im + Group + 4);
    }
}

// Stages 2 and 3 together, the same way over groups of 16: stage 2's four
// twiddles and stage 3's eight (W2, then W2 from 4 on).
void StagesTwoAndThree(float* Re, float* Im, std::int32_t N, const float* W1Re, const float* W1Im,
                       const float* W2Re, const float* W2Im) {
    const TLanes W1 = LoadLanes(W1Re, W1Im);
    const TLanes W2Low = LoadLanes(W2Re, W2Im);
    const TLanes W2High = LoadLanes(W2Re + 4, W2Im + 4);
    for (std::int32_t Group = 0; Group < N; Group += 16) {
        TLanes A = LoadLanes(Re + Group, Im + Group);
        TLanes B = LoadLanes(Re + Group + 4, Im + Group + 4);
        TLanes C = LoadLanes(Re + Group + 8, Im + Group + 8);
        TLanes D = LoadLanes(Re + Group + 12, Im + Group + 12);
        Butterfly(A, B, W1.Re, W1.Im);
        Butterfly(C, D, W1.Re, W1.Im);
        Butterfly(A, C, W2Low.Re, W2Low.Im);
        Butterfly(B, D, W2High.Re, W2High.Im);
        StoreLanes(A, Re + Group, Im + Group);
        StoreLanes(B, Re + Group + 4, Im + Group + 4);
        StoreLanes(C, Re + Group + 8, Im + Group + 8);
        StoreLanes(D, Re + Group + 12, Im + Group + 12);
    }
}

// The twiddle factors of one stage: w(0) = 1 and w(j+1) = w(j)·(Cos + i·Sin),
// every step rounded to single, so the error builds up along j exactly as it
// would if the factors were advanced during the transform.
void FillStageTwiddles(float Cos, float Sin, std::int32_t Count, float* Re, float* Im) {
    float Wr = 1.0f;
    float Wi = 0.0f;
    for (std::int32_t J = 0; J < Count; ++J) {
        Re[J] = Wr;
        Im[J] = Wi;
        const float T = Wr * Cos - Wi * Sin;
        Wi = Wi * Cos + Wr * Sin;
        Wr = T;
    }
}

} // namespace

TdspCustomFFT::TdspCustomFFT() {
    SetPower(InitialPower);
}

void TdspCustomFFT::SetPower(std::uint8_t Value) {
    const std::uint8_t P = std::clamp(Value, MinPower, MaxPower);
    if (P == FPower)
        return;
    const std::int32_t N = std::int32_t{1} << P;
    // Everything is allocated before any state changes, so running out of
    // memory leaves the component whole at its old size. The new data arrays
    // come zeroed.
    std::vector<float> RealIn(N), ImagIn(N), RealOut(N), ImagOut(N), Coefficients(N);
    std::vector<float> CosTable(P), SinTable(P), TwiddleRe(N), TwiddleImPos(N), TwiddleImNeg(N);
    std::vector<std::int32_t> BitReverseTable(N);

    FPower = P;
    FBufferSize = N;
    FHalfSize = N / 2;
    FHalfScale = static_cast<float>(1.0 / FHalfSize);
    FRealIn = std::move(RealIn);
    FImagIn = std::move(ImagIn);
    FRealOut = std::move(RealOut);
    FImagOut = std::move(ImagOut);
    FWindowCoefficients = std::move(Coefficients);
    FCosTable = std::move(CosTable);
    FSinTable = std::move(SinTable);
    FTwiddleRe = std::move(TwiddleRe);
    FTwiddleImPositive = std::move(TwiddleImPos);
    FTwiddleImNegative = std::move(TwiddleImNeg);
    FBitReverseTable = std::move(BitReverseTable);
    BuildBitReverseTable();
    BuildTwiddleTables();
    SetWindow(FWindow);
}

void TdspCustomFFT::SetBufferSize(std::int32_t Value) {
    if (Value == FBufferSize)
        return;
    // Smallest b >= 1 with Value < 2^b; Power = b - 1 rounds down to a power of two.
    std::int32_t B = 1;
    while (B < 31 && static_cast<std::int64_t>(Value) >= (std::int64_t{1} << B))
        ++B;
    SetPower(static_cast<std::uint8_t>(std::min<std::int32_t>(MaxPower, B - 1)));
}

void TdspCustomFFT::SetWindow(TdspWindow Value) {
    FWindow = Value;
    FillWindow(Value, FWindowCoefficients.data(), FBufferSize);
}

void TdspCustomFFT::Clear() {
    std::ranges::fill(FRealIn, 0.0f);
    std::ranges::fill(FImagIn, 0.0f);
    std::ranges::fill(FRealOut, 0.0f);
    std::ranges::fill(FImagOut, 0.0f);
}

void TdspCustomFFT::Process() {
    if (FWindow != TdspWindow::fwNone)
        ApplyWindow();
    Transform(+1);
}

WIDE_VECTOR_CLONES void TdspCustomFFT::ApplyWindow() {
    float* __restrict Samples = FRealIn.data();
    const float* __restrict Coefficients = FWindowCoefficients.data();
    for (std::int32_t I = 0; I < FBufferSize; ++I)
        Samples[I] = Samples[I] * Coefficients[I];
}

WIDE_VECTOR_CLONES void TdspCustomFFT::CalcMagnitudes() {
    float* __restrict Re = FRealOut.data();
    const float* __restrict Im = FImagOut.data();
    for (std::int32_t K = 0; K < FHalfSize; ++K) {
        const double R = Re[K];
        const double I = Im[K];
        Re[K] = static_cast<float>(std::sqrt(R * R + I * I) * FHalfScale);
    }
}

void TdspCustomFFT::BuildBitReverseTable() {
    const std::int32_t N = FBufferSize;
    for (std::int32_t I = 0; I < N; ++I)
        FBitReverseTable[I] = I;
    std::int32_t J = 0;
    for (std::int32_t I = 0; I < N; ++I) {
        if (J > I)
            std::swap(FBitReverseTable[I], FBitReverseTable[J]);
        std::int32_t M = N / 2;
        while (M > 0 && J >= M) {
            J -= M;
            M >>= 1;
        }
        J += M;
    }
}

void TdspCustomFFT::BuildTwiddleTables() {
    // The step angles come from the extended-precision pi, so sin(pi) is a
    // tiny non-zero value rather than 0; stage 0 never uses its advanced
    // twiddle, so it does no harm.
    for (std::int32_t S = 0; S < FPower; ++S) {
        const long double Angle =
            std::numbers::pi_v<long double> / static_cast<long double>(std::int64_t{1} << S);
        FCosTable[S] = static_cast<float>(std::cos(Angle));
        FSinTable[S] = static_cast<float>(std::sin(Angle));
    }
    for (std::int32_t S = 0; S < FPower; ++S) {
        const std::int32_t Count = std::int32_t{1} << S;
        const std::int32_t First = Count - 1;
        float* Re = FTwiddleRe.data() + First;
        // The real parts do not depend on the sign of the exponent, so the
        // second pass writes the same values again.
        FillStageTwiddles(FCosTable[S], FSinTable[S], Count, Re, FTwiddleImPositive.data() + First);
        FillStageTwiddles(FCosTable[S], -FSinTable[S], Count, Re,
                          FTwiddleImNegative.data() + First);
    }
}

void TdspCustomFFT::Transform(std::int32_t Sign) {
    const float* TwiddleIm = (Sign < 0 ? FTwiddleImNegative : FTwiddleImPositive).data();
    FirstTwoStages(TwiddleIm);
    std::int32_t Stage = 2;
    // Stage 2 alone first when an odd number remain; the rest go in pairs.
    if ((FPower - Stage) % 2 != 0) {
        StageTwo(FRealOut.data(), FImagOut.data(), FBufferSize, FTwiddleRe.data() + 3,
                 TwiddleIm + 3);
        ++Stage;
    }
    for (; Stage < FPower; Stage += 2)
        TwoStages(Stage, TwiddleIm);
}

void TdspCustomFFT::FirstTwoStages(const float* TwiddleIm) {
    const std::int32_t Quarter = FBufferSize / 4;
    // Fewer inputs per quarter than lanes: one r at a time.
    if (Quarter < 4) {
        for (std::int32_t R = 0; R < Quarter; ++R)
            FirstTwoStagesAt(R, TwiddleIm);
        return;
    }
    const TFirstStages Stages{FRealIn.data(),           FImagIn.data(),          FRealOut.data(),
                              FImagOut.data(),          FBitReverseTable.data(), Quarter,
                              SplatQuad(FTwiddleRe[2]), SplatQuad(TwiddleIm[2])};
    // Blocks of real samples, as the display feeds in, skip the reads and
    // the sums of the imaginary parts that are all zero.
    if (AllBitsZero(FImagIn.data(), FBufferSize))
        FirstTwoStagesInLanes<true>(Stages);
    else
        FirstTwoStagesInLanes<false>(Stages);
}

// Stages 0 and 1 for one r, for blocks too small for the lanes.
void TdspCustomFFT::FirstTwoStagesAt(std::int32_t R, const float* TwiddleIm) {
    const std::int32_t Quarter = FBufferSize / 4;
    const float* InRe = FRealIn.data();
    const float* InIm = FImagIn.data();
    float ARe = InRe[R], AIm = InIm[R];
    float BRe = InRe[R + 2 * Quarter], BIm = InIm[R + 2 * Quarter];
    float CRe = InRe[R + Quarter], CIm = InIm[R + Quarter];
    float DRe = InRe[R + 3 * Quarter], DIm = InIm[R + 3 * Quarter];
    UnitButterfly(ARe, AIm, BRe, BIm);
    UnitButterfly(CRe, CIm, DRe, DIm);
    UnitButterfly(ARe, AIm, CRe, CIm);
    // Stage 1's second twiddle: cos(pi/2) and sin(pi/2) as the tables hold them.
    Butterfly(BRe, BIm, DRe, DIm, FTwiddleRe[2], TwiddleIm[2]);
    const std::int32_t Out = FBitReverseTable[R];
    float* OutRe = FRealOut.data() + Out;
    float* OutIm = FImagOut.data() + Out;
    OutRe[0] = ARe;
    OutIm[0] = AIm;
    OutRe[1] = BRe;
    OutIm[1] = BIm;
    OutRe[2] = CRe;
    OutIm[2] = CIm;
    OutRe[3] = DRe;
    OutIm[3] = DIm;
}

// Stages s and s + 1 together: the four values at j, j + H, j + 2H and j + 3H
// of a group of 4H meet only each other in these two stages, so each is loaded
// and stored once for both.
WIDE_VECTOR_CLONES void TdspCustomFFT::TwoStages(std::int32_t Stage, const float* TwiddleIm) {
    const std::int32_t Half = std::int32_t{1} << Stage;
    const float* W1Re = FTwiddleRe.data() + Half - 1;
    const float* W1Im = TwiddleIm + Half - 1;
    const float* W2Re = FTwiddleRe.data() + 2 * Half - 1;
    const float* W2Im = TwiddleIm + 2 * Half - 1;
    if (Half == 4) {
        StagesTwoAndThree(FRealOut.data(), FImagOut.data(), FBufferSize, W1Re, W1Im, W2Re, W2Im);
        return;
    }
    for (std::int32_t Group = 0; Group < FBufferSize; Group += 4 * Half) {
        float* Re = FRealOut.data() + Group;
        float* Im = FImagOut.data() + Group;
#pragma GCC ivdep
        for (std::int32_t J = 0; J < Half; ++J) {
            float ARe = Re[J], AIm = Im[J];
            float BRe = Re[J + Half], BIm = Im[J + Half];
            float CRe = Re[J + 2 * Half], CIm = Im[J + 2 * Half];
            float DRe = Re[J + 3 * Half], DIm = Im[J + 3 * Half];
            Butterfly(ARe, AIm, BRe, BIm, W1Re[J], W1Im[J]);
            Butterfly(CRe, CIm, DRe, DIm, W1Re[J], W1Im[J]);
            Butterfly(ARe, AIm, CRe, CIm, W2Re[J], W2Im[J]);
            Butterfly(BRe, BIm, DRe, DIm, W2Re[J + Half], W2Im[J + Half]);
            Re[J] = ARe;
            Im[J] = AIm;
            Re[J + Half] = BRe;
            Im[J + Half] = BIm;
            Re[J + 2 * Half] = CRe;
            Im[J + 2 * Half] = CIm;
            Re[J + 3 * Half] = DRe;
            Im[J + 3 * Half] = DIm;
        }
    }
}

} // namespace vireon
