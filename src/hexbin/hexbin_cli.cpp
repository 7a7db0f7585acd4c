// SPDX-License-Identifier: GPL-3.0-or-later
#include "hexbin/hexbin_cli.h"

#include <unistd.h>

#include <CLI/CLI.hpp>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"
#include "base/version.h"
#include "rom/image_convert.h"
#include "rom/image_source.h"
#include "session/completion.h"

namespace vexo {

int RunHexBinCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    CLI::App app{
        "Converts an Intel HEX or S-record file into a raw binary image (or between raw, "
        "Intel HEX and S-record, as the file extensions say). Without arguments it opens "
        "a window.",
        "vexo-hexbin"};
    std::string in;
    std::string output;
    std::string fillText = "0xFF";
    std::string offsetText = "0";
    app.add_option("IN", in, "input file: .hex .ihx .ihex (Intel HEX), .s19 .s28 .s37 .srec .mot "
                             "(S-record), anything else raw; - reads standard input (its format "
                             "told by its content)")
        ->required()
        ->type_name("FILE");
    app.add_option("OUT", output, "output file (default: IN with the extension .bin); - writes raw "
                                  "bytes to standard output")
        ->type_name("FILE");
    app.add_option("--fill", fillText, "byte for the gaps between records (default 0xFF)")
        ->type_name("BYTE");
    app.add_option("--offset", offsetText,
                   "first address of the output; bytes below it are dropped (default 0)")
        ->type_name("ADDRESS");
    app.set_version_flag("--version", std::string("vexo-hexbin ") + kVersion + "\n" + kLicenceNotice,
                         "print the version and licence and exit");
    app.footer("Numbers: decimal, 0x1F00 or 1F00h.\n"
               "Exit status: 0 converted, 1 the conversion failed, 2 usage error.");

    // The shell's completion asks what to offer (hidden: not in --help).
    if (argc >= 2 && std::string_view(argv[1]) == "--complete") {
        const std::vector<std::string> words(argv + 2, argv + argc);
        out << CompletionLines(CompleteOptionsAndFiles(CompletionOptionsOf(app), words),
                               words.empty() ? "" : words.back());
        return 0;
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << "\n";
        return 0;
    } catch (const CLI::Success&) {
        const std::string help = app.help();
        out << help << (help.empty() || help.back() != '\n' ? "\n" : "");
        return 0;
    } catch (const CLI::ParseError& e) {
        err << "vexo-hexbin: " << e.what() << " (see vexo-hexbin --help)\n";
        return 2;
    }

    ConvertOptions options;
    const Result<std::uint8_t> fill = ParseFillByte(fillText);
    if (!fill) {
        err << "vexo-hexbin: --fill: " << fill.message() << "\n";
        return 2;
    }
    options.fill = *fill;
    if (!ParseImageNumber(offsetText, kImageCapacity - 1, &options.offset)) {
        err << "vexo-hexbin: --offset: " << offsetText
            << " is not an address in the 16 MiB buffer (0 to 0xFFFFFF)\n";
        return 2;
    }
    if (output.empty() && IsStandardStream(in)) {
        err << "vexo-hexbin: - reads standard input; name the output file (- for standard output)\n";
        return 2;
    }
    if (output.empty()) {
        output = DefaultBinPath(in);
        if (output == in) {
            err << "vexo-hexbin: " << in << " already ends in .bin; name the output file\n";
            return 2;
        }
    }

    const Result<Conversion> result = ConvertImageFile(in, output, options);
    if (!result) {
        err << "vexo-hexbin: " << result.message() << "\n";
        return 1;
    }
    if (result->guessed) err << "vexo-hexbin: " << DescribeGuess(in, result->input) << "\n";
    // Data on standard output: the summary goes to standard error.
    (NamesDescriptor(OutputPath(output), STDOUT_FILENO) ? err : out)
        << in << " -> " << output << ": " << DescribeConversion(*result) << "\n";
    return 0;
}

}  // namespace vexo
