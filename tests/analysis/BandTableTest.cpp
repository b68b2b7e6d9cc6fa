#include "analysis/BandTable.h"
#include "common/StereoSignals.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace vireon::test {
namespace {

constexpr int Bands = TQuorSpectrumModel::BandCount;

struct TRow {
    std::vector<std::string> Fields;
    const std::string& operator[](std::size_t I) const { return Fields.at(I); }
    double Number(std::size_t I) const { return std::stod(Fields.at(I)); }
    std::int64_t Whole(std::size_t I) const { return std::stoll(Fields.at(I)); }
};

enum Column : std::size_t { Band, Low, Centre, High, Start, Last, Level, Peak, Average, Ref };

// Splits the table into its header and rows, keeping empty fields.
std::vector<TRow> ParseCsv(const std::string& Text, std::string& Header) {
    std::istringstream Lines(Text);
    std::getline(Lines, Header);
    std::vector<TRow> Rows;
    for (std::string Line; std::getline(Lines, Line);) {
        TRow Row;
        std::size_t From = 0;
        for (std::size_t Comma; (Comma = Line.find(',', From)) != std::string::npos;
             From = Comma + 1)
            Row.Fields.push_back(Line.substr(From, Comma - From));
        Row.Fields.push_back(Line.substr(From));
        Rows.push_back(std::move(Row));
    }
    return Rows;
}

std::vector<TRow> ParseCsv(const std::string& Text) {
    std::string Header;
    return ParseCsv(Text, Header);
}

// Fed Seconds of a sine at LevelDb dBFS, both channels equal.
void FeedSine(TQuorSpectrumModel& Model, double Frequency, double LevelDb, int Rate,
              double Seconds) {
    const double Amplitude = 32767.0 * std::pow(10.0, LevelDb / 20.0);
    const std::vector<std::int16_t> Stereo =
        StereoSine(Frequency, Amplitude, Rate, static_cast<int>(Seconds * Rate));
    Model.ProcessBuffer(Stereo.data(), static_cast<std::uint32_t>(Stereo.size() * 2));
}

std::string ReadFile(const std::filesystem::path& Path) {
    std::ifstream File(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>()};
}

TEST(BandTable, SineIsLoudestInTheBandWhoseBinsHoldIt) {
    struct TCase {
        double Gain;
        double SineDb;
        double LevelDb; // what the table should read
    };
    // A zoomed scale tops out at 48 / Gain - 48 dBFS: louder reads as the top.
    for (const TCase& Case : {TCase{1.0, -12.0, -12.0}, TCase{1.5, -30.0, -30.0},
                              TCase{2.0, -30.0, -30.0}, TCase{2.0, -12.0, -24.0}}) {
        SCOPED_TRACE(testing::Message() << "gain " << Case.Gain << ", " << Case.SineDb << " dB");
        TQuorSpectrumModel Model;
        Model.Gain = Case.Gain;
        Model.PrepareCapture(44100, 4096, TdspWindow::fwHamming);
        FeedSine(Model, 1000.0, Case.SineDb, 44100, 1.0);

        std::string Header;
        const std::vector<TRow> Rows = ParseCsv(BandsCsv(Model), Header);
        EXPECT_EQ(Header, "band,low_hz,centre_hz,high_hz,start_bin,last_bin,level_db,peak_db,"
                          "average_db,reference_db");
        ASSERT_EQ(Rows.size(), static_cast<std::size_t>(Bands));
        std::size_t Loudest = 0;
        for (std::size_t I = 0; I < Rows.size(); ++I) {
            ASSERT_EQ(Rows[I].Fields.size(), 10u) << "row " << I;
            EXPECT_EQ(Rows[I].Whole(Band), static_cast<std::int64_t>(I));
            if (Rows[I].Number(Level) > Rows[Loudest].Number(Level))
                Loudest = I;
        }
        const TRow& Row = Rows[Loudest];
        EXPECT_LE(Row.Number(Low), 1000.0);
        EXPECT_GE(Row.Number(High), 1000.0);
        // The band sums the window's main lobe, close to the sine's own peak level.
        EXPECT_NEAR(Row.Number(Level), Case.LevelDb, 2.0);
        EXPECT_GE(Row.Number(Peak), Row.Number(Level));
        // The average trails the level and, truncated, settles one step below it.
        EXPECT_LE(Row.Number(Average), Row.Number(Level));
        EXPECT_GE(Row.Number(Average), Row.Number(Level) - 3.0);
        // Far from the tone the bands sit at the bottom of the scale.
        EXPECT_EQ(Rows[5][Level], "-48.0");
        EXPECT_EQ(Rows[60][Level], "-48.0");
    }
}

// The bin columns follow the model's own bands, and a band above every bin
// (at 8 kHz sampling every band above 4 kHz) has none.
TEST(BandTable, BinColumnsAreTheBinsTheModelSums) {
    for (const int Rate : {44100, 8000}) {
        SCOPED_TRACE(Rate);
        TQuorSpectrumModel Model;
        Model.PrepareCapture(Rate, 4096, TdspWindow::fwHamming);
        FeedSine(Model, 3990.0, -6.0, Rate, 0.6);
        TQuorValues Values;
        Model.GetBands(Values);
        const std::vector<TRow> Rows = ParseCsv(BandsCsv(Model));
        ASSERT_EQ(Rows.size(), static_cast<std::size_t>(Bands));
        const double BinHz = static_cast<double>(Rate) / 4096;
        int Empty = 0;
        for (int I = 0; I < Bands; ++I) {
            SCOPED_TRACE(I);
            const TRow& Row = Rows[I];
            EXPECT_EQ(Row.Whole(Centre), Model.BandFrequency(I));
            if (Model.BandFrequency(I) >= Rate / 2) {
                ++Empty;
                for (const Column C : {Low, High, Start, Last})
                    EXPECT_EQ(Row[C], "");
                EXPECT_EQ(Row[Level], "-48.0");
                continue;
            }
            const std::int64_t First = Row.Whole(Start);
            const std::int64_t Final = Row.Whole(Last);
            EXPECT_EQ(First, (*Values)[I].StartBin);
            // Up to the next band's first bin, or the top bin when no band with bins follows.
            const bool NextHasBins = I + 1 < Bands && !Rows[I + 1][Start].empty();
            EXPECT_EQ(Final, NextHasBins ? Rows[I + 1].Whole(Start) : 2047);
            EXPECT_NEAR(Row.Number(Low), std::max(0.0, (First - 0.5) * BinHz), 0.006);
            EXPECT_NEAR(Row.Number(High), (Final + 0.5) * BinHz, 0.006);
        }
        EXPECT_EQ(Empty, Rate == 8000 ? 15 : 0);
        // The tone near 4 kHz is still seen at 8 kHz sampling, in the top band with bins.
        const std::size_t TopWithBins = static_cast<std::size_t>(Bands - 1 - Empty);
        if (Rate == 8000) {
            EXPECT_GT(Rows[TopWithBins].Number(Level), -20.0);
        }
    }
}

TEST(BandTable, ReferenceColumnIsEmptyWithoutOneAndRoundedWithOne) {
    TQuorSpectrumModel Model;
    Model.PrepareCapture(44100, 2048, TdspWindow::fwHamming);
    FeedSine(Model, 440.0, -6.0, 44100, 0.2);

    for (const TRow& Row : ParseCsv(BandsCsv(Model)))
        EXPECT_EQ(Row[Ref], "");

    TBandReference Reference{};
    for (int I = 0; I < Bands; ++I)
        Reference[I] = -60.0 + I * 0.75;
    Reference[3] = -0.04; // rounds to zero, written without a sign
    Reference[7] = std::nan("");
    const std::vector<TRow> Rows = ParseCsv(BandsCsv(Model, Reference));
    ASSERT_EQ(Rows.size(), static_cast<std::size_t>(Bands));
    for (int I = 0; I < Bands; ++I) {
        SCOPED_TRACE(I);
        if (I == 3)
            EXPECT_EQ(Rows[I][Ref], "0.0");
        else if (I == 7)
            EXPECT_EQ(Rows[I][Ref], "");
        else
            EXPECT_NEAR(Rows[I].Number(Ref), Reference[I], 0.051);
    }
    EXPECT_EQ(Rows[2][Ref], "-58.5");
}

TEST(BandTable, WrittenFileHoldsTheTableOrTheOldFileStays) {
    TQuorSpectrumModel Model;
    Model.PrepareCapture(44100, 4096, TdspWindow::fwHamming);
    FeedSine(Model, 1000.0, -6.0, 44100, 0.3);
    char Template[] = "/tmp/vireon-bandtable-XXXXXX";
    ASSERT_NE(::mkdtemp(Template), nullptr);
    const std::filesystem::path Dir = Template;

    const std::filesystem::path Good = Dir / "bands.csv";
    {
        std::ofstream Old(Good);
        Old << "old\n";
    }
    WriteBandsCsv(Good.string(), Model);
    EXPECT_EQ(ReadFile(Good), BandsCsv(Model));
    // Created like any new file, not with a scratch file's private permissions.
    EXPECT_NE(std::filesystem::status(Good).permissions() & std::filesystem::perms::group_read,
              std::filesystem::perms::none);

    struct TCase {
        std::filesystem::path Path;
        const char* Reason;
    };
    std::filesystem::create_directory(Dir / "taken");
    std::ofstream(Dir / "taken" / "inside") << "x";
    for (const TCase& Case :
         {TCase{Dir / "missing" / "bands.csv", "No such file"}, TCase{Dir / "taken", "irectory"}}) {
        SCOPED_TRACE(Case.Path);
        try {
            WriteBandsCsv(Case.Path.string(), Model);
            ADD_FAILURE() << "no error";
        } catch (const std::system_error& Error) {
            const std::string What = Error.what();
            EXPECT_NE(What.find(Case.Path.string()), std::string::npos) << What;
            EXPECT_NE(What.find(Case.Reason), std::string::npos) << What;
        }
    }
    EXPECT_TRUE(std::filesystem::is_directory(Dir / "taken"));
    // Nothing but what was put there: no scratch file is left behind.
    std::vector<std::string> Names;
    for (const auto& Entry : std::filesystem::directory_iterator(Dir))
        Names.push_back(Entry.path().filename().string());
    std::sort(Names.begin(), Names.end());
    EXPECT_EQ(Names, (std::vector<std::string>{"bands.csv", "taken"}));
    std::filesystem::remove_all(Dir);
}

} // namespace
} // namespace vireon::test
