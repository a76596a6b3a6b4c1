// glmDraw seen through GL feedback.
#include <GL/gl.h>

#include "../unit/glm_test_util.h"

TEST(Draw, SmoothAndFlatSendTheirNormals) {
    // Under white light along z on a white material, a corner's red is the z of the normal sent with
    // it: the cube's vertex normals at 180 degrees lean off the axes, unlike its facet normals.
    GlmModel* m = readData("cube.obj");
    glmFacetNormals(m);
    glmVertexNormals(m, 180.0f);
    glPushAttrib(GL_ALL_ATTRIB_BITS); // for the tests that follow in this process
    for (const GLenum matrix : {GL_PROJECTION, GL_MODELVIEW})
        glMatrixMode(matrix), glLoadIdentity();
    const float black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1}, z[4] = {0, 0, 1, 0};
    for (const auto& [light, value] : {std::pair(GL_AMBIENT, black), {GL_DIFFUSE, white}, {GL_POSITION, z}})
        glLightfv(GL_LIGHT0, light, value);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    for (const auto& [material, value] :
         {std::pair(GL_AMBIENT_AND_DIFFUSE, white), {GL_SPECULAR, black}, {GL_EMISSION, black}})
        glMaterialfv(GL_FRONT_AND_BACK, material, value);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    for (const unsigned mode : {GlmModeSmooth, GlmModeFlat}) {
        std::vector<GLfloat> fed(1000); // 12 triangles: a token, a count and three corners of 7 values
        glFeedbackBuffer(GLsizei(fed.size()), GL_3D_COLOR, fed.data());
        glRenderMode(GL_FEEDBACK);
        glmDraw(m, mode);
        ASSERT_EQ(glRenderMode(GL_RENDER), 12 * 23);
        for (unsigned k = 0; k < 36; k++) {
            const GlmTriangle& t = m->triangles[k / 3];
            const float* n = mode == GlmModeSmooth ? &m->normals[3 * t.normalindices[k % 3]]
                                                   : &m->facetnorms[3 * t.facetnormindex];
            EXPECT_NEAR(fed[23 * (k / 3) + 2 + 7 * (k % 3) + 3], std::max(n[2], 0.0f), 1e-5)
                << mode << " " << k;
        }
    }
    glPopAttrib();
    glmDelete(m);
}
