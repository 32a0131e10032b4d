// One left-button event through the agent on the headless platform, with the diagnostic line
// formatted into a stream that discards it, so the figures leave out the write itself.
#include <benchmark/benchmark.h>

#include <ostream>
#include <streambuf>

#include "app/application_module.h"
#include "gesture/app_delegate.h"
#include "platform/sim/sim_platform.h"

namespace {

using snaplark::AppDelegate;
using snaplark::platform::sim::SimProcess;
using snaplark::platform::sim::SimWorld;

class DiscardBuffer final : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char* /*s*/, std::streamsize n) override { return n; }
};

struct Agent {
    DiscardBuffer buffer;
    std::ostream out{&buffer};
    SimWorld world{out};
    std::unique_ptr<SimProcess> process;

    Agent()
    {
        auto module = snaplark::applicationModule();
        module.makeDelegate = [this](snaplark::platform::Platform& platform) {
            return std::make_unique<AppDelegate>(platform, out);
        };
        process = std::make_unique<SimProcess>(world, module);
    }
};

void BM_ClassifyModifiers(benchmark::State& state)
{
    std::uint64_t flags = 0x100000;
    for (auto _ : state) {
        benchmark::DoNotOptimize(snaplark::classifyModifiers(flags));
        flags ^= 0x20000;
    }
}
BENCHMARK(BM_ClassifyModifiers);

// The copy gesture while suspended: classification, the line, and the synthesizer's settings
// refresh, which posts nothing.
void BM_CopyGestureSuspended(benchmark::State& state)
{
    Agent agent;
    agent.process->chooseMenuEntry("Disable");
    for (auto _ : state)
        agent.process->leftMouse(false, 0x100000);
}
BENCHMARK(BM_CopyGestureSuspended);

// The same gesture active: both key events are made and posted.
void BM_CopyGestureActive(benchmark::State& state)
{
    Agent agent;
    for (auto _ : state)
        agent.process->leftMouse(false, 0x100000);
}
BENCHMARK(BM_CopyGestureActive);

// A press that is no gesture: classification and the line only.
void BM_PlainPress(benchmark::State& state)
{
    Agent agent;
    for (auto _ : state)
        agent.process->leftMouse(true, 0);
}
BENCHMARK(BM_PlainPress);

}  // namespace
