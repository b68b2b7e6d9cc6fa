#include "display/MeasureText.h"

#include <cmath>

namespace vireon {

namespace {

const QChar Minus(0x2212);

} // namespace

QString MeasureShowName(TMeasureShow Show) {
    switch (Show) {
    case TMeasureShow::Fast:
        return QStringLiteral("Fast");
    case TMeasureShow::Slow:
        return QStringLiteral("Slow");
    case TMeasureShow::Leq:
        return QStringLiteral("Leq");
    case TMeasureShow::FastMax:
        return QStringLiteral("Fast Max");
    case TMeasureShow::SlowMax:
        return QStringLiteral("Slow Max");
    }
    return QString();
}

bool ShowsTimeWeighting(TMeasureShow Show, TTimeWeighting& Weighting) {
    if (Show == TMeasureShow::Leq)
        return false;
    Weighting = Show == TMeasureShow::Fast || Show == TMeasureShow::FastMax ? TTimeWeighting::Fast
                                                                            : TTimeWeighting::Slow;
    return true;
}

QString MeasureUnit(TFrequencyWeighting Weighting) {
    switch (Weighting) {
    case TFrequencyWeighting::A:
        return QStringLiteral("dB(A)");
    case TFrequencyWeighting::C:
        return QStringLiteral("dB(C)");
    case TFrequencyWeighting::Z:
        break;
    }
    return QStringLiteral("dBFS");
}

QString MeasureTitle(TFrequencyWeighting Weighting, TMeasureShow Show) {
    const QString Unit =
        Weighting == TFrequencyWeighting::Z ? QStringLiteral("dBFS Z") : MeasureUnit(Weighting);
    return Unit + QLatin1Char(' ') + MeasureShowName(Show);
}

QString LevelText(double Db) {
    if (!std::isfinite(Db))
        return QStringLiteral("–");
    const QString Text = QString::number(std::abs(Db), 'f', 1);
    // -0.04 rounds to 0.0, which has no sign.
    return Db < 0.0 && Text != QStringLiteral("0.0") ? Minus + Text : Text;
}

} // namespace vireon
