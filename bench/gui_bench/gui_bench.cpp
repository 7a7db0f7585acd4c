// A 27C040 Auto Write on the simulated module through the desktop program
// (offscreen, its buttons and dialogs as an operator would use them), next to
// the same through the command line, `vexo --device 27C040 load FILE auto`.
//
//   vexowriter_bench --vexo PATH [--runs N]
//
// Prints each run and the medians; the GUI time covers Open BIN File and
// Auto Write, the command line's the whole process.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolBar>

#include <algorithm>
#include <cstdio>
#include <random>
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

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Trigger(CMainFrame* frame, int id) { frame->Action(id)->trigger(); }

// One Auto Write through the GUI on a fresh chip; seconds, or -1 on failure.
double GuiRun(const QString& folder, const QString& image, int run)
{
    vexo::ResetShadows();
    BenchAnswerer answerer;
    answerer.file = image;
    CVexoWriterApp app;
    app.Ui().SetAnswerer(&answerer);
    const QString chip = QStringLiteral("%1/gui-chip-%2.bin").arg(folder).arg(run);
    if (!app.InitInstance({QStringLiteral("vexowriter"), QStringLiteral("--port"),
                           QStringLiteral("sim:chip=%1,size=27C040").arg(chip)}))
        return -1;
    CMainFrame* frame = app.MainFrame();
    // Device Type -> 27C040 -> OK -> its switch setting OK.
    Trigger(frame, ID_DEVICE_TYPE);
    app.m_pDeviceTypeDlg->m_pOption[4]->click();
    app.m_pDeviceTypeDlg->OkButton()->click();
    app.m_pDip040Dlg->OkButton()->click();
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    Trigger(frame, ID_OPEN_BIN);
    Trigger(frame, ID_AUTO_WRITE);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const bool done = !answerer.messages.isEmpty() && answerer.messages.last() == QStringLiteral("Done!");
    app.ExitInstance();
    if (!done) {
        std::fprintf(stderr, "GUI run %d did not end in \"Done!\": %s\n", run,
                     answerer.messages.join(QStringLiteral(" | ")).toLocal8Bit().constData());
        return -1;
    }
    return seconds;
}

double CliRun(const QString& vexo, const QString& folder, const QString& image, int run)
{
    const QString chip = QStringLiteral("%1/cli-chip-%2.bin").arg(folder).arg(run);
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(vexo, {QStringLiteral("--port"), QStringLiteral("sim:chip=%1,size=27C040").arg(chip),
                         QStringLiteral("--device"), QStringLiteral("27C040"), QStringLiteral("load"), image,
                         QStringLiteral("auto")});
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "vexo run %d failed (exit %d, %s): %s\n", run, process.exitCode(),
                     process.errorString().toLocal8Bit().constData(),
                     process.readAllStandardOutput().constData());
        return -1;
    }
    return double(timer.nsecsElapsed()) / 1e9;
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
    parser.process(qapp);
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

    std::vector<double> gui, cli;
    for (int run = 0; run < runs; ++run) {
        const double g = GuiRun(folder.path(), image, run);
        if (g < 0) return 1;
        gui.push_back(g);
        std::printf("gui  run %d: %.3f s\n", run + 1, g);
        if (!vexo.isEmpty()) {
            const double c = CliRun(vexo, folder.path(), image, run);
            if (c < 0) return 1;
            cli.push_back(c);
            std::printf("vexo run %d: %.3f s\n", run + 1, c);
        }
    }
    std::printf("27C040 Auto Write, median of %d: GUI %.3f s", runs, Median(gui));
    if (!cli.empty()) std::printf(", vexo %.3f s, GUI/vexo %.2f (target <= 1.30)", Median(cli), Median(gui) / Median(cli));
    std::printf("\n");
    return 0;
}
