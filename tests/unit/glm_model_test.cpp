// What the library does to a model: normals, and welding against the plain quadratic search it must
// reproduce; and the checks that stop a call on a spoilt model.
#include <gmock/gmock.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "glm_test_util.h"
#include "glm_weld_reference.h"

TEST(VertexNormals, CubeAtThreeAnglesAndOddVertices) {
    // At 90 and 0 degrees each corner of the cube gets its face's normal, one per face around a vertex
    // at 90, one per corner at 0. At 180 all around a vertex are summed: (2, -1, -1) / sqrt 6 at vertex 2.
    for (const float angle : {90.0f, 0.0f, 180.0f}) {
        GlmModel* m = readData("cube.obj");
        glmFacetNormals(m);
        glmVertexNormals(m, angle);
        EXPECT_EQ(m->normalcount, angle == 90 ? 32u : angle == 0 ? 36u : 8u);
        for (const GlmTriangle& t : m->triangles)
            for (int k = 0; k < 3 * 3; k++) {
                const float* n = &m->normals[3 * t.normalindices[k / 3]] + k % 3; // at 180 only vertex 2's
                const float want = angle < 180                   ? m->facetnorms[3 * t.facetnormindex + k % 3]
                                   : t.vertexindices[k / 3] == 2 ? (k % 3 ? -1 : 2) / std::sqrt(6.0f)
                                                                 : *n;
                EXPECT_NEAR(*n, want, 1e-6) << angle;
            }
        glmDelete(m);
    }
    // Vertices 2 and 5 in no triangle; every corner gets a normal, zero where the triangle has no area.
    GlmModel* m = readData("lone_and_degenerate.obj");
    glmFacetNormals(m);
    EXPECT_EQ(printed([&] { glmVertexNormals(m, 90.0f); }),
              "glmVertexNormals(): vertex w/o a triangle\nglmVertexNormals(): vertex w/o a triangle\n");
    EXPECT_EQ(trianglesOf(m), "1/0/4 1/0/3 3/0/7;1/0/2 3/0/6 4/0/8;1/0/1 3/0/5 6/0/9;");
    EXPECT_EQ(std::count_if(m->normals.begin(), m->normals.end(), [](float f) { return std::isnan(f); }), 0);
    glmDelete(m);
}

// n vectors: coordinates offset + step * k for k from -4 to 4, or uniform in [0, 1) with step 0; a
// share of them copies of an earlier vector moved by up to jitter on each axis.
static std::vector<float> points(unsigned n, unsigned seed, float step, float offset, float share,
                                 float jitter) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> unit(0, 1), shift(-jitter, jitter);
    std::vector<float> v(3, 0.0f);
    for (unsigned i = 1; i <= n; i++) {
        const unsigned from = i > 1 && unit(rng) < share ? 1 + rng() % (i - 1) : 0;
        for (int k = 0; k < 3; k++)
            v.push_back(from       ? v[3 * from + k] + shift(rng)
                        : step > 0 ? offset + step * float(int(rng() % 9) - 4)
                                   : unit(rng));
    }
    return v;
}

TEST(WeldVectors, SameAsTheQuadraticSearch) {
    const float inf = INFINITY, nan = NAN;
    const std::pair<std::vector<float>, std::vector<float>> cases[] = {
        {points(3000, 1, 0, 0, 0.3f, 0.015f), {0.01f}},     // some copies match, some fall just outside
        {points(3000, 2, 0, 0, 0.8f, 0.075f), {0.05f}},     // crowded cells, would-be chains
        {points(2000, 3, 0.125f, 0, 0, 0), {0.125f, 0.2f}}, // neighbours exactly epsilon apart
        {points(2000, 4, 0.1f, 1000, 0, 0), {0.1f}},        // differences a rounding step either side
        {points(3000, 6, 0.25f, 2199024, 0, 0), {1e-6f, 0.3f, 0.5f}}, // around the exactly keyed range
        {points(3000, 8, 1, 0, 0, 0), {0, -1, nan, 1e-30f, FLT_TRUE_MIN}},
        {{0, 0, 0, nan, 0, 0, nan, 0, 0, inf, 1, 1, inf, 1, 1, 0, 0, 0, 0.001f, 0, -inf}, {0.1f, inf}},
        {{0, 0, 0, 1, 2, 3, FLT_MAX, 0, 0, -FLT_MAX, 0, 0, FLT_MAX, 1, 1, -4, 5, 6}, {1e30f, inf, 1e38f}}};
    for (const auto& [vectors, tolerances] : cases)
        for (const float epsilon : tolerances) {
            const unsigned n = unsigned(vectors.size() / 3 - 1);
            std::vector<float> byGrid = vectors, byReference = vectors, reps;
            unsigned count = n;
            const std::unique_ptr<float[]> welded(glmWeldVectors(byGrid.data(), &count, epsilon));
            ASSERT_EQ(count, referenceWeld(byReference, n, epsilon, reps)) << epsilon; // then the same bits
            EXPECT_EQ(memcmp(welded.get() + 3, reps.data() + 3, 3 * sizeof(float) * count), 0) << epsilon;
            EXPECT_EQ(memcmp(byGrid.data(), byReference.data(), byGrid.size() * sizeof(float)), 0) << epsilon;
        }
    GlmModel* m = readData("near_duplicates.obj"); // and its triangles renumbered
    glmWeld(m, 1e-3f);
    EXPECT_EQ(m->vertices, (std::vector<float>{0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(trianglesOf(m), "1/0/0 2/0/0 3/0/0;1/0/0 3/0/0 2/0/0;");
    glmDelete(m);
}

TEST(ModelChecksDeathTest, PreconditionsAndSpoiltModelsStopNamingTheExpression) {
    // A failed precondition, or a model changed by hand so that a count or an index names nothing:
    // the call stops at once rather than reading outside an array. glmDraw checks before any GL call.
    GlmModel empty;
    const std::pair<std::function<void(GlmModel*)>, const char*> cases[] = {
        {[](GlmModel*) { glmFacetNormals(nullptr); }, "model"},
        {[&](GlmModel*) { glmDraw(&empty, 0); }, "model->vertices"},
        {[](GlmModel* m) { m->triangles[3].vertexindices[1] = 9, glmVertexNormals(m, 90.0f); },
         "t.vertexindices[k] >= 1 && t.vertexindices[k] <= model->vertexcount"},
        {[](GlmModel* m) { m->trianglecount++, glmDraw(m, 0); },
         "model->triangles.size() == model->trianglecount"},
        {[](GlmModel* m) { m->groups->triangles[0] = 12, glmSpheremapTexture(m); },
         "t < model->trianglecount"},
        {[](GlmModel* m) { m->triangles[5].normalindices[2] = 99, glmDraw(m, GlmModeSmooth); },
         "t.normalindices[k] <= model->normalcount"},
        {[](GlmModel* m) { m->vertexcount = 40, glmWeld(m, 0.1f); },
         "glmEntries(model->vertices, 3) == model->vertexcount"}};
    for (const auto& [call, expression] : cases) {
        GlmModel* m = readData("cube.obj");
        glmFacetNormals(m);
        glmVertexNormals(m, 90.0f);
        EXPECT_DEATH(call(m), testing::AllOf(testing::StartsWith("glm:"),
                                             testing::HasSubstr(std::string(": failed assertion `") +
                                                                expression + "'\n")));
        glmDelete(m);
    }
}

TEST(WriteOBJ, EveryModeReadsBackAsWritten) {
    // The cube with facet and vertex normals and planar texture coordinates, written in each mode
    // and read again: the vertices, and each corner's texture and normal as the mode asks for them.
    GlmModel* m = readData("cube.obj");
    glmFacetNormals(m);
    glmVertexNormals(m, 90.0f);
    glmLinearTexture(m);
    for (const unsigned mode : {0u, 1u, 2u, 4u, 4u | 2u, 4u | 1u}) {
        const std::string path = tempFile("written.obj");
        EXPECT_EQ(printed([&] { glmWriteOBJ(m, path.c_str(), mode); }), "") << mode;
        GlmModel* r = readData(path);
        std::string want;
        for (const GlmTriangle& t : m->triangles)
            for (int k = 0; k < 3; k++)
                want += std::to_string(t.vertexindices[k]) + "/" +
                        std::to_string(mode & 4 ? t.texcoordindices[k] : 0) + "/" +
                        std::to_string(mode & 2   ? t.normalindices[k]
                                       : mode & 1 ? t.facetnormindex
                                                  : 0) +
                        (k < 2 ? " " : ";");
        EXPECT_EQ(trianglesOf(r), want) << mode;
        EXPECT_EQ(r->vertices, m->vertices);
        EXPECT_EQ(r->normals, mode & 2   ? m->normals
                              : mode & 1 ? m->facetnorms
                                         : std::vector<float>{})
            << mode;
        EXPECT_EQ(r->texcoords, mode & 4 ? m->texcoords : std::vector<float>{}) << mode;
        glmDelete(r);
    }
    // Reversed twice, the model is as it was; once, every normal points the other way.
    const std::string before = trianglesOf(m);
    const std::vector<float> normals = m->normals;
    glmReverseWinding(m);
    EXPECT_EQ(m->normals[3] + normals[3] + m->normals[5] + normals[5], 0.0f);
    EXPECT_NE(trianglesOf(m), before);
    glmReverseWinding(m);
    EXPECT_EQ(trianglesOf(m), before);
    glmDelete(m);

    // Materials: the library is written beside the model, "default" with them, so that it comes back
    // second; each group, read back under its name after a blank, keeps its material.
    m = readData("mtllib_after_usemtl.obj");
    const std::string path = tempFile("with_materials.obj");
    printed([&] { glmWriteOBJ(m, path.c_str(), GlmModeMaterial); });
    GlmModel* r = readData(path);
    ASSERT_EQ(r->materialcount, m->materialcount + 1);
    for (unsigned k = 0; k < m->materialcount; k++)
        EXPECT_EQ(std::vector<float>(r->materials[k + 1].diffuse, r->materials[k + 1].diffuse + 4),
                  std::vector<float>(m->materials[k].diffuse, m->materials[k].diffuse + 4));
    for (const GlmGroup* g = m->groups; g; g = g->next) {
        const GlmGroup* h = glmFindGroup(r, (" " + g->name).c_str());
        ASSERT_TRUE(h) << g->name;
        EXPECT_EQ(r->materials[h->material].name, m->materials[g->material].name);
        EXPECT_EQ(h->trianglecount, g->trianglecount);
    }
    glmDelete(r);
    glmDelete(m);
}
