// The plain quadratic weld that the library's grid must reproduce exactly: every vector against every
// representative found so far, the lowest-numbered match winning. Shared by the tests and the welding
// benchmark. Welds entries 1..n of vectors in place (the first component of each becomes its
// representative's index), puts the representatives in reps from entry 1, and returns their number.
#pragma once

#include <vector>

#include "glm.h"

inline unsigned referenceWeld(std::vector<float>& vectors, unsigned n, float epsilon,
                              std::vector<float>& reps) {
    reps.assign(3, 0.0f);
    for (unsigned i = 1; i <= n; i++) {
        size_t found = 1;
        while (found < reps.size() / 3 && !glmEqual(&reps[3 * found], &vectors[3 * i], epsilon))
            found++;
        if (found == reps.size() / 3)
            reps.insert(reps.end(), &vectors[3 * i], &vectors[3 * i] + 3);
        vectors[3 * i] = float(found);
    }
    return unsigned(reps.size() / 3 - 1);
}
