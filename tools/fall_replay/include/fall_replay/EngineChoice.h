#pragma once
// fall_replay and fall_synth come in two builds, one per engine: the device engine and the
// data-logging image's variant keep the same entry points and never share a program. In the
// device engine's build, "--variant" as the first argument runs the variant's build instead
// (the same program name with "_variant", in the same directory) with the other arguments.

namespace fall_replay {

// Returns -1 when the program goes on itself (in the variant's build the option is removed
// from argc/argv), or the exit status to return when the variant could not be started.
int chooseEngine(const char *tool, int &argc, char **&argv);

}  // namespace fall_replay
