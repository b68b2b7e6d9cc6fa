#include "capture/WaveUtils.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vireon {
namespace {

struct TFormatRow {
    int Ordinal;
    WORD Channels;
    DWORD Rate;
    WORD Bits;
    WORD BlockAlign;
    DWORD BytesPerSecond;
    std::uint32_t BytesFor50ms;
};

constexpr TFormatRow FormatTable[] = {
    {1, 1, 8000, 8, 1, 8000, 400},      {2, 2, 8000, 8, 2, 16000, 800},
    {3, 1, 8000, 16, 2, 16000, 800},    {4, 2, 8000, 16, 4, 32000, 1600},
    {5, 1, 11025, 8, 1, 11025, 551},    {6, 2, 11025, 8, 2, 22050, 1104},
    {7, 1, 11025, 16, 2, 22050, 1104},  {8, 2, 11025, 16, 4, 44100, 2208},
    {9, 1, 22050, 8, 1, 22050, 1103},   {10, 2, 22050, 8, 2, 44100, 2206},
    {11, 1, 22050, 16, 2, 44100, 2206}, {12, 2, 22050, 16, 4, 88200, 4412},
    {13, 1, 44100, 8, 1, 44100, 2205},  {14, 2, 44100, 8, 2, 88200, 4410},
    {15, 1, 44100, 16, 2, 88200, 4410}, {16, 2, 44100, 16, 4, 176400, 8820},
    {17, 1, 48000, 8, 1, 48000, 2400},  {18, 2, 48000, 8, 2, 96000, 4800},
    {19, 1, 48000, 16, 2, 96000, 4800}, {20, 2, 48000, 16, 4, 192000, 9600},
};

TEST(PCMFormats, EveryOrdinalGivesItsTableRow) {
    for (const TFormatRow& Row : FormatTable) {
        SCOPED_TRACE(Row.Ordinal);
        WAVEFORMATEX F;
        std::memset(&F, 0xAB, sizeof F);
        PCMFormatToWaveFormat(F, static_cast<TPCMFormat>(Row.Ordinal));
        EXPECT_EQ(F.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(F.nChannels, Row.Channels);
        EXPECT_EQ(F.nSamplesPerSec, Row.Rate);
        EXPECT_EQ(F.wBitsPerSample, Row.Bits);
        EXPECT_EQ(F.nBlockAlign, Row.BlockAlign);
        EXPECT_EQ(F.nAvgBytesPerSec, Row.BytesPerSecond);
        EXPECT_EQ(F.cbSize, 0);
        EXPECT_EQ(CalcBufferBytes(F, 50), Row.BytesFor50ms);
        EXPECT_EQ(CalcBufferBytes(F, 1000), Row.BytesPerSecond);
    }
}

TEST(PCMFormats, NoneAndUnknownOrdinalsLeaveTheRecordUntouched) {
    for (int Ordinal : {0, 21, 255}) {
        WAVEFORMATEX F, Before;
        std::memset(&F, 0x5C, sizeof F);
        Before = F;
        PCMFormatToWaveFormat(F, static_cast<TPCMFormat>(Ordinal));
        EXPECT_EQ(std::memcmp(&F, &Before, sizeof F), 0) << Ordinal;
    }
}

TEST(PCMFormats, OutOfRangeSelectorsKeepTheirFields) {
    WAVEFORMATEX F{};
    F.nChannels = 2;
    F.nSamplesPerSec = 96000;
    F.wBitsPerSample = 16;
    SetPCMFields(F, 7, 9, 3);
    EXPECT_EQ(F.nChannels, 2);
    EXPECT_EQ(F.nSamplesPerSec, 96000u);
    EXPECT_EQ(F.wBitsPerSample, 16);
    EXPECT_EQ(F.nBlockAlign, 4);
    EXPECT_EQ(F.nAvgBytesPerSec, 384000u);
}

TEST(PCMFormats, SetHoldsFormatsByOrdinalBit) {
    TPCMFormats Set;
    Set.Include(TPCMFormat::Stereo16bit44100Hz);
    Set.Include(TPCMFormat::nonePCM);
    EXPECT_EQ(Set.Bits(), (1u << 16) | 1u);
    EXPECT_TRUE(Set.Contains(TPCMFormat::Stereo16bit44100Hz));
    EXPECT_FALSE(Set.Contains(TPCMFormat::Stereo16bit48000Hz));
    EXPECT_FALSE(Set.Contains(static_cast<TPCMFormat>(200)));
}

TEST(BufferBytes, RoundsLikeMulDivThenUpToWholeFrames) {
    EXPECT_EQ(MulDiv(1, 1, 2), 1);            // an exact half rounds up
    EXPECT_EQ(MulDiv(50, 11025, 1000), 551);  // 551.25
    EXPECT_EQ(MulDiv(50, 22050, 1000), 1103); // 1102.5
    EXPECT_EQ(MulDiv(5, 7, 0), -1);

    WAVEFORMATEX NoAlign{};
    NoAlign.nAvgBytesPerSec = 22050;
    EXPECT_EQ(CalcBufferBytes(NoAlign, 50), 1103u);
    NoAlign.nBlockAlign = 2;
    EXPECT_EQ(CalcBufferBytes(NoAlign, 50), 1104u);
}

struct TPeakCase {
    const char* Name;
    std::vector<std::uint8_t> Bytes;
    std::uint16_t Bits;
    std::int32_t Level;
};

std::vector<std::uint8_t> Samples16(std::initializer_list<std::int16_t> Samples) {
    std::vector<std::uint8_t> Bytes;
    for (std::int16_t S : Samples) {
        const auto U = static_cast<std::uint16_t>(S);
        Bytes.push_back(static_cast<std::uint8_t>(U & 0xFF));
        Bytes.push_back(static_cast<std::uint8_t>(U >> 8));
    }
    return Bytes;
}

TEST(PeakLevel, LooksAtThePositiveExcursionOnly) {
    const TPeakCase Cases[] = {
        {"8-bit silence", {128, 128, 128}, 8, 0},
        {"8-bit full scale", {128, 255, 0}, 8, 100},
        {"8-bit 191", {10, 191, 128}, 8, 49},
        {"8-bit below silence", {0, 127}, 8, 0},
        {"8-bit empty", {}, 8, 0},
        {"16-bit zero and negative full scale", Samples16({0, -32768}), 16, 0},
        {"16-bit full scale", Samples16({-5, 32767, 0}), 16, 100},
        {"16-bit half", Samples16({16384, -20000}), 16, 50},
        {"16-bit empty", {}, 16, 0},
        {"16-bit odd tail byte ignored", {0x00, 0x10, 0xFF}, 16, 12},
        {"24-bit", {1, 2, 3}, 24, -1},
    };
    for (const TPeakCase& Case : Cases)
        EXPECT_EQ(
            PeakLevel(Case.Bytes.data(), static_cast<std::uint32_t>(Case.Bytes.size()), Case.Bits),
            Case.Level)
            << Case.Name;
}

} // namespace
} // namespace vireon
