// glmDraw and glmList seen through GL feedback: the triangles sent per mode, group order, the
// seven reconciliation messages, colours and materials, and the GL state left behind.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "glm.h"

namespace {

struct Vertex {
    float x, y, z, r, g, b, a, s, t;
};
using Triangle = std::vector<Vertex>;

GlmModel* readQuiet(const std::string& name) {
    testing::internal::CaptureStdout();
    GlmModel* m = glmReadOBJ((std::string(TEST_DATA_DIR) + "/" + name).c_str());
    testing::internal::GetCapturedStdout();
    return m;
}

// Identity matrices over the whole window, no lighting: a vertex at (x, y) lands at window
// ((x + 1) * 400, (y + 1) * 400).
void resetGL() {
    glViewport(0, 0, 800, 800);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_CULL_FACE);
    glColor4f(0.5f, 0.5f, 0.5f, 1.0f);
    glNormal3f(0, 0, 1);
}

// The triangles that draw() sends, with what it printed on standard output.
std::vector<Triangle> feedback(const std::function<void()>& draw, std::string* out = nullptr) {
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    testing::internal::CaptureStdout();
    draw();
    const std::string printed = testing::internal::GetCapturedStdout();
    if (out)
        *out = printed;
    const GLint n = glRenderMode(GL_RENDER);
    EXPECT_GE(n, 0) << "feedback buffer overflow";
    std::vector<Triangle> triangles;
    for (GLint i = 0; i < n;) {
        const GLint token = GLint(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const GLint count = GLint(buffer[i++]);
            Triangle t;
            for (GLint k = 0; k < count; k++, i += 11) {
                const GLfloat* f = &buffer[i];
                t.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8]});
            }
            triangles.push_back(t);
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            i++;
        } else {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
    }
    return triangles;
}

// The window position where vertex v of the model lands.
std::pair<float, float> windowOf(const GlmModel* m, unsigned v) {
    return {(m->vertices[3 * v] + 1) * 400, (m->vertices[3 * v + 1] + 1) * 400};
}

void expectTriangle(const GlmModel* m, const Triangle& fed, unsigned t) {
    ASSERT_EQ(fed.size(), 3u);
    for (int k = 0; k < 3; k++) {
        const auto w = windowOf(m, m->triangles[t].vertexindices[k]);
        EXPECT_NEAR(fed[k].x, w.first, 1e-3) << "triangle " << t << " corner " << k;
        EXPECT_NEAR(fed[k].y, w.second, 1e-3) << "triangle " << t << " corner " << k;
    }
}

std::vector<float> getMaterial(GLenum face, GLenum what) {
    std::vector<float> v(4);
    glGetMaterialfv(face, what, v.data());
    return v;
}

const char* const flatMessage =
    "glmDraw() warning: flat render mode requested with no facet normals defined.\n";
const char* const smoothMessage =
    "glmDraw() warning: smooth render mode requested with no normals defined.\n";
const char* const textureMessage =
    "glmDraw() warning: texture render mode requested with no texture coordinates defined.\n";
const char* const bothNormalsMessage =
    "glmDraw() warning: flat render mode requested and smooth render mode requested (using smooth).\n";
const char* const colorMessage =
    "glmDraw() warning: color render mode requested with no materials defined.\n";
const char* const materialMessage =
    "glmDraw() warning: material render mode requested with no materials defined.\n";
const char* const bothColorsMessage =
    "glmDraw() warning: color and material render mode requested using only material mode.\n";

} // namespace

TEST(Draw, PositionsOnlyGroupByGroupNewestFirst) {
    GlmModel* m = readQuiet("group_met_twice.obj");
    glmUnitize(m);
    resetGL();
    glEnable(GL_COLOR_MATERIAL);
    std::string out;
    const std::vector<Triangle> fed = feedback([&] { glmDraw(m, 0); }, &out);
    EXPECT_EQ(out, "");
    // Groups "" (4), " tail" (2), " wing" (1, 3), "default" (0).
    const unsigned order[] = {4, 2, 1, 3, 0};
    ASSERT_EQ(fed.size(), 5u);
    for (unsigned i = 0; i < 5; i++)
        expectTriangle(m, fed[i], order[i]);
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL)); // left as it was
    glDisable(GL_COLOR_MATERIAL);
    feedback([&] { glmDraw(m, 0); });
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    glmDelete(m);
}

TEST(Draw, AllSevenMessagesInTheirOrder) {
    GlmModel* bare = readQuiet("group_met_twice.obj");
    resetGL();
    std::string out;
    const std::vector<Triangle> fed = feedback([&] { glmDraw(bare, 31); }, &out);
    EXPECT_EQ(out,
              std::string(flatMessage) + smoothMessage + textureMessage + colorMessage + materialMessage);
    EXPECT_EQ(fed.size(), 5u); // drawn anyway, positions only

    GlmModel* full = readQuiet("usemtl_before_group.obj");
    glmFacetNormals(full);
    glmVertexNormals(full, 90.0f);
    feedback([&] { glmDraw(full, 1 + 2 + 8 + 16); }, &out);
    EXPECT_EQ(out, std::string(bothNormalsMessage) + bothColorsMessage);
    feedback([&] { glmDraw(full, 2 + 16); }, &out);
    EXPECT_EQ(out, "");
    glmDelete(bare);
    glmDelete(full);
}

TEST(Draw, MaterialModeWithoutLibraryWarnsOnEveryCall) {
    GlmModel* m = readQuiet("cube.obj");
    glmFacetNormals(m);
    glmVertexNormals(m, 90.0f);
    resetGL();
    std::string out;
    for (int call = 0; call < 2; call++) {
        const std::vector<Triangle> fed = feedback([&] { glmDraw(m, 18); }, &out);
        EXPECT_EQ(out, materialMessage);
        EXPECT_EQ(fed.size(), 12u);
    }
    glmDelete(m);
}

namespace {

// White light straight down the z axis, white diffuse material, nothing else: a vertex's red is
// the z component of its normal (0 when negative).
void lightAlongZ() {
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const float black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1}, z[4] = {0, 0, 1, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, black);
    glLightfv(GL_LIGHT0, GL_POSITION, z);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
}

float litRed(const float* n) {
    return n[2] > 0 ? n[2] : 0;
}

} // namespace

TEST(Draw, SmoothWinsOverFlatAndSendsEachCornersNormal) {
    GlmModel* m = readQuiet("cube.obj");
    glmFacetNormals(m);
    glmVertexNormals(m, 180.0f); // corner normals lean off the axes, facet normals do not
    resetGL();
    lightAlongZ();
    std::string out;
    const std::vector<Triangle> smooth = feedback([&] { glmDraw(m, 3); }, &out);
    EXPECT_EQ(out, bothNormalsMessage);
    ASSERT_EQ(smooth.size(), 12u);
    for (unsigned t = 0; t < 12; t++)
        for (int k = 0; k < 3; k++)
            EXPECT_NEAR(smooth[t][k].r, litRed(&m->normals[3 * m->triangles[t].normalindices[k]]), 1e-5);
    const std::vector<Triangle> flat = feedback([&] { glmDraw(m, 1); }, &out);
    EXPECT_EQ(out, "");
    for (unsigned t = 0; t < 12; t++)
        for (int k = 0; k < 3; k++)
            EXPECT_NEAR(flat[t][k].r, litRed(&m->facetnorms[3 * (t + 1)]), 1e-5);
    glDisable(GL_LIGHTING);
    glmDelete(m);
}

TEST(Draw, FlatWithoutFacetNormalsSendsNoNormal) {
    GlmModel* m = readQuiet("cube.obj");
    resetGL();
    lightAlongZ();
    glNormal3f(0, 0, 0.25f);
    std::string out;
    const std::vector<Triangle> fed = feedback([&] { glmDraw(m, 1); }, &out);
    EXPECT_EQ(out, flatMessage);
    ASSERT_EQ(fed.size(), 12u);
    for (const Triangle& t : fed)
        for (const Vertex& v : t)
            EXPECT_NEAR(v.r, 0.25f, 1e-5);
    glDisable(GL_LIGHTING);
    glmDelete(m);
}

TEST(Draw, TextureCoordinatesPerCorner) {
    GlmModel* m = readQuiet("face_forms.obj");
    glmUnitize(m);
    resetGL();
    std::string out;
    const std::vector<Triangle> fed = feedback([&] { glmDraw(m, 4); }, &out);
    EXPECT_EQ(out, "");
    ASSERT_EQ(fed.size(), 4u);
    for (unsigned t = 0; t < 4; t++)
        for (int k = 0; k < 3; k++) {
            const unsigned i = m->triangles[t].texcoordindices[k];
            EXPECT_EQ(fed[t][k].s, m->texcoords[2 * i]);
            EXPECT_EQ(fed[t][k].t, m->texcoords[2 * i + 1]);
        }
    glmDelete(m);
}

TEST(Draw, ColorModeDrawsEachGroupInItsDiffuseColour) {
    GlmModel* m = readQuiet("usemtl_before_group.obj"); // " fin" empty, " hull" red, "default" blue
    resetGL();
    std::string out;
    const std::vector<Triangle> fed = feedback([&] { glmDraw(m, 8); }, &out);
    EXPECT_EQ(out, "");
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    ASSERT_EQ(fed.size(), 3u);
    const float red[3] = {1, 0, 0}, blue[3] = {0, 0, 1};
    const float* expected[3] = {red, red, blue};
    for (int i = 0; i < 3; i++)
        for (const Vertex& v : fed[i]) {
            EXPECT_EQ(v.r, expected[i][0]);
            EXPECT_EQ(v.g, expected[i][1]);
            EXPECT_EQ(v.b, expected[i][2]);
        }
    glDisable(GL_COLOR_MATERIAL);
    glmDelete(m);
}

TEST(Draw, ColourAndMaterialSetsOnlyMaterialsEmptyDefaultLast) {
    // Groups " b" (material 0), " a" (red), then "default", empty, with material 0.
    GlmModel* m = readQuiet("mtllib_after_usemtl.obj");
    resetGL();
    glEnable(GL_COLOR_MATERIAL);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    std::string out;
    const std::vector<Triangle> fed = feedback([&] { glmDraw(m, 24); }, &out);
    EXPECT_EQ(out, bothColorsMessage);
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    ASSERT_EQ(fed.size(), 2u);
    expectTriangle(m, fed[0], 1);
    expectTriangle(m, fed[1], 0);
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(std::vector<float>(colour, colour + 4), (std::vector<float>{0.25f, 0.5f, 0.75f, 1.0f}));
    // The material left behind is that of the empty "default" group, drawn last.
    for (GLenum face : {GL_FRONT, GL_BACK}) {
        EXPECT_EQ(getMaterial(face, GL_DIFFUSE), (std::vector<float>{0.1f, 0.2f, 0.3f, 1.0f}));
        EXPECT_EQ(getMaterial(face, GL_AMBIENT), (std::vector<float>{0.2f, 0.2f, 0.2f, 1.0f}));
        EXPECT_EQ(getMaterial(face, GL_SPECULAR), (std::vector<float>{0, 0, 0, 1}));
        float shininess = 0;
        glGetMaterialfv(face, GL_SHININESS, &shininess);
        EXPECT_EQ(shininess, 65.0f);
    }
    glmDelete(m);
}

TEST(Draw, ListRecordsTheDrawingAndWarnsOnlyWhileCompiling) {
    GlmModel* m = readQuiet("group_met_twice.obj");
    glmUnitize(m);
    resetGL();
    testing::internal::CaptureStdout();
    const unsigned list = glmList(m, GlmModeFlat);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), flatMessage);
    EXPECT_TRUE(glIsList(list));
    std::string out;
    const std::vector<Triangle> replayed = feedback([&] { glCallList(list); }, &out);
    EXPECT_EQ(out, "");
    const std::vector<Triangle> direct = feedback([&] { glmDraw(m, 0); });
    ASSERT_EQ(replayed.size(), direct.size());
    for (size_t i = 0; i < direct.size(); i++)
        for (int k = 0; k < 3; k++) {
            EXPECT_EQ(replayed[i][k].x, direct[i][k].x);
            EXPECT_EQ(replayed[i][k].y, direct[i][k].y);
        }
    glDeleteLists(list, 1);
    glmDelete(m);
}
