#include "analysis/BandTable.h"

#include "analysis/BandLayout.h"
#include "analysis/NumberText.h"
#include "files/OutputFile.h"

#include <algorithm>
#include <cmath>

namespace vireon {

namespace {

const char* const Header = "band,low_hz,centre_hz,high_hz,start_bin,last_bin,level_db,peak_db,"
                           "average_db,reference_db\n";

} // namespace

std::string BandsCsv(const TQuorSpectrumModel& Model,
                     const std::optional<TBandReference>& ReferenceDb) {
    TQuorValues Bands;
    Model.GetBands(Bands);
    const double BinWidth =
        Model.BufferSize > 0 ? static_cast<double>(Model.SampleRate) / Model.BufferSize : 0.0;
    const bool InDecibels = Model.DecibelScale() && Model.Gain > 0.0 && std::isfinite(Model.Gain);

    std::string Out = Header;
    Out.reserve(Out.size() + 80 * TQuorSpectrumModel::BandCount);
    for (std::int32_t I = 0; I < TQuorSpectrumModel::BandCount; ++I) {
        const TQuorValue& Band = (*Bands)[static_cast<std::size_t>(I)];
        const std::int32_t Last = Model.BandLastBin(I);
        // The model sums from bin 0 if a start were ever negative.
        const std::int32_t Start = std::max(Band.StartBin, 0);
        AppendInteger(Out, I);
        Out += ',';
        if (Last >= 0)
            AppendFixed(Out, std::max(0.0, (Start - 0.5) * BinWidth), 2);
        Out += ',';
        AppendInteger(Out, Model.BandFrequency(I));
        Out += ',';
        if (Last >= 0)
            AppendFixed(Out, (Last + 0.5) * BinWidth, 2);
        Out += ',';
        if (Last >= 0) {
            AppendInteger(Out, Start);
            Out += ',';
            AppendInteger(Out, Last);
        } else {
            Out += ',';
        }
        for (const float Value : {Band.Level, Band.Peak, Band.Average}) {
            Out += ',';
            if (InDecibels)
                AppendFixed(Out, PictureValueToDb(Value, Model.Gain, Model.DecibelRange()), 1);
        }
        Out += ',';
        if (ReferenceDb && std::isfinite((*ReferenceDb)[static_cast<std::size_t>(I)]))
            AppendFixed(Out, (*ReferenceDb)[static_cast<std::size_t>(I)], 1);
        Out += '\n';
    }
    return Out;
}

void WriteBandsCsv(const std::string& Path, const TQuorSpectrumModel& Model,
                   const std::optional<TBandReference>& ReferenceDb) {
    WriteOutputFile(Path, BandsCsv(Model, ReferenceDb));
}

} // namespace vireon
