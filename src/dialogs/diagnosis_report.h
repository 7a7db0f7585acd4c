// SPDX-License-Identifier: GPL-3.0-or-later
// The diagnosis report window: what a compare or an erase check found, as a
// summary and findings in the operator's words, a map of the chip and a
// table of every differing byte. Modeless, one window for each kind of
// report, created once by the Tools menu and shown again, beside the main
// window, for each new report. It reads the session and tells the operator
// through the UI services; a row double-clicked or a cell of the map
// clicked goes upward as addressChosen, Refresh as refreshRequested. Once
// the chip or the buffer changes, its title says it is out of date.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

#include "base/error.h"
#include "rom/diagnosis.h"
#include "rom/ui_services.h"
#include "session/session.h"

class QLabel;
class QPushButton;
class QTableView;
class QTimer;

namespace vexo::gui {

class ChipMap;
class DiffTableModel;

// Where a window of `size` goes beside `owner` (frame geometries) on
// `screen`: to its right, else to its left, else against the screen's right
// edge; level with the owner's top.
QPoint BesidePosition(const QRect& owner, const QSize& size, const QRect& screen);
// Moves `window` there (before it is shown), beside its parent window.
void PlaceBeside(QWidget* window);

class DiagnosisReport final : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Compare, EraseCheck };
    // The compare's window is named "DiagnosisReport", the erase check's
    // "EraseCheckReport".
    DiagnosisReport(Session& session, IUiServices& ui, QWidget* parent, Kind kind = Kind::Compare);
    ~DiagnosisReport() override;

    // A compare's result: its summary, findings and differences.
    void ShowCompare(const CompareReport& report);
    // An erase check's result: every programmed byte against the erased
    // value 0xFF (each needs erasing, by the compare's own measure).
    void ShowEraseCheck(const EraseReport& report);

    // The report as text: summary, findings, then one line per difference,
    // as `vexo` prints them.
    QString Text() const;
    // What Copy puts on the clipboard: the selected rows' lines, or Text()
    // when no row is selected.
    QString CopyText() const;
    // Every difference as CSV into `path`, atomically; refused when the
    // session holds that file (the chip file, a trace).
    Status SaveCsv(const std::string& path) const;

    // The row's address; a double-click on the row chooses it.
    std::uint32_t AddressOfRow(int row) const;
    QTableView* Table() const { return m_table; }
    ChipMap* Map() const { return m_map; }
    // The summary line as `vexo` prints it, and the findings' lines.
    QString Summary() const { return m_cliSummary; }
    QStringList Findings() const { return m_findings; }
    // What the window shows: the summary, the findings and the hint in words.
    QString Words() const;
    // Empty while the report holds; else why it is out of date.
    QString Stale() const { return m_stale; }
    // Looks again at the session (the window does so twice a second).
    void CheckUpToDate();

signals:
    // A difference was double-clicked: the hex view may show its address.
    void addressChosen(quint32 address);
    // Refresh: the report is to be made again.
    void refreshRequested();

private:
    void Present(const QString& title, const QString& summary, const QStringList& findings,
                 CompareReport report, const QString& expectedHeader);
    void ShowTitle();
    void OnCopy();
    void OnSaveCsv();
    void OnActivated(int row);

    Session& m_session;
    IUiServices& m_ui;
    Kind m_kind;
    QString m_title;
    QString m_cliSummary;
    QString m_stale;
    Session::DiagnosisBasis m_basis;
    QLabel* m_summary = nullptr;
    QLabel* m_findingsLabel = nullptr;
    QLabel* m_staleLabel = nullptr;
    ChipMap* m_map = nullptr;
    QTableView* m_table = nullptr;
    DiffTableModel* m_model = nullptr;
    QPushButton* m_refresh = nullptr;
    QTimer* m_watch = nullptr;
    QStringList m_findings;
};

}  // namespace vexo::gui
