#include "snapshot/SoundFileSource.h"

#include <algorithm>

namespace vireon {

TSoundFileSource::TSoundFileSource(const QString& Path) : FPath(Path) {
    FFile = sf_open(Path.toLocal8Bit().constData(), SFM_READ, &FInfo);
    if (FFile == nullptr)
        throw ESoundFileError(QStringLiteral("cannot read '%1': %2")
                                  .arg(Path, QString::fromLocal8Bit(sf_strerror(nullptr)))
                                  .toStdString());
    if (FInfo.channels < 1 || FInfo.samplerate < 1) {
        sf_close(FFile);
        throw ESoundFileError(
            QStringLiteral("'%1' has no channels or no sample rate").arg(Path).toStdString());
    }
}

TSoundFileSource::~TSoundFileSource() {
    sf_close(FFile);
}

std::size_t TSoundFileSource::Read(std::int16_t* Stereo, std::size_t Frames) {
    const auto Channels = static_cast<std::size_t>(FInfo.channels);
    FFrames.resize(Frames * Channels);
    const sf_count_t Got = sf_readf_short(FFile, FFrames.data(), static_cast<sf_count_t>(Frames));
    if (sf_error(FFile) != SF_ERR_NO_ERROR)
        throw ESoundFileError(QStringLiteral("cannot read '%1': %2")
                                  .arg(FPath, QString::fromLocal8Bit(sf_strerror(FFile)))
                                  .toStdString());
    const auto Count = static_cast<std::size_t>(std::max<sf_count_t>(Got, 0));
    for (std::size_t I = 0; I < Count; ++I) {
        const std::int16_t* Frame = &FFrames[I * Channels];
        Stereo[2 * I] = Frame[0];
        Stereo[2 * I + 1] = Channels > 1 ? Frame[1] : Frame[0];
    }
    return Count;
}

} // namespace vireon
