// Written models read back: vertices, triangles group by group, normals, texture coordinates,
// materials and the blank the reader keeps in front of every group name.
#include <gtest/gtest.h>

#include <string>

#include "glm_models.h"

namespace {
// Three vertices and a fourth one, two triangles in two groups, every optional array present.
GlmModelPtr sample() {
    GlmModelPtr m = glmNewModel();
    m->mtllib = "trip.mtl";
    glmFill(m->vertices, m->vertexcount, 3, {0, 0, 0, 1, 0, 0, 0, 1, 0, 0.25f, -0.5f, 1.5f});
    glmFill(m->normals, m->normalcount, 3, {0, 0, 1, 0.5f, 0.25f, -1});
    glmFill(m->texcoords, m->texcoordcount, 2, {0, 0, 1, 0, 0.5f, 1});
    glmFill(m->facetnorms, m->facetnormcount, 3, {0, 0, 1, 0, -1, 0});
    GlmTriangle t0 = glmTri(1, 2, 3);
    GlmTriangle t1 = glmTri(1, 2, 4);
    for (int j = 0; j < 3; j++) {
        t0.texcoordindices[j] = j + 1;
        t1.texcoordindices[j] = 3 - j;
        t0.normalindices[j] = 1;
        t1.normalindices[j] = j < 2 ? 2 : 1;
    }
    t0.facetnormindex = 1;
    t1.facetnormindex = 2;
    m->triangles = {t0, t1};
    m->trianglecount = 2;
    m->materials.resize(2);
    m->materials[0].name = "default";
    m->materials[1].name = "red";
    m->materials[1].diffuse[0] = 1, m->materials[1].diffuse[1] = 0, m->materials[1].diffuse[2] = 0;
    m->materials[1].shininess = 64;
    m->materialcount = 2;
    glmPushGroup(m.get(), "default", {0});
    glmPushGroup(m.get(), "hull", {1}, 1);
    return m;
}

GlmModelPtr writeAndRead(GlmModel* model, const std::string& path, unsigned mode) {
    testing::internal::CaptureStdout();
    glmWriteOBJ(model, path.c_str(), mode);
    GlmModelPtr back(glmReadOBJ(path.c_str()), glmDelete);
    testing::internal::GetCapturedStdout();
    return back;
}

void expectVectors(const std::vector<float>& got, unsigned gotCount, const std::vector<float>& want,
                   unsigned wantCount, unsigned per) {
    ASSERT_EQ(gotCount, wantCount);
    ASSERT_EQ(got.size(), want.size());
    for (size_t k = per; k < want.size(); k++)
        EXPECT_FLOAT_EQ(got[k], want[k]) << "component " << k;
}

// The triangle of `back` at position `at` carries these indices.
void expectCorners(const GlmModel* back, unsigned at, std::vector<unsigned> v, std::vector<unsigned> t,
                   std::vector<unsigned> n) {
    SCOPED_TRACE(at);
    const GlmTriangle& tri = back->triangles[at];
    EXPECT_EQ(std::vector<unsigned>(tri.vertexindices, tri.vertexindices + 3), v);
    EXPECT_EQ(std::vector<unsigned>(tri.texcoordindices, tri.texcoordindices + 3), t);
    EXPECT_EQ(std::vector<unsigned>(tri.normalindices, tri.normalindices + 3), n);
}
} // namespace

TEST(ObjRoundTrip, SmoothTexturedWithMaterials) {
    const std::string dir = glmTestDir();
    GlmModelPtr m = sample();
    GlmModelPtr back =
        writeAndRead(m.get(), dir + "trip.obj", GlmModeSmooth | GlmModeTexture | GlmModeMaterial);

    expectVectors(back->vertices, back->vertexcount, m->vertices, m->vertexcount, 3);
    expectVectors(back->normals, back->normalcount, m->normals, m->normalcount, 3);
    expectVectors(back->texcoords, back->texcoordcount, m->texcoords, m->texcoordcount, 2);
    // Triangles come back in the order written: group by group from the head of the list.
    ASSERT_EQ(back->trianglecount, 2u);
    expectCorners(back.get(), 0, {1, 2, 4}, {3, 2, 1}, {2, 2, 1});
    expectCorners(back.get(), 1, {1, 2, 3}, {1, 2, 3}, {1, 1, 1});

    // Every name gains the blank after "g", and the reader's own empty "default" comes on top.
    ASSERT_EQ(back->groupcount, 3u);
    const GlmGroup* g = back->groups;
    EXPECT_EQ(g->name, " default");
    EXPECT_EQ(g->triangles, std::vector<unsigned>{1});
    EXPECT_EQ(g->material, 0u);
    g = g->next;
    EXPECT_EQ(g->name, " hull");
    EXPECT_EQ(g->triangles, std::vector<unsigned>{0});
    EXPECT_EQ(g->material, 2u);
    g = g->next;
    EXPECT_EQ(g->name, "default");
    EXPECT_EQ(g->trianglecount, 0u);

    // The library written holds "default" too, so it comes back once more after the reader's own.
    ASSERT_EQ(back->materialcount, 3u);
    EXPECT_EQ(back->materials[1].name, "default");
    EXPECT_FLOAT_EQ(back->materials[1].shininess, 65.0f);
    EXPECT_EQ(back->materials[2].name, "red");
    EXPECT_FLOAT_EQ(back->materials[2].diffuse[0], 1.0f);
    EXPECT_FLOAT_EQ(back->materials[2].diffuse[1], 0.0f);
    EXPECT_FLOAT_EQ(back->materials[2].shininess, 64.0f);
}

TEST(ObjRoundTrip, FlatNormalsComeBackAsTheNormals) {
    const std::string dir = glmTestDir();
    GlmModelPtr m = sample();

    GlmModelPtr flat = writeAndRead(m.get(), dir + "flat.obj", GlmModeFlat);
    expectVectors(flat->normals, flat->normalcount, m->facetnorms, m->facetnormcount, 3);
    EXPECT_TRUE(flat->texcoords.empty());
    expectCorners(flat.get(), 0, {1, 2, 4}, {0, 0, 0}, {2, 2, 2});
    expectCorners(flat.get(), 1, {1, 2, 3}, {0, 0, 0}, {1, 1, 1});

    GlmModelPtr both = writeAndRead(m.get(), dir + "flat-textured.obj", GlmModeFlat | GlmModeTexture);
    expectVectors(both->normals, both->normalcount, m->facetnorms, m->facetnormcount, 3);
    expectVectors(both->texcoords, both->texcoordcount, m->texcoords, m->texcoordcount, 2);
    expectCorners(both.get(), 0, {1, 2, 4}, {3, 2, 1}, {2, 2, 2});
    expectCorners(both.get(), 1, {1, 2, 3}, {1, 2, 3}, {1, 1, 1});
}

TEST(ObjRoundTrip, PositionsOnly) {
    const std::string dir = glmTestDir();
    GlmModelPtr m = sample();
    GlmModelPtr back = writeAndRead(m.get(), dir + "plain.obj", 0);
    expectVectors(back->vertices, back->vertexcount, m->vertices, m->vertexcount, 3);
    EXPECT_TRUE(back->normals.empty());
    EXPECT_TRUE(back->texcoords.empty());
    EXPECT_TRUE(back->materials.empty());
    EXPECT_TRUE(back->mtllib.empty());
    expectCorners(back.get(), 0, {1, 2, 4}, {0, 0, 0}, {0, 0, 0});
}
