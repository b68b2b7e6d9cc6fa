#pragma once

#include "analysis/QuorSpectrumModel.h"
#include "display/RasterCanvas.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <vector>

namespace vireon {

// The spectrogram strip: one column per call, the highest band at the top,
// each band's average coloured from a 256-entry palette; the column moves one
// pixel right per call and wraps, with a white marker ahead of it.
class TQuorScope : public QWidget {
    Q_OBJECT

public:
    explicit TQuorScope(QWidget* Owner = nullptr);
    ~TQuorScope() override;

    void AddColumn(const TQuorValues& Values);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

    void BuildPalette();
    void DrawLabels();

    QImage BackBuffer;
    float CursorX = 0.0f;
    std::array<QRgb, 256> Palette{};

private:
    void DrawColumn(const std::vector<TQuorValue>& Values);
    void DrawMarker();
    QRgb LevelColor(float Average) const;

    TRasterCanvas Canvas{BackBuffer};
    TRasterCanvas::TText TopLabel;
    TRasterCanvas::TText BottomLabel;
};

} // namespace vireon
