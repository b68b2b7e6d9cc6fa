#include <gtest/gtest.h>

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTextStream>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <future>
#include <numbers>
#include <optional>
#include <thread>
#include <vector>

extern char** environ;

namespace vireon::test {
namespace {

struct TRun {
    int ExitCode = -1;
    QString Errors;
    QByteArray Output;
    long PeakKiB = 0;
    double Seconds = 0.0;
};

// Spawned and reaped here rather than through QProcess so that the peak
// memory of this one run can be read from wait4.
TRun RunSnapshot(const QStringList& Arguments,
                 const std::vector<QByteArray>& ExtraEnvironment = {}) {
    QTemporaryDir Dir;
    if (!Dir.isValid())
        return {};
    const QString ErrorsPath = Dir.filePath(QStringLiteral("stderr"));
    const QString OutputPath = Dir.filePath(QStringLiteral("stdout"));
    std::vector<QByteArray> Words{QByteArrayLiteral(VIREON_SNAPSHOT)};
    for (const QString& Argument : Arguments)
        Words.push_back(Argument.toLocal8Bit());
    std::vector<char*> Argv;
    for (QByteArray& Word : Words)
        Argv.push_back(Word.data());
    Argv.push_back(nullptr);

    std::vector<char*> Environment;
    for (char** Entry = environ; *Entry != nullptr; ++Entry)
        Environment.push_back(*Entry);
    std::vector<QByteArray> Extra = ExtraEnvironment;
    for (QByteArray& Entry : Extra)
        Environment.push_back(Entry.data());
    Environment.push_back(nullptr);

    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 1, OutputPath.toLocal8Bit().constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&Actions, 2, ErrorsPath.toLocal8Bit().constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t Pid = 0;
    const int Spawned =
        posix_spawn(&Pid, Argv[0], &Actions, nullptr, Argv.data(), Environment.data());
    posix_spawn_file_actions_destroy(&Actions);
    if (Spawned != 0)
        return {};

    using Clock = std::chrono::steady_clock;
    const auto Start = Clock::now();
    int Status = 0;
    rusage Usage{};
    for (;;) {
        const pid_t Done = wait4(Pid, &Status, WNOHANG, &Usage);
        if (Done == Pid)
            break;
        if (Done < 0 && errno != EINTR)
            return {};
        if (Clock::now() - Start > std::chrono::seconds(120)) {
            kill(Pid, SIGKILL);
            wait4(Pid, &Status, 0, &Usage);
            return {};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    TRun Run;
    Run.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    Run.PeakKiB = Usage.ru_maxrss;
    Run.Seconds = std::chrono::duration<double>(Clock::now() - Start).count();
    QFile Errors(ErrorsPath);
    if (Errors.open(QIODevice::ReadOnly))
        Run.Errors = QString::fromLocal8Bit(Errors.readAll());
    QFile Output(OutputPath);
    if (Output.open(QIODevice::ReadOnly))
        Run.Output = Output.readAll();
    return Run;
}

bool IsUnlit(QRgb Color) {
    return Color == qRgb(40, 60, 40) || Color == qRgb(30, 10, 30) || Color == qRgb(30, 50, 30) ||
           Color == qRgb(1, 1, 1) || Color == qRgb(20, 40, 20);
}

TEST(SnapshotTool, SineLightsItsBandInThePicture) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    const QString Spectrum = Dir.filePath(QStringLiteral("spectrum.png"));
    const QString Scope = Dir.filePath(QStringLiteral("scope.png"));
    const TRun Run = RunSnapshot({"--sine", "1000", "--level", "-6", "--seconds", "1", "--no-peaks",
                                  "--no-average", "--spectrum", Spectrum, "--scope", Scope});
    ASSERT_EQ(Run.ExitCode, 0) << Run.Errors.toStdString();

    const QImage Picture(Spectrum);
    ASSERT_EQ(Picture.size(), QSize(803, 292));
    // Bars 12 wide from x = 30, 232 high from y = 10; 1 kHz lies in band 34.
    const int Middle = 10 + 232 / 2;
    EXPECT_FALSE(IsUnlit(Picture.pixel(30 + 34 * 12 + 6, Middle)));
    EXPECT_TRUE(IsUnlit(Picture.pixel(30 + 10 * 12 + 6, Middle)));
    EXPECT_TRUE(IsUnlit(Picture.pixel(30 + 50 * 12 + 6, Middle)));

    const QImage Strip(Scope);
    ASSERT_EQ(Strip.size(), QSize(954, 76));
    // One column per 50 ms: columns 0..19, then the two markers. Band 34's
    // segment is row 33; quiet bands take palette entry 0.
    EXPECT_NE(Strip.pixel(10, 33), qRgb(1, 10, 10));
    EXPECT_EQ(Strip.pixel(10, 50), qRgb(1, 10, 10));
    EXPECT_EQ(Strip.pixel(20, 40), qRgb(255, 255, 255));
    EXPECT_EQ(Strip.pixel(21, 40), qRgb(255, 255, 255));
    EXPECT_EQ(Strip.pixel(600, 40), qRgb(0, 0, 0));
}

// Device pixels of logical pixel (X, Y) at a pixel ratio of two, and whether
// they hold one colour, as a doubled low-density picture would.
bool BlockIsUniform(const QImage& Image, int X, int Y) {
    const QRgb Corner = Image.pixel(2 * X, 2 * Y);
    return Image.pixel(2 * X + 1, 2 * Y) == Corner && Image.pixel(2 * X, 2 * Y + 1) == Corner &&
           Image.pixel(2 * X + 1, 2 * Y + 1) == Corner;
}

// Logical pixels of Area whose device block is exactly the low-density
// pixel, and those whose block has detail of its own.
struct TBlockCount {
    int Doubled = 0;
    int Finer = 0;
    int Other = 0;
};

TBlockCount CompareBlocks(const QImage& Low, const QImage& High, const QRect& Area) {
    TBlockCount Count;
    for (int Y = Area.top(); Y <= Area.bottom(); ++Y)
        for (int X = Area.left(); X <= Area.right(); ++X) {
            if (!BlockIsUniform(High, X, Y))
                ++Count.Finer;
            else if (High.pixel(2 * X, 2 * Y) == Low.pixel(X, Y))
                ++Count.Doubled;
            else
                ++Count.Other;
        }
    return Count;
}

TEST(SnapshotTool, AtPixelRatioTwoTheLayoutStaysAndTextIsSharp) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    QImage Spectrum[2];
    QImage Scope[2];
    for (const int Ratio : {1, 2}) {
        const QString SpectrumPath = Dir.filePath(QStringLiteral("spectrum%1.png").arg(Ratio));
        const QString ScopePath = Dir.filePath(QStringLiteral("scope%1.png").arg(Ratio));
        const TRun Run =
            RunSnapshot({"--sine", "1000", "--seconds", "1", "--no-peaks", "--no-average",
                         "--spectrum", SpectrumPath, "--scope", ScopePath},
                        {"QT_SCALE_FACTOR=" + QByteArray::number(Ratio)});
        ASSERT_EQ(Run.ExitCode, 0) << Run.Errors.toStdString();
        Spectrum[Ratio - 1] = QImage(SpectrumPath).convertToFormat(QImage::Format_RGB32);
        Scope[Ratio - 1] = QImage(ScopePath).convertToFormat(QImage::Format_RGB32);
    }
    ASSERT_EQ(Spectrum[1].size(), 2 * Spectrum[0].size());
    ASSERT_EQ(Scope[1].size(), 2 * Scope[0].size());

    // The bars below the status boxes are the low-density ones, doubled.
    const TBlockCount Bars = CompareBlocks(Spectrum[0], Spectrum[1], QRect(30, 45, 62 * 12, 197));
    EXPECT_EQ(Bars.Finer + Bars.Other, 0);
    // The band labels under them are set at full resolution.
    const TBlockCount Labels = CompareBlocks(Spectrum[0], Spectrum[1], QRect(0, 250, 803, 42));
    EXPECT_GT(Labels.Finer, 200);

    // The strip's columns are doubled too, its labels set finely.
    const TBlockCount Columns = CompareBlocks(Scope[0], Scope[1], QRect(0, 14, 24, 48));
    EXPECT_EQ(Columns.Finer + Columns.Other, 0);
    const TBlockCount StripLabels = CompareBlocks(Scope[0], Scope[1], QRect(0, 0, 50, 14));
    EXPECT_GT(StripLabels.Finer, 20);
}

void PutLE(QByteArray& Out, std::uint32_t Value, int Bytes) {
    for (int I = 0; I < Bytes; ++I)
        Out.append(static_cast<char>((Value >> (8 * I)) & 0xFF));
}

// How a WAV stores its samples: 16-bit integers, or IEEE floats of 32 or
// 64 bits with full scale at 1.0.
enum class TCoding { Pcm16, Float32, Float64 };

void PutSample(QByteArray& Out, double Value, TCoding Coding) {
    switch (Coding) {
    case TCoding::Pcm16:
        PutLE(Out,
              static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(32768.0 * Value))),
              2);
        break;
    case TCoding::Float32: {
        const auto Single = static_cast<float>(Value);
        Out.append(reinterpret_cast<const char*>(&Single), sizeof Single);
        break;
    }
    case TCoding::Float64:
        Out.append(reinterpret_cast<const char*>(&Value), sizeof Value);
        break;
    }
}

// A WAV holding Frames frames of a 1 kHz sine of peak Amplitude (full scale
// 1.0; -12 dBFS unless given) on every channel, whose header claims Rate,
// Channels and, when not zero, ClaimedBytes of data however many follow.
QByteArray SineWav(std::uint32_t Rate, std::uint16_t Channels, std::uint32_t Frames,
                   std::uint32_t ClaimedBytes = 0, TCoding Coding = TCoding::Pcm16,
                   double Amplitude = 0.25) {
    const std::uint16_t Bytes = Coding == TCoding::Pcm16 ? 2 : Coding == TCoding::Float32 ? 4 : 8;
    QByteArray Data;
    Data.reserve(static_cast<qsizetype>(Frames) * Channels * Bytes);
    for (std::uint32_t I = 0; I < Frames; ++I) {
        const double Sample = Amplitude * std::sin(2.0 * std::numbers::pi * 1000.0 * I / Rate);
        for (int Channel = 0; Channel < Channels; ++Channel)
            PutSample(Data, Sample, Coding);
    }
    const std::uint32_t DataBytes =
        ClaimedBytes != 0 ? ClaimedBytes : static_cast<std::uint32_t>(Data.size());
    QByteArray Wav("RIFF");
    PutLE(Wav, ClaimedBytes != 0 ? ClaimedBytes : 36 + DataBytes, 4);
    Wav.append("WAVEfmt ");
    PutLE(Wav, 16, 4);
    PutLE(Wav, Coding == TCoding::Pcm16 ? 1 : 3, 2);
    PutLE(Wav, Channels, 2);
    PutLE(Wav, Rate, 4);
    PutLE(Wav, Rate * Channels * Bytes, 4);
    PutLE(Wav, Channels * Bytes, 2);
    PutLE(Wav, Bytes * 8u, 2);
    Wav.append("data");
    PutLE(Wav, DataBytes, 4);
    return Wav + Data;
}

TEST(SnapshotTool, BadInputEndsWithAMessageAndAnError) {
    QTemporaryDir Dir;
    const QString NotSound = Dir.filePath(QStringLiteral("notes.txt"));
    QFile File(NotSound);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly));
    File.write("not a sound file");
    File.close();
    const QString Empty = Dir.filePath(QStringLiteral("empty.wav"));
    QFile EmptyFile(Empty);
    ASSERT_TRUE(EmptyFile.open(QIODevice::WriteOnly));
    EmptyFile.write(SineWav(44100, 2, 0));
    EmptyFile.close();

    struct TCase {
        QStringList Arguments;
        const char* Mentions;
    };
    for (const TCase& Case :
         {TCase{{"--file", NotSound}, "notes.txt"}, TCase{{"--file", Empty}, "holds no sound"},
          TCase{{"--file", Dir.path()}, "is a folder"}, TCase{{"--sine", "loud"}, "--sine"},
          TCase{{"--pink", "--fft", "1000"}, "power of two"}, TCase{{"--white", "--frob"}, "frob"},
          TCase{{}, "exactly one source"}, TCase{{"--sine", "100", "--window", "Kaiser"}, "Kaiser"},
          TCase{{"--sine", "100", "--spectrum", Dir.filePath("missing/dir/x.png")},
                "cannot write"}}) {
        const TRun Run = RunSnapshot(Case.Arguments);
        EXPECT_GT(Run.ExitCode, 0) << Case.Mentions;
        EXPECT_TRUE(Run.Errors.contains(QLatin1String(Case.Mentions))) << Run.Errors.toStdString();
    }
}

// The CSV's rows, each split at its commas with empty fields kept; the
// header comes first.
QList<QStringList> ReadCsv(const QString& Path) {
    QList<QStringList> Rows;
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly | QIODevice::Text))
        return Rows;
    QTextStream Lines(&File);
    for (QString Line; Lines.readLineInto(&Line);)
        Rows.append(Line.split(QLatin1Char(',')));
    return Rows;
}

// The measurement's table: a header row, then one row per band.
struct TTable {
    QStringList Header;
    QList<QStringList> Rows;
    // The value in the named column of row R; empty for a column not there.
    QString At(qsizetype R, const char* Name) const {
        const qsizetype Column = Header.indexOf(QLatin1String(Name));
        return Column >= 0 && Column < Rows[R].size() ? Rows[R][Column] : QString();
    }
    qsizetype RowOf(const char* Nominal) const {
        for (qsizetype R = 0; R < Rows.size(); ++R)
            if (At(R, "nominal_hz") == QLatin1String(Nominal))
                return R;
        return -1;
    }
    // The power of every band's Leq together, in dB.
    double LeqSum() const {
        double Power = 0.0;
        for (qsizetype R = 0; R < Rows.size(); ++R)
            if (!At(R, "leq_db").isEmpty())
                Power += std::pow(10.0, At(R, "leq_db").toDouble() / 10.0);
        return 10.0 * std::log10(Power);
    }
};

TTable ReadTable(const QString& Path) {
    QList<QStringList> Rows = ReadCsv(Path);
    if (Rows.isEmpty())
        return {};
    const QStringList Header = Rows.takeFirst();
    return {Header, Rows};
}

// The measurement of a generated signal, with Options after the signal.
TTable Measure(const QTemporaryDir& Dir, QStringList Arguments) {
    const QString Csv = Dir.filePath(QStringLiteral("bands.csv"));
    Arguments << QStringLiteral("--spectrum") << Dir.filePath(QStringLiteral("spectrum.png"))
              << QStringLiteral("--scope") << Dir.filePath(QStringLiteral("scope.png"))
              << QStringLiteral("--csv") << Csv;
    QFile::remove(Csv);
    const TRun Run = RunSnapshot(Arguments);
    EXPECT_EQ(Run.ExitCode, 0) << Run.Errors.toStdString();
    return ReadTable(Csv);
}

TEST(SnapshotTool, CsvIsTheMeasurementWithItsConditions) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    // The picture's settings change the picture, never the numbers.
    const TTable Table = Measure(Dir, {"--sine", "1000", "--level", "-6", "--seconds", "2",
                                       "--gain", "2", "--fade", "0.2", "--peak-hold", "10"});
    EXPECT_EQ(Table.Header.join(QLatin1Char(',')),
              QLatin1String("band,nominal_hz,centre_hz,low_hz,high_hz,level_db,leq_db,max_db,"
                            "reference_db,sample_rate,fft_size,window,fraction,weighting,"
                            "time_weighting,seconds,exported_at"));
    // Thirds from 20 Hz to 20 kHz.
    ASSERT_EQ(Table.Rows.size(), 31);
    EXPECT_EQ(Table.At(0, "nominal_hz"), QLatin1String("20"));
    EXPECT_EQ(Table.At(30, "nominal_hz"), QLatin1String("20000"));
    const qsizetype Band = Table.RowOf("1000");
    ASSERT_GE(Band, 0);
    for (const char* Column : {"level_db", "leq_db", "max_db"})
        EXPECT_NEAR(Table.At(Band, Column).toDouble(), -6.0, 0.1) << Column;
    EXPECT_NEAR(Table.LeqSum(), -6.0, 0.1);
    for (qsizetype R = 0; R < Table.Rows.size(); ++R) {
        ASSERT_EQ(Table.Rows[R].size(), Table.Header.size()) << R;
        EXPECT_EQ(Table.At(R, "band").toInt(), R);
        EXPECT_TRUE(Table.At(R, "reference_db").isEmpty());
        EXPECT_EQ(Table.At(R, "sample_rate"), QLatin1String("44100"));
        EXPECT_EQ(Table.At(R, "fft_size"), QLatin1String("4096"));
        EXPECT_EQ(Table.At(R, "window"), QLatin1String("Blackman"));
        EXPECT_EQ(Table.At(R, "fraction"), QLatin1String("1/3 octave"));
        EXPECT_EQ(Table.At(R, "weighting"), QLatin1String("Z"));
        EXPECT_EQ(Table.At(R, "time_weighting"), QLatin1String("fast"));
        EXPECT_NEAR(Table.At(R, "seconds").toDouble(), 2.0, 0.001);
        EXPECT_TRUE(QDateTime::fromString(Table.At(R, "exported_at"), Qt::ISODate).isValid());
    }
}

// The tool's options reach the measurement; values it does not know are refused.
TEST(SnapshotTool, FractionAndWeightingsAreTheMeasurements) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    const TTable Octaves = Measure(Dir, {"--sine", "1000", "--seconds", "1", "--fraction", "1"});
    EXPECT_EQ(Octaves.Rows.size(), 11); // 16 Hz to 16 kHz
    EXPECT_EQ(Octaves.At(0, "fraction"), QLatin1String("1/1 octave"));
    // A weighting: 19.1 dB less at 100 Hz.
    const TTable A = Measure(Dir, {"--sine", "100", "--level", "-10", "--seconds", "3",
                                   "--weighting", "a", "--time-weighting", "slow"});
    EXPECT_NEAR(A.At(A.RowOf("100"), "leq_db").toDouble(), -10.0 - 19.1, 0.2);
    EXPECT_EQ(A.At(0, "weighting"), QLatin1String("A"));
    EXPECT_EQ(A.At(0, "time_weighting"), QLatin1String("slow"));
    for (const QStringList& Wrong :
         {QStringList{"--fraction", "2"}, QStringList{"--weighting", "B"},
          QStringList{"--time-weighting", "impulse"}}) {
        const TRun Run = RunSnapshot(QStringList{"--sine", "1000"} + Wrong);
        EXPECT_EQ(Run.ExitCode, 2) << Wrong.join(' ').toStdString();
        EXPECT_TRUE(Run.Errors.contains(Wrong[1])) << Run.Errors.toStdString();
    }
}

// Signals whose measurement is known by hand, through the whole tool: a sine
// reads its level summed over the bands, at the ends of the range and the
// sizes; pink noise reads flat over the thirds.
TEST(SnapshotTool, HandWorkedSignalsReadTheirLevels) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    struct TSine {
        const char* Hz;
        const char* Size;
        const char* Window;
        const char* Nominal;
    };
    for (const TSine& Sine :
         {TSine{"25", "1024", "None", "25"}, TSine{"1000", "16384", "Hanning", "1000"},
          TSine{"19000", "4096", "Parzen", "20000"}}) {
        SCOPED_TRACE(Sine.Hz);
        const TTable Table = Measure(Dir, {"--sine", Sine.Hz, "--level", "-10", "--seconds", "14",
                                           "--fft", Sine.Size, "--window", Sine.Window});
        EXPECT_NEAR(Table.LeqSum(), -10.0, 0.3);
        EXPECT_NEAR(Table.At(Table.RowOf(Sine.Nominal), "leq_db").toDouble(), -10.0, 0.3);
    }
    const TTable Pink = Measure(Dir, {"--pink", "--seconds", "120", "--fft", "4096"});
    const qsizetype From = Pink.RowOf("25");
    const qsizetype To = Pink.RowOf("16000");
    ASSERT_TRUE(From >= 0 && To > From);
    double Mean = 0.0;
    for (qsizetype R = From; R <= To; ++R)
        Mean += Pink.At(R, "leq_db").toDouble() / static_cast<double>(To - From + 1);
    for (qsizetype R = From; R <= To; ++R)
        EXPECT_NEAR(Pink.At(R, "leq_db").toDouble(), Mean, 0.75)
            << Pink.At(R, "nominal_hz").toStdString();
}

// The Measure page's picture, as the window shows it at its default size:
// the tone's band is the one bar that reaches the top of the plot's range.
TEST(SnapshotTool, MeasurePictureIsTheMeasurePage) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    const QString Png = Dir.filePath(QStringLiteral("measure.png"));
    const TRun Run = RunSnapshot({"--sine", "1000", "--level", "0", "--seconds", "1", "--spectrum",
                                  Dir.filePath(QStringLiteral("spectrum.png")), "--scope",
                                  Dir.filePath(QStringLiteral("scope.png")), "--measure", Png});
    ASSERT_EQ(Run.ExitCode, 0) << Run.Errors.toStdString();
    const QImage Picture(Png);
    ASSERT_EQ(Picture.size(), QSize(957, 332));
    // Green columns near the top of the plot: the 0 dBFS tone's bar alone.
    int Columns = 0;
    for (int X = 0; X < Picture.width(); ++X)
        Columns += qGreen(Picture.pixel(X, 70)) > 150 && qRed(Picture.pixel(X, 70)) < 50;
    EXPECT_GT(Columns, 10);
    EXPECT_LT(Columns, 40);
}

// The level of the band that holds 1 kHz, as the CSV gives it, for a -6 dBFS
// sine in a WAV of each sample coding: a float file read as integers would
// be silence (-48.0).
TEST(SnapshotTool, FilesOfEveryCodingGiveTheirTrueLevel) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    const double Amplitude = std::pow(10.0, -6.0 / 20.0);
    struct TCase {
        const char* Name;
        TCoding Coding;
    };
    for (const TCase& Case :
         {TCase{"float32.wav", TCoding::Float32}, TCase{"float64.wav", TCoding::Float64},
          TCase{"pcm16.wav", TCoding::Pcm16}}) {
        SCOPED_TRACE(Case.Name);
        const QString Path = Dir.filePath(QLatin1String(Case.Name));
        QFile File(Path);
        ASSERT_TRUE(File.open(QIODevice::WriteOnly));
        File.write(SineWav(44100, 1, 44100, 0, Case.Coding, Amplitude));
        File.close();
        const QString Csv = Dir.filePath(QStringLiteral("bands.csv"));
        const TRun Run = RunSnapshot({"--file", Path, "--fade", "1", "--spectrum",
                                      Dir.filePath(QStringLiteral("spectrum.png")), "--scope",
                                      Dir.filePath(QStringLiteral("scope.png")), "--csv", Csv});
        ASSERT_EQ(Run.ExitCode, 0) << Run.Errors.toStdString();
        const TTable Table = ReadTable(Csv);
        ASSERT_EQ(Table.Rows.size(), 31);
        EXPECT_EQ(Table.At(Table.RowOf("1000"), "leq_db"), QLatin1String("-6.0"));
    }
}

// Outputs are written through a symlink to its file, into a pipe, and with
// "-" to standard output; none of them is replaced by a file of its own.
TEST(SnapshotTool, OutputsFollowLinksAndGoIntoPipesAndStandardOutput) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    const QString Real = Dir.filePath(QStringLiteral("real.png"));
    const QString Link = Dir.filePath(QStringLiteral("link.png"));
    const QString Pipe = Dir.filePath(QStringLiteral("pipe"));
    QFile Old(Real);
    ASSERT_TRUE(Old.open(QIODevice::WriteOnly));
    Old.write("old");
    Old.close();
    ASSERT_TRUE(QFile::link(QStringLiteral("real.png"), Link));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Pipe).constData(), 0600), 0);
    std::future<QByteArray> Piped = std::async(std::launch::async, [&] {
        QFile Reader(Pipe);
        return Reader.open(QIODevice::ReadOnly) ? Reader.readAll() : QByteArray();
    });

    const TRun Run = RunSnapshot(
        {"--sine", "1000", "--seconds", "0.5", "--spectrum", Link, "--scope", Pipe, "--csv", "-"});
    // A run that never opened the pipe must not leave the reader waiting.
    if (Piped.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        ::close(::open(QFile::encodeName(Pipe).constData(), O_WRONLY | O_NONBLOCK));
    EXPECT_EQ(Run.ExitCode, 0) << Run.Errors.toStdString();
    EXPECT_EQ(QImage::fromData(Piped.get()).size(), QSize(954, 76));
    EXPECT_EQ(QImage(Real).size(), QSize(803, 292));
    EXPECT_TRUE(QFileInfo(Link).isSymLink());
    struct stat Info {};
    ASSERT_EQ(::stat(QFile::encodeName(Pipe).constData(), &Info), 0);
    EXPECT_TRUE(S_ISFIFO(Info.st_mode));
    EXPECT_TRUE(Run.Output.startsWith("band,nominal_hz,"));
    EXPECT_EQ(Run.Output.count('\n'), 32);
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
              QStringList({QStringLiteral("link.png"), QStringLiteral("pipe"),
                           QStringLiteral("real.png")}));
}

// A full disk, as /dev/full stands for, fails the run with the reason; the
// device and a link to it stay as they were.
TEST(SnapshotTool, AFullDiskIsAnErrorThatSaysWhy) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    const QString Link = Dir.filePath(QStringLiteral("full.csv"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), Link));
    const TRun Run =
        RunSnapshot({"--sine", "1000", "--seconds", "0.5", "--spectrum", "/dev/full", "--scope",
                     Dir.filePath(QStringLiteral("scope.png")), "--csv", Link});
    EXPECT_EQ(Run.ExitCode, 1);
    for (const QString& Path : {QStringLiteral("/dev/full"), Link})
        EXPECT_TRUE(Run.Errors.contains(
            QStringLiteral("cannot write '%1': No space left on device").arg(Path)))
            << Run.Errors.toStdString();
    EXPECT_EQ(QImage(Dir.filePath(QStringLiteral("scope.png"))).size(), QSize(954, 76));
    EXPECT_TRUE(QFileInfo(Link).isSymLink());
    struct stat Info {};
    ASSERT_EQ(::stat("/dev/full", &Info), 0);
    EXPECT_TRUE(S_ISCHR(Info.st_mode));
}

// A table that cannot be written is an error naming it; the pictures are
// still written.
TEST(SnapshotTool, UnwritableCsvFailsButKeepsThePictures) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    const QString Taken = Dir.filePath(QStringLiteral("taken"));
    ASSERT_TRUE(QDir().mkpath(Taken + QStringLiteral("/inside")));
    struct TCase {
        QString Path;
        const char* Reason;
    };
    for (const TCase& Case : {TCase{Dir.filePath(QStringLiteral("missing/bands.csv")), "No such"},
                              TCase{Taken, "directory"}}) {
        SCOPED_TRACE(Case.Path.toStdString());
        const QString Spectrum = Dir.filePath(QStringLiteral("spectrum.png"));
        const QString Scope = Dir.filePath(QStringLiteral("scope.png"));
        QFile::remove(Spectrum);
        QFile::remove(Scope);
        const TRun Run = RunSnapshot({"--sine", "1000", "--seconds", "0.5", "--spectrum", Spectrum,
                                      "--scope", Scope, "--csv", Case.Path});
        EXPECT_EQ(Run.ExitCode, 1);
        EXPECT_TRUE(Run.Errors.contains(QStringLiteral("cannot write '%1'").arg(Case.Path)) &&
                    Run.Errors.contains(QLatin1String(Case.Reason)))
            << Run.Errors.toStdString();
        EXPECT_EQ(QImage(Spectrum).size(), QSize(803, 292));
        EXPECT_EQ(QImage(Scope).size(), QSize(954, 76));
    }
    EXPECT_TRUE(QFileInfo(Taken).isDir());
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files),
              QStringList({QStringLiteral("scope.png"), QStringLiteral("spectrum.png")}));
}

// A header's claims size nothing: the data really there is analysed, or the
// file is refused with a message, quickly and in little memory either way.
TEST(SnapshotTool, HeaderClaimsAreNotBelieved) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    struct TCase {
        const char* Name;
        std::uint32_t Rate;
        std::uint16_t Channels;
        std::uint32_t Frames;
        std::uint32_t ClaimedBytes;
        const char* Refusal; // nullptr: analysed
        int Columns;         // strip columns for the real data
        const char* FFT = "4096";
    };
    for (const TCase& Case : {
             // Four gigabytes of data claimed, one second there.
             TCase{"long.wav", 44100, 1, 44100, 0xFFFFFFF0u, nullptr, 20},
             // 32768 points resolve 1 kHz at this rate and still fill within 50 ms.
             TCase{"fastest.wav", 768000, 2, 768000 / 4, 0, nullptr, 5, "32768"},
             TCase{"absurd-rate.wav", 0x7FFFFFFFu, 2, 4410, 0, "sample rate", 0},
             TCase{"too-fast.wav", 768001, 1, 4410, 0, "sample rate", 0},
             TCase{"too-slow.wav", 999, 1, 4410, 0, "sample rate", 0},
             TCase{"absurd-rate-and-channels.wav", 0x7FFFFFFFu, 1024, 16, 0, "sample rate", 0},
             TCase{"channels.wav", 44100, 65535, 2, 0, "channels", 0},
         }) {
        SCOPED_TRACE(Case.Name);
        const QString Path = Dir.filePath(QLatin1String(Case.Name));
        QFile File(Path);
        ASSERT_TRUE(File.open(QIODevice::WriteOnly));
        File.write(SineWav(Case.Rate, Case.Channels, Case.Frames, Case.ClaimedBytes));
        File.close();
        const QString Spectrum = Dir.filePath(QStringLiteral("spectrum.png"));
        const QString Scope = Dir.filePath(QStringLiteral("scope.png"));
        QFile::remove(Spectrum);
        QFile::remove(Scope);

        const TRun Run = RunSnapshot({"--file", Path, "--fft", Case.FFT, "--no-peaks",
                                      "--no-average", "--spectrum", Spectrum, "--scope", Scope});
        // A buffer sized from a claimed rate alone took over 600 MB.
        EXPECT_LT(Run.PeakKiB, 256 * 1024);
        EXPECT_LT(Run.Seconds, 30.0);
        if (Case.Refusal != nullptr) {
            EXPECT_EQ(Run.ExitCode, 1);
            EXPECT_TRUE(Run.Errors.contains(QLatin1String(Case.Name)) &&
                        Run.Errors.contains(QLatin1String(Case.Refusal)))
                << Run.Errors.toStdString();
            EXPECT_FALSE(QFile::exists(Spectrum));
            continue;
        }
        ASSERT_EQ(Run.ExitCode, 0) << Run.Errors.toStdString();
        const QImage Picture(Spectrum);
        ASSERT_EQ(Picture.size(), QSize(803, 292));
        EXPECT_FALSE(IsUnlit(Picture.pixel(30 + 34 * 12 + 6, 10 + 232 / 2)));
        EXPECT_TRUE(IsUnlit(Picture.pixel(30 + 50 * 12 + 6, 10 + 232 / 2)));
        // The markers follow the last column: no more buffers than the data filled.
        const QImage Strip(Scope);
        ASSERT_EQ(Strip.size(), QSize(954, 76));
        EXPECT_NE(Strip.pixel(Case.Columns - 1, 33), qRgb(1, 10, 10));
        EXPECT_EQ(Strip.pixel(Case.Columns, 40), qRgb(255, 255, 255));
        EXPECT_EQ(Strip.pixel(Case.Columns + 1, 40), qRgb(255, 255, 255));
        EXPECT_EQ(Strip.pixel(Case.Columns + 2, 40), qRgb(0, 0, 0));
    }
}

// --scope-size auto: one column per 50 ms buffer of what is really there,
// then the two marker columns, at the default height; a strip wider than
// 32767 pixels is refused.
TEST(SnapshotTool, AutoScopeSizeFitsTheWholeInput) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    const auto WriteWav = [&](const char* Name, const QByteArray& Wav) {
        const QString Path = Dir.filePath(QLatin1String(Name));
        QFile File(Path);
        EXPECT_TRUE(File.open(QIODevice::WriteOnly));
        File.write(Wav);
        return Path;
    };
    struct TCase {
        const char* Name;
        QStringList Source;
        int Columns;     // 0: refused
        bool Lit = true; // the last column shows the 1 kHz band
    };
    const TCase Cases[] = {
        {"2 s sine", {"--sine", "1000", "--seconds", "2"}, 40},
        {"a last short buffer counts", {"--sine", "1000", "--seconds", "1.01"}, 21},
        // 1102 frames per buffer at 22050 Hz: 1 s fills 20 and a bit.
        {"22050 Hz sine", {"--sine", "1000", "--seconds", "1", "--rate", "22050"}, 21},
        // The data read, not the 4 GB the header claims.
        {"long claim",
         {"--file", WriteWav("claim.wav", SineWav(44100, 1, 44100, 0xFFFFFFF0u))},
         20},
        // 50 frames per buffer at 1 kHz: the widest strip, and one frame more.
        {"widest", {"--file", WriteWav("widest.wav", SineWav(1000, 1, 32765 * 50))}, 32765, false},
        {"too long file", {"--file", WriteWav("over.wav", SineWav(1000, 1, 32765 * 50 + 1))}, 0},
        {"too long signal", {"--sine", "1000", "--seconds", "1638.3"}, 0},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        const QString Scope = Dir.filePath(QStringLiteral("scope.png"));
        QFile::remove(Scope);
        const TRun Run = RunSnapshot(
            Case.Source + QStringList{"--scope-size", "auto", "--no-average", "--scope", Scope,
                                      "--spectrum", Dir.filePath(QStringLiteral("spectrum.png"))});
        if (Case.Columns == 0) {
            EXPECT_EQ(Run.ExitCode, 2);
            EXPECT_TRUE(Run.Errors.contains(QLatin1String("32765 columns")))
                << Run.Errors.toStdString();
            EXPECT_FALSE(QFile::exists(Scope));
            continue;
        }
        ASSERT_EQ(Run.ExitCode, 0) << Run.Errors.toStdString();
        const QImage Strip(Scope);
        ASSERT_EQ(Strip.size(), QSize(Case.Columns + 2, 76));
        if (Case.Lit) {
            EXPECT_NE(Strip.pixel(Case.Columns - 1, 33), qRgb(1, 10, 10));
            EXPECT_EQ(Strip.pixel(Case.Columns - 1, 50), qRgb(1, 10, 10));
        }
        EXPECT_EQ(Strip.pixel(Case.Columns, 40), qRgb(255, 255, 255));
        EXPECT_EQ(Strip.pixel(Case.Columns + 1, 40), qRgb(255, 255, 255));
    }
}

} // namespace
} // namespace vireon::test
