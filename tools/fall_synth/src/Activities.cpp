// Daily activity recordings (see fall_synth/Activities.h). Each activity turns the body
// only in ways it undoes again (a lean forward and back, rocking that averages out over
// whole periods), so the wearer is upright between activities however long the program.
#include "fall_synth/Activities.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

#include "fall_synth/Run.h"

namespace fall_synth {
namespace {

constexpr uint32_t kRate = 50;         // samples per second
constexpr uint16_t kLeadIn = 120;      // 2.4 s standing: the engine's warm-up
constexpr uint16_t kLyingAfter = 500;  // 10 s still after a fall
constexpr uint32_t kSeed = 41;

constexpr Profile flat(float v) {
    return {Shape::Flat, v, 0.0f};
}
constexpr Profile ramp(float from, float to) {
    return {Shape::Ramp, from, to};
}
constexpr Profile bell(float base, float peak) {
    return {Shape::Bell, base, peak};
}
constexpr Profile wave(float mid, float amplitude) {
    return {Shape::Wave, mid, amplitude};
}

struct Seg {
    Segment s;
    explicit Seg(uint16_t n) : s{n, 0.0f, {flat(0), flat(0), flat(0)}, flat(1), flat(0)} {}
    Seg &rx(Profile p) { return s.rate[0] = p, *this; }
    Seg &ry(Profile p) { return s.rate[1] = p, *this; }
    Seg &rz(Profile p) { return s.rate[2] = p, *this; }
    Seg &up(Profile p) { return s.up = p, *this; }
    Seg &fwd(Profile p) { return s.fwd = p, *this; }
    Seg &period(float samples) { return s.period = samples, *this; }
    operator Segment() const { return s; }
};

// `n` samples of a periodic motion, in whole periods so that the rocking cancels out, split
// into segments a segment can hold.
void periodic(std::vector<Segment> &v, const Seg &shape, uint32_t n, uint16_t period) {
    n = (n + period - 1) / period * period;
    const uint32_t chunk = 30000u / period * period;
    while (n > 0) {
        Seg s = shape;
        s.s.samples = static_cast<uint16_t>(n < chunk ? n : chunk);
        v.push_back(s);
        n -= s.s.samples;
    }
}

void stand(std::vector<Segment> &v, uint32_t n) {
    periodic(v, Seg(0).rx(wave(0, 2)).rz(wave(0, 1.5f)).up(wave(1, 0.01f)), n, 200);
}

// Two steps a second: +-0.25 g of bounce, forward sway, the body rocking.
void walk(std::vector<Segment> &v, uint32_t n) {
    v.push_back(Seg(25).up(ramp(1, 1.05f)).fwd(ramp(0, 0.1f)));
    periodic(
        v,
        Seg(0).up(wave(1, 0.25f)).fwd(wave(0, 0.1f)).rx(wave(0, 12)).rz(wave(0, 6)).ry(wave(0, 15)),
        n, 25);
    v.push_back(Seg(50));
}

// Climbing stairs: leaning forward a little, a slower step with more lift.
void stairs(std::vector<Segment> &v, uint32_t n) {
    v.push_back(Seg(25).rx(bell(0, -20)));
    periodic(v,
             Seg(0)
                 .up(wave(1, 0.35f))
                 .fwd(wave(0, 0.15f))
                 .rx(wave(0, 15))
                 .rz(wave(0, 6))
                 .ry(wave(0, 10)),
             n, 30);
    v.push_back(Seg(25).rx(bell(0, 20)));
    v.push_back(Seg(50));
}

void sit_down(std::vector<Segment> &v) {
    v.push_back(Seg(30).rx(bell(0, -40)));    // lean forward
    v.push_back(Seg(25).up(bell(1, 0.75f)));  // lower
    v.push_back(Seg(10).up(bell(1, 1.6f)));   // land on the seat
    v.push_back(Seg(30).rx(bell(0, 40)));     // sit up straight
}

void stand_up(std::vector<Segment> &v) {
    v.push_back(Seg(30).rx(bell(0, -40)));   // lean forward
    v.push_back(Seg(25).up(bell(1, 1.3f)));  // push up
    v.push_back(Seg(30).rx(bell(0, 40)));    // straighten
    v.push_back(Seg(25));
}

void sit(std::vector<Segment> &v, uint32_t n) {
    sit_down(v);
    stand(v, n);
    stand_up(v);
}

// Sitting on the bed, lying back (about 90 degrees), lying, sitting up, standing up.
void lie(std::vector<Segment> &v, uint32_t n) {
    sit_down(v);
    v.push_back(Seg(150).rx(bell(0, 60)));
    v.push_back(Seg(15).up(bell(1, 1.2f)));
    periodic(v, Seg(0), n, 50);
    v.push_back(Seg(150).rx(bell(0, -60)));
    stand_up(v);
}

// A small jump on the spot: push-off, 0.16 s in the air, landing taken in the knees.
void jump(std::vector<Segment> &v, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        v.push_back(Seg(8).up(bell(1, 1.4f)));
        v.push_back(Seg(8).up(flat(0.1f)).rx(flat(-10)));
        v.push_back(Seg(8).up(bell(1, 2.2f)).rx(bell(0, 20)));
        v.push_back(Seg(20).up(bell(1, 0.85f)));
        v.push_back(Seg(100));
    }
}

uint32_t samples(const std::vector<Segment> &v) {
    uint32_t n = 0;
    for (const Segment &s : v) n += s.samples;
    return n;
}

}  // namespace

bool parseActivities(const std::string &text, ActivityProgram &out, std::string &error) {
    ActivityProgram p;
    p.text = text;
    p.segments.push_back(Seg(kLeadIn));
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find(',', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string item = text.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t colon = item.find(':');
        if (colon == std::string::npos) {
            error = "'" + item + "': expected what:how much (e.g. walk:60)";
            return false;
        }
        if (p.fall) {
            error = "'" + item + "': nothing can follow a fall";
            return false;
        }
        const std::string what = item.substr(0, colon), arg = item.substr(colon + 1);
        if (what == "fall") {
            const std::size_t at = arg.find('@');
            const std::string name = arg.substr(0, at);
            const StreamDef *def = findStream(name.c_str());
            if (!def || def->intended <= 0) {
                error = "'" + item + "': '" + name +
                        "' is not a fall of the catalogue (fall_synth --list)";
                return false;
            }
            if (at != std::string::npos) {
                char *e = nullptr;
                const double t = std::strtod(arg.c_str() + at + 1, &e);
                const uint32_t want = static_cast<uint32_t>(t * kRate + 0.5);
                if (*e != '\0' || !(t >= 0) || want < samples(p.segments)) {
                    error = "'" + item +
                            "': the fall's time must be a number of seconds not "
                            "before the end of what comes first (" +
                            std::to_string(samples(p.segments) / kRate) + " s)";
                    return false;
                }
                periodic(p.segments, Seg(0), want - samples(p.segments), 1);
            }
            p.fall = def;
            p.fallStart = samples(p.segments);
            // The fall's own motion, without the catalogue stream's standing lead-in.
            for (uint16_t k = 1; k < def->segmentCount; ++k) p.segments.push_back(def->segments[k]);
            p.segments.push_back(Seg(kLyingAfter));
            continue;
        }
        char *e = nullptr;
        const double amount = std::strtod(arg.c_str(), &e);
        if (arg.empty() || *e != '\0' || !(amount > 0) || amount > 86400) {
            error = "'" + item + "': expected a positive number after the colon";
            return false;
        }
        const uint32_t n = static_cast<uint32_t>(amount * kRate + 0.5);
        if (what == "stand") {
            stand(p.segments, n);
        } else if (what == "walk") {
            walk(p.segments, n);
        } else if (what == "stairs") {
            stairs(p.segments, n);
        } else if (what == "sit") {
            sit(p.segments, n);
        } else if (what == "lie") {
            lie(p.segments, n);
        } else if (what == "jump") {
            jump(p.segments, static_cast<uint32_t>(amount));
        } else {
            error = "'" + item + "': unknown activity '" + what +
                    "' (stand, walk, stairs, sit, lie, jump, fall)";
            return false;
        }
    }
    if (p.segments.size() > 65535) {
        error = "the program is too long";
        return false;
    }
    out = std::move(p);
    return true;
}

StreamDef activityStream(const ActivityProgram &p) {
    return StreamDef{
        "activity", "daily activity",  p.fall ? p.fall->intended : 0,           kSeed, 40,
        20,         p.segments.data(), static_cast<uint16_t>(p.segments.size())};
}

Sample toSensorFrame(const Sample &d) {
    auto neg = [](int16_t v) { return static_cast<int16_t>(v == -32768 ? 32767 : -v); };
    if (fall_replay::isVariantEngine())
        return Sample{d.ax, neg(d.ay), neg(d.az), d.gx, neg(d.gy), neg(d.gz)};
    return Sample{neg(d.ay), d.ax, d.az, neg(d.gy), d.gx, d.gz};
}

void writeSensorRecording(const ActivityProgram &p, std::ostream &out) {
    const bool logger = fall_replay::isVariantEngine();
    out << "# sensor-frame motion recording: fall_synth " << (logger ? "--variant " : "")
        << "--activity '" << p.text << "'\n"
        << "# counts at 4 g and 500 dps; "
        << (logger ? "the data logger reads accX = ax, accY = -ay, accZ = -az\n"
                   : "the device reads accX = ay, accY = -ax, accZ = az\n");
    if (p.fall)
        out << "# fall '" << p.fall->name << "' from " << p.fallStart * 20u << " ms\n";
    out << "time_ms,ax,ay,az,gx,gy,gz\n";
    const StreamDef def = activityStream(p);
    Generator gen(def);
    Sample s;
    while (gen.next(s)) {
        const Sample r = toSensorFrame(s);
        out << (gen.index() - 1) * 20u << ',' << r.ax << ',' << r.ay << ',' << r.az << ',' << r.gx
            << ',' << r.gy << ',' << r.gz << '\n';
    }
}

fall_replay::RunSummary runActivities(const ActivityProgram &p) {
    static FALL_DETECTOR det;
    return runStream(activityStream(p), det);
}

int activityMain(int argc, char **argv) {
    const char *program = nullptr, *outPath = nullptr;
    bool run = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
            outPath = argv[++i];
        } else if (std::strcmp(argv[i], "--run") == 0) {
            run = true;
        } else if (!program && argv[i][0] != '-') {
            program = argv[i];
        } else {
            std::fprintf(stderr, "fall_synth: unexpected '%s' after --activity\n", argv[i]);
            return 2;
        }
    }
    ActivityProgram p;
    std::string error;
    if (!program || !parseActivities(program, p, error)) {
        std::fprintf(
            stderr, "fall_synth: --activity: %s\n",
            program ? error.c_str() : "needs a program, e.g. 'walk:60,sit:30,fall:hard_impact'");
        return program ? 1 : 2;
    }
    if (run) {
        const fall_replay::RunSummary r = runActivities(p);
        std::printf(
            "%u samples; fall %s from sample %u; first result: ", static_cast<unsigned>(r.samples),
            p.fall ? p.fall->name : "none", static_cast<unsigned>(p.fallStart));
        if (r.positiveCount == 0)
            std::printf("none\n");
        else
            std::printf("sample %u type %d\n", static_cast<unsigned>(r.positives[0].index),
                        static_cast<int>(r.positives[0].type));
        return 0;
    }
    if (!outPath) {
        writeSensorRecording(p, std::cout);
        return std::cout.good() ? 0 : 1;
    }
    std::ofstream f(outPath, std::ios::binary);
    writeSensorRecording(p, f);
    if (!f) {
        std::fprintf(stderr, "fall_synth: cannot write %s\n", outPath);
        return 1;
    }
    return 0;
}

}  // namespace fall_synth
