// Scenario file reader. The grammar is small on purpose: one directive per
// line, words separated by blanks, quoted text with C-like escapes. Every
// refusal names the line so that a person can fix the file at once.
#include "scenario.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

struct Token {
    std::string text;  // unquoted word, or the decoded bytes of a quoted string
    bool quoted = false;
};

// A word as messages quote it: long ones are cut, so that a stray binary file or
// a runaway line gives one readable line, not the whole token back.
constexpr std::size_t kShownChars = 40;
std::string shown(const std::string &word) {
    std::string out = "'";
    if (word.size() <= kShownChars) {
        out += word;
    } else {
        out += word.substr(0, kShownChars) + "...' (" + std::to_string(word.size()) + " characters)";
        return out;
    }
    return out + "'";
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

int hex_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Splits one line into tokens. '#' outside quotes starts a comment.
bool tokenize(const std::string &line, std::vector<Token> &out, std::string &error) {
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n) {
        const char c = line[i];
        if (is_blank(c)) {
            ++i;
            continue;
        }
        if (c == '#')
            break;
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            error = "control character 0x" + std::string(1, "0123456789ABCDEF"[(c >> 4) & 0xF]) +
                    std::string(1, "0123456789ABCDEF"[c & 0xF]) +
                    " outside quotes (write it as an escape inside a quoted string)";
            return false;
        }
        Token tok;
        if (c == '"') {
            tok.quoted = true;
            ++i;
            bool closed = false;
            while (i < n) {
                const char q = line[i];
                if (q == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (q != '\\') {
                    if (static_cast<unsigned char>(q) < 0x20 || q == 0x7f) {
                        error = "control character 0x" +
                                std::string(1, "0123456789ABCDEF"[(q >> 4) & 0xF]) +
                                std::string(1, "0123456789ABCDEF"[q & 0xF]) +
                                " inside quotes (write it as an escape such as \\t or \\x7F)";
                        return false;
                    }
                    tok.text.push_back(q);
                    ++i;
                    continue;
                }
                if (i + 1 >= n) {
                    error = "unterminated escape at the end of the line";
                    return false;
                }
                const char e = line[i + 1];
                i += 2;
                switch (e) {
                    case 'r':
                        tok.text.push_back('\r');
                        break;
                    case 'n':
                        tok.text.push_back('\n');
                        break;
                    case 't':
                        tok.text.push_back('\t');
                        break;
                    case '0':
                        tok.text.push_back('\0');
                        break;
                    case '\\':
                        tok.text.push_back('\\');
                        break;
                    case '"':
                        tok.text.push_back('"');
                        break;
                    case 'x': {
                        const int hi = i < n ? hex_value(line[i]) : -1;
                        const int lo = i + 1 < n ? hex_value(line[i + 1]) : -1;
                        if (hi < 0 || lo < 0) {
                            error = "invalid escape: \\x needs exactly two hex digits";
                            return false;
                        }
                        tok.text.push_back(static_cast<char>(hi * 16 + lo));
                        i += 2;
                        break;
                    }
                    default:
                        error = std::string("invalid escape '\\") + e +
                                "' (known: \\r \\n \\t \\0 \\\\ \\\" \\xNN)";
                        return false;
                }
            }
            if (!closed) {
                error = "unterminated quoted text (missing closing \")";
                return false;
            }
            if (i < n && !is_blank(line[i]) && line[i] != '#') {
                error = "quoted text must be followed by a blank";
                return false;
            }
        } else {
            while (i < n && !is_blank(line[i]) && line[i] != '#') {
                if (line[i] == '"') {
                    error = "quote inside a word (separate quoted text with a blank)";
                    return false;
                }
                tok.text.push_back(line[i]);
                ++i;
            }
        }
        out.push_back(std::move(tok));
    }
    return true;
}

bool parse_decimal_u32(const std::string &s, std::uint32_t &v) {
    if (s.empty() || s.size() > 10)
        return false;
    std::uint64_t acc = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        acc = acc * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (acc > 0xFFFFFFFFULL)
        return false;
    v = static_cast<std::uint32_t>(acc);
    return true;
}

// Appends the bytes of one hex token ("41", "0d0A", "415443") to out.
bool append_hex(const std::string &s, std::vector<std::uint8_t> &out, std::string &error) {
    if (s.empty() || s.size() % 2 != 0) {
        error = "hex bytes need an even number of digits: " + shown(s);
        return false;
    }
    for (std::size_t i = 0; i < s.size(); i += 2) {
        const int hi = hex_value(s[i]);
        const int lo = hex_value(s[i + 1]);
        if (hi < 0 || lo < 0) {
            error = "not a hex byte: " + shown(s);
            return false;
        }
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return true;
}

// Reads the payload of a console or phone event: quoted strings, "hex"
// groups and "dec" groups, in any order; all bytes are concatenated.
bool parse_payload(const std::vector<Token> &toks, std::size_t first,
                   std::vector<std::uint8_t> &out, std::string &error) {
    enum class Mode { None, Hex, Dec } mode = Mode::None;
    bool group_empty = false;
    std::string group_word;
    for (std::size_t i = first; i < toks.size(); ++i) {
        const Token &t = toks[i];
        if (t.quoted) {
            if (group_empty) {
                error = "'" + group_word + "' must be followed by at least one byte";
                return false;
            }
            mode = Mode::None;
            out.insert(out.end(), t.text.begin(), t.text.end());
            continue;
        }
        if (t.text == "hex" || t.text == "dec") {
            if (group_empty) {
                error = "'" + group_word + "' must be followed by at least one byte";
                return false;
            }
            mode = t.text == "hex" ? Mode::Hex : Mode::Dec;
            group_word = t.text;
            group_empty = true;
            continue;
        }
        if (mode == Mode::Hex) {
            if (!append_hex(t.text, out, error))
                return false;
        } else if (mode == Mode::Dec) {
            std::uint32_t v = 0;
            if (!parse_decimal_u32(t.text, v) || v > 255) {
                error = "not a decimal byte 0..255: " + shown(t.text);
                return false;
            }
            out.push_back(static_cast<std::uint8_t>(v));
        } else {
            error = "unexpected " + shown(t.text) +
                    ": bytes are written as \"quoted text\", hex 41 0D or dec 65 13";
            return false;
        }
        group_empty = false;
    }
    if (group_empty) {
        error = "'" + group_word + "' must be followed by at least one byte";
        return false;
    }
    if (out.empty()) {
        error = "no bytes given";
        return false;
    }
    return true;
}

// "PA12" -> port 'A', pin 12.
bool parse_pin(const std::string &s, char &port, std::uint8_t &pin, std::string &error) {
    if (s.size() < 3 || s.size() > 4 || s[0] != 'P') {
        error = "expected a pin such as PA12, got " + shown(s);
        return false;
    }
    const char p = s[1];
    if (p != 'A' && p != 'B' && p != 'C' && p != 'H') {
        error = std::string("no port ") + p + " on this microcontroller (ports A, B, C, H)";
        return false;
    }
    const std::string num = s.substr(2);
    std::uint32_t v = 0;
    if (!parse_decimal_u32(num, v) || (num.size() == 2 && num[0] == '0')) {
        error = "expected a pin such as PA12, got " + shown(s);
        return false;
    }
    if (v > 15) {
        error = "pin number " + num + " out of range (0..15)";
        return false;
    }
    port = p;
    pin = static_cast<std::uint8_t>(v);
    return true;
}

bool parse_level(const std::string &s, std::uint8_t &level) {
    if (s == "0" || s == "low") {
        level = 0;
        return true;
    }
    if (s == "1" || s == "high") {
        level = 1;
        return true;
    }
    return false;
}

// The format version that introduced each directive and event. Naming them lets a
// reader say exactly why it refuses them in a file of an older version.
struct Word {
    const char *word;
    std::uint32_t version;
};
constexpr Word kDirectives[] = {{"version", 1},      {"length", 1},
                                {"at", 1},           {"seed", 2},
                                {"flash-timing", 2}, {"flash-size-register", 2},
                                {"power-cut", 2},    {"motion", 3}};
constexpr Word kEvents[] = {{"console", 1}, {"phone", 1},   {"pin", 1},   {"fault", 2},
                            {"power-cut", 2}, {"battery", 3}, {"radio", 3}, {"hold", 3}};

template <std::size_t N>
std::uint32_t introduced_in(const Word (&words)[N], const std::string &w) {
    for (const Word &k : words) {
        if (w == k.word)
            return k.version;
    }
    return 0;
}

// "console, phone, pin" for the words a version knows.
template <std::size_t N>
std::string known_words(const Word (&words)[N], std::uint32_t version) {
    std::string out;
    for (const Word &k : words) {
        if (k.version > version)
            continue;
        out += out.empty() ? "" : ", ";
        out += k.word;
    }
    return out;
}

// Operation kinds a counted power cut may name, as bit sets of StorageOp.
std::uint8_t op_bit(StorageOp op) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(op));
}
bool parse_op_selector(const std::string &w, std::uint8_t &ops) {
    const std::uint8_t nor = op_bit(StorageOp::NorProgram) | op_bit(StorageOp::NorErase);
    const std::uint8_t intflash =
        op_bit(StorageOp::IntflashProgram) | op_bit(StorageOp::IntflashErase);
    struct Name {
        const char *word;
        std::uint8_t ops;
    } const names[] = {
        {"nor-program", op_bit(StorageOp::NorProgram)},
        {"nor-erase", op_bit(StorageOp::NorErase)},
        {"nor", nor},
        {"intflash-program", op_bit(StorageOp::IntflashProgram)},
        {"intflash-erase", op_bit(StorageOp::IntflashErase)},
        {"intflash", intflash},
        {"any", static_cast<std::uint8_t>(nor | intflash)},
    };
    for (const Name &n : names) {
        if (w == n.word) {
            ops = n.ops;
            return true;
        }
    }
    return false;
}

bool parse_fault_kind(const std::string &w, FaultKind &kind) {
    for (FaultKind k :
         {FaultKind::NorProgram, FaultKind::NorErase, FaultKind::NorStuckBusy,
          FaultKind::NorMissing, FaultKind::IntflashProgram, FaultKind::IntflashErase}) {
        if (w == fault_kind_name(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

bool is_state_fault(FaultKind k) {
    return k == FaultKind::NorStuckBusy || k == FaultKind::NorMissing;
}

bool parse_device_fault_kind(const std::string &w, DeviceFaultKind &kind) {
    for (DeviceFaultKind k :
         {DeviceFaultKind::I2cNack, DeviceFaultKind::I2cStuck, DeviceFaultKind::SensorReset}) {
        if (w == device_fault_name(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

// "40%", "12.5%": a share strictly below 100 %, at most 4 decimals, as parts per
// million.
bool parse_percent(const std::string &s, std::uint32_t &ppm) {
    if (s.size() < 2 || s.back() != '%')
        return false;
    const std::string num = s.substr(0, s.size() - 1);
    std::size_t i = 0;
    std::uint64_t whole = 0;
    while (i < num.size() && num[i] >= '0' && num[i] <= '9' && i < 3)
        whole = whole * 10 + static_cast<std::uint64_t>(num[i++] - '0');
    if (i == 0)
        return false;
    std::uint64_t frac = 0;
    int digits = 0;
    if (i < num.size() && num[i] == '.') {
        ++i;
        while (i < num.size() && num[i] >= '0' && num[i] <= '9' && digits < 4) {
            frac = frac * 10 + static_cast<std::uint64_t>(num[i++] - '0');
            ++digits;
        }
        if (digits == 0)
            return false;
    }
    if (i != num.size())
        return false;
    for (int d = digits; d < 4; ++d) frac *= 10;
    const std::uint64_t v = whole * 10000 + frac;  // hundredths of a thousandth of a percent
    if (v >= 1000000)
        return false;
    ppm = static_cast<std::uint32_t>(v);
    return true;
}

// Decimal or 0x-prefixed hexadecimal, 0 .. max.
bool parse_number(const std::string &s, std::uint64_t max, std::uint64_t &v) {
    unsigned base = 10;
    std::size_t i = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        i = 2;
    }
    if (i >= s.size() || s.size() - i > (base == 16 ? 16u : 20u))
        return false;
    unsigned __int128 acc = 0;
    for (; i < s.size(); ++i) {
        const int d = base == 16 ? hex_value(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
        if (d < 0)
            return false;
        acc = acc * base + static_cast<unsigned>(d);
    }
    if (acc > max)
        return false;
    v = static_cast<std::uint64_t>(acc);
    return true;
}

class Parser {
  public:
    Parser(const std::string &name, Scenario &sc) : name_(name), sc_(sc) {}

    bool line(const std::string &raw, std::uint32_t lineno, std::string &error) {
        lineno_ = lineno;
        std::string text = raw;
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        std::vector<Token> toks;
        std::string msg;
        if (!tokenize(text, toks, msg))
            return fail(msg, error);
        if (toks.empty())
            return true;
        if (toks[0].quoted)
            return fail("a line must start with a directive, not quoted text", error);
        const std::string &word = toks[0].text;

        if (version_line_ == 0) {
            if (word != "version") {
                return fail("the first directive must be the version line ('version 3'), found " +
                                shown(word),
                            error);
            }
        }
        const std::uint32_t since = introduced_in(kDirectives, word);
        if (word != "version" && since > sc_.version) {
            return fail(shown(word) + " is not part of scenario format version " +
                            std::to_string(sc_.version),
                        error);
        }
        if (word == "version")
            return version(toks, error);
        if (word == "length")
            return length(toks, error);
        if (word == "at")
            return event(toks, error);
        if (word == "seed" || word == "flash-timing" || word == "flash-size-register")
            return setting(toks, error);
        if (word == "power-cut")
            return counted_cut(toks, error);
        if (word == "motion")
            return motion(toks, error);
        return fail("unknown directive " + shown(word) + " (version " + std::to_string(sc_.version) +
                        " knows: " + known_words(kDirectives, sc_.version) + ")",
                    error);
    }

    bool finish(std::string &error) {
        if (version_line_ == 0) {
            error = name_ + ": no version line ('version 3') (the file has no directives)";
            return false;
        }
        if (length_line_ == 0) {
            error = name_ + ": no 'length' line (how long the run lasts)";
            return false;
        }
        auto too_late = [&](std::uint64_t at, std::uint32_t line) {
            if (at < sc_.length_ns)
                return false;
            error = name_ + ":" + std::to_string(line) + ": event at " + format_scenario_time(at) +
                    " is not before the end of the run (length " +
                    format_scenario_time(sc_.length_ns) + " on line " +
                    std::to_string(length_line_) + ")";
            return true;
        };
        for (const ScenarioEvent &ev : sc_.events) {
            if (too_late(ev.at_ns, ev.line))
                return false;
        }
        for (const FaultEvent &f : sc_.storage.faults) {
            if (too_late(f.at_ns, f.line))
                return false;
        }
        DevicePlan &dev = sc_.devices;
        for (const DeviceFault &f : dev.faults) {
            if (too_late(f.at_ns, f.line))
                return false;
        }
        for (const BatteryPoint &p : dev.battery) {
            if (too_late(p.at_ns, p.line))
                return false;
        }
        for (const RadioEvent &r : dev.radio) {
            if (too_late(r.at_ns, r.line))
                return false;
        }
        const PowerCut &cut = sc_.storage.cut;
        if (cut.set && cut.timed && too_late(cut.at_ns, cut.line))
            return false;
        std::stable_sort(
            sc_.events.begin(), sc_.events.end(),
            [](const ScenarioEvent &a, const ScenarioEvent &b) { return a.at_ns < b.at_ns; });
        std::stable_sort(
            sc_.storage.faults.begin(), sc_.storage.faults.end(),
            [](const FaultEvent &a, const FaultEvent &b) { return a.at_ns < b.at_ns; });
        auto by_time = [](const auto &a, const auto &b) { return a.at_ns < b.at_ns; };
        std::stable_sort(dev.faults.begin(), dev.faults.end(), by_time);
        std::stable_sort(dev.battery.begin(), dev.battery.end(), by_time);
        std::stable_sort(dev.radio.begin(), dev.radio.end(), by_time);
        return true;
    }

  private:
    bool fail(const std::string &msg, std::string &error) const {
        error = name_ + ":" + std::to_string(lineno_) + ": " + msg;
        return false;
    }

    bool version(const std::vector<Token> &toks, std::string &error) {
        if (version_line_ != 0) {
            return fail(
                "duplicate version line (first on line " + std::to_string(version_line_) + ")",
                error);
        }
        std::uint32_t v = 0;
        // The number as the format writes it: no sign, no leading zeros.
        if (toks.size() != 2 || toks[1].quoted || !parse_decimal_u32(toks[1].text, v) ||
            toks[1].text != std::to_string(v)) {
            return fail("expected 'version 3' (or an older version, 1 or 2)", error);
        }
        if (v < 1 || v > kScenarioVersion) {
            return fail("scenario format version " + toks[1].text +
                            " is not supported (this simulator reads versions 1 to 3)",
                        error);
        }
        version_line_ = lineno_;
        sc_.version = v;
        return true;
    }

    bool length(const std::vector<Token> &toks, std::string &error) {
        if (length_line_ != 0) {
            return fail(
                "duplicate length line (first on line " + std::to_string(length_line_) + ")",
                error);
        }
        if (toks.size() != 2 || toks[1].quoted)
            return fail("expected 'length <time>', e.g. 'length 5s'", error);
        std::uint64_t ns = 0;
        std::string msg;
        if (!parse_scenario_time(toks[1].text, ns, msg))
            return fail(msg, error);
        if (ns == 0)
            return fail("the run length must be greater than zero", error);
        length_line_ = lineno_;
        sc_.length_ns = ns;
        return true;
    }

    bool event(const std::vector<Token> &toks, std::string &error) {
        if (toks.size() < 3 || toks[1].quoted || toks[2].quoted) {
            return fail("expected 'at <time> <event> ...', e.g. 'at 1s console \"help\\r\"'",
                        error);
        }
        std::string ttext = toks[1].text;
        const bool relative = !ttext.empty() && ttext[0] == '+';
        if (relative)
            ttext.erase(0, 1);
        std::uint64_t ns = 0;
        std::string msg;
        if (!parse_scenario_time(ttext, ns, msg))
            return fail(msg, error);
        if (relative) {
            // Relative to the previous event line in file order; both terms are
            // at most one year, so the sum cannot wrap, but it may pass the limit.
            const std::uint64_t sum = last_at_ns_ + ns;
            if (sum > kMaxScenarioLengthNs) {
                return fail("time " + format_scenario_time(last_at_ns_) + " + " +
                                format_scenario_time(ns) + " is beyond the longest run (365 days)",
                            error);
            }
            ns = sum;
        }

        ScenarioEvent ev;
        ev.at_ns = ns;
        ev.line = lineno_;
        const std::string &what = toks[2].text;
        if (what == "console" || what == "phone") {
            ev.kind =
                what == "console" ? ScenarioEventKind::ConsoleBytes : ScenarioEventKind::PhoneBytes;
            if (!parse_payload(toks, 3, ev.bytes, msg))
                return fail(msg, error);
        } else if (what == "pin") {
            ev.kind = ScenarioEventKind::PinLevel;
            if (toks.size() != 5 || toks[3].quoted || toks[4].quoted) {
                return fail("expected 'at <time> pin <PA12> <0|1>'", error);
            }
            if (!parse_pin(toks[3].text, ev.port, ev.pin, msg))
                return fail(msg, error);
            if (!parse_level(toks[4].text, ev.level)) {
                return fail("pin level must be 0, 1, low or high, got " + shown(toks[4].text),
                            error);
            }
        } else if (introduced_in(kEvents, what) > sc_.version) {
            return fail(shown(what) + " events are not part of scenario format version " +
                            std::to_string(sc_.version),
                        error);
        } else if (what == "fault") {
            if (!fault(toks, ns, error))
                return false;
            last_at_ns_ = ns;
            return true;
        } else if (what == "power-cut") {
            if (toks.size() != 3)
                return fail("expected 'at <time> power-cut'", error);
            if (!take_cut(error))
                return false;
            sc_.storage.cut.timed = true;
            sc_.storage.cut.at_ns = ns;
            last_at_ns_ = ns;
            return true;
        } else if (what == "battery" || what == "radio") {
            if (!(what == "battery" ? battery(toks, ns, error) : radio(toks, ns, error)))
                return false;
            last_at_ns_ = ns;
            return true;
        } else if (what == "hold") {
            ev.kind = ScenarioEventKind::PinHold;
            if (toks.size() != 5 || toks[3].quoted || toks[4].quoted)
                return fail("expected 'at <time> hold <PB5> <0|1|off>'", error);
            if (!parse_pin(toks[3].text, ev.port, ev.pin, msg))
                return fail(msg, error);
            if (toks[4].text == "off") {
                ev.level = kRelease;
            } else if (!parse_level(toks[4].text, ev.level)) {
                return fail("a held pin's level must be 0, 1, low, high or off, got " +
                                shown(toks[4].text),
                            error);
            }
        } else {
            return fail("unknown event " + shown(what) + " (version " + std::to_string(sc_.version) +
                            " knows: " + known_words(kEvents, sc_.version) + ")",
                        error);
        }
        last_at_ns_ = ns;
        sc_.events.push_back(std::move(ev));
        return true;
    }

    // at <time> fault <kind> [<count> | always | off]
    bool fault(const std::vector<Token> &toks, std::uint64_t at, std::string &error) {
        FaultEvent f;
        f.at_ns = at;
        f.line = lineno_;
        if (toks.size() < 4 || toks.size() > 5 || toks[3].quoted ||
            (toks.size() == 5 && toks[4].quoted)) {
            return fail("expected 'at <time> fault <kind> [<count>|always|off]'", error);
        }
        DeviceFaultKind dk = DeviceFaultKind::I2cNack;
        if (parse_device_fault_kind(toks[3].text, dk)) {
            if (sc_.version < 3) {
                return fail(shown(toks[3].text) + " faults are not part of scenario format version " +
                                std::to_string(sc_.version),
                            error);
            }
            return device_fault(toks, at, dk, error);
        }
        if (!parse_fault_kind(toks[3].text, f.kind)) {
            return fail("unknown fault " + shown(toks[3].text) +
                            " (known: nor-program, nor-erase, nor-stuck-busy, nor-missing, "
                            "intflash-program, intflash-erase" +
                            (sc_.version < 3 ? "" : ", i2c-nack, i2c-stuck, sensor-reset") + ")",
                        error);
        }
        if (toks.size() == 5) {
            const std::string &c = toks[4].text;
            std::uint32_t n = 0;
            if (c == "off") {
                f.count = 0;
            } else if (c == "always" && !is_state_fault(f.kind)) {
                f.count = kFaultAlways;
            } else if (!is_state_fault(f.kind) && parse_decimal_u32(c, n) && n >= 1 &&
                       n < kFaultAlways) {
                f.count = n;
            } else {
                return fail(
                    is_state_fault(f.kind)
                        ? shown(toks[3].text) + " takes nothing or 'off', not " + shown(c)
                        : "fault count must be a number from 1, 'always' or 'off', not " + shown(c),
                    error);
            }
        }
        sc_.storage.faults.push_back(f);
        return true;
    }

    // at <time> fault i2c-nack [<count>|always|off] | i2c-stuck [off] | sensor-reset
    bool device_fault(const std::vector<Token> &toks, std::uint64_t at, DeviceFaultKind kind,
                      std::string &error) {
        DeviceFault f;
        f.at_ns = at;
        f.kind = kind;
        f.line = lineno_;
        const std::string c = toks.size() == 5 ? toks[4].text : "";
        std::uint32_t n = 0;
        if (c.empty()) {
            f.count = 1;
        } else if (kind == DeviceFaultKind::SensorReset) {
            return fail("'sensor-reset' takes nothing, not " + shown(c), error);
        } else if (c == "off") {
            f.count = 0;
        } else if (kind == DeviceFaultKind::I2cStuck) {
            return fail("'i2c-stuck' takes nothing or 'off', not " + shown(c), error);
        } else if (c == "always") {
            f.count = kFaultAlways;
        } else if (parse_decimal_u32(c, n) && n >= 1 && n < kFaultAlways) {
            f.count = n;
        } else {
            return fail("fault count must be a number from 1, 'always' or 'off', not " + shown(c),
                        error);
        }
        sc_.devices.faults.push_back(f);
        return true;
    }

    // at <time> battery <counts> [over <time>]
    bool battery(const std::vector<Token> &toks, std::uint64_t at, std::string &error) {
        for (const Token &t : toks) {
            if (t.quoted)
                return fail("expected 'at <time> battery <counts> [over <time>]'", error);
        }
        if (toks.size() != 4 && toks.size() != 6)
            return fail("expected 'at <time> battery <counts> [over <time>]'", error);
        std::uint32_t v = 0;
        if (!parse_decimal_u32(toks[3].text, v) || v > 4095) {
            return fail("battery counts are the ADC's 12-bit reading, 0 to 4095, not " +
                            shown(toks[3].text),
                        error);
        }
        BatteryPoint p;
        p.at_ns = at;
        p.counts = static_cast<std::uint16_t>(v);
        p.line = lineno_;
        if (toks.size() == 6) {
            std::string msg;
            if (toks[4].text != "over")
                return fail("expected 'over <time>' after the counts, not " + shown(toks[4].text),
                            error);
            if (!parse_scenario_time(toks[5].text, p.ramp_ns, msg))
                return fail(msg, error);
        }
        sc_.devices.battery.push_back(p);
        return true;
    }

    // at <time> radio pipe|absent|silent|babble [<bytes per second>]
    bool radio(const std::vector<Token> &toks, std::uint64_t at, std::string &error) {
        const char *usage = "expected 'at <time> radio pipe|absent|silent|babble [<bytes/s>]'";
        if (toks.size() < 4 || toks.size() > 5 || toks[3].quoted ||
            (toks.size() == 5 && toks[4].quoted))
            return fail(usage, error);
        RadioEvent r;
        r.at_ns = at;
        r.line = lineno_;
        bool known = false;
        for (RadioMode m : {RadioMode::Pipe, RadioMode::Absent, RadioMode::Silent, RadioMode::Babble}) {
            if (toks[3].text == radio_mode_name(m)) {
                r.mode = m;
                known = true;
            }
        }
        if (!known)
            return fail("unknown radio mode " + shown(toks[3].text) +
                            " (known: pipe, absent, silent, babble)",
                        error);
        if (toks.size() == 5) {
            std::uint32_t rate = 0;
            if (r.mode != RadioMode::Babble)
                return fail(shown(toks[3].text) + " takes nothing more, not " + shown(toks[4].text),
                            error);
            if (!parse_decimal_u32(toks[4].text, rate) || rate == 0)
                return fail("a babbling module's rate is a number of bytes per second from 1, "
                            "not " + shown(toks[4].text),
                            error);
            r.bytes_per_second = rate;
        }
        sc_.devices.radio.push_back(r);
        return true;
    }

    // motion <file.csv> [hold|linear]
    bool motion(const std::vector<Token> &toks, std::string &error) {
        if (sc_.devices.motion.line != 0) {
            return fail("duplicate motion line (first on line " +
                            std::to_string(sc_.devices.motion.line) + ")",
                        error);
        }
        if (toks.size() < 2 || toks.size() > 3 || (toks.size() == 3 && toks[2].quoted) ||
            toks[1].text.empty())
            return fail("expected 'motion <recording.csv> [hold|linear]'", error);
        MotionSource &m = sc_.devices.motion;
        if (toks.size() == 3) {
            if (toks[2].text != "hold" && toks[2].text != "linear")
                return fail("a recording is resampled by 'hold' or 'linear', not " +
                                shown(toks[2].text),
                            error);
            m.resampling = toks[2].text == "hold" ? Resampling::Hold : Resampling::Linear;
        }
        m.path = toks[1].text;
        m.line = lineno_;
        return true;
    }

    bool take_cut(std::string &error) {
        if (sc_.storage.cut.set) {
            return fail("a second power cut (the first, on line " +
                            std::to_string(sc_.storage.cut.line) + ", already ends the run)",
                        error);
        }
        sc_.storage.cut.set = true;
        sc_.storage.cut.line = lineno_;
        return true;
    }

    // power-cut <operations> <n> [at <percent>]
    bool counted_cut(const std::vector<Token> &toks, std::string &error) {
        for (const Token &t : toks) {
            if (t.quoted)
                return fail("expected 'power-cut <operations> <n> [at <percent>]'", error);
        }
        if (toks.size() != 3 && toks.size() != 5)
            return fail("expected 'power-cut <operations> <n> [at <percent>]'", error);
        std::uint8_t ops = 0;
        if (!parse_op_selector(toks[1].text, ops)) {
            return fail("unknown operations " + shown(toks[1].text) +
                            " (known: nor-program, nor-erase, nor, intflash-program, "
                            "intflash-erase, intflash, any)",
                        error);
        }
        std::uint32_t n = 0;
        if (!parse_decimal_u32(toks[2].text, n) || n == 0)
            return fail("the operation number counts from 1, not " + shown(toks[2].text), error);
        std::uint32_t ppm = 0;
        if (toks.size() == 5 && (toks[3].text != "at" || !parse_percent(toks[4].text, ppm))) {
            return fail("expected 'at <percent>' below 100% (e.g. 'at 40%'), not " +
                            shown(toks[3].text + " " + toks[4].text),
                        error);
        }
        if (!take_cut(error))
            return false;
        PowerCut &cut = sc_.storage.cut;
        cut.timed = false;
        cut.ops = ops;
        cut.nth = n;
        cut.fraction_ppm = ppm;
        return true;
    }

    // seed <n> | flash-timing typical|maximum | flash-size-register <value>
    bool setting(const std::vector<Token> &toks, std::string &error) {
        const std::string &word = toks[0].text;
        std::uint32_t &seen = word == "seed"           ? seed_line_
                              : word == "flash-timing" ? timing_line_
                                                       : size_line_;
        if (seen != 0) {
            return fail("duplicate " + word + " line (first on line " + std::to_string(seen) + ")",
                        error);
        }
        const std::string value = toks.size() == 2 && !toks[1].quoted ? toks[1].text : "";
        std::uint64_t v = 0;
        StoragePlan &st = sc_.storage;
        if (word == "seed") {
            if (!parse_number(value, ~std::uint64_t{0}, v))
                return fail("expected 'seed <number>' (0 to 2^64 - 1)", error);
            st.seed = v;
        } else if (word == "flash-timing") {
            if (value != "typical" && value != "maximum")
                return fail("expected 'flash-timing typical' or 'flash-timing maximum'", error);
            st.maximum_timing = value == "maximum";
        } else {
            if (!parse_number(value, 0xFFFF, v))
                return fail("expected 'flash-size-register <value>' (0 to 0xFFFF, in KB)", error);
            st.flash_size_register = static_cast<std::uint16_t>(v);
        }
        seen = lineno_;
        return true;
    }

    const std::string &name_;
    Scenario &sc_;
    std::uint32_t lineno_ = 0;
    std::uint32_t version_line_ = 0;
    std::uint32_t length_line_ = 0;
    std::uint32_t seed_line_ = 0;
    std::uint32_t timing_line_ = 0;
    std::uint32_t size_line_ = 0;
    std::uint64_t last_at_ns_ = 0;
};

}  // namespace

const char *storage_op_name(StorageOp op) {
    switch (op) {
        case StorageOp::NorProgram:
            return "nor-program";
        case StorageOp::NorErase:
            return "nor-erase";
        case StorageOp::IntflashProgram:
            return "intflash-program";
        case StorageOp::IntflashErase:
            return "intflash-erase";
    }
    return "?";
}

const char *fault_kind_name(FaultKind kind) {
    switch (kind) {
        case FaultKind::NorProgram:
            return "nor-program";
        case FaultKind::NorErase:
            return "nor-erase";
        case FaultKind::NorStuckBusy:
            return "nor-stuck-busy";
        case FaultKind::NorMissing:
            return "nor-missing";
        case FaultKind::IntflashProgram:
            return "intflash-program";
        case FaultKind::IntflashErase:
            return "intflash-erase";
    }
    return "?";
}

const char *device_fault_name(DeviceFaultKind kind) {
    switch (kind) {
        case DeviceFaultKind::I2cNack:
            return "i2c-nack";
        case DeviceFaultKind::I2cStuck:
            return "i2c-stuck";
        case DeviceFaultKind::SensorReset:
            return "sensor-reset";
    }
    return "?";
}

const char *radio_mode_name(RadioMode mode) {
    switch (mode) {
        case RadioMode::Pipe:
            return "pipe";
        case RadioMode::Absent:
            return "absent";
        case RadioMode::Silent:
            return "silent";
        case RadioMode::Babble:
            return "babble";
    }
    return "?";
}

const char *scenario_event_kind_name(ScenarioEventKind kind) {
    switch (kind) {
        case ScenarioEventKind::ConsoleBytes:
            return "console";
        case ScenarioEventKind::PhoneBytes:
            return "phone";
        case ScenarioEventKind::PinLevel:
            return "pin";
        case ScenarioEventKind::PinHold:
            return "hold";
    }
    return "?";
}

bool parse_scenario_time(const std::string &text, std::uint64_t &ns, std::string &error) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    // Integer part: at most 20 digits keeps the accumulator in 128 bits with room to spare.
    std::size_t int_start = i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
    const std::string int_digits = text.substr(int_start, i - int_start);
    std::string frac_digits;
    bool has_point = false;
    if (i < n && text[i] == '.') {
        has_point = true;
        ++i;
        const std::size_t fs = i;
        while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
        frac_digits = text.substr(fs, i - fs);
    }
    const std::string unit = text.substr(i);
    if (int_digits.empty() || (has_point && frac_digits.empty())) {
        if (!text.empty() && text[0] == '-') {
            error = "invalid time " + shown(text) + ": times cannot be negative";
        } else {
            error = "invalid time " + shown(text) + " (write e.g. 250, 250ms, 1.5s, 20us)";
        }
        return false;
    }
    std::uint64_t scale = 0;
    if (unit.empty() || unit == "ms") {
        scale = 1000000ULL;
    } else if (unit == "s") {
        scale = 1000000000ULL;
    } else if (unit == "us") {
        scale = 1000ULL;
    } else if (unit == "ns") {
        scale = 1ULL;
    } else {
        error = "invalid time " + shown(text) + ": unknown unit " + shown(unit) + " (use ns, us, ms or s)";
        return false;
    }
    const std::string too_long = "time " + shown(text) + " is beyond the longest run (365 days)";
    if (int_digits.size() > 20 || frac_digits.size() > 18) {
        error = int_digits.size() > 20
                    ? too_long
                    : "time " + shown(text) + " has more fraction digits than 1 ns resolution";
        return false;
    }
    unsigned __int128 whole = 0;
    for (char c : int_digits) whole = whole * 10 + static_cast<unsigned>(c - '0');
    unsigned __int128 frac = 0;
    unsigned __int128 denom = 1;
    for (char c : frac_digits) {
        frac = frac * 10 + static_cast<unsigned>(c - '0');
        denom *= 10;
    }
    const unsigned __int128 frac_scaled = frac * scale;
    if (frac_scaled % denom != 0) {
        error = "time " + shown(text) + " is finer than 1 ns";
        return false;
    }
    const unsigned __int128 total = whole * scale + frac_scaled / denom;
    if (total > kMaxScenarioLengthNs) {
        error = too_long;
        return false;
    }
    ns = static_cast<std::uint64_t>(total);
    return true;
}

std::string format_scenario_time(std::uint64_t ns) {
    // A whole number in the largest unit that divides the value evenly, so
    // that the text is exact; zero is written "0ms".
    if (ns == 0)
        return "0ms";
    if (ns % 1000000000ULL == 0)
        return std::to_string(ns / 1000000000ULL) + "s";
    if (ns % 1000000ULL == 0)
        return std::to_string(ns / 1000000ULL) + "ms";
    if (ns % 1000ULL == 0)
        return std::to_string(ns / 1000ULL) + "us";
    return std::to_string(ns) + "ns";
}

bool parse_scenario(const std::string &text, const std::string &name, Scenario &out,
                    std::string &error) {
    Scenario sc;
    sc.source = name;
    Parser parser(name, sc);
    std::uint32_t lineno = 0;
    std::size_t pos = 0;
    // Editors that save "UTF-8 with BOM" put three bytes before the first line.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        ++lineno;
        if (!parser.line(text.substr(pos, end - pos), lineno, error))
            return false;
        pos = end + 1;
    }
    if (!parser.finish(error))
        return false;
    out = std::move(sc);
    return true;
}

bool load_scenario(const std::string &path, Scenario &out, std::string &error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = path + ": not a regular file";
        return false;
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxScenarioFileBytes) {
        error = path + ": " + std::to_string(st.st_size) +
                " bytes is too large for a scenario (at most " +
                std::to_string(kMaxScenarioFileBytes) + ")";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) {
        error = path + ": read error";
        return false;
    }
    if (!parse_scenario(ss.str(), path, out, error))
        return false;
    // A recording named relative to the scenario lives beside it, wherever the
    // simulator is started from.
    std::string &motion = out.devices.motion.path;
    const std::size_t slash = path.rfind('/');
    if (!motion.empty() && motion[0] != '/' && slash != std::string::npos)
        motion = path.substr(0, slash + 1) + motion;
    return true;
}

}  // namespace sim
