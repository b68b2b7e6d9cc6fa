#pragma once

#include "analysis/QuorSpectrumModel.h"
#include "display/RasterCanvas.h"
#include "display/ReadoutBox.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <functional>
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

    // What the readout says under a point: the band of its row and how long
    // ago its column was drawn; empty where no column has been drawn yet.
    QString ColumnReadout(const QPoint& Point) const;

    // The time one column stands for: one recorded buffer.
    double ColumnSeconds = 0.05;
    // How the readout names a band; "band N" when not set.
    std::function<QString(std::int32_t Band)> BandName;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void leaveEvent(QEvent* Event) override;

    void BuildPalette();
    void DrawLabels();

    QImage BackBuffer;
    float CursorX = 0.0f;
    std::array<QRgb, 256> Palette{};

private:
    void DrawColumn(const std::vector<TQuorValue>& Values);
    void DrawMarker();
    void SizeCanvas();
    QRect LabelArea() const;
    QRgb LevelColor(float Average) const;

    TRasterCanvas Canvas{BackBuffer};
    TRasterCanvas::TText TopLabel;
    TRasterCanvas::TText BottomLabel;
    // Where the last column went, and how many there are on the strip.
    int FLastColumn = -1;
    int FColumns = 0;
    // Columns were drawn while the strip was off screen.
    bool FColumnsUnshown = false;
    std::int32_t FBandCount = TQuorSpectrumModel::BandCount;
    TReadoutBox* FReadout = nullptr;
};

} // namespace vireon
