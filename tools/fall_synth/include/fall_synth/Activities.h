#pragma once
// Recordings of daily activity for the simulator's motion sensor: a program of activities
// (standing, walking, stairs, sitting, lying, jumps) ending, if asked, with one of the
// catalogue's falls at a chosen time, generated like the synthetic streams and written in
// the sensor's own frame.
//
// Program: comma-separated items, each "what:how much":
//   stand:S  walk:S  stairs:S     that activity for S seconds
//   sit:S    lie:S                sit down (lie down), stay S seconds, get up again
//   jump:N                        N small jumps on the spot
//   fall:NAME  fall:NAME@T        the catalogue's fall NAME, at once or at T seconds (the
//                                 wearer stands until then); the wearer then lies still
//                                 for 10 s; a fall ends the program
// Every program starts with 2.4 s of standing (the engine's warm-up).
#include <iosfwd>
#include <string>
#include <vector>

#include "fall_replay/Observe.h"
#include "fall_synth/Synth.h"

namespace fall_synth {

struct ActivityProgram {
    std::string text;               // the program as given
    std::vector<Segment> segments;  // at 50 samples per second, in the device's frame
    const StreamDef *fall = nullptr;
    uint32_t fallStart = 0;  // first sample of the fall's motion
};

// False with a message naming the item for anything malformed.
bool parseActivities(const std::string &text, ActivityProgram &out, std::string &error);

// The program as a stream of the generator (valid while `p` lives).
StreamDef activityStream(const ActivityProgram &p);

// The image maps the sensor's axes onto the engine's frame, and a recording for the sensor
// takes the inverse. The device image: accX = S ay, accY = -S ax, accZ = S az; the data
// logger (the variant's build), whose sensor is mounted turned half a turn about its X axis:
// accX = S ax, accY = -S ay, accZ = -S az. The same for the rates. Upright, the device's
// sensor reads +1 g on its X axis, the data logger's on its Y axis.
Sample toSensorFrame(const Sample &device);

// CSV for the simulator's `motion` source: time_ms and six sensor-frame counts at the
// sensor's ±4 g and ±500 °/s ranges, 50 samples per second.
void writeSensorRecording(const ActivityProgram &p, std::ostream &out);

// The engine on the program's samples (in the device's frame, as the device hands them on).
fall_replay::RunSummary runActivities(const ActivityProgram &p);

// `fall_synth --activity PROGRAM [-o FILE] [--run]`.
int activityMain(int argc, char **argv);

}  // namespace fall_synth
