#pragma once

#include "common/StereoSignals.h"
#include "display/QuorSpectrumDisplay.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

namespace vireon::test {

// Shows the widget without putting it on a screen, so size changes and
// painting go through Qt's own events as in the program.
void ShowOffScreen(QWidget& Widget, int Width, int Height);

void Feed(TQuorSpectrumDisplay& Display, const std::vector<std::int16_t>& Stereo);

// Display set up as the main window does when capture starts.
void StartCapture(TQuorSpectrumDisplay& Display, int SampleRate, int FFTSize,
                  TdspWindow Window = TdspWindow::fwHamming);

// Text as a canvas of the given font size draws it, on Background.
QImage RenderText(const QString& Text, int PointSize, QRgb Color, QRgb Background);

// True when Region of Image at (X, Y) holds exactly the pixels of Region.
bool ContainsImage(const QImage& Image, int X, int Y, const QImage& Region);

} // namespace vireon::test
