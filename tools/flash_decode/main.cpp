// flash_decode: lists the logs of either firmware image from a dump of its external flash.
#include <cstdlib>
#include <iostream>
#include <string>

#include "flash_decode.h"

namespace {

const char kUsage[] =
    "usage: flash_decode [options] FILE|-\n"
    "  Lists the logs held in FILE exactly as the firmware lists them (the device\n"
    "  image: dnt -o, dnt -d, ster -a; the data logger: its read-back dumps and the\n"
    "  trigger snapshot), then the write positions the next start-up recovers and\n"
    "  what looks wrong (damaged flag pages or sector marks, partly programmed\n"
    "  records, records under free flags, data where the layout says erased).\n"
    "  FILE is a simulator board directory (its nor.img, stored bit-inverted, and the\n"
    "  trigger data and device identity from intflash.bin) or a raw dump of the\n"
    "  external flash, 32 MiB or shorter (the rest reads erased); '-' reads a dump\n"
    "  from standard input. Text lines end in CR LF, as on the console.\n"
    "options:\n"
    "  -b, --blocks A-B  also list sensor-data blocks A to B (1..510; 509-2 wraps) as\n"
    "                    \"sdata A B\" does (data logger: 1..250, 249-2 wraps, as its\n"
    "                    read-back lists them)\n"
    "  --layout device|logger\n"
    "                    whose layout the flash holds: the device image's (kelda_fw) or\n"
    "                    the data logger's (morra_fw); by default the image a board\n"
    "                    directory names, else the device image's\n"
    "  --csv             the listed records as CSV (one table, a column per field)\n"
    "  --json            records, positions and findings as JSON\n"
    "  -h, --help        this text\n"
    "exit status: 0 decoded (findings or not), 1 unreadable or unusable input, 2 bad usage\n";

int usage(const std::string &msg) {
    std::cerr << "flash_decode: " << msg << '\n' << kUsage;
    return 2;
}

// "A-B" or "A": block numbers 1..510.
bool parse_blocks(const std::string &s, int &a, int &b) {
    const std::size_t dash = s.find('-');
    const std::string first = s.substr(0, dash);
    const std::string last = dash == std::string::npos ? first : s.substr(dash + 1);
    auto number = [](const std::string &t, int &v) {
        if (t.empty() || t.size() > 3 || t.find_first_not_of("0123456789") != std::string::npos)
            return false;
        v = std::atoi(t.c_str());
        return v >= 1 && v <= 510;
    };
    return number(first, a) && number(last, b);
}

}  // namespace

int main(int argc, char **argv) {
    flash_decode::Options options;
    std::string input;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (a == "--csv") {
            options.format = flash_decode::Format::Csv;
        } else if (a == "--json") {
            options.format = flash_decode::Format::Json;
        } else if (a == "-b" || a == "--blocks") {
            if (i + 1 >= argc)
                return usage(a + " needs a block range such as 7-9");
            if (!parse_blocks(argv[++i], options.first_block, options.last_block))
                return usage(std::string("bad block range '") + argv[i] +
                             "' (blocks 1..510, such as 7-9)");
            options.blocks = true;
        } else if (a == "--layout") {
            const std::string v = i + 1 < argc ? argv[++i] : "";
            if (v == "device")
                options.layout = flash_decode::Layout::Device;
            else if (v == "logger")
                options.layout = flash_decode::Layout::Logger;
            else
                return usage("--layout takes 'device' or 'logger'");
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option '" + a + "'");
        } else if (input.empty()) {
            input = a;
        } else {
            return usage("more than one input");
        }
    }
    if (input.empty())
        return usage("no input (a board directory, a dump file, or '-')");
    flash_decode::Image image;
    std::string error;
    if (!flash_decode::load(input, image, error)) {
        std::cerr << "flash_decode: " << error << '\n';
        return 1;
    }
    if (options.blocks && flash_decode::layout_of(image, options) == flash_decode::Layout::Logger &&
        (options.first_block > 250 || options.last_block > 250))
        return usage("the data logger's sample blocks are 1..250");
    flash_decode::decode(image, options, std::cout);
    return 0;
}
