// SPDX-License-Identifier: GPL-3.0-or-later
// Command ids of the main window, their prompts and tooltips, and the other
// fixed texts of the shell.
#pragma once

#include <array>
#include <string_view>

namespace vexo::gui {

enum CommandId : int {
    ID_OPEN_BIN = 32771,
    ID_SAVE_BUFFER = 32772,
    ID_EDIT_BUFFER = 32773,
    ID_DOS_SHELL = 32774,
    ID_LPT_PORT = 32775,
    ID_DEVICE_TYPE = 32776,
    ID_HEX_BIN = 32777,
    ID_READ_ROM = 32778,
    ID_VIEW_ROM_BAR = 32779,
    ID_BLANK_CHECK = 32780,
    ID_WRITE_ROM = 32781,
    ID_VERIFY = 32782,
    ID_AUTO_WRITE = 32783,
    ID_CHANGE_SPEED = 32784,
    ID_QUIT = 32785,
    ID_CLEAR_WINDOW = 32786,
    ID_INFO_DIALOG = 32787,
    ID_FILE_PRINT = 57607,
    ID_APP_ABOUT = 57664,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};

// Our own commands, after the seed's, a block for each capability.
inline constexpr int kDiagnosisCommands = 32800;   // 32800-32819
inline constexpr int kRealPortCommands = 32820;    // 32820-32839
inline constexpr int kBufferCommands = 32840;      // 32840-32869
inline constexpr int kProductionCommands = 32870;  // 32870-32889
inline constexpr int kDumpCommands = 32890;        // 32890-32899

// The buffer workbench's commands (Tools, and its Buffer submenu).
enum BufferCommandId : int {
    ID_BYTE_EDITING = kBufferCommands,
    ID_GO_TO_ADDRESS,
    ID_FIND,
    ID_FIND_NEXT,
    ID_UNDO,
    ID_REDO,
    ID_BUFFER_FILL = kBufferCommands + 10,
    ID_BUFFER_SWAP,
    ID_BUFFER_SPLIT,
    ID_BUFFER_MERGE,
    ID_BUFFER_LOAD_AT,
    ID_BUFFER_REPEAT,
    ID_BUFFER_EXPORT,
    ID_BUFFER_CHECKSUM,
};

inline constexpr int ID_INDICATOR_HEXCOUNT = 101;

// One command's string: the prompt shown in the status bar and the tooltip
// shown beside its button. Empty for commands that have no string.
struct CommandText {
    int id;
    std::string_view prompt;
    std::string_view toolTip;
};

inline constexpr std::array<CommandText, 21> kCommandTexts{{
    {ID_OPEN_BIN, "Open BIN files on the buffer", "Open BIN File"},
    {ID_SAVE_BUFFER, "Save buffer contents in a disk", "Save Buffer"},
    {ID_EDIT_BUFFER, "Provide functions to edit the buffer content", "Edit Buffer"},
    {ID_DOS_SHELL, "Used upon going out DOS shell", " Dos Shell"},
    {ID_LPT_PORT, "Select the printer port number to use, up to NO. 3 are selectable", "LPT Port"},
    {ID_DEVICE_TYPE, "Change device type", "Device Type"},
    {ID_HEX_BIN, "Change from Hex to Bin", "HEX-->BIN"},
    {ID_READ_ROM, "Used upon reading device contents", "Read ROM"},
    {ID_VIEW_ROM_BAR, "", ""},
    {ID_BLANK_CHECK, "Used upon checking if device contents are erased", "Blank Check"},
    {ID_WRITE_ROM, "Used upon writing device contents", "Write ROM"},
    {ID_VERIFY, "Compare and check device contents with buffer contents", "Verify"},
    {ID_AUTO_WRITE, "Auto Writing", "Auto Write"},
    {ID_CHANGE_SPEED, "Determine the programming speed", "Change Speed"},
    {ID_QUIT, "", ""},
    {ID_CLEAR_WINDOW, "", ""},
    {ID_INFO_DIALOG, "", ""},
    {ID_FILE_PRINT, "", ""},
    {ID_APP_ABOUT, "", ""},
    {ID_VIEW_TOOLBAR, "도구 모음을 보이거나 감춥니다", "도구 모음 전환"},
    {ID_VIEW_STATUS_BAR, "상태 표시줄을 표시하거나 감춥니다", "상태 표시줄 전환"},
}};

// The ROM writer bar's buttons, in order; a separator stands between each two.
inline constexpr std::array<int, 14> kRomBarButtons{
    ID_OPEN_BIN,  ID_SAVE_BUFFER, ID_EDIT_BUFFER, ID_DOS_SHELL, ID_LPT_PORT,
    ID_DEVICE_TYPE, ID_HEX_BIN,   ID_READ_ROM,    ID_BLANK_CHECK, ID_WRITE_ROM,
    ID_VERIFY,    ID_AUTO_WRITE,  ID_CHANGE_SPEED, ID_QUIT};

inline constexpr std::string_view kAppTitle = "Vexo Writer1";                      // every box's title
inline constexpr std::string_view kCompanyKey = "Local AppWizard-Generated Applications";
inline constexpr std::string_view kFrameCaption = "Vexo Writer 1.1";
inline constexpr std::string_view kIdleText = "Ready";
inline constexpr std::string_view kHexCountIndicator = "Hex Counter :                \n";
inline constexpr std::string_view kRomBarCaption = "ROM Writer Function Tool";
inline constexpr std::string_view kExitQuestion = "종료하시겠습니까?";

constexpr const CommandText* FindCommandText(int id)
{
    for (const CommandText& c : kCommandTexts)
        if (c.id == id) return &c;
    return nullptr;
}

}  // namespace vexo::gui
