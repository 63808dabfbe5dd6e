#include "sim/summary.h"

#include <cstdio>

#include "sim/trace.h"

namespace sim {

const char *ending_name(Ending e) {
    switch (e) {
        case Ending::Completed:
            return "completed";
        case Ending::Halted:
            return "halted";
        case Ending::MainReturned:
            return "main returned";
        case Ending::PowerCut:
            return "power cut";
        case Ending::Reset:
            return "reset";
        case Ending::Standby:
            return "standby";
        case Ending::Interrupted:
            return "interrupted";
    }
    return "?";
}

std::string format_seconds(Time ns) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%llu.%09llu s",
                  static_cast<unsigned long long>(ns / 1000000000u),
                  static_cast<unsigned long long>(ns % 1000000000u));
    return buf;
}

void Summary::note(const std::string &key, const std::string &value) {
    for (auto &kv : notes_) {
        if (kv.first == key) {
            kv.second = value;
            return;
        }
    }
    notes_.emplace_back(key, value);
}

void Summary::finish(Time end, Ending ending, const std::string &reason) {
    end_ = end;
    ending_ = ending;
    reason_ = reason;
}

std::string Summary::text() const {
    std::string out;
    out += "=== simulation summary ===\n";
    out += "run length:   " + format_seconds(end_) + "\n";
    out += "ended:        " + std::string(ending_name(ending_));
    if (!reason_.empty())
        out += " (" + reason_ + ")";
    out += "\n";
    for (const auto &[name, p] : ports_) {
        char line[160];
        std::snprintf(line, sizeof line, "%-13s tx %llu bytes, rx %llu bytes, lost %llu bytes\n",
                      (name + ":").c_str(), static_cast<unsigned long long>(p.tx),
                      static_cast<unsigned long long>(p.rx),
                      static_cast<unsigned long long>(p.lost));
        out += line;
    }
    for (const auto &[name, s] : irqs_) {
        char line[240];
        std::snprintf(line, sizeof line,
                      "irq %-10s %llu runs, worst %llu ns (%llu ns of it in HAL calls, entered "
                      "at %s)\n",
                      name.c_str(), static_cast<unsigned long long>(s.count),
                      static_cast<unsigned long long>(s.worst_ns),
                      static_cast<unsigned long long>(s.worst_hal_ns),
                      format_seconds(s.worst_at).c_str());
        out += line;
    }
    {
        char line[160];
        std::snprintf(line, sizeof line, "HAL calls:    %llu, %s of virtual time\n",
                      static_cast<unsigned long long>(hal_calls_),
                      format_seconds(hal_ns_).c_str());
        out += line;
    }
    for (const auto &[k, v] : notes_) out += k + ": " + v + "\n";
    return out;
}

std::string Summary::json() const {
    std::string out = "{\"run_length_ns\":" + std::to_string(end_) + ",\"ended\":\"" +
                      ending_name(ending_) + "\",\"reason\":\"";
    Trace::escape(out, reason_);
    out += "\",\"ports\":{";
    bool first = true;
    for (const auto &[name, p] : ports_) {
        if (!first)
            out += ",";
        first = false;
        out += "\"" + name + "\":{\"tx\":" + std::to_string(p.tx) +
               ",\"rx\":" + std::to_string(p.rx) + ",\"lost\":" + std::to_string(p.lost) + "}";
    }
    out += "},\"irqs\":{";
    first = true;
    for (const auto &[name, s] : irqs_) {
        if (!first)
            out += ",";
        first = false;
        out += "\"" + name + "\":{\"count\":" + std::to_string(s.count) +
               ",\"worst_ns\":" + std::to_string(s.worst_ns) +
               ",\"worst_hal_ns\":" + std::to_string(s.worst_hal_ns) +
               ",\"worst_at\":" + std::to_string(s.worst_at) + "}";
    }
    out += "},\"hal_calls\":{\"count\":" + std::to_string(hal_calls_) +
           ",\"ns\":" + std::to_string(hal_ns_) + "}";
    out += ",\"notes\":{";
    first = true;
    for (const auto &[k, v] : notes_) {
        if (!first)
            out += ",";
        first = false;
        out += "\"";
        Trace::escape(out, k);
        out += "\":\"";
        Trace::escape(out, v);
        out += "\"";
    }
    out += "}}";
    return out;
}

}  // namespace sim
