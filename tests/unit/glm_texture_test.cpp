// Generated texture coordinates: the linear projection onto x-z and the sphere map of the normals.
#include <gtest/gtest.h>

#include <cmath>

#include "glm_models.h"

namespace {
// Unit cube centred on the origin: vertex 1 + (x, y, z bits) has coordinates -0.5 or 0.5.
GlmModelPtr cube() {
    GlmModelPtr m = glmNewModel();
    m->vertices.assign(3, 0.0f);
    for (int i = 0; i < 8; i++)
        for (int k = 0; k < 3; k++)
            m->vertices.push_back((i >> k) & 1 ? 0.5f : -0.5f);
    m->vertexcount = 8;
    m->triangles = {glmTri(1, 2, 4), glmTri(1, 4, 3), glmTri(5, 6, 8)};
    m->trianglecount = 3;
    glmPushGroup(m.get(), "default", {0, 1});
    glmPushGroup(m.get(), "top", {2});
    return m;
}

// The texture coordinate a corner of the triangle points at.
std::pair<float, float> corner(const GlmModel* m, unsigned triangle, int j) {
    const unsigned t = m->triangles[triangle].texcoordindices[j];
    return {m->texcoords[2 * t], m->texcoords[2 * t + 1]};
}
} // namespace

TEST(LinearTexture, UnitCubeSpansTheTexture) {
    GlmModelPtr m = cube();
    glmFill(m->texcoords, m->texcoordcount, 2, {0.3f, 0.3f}); // from the file: replaced
    for (GlmTriangle& t : m->triangles)
        t.texcoordindices[0] = t.texcoordindices[1] = t.texcoordindices[2] = 1;
    glmLinearTexture(m.get());

    ASSERT_EQ(m->texcoordcount, 8u);
    ASSERT_EQ(m->texcoords.size(), 18u);
    for (unsigned i = 1; i <= 8; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(m->texcoords[2 * i], m->vertices[3 * i] < 0 ? 0.0f : 1.0f);
        EXPECT_EQ(m->texcoords[2 * i + 1], m->vertices[3 * i + 2] < 0 ? 0.0f : 1.0f);
    }
    // Vertices 1 and 3 differ only in y.
    EXPECT_EQ(m->texcoords[2], m->texcoords[6]);
    EXPECT_EQ(m->texcoords[3], m->texcoords[7]);
    for (unsigned k = 0; k < 3; k++)
        for (int j = 0; j < 3; j++)
            EXPECT_EQ(m->triangles[k].texcoordindices[j], m->triangles[k].vertexindices[j]);
    EXPECT_EQ(corner(m.get(), 2, 2), std::make_pair(1.0f, 1.0f)); // vertex 8 at (0.5, 0.5, 0.5)
}

TEST(LinearTexture, ScaleComesFromTheLargestSpan) {
    GlmModelPtr m = glmNewModel();
    // Spans 4 (x), 2 (y), 1 (z): k = 0.5.
    glmFill(m->vertices, m->vertexcount, 3, {-1, -1, 0, 3, 1, 1, 1, 0, 0.5f});
    glmLinearTexture(m.get());
    EXPECT_FLOAT_EQ(m->texcoords[2], 0.25f);
    EXPECT_FLOAT_EQ(m->texcoords[3], 0.5f);
    EXPECT_FLOAT_EQ(m->texcoords[4], 1.25f);
    EXPECT_FLOAT_EQ(m->texcoords[5], 0.75f);
    EXPECT_FLOAT_EQ(m->texcoords[6], 0.75f);
    EXPECT_FLOAT_EQ(m->texcoords[7], 0.625f);
}

TEST(LinearTexture, ModelWithoutExtentMapsToTheMiddle) {
    GlmModelPtr m = glmNewModel();
    glmFill(m->vertices, m->vertexcount, 3, {0, 0, 0, 0, 0, 0});
    glmLinearTexture(m.get());
    for (unsigned k = 2; k < 6; k++)
        EXPECT_EQ(m->texcoords[k], 0.5f);

    GlmModelPtr empty = glmNewModel();
    empty->vertices.assign(3, 0.0f);
    glmLinearTexture(empty.get());
    EXPECT_EQ(empty->texcoordcount, 0u);
    EXPECT_EQ(empty->texcoords.size(), 2u);
}

TEST(SpheremapTexture, AxesAndDiagonal) {
    GlmModelPtr m = cube();
    const float d = static_cast<float>(1 / std::sqrt(3.0));
    glmFill(m->normals, m->normalcount, 3, {1, 0, 0, 0, 0, 1, 0, 1, 0, 0, -1, 0, d, d, d});
    GlmTriangle& t0 = m->triangles[0];
    t0.normalindices[0] = 1, t0.normalindices[1] = 2, t0.normalindices[2] = 5;
    glmSpheremapTexture(m.get());

    ASSERT_EQ(m->texcoordcount, 5u);
    const std::vector<float>& tc = m->texcoords;
    EXPECT_EQ(tc[2], 0.0f); // along x: r = 0
    EXPECT_EQ(tc[3], 0.0f);
    EXPECT_NEAR(tc[4], 0.5f, 1e-6); // (0, 0, 1): theta two units in the last place below pi/2
    EXPECT_LT(tc[4], 0.5f);
    EXPECT_FLOAT_EQ(tc[5], 0.5f);
    EXPECT_FLOAT_EQ(tc[6], 1.0f); // (0, 1, 0)
    EXPECT_FLOAT_EQ(tc[7], 0.5f);
    EXPECT_NEAR(tc[8], 0.0f, 1e-7); // (0, -1, 0)
    EXPECT_FLOAT_EQ(tc[9], 0.5f);
    EXPECT_NEAR(tc[10], 0.75f, 1e-6); // the diagonal: theta = 3 pi / 4, phi = acos(1 / sqrt 3)
    EXPECT_NEAR(tc[11], std::acos(1 / std::sqrt(3.0)) / M_PI, 1e-6);

    // Corners follow their normals; corners without a normal get no texture coordinate.
    EXPECT_EQ(std::vector<unsigned>(t0.texcoordindices, t0.texcoordindices + 3),
              (std::vector<unsigned>{1, 2, 5}));
    EXPECT_EQ(std::vector<unsigned>(m->triangles[2].texcoordindices, m->triangles[2].texcoordindices + 3),
              (std::vector<unsigned>{0, 0, 0}));
}

TEST(SpheremapTexture, ReplacesLinearCoordinates) {
    GlmModelPtr m = cube();
    glmLinearTexture(m.get());
    glmFill(m->normals, m->normalcount, 3, {0, 1, 0});
    glmSpheremapTexture(m.get());
    EXPECT_EQ(m->texcoordcount, 1u);
    EXPECT_EQ(m->texcoords.size(), 4u);
    EXPECT_EQ(m->triangles[0].texcoordindices[0], 0u);
}

using TextureDeathTest = testing::Test;

TEST(TextureDeathTest, Preconditions) {
    GlmModelPtr m = cube();
    EXPECT_DEATH(glmLinearTexture(nullptr), "glm:[0-9]+: failed assertion `model'\n");
    EXPECT_DEATH(glmSpheremapTexture(nullptr), "glm:[0-9]+: failed assertion `model'\n");
    EXPECT_DEATH(glmSpheremapTexture(m.get()), "glm:[0-9]+: failed assertion `model->normals'\n");
}
