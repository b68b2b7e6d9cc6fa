#include "analysis/MeasurementCsv.h"

#include "analysis/NumberText.h"
#include "dsp/dspWindow.h"
#include "files/OutputFile.h"

#include <cctype>
#include <cmath>
#include <ctime>

namespace vireon {

namespace {

const char* const Header = "band,nominal_hz,centre_hz,low_hz,high_hz,level_db,leq_db,max_db,"
                           "reference_db,sample_rate,fft_size,window,fraction,weighting,"
                           "time_weighting,seconds,exported_at\n";

// Nothing measured (-infinity) or nothing known (NaN) is an empty field.
void AppendDb(std::string& Out, double Db) {
    if (std::isfinite(Db))
        AppendFixed(Out, Db, 1);
}

// 2026-12-11T16:30:00+01:00: local time with its offset from UTC.
std::string IsoLocalTime(std::chrono::system_clock::time_point Time) {
    const std::time_t Seconds = std::chrono::system_clock::to_time_t(Time);
    std::tm Local{};
    char Text[40];
    if (!localtime_r(&Seconds, &Local) ||
        std::strftime(Text, sizeof Text, "%Y-%m-%dT%H:%M:%S%z", &Local) == 0)
        return {};
    // strftime writes the offset as +hhmm; ISO 8601 extended wants +hh:mm.
    std::string Out = Text;
    if (Out.size() >= 4)
        Out.insert(Out.size() - 2, 1, ':');
    return Out;
}

// What every row repeats after the band's own columns, starting with a comma.
std::string Conditions(const TMeasurementModel& Model,
                       std::chrono::system_clock::time_point ExportedAt) {
    std::string Out = ",";
    AppendInteger(Out, Model.SampleRate());
    Out += ',';
    AppendInteger(Out, Model.FFTSize());
    Out += ',';
    Out += WindowName(Model.Window());
    Out += ",1/";
    AppendInteger(Out, Model.Layout().BandsPerOctave());
    Out += ',';
    Out += WeightingName(Model.Weighting());
    Out += ',';
    for (const char C : TimeWeightingName(Model.TimeWeighting()))
        Out += static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    Out += ',';
    AppendFixed(Out, Model.Seconds(), 3);
    Out += ',';
    Out += IsoLocalTime(ExportedAt);
    Out += '\n';
    return Out;
}

} // namespace

std::string MeasurementCsv(const TMeasurementModel& Model, const TReferenceTrace* Reference,
                           std::chrono::system_clock::time_point ExportedAt) {
    const TBandLayout& Layout = Model.Layout();
    const std::vector<TBandLevels>& Levels = Model.Bands();
    const std::vector<double> ReferenceDb =
        Reference ? Model.TraceLevels(*Reference) : std::vector<double>();
    const std::string Repeated = Conditions(Model, ExportedAt);

    std::string Out = Header;
    Out.reserve(Out.size() + (60 + Repeated.size()) * Layout.Count());
    for (std::size_t I = 0; I < Layout.Count(); ++I) {
        const TBand& Band = Layout.Band(I);
        AppendInteger(Out, static_cast<long long>(I));
        Out += ',';
        AppendShortest(Out, Band.Nominal);
        for (const double Hz : {Band.Centre, Band.Low, Band.High}) {
            Out += ',';
            AppendFixed(Out, Hz, 2);
        }
        const TBandLevels Level = I < Levels.size() ? Levels[I] : TBandLevels{};
        for (const double Db : {Level.Level, Level.Leq, Level.Max}) {
            Out += ',';
            AppendDb(Out, Db);
        }
        Out += ',';
        if (I < ReferenceDb.size())
            AppendDb(Out, ReferenceDb[I]);
        Out += Repeated;
    }
    return Out;
}

void WriteMeasurementCsv(const std::string& Path, const TMeasurementModel& Model,
                         const TReferenceTrace* Reference) {
    WriteOutputFile(Path, MeasurementCsv(Model, Reference, std::chrono::system_clock::now()));
}

} // namespace vireon
