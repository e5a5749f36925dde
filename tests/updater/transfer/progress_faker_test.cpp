// The invented apply progress, on its own thread with a recording sink.
#include "updater/transfer/install_events.h"
#include "updater/transfer/progress_faker.h"

#include "framework/handle.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

class RecordingSink : public ZvLib_IInstallEvents {
public:
    void OnInstallGroupBegin(int, int, int, int) override {}
    void OnInstallProgress(int itemId, uint32_t bytesDone, uint32_t totalBytes, double, int, int) override
    {
        std::lock_guard<std::mutex> lock(m);
        ids.push_back(itemId);
        done.push_back(bytesDone);
        total = totalBytes;
    }
    void OnInstallEnd(int itemId, int) override
    {
        std::lock_guard<std::mutex> lock(m);
        ended.push_back(itemId);
    }
    void OnInstallGroupEnd(int) override {}

    std::vector<uint32_t> Done()
    {
        std::lock_guard<std::mutex> lock(m);
        return done;
    }

    std::mutex m;
    std::vector<int> ids;
    std::vector<uint32_t> done;
    std::vector<int> ended;
    uint32_t total = 0;
};

bool WaitUntilFinished(const ZvLib_CProgressFaker& faker)
{
    for (int i = 0; i < 500 && !faker.IsFinished(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return faker.IsFinished();
}

std::wstring UniqueName(const wchar_t* base)
{
    return std::wstring(L"Local\\zvtest.faker.") + base + L"." + std::to_wstring(::GetCurrentProcessId());
}

struct PaceCase {
    uint32_t totalBytes;
    uint32_t durationMs;
    uint32_t stepMs;
};

class FakerPace : public ::testing::TestWithParam<PaceCase> {};

TEST_P(FakerPace, OneSecondPerMebibyteInHundredSteps)
{
    const PaceCase c = GetParam();
    EXPECT_EQ(zv::FakeDurationMs(c.totalBytes), c.durationMs);
    EXPECT_EQ(zv::FakeStepMs(c.totalBytes), c.stepMs);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FakerPace,
                         ::testing::Values(PaceCase{0, 0, 0}, PaceCase{1048576, 1000, 10}, PaceCase{52428800, 50000, 500},
                                           PaceCase{524288, 500, 5}));

struct BytesCase {
    uint32_t step;
    uint32_t totalBytes;
    uint32_t expected;
};

class FakerBytes : public ::testing::TestWithParam<BytesCase> {};

// Step × size overflows 32 bits from about 43 MB on.
TEST_P(FakerBytes, StepBytesDoNotWrap)
{
    const BytesCase c = GetParam();
    EXPECT_EQ(zv::FakeBytesAtStep(c.step, c.totalBytes), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, FakerBytes,
                         ::testing::Values(BytesCase{0, 1000, 0}, BytesCase{50, 1000, 500}, BytesCase{100, 1000, 1000},
                                           BytesCase{99, 52428800, 51904512}, BytesCase{50, 0xFFFFFFF0u, 0x7FFFFFF8u},
                                           BytesCase{100, 0xFFFFFFFFu, 0xFFFFFFFFu}));

TEST(ProgressFaker, EmptyPayloadRunsEveryStepAtOnceAndEndsByItself)
{
    RecordingSink sink;
    ZvLib_CProgressFaker faker;
    faker.Start(7, 0, UniqueName(L"nocancel0"), 0, &sink);
    ASSERT_TRUE(WaitUntilFinished(faker));
    // Step 0 from Start, then steps 0 to 100 from the thread.
    EXPECT_EQ(sink.Done().size(), 102u);
    faker.Stop(0);
    ASSERT_EQ(sink.ended.size(), 1u);
    EXPECT_EQ(sink.ended[0], 7);
}

// A signalled event of the name the faker once used must not stop a new faker.
TEST(ProgressFaker, EventsLeftSignalledByEarlierRunsDoNotEndANewOne)
{
    zv::fw::CHandle stale(::CreateEventW(nullptr, TRUE, TRUE, L"Local\\Quorvane.zvlib_complete_fake_progress_event"));
    ASSERT_TRUE(stale);
    RecordingSink sink;
    ZvLib_CProgressFaker faker;
    faker.Start(1, 0, UniqueName(L"nocancel1"), 0, &sink);
    ASSERT_TRUE(WaitUntilFinished(faker));
    EXPECT_EQ(sink.Done().size(), 102u);
}

TEST(ProgressFaker, SecondFakerAfterAStoppedOneRunsItsSteps)
{
    RecordingSink first, second;
    {
        ZvLib_CProgressFaker faker;
        faker.Start(1, 100u * 1048576u, UniqueName(L"nocancel2"), 0, &first);
        faker.Stop(0);
        EXPECT_TRUE(faker.IsFinished());
    }
    ZvLib_CProgressFaker faker;
    faker.Start(2, 0, UniqueName(L"nocancel3"), 0, &second);
    ASSERT_TRUE(WaitUntilFinished(faker));
    EXPECT_EQ(second.Done().size(), 102u);
}

TEST(ProgressFaker, CancelEventEndsTheLoopAtOnce)
{
    const std::wstring name = UniqueName(L"cancel");
    zv::fw::CHandle cancel(::CreateEventW(nullptr, TRUE, TRUE, name.c_str()));
    ASSERT_TRUE(cancel);
    RecordingSink sink;
    ZvLib_CProgressFaker faker;
    faker.Start(3, 100u * 1048576u, name, 0, &sink); // one step a second
    ASSERT_TRUE(WaitUntilFinished(faker));
    EXPECT_EQ(sink.Done(), std::vector<uint32_t>{0}) << "only the step Start reports";
}

TEST(ProgressFaker, StopEndsARunningFakerAndReportsTheEnd)
{
    RecordingSink sink;
    ZvLib_CProgressFaker faker;
    faker.Start(4, 100u * 1048576u, UniqueName(L"nocancel4"), 0, &sink);
    EXPECT_TRUE(faker.IsRunning());
    EXPECT_FALSE(faker.IsFinished());
    faker.Stop(0);
    EXPECT_TRUE(faker.IsFinished());
    EXPECT_EQ(sink.ended, std::vector<int>{4});
    EXPECT_EQ(sink.total, 100u * 1048576u);
}

TEST(ProgressFaker, PacedStepsReportGrowingBytesOfTheItem)
{
    RecordingSink sink;
    ZvLib_CProgressFaker faker;
    faker.Start(5, 1048576, UniqueName(L"nocancel5"), 0, &sink); // ten milliseconds a step
    ASSERT_TRUE(WaitUntilFinished(faker));
    std::vector<uint32_t> done = sink.Done();
    ASSERT_EQ(done.size(), 102u);
    EXPECT_EQ(done.back(), 1048576u);
    for (size_t i = 1; i < done.size(); ++i) EXPECT_LE(done[i - 1], done[i]);
    for (int id : sink.ids) EXPECT_EQ(id, 5);
}

TEST(ProgressFaker, DestroyingWithoutStopEndsTheThread)
{
    RecordingSink sink;
    auto faker = std::make_unique<ZvLib_CProgressFaker>();
    faker->Start(6, 100u * 1048576u, UniqueName(L"nocancel6"), 0, &sink);
    faker.reset();
    size_t after = sink.Done().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(sink.Done().size(), after);
    EXPECT_TRUE(sink.ended.empty()) << "only Stop reports the end";
}

} // namespace
