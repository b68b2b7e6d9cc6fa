#pragma once

#include "display/QuorSpectrumDisplay.h"

namespace vireon::test {

// Opens the display's internals to the tests.
class TSpectrumProbe : public TQuorSpectrumDisplay {
public:
    using TQuorSpectrumDisplay::BackBuffer;
    using TQuorSpectrumDisplay::BackColor;
    using TQuorSpectrumDisplay::BandFreq;
    using TQuorSpectrumDisplay::Bands;
    using TQuorSpectrumDisplay::BarHeight;
    using TQuorSpectrumDisplay::BarWidth;
    using TQuorSpectrumDisplay::Bits;
    using TQuorSpectrumDisplay::ClipCount;
    using TQuorSpectrumDisplay::GraphBitmap;
    using TQuorSpectrumDisplay::GraphBottom;
    using TQuorSpectrumDisplay::LastLeft;
    using TQuorSpectrumDisplay::LastRight;
    using TQuorSpectrumDisplay::LitBar;
    using TQuorSpectrumDisplay::Margin;
    using TQuorSpectrumDisplay::Paint;
    using TQuorSpectrumDisplay::ProcessBlock;
    using TQuorSpectrumDisplay::TimerTick;
    using TQuorSpectrumDisplay::UnlitBar;
    using TQuorSpectrumDisplay::UpdateBand;
    using TQuorSpectrumDisplay::WritePos;

    TQuorValue& Band(int Index) { return (*Bands)[Index]; }
};

} // namespace vireon::test
