// Shared by the model library's tests: files, what a call prints, models read quietly and shown as text.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>

#include "glm.h"

inline std::string dataPath(const std::string& name) {
    return name[0] == '/' ? name : std::string(TEST_DATA_DIR) + "/" + name;
}

// A file of this process in the temporary directory, holding text when given.
inline std::string tempFile(const std::string& name, const std::string& text = "") {
    const std::string path = testing::TempDir() + "glm_" + std::to_string(getpid()) + "_" + name;
    if (!text.empty())
        std::ofstream(path, std::ios::binary) << text;
    return path;
}

// Runs f; returns what it printed on standard output, then on standard error, then " ended N" if it
// ended the process with status N: glmExit throws here, as in the fuzzers, so that the test goes on.
inline std::string printed(const std::function<void()>& f) {
    std::string ended;
    glmExit = [](int status) { throw status; };
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    try {
        f();
    } catch (int status) {
        ended = " ended " + std::to_string(status);
    }
    glmExit = exit;
    const std::string out = testing::internal::GetCapturedStdout();
    return out + testing::internal::GetCapturedStderr() + ended;
}

// Reads a file of tests/data, or one given by its full path; what the reader said goes to *said.
inline GlmModel* readData(const std::string& name, std::string* said = nullptr) {
    GlmModel* m = nullptr;
    const std::string s = printed([&] { m = glmReadOBJ(dataPath(name).c_str()); });
    if (said)
        *said = s;
    return m;
}

// The triangles as "v/t/n v/t/n v/t/n;" each, and the groups from the head of the list as
// "name:material:t0,t1,..;" each.
inline std::string trianglesOf(const GlmModel* m) {
    std::string s;
    for (const GlmTriangle& t : m->triangles)
        for (int k = 0; k < 3; k++)
            s += std::to_string(t.vertexindices[k]) + "/" + std::to_string(t.texcoordindices[k]) + "/" +
                 std::to_string(t.normalindices[k]) + (k < 2 ? " " : ";");
    return s;
}

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
