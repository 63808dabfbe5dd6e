// The interrupt controller's arbitration, the time arithmetic, the summary and the
// trace records, as plain objects (the priorities as firmware sees them:
// hal_services_test.cpp).
#include <gtest/gtest.h>

#include <vector>

#include "sim/nvic.h"
#include "sim/scheduler.h"
#include "sim/summary.h"
#include "sim/trace.h"

namespace {

// Within one group priority nothing pre-empts; the sub-priority, then the lower
// number, decides what is taken next.
TEST(Nvic, SubPriorityAndNumberOrderButDoNotPreempt) {
    sim::Nvic n;
    n.set_priority_grouping(5);  // 2 bits group, 2 bits sub
    n.set_priority(30, 1, 3);
    n.set_priority(31, 1, 0);
    n.set_priority(40, 1, 0);
    for (int irq : {30, 31, 40}) n.enable(irq);
    n.set_pending(30);
    n.enter(30);
    n.set_pending(40);
    n.set_pending(31);
    EXPECT_EQ(n.next_to_take(false), sim::Nvic::kNone);  // same group: no pre-emption
    n.leave(30);
    EXPECT_EQ(n.next_to_take(false), 31);
    EXPECT_EQ(n.preempt_priority(31), 1u);
}

TEST(Scheduler, ScaledCeilIsExactAndDoesNotOverflow) {
    EXPECT_EQ(sim::scaled_ceil(20, 1000000000u, 2u * 115200u), 86806u);      // one 8N1 byte
    EXPECT_EQ(sim::scaled_ceil(2000, 1000000000u, 2u * 115200u), 8680556u);  // 100 bytes
    EXPECT_EQ(sim::scaled_ceil(48000, 1000000000u, 48000000u),
              1000000u);                                            // whole result stays exact
    EXPECT_EQ(sim::scaled_ceil(1, 1000000000u, 48000000u), 21u);    // rounded up
    // Products at the edge of 64 bits: just inside, rounded up without overflow, and
    // just outside.
    const std::uint64_t max = ~std::uint64_t{0};
    EXPECT_EQ(sim::scaled_ceil(max, 1, 2), std::uint64_t{1} << 63);
    EXPECT_EQ(sim::scaled_ceil(max, 1, max - 1), 2u);
    EXPECT_EQ(sim::scaled_ceil(std::uint64_t{1} << 32, std::uint64_t{1} << 32, 3),
              6148914691236517206u);
}

// A note given again keeps its place with the new value; notes are escaped in JSON.
// The ports as the summary record lists them.
TEST(Summary, NotesKeepTheirFirstPlaceAndTheLastValueAndAreEscaped) {
    sim::Summary s;
    s.note("firing", "none");
    s.note("sensor to trigger", "n/a");
    s.note("firing", "type 1 at \"2.5 s\"");
    s.port("USART3").tx = 3;
    const std::string text = s.text();
    EXPECT_LT(text.find("firing: type 1"), text.find("sensor to trigger: n/a"));
    EXPECT_NE(s.json().find("{\"firing\":\"type 1 at \\\"2.5 s\\\"\","
                            "\"sensor to trigger\":\"n/a\"}"),
              std::string::npos)
        << s.json();
    EXPECT_NE(s.json().find("\"USART3\":{\"tx\":3,\"rx\":0,\"lost\":0}"), std::string::npos);
}

TEST(Trace, RecordsAreOneEscapedJsonObjectPerLine) {
    std::string out;
    {
        sim::Trace t;
        t.open_string(&out);
        t.begin(42, "halt")
            .field("reason", "a \"quoted\"\tcontrol\x01\n")
            .field_signed("n", -5)
            .end();
        t.begin(43, "pin").field("level", 1).field_bool("ok", true).end();
        t.close();
    }
    EXPECT_EQ(
        out,
        "{\"t\":42,\"type\":\"halt\",\"reason\":\"a \\\"quoted\\\"\\tcontrol\\u0001\\n\",\"n\":-5}\n"
        "{\"t\":43,\"type\":\"pin\",\"level\":1,\"ok\":true}\n");
}

}  // namespace
