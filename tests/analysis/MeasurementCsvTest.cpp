#include "analysis/MeasurementCsv.h"
#include "common/StereoSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <locale>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <system_error>
#include <vector>

namespace vireon::test {
namespace {

using namespace std::chrono;

const std::string Columns = "band,nominal_hz,centre_hz,low_hz,high_hz,level_db,leq_db,max_db,"
                            "reference_db,sample_rate,fft_size,window,fraction,weighting,"
                            "time_weighting,seconds,exported_at";

enum Column : std::size_t {
    Band,
    Nominal,
    Centre,
    Low,
    High,
    Level,
    Leq,
    Max,
    Reference,
    Rate,
    Size,
    Window,
    Fraction,
    Weighting,
    TimeWeighting,
    Seconds,
    ExportedAt,
    ColumnCount
};

struct TTable {
    std::string Header;
    std::vector<std::vector<std::string>> Rows;
};

// Every field as written, empty ones included.
TTable Parse(const std::string& Text) {
    TTable Table;
    std::istringstream Lines(Text);
    std::getline(Lines, Table.Header);
    for (std::string Line; std::getline(Lines, Line);) {
        std::vector<std::string>& Row = Table.Rows.emplace_back();
        std::istringstream Fields(Line);
        for (std::string Field; std::getline(Fields, Field, ',');)
            Row.push_back(Field);
        if (!Line.empty() && Line.back() == ',')
            Row.emplace_back();
    }
    return Table;
}

// The row of the band labelled Label.
const std::vector<std::string>& RowOf(const TTable& Table, const TMeasurementModel& Model,
                                      const std::string& Label) {
    for (std::size_t I = 0; I < Model.Layout().Count(); ++I)
        if (Model.Layout().Label(I) == Label)
            return Table.Rows.at(I);
    throw std::out_of_range(Label);
}

void FeedSine(TMeasurementModel& Model, double Hz, double LevelDb, double Seconds) {
    const int Rate = Model.SampleRate();
    const std::vector<std::int16_t> Stereo = StereoSine(
        Hz, 32767.0 * std::pow(10.0, LevelDb / 20.0), Rate, static_cast<int>(Seconds * Rate));
    // In buffers of 100 ms, as the window records them.
    const std::size_t Step = static_cast<std::size_t>(Rate / 10) * 2;
    for (std::size_t At = 0; At < Stereo.size(); At += Step) {
        const std::size_t Count = std::min(Step, Stereo.size() - At);
        Model.ProcessBuffer(Stereo.data() + At,
                            static_cast<std::uint32_t>(Count * sizeof(std::int16_t)));
    }
}

// Runs with the time zone TZ names, then puts back the one before.
class TTimeZone {
public:
    explicit TTimeZone(const char* Zone) {
        if (const char* Old = std::getenv("TZ"))
            FOld = Old;
        ::setenv("TZ", Zone, 1);
        ::tzset();
    }
    ~TTimeZone() {
        if (FOld)
            ::setenv("TZ", FOld->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> FOld;
};

// A C++ locale that writes decimal commas, as many users' do.
struct TCommaDecimals : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

const system_clock::time_point Afternoon = sys_days{2026y / December / 11} + 16h + 30min;

class MeasurementCsv : public ::testing::Test {
protected:
    void SetUp() override {
        Model.PrepareCapture(44100, 4096, TdspWindow::fwHanning);
        Model.SetWeighting(TFrequencyWeighting::A);
        Model.SetTimeWeighting(TTimeWeighting::Slow);
    }
    TMeasurementModel Model;
};

TEST_F(MeasurementCsv, AToneReadsItsLevelInItsBandWithTheConditionsOnEveryRow) {
    FeedSine(Model, 1000.0, -6.0, 3.0);
    std::string Text;
    {
        const std::locale Before =
            std::locale::global(std::locale(std::locale::classic(), new TCommaDecimals));
        const TTimeZone Utc("UTC0");
        Text = vireon::MeasurementCsv(Model, nullptr, Afternoon);
        std::locale::global(Before);
    }
    const TTable Table = Parse(Text);
    EXPECT_EQ(Table.Header, Columns);
    ASSERT_EQ(Table.Rows.size(), Model.Layout().Count());
    for (std::size_t I = 0; I < Table.Rows.size(); ++I) {
        const std::vector<std::string>& Row = Table.Rows[I];
        ASSERT_EQ(Row.size(), ColumnCount) << "row " << I;
        EXPECT_EQ(Row[Band], std::to_string(I));
        EXPECT_EQ(std::stod(Row[Nominal]), Model.Layout().Band(I).Nominal);
        EXPECT_EQ(Row[Reference], "");
        EXPECT_EQ(Row[Rate], "44100");
        EXPECT_EQ(Row[Size], "4096");
        EXPECT_EQ(Row[Window], "Hanning");
        EXPECT_EQ(Row[Fraction], "1/3");
        EXPECT_EQ(Row[Weighting], "A");
        EXPECT_EQ(Row[TimeWeighting], "slow");
        EXPECT_TRUE(std::regex_match(Row[Seconds], std::regex(R"(\d+\.\d{3})"))) << Row[Seconds];
        EXPECT_EQ(Row[ExportedAt], "2026-12-11T16:30:00+00:00");
    }
    EXPECT_NEAR(std::stod(Table.Rows[0][Seconds]), 3.0, 0.1);

    const std::vector<std::string>& Tone = RowOf(Table, Model, "1k");
    EXPECT_EQ(Tone[Nominal], "1000");
    EXPECT_EQ(Tone[Centre], "1000.00");
    EXPECT_EQ(Tone[Low], "891.25");
    EXPECT_EQ(Tone[High], "1122.02");
    for (const Column C : {Level, Leq, Max})
        EXPECT_NEAR(std::stod(Tone[C]), -6.0, 0.3) << Columns << "\n" << Text;
    EXPECT_TRUE(std::regex_match(Tone[Level], std::regex(R"(-\d+\.\d)"))) << Tone[Level];
    EXPECT_EQ(RowOf(Table, Model, "31.5")[Nominal], "31.5");
    EXPECT_EQ(RowOf(Table, Model, "1.25k")[Nominal], "1250");
}

TEST_F(MeasurementCsv, TheTimeCarriesItsOffsetFromUtc) {
    struct TCase {
        const char* Zone;
        const char* Text;
    };
    for (const TCase& Case : {TCase{"UTC0", "2026-12-11T16:30:00+00:00"},
                              TCase{"<+0530>-5:30", "2026-12-11T22:00:00+05:30"},
                              TCase{"<-03>3", "2026-12-11T13:30:00-03:00"}}) {
        const TTimeZone Zone(Case.Zone);
        const TTable Table = Parse(vireon::MeasurementCsv(Model, nullptr, Afternoon));
        ASSERT_FALSE(Table.Rows.empty());
        EXPECT_EQ(Table.Rows[0].at(ExportedAt), Case.Text) << Case.Zone;
    }
}

TEST_F(MeasurementCsv, NothingMeasuredLeavesTheLevelsEmpty) {
    const TTable Table = Parse(vireon::MeasurementCsv(Model, nullptr, Afternoon));
    ASSERT_EQ(Table.Rows.size(), Model.Layout().Count());
    for (const std::vector<std::string>& Row : Table.Rows) {
        ASSERT_EQ(Row.size(), ColumnCount);
        for (const Column C : {Level, Leq, Max, Reference})
            EXPECT_EQ(Row[C], "") << Columns;
        EXPECT_EQ(Row[Seconds], "0.000");
    }
}

TEST_F(MeasurementCsv, AReferenceTraceFillsItsColumn) {
    FeedSine(Model, 1000.0, -6.0, 2.0);
    const TReferenceTrace Trace = Model.Trace("loud", true);
    Model.Reset();
    FeedSine(Model, 1000.0, -20.0, 2.0);
    const TTable Table = Parse(vireon::MeasurementCsv(Model, &Trace, Afternoon));
    const std::vector<double> Expected = Model.TraceLevels(Trace);
    ASSERT_EQ(Table.Rows.size(), Expected.size());
    for (std::size_t I = 0; I < Expected.size(); ++I) {
        ASSERT_EQ(Table.Rows[I].size(), ColumnCount);
        if (std::isfinite(Expected[I]))
            EXPECT_NEAR(std::stod(Table.Rows[I][Reference]), Expected[I], 0.051) << I;
        else
            EXPECT_EQ(Table.Rows[I][Reference], "") << I;
    }
    const std::vector<std::string>& Tone = RowOf(Table, Model, "1k");
    EXPECT_NEAR(std::stod(Tone[Reference]), -6.0, 0.3);
    EXPECT_NEAR(std::stod(Tone[Leq]), -20.0, 0.3);
}

std::string RunPython(const std::string& Command, int& Status) {
    std::string Output;
    FILE* Pipe = ::popen((Command + " 2>&1").c_str(), "r");
    if (!Pipe) {
        Status = -1;
        return "cannot run " + Command;
    }
    char Chunk[256];
    while (std::fgets(Chunk, sizeof Chunk, Pipe))
        Output += Chunk;
    Status = ::pclose(Pipe);
    return Output;
}

TEST_F(MeasurementCsv, AWrittenFileLoadsInPythonsCsvModuleAndPandas) {
    FeedSine(Model, 1000.0, -6.0, 2.0);
    char Template[] = "/tmp/vireon-measurement-XXXXXX";
    ASSERT_NE(::mkdtemp(Template), nullptr);
    const std::filesystem::path Dir = Template;
    const std::filesystem::path File = Dir / "measurement.csv";
    WriteMeasurementCsv(File.string(), Model);

    const std::filesystem::path Script =
        std::filesystem::path(__FILE__).parent_path() / "read_measurement_csv.py";
    int Status = 0;
    // The system's interpreter, which python3-pandas of scripts/install-deps
    // serves, whatever other python3 comes first on the path.
    const std::string Output =
        RunPython("/usr/bin/python3 '" + Script.string() + "' '" + File.string() + "'", Status);
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Output;

    const std::filesystem::path Missing = Dir / "missing" / "measurement.csv";
    try {
        WriteMeasurementCsv(Missing.string(), Model);
        ADD_FAILURE() << "no error";
    } catch (const std::system_error& Error) {
        EXPECT_NE(std::string(Error.what()).find(Missing.string()), std::string::npos)
            << Error.what();
    }
    std::filesystem::remove_all(Dir);
}

} // namespace
} // namespace vireon::test
