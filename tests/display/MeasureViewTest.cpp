#include "DisplayTestSupport.h"
#include "MeasureTestSupport.h"

#include "display/MeasureView.h"
#include "display/ReferenceTraceText.h"

#include "common/ModalDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPaintEvent>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

namespace vireon::test {

namespace {

TReferenceTrace SampleTrace() {
    TReferenceTrace Trace;
    Trace.Name = "Desk; left = 2 m, ümlaut";
    Trace.Weighting = TFrequencyWeighting::C;
    Trace.Quantity = "Slow";
    Trace.StoredFraction = 12;
    Trace.Visible = false;
    Trace.FinePowers = {{-70, 0.0}, {-69, 1.0 / 3.0}, {0, 0.1}, {1, 2.5e-9}};
    return Trace;
}

class TPaintCount : public QObject {
public:
    explicit TPaintCount(QWidget& Widget) { Widget.installEventFilter(this); }
    int Paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* Event) override {
        Paints += Event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// The page on a model that has measured a steady tone.
class MeasureViewFixture : public testing::Test {
protected:
    MeasureViewFixture() {
        Model.PrepareCapture(44100, 4096, TdspWindow::fwHanning);
        FeedTone(Model, 1000.0, -20.0, 0.5);
    }

    TMeasurementModel Model;
};

} // namespace

TEST(ReferenceTraceText, ATraceReadsBackExactly) {
    const TReferenceTrace Trace = SampleTrace();
    std::string Why;
    const std::optional<TReferenceTrace> Back =
        ReferenceTraceFromText(ReferenceTraceToText(Trace), Why);
    ASSERT_TRUE(Back) << Why;
    EXPECT_EQ(Back->Name, Trace.Name);
    EXPECT_EQ(Back->Weighting, Trace.Weighting);
    EXPECT_EQ(Back->Quantity, Trace.Quantity);
    EXPECT_EQ(Back->StoredFraction, Trace.StoredFraction);
    EXPECT_EQ(Back->Visible, Trace.Visible);
    EXPECT_EQ(Back->FinePowers, Trace.FinePowers);
}

TEST(ReferenceTraceText, DamagedTextIsNoTraceAndSaysWhy) {
    for (const char* Text :
         {"", "A;Leq;3;1;0:1", "Q;Leq;3;1;0:1;n", "A;Peak;3;1;0:1;n", "A;Leq;5;1;0:1;n",
          "A;Leq;3x;1;0:1;n", "A;Leq;3;2;0:1;n", "A;Leq;3;1;;n", "A;Leq;3;1;0:1,;n",
          "A;Leq;3;1;0:-1;n", "A;Leq;3;1;0:nan;n", "A;Leq;3;1;0:inf;n", "A;Leq;3;1;0.5:1;n",
          "A;Leq;3;1;0:1;", "A;Leq;3;1;99999999999:1;n"}) {
        std::string Why;
        EXPECT_FALSE(ReferenceTraceFromText(Text, Why)) << Text;
        EXPECT_FALSE(Why.empty()) << Text;
    }
}

TEST_F(MeasureViewFixture, ARunOfBlocksPaintsOnceAndNothingIsPaintedWhileHidden) {
    {
        TMeasureView View(Model);
        View.resize(700, 320);
        View.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&View));
        QCoreApplication::processEvents();
        TPaintCount Count(View.Plot());
        // The tone the fixture measured, louder: its bar moves.
        FeedTone(Model, 1000.0, -10.0, 0.5);
        QTest::qWait(100);
        EXPECT_EQ(Count.Paints, 1);
        // Bars that stand still cost no paint.
        FeedTone(Model, 1000.0, -10.0, 3.0);
        QTest::qWait(100);
        Count.Paints = 0;
        FeedTone(Model, 1000.0, -10.0, 0.5);
        QTest::qWait(100);
        EXPECT_EQ(Count.Paints, 0);
        View.hide();
        Count.Paints = 0;
        FeedTone(Model, 1000.0, -20.0, 0.5);
        QTest::qWait(100);
        EXPECT_EQ(Count.Paints, 0);
    }
    // The page that went no longer hears from the model.
    FeedTone(Model, 1000.0, -20.0, 0.2);
    QCoreApplication::processEvents();
}

TEST_F(MeasureViewFixture, TheControlsSetTheModelAndTheTitle) {
    TMeasureView View(Model);
    View.comboFraction->setCurrentIndex(View.comboFraction->findData(6));
    View.comboWeighting->setCurrentIndex(View.comboWeighting->findText("A"));
    View.comboShow->setCurrentIndex(View.comboShow->findText("Slow Max"));
    EXPECT_EQ(Model.Fraction(), 6);
    EXPECT_EQ(Model.Layout().BandsPerOctave(), 6);
    EXPECT_EQ(Model.Weighting(), TFrequencyWeighting::A);
    EXPECT_EQ(Model.TimeWeighting(), TTimeWeighting::Slow);
    EXPECT_EQ(View.Plot().Title(), "dB(A) Slow Max");
    View.comboShow->setCurrentIndex(View.comboShow->findText("Leq"));
    EXPECT_EQ(Model.TimeWeighting(), TTimeWeighting::Slow);
    EXPECT_EQ(View.Plot().Title(), "dB(A) Leq");
}

TEST_F(MeasureViewFixture, ANinthTraceIsRefusedWithAMessage) {
    TMeasureView View(Model);
    for (int Stored = 0; Stored < 8; ++Stored)
        ASSERT_TRUE(View.StoreTrace(QString(), Stored % 2 == 0));
    EXPECT_EQ(View.Traces().back().Trace.Name, "Reference 8");
    EXPECT_FALSE(View.StoreTrace("one more", true));
    EXPECT_EQ(View.Traces().size(), 8u);
    EXPECT_EQ(View.lbTraces->count(), 8);
    EXPECT_TRUE(View.StatusText->text().contains("Eight reference traces are kept already"));
    // Each its own colour.
    for (std::size_t First = 0; First < 8; ++First)
        for (std::size_t Second = First + 1; Second < 8; ++Second)
            EXPECT_NE(View.Traces()[First].Colour, View.Traces()[Second].Colour);
    View.DeleteTrace(0);
    EXPECT_TRUE(View.StoreTrace("one more", true));
}

TEST_F(MeasureViewFixture, StoreAsksForANameAndOffersTheNextReferenceNumber) {
    TMeasureView View(Model);
    QAction* Store = View.btnStore->defaultAction();
    QString Offered;
    EXPECT_TRUE(WithModal<QInputDialog>(Store, [&](QInputDialog& Dialog) {
        Offered = Dialog.textValue();
        Dialog.setTextValue("Kitchen");
        Dialog.accept();
    }));
    EXPECT_EQ(Offered, "Reference 1");
    ASSERT_EQ(View.Traces().size(), 1u);
    EXPECT_EQ(View.Traces()[0].Trace.Name, "Kitchen");
    EXPECT_EQ(View.Traces()[0].Trace.Quantity, "Leq");
    // Cancelled: nothing is kept.
    EXPECT_TRUE(WithModal<QInputDialog>(Store, [](QInputDialog&) {}));
    EXPECT_EQ(View.Traces().size(), 1u);
    for (int Stored = 1; Stored < 8; ++Stored)
        ASSERT_TRUE(View.StoreTrace(QString(), true));
    // Full: no name is asked for, and the page says why.
    EXPECT_FALSE(WithModal<QInputDialog>(Store, [](QInputDialog&) {}));
    EXPECT_TRUE(View.StatusText->text().contains("Eight reference traces are kept already"));
}

TEST_F(MeasureViewFixture, ChoicesAndTracesSurviveSavingAndLoading) {
    TMemorySettings Settings;
    {
        TMeasureView View(Model);
        View.comboFraction->setCurrentIndex(View.comboFraction->findData(12));
        View.comboWeighting->setCurrentIndex(View.comboWeighting->findText("C"));
        View.comboShow->setCurrentIndex(View.comboShow->findText("Leq"));
        View.comboStyle->setCurrentIndex(1);
        View.Plot().SetRange(-15, 45);
        ASSERT_TRUE(View.StoreTrace("Sofa", true));
        ASSERT_TRUE(View.StoreTrace("Desk", false));
        View.SetTraceVisible(0, false);
        View.cbDifference->setChecked(true);
        View.SaveState(Settings);
    }
    TMeasurementModel Fresh;
    TMeasureView View(Fresh);
    View.LoadState(Settings);
    EXPECT_EQ(Fresh.Fraction(), 12);
    EXPECT_EQ(Fresh.Weighting(), TFrequencyWeighting::C);
    EXPECT_EQ(View.Plot().Show(), TMeasureShow::Leq);
    EXPECT_TRUE(View.Plot().Line());
    EXPECT_EQ(View.Plot().Top(), -15);
    EXPECT_EQ(View.Plot().Span(), 45);
    EXPECT_TRUE(View.Plot().Difference());
    ASSERT_EQ(View.Traces().size(), 2u);
    EXPECT_EQ(View.Traces()[0].Trace.Name, "Sofa");
    EXPECT_FALSE(View.Traces()[0].Trace.Visible);
    EXPECT_EQ(View.lbTraces->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(View.Traces()[1].Trace.Quantity, "Fast");
    EXPECT_EQ(View.Plot().DifferenceTrace(), 1);
    EXPECT_TRUE(View.StatusText->text().isEmpty()) << View.StatusText->text().toStdString();
}

TEST_F(MeasureViewFixture, ADamagedStoredTraceIsSkippedAndTheOthersLoad) {
    TMemorySettings Settings;
    Settings.Values["MeasureTrace1"] = QString::fromStdString(ReferenceTraceToText(SampleTrace()));
    Settings.Values["MeasureTrace2"] = "A;Leq;3;1;0:1,7:oops;Broken";
    Settings.Values["MeasureTrace3"] = QString::fromStdString(ReferenceTraceToText(SampleTrace()));
    Settings.Values["MeasureFraction"] = "5";
    Settings.Values["MeasureSpan"] = "77";
    TMeasureView View(Model);
    View.LoadState(Settings);
    EXPECT_EQ(View.Traces().size(), 2u);
    EXPECT_TRUE(View.StatusText->text().contains("Stored reference trace 2 was skipped"))
        << View.StatusText->text().toStdString();
    EXPECT_EQ(Model.Fraction(), 3);
    EXPECT_EQ(View.Plot().Span(), 90);
}

TEST_F(MeasureViewFixture, ATraceWithNoBandHereSaysWhyInsteadOfVanishing) {
    TReferenceTrace Far = SampleTrace();
    Far.Name = "Far";
    Far.Visible = true;
    // Fine bands around 80 kHz: no band of a 44.1 kHz layout.
    Far.FinePowers = {{190, 1.0}, {191, 1.0}, {192, 1.0}};
    TMemorySettings Settings;
    Settings.Values["MeasureTrace1"] = QString::fromStdString(ReferenceTraceToText(Far));
    TMeasureView View(Model);
    View.LoadState(Settings);
    ASSERT_EQ(View.Traces().size(), 1u);
    EXPECT_TRUE(View.StatusText->text().contains("\"Far\" cannot be drawn here"))
        << View.StatusText->text().toStdString();
    View.SetTraceVisible(0, false);
    EXPECT_TRUE(View.StatusText->text().isEmpty());
}

} // namespace vireon::test
