// Vector helpers, lookups, release, and the bounds: unitize, dimensions, scale.
#include <gtest/gtest.h>

#include <cmath>

#include "glm.h"

namespace {

GlmModel* pointsModel(const std::vector<float>& xyz) {
    GlmModel* m = new GlmModel;
    m->vertexcount = unsigned(xyz.size() / 3);
    m->vertices.assign(3, 0.0f);
    m->vertices.insert(m->vertices.end(), xyz.begin(), xyz.end());
    return m;
}

std::vector<float> positions(const GlmModel* m) {
    return {m->vertices.begin() + 3, m->vertices.end()};
}

} // namespace

TEST(VectorHelpers, MaxAbsDotCross) {
    EXPECT_EQ(glmMax(1.0f, 2.0f), 2.0f);
    EXPECT_EQ(glmMax(2.0f, 1.0f), 2.0f);
    EXPECT_TRUE(std::signbit(glmMax(-0.0f, 0.0f))); // equal: the first argument
    EXPECT_EQ(glmAbs(-3.0f), 3.0f);
    EXPECT_TRUE(std::signbit(glmAbs(-0.0f))); // -0 is not below 0
    const float u[3] = {1, 2, 3}, v[3] = {4, 5, 6};
    EXPECT_EQ(glmDot(u, v), 32.0f);
    float n[3];
    glmCross(u, v, n);
    EXPECT_EQ(std::vector<float>(n, n + 3), (std::vector<float>{-3, 6, -3}));
}

TEST(VectorHelpers, NormalizeLeavesZeroAtZero) {
    float v[3] = {3, 0, 4};
    glmNormalize(v);
    EXPECT_EQ(std::vector<float>(v, v + 3), (std::vector<float>{0.6f, 0, 0.8f}));
    float z[3] = {0, 0, 0};
    glmNormalize(z);
    EXPECT_EQ(std::vector<float>(z, z + 3), (std::vector<float>{0, 0, 0}));
}

TEST(VectorHelpers, EqualIsStrict) {
    const float u[3] = {1, 2, 3}, v[3] = {1, 2, 3.5f};
    EXPECT_EQ(glmEqual(u, u, 0.0f), 0);
    EXPECT_EQ(glmEqual(u, v, 0.5f), 0);
    EXPECT_EQ(glmEqual(u, v, 0.51f), 1);
}

TEST(Lookups, DirName) {
    EXPECT_EQ(glmDirName("data/chasseur.obj"), "data/");
    EXPECT_EQ(glmDirName("/a/b/c.obj"), "/a/b/");
    EXPECT_EQ(glmDirName("cible.obj"), "");
}

TEST(Lookups, GroupsAndMaterials) {
    GlmModel* m = new GlmModel;
    GlmGroup* a = glmAddGroup(m, "a");
    GlmGroup* b = glmAddGroup(m, "b");
    EXPECT_EQ(glmAddGroup(m, "a"), a);
    EXPECT_EQ(m->groupcount, 2u);
    EXPECT_EQ(m->groups, b);
    EXPECT_EQ(b->next, a);
    EXPECT_EQ(glmFindGroup(m, "b"), b);
    EXPECT_EQ(glmFindGroup(m, "c"), nullptr);
    testing::internal::CaptureStdout();
    EXPECT_EQ(glmFindMaterial(m, "steel"), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "glmFindMaterial():  can't find material \"steel\".\n");
    m->materials.resize(3);
    m->materialcount = 3;
    m->materials[0].name = "default";
    m->materials[1].name = "steel";
    m->materials[2].name = "steel";
    EXPECT_EQ(glmFindMaterial(m, "steel"), 1u);
    glmDelete(m);
}

TEST(HelpersDeath, FailedPreconditionsNameTheExpression) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const float v[3] = {1, 2, 3};
    float n[3];
    EXPECT_DEATH(glmDot(nullptr, v), "^glm:[0-9]+: failed assertion `u'\n$");
    EXPECT_DEATH(glmDot(v, nullptr), "^glm:[0-9]+: failed assertion `v'\n$");
    EXPECT_DEATH(glmCross(v, v, nullptr), "^glm:[0-9]+: failed assertion `n'\n$");
    EXPECT_DEATH(glmNormalize(nullptr), "^glm:[0-9]+: failed assertion `v'\n$");
    EXPECT_DEATH(glmFindGroup(nullptr, "a"), "^glm:[0-9]+: failed assertion `model'\n$");
    EXPECT_DEATH(glmDelete(nullptr), "^glm:[0-9]+: failed assertion `model'\n$");
    EXPECT_DEATH(glmUnitize(nullptr), "^glm:[0-9]+: failed assertion `model'\n$");
    GlmModel empty;
    EXPECT_DEATH(glmUnitize(&empty), "^glm:[0-9]+: failed assertion `model->vertices'\n$");
    EXPECT_DEATH(glmDimensions(&empty, n), "^glm:[0-9]+: failed assertion `model->vertices'\n$");
    // glmDraw checks before any GL call, so no window is needed to see it fail.
    EXPECT_DEATH(glmDraw(nullptr, 0), "^glm:[0-9]+: failed assertion `model'\n$");
    EXPECT_DEATH(glmDraw(&empty, 0), "^glm:[0-9]+: failed assertion `model->vertices'\n$");
    GlmModel* m = pointsModel({1, 2, 3});
    EXPECT_DEATH(glmDimensions(m, nullptr), "^glm:[0-9]+: failed assertion `dimensions'\n$");
    glmDelete(m);
}

TEST(Bounds, UnitizeCentresAndScalesTheLargestSpanToTwo) {
    GlmModel* m = pointsModel({-1, -1, 0, 3, 1, 1, 0, 0, 0.5f});
    EXPECT_EQ(glmUnitize(m), 0.5f);
    EXPECT_EQ(positions(m), (std::vector<float>{-1, -0.5f, -0.25f, 1, 0.5f, 0.25f, -0.5f, 0, 0}));
    float d[3];
    glmDimensions(m, d);
    EXPECT_EQ(std::vector<float>(d, d + 3), (std::vector<float>{2, 1, 0.5f}));
    const std::vector<float> before = positions(m);
    EXPECT_EQ(glmUnitize(m), 1.0f); // a second time changes nothing
    EXPECT_EQ(positions(m), before);
    glmDelete(m);
}

TEST(Bounds, SpanIsTheSumOfAbsoluteExtremes) {
    GlmModel* m = pointsModel({1, 0, 0, 3, 0.5f, 0.5f});
    float d[3];
    glmDimensions(m, d);
    EXPECT_EQ(std::vector<float>(d, d + 3), (std::vector<float>{4, 0.5f, 0.5f}));
    EXPECT_EQ(glmUnitize(m), 0.5f);
    EXPECT_EQ(positions(m), (std::vector<float>{-0.5f, -0.125f, -0.125f, 0.5f, 0.125f, 0.125f}));
    glmDelete(m);
}

TEST(Bounds, ScaleTouchesPositionsOnly) {
    GlmModel* m = pointsModel({1, -2, 3});
    m->normals = {0, 0, 0, 0, 0, 1};
    m->normalcount = 1;
    glmScale(m, 1.0f);
    EXPECT_EQ(positions(m), (std::vector<float>{1, -2, 3}));
    glmScale(m, -1.0f);
    EXPECT_EQ(positions(m), (std::vector<float>{-1, 2, -3}));
    EXPECT_EQ(m->normals[5], 1.0f);
    glmDelete(m);
}

TEST(Bounds, ModelsWithoutExtentStayUsable) {
    GlmModel* none = pointsModel({});
    EXPECT_EQ(glmUnitize(none), 1.0f);
    float d[3] = {7, 7, 7};
    glmDimensions(none, d);
    EXPECT_EQ(std::vector<float>(d, d + 3), (std::vector<float>{0, 0, 0}));
    GlmModel* point = pointsModel({0, 0, 0, 0, 0, 0});
    EXPECT_EQ(glmUnitize(point), 1.0f);
    EXPECT_EQ(positions(point), (std::vector<float>{0, 0, 0, 0, 0, 0}));
    glmDelete(none);
    glmDelete(point);
}
