// Small models built field by field for the model-library tests, and a temporary directory per test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "glm.h"

using GlmModelPtr = std::unique_ptr<GlmModel, void (*)(GlmModel*)>;

inline GlmModelPtr glmNewModel() {
    return GlmModelPtr(new GlmModel, glmDelete);
}

// Fills an indexed-from-1 array: slot 0 stays zero, the given values follow.
inline void glmFill(std::vector<float>& array, unsigned& count, unsigned per,
                    std::initializer_list<float> values) {
    array.assign(per, 0.0f);
    array.insert(array.end(), values.begin(), values.end());
    count = static_cast<unsigned>(values.size() / per);
}

// Puts a new group at the head of the list, as the reader does.
inline GlmGroup* glmPushGroup(GlmModel* model, const std::string& name, std::vector<unsigned> triangles,
                              unsigned material = 0) {
    GlmGroup* group = new GlmGroup;
    group->name = name;
    group->trianglecount = static_cast<unsigned>(triangles.size());
    group->triangles = std::move(triangles);
    group->material = material;
    group->next = model->groups;
    model->groups = group;
    model->groupcount++;
    return group;
}

inline GlmTriangle glmTri(unsigned a, unsigned b, unsigned c) {
    GlmTriangle t;
    t.vertexindices[0] = a;
    t.vertexindices[1] = b;
    t.vertexindices[2] = c;
    return t;
}

// A fresh, empty directory for the files one test writes; named after the test and the process, so
// that tests running side by side never share one.
inline std::string glmTestDir() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path dir =
        std::filesystem::path(testing::TempDir()) /
        ("glm_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string() + "/";
}

inline std::string glmSlurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
