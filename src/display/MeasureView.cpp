#include "display/MeasureView.h"

#include "display/OnScreen.h"
#include "display/ReferenceTraceText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>

namespace vireon {

namespace {

// One colour a trace, none of them the bars' green or the Max mark's white.
constexpr std::array<QRgb, TMeasureView::MaxTraces> TraceColours{
    qRgb(255, 210, 0),   qRgb(0, 200, 255), qRgb(255, 90, 200),  qRgb(255, 140, 0),
    qRgb(160, 120, 255), qRgb(255, 90, 90), qRgb(120, 255, 200), qRgb(180, 180, 90)};

constexpr int TraceColumnWidth = 180;

const QString FractionKey = QStringLiteral("MeasureFraction");
const QString WeightingKey = QStringLiteral("MeasureWeighting");
const QString ShowKey = QStringLiteral("MeasureShow");
const QString StyleKey = QStringLiteral("MeasureStyle");
const QString TopKey = QStringLiteral("MeasureTop");
const QString SpanKey = QStringLiteral("MeasureSpan");
const QString DifferenceKey = QStringLiteral("MeasureDifference");

QString TraceKey(std::size_t Number) {
    return QStringLiteral("MeasureTrace%1").arg(Number);
}

// The stored integer, or Default when it is missing, mistyped or not Valid.
template <typename IsValid>
int ReadChoice(const TSettingsValues& Values, const QString& Name, int Default, IsValid Valid) {
    try {
        const int Value = Values.ReadInteger(Name);
        return Valid(Value) ? Value : Default;
    } catch (const std::exception&) {
        return Default;
    }
}

void SelectData(QComboBox* Combo, int Data) {
    const int Index = Combo->findData(Data);
    if (Index >= 0)
        Combo->setCurrentIndex(Index);
}

QPixmap Swatch(const QColor& Colour) {
    QPixmap Picture(12, 12);
    Picture.fill(Colour);
    return Picture;
}

QString TraceDetails(const TReferenceTrace& Trace) {
    return QStringLiteral("%1: %2 %3, stored at 1/%4 octave")
        .arg(QString::fromStdString(Trace.Name),
             Trace.Weighting == TFrequencyWeighting::Z ? QStringLiteral("dBFS Z")
                                                       : MeasureUnit(Trace.Weighting),
             QString::fromStdString(Trace.Quantity))
        .arg(Trace.StoredFraction);
}

// The frequencies a trace's fine bands cover, for saying why it cannot be drawn.
QString CoveredText(const TReferenceTrace& Trace) {
    const auto [Lowest, Highest] = std::minmax_element(
        Trace.FinePowers.begin(), Trace.FinePowers.end(),
        [](const auto& Left, const auto& Right) { return Left.first < Right.first; });
    const double HalfBand = std::pow(10.0, 0.3 / (2 * TBandLayout::FinestFraction));
    const double Low = TBandLayout::CentreOf(TBandLayout::FinestFraction, Lowest->first) / HalfBand;
    const double High =
        TBandLayout::CentreOf(TBandLayout::FinestFraction, Highest->first) * HalfBand;
    return QStringLiteral("%1 – %2 Hz").arg(std::lround(Low)).arg(std::lround(High));
}

} // namespace

TMeasureView::TMeasureView(TMeasurementModel& Model, QWidget* Parent)
    : QWidget(Parent), FModel(Model) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    FPlot = new TMeasurePlot(FModel, FTraces, this);
    auto* Page = new QVBoxLayout(this);
    Page->setContentsMargins(4, 4, 4, 4);
    Page->setSpacing(4);
    Page->addWidget(CreateControls());
    auto* Middle = new QHBoxLayout();
    Middle->setSpacing(6);
    Middle->addWidget(FPlot, 1);
    Middle->addWidget(CreateTraceColumn());
    Page->addLayout(Middle, 1);
    ReadoutText = new QLabel(this);
    ReadoutText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ReadoutText->setMinimumHeight(ReadoutText->fontMetrics().height());
    Page->addWidget(ReadoutText);
    ConnectControls();
    FSubscription = FModel.Subscribe([this] { BlockDone(); });
}

TMeasureView::~TMeasureView() {
    FModel.Unsubscribe(FSubscription);
}

QWidget* TMeasureView::CreateControls() {
    auto* Row = new QWidget(this);
    auto* Layout = new QHBoxLayout(Row);
    Layout->setContentsMargins(0, 0, 0, 0);
    comboFraction = new QComboBox(Row);
    comboFraction->setToolTip(QStringLiteral("Bands per octave"));
    for (const std::int32_t Fraction : TBandLayout::Fractions)
        comboFraction->addItem(QString::fromStdString(TBandLayout::FractionName(Fraction)),
                               Fraction);
    SelectData(comboFraction, FModel.Fraction());
    comboWeighting = new QComboBox(Row);
    comboWeighting->setToolTip(QStringLiteral("Frequency weighting"));
    for (const auto Weighting :
         {TFrequencyWeighting::A, TFrequencyWeighting::C, TFrequencyWeighting::Z})
        comboWeighting->addItem(QString::fromStdString(WeightingName(Weighting)),
                                static_cast<int>(Weighting));
    SelectData(comboWeighting, static_cast<int>(FModel.Weighting()));
    comboShow = new QComboBox(Row);
    comboShow->setToolTip(QStringLiteral("What the bars show: the Fast or Slow level, the Leq "
                                         "since Reset, or the highest Fast or Slow level"));
    for (const auto Show : {TMeasureShow::Fast, TMeasureShow::Slow, TMeasureShow::Leq,
                            TMeasureShow::FastMax, TMeasureShow::SlowMax})
        comboShow->addItem(MeasureShowName(Show), static_cast<int>(Show));
    const TMeasureShow Shown =
        FModel.TimeWeighting() == TTimeWeighting::Slow ? TMeasureShow::Slow : TMeasureShow::Fast;
    SelectData(comboShow, static_cast<int>(Shown));
    FPlot->SetShow(Shown);
    comboStyle = new QComboBox(Row);
    comboStyle->addItems({QStringLiteral("Bars"), QStringLiteral("Line")});
    btnReset = new QPushButton(QStringLiteral("Reset"), Row);
    btnReset->setToolTip(QStringLiteral("Start Leq and Max again"));
    Layout->addWidget(comboFraction);
    Layout->addSpacing(6);
    Layout->addWidget(new QLabel(QStringLiteral("Weighting"), Row));
    Layout->addWidget(comboWeighting);
    Layout->addSpacing(6);
    Layout->addWidget(new QLabel(QStringLiteral("Show"), Row));
    Layout->addWidget(comboShow);
    Layout->addSpacing(6);
    Layout->addWidget(comboStyle);
    Layout->addWidget(btnReset);
    Layout->addStretch(1);
    return Row;
}

QWidget* TMeasureView::CreateTraceColumn() {
    auto* Column = new QWidget(this);
    Column->setFixedWidth(TraceColumnWidth);
    auto* Layout = new QVBoxLayout(Column);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(3);
    Layout->addWidget(new QLabel(QStringLiteral("Reference traces"), Column));
    lbTraces = new QListWidget(Column);
    lbTraces->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    lbTraces->setMinimumHeight(40);
    lbTraces->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lbTraces->setTextElideMode(Qt::ElideRight);
    Layout->addWidget(lbTraces, 1);
    auto* Buttons = new QHBoxLayout();
    btnStore = new QToolButton(Column);
    btnStore->setPopupMode(QToolButton::MenuButtonPopup);
    auto* StoreLeq = new QAction(QStringLiteral("Store Leq..."), btnStore);
    auto* StoreLevel = new QAction(QStringLiteral("Store Level..."), btnStore);
    connect(StoreLeq, &QAction::triggered, this, [this] { StoreClick(true); });
    connect(StoreLevel, &QAction::triggered, this, [this] { StoreClick(false); });
    auto* StoreMenu = new QMenu(btnStore);
    StoreMenu->addAction(StoreLeq);
    StoreMenu->addAction(StoreLevel);
    btnStore->setMenu(StoreMenu);
    btnStore->setDefaultAction(StoreLeq);
    btnStore->setText(QStringLiteral("Store"));
    btnStore->setToolTip(QStringLiteral("Keep the Leq (or, from the menu, the level now) as a "
                                        "named trace"));
    btnDeleteTrace = new QPushButton(QStringLiteral("Delete"), Column);
    Buttons->addWidget(btnStore);
    Buttons->addWidget(btnDeleteTrace);
    Layout->addLayout(Buttons);
    cbDifference = new QCheckBox(QStringLiteral("Difference"), Column);
    cbDifference->setToolTip(QStringLiteral("Live measurement less the first trace shown"));
    Layout->addWidget(cbDifference);
    StatusText = new QLabel(Column);
    StatusText->setWordWrap(true);
    StatusText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Layout->addWidget(StatusText);
    return Column;
}

void TMeasureView::ConnectControls() {
    connect(comboFraction, &QComboBox::currentIndexChanged, this, &TMeasureView::ApplyFraction);
    connect(comboWeighting, &QComboBox::currentIndexChanged, this, &TMeasureView::ApplyWeighting);
    connect(comboShow, &QComboBox::currentIndexChanged, this, &TMeasureView::ApplyShow);
    connect(comboStyle, &QComboBox::currentIndexChanged, this,
            [this](int Index) { FPlot->SetLine(Index == 1); });
    connect(btnReset, &QPushButton::clicked, this, [this] {
        FModel.Reset();
        ShowChanges();
    });
    connect(btnDeleteTrace, &QPushButton::clicked, this, [this] {
        if (lbTraces->currentRow() >= 0)
            DeleteTrace(static_cast<std::size_t>(lbTraces->currentRow()));
    });
    connect(cbDifference, &QCheckBox::toggled, this, [this](bool Checked) {
        FPlot->SetDifference(Checked);
        ShowChanges();
    });
    connect(lbTraces, &QListWidget::itemChanged, this, &TMeasureView::TraceItemChanged);
    connect(FPlot, &TMeasurePlot::CursorMoved, this,
            [this] { ReadoutText->setText(FPlot->Readout()); });
}

void TMeasureView::ApplyFraction() {
    FModel.SetFraction(comboFraction->currentData().toInt());
    ShowChanges();
}

void TMeasureView::ApplyWeighting() {
    FModel.SetWeighting(static_cast<TFrequencyWeighting>(comboWeighting->currentData().toInt()));
    ShowChanges();
}

void TMeasureView::ApplyShow() {
    const auto Show = static_cast<TMeasureShow>(comboShow->currentData().toInt());
    TTimeWeighting Weighting{};
    if (ShowsTimeWeighting(Show, Weighting) && Weighting != FModel.TimeWeighting())
        FModel.SetTimeWeighting(Weighting);
    FPlot->SetShow(Show);
    ShowChanges();
}

void TMeasureView::StoreClick(bool Leq) {
    if (FTraces.size() >= MaxTraces) {
        StoreTrace(QString(), Leq);
        return;
    }
    bool Accepted = false;
    const QString Name = QInputDialog::getText(
        this, QStringLiteral("Store Reference"), QStringLiteral("Name of the trace:"),
        QLineEdit::Normal, QStringLiteral("Reference %1").arg(FTraces.size() + 1), &Accepted);
    if (Accepted)
        StoreTrace(Name.trimmed(), Leq);
}

bool TMeasureView::StoreTrace(const QString& Name, bool Leq) {
    if (FTraces.size() >= MaxTraces) {
        Say(QStringLiteral("Eight reference traces are kept already: delete one to store "
                           "another."));
        return false;
    }
    QString Chosen = Name;
    for (std::size_t Number = FTraces.size() + 1; Chosen.isEmpty(); ++Number) {
        const std::string Candidate = "Reference " + std::to_string(Number);
        if (std::none_of(FTraces.begin(), FTraces.end(),
                         [&](const TShownTrace& Shown) { return Shown.Trace.Name == Candidate; }))
            Chosen = QString::fromStdString(Candidate);
    }
    TReferenceTrace Trace = FModel.Trace(Chosen.toStdString(), Leq);
    if (std::none_of(Trace.FinePowers.begin(), Trace.FinePowers.end(),
                     [](const auto& Power) { return Power.second > 0.0; })) {
        Say(QStringLiteral("Nothing has been measured yet: there is no trace to store."));
        return false;
    }
    AddTrace(std::move(Trace));
    Say(QString());
    return true;
}

void TMeasureView::AddTrace(TReferenceTrace Trace) {
    FTraces.push_back({std::move(Trace), UnusedColour()});
    FillTraceList();
    ShowChanges();
}

QColor TMeasureView::UnusedColour() const {
    for (const QRgb Colour : TraceColours)
        if (std::none_of(FTraces.begin(), FTraces.end(),
                         [&](const TShownTrace& Shown) { return Shown.Colour.rgb() == Colour; }))
            return QColor(Colour);
    return QColor(TraceColours.front());
}

void TMeasureView::DeleteTrace(std::size_t Index) {
    if (Index >= FTraces.size())
        return;
    FTraces.erase(FTraces.begin() + static_cast<std::ptrdiff_t>(Index));
    FillTraceList();
    ShowChanges();
}

void TMeasureView::SetTraceVisible(std::size_t Index, bool Visible) {
    if (Index < FTraces.size())
        lbTraces->item(static_cast<int>(Index))
            ->setCheckState(Visible ? Qt::Checked : Qt::Unchecked);
}

void TMeasureView::TraceItemChanged(QListWidgetItem* Item) {
    const int Row = lbTraces->row(Item);
    if (Row < 0 || static_cast<std::size_t>(Row) >= FTraces.size())
        return;
    FTraces[static_cast<std::size_t>(Row)].Trace.Visible = Item->checkState() == Qt::Checked;
    ShowChanges();
}

void TMeasureView::FillTraceList() {
    const QSignalBlocker Quiet(lbTraces);
    lbTraces->clear();
    for (const TShownTrace& Shown : FTraces) {
        auto* Item =
            new QListWidgetItem(Swatch(Shown.Colour), QString::fromStdString(Shown.Trace.Name));
        Item->setToolTip(TraceDetails(Shown.Trace));
        Item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        Item->setCheckState(Shown.Trace.Visible ? Qt::Checked : Qt::Unchecked);
        lbTraces->addItem(Item);
    }
}

void TMeasureView::BlockDone() {
    // Blocks come in runs; the first of a run asks for one refresh.
    if (FRefreshPending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this, [this] { Refresh(); }, Qt::QueuedConnection);
}

void TMeasureView::Refresh() {
    FRefreshPending = false;
    if (!IsOnScreen(*this))
        return;
    FPlot->RefreshLevels();
    ReadoutText->setText(FPlot->Readout());
    const TBandLayout& Layout = FModel.Layout();
    if (Layout.BandsPerOctave() != FCheckedFraction || Layout.SampleRate() != FCheckedRate)
        CheckTraces();
}

void TMeasureView::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    ShowChanges();
}

void TMeasureView::ShowChanges() {
    FPlot->update();
    ReadoutText->setText(FPlot->Readout());
    CheckTraces();
}

void TMeasureView::CheckTraces() {
    const TBandLayout& Layout = FModel.Layout();
    FCheckedFraction = Layout.BandsPerOctave();
    FCheckedRate = Layout.SampleRate();
    QStringList News;
    if (FPlot->Difference() && FPlot->DifferenceTrace() < 0)
        News.append(QStringLiteral("Difference: show a reference trace to take it from."));
    for (const TShownTrace& Shown : FTraces) {
        if (!Shown.Trace.Visible)
            continue;
        const std::vector<double> Levels = FModel.TraceLevels(Shown.Trace);
        if (std::all_of(Levels.begin(), Levels.end(),
                        [](double Level) { return std::isnan(Level); }))
            News.append(
                QStringLiteral("\"%1\" cannot be drawn here: it covers %2, no whole band "
                               "of %3 at %4 Hz.")
                    .arg(QString::fromStdString(Shown.Trace.Name), CoveredText(Shown.Trace),
                         QString::fromStdString(TBandLayout::FractionName(Layout.BandsPerOctave())))
                    .arg(Layout.SampleRate()));
    }
    FTraceNews = News.join(QLatin1Char('\n'));
    ShowStatus();
}

void TMeasureView::Say(const QString& News) {
    FNews = News;
    ShowStatus();
}

void TMeasureView::ShowStatus() {
    QStringList Parts;
    for (const QString& Part : {FNews, FTraceNews})
        if (!Part.isEmpty())
            Parts.append(Part);
    StatusText->setText(Parts.join(QLatin1Char('\n')));
}

void TMeasureView::LoadState(const TSettingsValues& Values) {
    SelectData(comboFraction, ReadChoice(Values, FractionKey, TBandLayout::DefaultFraction,
                                         TBandLayout::IsFraction));
    SelectData(comboWeighting,
               ReadChoice(Values, WeightingKey, static_cast<int>(TFrequencyWeighting::Z),
                          [](int Value) { return Value >= 0 && Value <= 2; }));
    SelectData(comboShow, ReadChoice(Values, ShowKey, static_cast<int>(TMeasureShow::Fast),
                                     [](int Value) { return Value >= 0 && Value <= 4; }));
    comboStyle->setCurrentIndex(
        ReadChoice(Values, StyleKey, 0, [](int Value) { return Value == 0 || Value == 1; }));
    FPlot->SetRange(
        ReadChoice(Values, TopKey, TMeasurePlot::DefaultTop, [](int) { return true; }),
        ReadChoice(Values, SpanKey, TMeasurePlot::DefaultSpan, [](int) { return true; }));
    // The model may hold other choices than the lists show: set it whatever changed.
    ApplyFraction();
    ApplyWeighting();
    ApplyShow();
    LoadTraces(Values);
    cbDifference->setChecked(ReadChoice(Values, DifferenceKey, 0,
                                        [](int Value) { return Value == 0 || Value == 1; }) == 1);
    CheckTraces();
}

void TMeasureView::LoadTraces(const TSettingsValues& Values) {
    FTraces.clear();
    QStringList Skipped;
    for (std::size_t Number = 1; Number <= MaxTraces; ++Number) {
        const QString Text = Values.ReadString(TraceKey(Number));
        if (Text.isEmpty())
            continue;
        std::string Why;
        std::optional<TReferenceTrace> Trace = ReferenceTraceFromText(Text.toStdString(), Why);
        if (Trace)
            FTraces.push_back({std::move(*Trace), UnusedColour()});
        else
            Skipped.append(QStringLiteral("Stored reference trace %1 was skipped: %2.")
                               .arg(Number)
                               .arg(QString::fromStdString(Why)));
    }
    FillTraceList();
    Say(Skipped.join(QLatin1Char('\n')));
}

void TMeasureView::SaveState(TSettingsValues& Values) const {
    Values.WriteInteger(FractionKey, comboFraction->currentData().toInt());
    Values.WriteInteger(WeightingKey, comboWeighting->currentData().toInt());
    Values.WriteInteger(ShowKey, comboShow->currentData().toInt());
    Values.WriteInteger(StyleKey, comboStyle->currentIndex());
    Values.WriteInteger(TopKey, FPlot->Top());
    Values.WriteInteger(SpanKey, FPlot->Span());
    Values.WriteInteger(DifferenceKey, cbDifference->isChecked() ? 1 : 0);
    // Every slot is written, so that a trace deleted in this run is gone from the file too.
    for (std::size_t Number = 1; Number <= MaxTraces; ++Number)
        Values.WriteString(TraceKey(Number), Number <= FTraces.size()
                                                 ? QString::fromStdString(ReferenceTraceToText(
                                                       FTraces[Number - 1].Trace))
                                                 : QString());
}

} // namespace vireon
