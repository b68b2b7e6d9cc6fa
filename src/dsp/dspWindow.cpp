#include "dsp/dspWindow.h"

#include <cmath>
#include <numbers>

namespace vireon {

namespace {

using Extended = long double;
constexpr Extended Pi = std::numbers::pi_v<long double>;

// cos(Multiple·π / Count) in extended precision.
Extended CosineTerm(std::int64_t Multiple, std::int32_t Count) {
    return std::cos(static_cast<Extended>(Multiple) * Pi / static_cast<Extended>(Count));
}

} // namespace

float WindowValue(TdspWindow Kind, std::int32_t Index, std::int32_t Count) {
    // The integer parts (2i, 4i, 2i − N) are formed in 64 bits and the squares
    // N·N and (2i − N)² in extended precision, where they stay exact integers:
    // for every size the FFT allows they equal 32-bit products, and a caller
    // passing a larger Count gets the true value instead of a wrapped one.
    const std::int64_t I = Index;
    const std::int64_t N = Count;
    const Extended Centred = static_cast<Extended>(2 * I - N);
    Extended W = 1.0L;
    // Only the low seven bits select the kind; 7..127 weigh every sample by 1.
    switch (static_cast<TdspWindow>(static_cast<std::uint8_t>(Kind) & 0x7F)) {
    case TdspWindow::fwHamming:
        W = 0.54L - 0.46L * CosineTerm(2 * I, Count);
        break;
    case TdspWindow::fwHanning:
        W = 0.5L - 0.5L * CosineTerm(2 * I, Count);
        break;
    case TdspWindow::fwBlackman:
        W = (0.42L - 0.5L * CosineTerm(2 * I, Count)) + 0.08L * CosineTerm(4 * I, Count);
        break;
    case TdspWindow::fwGaussian:
        W = std::exp((-0.5L / (static_cast<Extended>(N) * static_cast<Extended>(N))) *
                     (Centred * Centred));
        break;
    case TdspWindow::fwWelch: {
        const Extended R = Centred / static_cast<Extended>(N + 1);
        W = 1.0L - R * R;
        break;
    }
    case TdspWindow::fwParzen:
        W = 1.0L - std::fabs(Centred / static_cast<Extended>(N + 1));
        break;
    default:
        break;
    }
    return static_cast<float>(W);
}

void FillWindow(TdspWindow Kind, float* Dest, std::int32_t Count) {
    for (std::int32_t I = 0; I < Count; ++I)
        Dest[I] = WindowValue(Kind, I, Count);
}

std::string_view WindowName(TdspWindow Kind) {
    const auto Index = static_cast<std::size_t>(Kind);
    return Index < WindowNames.size() ? WindowNames[Index] : WindowNames[0];
}

} // namespace vireon
