// fall_replay: runs a recorded motion CSV through the engine and prints its observable state
// per sample, followed by a summary of every positive result.
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "fall_replay/EngineChoice.h"
#include "fall_replay/Observe.h"
#include "fall_replay/Replay.h"

namespace {

const char kUsage[] =
    "usage: fall_replay [--variant] [options] FILE|-\n"
    "  Runs the samples of FILE (or standard input for '-') through the fall detection engine\n"
    "  with its default configuration and writes one CSV line of observable state per sample,\n"
    "  then a summary of every positive result.\n"
    "options:\n"
    "  --variant           (first) the data-logging image's engine variant instead of the\n"
    "                      device's (runs fall_replay_variant)\n"
    "  -o, --output FILE   write the per-sample CSV to FILE (summary then goes to stdout)\n"
    "  -s, --summary-only  no per-sample output; the summary goes to stdout\n"
    "  -h, --help          this text\n"
    "exit status: 0 done (whether or not a fall was detected), 1 bad input, 2 bad usage\n";

int usage(const std::string &msg) {
    std::cerr << "fall_replay: " << msg << '\n' << kUsage;
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    const int switched = fall_replay::chooseEngine("fall_replay", argc, argv);
    if (switched >= 0)
        return switched;
    std::string input, output;
    bool summaryOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (a == "-s" || a == "--summary-only") {
            summaryOnly = true;
        } else if (a == "-o" || a == "--output") {
            if (i + 1 >= argc)
                return usage(a + " needs a file name");
            output = argv[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option '" + a + "'");
        } else if (input.empty()) {
            input = a;
        } else {
            return usage("more than one input file");
        }
    }
    if (input.empty())
        return usage("no input file (use '-' for standard input)");

    std::ifstream file;
    std::istream *in = &std::cin;
    std::string name = "<stdin>";
    if (input != "-") {
        file.open(input, std::ios::binary);
        if (!file) {
            std::cerr << "fall_replay: cannot open " << input << ": " << std::strerror(errno)
                      << '\n';
            return 1;
        }
        in = &file;
        name = input;
    }

    std::ofstream outFile;
    std::ostream *csv = summaryOnly ? nullptr : &std::cout;
    std::ostream *summary = summaryOnly ? &std::cout : &std::cerr;
    if (!summaryOnly && !output.empty()) {
        outFile.open(output, std::ios::binary);
        if (!outFile) {
            std::cerr << "fall_replay: cannot write " << output << ": " << std::strerror(errno)
                      << '\n';
            return 1;
        }
        csv = &outFile;
        summary = &std::cout;
    }

    try {
        fall_replay::CsvReader reader(*in, name);
        fall_replay::ReplayResult r = fall_replay::replay(reader, csv);
        if (csv) {
            csv->flush();
            if (!*csv) {
                std::cerr << "fall_replay: error writing the output\n";
                return 1;
            }
        }
        fall_replay::printSummary(r, name, *summary);
    } catch (const fall_replay::ParseError &e) {
        if (csv)
            csv->flush();
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
