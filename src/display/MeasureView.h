#pragma once

#include "analysis/MeasurementModel.h"
#include "display/MeasurePlot.h"
#include "display/SettingsValues.h"

#include <QWidget>

#include <atomic>
#include <cstdint>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QToolButton;

namespace vireon {

// The Measure page: a view of a measurement model it does not own. Above
// the plot, the fraction, the frequency weighting, what the bars show,
// bars or a line, and Reset (Leq and Max); beside it, up to eight named
// reference traces, each shown or hidden, and the difference of the live
// measurement from the first one shown; below it, the readout of the band
// under the mouse and what the page has to say. The controls set the model;
// the page repaints after the model's blocks, only while it is on screen.
class TMeasureView : public QWidget {
    Q_OBJECT

public:
    static constexpr std::size_t MaxTraces = 8;

    explicit TMeasureView(TMeasurementModel& Model, QWidget* Parent = nullptr);
    ~TMeasureView() override;

    TMeasurePlot& Plot() { return *FPlot; }
    const std::vector<TShownTrace>& Traces() const { return FTraces; }

    // Keeps the measurement as it stands (its Leq, or its time-weighted
    // level) as a trace named Name, or "Reference N" when Name is empty.
    // With eight kept already it keeps nothing, says why and returns false.
    bool StoreTrace(const QString& Name, bool Leq);
    void DeleteTrace(std::size_t Index);
    void SetTraceVisible(std::size_t Index, bool Visible);

    // The page's choices and traces, under names that begin "Measure". A
    // value that is missing or out of range loads as the default; a trace
    // that cannot be read is skipped and the page says so.
    void LoadState(const TSettingsValues& Values);
    void SaveState(TSettingsValues& Values) const;

    // The page's controls.
    QComboBox* comboFraction = nullptr;
    QComboBox* comboWeighting = nullptr;
    QComboBox* comboShow = nullptr;
    QComboBox* comboStyle = nullptr;
    QPushButton* btnReset = nullptr;
    QToolButton* btnStore = nullptr;
    QPushButton* btnDeleteTrace = nullptr;
    QCheckBox* cbDifference = nullptr;
    QListWidget* lbTraces = nullptr;
    // The band under the mouse, and the page's news (refusals, skipped traces).
    QLabel* ReadoutText = nullptr;
    QLabel* StatusText = nullptr;

protected:
    void showEvent(QShowEvent* Event) override;

private:
    QWidget* CreateControls();
    QWidget* CreateTraceColumn();
    void ConnectControls();
    // Asks for a name, then stores.
    void StoreClick(bool Leq);
    void ApplyFraction();
    void ApplyWeighting();
    void ApplyShow();
    void TraceItemChanged(QListWidgetItem* Item);
    void AddTrace(TReferenceTrace Trace);
    void FillTraceList();
    QColor UnusedColour() const;
    // From the model's thread: one repaint, on the page's own thread, for
    // any number of blocks in between.
    void BlockDone();
    void Refresh();
    // After a choice of the user: the plot, the readout and what the page says of the traces.
    void ShowChanges();
    // Says when the trace a difference needs is missing, or a shown trace
    // has no band in the current layout.
    void CheckTraces();
    void LoadTraces(const TSettingsValues& Values);
    // The page's news: what just happened, then what holds for the traces.
    void Say(const QString& News);
    void ShowStatus();

    TMeasurementModel& FModel;
    std::int32_t FSubscription = 0;
    std::vector<TShownTrace> FTraces;
    TMeasurePlot* FPlot = nullptr;
    std::atomic<bool> FRefreshPending{false};
    // What the trace check last said, and for which layout.
    QString FTraceNews;
    std::int32_t FCheckedFraction = 0;
    double FCheckedRate = 0.0;
    // A refusal, or the traces skipped at load; stays until something else happens.
    QString FNews;
};

} // namespace vireon
