#include "support.h"

#include <algorithm>

namespace kfw {

namespace {

std::vector<std::string> split(const std::string &line, char sep) {
    std::vector<std::string> out;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, sep)) out.push_back(cell);
    if (!line.empty() && line.back() == sep)
        out.emplace_back();
    return out;
}

}  // namespace

std::string scenario(const std::string &length, const std::string &body) {
    return "version 3\nlength " + length + "\nat 500ms console dec 25 6 1 8 0 0\n" + body;
}

std::string recording(const std::string &name) {
    return std::string(SCENARIO_DIR) + "/recordings/" + name;
}

long long Record::num(const char *key) const {
    const std::string k = std::string("\"") + key + "\":";
    const std::size_t at = line.find(k);
    return at == std::string::npos ? -1 : std::stoll(line.substr(at + k.size()));
}

std::string Record::str(const char *key) const {
    const std::string k = std::string("\"") + key + "\":\"";
    const std::size_t at = line.find(k);
    if (at == std::string::npos)
        return "";
    const std::size_t from = at + k.size();
    return line.substr(from, line.find('"', from) - from);
}

std::vector<const Record *> Result::of(const std::string &type) const {
    std::vector<const Record *> out;
    for (const Record &r : trace)
        if (r.type == type)
            out.push_back(&r);
    return out;
}

std::vector<Time> Result::edges(const std::string &pin, int level) const {
    std::vector<Time> out;
    for (const Record *r : of("pin"))
        if (r->str("pin") == pin && r->num("level") == level && r->str("by") == "firmware")
            out.push_back(r->t);
    return out;
}

std::size_t Result::tick_at(Time t) const {
    return static_cast<std::size_t>(std::upper_bound(ticks.begin(), ticks.end(), t) -
                                    ticks.begin());
}

std::string Result::note(const std::string &key) const {
    for (const std::string &l : split(summary, '\n'))
        if (l.rfind(key + ":", 0) == 0)
            return l.substr(key.size() + 1);
    return "";
}

std::size_t Result::first_flash_tick(long long lo, long long hi, Time from) const {
    for (const Record &p : trace)
        if ((p.type == "nor_program" || p.type == "nor_erase") && p.t >= from &&
            p.num("addr") >= lo && p.num("addr") < hi)
            return tick_at(p.t);
    return 0;
}

Result run(const fs::path &board, const std::string &scenario_text, bool trace) {
    const fs::path d = board.parent_path();
    const fs::path phone = d / "phone.txt", tr = d / "trace.jsonl";
    const programs::Exec e =
        programs::run(std::string(KELDA_FW_EXE) + " --board " + board.string() + " --scenario " +
                          programs::write(d / "run.scn", scenario_text) + " --phone-out " +
                          phone.string() + (trace ? " --trace " + tr.string() : ""),
                      d);
    Result r{e.status, e.out, programs::slurp(phone), e.err, {}, {}, board};
    if (trace) {
        std::ifstream in(tr);
        for (std::string line; std::getline(in, line);) {
            Record rec{std::stoull(line.substr(5)), "", line};
            rec.type = rec.str("type");
            if (rec.type == "irq_enter" && rec.str("irq") == "TIM7")
                r.ticks.push_back(rec.t);
            r.trace.push_back(std::move(rec));
        }
    }
    return r;
}

const std::string &Row::at(const std::vector<std::string> &header, const char *column) const {
    static const std::string none;
    const auto i = std::find(header.begin(), header.end(), column) - header.begin();
    return static_cast<std::size_t>(i) < f.size() ? f[static_cast<std::size_t>(i)] : none;
}

std::vector<const Row *> Decoded::log(const char *name) const {
    std::vector<const Row *> out;
    for (const Row &r : rows)
        if (r.f[0] == name)
            out.push_back(&r);
    return out;
}

long long Decoded::value(const Row &r, const char *column) const {
    return std::stoll(r.at(header, column));
}

Decoded decode(const fs::path &board, int first_block, int last_block) {
    std::istringstream in(programs::run(std::string(FLASH_DECODE) + " --csv -b " +
                                            std::to_string(first_block) + "-" +
                                            std::to_string(last_block) + " " + board.string(),
                                        board.parent_path())
                              .out);
    Decoded d;
    std::string line;
    std::getline(in, line);
    d.header = split(line, ',');
    while (std::getline(in, line)) d.rows.push_back(Row{split(line, ',')});
    return d;
}

std::vector<long long> stamp_gaps(const Decoded &f) {
    std::vector<long long> gaps;
    long long prev = -1;
    for (const Row *row : f.log("sensor_data")) {
        const long long num = f.value(*row, "num");
        if (prev >= 0 && num != (prev + 1) % 1001)
            gaps.push_back((num - prev - 1 + 1001) % 1001);
        prev = num;
    }
    return gaps;
}

Console console_of(const Result &r) {
    Console c;
    for (const Record *p : r.of("uart_tx"))
        if (p->str("port") == "USART3") {
            c.text += static_cast<char>(p->num("byte"));
            c.at.push_back(p->t);
        }
    return c;
}

std::size_t count(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

std::size_t between(const std::vector<Time> &times, Time from, Time to) {
    return static_cast<std::size_t>(
        std::count_if(times.begin(), times.end(), [&](Time t) { return t >= from && t < to; }));
}

}  // namespace kfw
