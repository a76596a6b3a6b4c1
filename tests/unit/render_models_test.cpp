// The two spacecraft of data/, read through the model library and placed as the frame places them:
// recognisable parts, sizes, and a probe that meets the port at the docked position.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "glm.h"

namespace {
using Vec = std::array<double, 3>;
using Mat = std::array<std::array<double, 3>, 3>;

// The matrix of glRotatef(degrees, axis) for a unit axis along x, y or z.
Mat rotation(double degrees, int axis) {
    const double a = degrees * M_PI / 180.0, c = std::cos(a), s = std::sin(a);
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    Mat m{};
    m[axis][axis] = 1.0;
    m[u][u] = c;
    m[u][v] = -s;
    m[v][u] = s;
    m[v][v] = c;
    return m;
}

Mat times(const Mat& a, const Mat& b) {
    Mat m{};
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            for (int k = 0; k < 3; k++)
                m[i][j] += a[i][k] * b[k][j];
    return m;
}

// The turns drawmodel and drawmodel2 put on the modelview before drawing, in their order.
const Mat kChaserTurn = times(rotation(90.0, 0), rotation(180.0, 1));
const Mat kTargetTurn = rotation(90.0, 0);

struct Placed {
    Vec p;             // scene position
    std::string group; // the group of a triangle that uses it
};

// Group names as the library reads them: everything after "g", the separating blank included.
const std::string kProbe = " sonde", kPort = " port", kPanels = " panneaux", kRadiators = " radiateurs";

using ModelPtr = std::unique_ptr<GlmModel, void (*)(GlmModel*)>;

ModelPtr prepared(const char* name) {
    ModelPtr model(glmReadOBJ((std::string(SOURCE_DIR) + "/data/" + name).c_str()), glmDelete);
    glmUnitize(model.get());
    return model;
}

// Every corner of every triangle in scene coordinates, with its group.
std::vector<Placed> place(GlmModel* model, const Mat& turn, const Vec& at) {
    std::vector<Placed> out;
    for (const GlmGroup* g = model->groups; g; g = g->next)
        for (unsigned k = 0; k < g->trianglecount; k++)
            for (unsigned v : model->triangles[g->triangles[k]].vertexindices) {
                const float* m = &model->vertices[3 * v];
                Vec p = at;
                for (int i = 0; i < 3; i++)
                    for (int j = 0; j < 3; j++)
                        p[i] += turn[i][j] * m[j];
                out.push_back({p, g->name});
            }
    return out;
}

// The groups that own the points within 1e-6 of the extreme scene Y (largest when front is true).
std::set<std::string> extremeGroups(const std::vector<Placed>& points, bool front, double* y) {
    *y = front ? -1e9 : 1e9;
    for (const Placed& q : points)
        *y = front ? std::max(*y, q.p[1]) : std::min(*y, q.p[1]);
    std::set<std::string> groups;
    for (const Placed& q : points)
        if (std::fabs(q.p[1] - *y) < 1e-6)
            groups.insert(q.group);
    return groups;
}
} // namespace

TEST(SpacecraftModels, SizedMaterialsAndParts) {
    for (const char* name : {"chasseur.obj", "cible.obj"}) {
        SCOPED_TRACE(name);
        ModelPtr model = prepared(name);
        EXPECT_GT(model->trianglecount, 200u);
        EXPECT_LE(model->trianglecount, 3000u);
        EXPECT_GE(model->materialcount, 5u); // "default" and at least four of its own
        std::set<unsigned> used;
        for (const GlmGroup* g = model->groups; g; g = g->next)
            if (g->trianglecount > 0)
                used.insert(g->material);
        EXPECT_GE(used.size(), 4u);
        EXPECT_EQ(used.count(0), 0u) << "a group without a material of its own";
        ASSERT_NE(glmFindGroup(model.get(), kPanels.c_str()), nullptr) << "no solar panels";
        float dimensions[3];
        glmDimensions(model.get(), dimensions);
        EXPECT_NEAR(*std::max_element(dimensions, dimensions + 3), 2.0f, 1e-5f);
        // The panels give the longest span, across the line of approach.
        EXPECT_NEAR(dimensions[0], 2.0f, 1e-5f);
        EXPECT_LT(dimensions[2], 2.0f);
        // Normals: the drawing needs one per corner, and every vertex has a triangle.
        glmFacetNormals(model.get());
        glmVertexNormals(model.get(), 90.0f);
        for (const GlmTriangle& t : model->triangles)
            for (unsigned n : t.normalindices)
                ASSERT_TRUE(n >= 1 && n <= model->normalcount);
    }
}

TEST(SpacecraftModels, ProbeMeetsPortAtTheDockedPosition) {
    ModelPtr chaser = prepared("chasseur.obj");
    ModelPtr target = prepared("cible.obj");
    const std::vector<Placed> c = place(chaser.get(), kChaserTurn, {0.0, -1.45, 0.0});
    const std::vector<Placed> t = place(target.get(), kTargetTurn, {0.0, 0.0, 0.0});

    double tip, port;
    EXPECT_EQ(extremeGroups(c, true, &tip), std::set<std::string>{kProbe})
        << "the chaser's front is not its probe";
    EXPECT_EQ(extremeGroups(t, false, &port), std::set<std::string>{kPort})
        << "the target's rear is not its port";
    // The port lies just beyond the probe's tip: touching, neither passing through the other.
    EXPECT_GE(port - tip, 0.0);
    EXPECT_LE(port - tip, 0.05);

    // The tip lies on the line of approach, inside the port's face.
    double faceRadius = 0.0;
    for (const Placed& q : t)
        if (q.group == kPort && std::fabs(q.p[1] - port) < 1e-6)
            faceRadius = std::max(faceRadius, std::hypot(q.p[0], q.p[2]));
    for (const Placed& q : c) {
        if (std::fabs(q.p[1] - tip) < 1e-6) {
            EXPECT_LT(std::hypot(q.p[0], q.p[2]), faceRadius);
        }
    }
    EXPECT_GT(faceRadius, 0.05);

    // The target reaches at most 1 from its centre along the line of approach, and the chaser's
    // probe stands in front of all the rest of the chaser.
    EXPECT_GE(port, -1.0);
    std::map<std::string, double> front;
    for (const Placed& q : c) {
        auto it = front.emplace(q.group, q.p[1]).first;
        it->second = std::max(it->second, q.p[1]);
    }
    for (const auto& [group, y] : front) {
        if (group != kProbe) {
            EXPECT_LT(y, tip - 0.1) << group;
        }
    }
}

TEST(SpacecraftModels, UpIsOutOfTheOrbitalPlane) {
    // The panels lie flat in the orbital plane, so the light from +z falls on their faces, and the
    // target's radiators stand up along z.
    ModelPtr target = prepared("cible.obj");
    double zmin = 1e9, zmax = -1e9, rmin = 1e9, rmax = -1e9;
    for (const Placed& q : place(target.get(), kTargetTurn, {0.0, 0.0, 0.0})) {
        if (q.group == kPanels) {
            zmin = std::min(zmin, q.p[2]);
            zmax = std::max(zmax, q.p[2]);
        }
        if (q.group == kRadiators) {
            rmin = std::min(rmin, q.p[2]);
            rmax = std::max(rmax, q.p[2]);
        }
    }
    EXPECT_LT(zmax - zmin, 0.05);
    EXPECT_GT(rmax, 0.5);
    EXPECT_LT(rmin, -0.5);
}
