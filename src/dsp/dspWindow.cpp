#include "dsp/dspWindow.h"

#include <cmath>
#include <numbers>

namespace vireon {

namespace {
using Extended = long double;
constexpr Extended Pi = std::numbers::pi_v<long double>;
} // namespace

float WindowValue(TdspWindow Kind, std::int32_t Index, std::int32_t Count) {
    // The integer parts are 32-bit products by design: N <= 32768 keeps N*N below 2^31.
    const Extended N = Count;
    const std::int32_t Centred = 2 * Index - Count;
    Extended W = 1.0L;
    switch (static_cast<std::uint8_t>(static_cast<std::uint8_t>(Kind) & 0x7F)) {
    case static_cast<std::uint8_t>(TdspWindow::fwHamming):
        W = 0.54L - 0.46L * std::cos(static_cast<Extended>(2 * Index) * Pi / N);
        break;
    case static_cast<std::uint8_t>(TdspWindow::fwHanning):
        W = 0.5L - 0.5L * std::cos(static_cast<Extended>(2 * Index) * Pi / N);
        break;
    case static_cast<std::uint8_t>(TdspWindow::fwBlackman):
        W = (0.42L - 0.5L * std::cos(static_cast<Extended>(2 * Index) * Pi / N)) +
            0.08L * std::cos(static_cast<Extended>(4 * Index) * Pi / N);
        break;
    case static_cast<std::uint8_t>(TdspWindow::fwGaussian):
        W = std::exp((-0.5L / static_cast<Extended>(Count * Count)) *
                     static_cast<Extended>(Centred * Centred));
        break;
    case static_cast<std::uint8_t>(TdspWindow::fwWelch): {
        const Extended R = static_cast<Extended>(Centred) / static_cast<Extended>(Count + 1);
        W = 1.0L - R * R;
        break;
    }
    case static_cast<std::uint8_t>(TdspWindow::fwParzen):
        W = 1.0L - std::fabs(static_cast<Extended>(Centred) / static_cast<Extended>(Count + 1));
        break;
    default: // fwNone and the unused kinds 7..127
        break;
    }
    return static_cast<float>(W);
}

void FillWindow(TdspWindow Kind, float* Dest, std::int32_t Count) {
    for (std::int32_t I = 0; I < Count; ++I)
        Dest[I] = WindowValue(Kind, I, Count);
}

} // namespace vireon
