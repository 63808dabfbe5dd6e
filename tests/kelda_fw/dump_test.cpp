// The dump service: the dump input acts only when held; then two-byte requests list
// the power-cycle log and sensor-data block ranges, half requests and bytes sent
// during a listing are dropped, and releasing the input gives the console back.
#include <gtest/gtest.h>

#include "support.h"

namespace {

using namespace kfw;

const std::string kEndLine = "END" + std::string(75, '!') + "\r\n";

TEST(DumpService, HeldInputRequestsResynchronisationAndRelease) {
    const std::string body =
        "at 3s pin PA12 0\nat 3.02s pin PA12 1\n"  // a glitch
        "at 4s pin PA12 0\nat 4.9s pin PA12 1\n"   // held, but not for a second
        "at 8s pin PA12 0\n"
        "at 10s console hex FFFF\n"   // the power-cycle log
        "at 11s console dec 5\n"      // half a request, timed out ...
        "at 12s console dec 1 1\n"    // ... so this is block 1, not 5 to 1
        "at 14s console dec 0 3\n"    // a zero byte: ignored
        "at 15s console dec 255 2\n"  // 255..510, 1, 2
        "at 15.5s console dec 3 3\n"  // sent during that listing: dropped
        "at 230s console dec 1 1\n"
        "at 234s pin PA12 1\n"
        "at 236s console \"show rtc\\r\"\n";
    const Result r = run(scratch("dump") / "board", scenario("240s", body));
    ASSERT_EQ(r.status, 0) << r.summary;

    // The tick ran until the input had been held for a second, then never again;
    // the LEDs say "not armed" from then on.
    const auto &ticks = r.ticks;
    for (Time s = 2 * kS; s < 8 * kS; s += kS) EXPECT_EQ(between(ticks, s, s + kS), 100u) << s;
    EXPECT_GT(ticks.back(), 8990 * kMs);
    EXPECT_LT(ticks.back(), 9030 * kMs);
    EXPECT_GT(r.edges("PA10", 1).back(), ticks.back());
    EXPECT_GT(r.edges("PA11", 0).back(), r.edges("PA11", 1).back());

    const std::string out = r.console.substr(r.console.find("System Ready!\r\n") + 15);
    EXPECT_EQ(out.rfind("0000  time[1] :  2025-06-01 08:00:01 100  B:1\r\nSD_block 1\r\n00,", 0),
              0u)
        << out.substr(0, 200);
    EXPECT_EQ(count(out, kEndLine), 3u);
    EXPECT_EQ(count(out, "SD_block 3\r\n"), 0u);  // the request sent during a listing
    // 255..510, 1, 2 (the listing's wrap is the console's "sdata 510 1"), then block 1.
    const std::size_t wrap = out.find("SD_block 255\r\n");
    ASSERT_NE(wrap, std::string::npos);
    EXPECT_NE(out.find(kEndLine + "SD_block 1\r\n00,", wrap), std::string::npos);
    // The console's own reception is back once the input is let go.
    EXPECT_NE(out.find("show rtc\r\r\n" + std::string(78, '-') + "\r\nRTC : 2025-06-01 08:03:5"),
              std::string::npos);
}

}  // namespace
