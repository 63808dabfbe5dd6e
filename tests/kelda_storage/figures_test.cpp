// Figures of the storage on the simulated board, each beside what the bus and the
// chip make of it by hand (docs/flash-layout.md quotes them):
//   - writing a full 64 KB sensor-data block, 4608 records back to back;
//   - listing it on the console;
//   - how long a user-data rewrite leaves the device identity only in RAM.
// Run: build/host/tests/kelda_storage/kelda_storage_tests --gtest_filter='Figures.*'
#include <cmath>
#include <cstdio>

#include "flash_user_data.h"
#include "support.h"
#include "sys_sdata.h"

namespace {

using fixture::records;
using ks::kMs;

// QUADSPI at 48 MHz / 256 = 187.5 kHz: one cycle is 16/3 us; each frame's time is
// rounded up to the nanosecond once.
sim::Time frame_ns(uint64_t cycles) {
    return (cycles * 16000 + 2) / 3;
}
const sim::Time kStatusRead = frame_ns(8 + 8);                // 0x05, one byte in
const sim::Time kWriteEnable = frame_ns(8);                   // 0x06
const sim::Time kProgram14 = frame_ns(8 + 32 + 14 * 2);       // 0x34, 1-line address
const sim::Time kRead14 = frame_ns(8 + 32 / 4 + 6 + 14 * 2);  // 0xEC, 4-line address
// One console byte, 8N1 at 115200 baud; a transmit of n bytes is rounded up once.
sim::Time uart_ns(uint64_t bytes) {
    return (bytes * 10 * 1000000000ull + 115199) / 115200;
}

class Figures : public ks::Board {};

TEST_F(Figures, WriteAndListAFullSensorBlock) {
    sim::Time wrote = 0, listed = 0, listed_hal = 0;
    const auto run = cycle(
        [&] {
            ks::bring_up_storage();
            __sys_sdata_info = {5, 0, 0, 0};
            SensorData_TypeDef d = {0, 0, 0, 0, 0, 0, 0};
            while (sys_sdata_write(&d) != -1) {  // the block's erase started
            }
            HAL_Delay(200);
            sys_sdata_block_logged(5);
            const sim::Time t0 = sim::board().now();
            for (int i = 0; i < 4608; ++i) {
                d = {static_cast<int16_t>(i % 1001), static_cast<int16_t>(i), -1, 8192, 0, 7,
                     static_cast<int16_t>(-i)};
                ASSERT_EQ(sys_sdata_write(&d), 0) << i;
            }
            wrote = sim::board().now() - t0;
            const sim::Time t1 = sim::board().now();
            const sim::Time hal1 = sim::board().hal_ns();
            sys_sdata_print(5, 5);
            listed = sim::board().now() - t1;
            listed_hal = sim::board().hal_ns() - hal1;
        },
        120000 * kMs);
    // Bus per record written: status read before, write enable, program, two status
    // reads while the chip programs (0.7 ms), then the read-back: status read, read.
    const sim::Time write_bus =
        kStatusRead + kWriteEnable + kProgram14 + 2 * kStatusRead + kStatusRead + kRead14;
    // Per record listed: status read before, the 14-byte read; then the line.
    const sim::Time list_bus = kStatusRead + kRead14;
    sim::Time uart = 0;
    for (const std::string &line : ks::lines(run.console)) uart += uart_ns(line.size() + 2);
    std::printf(
        "write 4608 records: %.6f s virtual, bus %.6f s; list them: %.6f s virtual = "
        "bus %.6f s + console %.6f s (%zu bytes)\n",
        wrote / 1e9, 4608 * write_bus / 1e9, listed / 1e9, 4608 * list_bus / 1e9, uart / 1e9,
        run.console.size());
    // Each record waits at least for its write enable's HAL_Delay(1) and the poll's
    // (1 to 2 ms each) besides the bus.
    EXPECT_GE(wrote, 4608 * (write_bus + 2 * kMs));
    EXPECT_LE(wrote, 4608 * (write_bus + 4 * kMs));
    // The HAL calls' own fixed cost is counted apart by the board; what is left is bus
    // and console time, to within the part of the calls' cost that overlaps a transfer
    // already under way (the bus and the serial port keep clocking during a call: at
    // most the five calls of a record and its line's transmit).
    EXPECT_LE(listed - listed_hal, 4608 * list_bus + uart);
    EXPECT_GE(listed - listed_hal + 4608 * 6 * 167, 4608 * list_bus + uart);
}

// A rewrite of the user data erases both pages, then programs the area back from
// its stack copy in ascending order: the identity at 3072 is lost from the first
// erase until its second double word is programmed. Measured on the trace of a
// trigger save (an identity write rewrites the area alike), and a power cut inside
// the window shows the loss.
TEST_F(Figures, IdentityLossWindowOfAUserDataRewrite) {
    const auto run = cycle(
        [] {
            ks::bring_up_storage();
            char id[16] = "unit-0042";
            flash_user_data_set_device_id(id);
            flash_user_data_save_trigger_data(2);
        },
        1000 * kMs);
    const auto erases = records(run.trace, "intflash_erase");  // two a rewrite
    ASSERT_EQ(erases.size(), 4u);
    sim::Time window = 0;
    const uint32_t id_dw = 0x08000000 + 256 * 1024 - 4096 + 3072 + 8;
    for (const auto &p : records(run.trace, "intflash_program"))
        if (fixture::field(p, "addr") == id_dw)
            window = fixture::field(p, "t") + fixture::field(p, "busy_ns") -
                     fixture::field(erases[2], "t");
    // By hand: two page erases of 22.02 ms, then 386 double words (3088 bytes, the
    // identity's two included) of 81.69 us each.
    std::printf("identity lost for %.3f ms in a trigger save\n", window / 1e6);
    EXPECT_NEAR(window / 1e6, 2 * 22.02 + 386 * 0.08169, 0.5);
    // A cut as the first word goes back, both pages erased: the next start-up has no
    // identity.
    cycle(
        [] {
            ks::bring_up_storage();
            flash_user_data_save_trigger_data(2);
        },
        1000 * kMs, "power-cut intflash-program 1\n");
    int got = 0;
    cycle(
        [&] {
            ks::bring_up_storage();
            char id[16];
            got = flash_user_data_get_device_id(id);
        },
        100 * kMs);
    EXPECT_EQ(got, -1);
}

}  // namespace
