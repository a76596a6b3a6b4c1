// Fuzzes the scenario reader as a run uses it: the input is the scenario file, which a reset reads
// (Lit2) before a few integrator calls, one of them thrusting, each judged by the outcome rules.
#include "fuzz_files.h"
#include "sim.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = fuzz::path("fo.in");
    fuzz::write(file, data, size);
    // Every input starts from the state of a fresh process, so that a finding replays on its own.
    sim::para_phy = sim::ParaPhy();
    sim::t = 0.0;
    sim::nomfichier = file.c_str();
    sim::raz();
    for (int call = 0; call < 4; call++) {
        if (call == 1)
            sim::px = sim::py = sim::pz = sim::para_phy.p;
        sim::nextD();
        sim::collision(sim::X, sim::Y, sim::Z, sim::Xp, sim::Yp, sim::Zp);
    }
    return 0;
}
