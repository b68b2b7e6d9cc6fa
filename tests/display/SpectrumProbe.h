#pragma once

#include "display/QuorSpectrumDisplay.h"

namespace vireon::test {

// Opens the display's drawing internals to the tests.
class TSpectrumProbe : public TQuorSpectrumDisplay {
public:
    using TQuorSpectrumDisplay::BackBuffer;
    using TQuorSpectrumDisplay::BackColor;
    using TQuorSpectrumDisplay::BarHeight;
    using TQuorSpectrumDisplay::BarWidth;
    using TQuorSpectrumDisplay::Damage;
    using TQuorSpectrumDisplay::GraphBitmap;
    using TQuorSpectrumDisplay::GraphBottom;
    using TQuorSpectrumDisplay::LitBar;
    using TQuorSpectrumDisplay::Margin;
    using TQuorSpectrumDisplay::Paint;
    using TQuorSpectrumDisplay::Timer;
    using TQuorSpectrumDisplay::TimerTick;
    using TQuorSpectrumDisplay::UnlitBar;

    // The model's live band, to set up a picture.
    TQuorValue& Band(int Index) {
        TQuorValues Bands;
        Model().GetBands(Bands);
        return (*Bands)[Index];
    }
};

} // namespace vireon::test
