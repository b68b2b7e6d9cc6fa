#include "FormFixture.h"

#include "display/QuorScope.h"
#include "display/QuorSpectrumDisplay.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QToolTip>

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

std::vector<float> Levels(const TForm1& F) {
    TQuorValues Bands;
    F.SpectrumDisplay->Model().GetBands(Bands);
    std::vector<float> Result;
    for (const TQuorValue& Band : *Bands)
        Result.push_back(Band.Level);
    return Result;
}

TEST_F(Controls, FreezeHoldsBothPicturesWhileTheAnalysisGoesOn) {
    TForm1& F = CreateForm();
    F.show();
    ClickStart();
    for (int Buffer = 0; Buffer < 6; ++Buffer)
        RecordToneBuffer(440.0);
    F.Freeze1->trigger();
    ASSERT_TRUE(F.SpectrumDisplay->Frozen());
    const QImage Spectrum = F.SpectrumDisplay->grab().toImage();
    const QImage Strip = F.ScopeDisplay->grab().toImage();
    const std::vector<float> Held = Levels(F);

    for (int Buffer = 0; Buffer < 6; ++Buffer)
        RecordToneBuffer(3000.0);
    EXPECT_NE(Levels(F), Held) << "the analysis goes on underneath";
    EXPECT_EQ(F.SpectrumDisplay->grab().toImage(), Spectrum);
    EXPECT_EQ(F.ScopeDisplay->grab().toImage(), Strip);

    F.Freeze1->trigger();
    EXPECT_FALSE(F.SpectrumDisplay->Frozen());
    EXPECT_NE(F.SpectrumDisplay->grab().toImage(), Spectrum) << "live again";
    RecordToneBuffer(3000.0);
    EXPECT_NE(F.ScopeDisplay->grab().toImage(), Strip);
}

TEST_F(Controls, KeysStartFreezeAndExitButATextFieldKeepsItsKeys) {
    TForm1& F = CreateForm();
    F.show();
    F.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&F));
    F.sbGain->setFocus();

    QTest::keyClick(F.sbGain, Qt::Key_Space);
    EXPECT_TRUE(F.Running);
    QTest::keyClick(F.sbGain, Qt::Key_F);
    EXPECT_TRUE(F.SpectrumDisplay->Frozen());
    EXPECT_TRUE(F.Freeze1->isChecked());
    QTest::keyClick(F.sbGain, Qt::Key_F);
    EXPECT_FALSE(F.SpectrumDisplay->Frozen());

    // Typed into the editable window combo, they are text.
    QLineEdit* Text = F.comboWindow->lineEdit();
    Text->setFocus();
    QTest::keyClick(Text, Qt::Key_Space);
    QTest::keyClick(Text, Qt::Key_F);
    EXPECT_TRUE(F.Running);
    EXPECT_FALSE(F.SpectrumDisplay->Frozen());
    EXPECT_TRUE(Text->text().endsWith(" f")) << Text->text().toStdString();

    F.sbGain->setFocus();
    QTest::keyClick(F.sbGain, Qt::Key_Space);
    EXPECT_FALSE(F.Running);
    QTest::keyClick(F.sbGain, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(F.SpectrumDisplay, nullptr) << "Ctrl+Q exits the way Exit does";
}

TEST_F(Controls, AWindowPickedFromTheListHandsTheKeysBackToTheForm) {
    TForm1& F = CreateForm();
    F.show();
    F.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&F));
    QLineEdit* Text = F.comboWindow->lineEdit();
    Text->setFocus();

    // Picked with the mouse, as the user does.
    F.comboWindow->showPopup();
    QAbstractItemView* List = F.comboWindow->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(List->window()));
    const QPoint Hamming = List->visualRect(F.comboWindow->model()->index(1, 0)).center();
    QTest::mouseMove(List->viewport(), Hamming);
    QTest::mouseClick(List->viewport(), Qt::LeftButton, {}, Hamming);
    ASSERT_FALSE(List->isVisible());
    EXPECT_EQ(F.CurrentWindow, TdspWindow::fwHamming);
    EXPECT_EQ(QApplication::focusWidget(), &F);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_TRUE(F.Running);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F);
    EXPECT_TRUE(F.SpectrumDisplay->Frozen());
    EXPECT_EQ(Text->text(), "Hamming");

    // Clicked into, the box takes typing again.
    QTest::mouseClick(Text, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), F.comboWindow);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F);
    EXPECT_EQ(Text->text(), "Hammingf");
    EXPECT_TRUE(F.SpectrumDisplay->Frozen());

    // Stepped through with the arrow keys, it keeps the focus.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(Text->text(), "Hanning");
    EXPECT_EQ(F.CurrentWindow, TdspWindow::fwHanning);
    EXPECT_EQ(QApplication::focusWidget(), F.comboWindow);
}

TEST_F(Controls, StartOnceShownPressesStartWhenTheEventLoopRuns) {
    TForm1& F = CreateForm();
    F.show();
    F.StartOnceShown();
    EXPECT_FALSE(F.Running);
    EXPECT_TRUE(PumpUntil([this] { return RecordingRuns(); }));
    EXPECT_EQ(F.btnStart->text(), "Stop");
    F.btnStart->click();

    // Refused, it says so as the button would.
    Driver->Fail(TScriptedCall::QueryFormat, WAVERR_BADFORMAT);
    F.StartOnceShown();
    EXPECT_TRUE(PumpUntil([this] { return !ErrorBoxTexts.empty(); }));
    EXPECT_FALSE(F.Running);
}

TEST_F(Controls, GainBarExplainsItselfInATooltip) {
    TForm1& F = CreateForm();
    F.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&F));
    const QPoint Middle = F.sbGain->rect().center();
    QHelpEvent Help(QEvent::ToolTip, Middle, F.sbGain->mapToGlobal(Middle));
    QCoreApplication::sendEvent(F.sbGain, &Help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_TRUE(QToolTip::text().startsWith("Gain: drag up to magnify the bars"))
        << QToolTip::text().toStdString();
    QToolTip::hideText();
}

void MoveMouse(QWidget* Widget, const QPoint& Point) {
    QMouseEvent Event(QEvent::MouseMove, QPointF(Point), QPointF(Widget->mapToGlobal(Point)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Widget, &Event);
}

TEST_F(Controls, ReadoutsUnderTheMouseReadTheBarsAndTheStrip) {
    TForm1& F = CreateForm();
    F.show();
    ClickStart();
    for (int Buffer = 0; Buffer < 6; ++Buffer)
        RecordToneBuffer(1000.0);
    const auto* SpectrumBox = F.SpectrumDisplay->findChild<QLabel*>("ReadoutBox");
    const auto* StripBox = F.ScopeDisplay->findChild<QLabel*>("ReadoutBox");
    ASSERT_NE(SpectrumBox, nullptr);
    ASSERT_NE(StripBox, nullptr);

    // Over the middle of the bar area; the band is whichever lies there.
    const QPoint Middle(F.SpectrumDisplay->width() / 2, F.SpectrumDisplay->height() / 3);
    MoveMouse(F.SpectrumDisplay, Middle);
    ASSERT_TRUE(SpectrumBox->isVisible());
    EXPECT_EQ(SpectrumBox->text(),
              F.SpectrumDisplay->BandReadout(F.SpectrumDisplay->BandAt(Middle)));
    EXPECT_TRUE(SpectrumBox->text().contains(" Hz\nlevel ")) << SpectrumBox->text().toStdString();

    // The newest column of the strip, in the row of the tone's band (34).
    const int Row = (61 - 34) * F.ScopeDisplay->height() / 62 + 1;
    MoveMouse(F.ScopeDisplay, QPoint(5, Row));
    ASSERT_TRUE(StripBox->isVisible());
    EXPECT_EQ(StripBox->text(), "960 Hz\n0.00 s ago");

    QEvent Leave(QEvent::Leave);
    QCoreApplication::sendEvent(F.SpectrumDisplay, &Leave);
    QCoreApplication::sendEvent(F.ScopeDisplay, &Leave);
    EXPECT_FALSE(SpectrumBox->isVisible());
    EXPECT_FALSE(StripBox->isVisible());
}

} // namespace
} // namespace vireon::test
