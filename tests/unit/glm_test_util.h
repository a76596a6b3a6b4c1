// Shared by the model library's tests: reading a data file quietly and showing its triangles and groups.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "glm.h"

inline std::string dataPath(const std::string& name) {
    return std::string(TEST_DATA_DIR) + "/" + name;
}

// Reads tests/data/NAME; what the reader prints on standard output goes to *out when given.
inline GlmModel* readData(const std::string& name, std::string* out = nullptr, std::string* err = nullptr) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    GlmModel* model = glmReadOBJ(dataPath(name).c_str());
    fflush(stdout);
    fflush(stderr);
    const std::string o = testing::internal::GetCapturedStdout();
    const std::string e = testing::internal::GetCapturedStderr();
    if (out)
        *out = o;
    if (err)
        *err = e;
    return model;
}

// The groups from the head of the list: "name:material:t0,t1,..;" for each.
inline std::string groupsOf(const GlmModel* m) {
    std::string s;
    for (const GlmGroup* g = m->groups; g; g = g->next) {
        s += g->name + ":" + std::to_string(g->material) + ":";
        for (unsigned k = 0; k < g->trianglecount; k++)
            s += (k ? "," : "") + std::to_string(g->triangles[k]);
        s += ";";
    }
    return s;
}

// Corner k of triangle t as "v/t/n".
inline std::string cornerOf(const GlmModel* m, unsigned t, int k) {
    const GlmTriangle& tri = m->triangles[t];
    return std::to_string(tri.vertexindices[k]) + "/" + std::to_string(tri.texcoordindices[k]) + "/" +
           std::to_string(tri.normalindices[k]);
}

inline std::string triangleOf(const GlmModel* m, unsigned t) {
    return cornerOf(m, t, 0) + " " + cornerOf(m, t, 1) + " " + cornerOf(m, t, 2);
}
