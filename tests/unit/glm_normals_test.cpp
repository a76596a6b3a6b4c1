// Facet and vertex normals: the cube at 90, 0 and 180 degrees, fans, lone and degenerate vertices.
#include <gtest/gtest.h>

#include <cmath>

#include "glm.h"
#include "glm_test_util.h"

namespace {

std::vector<float> normalOf(const GlmModel* m, unsigned slot) {
    return {m->normals[3 * slot], m->normals[3 * slot + 1], m->normals[3 * slot + 2]};
}

std::vector<float> facetOf(const GlmModel* m, unsigned t) {
    const unsigned f = m->triangles[t].facetnormindex;
    return {m->facetnorms[3 * f], m->facetnorms[3 * f + 1], m->facetnorms[3 * f + 2]};
}

GlmModel* cube(float angle) {
    GlmModel* m = readData("cube.obj");
    glmFacetNormals(m);
    glmVertexNormals(m, angle);
    return m;
}

// A model made in memory from positions and faces (1-based vertex indices), all in "default".
GlmModel* makeModel(const std::vector<float>& xyz, const std::vector<unsigned>& faces) {
    GlmModel* m = new GlmModel;
    m->vertexcount = unsigned(xyz.size() / 3);
    m->vertices.assign(3, 0.0f);
    m->vertices.insert(m->vertices.end(), xyz.begin(), xyz.end());
    m->trianglecount = unsigned(faces.size() / 3);
    m->triangles.resize(m->trianglecount);
    GlmGroup* g = glmAddGroup(m, "default");
    for (unsigned t = 0; t < m->trianglecount; t++) {
        for (int k = 0; k < 3; k++)
            m->triangles[t].vertexindices[k] = faces[3 * t + k];
        g->triangles.push_back(t);
    }
    g->trianglecount = m->trianglecount;
    return m;
}

} // namespace

TEST(FacetNormals, CubeFacesPointOutwards) {
    GlmModel* m = readData("cube.obj");
    glmFacetNormals(m);
    EXPECT_EQ(m->facetnormcount, 12u);
    EXPECT_EQ(m->facetnorms.size(), 3u * 13);
    const std::vector<std::vector<float>> faces = {{0, 0, -1}, {0, 0, 1},  {0, -1, 0},
                                                   {0, 1, 0},  {-1, 0, 0}, {1, 0, 0}};
    for (unsigned t = 0; t < 12; t++) {
        EXPECT_EQ(m->triangles[t].facetnormindex, t + 1);
        EXPECT_EQ(facetOf(m, t), faces[t / 2]) << "triangle " << t;
    }
    glmDelete(m);
}

TEST(VertexNormals, CubeAt90AveragesOnlyTheReferenceFace) {
    GlmModel* m = cube(90.0f);
    // Each corner's normal is its own face's; per vertex one shared normal (its highest
    // triangle's face, met in one or two of its corners) and a copy for each other corner.
    EXPECT_EQ(m->normalcount, 8u + (36u - 12u));
    EXPECT_EQ(m->normals.size(), 3u * (m->normalcount + 1));
    for (unsigned t = 0; t < 12; t++)
        for (int k = 0; k < 3; k++)
            EXPECT_EQ(normalOf(m, m->triangles[t].normalindices[k]), facetOf(m, t));
    // Vertex 1: shared normal of the left face (triangle 9 is its highest), then copies for
    // triangles 5, 4 (front) and 1, 0 (bottom), newest first.
    EXPECT_EQ(normalOf(m, 1), (std::vector<float>{-1, 0, 0}));
    EXPECT_EQ(m->triangles[9].normalindices[0], 1u);
    EXPECT_EQ(m->triangles[8].normalindices[0], 1u);
    EXPECT_EQ(m->triangles[5].normalindices[0], 2u);
    EXPECT_EQ(m->triangles[4].normalindices[0], 3u);
    EXPECT_EQ(m->triangles[1].normalindices[0], 4u);
    EXPECT_EQ(m->triangles[0].normalindices[0], 5u);
    EXPECT_EQ(normalOf(m, 6), (std::vector<float>{1, 0, 0})); // vertex 2 starts with the right face
    glmDelete(m);
}

TEST(VertexNormals, CubeAt0GivesEveryCornerItsOwnCopy) {
    GlmModel* m = cube(0.0f);
    EXPECT_EQ(m->normalcount, 36u);
    for (unsigned t = 0; t < 12; t++)
        for (int k = 0; k < 3; k++)
            EXPECT_EQ(normalOf(m, m->triangles[t].normalindices[k]), facetOf(m, t));
    glmDelete(m);
}

TEST(VertexNormals, CubeAt180AveragesEverythingByPlainSum) {
    GlmModel* m = cube(180.0f);
    EXPECT_EQ(m->normalcount, 8u);
    // Vertex 1: two corners on each of its three faces.
    const float a = 1.0f / std::sqrt(3.0f);
    const std::vector<float> n1 = normalOf(m, 1);
    EXPECT_NEAR(n1[0], -a, 1e-6);
    EXPECT_NEAR(n1[1], -a, 1e-6);
    EXPECT_NEAR(n1[2], -a, 1e-6);
    // Vertex 2: one corner on the bottom and front faces, two on the right: (2, -1, -1) / sqrt 6.
    const std::vector<float> n2 = normalOf(m, 2);
    EXPECT_NEAR(n2[0], 2 / std::sqrt(6.0f), 1e-6);
    EXPECT_NEAR(n2[1], -1 / std::sqrt(6.0f), 1e-6);
    EXPECT_NEAR(n2[2], -1 / std::sqrt(6.0f), 1e-6);
    for (unsigned t = 0; t < 12; t++)
        for (int k = 0; k < 3; k++)
            EXPECT_EQ(m->triangles[t].normalindices[k], m->triangles[t].vertexindices[k]);
    glmDelete(m);
}

TEST(VertexNormals, OppositeFacesStayApartAt180) {
    GlmModel* m = makeModel({0, 0, 0, 1, 0, 0, 0, 1, 0}, {1, 2, 3, 1, 3, 2});
    glmFacetNormals(m);
    glmVertexNormals(m, 180.0f);
    // Per vertex: the shared normal of triangle 1 (its own corner) and a copy for triangle 0.
    EXPECT_EQ(m->normalcount, 6u);
    EXPECT_EQ(normalOf(m, 1), (std::vector<float>{0, 0, -1}));
    EXPECT_EQ(normalOf(m, 2), (std::vector<float>{0, 0, 1}));
    glmDelete(m);
}

TEST(VertexNormals, FlatFanSharesOneNormal) {
    GlmModel* m = readData("fan_4_and_5.obj");
    glmFacetNormals(m);
    glmVertexNormals(m, 90.0f);
    EXPECT_EQ(m->normalcount, 5u); // one per vertex; the normals read from the file are gone
    for (unsigned i = 1; i <= 5; i++)
        EXPECT_EQ(normalOf(m, i), (std::vector<float>{0, 0, 1}));
    glmDelete(m);
}

TEST(VertexNormals, LoneVertexIsReportedAndSkipped) {
    GlmModel* m = makeModel({0, 0, 0, 9, 9, 9, 1, 0, 0, 0, 1, 0, 5, 5, 5}, {1, 3, 4});
    glmFacetNormals(m);
    testing::internal::CaptureStderr();
    glmVertexNormals(m, 90.0f);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "glmVertexNormals(): vertex w/o a triangle\nglmVertexNormals(): vertex w/o a triangle\n");
    EXPECT_EQ(m->normalcount, 3u);
    glmDelete(m);
}

TEST(VertexNormals, DegenerateTrianglesGiveZeroNormalsAtEveryCorner) {
    // Triangle 0 names vertex 1 twice; triangle 1 has its corners on one line.
    GlmModel* m = makeModel({0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 1, 0}, {1, 1, 2, 1, 2, 3, 1, 2, 4});
    for (GlmTriangle& t : m->triangles)
        t.normalindices[0] = t.normalindices[1] = t.normalindices[2] = 1000; // stale indices
    glmFacetNormals(m);
    EXPECT_EQ(facetOf(m, 0), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(facetOf(m, 1), (std::vector<float>{0, 0, 0}));
    glmVertexNormals(m, 90.0f);
    for (unsigned t = 0; t < 3; t++)
        for (int k = 0; k < 3; k++) {
            const unsigned n = m->triangles[t].normalindices[k];
            ASSERT_TRUE(n >= 1 && n <= m->normalcount) << t << " " << k;
            for (float f : normalOf(m, n))
                EXPECT_FALSE(std::isnan(f));
        }
    EXPECT_EQ(normalOf(m, m->triangles[2].normalindices[0]), (std::vector<float>{0, 0, 1}));
    glmDelete(m);
}

TEST(VertexNormals, RunAgainReplacesTheNormals) {
    GlmModel* m = cube(90.0f);
    glmVertexNormals(m, 0.0f);
    EXPECT_EQ(m->normalcount, 36u);
    EXPECT_EQ(m->normals.size(), 3u * 37);
    glmDelete(m);
}

TEST(NormalsDeath, PreconditionsAbortWithTheirExpression) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(glmFacetNormals(nullptr), "^glm:[0-9]+: failed assertion `model'\n$");
    GlmModel empty;
    EXPECT_DEATH(glmFacetNormals(&empty), "^glm:[0-9]+: failed assertion `model->vertices'\n$");
    EXPECT_DEATH(glmVertexNormals(nullptr, 90.0f), "^glm:[0-9]+: failed assertion `model'\n$");
    EXPECT_DEATH(glmVertexNormals(&empty, 90.0f), "^glm:[0-9]+: failed assertion `model->facetnorms'\n$");
}
