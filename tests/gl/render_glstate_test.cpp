// The fixed GL state, the projection after a reshape, the light and the material presets.
#include <GL/glut.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "render.h"

using testing::ElementsAre;
using testing::FloatNear;

namespace {
std::vector<float> getv(GLenum what, int n) {
    std::vector<float> v(16);
    glGetFloatv(what, v.data());
    v.resize(n);
    return v;
}

std::vector<float> light(GLenum what) {
    std::vector<float> v(4);
    glGetLightfv(GL_LIGHT0, what, v.data());
    return v;
}

std::vector<float> material(GLenum face, GLenum what) {
    std::vector<float> v(4);
    glGetMaterialfv(face, what, v.data());
    return v;
}

const float kF = 1.0f / std::tan(22.5f * static_cast<float>(M_PI) / 180.0f); // 45-degree perspective

// The first two diagonal terms of the projection: f / aspect and f.
void expectPerspective(float aspect) {
    const std::vector<float> p = getv(GL_PROJECTION_MATRIX, 16);
    EXPECT_NEAR(p[0], kF / aspect, 1e-5);
    EXPECT_NEAR(p[5], kF, 1e-5);
    EXPECT_NEAR(p[10], -(100.0f + 0.1f) / (100.0f - 0.1f), 1e-5); // near 0.1, far 100
    EXPECT_NEAR(p[14], -2.0f * 100.0f * 0.1f / (100.0f - 0.1f), 1e-5);
    EXPECT_EQ(p[11], -1.0f);
}
} // namespace

TEST(GlState, InitGL) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_TEXTURE); // InitGL must leave the modelview selected whatever came before
    glDisable(GL_LIGHTING);
    glClearColor(0.5f, 0.5f, 0.5f, 0.5f);
    InitGL();
    EXPECT_THAT(getv(GL_COLOR_CLEAR_VALUE, 4), ElementsAre(0.0f, 0.0f, 0.0f, 0.0f));
    EXPECT_EQ(getv(GL_DEPTH_CLEAR_VALUE, 1)[0], 1.0f);
    GLint i = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &i);
    EXPECT_EQ(i, GL_LESS);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    glGetIntegerv(GL_SHADE_MODEL, &i);
    EXPECT_EQ(i, GL_SMOOTH);
    glGetIntegerv(GL_FRONT_FACE, &i);
    EXPECT_EQ(i, GL_CCW);
    glGetIntegerv(GL_CULL_FACE_MODE, &i);
    EXPECT_EQ(i, GL_FRONT);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    glGetIntegerv(GL_MATRIX_MODE, &i);
    EXPECT_EQ(i, GL_MODELVIEW);
    expectPerspective(1.0f);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_THAT(light(GL_POSITION), ElementsAre(0.0f, 0.0f, 1.0f, 0.0f));
    EXPECT_THAT(light(GL_AMBIENT), ElementsAre(0.2f, 0.2f, 0.2f, 1.0f));
    EXPECT_THAT(light(GL_DIFFUSE), ElementsAre(0.2f, 0.2f, 0.2f, 1.0f));
    EXPECT_THAT(light(GL_SPECULAR), ElementsAre(0.2f, 0.2f, 0.2f, 1.0f));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(GlState, ReshapeKeepsTheVerticalField) {
    InitGL();
    glTranslatef(1.0f, 2.0f, 3.0f);
    ReSizeGLScene(1600, 800);
    expectPerspective(2.0f);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_THAT(std::vector<int>(vp, vp + 4), ElementsAre(0, 0, 1600, 800));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_THAT(getv(GL_MODELVIEW_MATRIX, 16), ElementsAre(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));

    ReSizeGLScene(400, 800);
    expectPerspective(0.5f);
    ReSizeGLScene(800, 800);
    expectPerspective(1.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(GlState, ReshapeToNothingKeepsTheProjection) {
    InitGL();
    ReSizeGLScene(1600, 800);
    ReSizeGLScene(1600, 0); // a minimised window
    expectPerspective(2.0f);
    ReSizeGLScene(0, 0);
    expectPerspective(2.0f);
    for (float v : getv(GL_PROJECTION_MATRIX, 16))
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    ReSizeGLScene(800, 800);
    expectPerspective(1.0f);
}

TEST(GlState, LightIsDirectionalFromTheCurrentFrame) {
    InitGL();
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -10.0f);
    lamp();
    EXPECT_THAT(light(GL_POSITION), ElementsAre(0.0f, 0.0f, 1.0f, 0.0f)); // a shift moves no direction
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    lamp();
    EXPECT_THAT(light(GL_POSITION), ElementsAre(0.0f, FloatNear(-1.0f, 1e-6), FloatNear(0.0f, 1e-6), 0.0f));
    glLoadIdentity();
    lamp();
}

TEST(GlState, MaterialPresets) {
    const float back_ambient[4] = {0.3f, 0.4f, 0.5f, 1.0f};
    glMaterialfv(GL_BACK, GL_AMBIENT, back_ambient);
    struct Preset {
        void (*set)();
        std::vector<float> ambient, diffuse, specular, emission;
    };
    const Preset presets[] = {
        {MateriauP, {0.99f, 0, 0, 1}, {0.99f, 0, 0, 1}, {0.99f, 0, 0, 1}, {0.01f, 0, 0, 1}},
        {MateriauB, {0, 0, 0.99f, 1}, {0, 0, 0.9f, 1}, {0, 0, 0.9f, 0.6f}, {0, 0, 0.1f, 0}},
        {MateriauT, {0, 0.2f, 1, 1}, {0, 0.2f, 0.9f, 1}, {0, 0.2f, 0.9f, 0.6f}, {0, 0, 0, 0}},
        {MateriauT2, {0.7f, 0.7f, 1, 1}, {0.7f, 0.7f, 0.9f, 1}, {0, 0.2f, 0.9f, 0.6f}, {0, 0, 0, 0}},
    };
    for (const Preset& p : presets) {
        for (int twice = 0; twice < 2; ++twice) { // a second call leaves the same state
            p.set();
            EXPECT_EQ(material(GL_FRONT, GL_AMBIENT), p.ambient);
            EXPECT_EQ(material(GL_FRONT, GL_DIFFUSE), p.diffuse);
            EXPECT_EQ(material(GL_FRONT, GL_SPECULAR), p.specular);
            EXPECT_EQ(material(GL_FRONT, GL_EMISSION), p.emission);
            float shininess = 0.0f;
            glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
            EXPECT_EQ(shininess, 28.0f);
        }
        EXPECT_THAT(material(GL_BACK, GL_AMBIENT), ElementsAre(0.3f, 0.4f, 0.5f, 1.0f));
    }
}
