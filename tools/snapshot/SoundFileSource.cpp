#include "snapshot/SoundFileSource.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace vireon {

namespace {
// Frames decoded per libsndfile call: with every channel a file may have,
// the decode buffer stays at a few megabytes.
constexpr std::size_t ChunkFrames = 1024;

// libsndfile gives every format as floats with full scale at 1.0 (integer
// samples divided by their own full scale), so integer files come back
// exactly and float files at their true level; louder than full scale clips.
std::int16_t ToSample(float Value) {
    if (std::isnan(Value))
        return 0;
    return static_cast<std::int16_t>(std::lrint(std::clamp(Value * 32768.0f, -32768.0f, 32767.0f)));
}
} // namespace

TSoundFileSource::TSoundFileSource(const QString& Path) : FPath(Path) {
    // libsndfile would call a folder a format it does not recognise.
    if (QFileInfo(Path).isDir())
        throw ESoundFileError(
            QStringLiteral("'%1' is a folder, not a sound file").arg(Path).toStdString());
    FFile = sf_open(Path.toLocal8Bit().constData(), SFM_READ, &FInfo);
    if (FFile == nullptr)
        throw ESoundFileError(QStringLiteral("cannot read '%1': %2")
                                  .arg(Path, QString::fromLocal8Bit(sf_strerror(nullptr)))
                                  .toStdString());
    if (FInfo.channels < 1)
        Refuse(QStringLiteral("has no channels"));
    if (FInfo.channels > SoundFileMaxChannels)
        Refuse(QStringLiteral("claims %1 channels; at most %2 are read")
                   .arg(FInfo.channels)
                   .arg(SoundFileMaxChannels));
    if (FInfo.samplerate < SoundFileMinRate || FInfo.samplerate > SoundFileMaxRate)
        Refuse(QStringLiteral("claims a sample rate of %1 Hz; only %2 to %3 Hz are read")
                   .arg(FInfo.samplerate)
                   .arg(SoundFileMinRate)
                   .arg(SoundFileMaxRate));
    FFrames.resize(ChunkFrames * static_cast<std::size_t>(FInfo.channels));
}

TSoundFileSource::~TSoundFileSource() {
    sf_close(FFile);
}

void TSoundFileSource::Refuse(const QString& Why) {
    sf_close(FFile);
    FFile = nullptr;
    throw ESoundFileError(QStringLiteral("'%1' %2").arg(FPath, Why).toStdString());
}

std::size_t TSoundFileSource::Read(std::int16_t* Stereo, std::size_t Frames) {
    const auto Channels = static_cast<std::size_t>(FInfo.channels);
    std::size_t Done = 0;
    while (Done < Frames) {
        const std::size_t Want = std::min(Frames - Done, ChunkFrames);
        const sf_count_t Got = sf_readf_float(FFile, FFrames.data(), static_cast<sf_count_t>(Want));
        if (sf_error(FFile) != SF_ERR_NO_ERROR)
            throw ESoundFileError(QStringLiteral("cannot read '%1': %2")
                                      .arg(FPath, QString::fromLocal8Bit(sf_strerror(FFile)))
                                      .toStdString());
        const auto Count = static_cast<std::size_t>(std::max<sf_count_t>(Got, 0));
        for (std::size_t I = 0; I < Count; ++I, ++Done) {
            const float* Frame = &FFrames[I * Channels];
            Stereo[2 * Done] = ToSample(Frame[0]);
            Stereo[2 * Done + 1] = ToSample(Channels > 1 ? Frame[1] : Frame[0]);
        }
        // A short read is the real end of the data, however long the header said it was.
        if (Count < Want)
            break;
    }
    FDelivered += Done;
    // An empty file would give an empty picture and look like silence.
    if (FDelivered == 0)
        Refuse(QStringLiteral("holds no sound"));
    return Done;
}

} // namespace vireon
