// SPDX-License-Identifier: GPL-3.0-or-later
// The converter's window, driven through its fields and its Convert button.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include <fstream>
#include <string>
#include <vector>

#include "hexbin/hexbin_dlg.h"
#include "support/sim_fixture.h"

namespace vexo {
namespace {

using test::ReadFileBytes;
using test::TempDir;

class ScriptedDlg : public HexBinDialog {
public:
    bool replace = false;
    QStringList asked;

protected:
    bool ConfirmReplace(const QString& path) override
    {
        asked << path;
        return replace;
    }
};

class HexBinWindow : public ::testing::Test {
protected:
    QLineEdit* Field(const char* name) { return dlg.findChild<QLineEdit*>(name); }
    void TypeInput(const std::string& path)
    {
        Field("input")->setText(QString::fromStdString(path));
        emit Field("input")->textEdited(QString::fromStdString(path));
    }
    std::string Result() { return dlg.ResultText().toStdString(); }
    void Click() { dlg.findChild<QPushButton*>("convert")->click(); }
    std::string WriteText(const std::string& name, const std::string& text)
    {
        const std::string path = dir.File(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    TempDir dir;
    ScriptedDlg dlg;
};

TEST_F(HexBinWindow, ProposesTheBinNameAndShowsTheRange)
{
    const std::string in = WriteText("fw.hex", ":020002001122C9\n:00000001FF\n");
    TypeInput(in);
    EXPECT_EQ(Field("output")->text().toStdString(), dir.File("fw.bin"));
    Field("fill")->setText("0");
    Click();
    EXPECT_EQ(Result(), "Converted fw.hex (Intel HEX) to fw.bin:\n0x000000-0x000003, 4 bytes");
    EXPECT_EQ(ReadFileBytes(dir.File("fw.bin")), (std::vector<std::uint8_t>{0, 0, 0x11, 0x22}));

    Field("offset")->setText("0x2");
    dlg.replace = true;
    Click();
    EXPECT_EQ(dlg.asked.size(), 1);
    EXPECT_EQ(ReadFileBytes(dir.File("fw.bin")), (std::vector<std::uint8_t>{0x11, 0x22}));
}

TEST_F(HexBinWindow, ShowsTheFaultyLineAndKeepsWhatItWasToldToKeep)
{
    const std::string bad = WriteText("bad.s19", "S104000055A6\nS104000166A5\n");
    TypeInput(bad);
    EXPECT_FALSE(dlg.Convert());
    EXPECT_EQ(Result(), "Conversion failed:\n" + bad + ": line 2: bad checksum");

    const std::string good = WriteText("good.s19", "S104000055A6\n");
    const std::string kept = dir.Write("kept.bin", {1, 2});
    TypeInput(good);
    Field("output")->setText(QString::fromStdString(kept));
    EXPECT_FALSE(dlg.Convert());
    EXPECT_EQ(Result(), "Not converted: " + kept + " was kept.");
    EXPECT_EQ(ReadFileBytes(kept), (std::vector<std::uint8_t>{1, 2}));

    Field("fill")->setText("300");
    EXPECT_FALSE(dlg.Convert());
    EXPECT_EQ(Result(), "Fill byte: 300 is not a byte (0 to 0xFF).");
    Field("input")->clear();
    EXPECT_FALSE(dlg.Convert());
    EXPECT_EQ(Result(), "Choose the file to convert.");
}

}  // namespace
}  // namespace vexo
