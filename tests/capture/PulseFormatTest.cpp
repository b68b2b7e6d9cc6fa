#include "capture/platform/PulseFormat.h"

#include "PulseTestBuffers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vireon {
namespace {

using test::Pcm;

template <typename Change> WAVEFORMATEX Changed(WAVEFORMATEX Format, Change Apply) {
    Apply(Format);
    return Format;
}

struct TFormatCase {
    const char* What;
    WAVEFORMATEX Format;
    MMRESULT Expected;
};

TEST(PulseFormat, AcceptsPcmThatTheServerRecordsAndRefusesTheRest) {
    const TFormatCase Cases[] = {
        {"mono 8-bit 8000 Hz", Pcm(1, 8000, 8), MMSYSERR_NOERROR},
        {"stereo 8-bit 11025 Hz", Pcm(2, 11025, 8), MMSYSERR_NOERROR},
        {"stereo 16-bit 44100 Hz", Pcm(2, 44100, 16), MMSYSERR_NOERROR},
        {"mono 16-bit 48000 Hz", Pcm(1, 48000, 16), MMSYSERR_NOERROR},
        {"an odd but real rate", Pcm(2, 96000, 16), MMSYSERR_NOERROR},
        {"a record never filled", WAVEFORMATEX{}, WAVERR_BADFORMAT},
        {"not PCM", Changed(Pcm(2, 44100, 16), [](auto& F) { F.wFormatTag = 3; }),
         WAVERR_BADFORMAT},
        {"no channels", Pcm(0, 44100, 16), WAVERR_BADFORMAT},
        {"three channels", Pcm(3, 44100, 16), WAVERR_BADFORMAT},
        {"24 bits", Pcm(2, 44100, 24), WAVERR_BADFORMAT},
        {"rate 0", Pcm(2, 0, 16), WAVERR_BADFORMAT},
        {"rate of a megahertz", Pcm(2, 1000000, 16), WAVERR_BADFORMAT},
        {"block align of another format",
         Changed(Pcm(2, 44100, 16), [](auto& F) { F.nBlockAlign = 2; }), WAVERR_BADFORMAT},
        {"byte rate of another format",
         Changed(Pcm(2, 44100, 16), [](auto& F) { F.nAvgBytesPerSec = 88200; }), WAVERR_BADFORMAT},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(CheckPulseFormat(Case.Format), Case.Expected) << Case.What;
}

TEST(PulseFormat, SampleSpecAndSilenceFollowTheSampleSize) {
    const pa_sample_spec Bytes = PulseSampleSpec(Pcm(1, 22050, 8));
    EXPECT_EQ(Bytes.format, PA_SAMPLE_U8);
    EXPECT_EQ(Bytes.rate, 22050u);
    EXPECT_EQ(Bytes.channels, 1);
    EXPECT_EQ(SilenceByte(Pcm(1, 22050, 8)), 0x80);

    const pa_sample_spec Words = PulseSampleSpec(Pcm(2, 48000, 16));
    EXPECT_EQ(Words.format, PA_SAMPLE_S16LE);
    EXPECT_EQ(Words.rate, 48000u);
    EXPECT_EQ(Words.channels, 2);
    EXPECT_EQ(SilenceByte(Pcm(2, 48000, 16)), 0x00);
}

struct TNameCase {
    const char* What;
    std::string Text;
    std::string Expected;
};

TEST(PulseFormat, NameIsCutAtACharacterBoundary) {
    const std::string Ascii31(31, 'a');
    const TNameCase Cases[] = {
        {"short", "TestMic", "TestMic"},
        {"exactly fits", Ascii31, Ascii31},
        {"too long", Ascii31 + "bcd", Ascii31},
        {"two-byte character across the end", std::string(30, 'a') + "\xC3\xA4",
         std::string(30, 'a')},
        {"three-byte character across the end", std::string(29, 'a') + "\xE2\x82\xAC",
         std::string(29, 'a')},
        {"four-byte character across the end", std::string(28, 'a') + "\xF0\x9F\x8E\xA4x",
         std::string(28, 'a')},
        {"character ending at the last byte", std::string(29, 'a') + "\xC3\xA4" + "b",
         std::string(29, 'a') + "\xC3\xA4"},
    };
    for (const auto& Case : Cases) {
        char Field[MAXPNAMELEN];
        std::memset(Field, 'x', sizeof Field);
        CopyUtf8Name(Case.Text.c_str(), Field, sizeof Field);
        EXPECT_EQ(std::string(Field), Case.Expected) << Case.What;
        // The rest of the field is zero, so no stale bytes follow the name.
        for (std::size_t I = Case.Expected.size(); I < sizeof Field; ++I)
            EXPECT_EQ(Field[I], 0) << Case.What << " at " << I;
    }
}

} // namespace
} // namespace vireon
