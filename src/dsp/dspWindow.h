#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vireon {

// Window kinds; the ordinal is what the settings store, so the order is fixed.
enum class TdspWindow : std::uint8_t {
    fwNone,
    fwHamming,
    fwHanning,
    fwBlackman,
    fwGaussian,
    fwWelch,
    fwParzen,
};

// The names the user sees, by ordinal: "None", "Hamming", ...
inline constexpr std::array<std::string_view, 7> WindowNames = {
    "None", "Hamming", "Hanning", "Blackman", "Gaussian", "Welch", "Parzen"};

// Its name; an unknown kind is "None", as it weighs like no window.
std::string_view WindowName(TdspWindow Kind);

// Coefficient for sample Index of a block of Count samples. Only the low seven
// bits of Kind count; unknown kinds weigh every sample by 1.
float WindowValue(TdspWindow Kind, std::int32_t Index, std::int32_t Count);

// Dest[i] = WindowValue(Kind, i, Count) for i = 0..Count-1; nothing for Count <= 0.
void FillWindow(TdspWindow Kind, float* Dest, std::int32_t Count);

} // namespace vireon
