// Temporary stand-ins for the library's helper section, so that the writing, texture, welding and
// image sections can be tested and benchmarked before that section lands. They are weak symbols: once
// glm.cpp defines the real functions, the linker takes those and these are ignored. Delete this file
// (and its #include in bench/bench_weld.cpp) when the helper section is merged.
#include "glm.h"

#define GLM_STANDIN __attribute__((weak))

GLM_STANDIN float glmMax(float a, float b) {
    return b > a ? b : a;
}

GLM_STANDIN float glmAbs(float f) {
    return f < 0 ? -f : f;
}

GLM_STANDIN int glmEqual(const float* u, const float* v, float epsilon) {
    return glmAbs(u[0] - v[0]) < epsilon && glmAbs(u[1] - v[1]) < epsilon && glmAbs(u[2] - v[2]) < epsilon;
}

GLM_STANDIN std::string glmDirName(const char* path) {
    const std::string p = path;
    const size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

GLM_STANDIN void glmDimensions(GlmModel* model, float* dimensions) {
    float max[3], min[3];
    for (int k = 0; k < 3; k++)
        max[k] = min[k] = model->vertices[3 + k];
    for (unsigned i = 1; i <= model->vertexcount; i++)
        for (int k = 0; k < 3; k++) {
            const float c = model->vertices[3 * i + k];
            if (c > max[k])
                max[k] = c;
            if (c < min[k])
                min[k] = c;
        }
    for (int k = 0; k < 3; k++)
        dimensions[k] = glmAbs(max[k]) + glmAbs(min[k]);
}

GLM_STANDIN void glmDelete(GlmModel* model) {
    while (model->groups) {
        GlmGroup* next = model->groups->next;
        delete model->groups;
        model->groups = next;
    }
    delete model;
}
