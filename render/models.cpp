// The two spacecraft and the planet below them. Each model is read on its first drawing and kept
// until the process ends.
#include "render.h"

#include <GL/glut.h>
#include <cstdlib>

#include "sim.h"

GlmModel* pmodel = nullptr;
GlmModel* pmodel2 = nullptr;

namespace {
// Draws with per-vertex normals and the model's own MTL materials.
constexpr unsigned kDrawMode = GlmModeSmooth | GlmModeMaterial;

// Reads a model and prepares it for drawing: centred, longest span 2, smooth normals that keep
// edges sharper than 90 degrees.
GlmModel* load(const char* path) {
    GlmModel* model = glmReadOBJ(path); // a missing file ends the process there, with status 1
    if (!model)
        std::exit(0);
    glmUnitize(model);
    glmFacetNormals(model);
    glmVertexNormals(model, 90.0f);
    return model;
}
} // namespace

void drawmodel(double x, double y, double z) {
    glPushMatrix();
    glTranslatef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    // Model +y becomes the scene's +z and model +z the scene's +y, towards the target.
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
    if (!pmodel)
        pmodel = load("data/chasseur.obj");
    glmDraw(pmodel, kDrawMode);
    glPopMatrix();
}

void drawmodel2(double x, double y, double z) {
    constexpr float Rt = 400.0f; // planet radius; its surface passes 40 below the target
    glPushMatrix();
    glTranslatef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    // Model +y becomes the scene's +z and model +z the scene's -y, the side of the docking port.
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    if (!pmodel2)
        pmodel2 = load("data/cible.obj");
    glmDraw(pmodel2, kDrawMode);

    glTranslatef(static_cast<float>(x - Rt - 40.0), static_cast<float>(y), static_cast<float>(z));
    MateriauT();
    glutSolidSphere(Rt, 100, 100);
    // With the turn above, the grid's poles lie on the scene's z axis: it spins about z with time.
    MateriauT2();
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(static_cast<float>(10.0 * sim::t), 0.0f, 0.0f, 1.0f);
    glutWireSphere(Rt + 1.0, 48, 48);
    glPopMatrix();
}
