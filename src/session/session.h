// SPDX-License-Identifier: GPL-3.0-or-later
// The operator's session: what one operator works with (the opened port and
// its wrappers, the device object, the information panel's model, the
// image's file name) and every operator action, once, for the desktop
// program, the command line and the tests alike. The front ends only
// present: a button, a dialog's OK or a `vexo` step is one call here.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/file_roles.h"
#include "commands/production.h"
#include "port/port_open.h"
#include "rom/checksum.h"
#include "rom/buffer_ops.h"
#include "rom/edit_history.h"
#include "rom/diagnosis.h"
#include "rom/dump_inspect.h"
#include "rom/image_convert.h"
#include "rom/info_panel.h"
#include "rom/job_file.h"
#include "rom/part_numbers.h"
#include "rom/port_check_report.h"
#include "rom/production_db.h"
#include "rom/read_vote.h"
#include "rom/rom.h"
#include "rom/rom_identify.h"

namespace vexo {

// Which port to open and what to wrap around it.
struct PortSetup {
    std::string description = "sim";  // as --port takes it
    PortWrapping wrapping;             // --fault, --vcd, --trace
    // Size of a simulated chip that has no file yet.
    std::uint32_t defaultChipSize = 0x8000;
};

// The programming settings' limits, for every parser, dialog and help text.
inline constexpr unsigned kMaxRetries = 100;
inline constexpr std::uint32_t kMaxPulseMicroseconds = CRom::kMaxPulseMicros;
// "give a number of rounds from 0 to 100", "give microseconds from 0 to 10000"
std::string RetriesRangeText();
std::string PulseRangeText();

// The port as the operator gave it, in words: --port, --fault (unset for
// none), --trace and --vcd.
struct PortWords {
    std::string port = "sim";
    std::optional<std::string> fault;
    std::string trace;
    std::string vcd;
};

// How the programming pass runs; every setting off by default, which is
// the wire traffic the module has always seen.
struct ProgramSettings {
    int retries = 0;                 // extra pulse rounds for bytes still short (0..kMaxRetries)
    std::uint32_t pulseMicros = 0;   // a real pause inside each program pulse (0..kMaxPulseMicroseconds)
    bool skipBlank = false;          // leave out bytes whose buffer value is 0xFF
};

// How the port came up, for the front end to present.
struct PortOpenReport {
    std::string description;          // "simulated module, chip file …"
    Status openStatus;                // ok when the port opened; else why it did not
    std::vector<Status> wrapFailures; // one for each wrapper left out
    bool simulated = false;
    bool opened = false;              // the described port (not the stand-in) is in use
};

// One line of `status`: the text as shown, and its field and value
// (both empty for a line without a colon).
struct StatusField {
    std::string line;   // "File Name: a.bin"
    std::string name;   // "File Name"
    std::string value;  // "a.bin"
};

class Session {
public:
    // The panel starts as the program starts; nothing is opened yet.
    explicit Session(IUiServices& ui);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // --- files the session holds ---
    // Refuses, before anything is opened, a setup in which one file has two
    // roles: the chip file, the trace, the capture, and `stepFiles` (the
    // files the operator's steps will read and write).
    static Status CheckFiles(const PortSetup& setup, std::vector<FileRole> stepFiles = {});
    // The setup to open from the operator's words: the port's description
    // ("--port P: …"), then the faults' ("--fault F: …"), then no file in two
    // roles (CheckFiles, with `stepFiles`), each refused with its reason.
    static Result<PortSetup> MakePortSetup(const PortWords& words, std::uint32_t defaultChipSize,
                                           std::vector<FileRole> stepFiles = {});
    // Refuses a save target that is a file the session holds open.
    Status CheckSaveTarget(const std::string& path) const;

    // --- the port's life ---
    // Opens the port by description and wraps it. A port that cannot be
    // opened leaves the disconnected one in its place; a wrapper whose file
    // cannot be made is left out. Both are in the report.
    const PortOpenReport& OpenPort(const PortSetup& setup);
    // The same with a port already opened (a backend of the caller's, a test's).
    const PortOpenReport& AdoptPort(OpenedPort opened, const PortWrapping& wrapping = {});
    // Creates the device object on the opened port: the power-on module
    // check and the buffer reset, as at start-up.
    void Start();
    // Ok while the port works; else which device stopped answering and why.
    Status PortHealth() const;
    // Puts the next chip in the socket where the port can (the simulator's
    // tray); unset for real modules, where the operator does it.
    const std::function<Status()>& NextChip() const { return m_nextChip; }
    // The exit-time reset (module check, buffer reset) and the end of the
    // device object, then the trace and capture files are completed and
    // closed. Fails, naming every file
    // that lost data, when any of their writes failed.
    Status Shutdown();

    const PortOpenReport& Port() const { return m_report; }
    // The port with its wrappers, as the device object drives it.
    IPort* PortInUse() const { return m_port.get(); }
    bool Started() const { return m_rom != nullptr; }
    CRom& Rom() { return *m_rom; }
    CRom* RomOrNull() { return m_rom.get(); }
    InfoPanel& Panel() { return m_panel; }
    IUiServices& Ui() { return m_ui; }

    // --- settings: stored in the device object, mirrored in the panel ---
    void SelectDevice(int index);
    void SelectSpeed(int index);
    // LPT1 is taken when a module answers; LPT2 and LPT3 are refused with
    // the module check's "Module Not found!!". True when the port was taken
    // and a module answered. The panel names the port in use.
    bool SelectPort(int number);

    // --- files ---
    bool OpenImage();                          // Open BIN File: the chooser
    // Open BIN File, already chosen ("-": standard input); `format` as the
    // operator gave it, else by extension (a stream by its content).
    bool OpenImage(const std::string& path, std::optional<ImageFormat> format = std::nullopt);
    // Read the device, save it to path ("-": standard output), raw unless
    // `format` names another; a file the session holds is refused in a box
    // (CheckSaveTarget) before the chip is read.
    bool SaveChip(const std::string& path, std::optional<ImageFormat> format = std::nullopt);
    // The image's file, as last loaded; empty when the buffer holds none.
    const std::string& ImagePath() const { return m_rom->ImagePath(); }
    // Where the buffer's image came from, as the production log records it:
    // the file last loaded ("a.bin+b.bin" after a merge; empty after a chip
    // read), and whether the buffer was changed after that load.
    struct ImageSource {
        std::string name;
        bool edited = false;
    };
    ImageSource Source() const;

    // --- the programming commands (each reports itself in its boxes) ---
    // Read ROM with the session's read passes (ReadPasses(), 1 by default).
    bool ReadRom();
    bool BlankCheck() { return m_rom->BlankCheck(); }
    bool WriteRom() { return m_rom->WriteRom(); }
    bool Verify() { return m_rom->VerifyRom(); }
    bool AutoWrite() { return m_rom->AutoWrite(); }

    // --- image tools ---
    // The sums over the device's range; Line() is
    // "00000-07FFF sum16 0x1a2b crc32 0xcbf43926".
    ChecksumReport Checksum() const;
    static Result<Conversion> Convert(const std::string& in, const std::string& out,
                                 const ConvertOptions& options);

    // The panel's six lines and the given Hex Count text, one per line.
    std::string StatusText(std::string_view hexCount) const;
    // The same lines each on its own, with its field and value
    // ("File Name: a.bin"), whatever line ends a file name holds.
    std::vector<StatusField> StatusFields(std::string_view hexCount) const;

    // --- programming settings (kept here, handed to each new device object) ---
    Status SetProgramSettings(const ProgramSettings& settings);
    const ProgramSettings& Settings() const { return m_settings; }

    // --- chip diagnosis (session_diagnosis.cpp) ---
    // Reads the selected device into scratch memory with the read pass's
    // traffic and Hex Count (the buffer and the panel stay as they are) and
    // compares it with the buffer over the device's range. Fails with
    // "compare: no module answers on the port", and with "compare: no image
    // in the buffer (load one, or use erase-check)" before any read when
    // the buffer holds no image.
    Result<CompareReport> CompareChip();
    // Reads the selected device the same way and lists what is still
    // programmed. Fails with "erase-check: no module answers on the port".
    Result<EraseReport> CheckErased();
    // After Write ROM or Auto Write with retries set: how many bytes each
    // extra round programmed again, as notes for the operator; after a
    // successful write that needed none, a note saying so. Nothing when
    // retries are off.
    // What a report on the chip was made from: the selected device, the
    // bytes given to the chip so far, and the buffer's state.
    struct DiagnosisBasis {
        int device = 0;
        std::uint64_t programmed = 0;
        std::uint64_t buffer = 0;
        bool loaded = false;
        std::string image;
        bool operator==(const DiagnosisBasis&) const = default;
    };
    DiagnosisBasis Basis() const;
    // Empty while a report made on `made` still holds; else why not ("the
    // chip was programmed since", "the buffer changed since", "another
    // device is selected"). An erase check does not read the buffer:
    // `usesBuffer` false leaves the buffer out.
    std::string OutOfDate(const DiagnosisBasis& made, bool usesBuffer) const;

    // --- real ports (session_real_port.cpp) ---
    // The port check on this session's port: the machine's set-up (looked
    // at through `check.paths` as `check.user`; `check.direct` follows the
    // port's description), whether the port opened and a module answers
    // (the module check's own sequence, nothing else is written), then the
    // access time and the time each command takes at the session's pulse
    // width. Exit status 0 when the port opened and a module answers.
    PortCheckReport RunPortCheck(PortCheckOptions check);
    PortCheckReport RunPortCheck();  // this machine, as the user running it
    // The same for the desktop program's window: on a simulated module the
    // machine's set-up is left out (one line says it does not apply), and
    // what to do speaks of the window's Ports dialog, not of --port.
    PortCheckReport CheckPortInWindow();
    // Device selection by type name ("27C512") or by the number printed on
    // a chip ("M27C512-12F1"): the device is selected and the part's note,
    // when it has one, goes to the operator (PartNote). An unknown name
    // fails naming the closest matches.
    Result<PartInfo> SelectPart(std::string_view part);
    // The same look-up without selecting anything (the DIP-switch dialog).
    static Result<PartInfo> LookUpPart(std::string_view part);
    // The operator's line for a part's note ("27C512: cannot erase …");
    // empty when the part has none.
    static std::string PartNote(const PartInfo& part);
    // Whether the line test can drive the control register's bit 4 on this
    // port (ppdev keeps it to the kernel).
    bool LineTestCanDriveBit4() const;

    // --- the buffer as a workbench (session_buffer.cpp) ---
    // Each operation checks what it is given and refuses, with the buffer
    // untouched, what does not fit; what it changes is recorded for Undo.
    Status FillBuffer(BufferRange range, std::uint8_t value);
    Status PatchBuffer(std::uint32_t address, std::span<const std::uint8_t> bytes);
    Status SwapBufferBytes();   // the 16-bit words of the device's range
    Status RepeatToDevice();    // copies of the loaded image over the device's range
    Status LoadAt(std::uint32_t offset, const std::string& file,
                  std::optional<ImageFormat> format = std::nullopt);
    // How many of the file's bytes would land past the selected device's
    // end at `offset` (0 when it fits); fails when the file cannot be read.
    Result<std::uint64_t> BytesPastDevice(std::uint32_t offset, const std::string& file) const;
    // Refuses, naming `what`, while the buffer holds no image to split or export.
    Status CheckImage(std::string_view what) const;
    Status MergeFiles(const std::vector<std::string>& files,  // 2 or 4, a load
                      std::optional<ImageFormat> format = std::nullopt);
    // Write files without reading the chip; refused for a file the session holds.
    Status SplitImage(const std::vector<std::string>& files) const;
    Status ExportDevice(const std::string& file, std::optional<ImageFormat> format = std::nullopt) const;
    // The sums over an inclusive range ("00100-001FF sum16 … crc32 …").
    Result<ChecksumReport> Checksum(BufferRange range) const;
    // The device's range of the buffer, as `checksum` covers it.
    BufferRange DeviceRange() const;
    Status Undo();
    Status Redo();
    EditHistory& History() { return m_history; }
    // True while the buffer differs from what was loaded or read.
    bool BufferModified() const { return m_history.IsModified(); }
    // Told after every change of the buffer made here: `replaced` when a
    // load or a chip read replaced it (the history starts anew). One
    // listener (the view); an empty function stops it.
    void ListenBuffer(std::function<void(bool replaced)> listener) { m_bufferListener = std::move(listener); }

    // --- production runs (session_production.cpp) ---
    struct ProductionOptions {
        // With serialList: where and how the list's numbers go (ParseSerialAt).
        std::optional<SerialPlan> serial;
        std::string serialList;           // a CSV list of numbers; empty: none
        std::string logPath;              // empty: no log; a database target (production_db.h)
        std::string station;              // the database's station; empty: the host name
        std::optional<unsigned> retries;  // unset: the session's setting
        bool skipBlank = false;           // or the session's setting
        bool blankCheck = true;
        bool stopOnPortFault = false;  // see ProductionSetup
        // The first chip's number at least (a window whose table goes on);
        // a continued log's numbering goes on after its last record anyway.
        unsigned firstChip = 1;
    };
    // Starts a run over the loaded image (its source as Source() gives it):
    // opens (continues) the log, which is then a held file. Fails, and no
    // run starts, without an image, with a serial number that does not lie
    // within the device (before the log is opened), with a log in another
    // role or one that cannot be opened, or while a run is going. A serial
    // number over image bytes that are not 0xFF is said in a note ("serial:
    // 0x00100-0x00103 lies over image bytes 12 34 56 78") and the run starts.
    Status StartProduction(const ProductionOptions& options);
    // The next chip: the tray's next where there is one, then the module
    // check, blank check, programming with the serial and verify. A failure
    // means no chip was started (the serial does not fit, the tray is
    // empty); the run should stop there.
    Result<ChipResult> ProductionChip();
    // Whether the run ends after `chip` (ProductionChip's answer) and why;
    // the port's fault counts as the run's options say. Without a run: it
    // has ended (NotStarted).
    RunEnd ProductionEndAfter(const Result<ChipResult>& chip) const;
    // Ends the run and closes the log; the log's last write-back failure, if any.
    Status StopProduction();
    // The records the run's log held before the run started (a continued log).
    const std::vector<LoggedChip>& ProductionEarlier() const { return m_productionEarlier; }

    // --- the operator stops a long pass ---
    // What to ask before stopping the pass that runs: "Stop Programming? The
    // chip will be partly programmed."
    std::string PassStopQuestion() const;
    // The pass that runs ends before its next byte.
    void StopPass();
    // After a command: when the operator stopped its pass, puts the lines
    // back to rest, forgets the stop and says where the pass ended
    // ("Stopped at 0x1A000: 0x1A000 bytes programmed"); else nothing.
    std::optional<std::string> EndStoppedPass();
    // The run going, or null.
    const ProductionRun* Production() const { return m_production.get(); }
    const ProductionLog* ProductionLogFile() const { return m_productionLog.get(); }
    // The station's name in a database record: the host name.
    static std::string DefaultStation();

    // --- job files (session_production.cpp) ---
    // Opens a job: its image is loaded (refused, with nothing loaded, when
    // the file's SHA-256 is not the job's: "job: fw.bin changed since the
    // job was made (sha256 …, the job says …)"), its device, speed,
    // retries, pulse width and skip-blank are selected. The job stays open
    // (JobInUse) until CloseJob or another job.
    Status OpenJob(const std::string& path);
    // The job of the image loaded now and the settings in use, with the
    // serial plan, list and log given; `path` is where it will be saved
    // (the image and the list are named relative to it).
    Result<Job> MakeJob(const std::string& path, const Job& production) const;
    Status SaveJob(const std::string& path, const Job& production);
    void CloseJob();
    // The open job's serial plan or list and log as a run takes them.
    Result<ProductionOptions> JobProductionOptions() const;
    // The job open, or null; its file and that file's SHA-256.
    const Job* JobInUse() const { return m_job ? &*m_job : nullptr; }
    const std::string& JobPath() const { return m_jobPath; }
    const std::string& JobSha256() const { return m_jobSha256; }
    // Every chip's row of a database log (log-report).
    static Result<std::vector<ChipRow>> ReadLogRows(const std::string& target);

    // --- dumps: read passes, inspect, identify (session_dumps.cpp) ---
    // Read ROM and the save with `passes` reads (kMinReadPasses to
    // kMaxReadPasses): the first is the usual one with its boxes, the others
    // silent; the buffer holds each bit's majority. LastReadVote() says which
    // bits disagreed; a read that disagrees with itself is no success (false).
    bool ReadRom(unsigned passes);
    bool SaveChip(const std::string& path, unsigned passes, std::optional<ImageFormat> format = std::nullopt);
    const ReadVote& LastReadVote() const { return m_rom->m_readVote; }
    // The passes Read ROM makes (the GUI's Options); 1 by default.
    Status SetReadPasses(unsigned passes);
    unsigned ReadPasses() const { return m_readPasses; }
    // "give a number of passes from 1 to 16"
    static std::string ReadPassesRangeText();
    // The integrity report over `range` of the buffer (the device's range
    // when unset). Fails when the range does not fit the buffer.
    Result<InspectReport> Inspect(std::optional<BufferRange> range = std::nullopt) const;
    // The buffer's candidates matched against DAT files and folders.
    IdentifyReport Identify(const std::vector<std::string>& dats) const;
    // The DAT files and folders the GUI identifies against (its Options).
    void SetDatPaths(std::vector<std::string> paths) { m_datPaths = std::move(paths); }
    const std::vector<std::string>& DatPaths() const { return m_datPaths; }

private:
    IUiServices& m_ui;
    InfoPanel m_panel;
    std::unique_ptr<IPort> m_port;
    WrappedPort m_wrapped;
    std::function<Status()> m_health;
    std::function<Status()> m_nextChip;
    PortOpenReport m_report;
    std::vector<FileRole> m_heldFiles;
    ProgramSettings m_settings;
    std::unique_ptr<CRom> m_rom;
    // real ports: the port as it was described when opened ("ppdev:...").
    std::string m_portText;
    // the buffer as a workbench
    Status Changed(Status status);
    void BufferReplaced();
    EditHistory m_history;
    std::function<void(bool)> m_bufferListener;
    // The image's source: its name and the history's state when it was loaded.
    void SourceLoaded(std::string name);
    std::string m_sourceName;
    std::uint64_t m_sourceState = 0;
    // production runs
    std::unique_ptr<ProductionLog> m_productionLog;
    std::unique_ptr<ProductionRun> m_production;
    std::vector<LoggedChip> m_productionEarlier;
    std::unique_ptr<ProductionDatabase> m_productionDb;
    std::unique_ptr<SerialSource> m_productionSerials;
    // dumps
    unsigned m_readPasses = 1;
    std::vector<std::string> m_datPaths;
    // job files
    std::optional<Job> m_job;
    std::string m_jobPath;
    std::string m_jobSha256;
};

}  // namespace vexo
