// What karvel makes of the library's lines about the effects devices: the
// end line's words and whether a device failed, for the lines the library
// writes (copied from a run against the virtual seat) in the orders they come.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DeviceReport.h"

namespace karvel::cli {
namespace {

constexpr const char* kFanRefused = "[Ridova][ERROR] ModbusTcpClient connect failed to 127.0.0.1:9 (error: 111)";
constexpr const char* kFanNotAnswering = "[Ridova][ERROR] EffectsController fan speed controller not answering at "
                                         "127.0.0.1:9: keeping its latest effect levels, trying again every 1000 ms";

struct LinesCase {
    const char* name;
    std::vector<const char*> lines;
    std::string ending;
    bool relayFailed, fanFailed;
};

class DeviceLines : public ::testing::TestWithParam<LinesCase> {};

TEST_P(DeviceLines, GiveTheEndLineAndTheFailures) {
    DeviceWatch watch;
    for (const char* line : GetParam().lines) watch.note(line);
    const DeviceReports reports = watch.reports();
    EXPECT_EQ(effectsEnding(reports), GetParam().ending);
    EXPECT_EQ(reports[0].failed, GetParam().relayFailed);
    EXPECT_EQ(reports[1].failed, GetParam().fanFailed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceLines,
    ::testing::Values(
        LinesCase{"BothConnected", {"[Ridova][INFO] Effects initialized successfully."}, ", effects off", false, false},
        LinesCase{"FanNeverConnected",
                  {kFanRefused, kFanNotAnswering,
                   "[Ridova][ERROR] EffectsController connection failed: relay=1 speed=0",
                   "[Ridova][ERROR] EffectsController fan speed controller not answering at stop: 1 queued effect jobs "
                   "not sent"},
                  ", effects off at the relay board; not confirmed: the fan speed controller did not answer", false,
                  true},
        LinesCase{"NeitherConnected",
                  {"[Ridova][ERROR] EffectsController connection failed: relay=0 speed=0"},
                  ", effects not confirmed off: the relay board did not answer, the fan speed controller did not answer",
                  true, true},
        LinesCase{"FanBackBeforeTheEnd",
                  {"[Ridova][INFO] Effects initialized successfully.", kFanNotAnswering,
                   "[Ridova][INFO] EffectsController fan speed controller answering again at 127.0.0.1:9"},
                  ", effects off", false, true},
        LinesCase{"RelayRefusedAWrite",
                  {"[Ridova][INFO] Effects initialized successfully.",
                   "[Ridova][ERROR] ModbusTcpClient request failed: relay board, write multiple coils (0x0F): "
                   "exception 0x02 (illegal data address), not retried"},
                  ", effects off at the fan speed controller; not confirmed: the relay board refused a request", true,
                  false},
        LinesCase{"RelayGaveUpAtTheStop",
                  {"[Ridova][INFO] Effects initialized successfully.",
                   "[Ridova][ERROR] EffectsController stop time-out: 2 queued effect jobs not sent to the relay board"},
                  ", effects off at the fan speed controller; not confirmed: the relay board did not answer", true,
                  false},
        LinesCase{"OtherLinesSayNothing",
                  {"[Ridova][INFO] Effects initialized successfully.", kFanRefused,
                   "[Ridova][ERROR] UDPTransportLayer fell behind: 3 stale frames dropped, newest sent (9 in all)"},
                  ", effects off", false, false}),
    [](const ::testing::TestParamInfo<LinesCase>& param) { return param.param.name; });

TEST(DeviceLines, KeepTheFirstFailureWithoutItsTags) {
    DeviceWatch watch;
    watch.note(kFanNotAnswering);
    watch.note("[Ridova][ERROR] EffectsController fan speed controller not answering at stop: 1 queued effect jobs");
    EXPECT_EQ(watch.reports()[1].firstFailure, std::string(kFanNotAnswering).substr(16));
}

} // namespace
} // namespace karvel::cli
