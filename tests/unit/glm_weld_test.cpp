// Welding against the plain quadratic search it must reproduce exactly, on random and grid-aligned
// inputs, and winding reversal.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <tuple>

#include "glm_models.h"
#include "glm_weld_reference.h"

namespace {
// Welds `vectors` (entries 1..n) both ways and compares the counts, the representatives bit for bit
// and every index written back. Returns the number of representatives.
unsigned expectSameAsReference(const std::vector<float>& vectors, float epsilon) {
    const unsigned n = static_cast<unsigned>(vectors.size() / 3 - 1);
    std::vector<float> byReference = vectors;
    std::vector<float> reps;
    const unsigned expected = referenceWeld(byReference, n, epsilon, reps);

    std::vector<float> byGrid = vectors;
    unsigned count = n;
    std::unique_ptr<float[]> welded(glmWeldVectors(byGrid.data(), &count, epsilon));
    EXPECT_EQ(count, expected);
    if (count == expected) {
        EXPECT_EQ(std::memcmp(welded.get() + 3, reps.data() + 3, 3 * sizeof(float) * count), 0);
    }
    unsigned wrong = 0;
    for (unsigned i = 1; i <= n; i++)
        if (byGrid[3 * i] != byReference[3 * i] && ++wrong <= 5)
            ADD_FAILURE() << "vector " << i << ": index " << byGrid[3 * i] << ", expected "
                          << byReference[3 * i];
    EXPECT_EQ(wrong, 0u);
    return expected;
}

// n vectors in [0, 1)^3, about `share` of them copies of an earlier one moved by up to 1.5 epsilon
// on each axis, so that some copies match and some fall just outside.
std::vector<float> nearDuplicates(unsigned n, float epsilon, double share, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_real_distribution<float> jitter(-1.5f * epsilon, 1.5f * epsilon);
    std::vector<float> v(3, 0.0f);
    for (unsigned i = 1; i <= n; i++) {
        if (i > 1 && unit(random) < share) {
            const unsigned from = 1 + random() % (i - 1);
            for (int k = 0; k < 3; k++)
                v.push_back(v[3 * from + k] + jitter(random));
        } else {
            for (int k = 0; k < 3; k++)
                v.push_back(unit(random));
        }
    }
    return v;
}

// The number of different vectors among entries 1..n.
unsigned distinct(const std::vector<float>& v) {
    std::set<std::tuple<float, float, float>> seen;
    for (size_t i = 3; i < v.size(); i += 3)
        seen.insert({v[i], v[i + 1], v[i + 2]});
    return static_cast<unsigned>(seen.size());
}

// Points on a lattice `step` apart, in random order with repeats.
std::vector<float> lattice(unsigned n, float step, float offset, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<float> v(3, 0.0f);
    for (unsigned i = 0; i < 3 * n; i++)
        v.push_back(offset + static_cast<float>(static_cast<int>(random() % 9) - 4) * step);
    return v;
}
} // namespace

TEST(WeldVectors, SmallCases) {
    // Three distinct vectors keep their order.
    std::vector<float> v = {0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    unsigned count = 3;
    std::unique_ptr<float[]> w(glmWeldVectors(v.data(), &count, 0.5f));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(std::vector<float>(w.get() + 3, w.get() + 12), (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(v[3], 1.0f);
    EXPECT_EQ(v[6], 2.0f);
    EXPECT_EQ(v[9], 3.0f);

    // P, Q, R on the x axis: Q is within epsilon of P and of R, R is not within epsilon of P.
    v = {0, 0, 0, 0, 0, 0, 0.6f, 0, 0, 1.2f, 0, 0};
    count = 3;
    w.reset(glmWeldVectors(v.data(), &count, 1.0f));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(w[3], 0.0f);
    EXPECT_EQ(w[6], 1.2f);
    EXPECT_EQ(v[3], 1.0f);
    EXPECT_EQ(v[6], 1.0f);
    EXPECT_EQ(v[9], 2.0f);

    // A vector within epsilon of two representatives takes the lower-numbered one.
    v = {0, 0, 0, 0, 0, 0, 1.5f, 0, 0, 0.75f, 0, 0};
    count = 3;
    w.reset(glmWeldVectors(v.data(), &count, 1.0f));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(v[9], 1.0f);

    // Nothing at all.
    count = 0;
    w.reset(glmWeldVectors(v.data(), &count, 1.0f));
    EXPECT_EQ(count, 0u);
}

TEST(WeldVectors, ZeroToleranceMergesNothing) {
    std::vector<float> v(3, 0.0f);
    for (int i = 0; i < 100; i++)
        v.insert(v.end(), {1, 2, 3});
    EXPECT_EQ(expectSameAsReference(v, 0.0f), 100u);
    EXPECT_EQ(expectSameAsReference(v, -1.0f), 100u);
    EXPECT_EQ(expectSameAsReference(v, std::nanf("")), 100u);
    EXPECT_EQ(expectSameAsReference(v, FLT_MIN), 1u);
}

TEST(WeldVectors, RandomNearDuplicatesMatchTheReference) {
    for (unsigned seed = 1; seed <= 4; seed++) {
        SCOPED_TRACE(seed);
        expectSameAsReference(nearDuplicates(3000, 0.01f, 0.3, seed), 0.01f);
        // Crowded: many representatives per cell and long would-be chains.
        expectSameAsReference(nearDuplicates(3000, 0.05f, 0.8, seed), 0.05f);
    }
}

TEST(WeldVectors, LatticeExactlyEpsilonApart) {
    for (unsigned seed = 1; seed <= 3; seed++) {
        SCOPED_TRACE(seed);
        // Neighbours are exactly epsilon apart and the test is strict: only repeats merge.
        for (const float offset : {0.0f, 3.0f}) {
            const std::vector<float> v = lattice(2000, 0.125f, offset, seed);
            EXPECT_EQ(expectSameAsReference(v, 0.125f), distinct(v));
        }
        // Steps that are not exact binary fractions put differences a rounding step either side.
        expectSameAsReference(lattice(2000, 0.1f, 0.0f, seed), 0.1f);
        expectSameAsReference(lattice(2000, 0.1f, 1000.0f, seed), 0.1f);
        expectSameAsReference(lattice(2000, 0.3f, 0.7f, seed), 0.3f);
        // Half a step: everything within one step merges, starting from whatever came first.
        expectSameAsReference(lattice(2000, 0.125f, 0.0f, seed), 0.2f);
    }
}

TEST(WeldVectors, NonFiniteCoordinatesNeverMerge) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::nanf("");
    std::vector<float> v = {0,   0, 0, nan, 0, 0, nan,    0, 0,    inf, 1, 1,
                            inf, 1, 1, 0,   0, 0, 0.001f, 0, -inf, 0,   0, 0};
    EXPECT_EQ(expectSameAsReference(v, 0.1f), 6u);
    EXPECT_EQ(expectSameAsReference(v, inf), 6u);
}

TEST(WeldVectors, ExtremeTolerances) {
    // Everything finite merges into the first vector.
    std::vector<float> v = nearDuplicates(2000, 0.01f, 0.3, 7);
    EXPECT_EQ(expectSameAsReference(v, 1e30f), 1u);
    EXPECT_EQ(expectSameAsReference(v, std::numeric_limits<float>::infinity()), 1u);
    // Unless the differences themselves overflow.
    v.insert(v.end(), {FLT_MAX, 0, 0, -FLT_MAX, 0, 0, FLT_MAX, 1, 1});
    EXPECT_EQ(expectSameAsReference(v, 1e38f), 3u);

    // A tolerance far below the spacing of the coordinates: only equal vectors merge.
    std::vector<float> w = lattice(3000, 1.0f, 0.0f, 3);
    EXPECT_EQ(expectSameAsReference(w, 1e-30f), distinct(w));
    EXPECT_EQ(expectSameAsReference(w, FLT_TRUE_MIN), distinct(w));
}

TEST(WeldVectors, CoordinatesAcrossTheExactKeyBoundary) {
    // With epsilon 1e-6 the grid keys coordinates beyond about 2.2e6 by their value; points on both
    // sides of that boundary, a few float steps apart, must weld as the plain search does.
    std::mt19937 random(11);
    std::vector<float> v(3, 0.0f);
    for (int i = 0; i < 3000; i++)
        for (int k = 0; k < 3; k++)
            v.push_back(2199023.0f + 0.25f * static_cast<float>(random() % 16));
    expectSameAsReference(v, 1e-6f);
    expectSameAsReference(v, 0.3f);
    expectSameAsReference(v, 0.5f);
}

TEST(Weld, ModelTrianglesAreRenumbered) {
    GlmModelPtr m = glmNewModel();
    // Vertices 3 and 4 repeat 1 and 2 up to 1e-4.
    glmFill(m->vertices, m->vertexcount, 3, {0, 0, 0, 1, 0, 0, 0, 0, 1e-4f, 1.00001f, 0, 0, 0, 1, 0});
    glmFill(m->normals, m->normalcount, 3, {0, 0, 1});
    m->triangles = {glmTri(1, 2, 5), glmTri(3, 5, 4)};
    m->triangles[1].normalindices[0] = 1;
    m->trianglecount = 2;
    glmWeld(m.get(), 1e-3f);

    EXPECT_EQ(m->vertexcount, 3u);
    EXPECT_EQ(m->vertices, (std::vector<float>{0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(std::vector<unsigned>(m->triangles[0].vertexindices, m->triangles[0].vertexindices + 3),
              (std::vector<unsigned>{1, 2, 3}));
    EXPECT_EQ(std::vector<unsigned>(m->triangles[1].vertexindices, m->triangles[1].vertexindices + 3),
              (std::vector<unsigned>{1, 3, 2}));
    EXPECT_EQ(m->triangles[1].normalindices[0], 1u);
    EXPECT_EQ(m->normals, (std::vector<float>{0, 0, 0, 0, 0, 1}));
}

TEST(ReverseWinding, CornersAndNormals) {
    GlmModelPtr m = glmNewModel();
    glmFill(m->vertices, m->vertexcount, 3, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    glmFill(m->normals, m->normalcount, 3, {0, 0, 1, 0, -0.0f, 2});
    glmFill(m->texcoords, m->texcoordcount, 2, {0, 0, 1, 1});
    glmFill(m->facetnorms, m->facetnormcount, 3, {0, 0, 1});
    GlmTriangle t = glmTri(1, 2, 3);
    for (unsigned j = 0; j < 3; j++) {
        t.normalindices[j] = 4 + j;
        t.texcoordindices[j] = 7 + j;
    }
    t.facetnormindex = 1;
    m->triangles = {t};
    m->trianglecount = 1;
    const GlmModelPtr before = glmNewModel();
    *before = *m;

    glmReverseWinding(m.get());
    const GlmTriangle& r = m->triangles[0];
    EXPECT_EQ(std::vector<unsigned>(r.vertexindices, r.vertexindices + 3), (std::vector<unsigned>{3, 2, 1}));
    EXPECT_EQ(std::vector<unsigned>(r.normalindices, r.normalindices + 3), (std::vector<unsigned>{6, 5, 4}));
    EXPECT_EQ(std::vector<unsigned>(r.texcoordindices, r.texcoordindices + 3),
              (std::vector<unsigned>{9, 8, 7}));
    EXPECT_EQ(r.facetnormindex, 1u);
    EXPECT_EQ(m->facetnorms, (std::vector<float>{0, 0, 0, -0.0f, -0.0f, -1}));
    EXPECT_EQ(m->normals[5], -1.0f);
    EXPECT_FALSE(std::signbit(m->normals[7])); // -0 turns into +0
    EXPECT_EQ(m->normals[8], -2.0f);
    EXPECT_EQ(m->texcoords, before->texcoords);

    // Twice restores every bit.
    glmReverseWinding(m.get());
    EXPECT_EQ(std::memcmp(m->normals.data(), before->normals.data(), m->normals.size() * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(m->facetnorms.data(), before->facetnorms.data(), 6 * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(&m->triangles[0], &before->triangles[0], sizeof(GlmTriangle)), 0);
}

TEST(ReverseWinding, CountsDecideWhichIndicesTurn) {
    GlmModelPtr m = glmNewModel();
    glmFill(m->vertices, m->vertexcount, 3, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    glmFill(m->facetnorms, m->facetnormcount, 3, {0, 0, 1});
    GlmTriangle t = glmTri(1, 2, 3);
    t.normalindices[0] = 4; // stray indices, but the model has no normals or texture coordinates
    t.texcoordindices[2] = 9;
    m->triangles = {t};
    m->trianglecount = 1;
    glmReverseWinding(m.get());
    const GlmTriangle& r = m->triangles[0];
    EXPECT_EQ(std::vector<unsigned>(r.vertexindices, r.vertexindices + 3), (std::vector<unsigned>{3, 2, 1}));
    EXPECT_EQ(r.normalindices[0], 4u);
    EXPECT_EQ(r.texcoordindices[2], 9u);
    EXPECT_EQ(m->facetnorms[5], -1.0f);
}

using ReverseWindingDeathTest = testing::Test;

TEST(ReverseWindingDeathTest, NullModel) {
    EXPECT_DEATH(glmReverseWinding(nullptr), "glm:[0-9]+: failed assertion `model'\n");
}
