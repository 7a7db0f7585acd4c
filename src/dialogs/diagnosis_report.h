// SPDX-License-Identifier: GPL-3.0-or-later
// The diagnosis report window: what a compare or an erase check found, as a
// summary, the findings and a table of every differing byte. Modeless,
// created once by the Tools menu and shown again for each new report. It
// reads the session and tells the operator through the UI services; a row
// double-clicked goes upward as addressChosen.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

#include "base/error.h"
#include "rom/diagnosis.h"
#include "rom/ui_services.h"

class QLabel;
class QTableView;

namespace vexo {
class Session;
}

namespace vexo::gui {

class DiffTableModel;

class DiagnosisReport final : public QDialog {
    Q_OBJECT
public:
    DiagnosisReport(Session& session, IUiServices& ui, QWidget* parent);
    ~DiagnosisReport() override;

    // A compare's result: its summary, findings and differences.
    void ShowCompare(const CompareReport& report);
    // An erase check's result: every programmed byte against the erased
    // value 0xFF (each needs erasing, by the compare's own measure).
    void ShowEraseCheck(const EraseReport& report);

    // The report as text: summary, findings, then one line per difference.
    // What Copy puts on the clipboard.
    QString Text() const;
    // Every difference as CSV into `path`, atomically; refused when the
    // session holds that file (the chip file, a trace).
    Status SaveCsv(const std::string& path) const;

    // The row's address; a double-click on the row chooses it.
    std::uint32_t AddressOfRow(int row) const;
    QTableView* Table() const { return m_table; }
    QString Summary() const;
    QStringList Findings() const { return m_findings; }

signals:
    // A difference was double-clicked: the hex view may show its address.
    void addressChosen(quint32 address);

private:
    void Present(const QString& title, const QString& summary, const QStringList& findings,
                 CompareReport report, const QString& expectedHeader);
    void OnCopy();
    void OnSaveCsv();
    void OnActivated(int row);

    Session& m_session;
    IUiServices& m_ui;
    QLabel* m_summary = nullptr;
    QLabel* m_findingsLabel = nullptr;
    QTableView* m_table = nullptr;
    DiffTableModel* m_model = nullptr;
    QStringList m_findings;
};

}  // namespace vexo::gui
