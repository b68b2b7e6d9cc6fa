#include "app/BandReference.h"

#include <QStringList>

#include <cmath>
#include <limits>

namespace vireon {

QString BandReferenceText(const std::optional<TQuorSpectrumDisplay::TReference>& Reference) {
    QStringList Values;
    if (Reference)
        for (const double Value : *Reference)
            Values.append(std::isfinite(Value) ? QString::number(Value, 'f', 1) : QString());
    return Values.join(',');
}

std::optional<TQuorSpectrumDisplay::TReference> BandReferenceFromText(const QString& Text) {
    const QStringList Values = Text.split(',');
    TQuorSpectrumDisplay::TReference Reference{};
    if (Values.size() != static_cast<qsizetype>(Reference.size()))
        return std::nullopt;
    for (std::size_t Band = 0; Band < Reference.size(); ++Band) {
        const QString& Value = Values[static_cast<qsizetype>(Band)];
        if (Value.isEmpty()) {
            Reference[Band] = -std::numeric_limits<double>::infinity();
            continue;
        }
        bool IsNumber = false;
        Reference[Band] = Value.toDouble(&IsNumber);
        if (!IsNumber || !std::isfinite(Reference[Band]))
            return std::nullopt;
    }
    return Reference;
}

} // namespace vireon
