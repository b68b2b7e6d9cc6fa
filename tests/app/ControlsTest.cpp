#include "FormFixture.h"

#include "display/QuorSpectrumDisplay.h"

#include <QLineEdit>
#include <QTest>

namespace vireon::test {
namespace {

using Controls = FormFixture;

void TypeIntoWindowCombo(TForm1& F, const QString& Text) {
    F.comboWindow->lineEdit()->selectAll();
    QTest::keyClicks(F.comboWindow->lineEdit(), Text);
}

TEST_F(Controls, WindowComboMatchesNamesExactlyAndSavesEitherWay) {
    TForm1& F = CreateForm();
    ASSERT_FALSE(QFile::exists(SettingsFileName()));
    TypeIntoWindowCombo(F, "hanning");
    EXPECT_EQ(F.comboWindow->currentText(), "hanning");
    EXPECT_EQ(F.SpectrumDisplay->Model().FFT->Window(), TdspWindow::fwBlackman);
    EXPECT_EQ(F.CurrentWindow, TdspWindow::fwBlackman);
    EXPECT_EQ(StoredSetting("FFTWindow"), "3");
}

TEST_F(Controls, PickingParzenWhileRunningChangesTheWindowWithoutRestarting) {
    TForm1& F = CreateForm();
    ClickStart();
    TypeIntoWindowCombo(F, "Parzen");
    EXPECT_EQ(F.SpectrumDisplay->Model().FFT->Window(), TdspWindow::fwParzen);
    EXPECT_EQ(F.CurrentWindow, TdspWindow::fwParzen);
    EXPECT_EQ(StoredSetting("FFTWindow"), "6");
    EXPECT_TRUE(F.Running);
    EXPECT_EQ(Driver->CallCount(TScriptedCall::Open), 1u);

    // Choosing from the list counts as well.
    F.comboWindow->setCurrentIndex(1);
    emit F.comboWindow->activated(1);
    EXPECT_EQ(F.CurrentWindow, TdspWindow::fwHamming);
    EXPECT_EQ(StoredSetting("FFTWindow"), "1");
}

TEST_F(Controls, PositionsMapToDisplayValues) {
    TForm1& F = CreateForm();
    TQuorSpectrumDisplay& D = *F.SpectrumDisplay;
    struct Case {
        QAbstractSlider* Control;
        int Position;
        std::function<double()> Result;
        double Expected;
    };
    const Case Cases[] = {
        {F.sbGain, 0, [&] { return D.Model().Gain; }, 2.00},
        {F.sbGain, 50, [&] { return D.Model().Gain; }, 1.50},
        {F.sbGain, 100, [&] { return D.Model().Gain; }, 1.00},
        {F.tbPeakHoldSpeed, 10, [&] { return D.Model().PeakHoldTime; }, 100},
        {F.tbPeakHoldSpeed, 0, [&] { return D.Model().PeakHoldTime; }, 0},
        {F.sFadeRate, 98, [&] { return D.Model().FadeFactor; }, 0.98f},
        {F.sFadeRate, 60, [&] { return D.Model().FadeFactor; }, 0.60f},
        // A bar clamps what it is given before reporting the change.
        {F.sFadeRate, 200, [&] { return D.Model().FadeFactor; }, 0.98f},
        {F.tbPeakHoldSpeed, -5, [&] { return D.Model().PeakHoldTime; }, 0},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Control->objectName().toStdString() + " at " + std::to_string(C.Position));
        C.Control->setValue(C.Position);
        EXPECT_DOUBLE_EQ(C.Result(), C.Expected);
    }
}

TEST_F(Controls, CheckBoxesDriveTracesAndPeakStyle) {
    TForm1& F = CreateForm();
    TQuorSpectrumDisplay& D = *F.SpectrumDisplay;
    EXPECT_TRUE(D.ShowAverage);
    EXPECT_TRUE(D.ShowPeaks);
    EXPECT_TRUE(D.PeakLines);

    F.cbPeakBars->click();
    EXPECT_FALSE(D.PeakLines);
    F.cbPeakBars->click();
    EXPECT_TRUE(D.PeakLines);
    F.cbPeak->click();
    EXPECT_FALSE(D.ShowPeaks);
    F.cbAvgHold->click();
    EXPECT_FALSE(D.ShowAverage);
}

} // namespace
} // namespace vireon::test
