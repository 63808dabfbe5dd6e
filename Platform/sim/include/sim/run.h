// Running a firmware on a fresh simulated board: used by the simulator executable
// (whose main parses the command line) and, in-process, by tests that run small
// firmware functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scenario.h"
#include "sim/console.h"
#include "sim/devices.h"
#include "sim/summary.h"

namespace sim {

class BoardDir;

struct RunConfig {
    Time length_ns = 1000000000;           // run length
    std::vector<ScenarioEvent> events;     // timed inputs, sorted by time
    std::string trace_path;                // trace to a file; empty: none
    std::string *trace_capture = nullptr;  // or into a string
    bool trace_systick = false;            // SysTick entries/exits in the trace (1000 per second)
    ConsoleConfig console;
    // Persistent state; null for a fresh erased board that lives in memory only.
    BoardDir *board_dir = nullptr;
    StoragePlan storage;    // the scenario's storage faults, power cut and settings
    DeviceSetup devices;    // motion recording, battery, radio module, sensor faults
    Time unpowered_ns = 0;  // how long the board stayed without power before this run
    // Wall-clock seconds without any call that lets virtual time pass after which a
    // run is declared hung (a spin loop without __NOP or __WFI); 0 turns it off.
    unsigned hang_seconds = 10;
};

struct RunResult {
    Ending ending = Ending::Completed;
    std::string reason;
    Time end_ns = 0;
    Summary summary;
    bool setup_failed = false;  // trace or stream could not be opened (reason says why)
    // The board's state (NOR chip registers, backup domain) could not be saved at
    // the end: the message; empty when it was.
    std::string state_error;
    // An output that could not be written completely (trace, console, phone-link
    // output): what failed, one line each; empty when all was written.
    std::string output_error;
};

// Firmware entry: the renamed `main` of an image, or a test function.
using FirmwareEntry = void (*)();

RunResult run_firmware(const RunConfig &cfg, FirmwareEntry entry);

// Exit status of the simulator executable for a run's result.
enum ExitStatus : int {
    kExitCompleted = 0,      // run length reached, or the firmware ended the power cycle
    kExitHalted = 1,         // the firmware halted or its main returned
    kExitBadInput = 2,       // scenario, board directory or command line refused
    kExitInternalError = 3,  // the simulator itself failed
    kExitInterrupted = 4,    // stopped by SIGINT or SIGTERM; summary and trace are complete
    kExitPowerCut = 5,       // the scenario cut the power; the board directory holds what a
                             // power cut there leaves
    kExitOutputFailed = 6    // the run ended, but an output file could not be written in full
};
int exit_status(const RunResult &r);

}  // namespace sim
