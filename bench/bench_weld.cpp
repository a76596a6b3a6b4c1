// Welding speed: a million vectors with about 30 % near-duplicates through the library's grid, and
// the plain quadratic search on 20,000 of the same kind for scale. Prints both times.
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "glm.h"
#include "glm_weld_reference.h"

namespace {
const float epsilon = 1e-4f;

// n vectors in [0, 1)^3; about 30 % are copies of an earlier one moved by less than epsilon / 2.
std::vector<float> sample(unsigned n, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_real_distribution<float> jitter(-0.5f * epsilon, 0.5f * epsilon);
    std::vector<float> v(3, 0.0f);
    v.reserve(3 * (size_t(n) + 1));
    for (unsigned i = 1; i <= n; i++) {
        const bool copy = i > 1 && unit(random) < 0.3f;
        const unsigned from = copy ? 1 + random() % (i - 1) : 0;
        for (int k = 0; k < 3; k++)
            v.push_back(copy ? v[3 * from + k] + jitter(random) : unit(random));
    }
    return v;
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}
} // namespace

int main() {
    for (const unsigned n : {1000000u, 20000u}) {
        std::vector<float> v = sample(n, 2024);
        unsigned count = n;
        const auto start = std::chrono::steady_clock::now();
        std::unique_ptr<float[]> welded(glmWeldVectors(v.data(), &count, epsilon));
        printf("glmWeldVectors: %7u vectors -> %7u representatives in %9.1f ms\n", n, count,
               millisecondsSince(start));
    }
    std::vector<float> v = sample(20000, 2024);
    const auto start = std::chrono::steady_clock::now();
    std::vector<float> reps;
    const unsigned count = referenceWeld(v, 20000, epsilon, reps);
    printf("quadratic search: %5u vectors -> %7u representatives in %9.1f ms\n", 20000u, count,
           millisecondsSince(start));
    return 0;
}
