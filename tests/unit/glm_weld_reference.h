// The plain quadratic weld that the library's grid must reproduce exactly: every vector against every
// representative found so far, the lowest-numbered match winning. Shared by the tests and the
// welding benchmark.
#pragma once

#include <vector>

#include "glm.h"

// Welds entries 1..n of `vectors` in place (the first component of each becomes its representative's
// index) and fills `reps` with the representatives from entry 1. Returns their number.
inline unsigned referenceWeld(std::vector<float>& vectors, unsigned n, float epsilon, std::vector<float>& reps) {
    reps.assign(3, 0.0f);
    unsigned count = 0;
    for (unsigned i = 1; i <= n; i++) {
        unsigned found = 0;
        for (unsigned j = 1; j <= count && found == 0; j++)
            if (glmEqual(&reps[3 * j], &vectors[3 * i], epsilon))
                found = j;
        if (found == 0) {
            reps.insert(reps.end(), &vectors[3 * i], &vectors[3 * i] + 3);
            found = ++count;
        }
        vectors[3 * i] = static_cast<float>(found);
    }
    return count;
}
