// Fuzzes the flight file's reader and its replay: the input is the file's text, read as a flight and
// as one to seal. A flight it takes is replayed, bounded so that an input stays quick, and must then
// be written and read back the same: what the writer writes, the reader takes.
#include "sim.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Sub-steps one input may replay: a few milliseconds.
constexpr double kSubSteps = 200000;

void check(const sim::Vol& f, const sim::VolEnd& said) {
    const double perCall = std::max(1.0, std::floor(sim::kCall / f.head.dt));
    const long long calls = std::min(said.calls, static_cast<long long>(kSubSteps / perCall));
    std::vector<sim::VolPoint> path;
    sim::VolEnd end = sim::replayVol(f, calls, &path);
    if (path.size() != static_cast<size_t>(calls) + 1 || end.reserve < 0)
        abort();
    end.calls = said.calls; // the file's calls, so that every event still has its call
    const std::string text = sim::writeVol(f, end);
    sim::Vol again;
    sim::VolEnd read;
    sim::VolFault fault;
    if (!sim::readVol(text, &again, &read, &fault) || sim::writeVol(again, read) != text)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    sim::Vol f;
    sim::VolEnd said;
    sim::VolFault fault;
    for (const bool sealing : {false, true}) {
        if (sim::readVol(text, &f, &said, &fault, sealing))
            check(f, said);
        else if (fault.code == sim::VolOk || fault.detail.size() > 200)
            abort(); // a refusal says why, briefly
    }
    return 0;
}
