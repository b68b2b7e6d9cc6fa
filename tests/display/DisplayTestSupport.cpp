#include "DisplayTestSupport.h"

#include "display/RasterCanvas.h"

namespace vireon::test {

void ShowOffScreen(QWidget& Widget, int Width, int Height) {
    Widget.setAttribute(Qt::WA_DontShowOnScreen);
    Widget.show();
    Widget.resize(Width, Height);
}

void Feed(TQuorSpectrumDisplay& Display, const std::vector<std::int16_t>& Stereo) {
    Display.ProcessBuffer(Stereo.data(), static_cast<std::uint32_t>(Stereo.size() * 2));
}

void StartCapture(TQuorSpectrumDisplay& Display, int SampleRate, int FFTSize, TdspWindow Window) {
    Display.Model().PrepareCapture(SampleRate, FFTSize, Window);
}

QImage RenderText(const QString& Text, int PointSize, QRgb Color, QRgb Background) {
    QImage Image;
    TRasterCanvas Canvas(Image);
    Canvas.SetFont(TRasterCanvas::SmallFont(PointSize));
    const TRasterCanvas::TText Layout = Canvas.MakeText(Text);
    Canvas.SetSize(Layout.Width, Layout.Height, Background);
    Canvas.TextOut(0, 0, Layout, Color);
    return Image.copy();
}

bool ContainsImage(const QImage& Image, int X, int Y, const QImage& Region) {
    if (X < 0 || Y < 0 || X + Region.width() > Image.width() ||
        Y + Region.height() > Image.height())
        return false;
    for (int Row = 0; Row < Region.height(); ++Row)
        for (int Column = 0; Column < Region.width(); ++Column)
            if (Image.pixel(X + Column, Y + Row) != Region.pixel(Column, Row))
                return false;
    return true;
}

} // namespace vireon::test
