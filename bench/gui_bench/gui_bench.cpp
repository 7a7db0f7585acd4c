// SPDX-License-Identifier: GPL-3.0-or-later
// A 27C040 Auto Write on the simulated module through the desktop program
// (offscreen, its buttons and dialogs as an operator would use them), next to
// the same through the command line, `vexo --device 27C040 load FILE auto`.
//
//   vexowriter_bench --vexo PATH [--runs N] [--operator]
//
// Prints each run and the medians; the GUI time covers Open BIN File and
// Auto Write, the command line's the whole process.
//
// --operator drives it as an operator would, on a real display: the file
// chooser and every message box are real windows, answered by a timer that
// finds the one open and accepts it. Each box's wait (shown to answered) is
// measured, so the figures come twice: with the waits and without them.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolBar>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/vexowriter_app.h"
#include "dialogs/settings_dialogs.h"
#include "rom/rom.h"
#include "rom/shadows.h"

using namespace vexo::gui;

namespace {

class BenchAnswerer final : public IUiAnswerer {
public:
    void Message(const QString& text, bool) override { messages << text; }
    bool Question(const QString&) override { return false; }
    std::optional<QString> ChooseFile() override { return file; }
    QStringList messages;
    QString file;
};

// Answers the real file chooser and message boxes as they appear: the file
// chooser with the image, each box with OK, each `answerMs` after it was
// shown. Sums the time they stood open.
class BoxAnswerer final : public QObject {
public:
    BoxAnswerer(QString file, int answerMs) : m_file(std::move(file)), m_answerMs(answerMs)
    {
        qApp->installEventFilter(this);
        m_clock.start();
        m_poll.setInterval(5);
        connect(&m_poll, &QTimer::timeout, this, &BoxAnswerer::Poll);
        m_poll.start();
    }
    ~BoxAnswerer() override { qApp->removeEventFilter(this); }

    double waits = 0;  // seconds the boxes stood open
    QStringList messages;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && IsBox(watched) && watched != m_open) {
            m_open = static_cast<QDialog*>(watched);
            m_shownAt = m_clock.nsecsElapsed();
        }
        return false;
    }

private:
    static bool IsBox(QObject* object)
    {
        return qobject_cast<QMessageBox*>(object) || qobject_cast<QFileDialog*>(object);
    }

    void Poll()
    {
        if (!m_open || !m_open->isVisible()) return;
        if (m_clock.nsecsElapsed() - m_shownAt < qint64(m_answerMs) * 1000000) return;
        QDialog* box = m_open;
        m_open = nullptr;
        waits += double(m_clock.nsecsElapsed() - m_shownAt) / 1e9;
        if (auto* chooser = qobject_cast<QFileDialog*>(box)) {
            chooser->selectFile(m_file);
            static_cast<QDialog*>(chooser)->accept();  // QFileDialog::accept, with its checks
        } else if (auto* message = qobject_cast<QMessageBox*>(box)) {
            messages << message->text();
            message->accept();
        }
    }

    QString m_file;
    int m_answerMs;
    QElapsedTimer m_clock;
    QTimer m_poll;
    QPointer<QDialog> m_open;
    qint64 m_shownAt = 0;
};

struct GuiTime {
    double seconds = -1;  // Open BIN File and Auto Write; -1 on failure
    double waits = 0;     // of which the boxes stood open
    double cpu = 0;       // processor seconds of this process
    double serverCpu = 0; // and of the display server, when its pid is known
    double queued = 0;    // the main thread ready but waiting for a processor
    double blocked = 0;   // the main thread asleep: on the display server, files, boxes
    long switches = 0;    // times it went to sleep
    long refreshes = 0;   // times the Hex Count pane was redrawn
};

// The main thread's processor time and time waiting on the run queue, in
// seconds, from /proc/self/schedstat.
std::pair<double, double> MainThreadSchedule()
{
    QFile stat(QStringLiteral("/proc/self/schedstat"));
    if (!stat.open(QIODevice::ReadOnly)) return {0, 0};
    const QList<QByteArray> fields = stat.readAll().trimmed().split(' ');
    if (fields.size() < 2) return {0, 0};
    return {double(fields[0].toLongLong()) / 1e9, double(fields[1].toLongLong()) / 1e9};
}

long VoluntarySwitches()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

double Seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

double OwnCpu(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// User and system time of another process, from /proc; 0 when unknown.
double ProcessCpu(long pid)
{
    if (pid <= 0) return 0;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    const QByteArray text = stat.readAll();
    // Fields after the command's closing parenthesis; utime and stime are
    // the 14th and 15th of the whole line.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return 0;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

long g_serverPid = 0;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Trigger(CMainFrame* frame, int id) { frame->Action(id)->trigger(); }

// One Auto Write through the GUI on a fresh chip. `answerMs` < 0: boxes
// answered in code; else real boxes, each answered that long after it shows.
GuiTime GuiRun(const QString& folder, const QString& image, int run, int answerMs)
{
    vexo::ResetShadows();
    BenchAnswerer answerer;
    answerer.file = image;
    CVexoWriterApp app;
    if (answerMs < 0) app.Ui().SetAnswerer(&answerer);
    const QString chip = QStringLiteral("%1/gui-chip-%2.bin").arg(folder).arg(run);
    if (!app.InitInstance({QStringLiteral("vexowriter"), QStringLiteral("--port"),
                           QStringLiteral("sim:chip=%1,size=27C040").arg(chip)}))
        return {};
    CMainFrame* frame = app.MainFrame();
    // Device Type -> 27C040 -> OK -> its switch setting OK.
    Trigger(frame, ID_DEVICE_TYPE);
    app.m_pDeviceTypeDlg->m_pOption[4]->click();
    app.m_pDeviceTypeDlg->OkButton()->click();
    app.m_pDip040Dlg->OkButton()->click();
    QApplication::processEvents();
    if (answerMs >= 0) {
        // The window up and painted, as the operator sees it before pressing.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    std::optional<BoxAnswerer> boxes;
    if (answerMs >= 0) boxes.emplace(image, answerMs);
    const double cpuBefore = OwnCpu(RUSAGE_SELF);
    const double serverBefore = ProcessCpu(g_serverPid);
    const auto scheduleBefore = MainThreadSchedule();
    const long switchesBefore = VoluntarySwitches();
    QElapsedTimer timer;
    timer.start();
    Trigger(frame, ID_OPEN_BIN);
    Trigger(frame, ID_AUTO_WRITE);
    GuiTime time;
    time.seconds = double(timer.nsecsElapsed()) / 1e9;
    time.cpu = OwnCpu(RUSAGE_SELF) - cpuBefore;
    time.serverCpu = ProcessCpu(g_serverPid) - serverBefore;
    const auto schedule = MainThreadSchedule();
    time.queued = schedule.second - scheduleBefore.second;
    time.blocked = time.seconds - (schedule.first - scheduleBefore.first) - time.queued;
    time.switches = VoluntarySwitches() - switchesBefore;
    time.refreshes = app.Ui().PaneRefreshes();
    const QStringList& messages = boxes ? boxes->messages : answerer.messages;
    if (boxes) time.waits = boxes->waits;
    const bool done = !messages.isEmpty() && messages.last() == QStringLiteral("Done!");
    app.ExitInstance();
    if (!done) {
        std::fprintf(stderr, "GUI run %d did not end in \"Done!\": %s\n", run,
                     messages.join(QStringLiteral(" | ")).toLocal8Bit().constData());
        return {};
    }
    return time;
}

// A running process's time on a processor and waiting for one, in seconds,
// from /proc/PID/schedstat; nothing once it has gone.
std::optional<std::pair<double, double>> ProcessSchedule(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/schedstat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return std::nullopt;
    const QList<QByteArray> fields = stat.readAll().trimmed().split(' ');
    if (fields.size() < 2) return std::nullopt;
    return std::pair(double(fields[0].toLongLong()) / 1e9, double(fields[1].toLongLong()) / 1e9);
}

// Seconds of the whole process; `cpu` its processor seconds. With `queued`,
// the process is looked at every 10 ms for its time waiting on the run queue
// (the last look before it ends).
double CliRun(const QString& vexo, const QString& folder, const QString& image, int run, double* cpu,
              double* queued = nullptr)
{
    const double before = OwnCpu(RUSAGE_CHILDREN);
    const QString chip = QStringLiteral("%1/cli-chip-%2.bin").arg(folder).arg(run);
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(vexo, {QStringLiteral("--port"), QStringLiteral("sim:chip=%1,size=27C040").arg(chip),
                         QStringLiteral("--device"), QStringLiteral("27C040"), QStringLiteral("load"), image,
                         QStringLiteral("auto")});
    bool finished = false;
    if (queued && process.waitForStarted()) {
        const qint64 pid = process.processId();
        QElapsedTimer limit;
        limit.start();
        while (!finished && process.state() != QProcess::NotRunning && limit.elapsed() < 600000) {
            if (const auto schedule = ProcessSchedule(pid)) *queued = schedule->second;
            finished = process.waitForFinished(10);
        }
    }
    if (!(finished || process.waitForFinished(600000)) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "vexo run %d failed (exit %d, %s): %s\n", run, process.exitCode(),
                     process.errorString().toLocal8Bit().constData(),
                     process.readAllStandardOutput().constData());
        return -1;
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    *cpu = OwnCpu(RUSAGE_CHILDREN) - before;
    return seconds;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("vexo"), QStringLiteral("The vexo command line program."), QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Runs of each (default 3)."), QStringLiteral("N"),
                      QStringLiteral("3")});
    parser.addOption({QStringLiteral("operator"),
                      QStringLiteral("Real file chooser and message boxes, answered by a timer.")});
    parser.addOption({QStringLiteral("answer-ms"),
                      QStringLiteral("With --operator: how long each box stands before it is "
                                     "answered (default 0: at once)."),
                      QStringLiteral("MS"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("server-pid"),
                      QStringLiteral("The display server's process, whose processor time is "
                                     "counted beside the program's."),
                      QStringLiteral("PID")});
    parser.process(qapp);
    g_serverPid = parser.value(QStringLiteral("server-pid")).toLong();
    const int answerMs = parser.isSet(QStringLiteral("operator"))
                             ? std::max(0, parser.value(QStringLiteral("answer-ms")).toInt())
                             : -1;
    // Absolute: loading a file makes its folder the current one.
    const QString vexo = parser.isSet(QStringLiteral("vexo"))
                             ? QFileInfo(parser.value(QStringLiteral("vexo"))).absoluteFilePath()
                             : QString();
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());

    QTemporaryDir folder;
    const QString image = folder.filePath(QStringLiteral("image.bin"));
    {
        QByteArray bytes(0x80000, '\0');
        std::mt19937 gen(7);
        for (char& b : bytes) b = char(gen() % 255);  // no 0xFF: every byte is programmed
        QFile out(image);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) return 1;
    }

    std::vector<double> gui, device, cli, guiCpu, serverCpu, cliCpu, guiOwn, cliOwn;
    for (int run = 0; run < runs; ++run) {
        const GuiTime g = GuiRun(folder.path(), image, run, answerMs);
        if (g.seconds < 0) return 1;
        gui.push_back(g.seconds);
        device.push_back(g.seconds - g.waits);
        guiCpu.push_back(g.cpu);
        guiOwn.push_back(g.seconds - g.waits - g.queued);
        serverCpu.push_back(g.serverCpu);
        if (answerMs >= 0)
            std::printf("gui  run %d: %.3f s (boxes open %.3f s; processor: own %.3f s, display "
                        "server %.3f s; main thread queued %.3f s, asleep %.3f s in %ld waits; %ld "
                        "pane redraws)\n",
                        run + 1, g.seconds, g.waits, g.cpu, g.serverCpu, g.queued,
                        g.blocked, g.switches, g.refreshes);
        else
            std::printf("gui  run %d: %.3f s\n", run + 1, g.seconds);
        std::fflush(stdout);
        if (!vexo.isEmpty()) {
            double cpu = 0, queued = 0;
            const double c = CliRun(vexo, folder.path(), image, run, &cpu,
                                    answerMs >= 0 ? &queued : nullptr);
            if (c < 0) return 1;
            cli.push_back(c);
            cliCpu.push_back(cpu);
            cliOwn.push_back(c - queued);
            if (answerMs >= 0)
                std::printf("vexo run %d: %.3f s (processor %.3f s; queued %.3f s, asleep %.3f s)\n",
                            run + 1, c, cpu, queued, c - cpu - queued);
            else
                std::printf("vexo run %d: %.3f s\n", run + 1, c);
            std::fflush(stdout);
        }
    }
    if (answerMs >= 0) {
        // The device work alone first, then with the boxes' waits.
        std::printf("operator, box waits removed, median of %d: GUI %.3f s", runs, Median(device));
        if (!cli.empty())
            std::printf(", vexo %.3f s, GUI/vexo %.2f (target <= 1.30)", Median(cli),
                        Median(device) / Median(cli));
        std::printf("\noperator, processor seconds, median of %d: GUI %.3f s + display server "
                    "%.3f s",
                    runs, Median(guiCpu), Median(serverCpu));
        if (!cliCpu.empty())
            std::printf(", vexo %.3f s, GUI/vexo %.2f, with the server %.2f", Median(cliCpu),
                        Median(guiCpu) / Median(cliCpu),
                        (Median(guiCpu) + Median(serverCpu)) / Median(cliCpu));
        // What the shared processor's queue took away: on a free core each
        // would take its processor time plus its sleeps (on the display
        // server, on files).
        std::printf("\noperator, box and run-queue waits removed, median of %d: GUI %.3f s", runs,
                    Median(guiOwn));
        if (!cliOwn.empty())
            std::printf(", vexo %.3f s, GUI/vexo %.2f (target <= 1.30)", Median(cliOwn),
                        Median(guiOwn) / Median(cliOwn));
        std::printf("\noperator, with box waits, ");
    }
    std::printf("27C040 Auto Write, median of %d: GUI %.3f s", runs, Median(gui));
    if (!cli.empty()) std::printf(", vexo %.3f s, GUI/vexo %.2f (target <= 1.30)", Median(cli), Median(gui) / Median(cli));
    std::printf("\n");
    return 0;
}
