// Power cuts through the logs, and the decoder against the firmware.
//
// Each family starts from a board prepared by the storage test firmware with its log
// just before a wrap (B0), and a short workload W that crosses it. A reference run of
// W (no cut) says what W writes. Then, for every program and erase of W, and
// part-way through each, a run of W cut there; the decoder on the board the cut
// left; a restart of the firmware that lists its logs; the decoder on the final
// board. What must hold:
//   - nothing invalid listed: every record listed after the cut is one B0 held or
//     one W wrote, byte for byte (a sensor-data record torn by the cut excepted: that
//     format has no check; it can only be the last of its block);
//   - no complete record lost: every record of B0 outside a sector W was recycling,
//     and every record W had completed (record and flag programmed) before the cut;
//   - a valid position: the restart writes only where nothing was, keeps everything
//     listed before it (but a sector it recycles), and its power-cycle copy is the
//     last heartbeat listed;
//   - the decoder lists exactly what the restarted firmware lists.
// Cut points come from the reference run's trace; a failure names the scenario
// line, so it is one command to reproduce (the test prints it).
#include <algorithm>
#include <map>
#include <set>

#include "flash_decode.h"
#include "program_runs.h"
#include "support.h"

namespace {

using namespace programs;

// One power cycle of the storage test firmware; its console text is the output.
Exec run_fw(const fs::path &board, const fs::path &scenario, const std::string &extra = "") {
    return run(std::string(KELDA_STORAGE_FW) + " --board " + board.string() + " --scenario " +
                   scenario.string() + " " + extra,
               board.parent_path());
}

void copy_board(const fs::path &from, const fs::path &to) {
    fs::remove_all(to);
    ASSERT_EQ(
        run("cp -a --sparse=always " + from.string() + " " + to.string(), to.parent_path()).status,
        0);
}

// ---- listings as lines keyed by place ----------------------------------------------

// log -> key -> line. Keys: "2005" (sector and slot, as the line starts) for the
// two-sector logs, "9:17" (block, position in the block's listing) for sensor data.
using Listing = std::map<std::string, std::map<std::string, std::string>>;

void add_line(Listing &l, const std::string &log, const std::string &line, int &sd_block,
              int &sd_index) {
    if (line.rfind("SD_block ", 0) == 0) {
        sd_block = std::atoi(line.c_str() + 9);
        sd_index = 0;
        return;
    }
    if (line.empty() || line.rfind("STREAM_END", 0) == 0 || line.rfind("END!", 0) == 0)
        return;
    if (log == "sdata")
        l[log][std::to_string(sd_block) + ":" + std::to_string(sd_index++)] = line;
    else
        l[log][line.substr(0, line.find(' '))] = line;
}

// The decoder's text: its listing sections, positions and findings.
struct Decoded {
    Listing listing;
    std::vector<std::string> findings;
};

// In-process: the same code as the flash_decode program (flash_decode_test.cpp
// runs the program itself).
Decoded decode(const fs::path &board, bool sensor_data) {
    flash_decode::Image image;
    std::string error;
    EXPECT_TRUE(flash_decode::load(board.string(), image, error)) << error;
    const flash_decode::Options options{flash_decode::Format::Text, flash_decode::Layout::Auto,
                                        sensor_data, 1, 4};
    std::ostringstream out;
    flash_decode::decode(image, options, out);
    Decoded d;
    std::string section;
    int sd_block = 0, sd_index = 0;
    for (const std::string &line : ks::lines(out.str())) {
        if (line.rfind("== ", 0) == 0) {
            section = line.find("dnt -o") != std::string::npos     ? "onoff"
                      : line.find("dnt -d") != std::string::npos   ? "dnt"
                      : line.find("sdata") != std::string::npos    ? "sdata"
                      : line.find("findings") != std::string::npos ? "findings"
                                                                   : "other";
            continue;
        }
        if (section == "findings" && line != "none")
            d.findings.push_back(line);
        else if (section == "onoff" || section == "dnt" || section == "sdata")
            add_line(d.listing, section, line, sd_block, sd_index);
    }
    return d;
}

// The restarted firmware's listings: after "ready" and the "#" of the command that
// set its writes going, one section per listing command, each ended by "#".
Listing fw_listing(const std::string &console, const std::vector<std::string> &order) {
    Listing l;
    std::size_t at = 0;
    int sd_block = 0, sd_index = 0;
    int started = 0;
    for (const std::string &line : ks::lines(console)) {
        if (started < 2) {
            started += (started == 0 && line == "ready") || (started == 1 && line == "#");
            continue;
        }
        if (line == "#") {
            ++at;
            continue;
        }
        if (at < order.size())
            add_line(l, order[at], line, sd_block, sd_index);
    }
    return l;
}

// ---- what the cut run's trace says was done ----------------------------------------

struct Op {
    bool erase;
    long long addr, len, t, busy;
};

struct CutRun {
    std::vector<Op> ops;  // every program the chip started, in order, then every erase
    long long cut_t = -1;
    bool complete(const Op &o) const { return o.t + o.busy <= cut_t; }
};

CutRun parse_trace(const fs::path &path) {
    using fixture::field;
    CutRun r;
    const std::string trace = slurp(path);
    for (const char *type : {"nor_program", "nor_erase"})
        for (const std::string &rec : fixture::records(trace, type)) {
            const bool erase = std::string(type) == "nor_erase";
            r.ops.push_back({erase, field(rec, "addr"), field(rec, erase ? "size" : "len"),
                             field(rec, "t"), field(rec, "busy_ns")});
        }
    for (const std::string &rec : fixture::records(trace, "power_cut")) r.cut_t = field(rec, "t");
    return r;
}

std::string key_of(long long sector, long long slot) {
    char k[48];
    std::snprintf(k, sizeof k, "%lld%03lld", sector, slot);
    return k;
}

// Records the cut run completed (record and flag both programmed), keyed as the
// listings key them, and the sectors and blocks it had started to recycle.
struct Committed {
    std::map<std::string, std::set<std::string>> keys;  // log -> keys
    std::set<long long> recycled_sectors;
    std::set<long long> recycled_blocks;
    std::string torn_sdata;  // key of a sensor-data record the cut tore, if any
};

Committed committed(const CutRun &r) {
    Committed c;
    std::set<long long> flags_done;
    for (const Op &o : r.ops)
        if (!o.erase && o.len == 1 && r.complete(o))
            flags_done.insert(o.addr);
    std::map<long long, int> block_records;
    for (const Op &o : r.ops) {
        const long long sector = o.addr / 4096;
        if (o.erase) {
            (sector < 16 ? c.recycled_sectors : c.recycled_blocks)
                .insert(sector < 16 ? sector : o.addr / 65536);
            continue;
        }
        if (sector < 16 && o.len == 256 && o.addr % 4096 == 0) {
            c.recycled_sectors.insert(sector);  // flag page cleared for the erase
            continue;
        }
        if (sector < 4 && o.len == 8) {
            const long long slot = (o.addr % 4096 - 256) / 8;
            const std::string log = sector < 2 ? "onoff" : "dnt";
            if (r.complete(o) && flags_done.count(sector * 4096 + slot))
                c.keys[log].insert(key_of(sector, slot));
        } else if (sector >= 16 && o.len == 14) {
            const long long block = o.addr / 65536;
            const std::string key =
                std::to_string(block) + ":" + std::to_string(block_records[block]++);
            if (r.complete(o))
                c.keys["sdata"].insert(key);
            else
                c.torn_sdata = key;
        }
    }
    return c;
}

long long sector_of(const std::string &log, const std::string &key) {
    return log == "sdata" ? -1 : std::atoll(key.substr(0, key.size() - 3).c_str());
}

// ---- the campaign ------------------------------------------------------------------

struct Family {
    const char *name;
    std::string fill;               // scenario body preparing B0 on a fresh board
    std::string workload;           // scenario body of W (without version and cut)
    std::vector<std::string> logs;  // listed by the restart: onoff, dnt, sdata
    std::string restart;            // console line the restart gets at once: writes to do
    const char *list_at;            // when the restart lists
};

const std::map<std::string, std::string> kListCommand = {
    {"onoff", "dnt -o"}, {"dnt", "dnt -d"}, {"sdata", "sdata 1 4"}};

// The restart writes a few records of the family's logs (so that its position is
// put to use), then lists them, with time enough to print them all.
std::string verify_scenario(const Family &f) {
    std::string commands;
    for (const std::string &log : f.logs) commands += kListCommand.at(log) + "\\r";
    return "version 2\nlength 12s\nat 300ms console \"" + f.restart + "\\r\"\nat " + f.list_at +
           " console \"" + commands + "\"\n";
}

bool lists_blocks(const Family &f) {
    return std::find(f.logs.begin(), f.logs.end(), "sdata") != f.logs.end();
}

void campaign(const Family &f) {
    const fs::path d = scratch(f.name);
    const fs::path b0 = d / "b0";
    ASSERT_EQ(run_fw(b0, write(d / "fill.scn", "version 2\n" + f.fill)).status, 0);
    Decoded before = decode(b0, lists_blocks(f));
    ASSERT_EQ(before.findings, std::vector<std::string>{});

    const fs::path ref = d / "ref";
    copy_board(b0, ref);
    const std::string work = "version 2\n" + f.workload;
    ASSERT_EQ(run_fw(ref, write(d / "w.scn", work), "--trace " + (d / "ref.jsonl").string()).status,
              0);
    Decoded reference = decode(ref, lists_blocks(f));
    const CutRun whole = parse_trace(d / "ref.jsonl");
    ASSERT_GE(whole.ops.size(), 10u);

    // Every operation as it starts and half-way; programs also with only their last
    // byte unfinished, erases also just begun and nearly done.
    std::vector<std::string> cuts;
    int erases = 0;
    for (std::size_t n = 1; n <= whole.ops.size(); ++n) {
        cuts.push_back("power-cut nor " + std::to_string(n));
        cuts.push_back("power-cut nor " + std::to_string(n) + " at 50%");
        erases += whole.ops[n - 1].erase;
    }
    for (int k = 1; k <= static_cast<int>(whole.ops.size()) - erases; ++k)
        cuts.push_back("power-cut nor-program " + std::to_string(k) + " at 99.9%");
    for (int k = 1; k <= erases; ++k)
        for (const char *p : {"1%", "99.9%"})
            cuts.push_back("power-cut nor-erase " + std::to_string(k) + " at " + p);
    for (const std::string &cut : cuts) {
        SCOPED_TRACE(std::string(f.name) + ": " + cut + "  (reproduce: the scenario " +
                     (d / "cut.scn").string() + " on a copy of " + b0.string() + ")");
        const fs::path board = d / "cut";
        copy_board(b0, board);
        write(d / "cut.scn", work + cut + "\n");
        ASSERT_EQ(run_fw(board, d / "cut.scn", "--trace " + (d / "cut.jsonl").string()).status, 5);
        const Committed done = committed(parse_trace(d / "cut.jsonl"));
        Decoded after_cut = decode(board, lists_blocks(f));

        for (const auto &[log, lines] : after_cut.listing)
            for (const auto &[key, line] : lines) {
                auto &b = before.listing[log], &w = reference.listing[log];
                const bool known =
                    (b.count(key) && b[key] == line) || (w.count(key) && w[key] == line);
                EXPECT_TRUE(known || key == done.torn_sdata)
                    << log << " lists what was never written: " << line;
            }
        for (const auto &[log, lines] : before.listing)
            for (const auto &[key, line] : lines) {
                const bool recycled = log == "sdata"
                                          ? done.recycled_blocks.count(std::atoll(key.c_str()))
                                          : done.recycled_sectors.count(sector_of(log, key));
                if (!recycled) {
                    EXPECT_EQ(after_cut.listing[log][key], line) << log << " lost " << key;
                }
            }
        for (const auto &[log, keys] : done.keys)
            for (const std::string &key : keys)
                EXPECT_EQ(after_cut.listing[log][key], reference.listing.at(log).at(key))
                    << log << " lost the completed record " << key;
        for (const std::string &finding : after_cut.findings) {
            const bool allowed = finding.find("record under a free flag") != std::string::npos ||
                                 finding.find("the next start-up opens") != std::string::npos ||
                                 (finding.find("damaged flag page") != std::string::npos &&
                                  done.recycled_sectors.count(std::atoll(finding.c_str() + 7)));
            EXPECT_TRUE(allowed) << finding;
        }

        // The restart: an hour later.
        const Exec restart = run_fw(board, write(d / "verify.scn", verify_scenario(f)),
                                    "--off-time 3600s --trace " + (d / "restart.jsonl").string());
        ASSERT_EQ(restart.status, 0);
        const Committed restarted = committed(parse_trace(d / "restart.jsonl"));
        Listing listed = fw_listing(restart.out, f.logs);
        Decoded final_board = decode(board, lists_blocks(f));
        for (const std::string &log : f.logs) {
            EXPECT_TRUE(listed[log] == final_board.listing[log])
                << log << ": the decoder and the firmware disagree";
            for (const auto &[key, line] : after_cut.listing[log]) {
                const bool kept = listed[log].count(key) && listed[log][key] == line;
                // A restart recycles the older sector of a log as the ring goes round;
                // the sensor-data block it opens must never be one that holds records.
                const bool recycled_now =
                    log != "sdata" && restarted.recycled_sectors.count(sector_of(log, key));
                EXPECT_TRUE(kept || recycled_now) << "the restart lost " << log << " " << line;
            }
        }
        // New records only where nothing was: never over a record the cut left in flight.
        std::set<std::string> in_flight;
        for (const std::string &finding : after_cut.findings) {
            long long sector = 0, slot = 0;
            if (finding.find("record under a free flag") != std::string::npos &&
                std::sscanf(finding.c_str(), "sector %lld slot %lld", &sector, &slot) == 2)
                in_flight.insert(key_of(sector, slot));
        }
        std::string last_time;
        for (const auto &[key, line] : after_cut.listing["dnt"])
            last_time = std::max(last_time, line.substr(17, 19));
        for (const auto &[log, lines] : listed)
            for (const auto &[key, line] : lines) {
                if (after_cut.listing[log].count(key))
                    continue;
                if (log != "sdata" && !restarted.recycled_sectors.count(sector_of(log, key))) {
                    EXPECT_EQ(in_flight.count(key), 0u)
                        << "written over a record in flight: " << line;
                }
                if (log == "onoff" && line.find("time[0]") != std::string::npos &&
                    !last_time.empty()) {
                    EXPECT_EQ(line.substr(17, 19), last_time)
                        << "the power-cycle copy is not the last heartbeat: " << line;
                }
            }
    }
}

// The date-and-time and power-cycle logs: heartbeats and firing records across
// both logs' wraps (the flag page cleared, the erase, the first record), with the
// start-up's copies of the last and the first heartbeat.
TEST(PowerCutCampaign, DateTimeAndPowerCycleLogs) {
    campaign({"dnt",
              "length 24.9s\n"
              "at 300ms console dec 24 3 1 9 30 0\n"
              "at 700ms console \"samples 0\\r\"\n"
              "at 800ms console \"fire 762\\r\"\n"  // power-cycle log at slot 251 of sector 0
              "at 9500ms console \"speed 2 1000000\\r\"\n"
              "at 24.74s console \"speed 1000000 1000000\\r\"\n",  // heartbeats at slot 250
              "length 1.2s\n"
              "at 100ms console \"samples 0\\r\"\n"
              "at 600ms console \"speed 5 1000000\\r\"\n"
              "at 1000ms console \"speed 1000000 1000000\\r\"\n"
              "at 1000ms console \"fire 5\\r\"\n",
              {"onoff", "dnt"},
              "speed 5 1000000",
              "600ms"});
}

// The sensor-data log: a start-up opens the next block, erases it, waits for the
// heartbeat that names it, then streams samples into it.
TEST(PowerCutCampaign, SensorDataLog) {
    campaign({"sdata",
              "length 7s\n"
              "at 300ms console dec 24 3 1 9 30 0\n"
              "at 800ms console \"speed 2 1000000\\r\"\n"
              // the date-and-time log just filled sector 2: the next start-up's first
              // heartbeat waits for the erase of sector 3
              "at 6.36s console \"speed 1000000 1000000\\r\"\n"
              "at 6.5s console \"samples 0\\r\"\n",
              "length 1.8s\n"
              "at 100ms console \"speed 1000000 1000000\\r\"\n"
              "at 1.62s console \"samples 0\\r\"\n",
              {"onoff", "dnt", "sdata"},
              "samples 1",
              "1.8s"});
}

}  // namespace
