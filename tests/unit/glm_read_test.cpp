// The OBJ and MTL readers: one table of files named after their case, what a model holds, the fatal
// errors, hostile paths and models spoilt by hand, a file large enough to be read in several runs.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>

#include "glm.h"
#include "glm_test_util.h"

namespace {

// A file of tests/data, what it reads as: its triangles as "v/t/n" corners joined by ";", its groups
// from the head of the list, and what the reader printed after its opening line.
struct ReadCase {
    const char* file;
    const char* triangles;
    const char* groups;
    const char* out;
    const char* err;
};

std::string trianglesOf(const GlmModel* m) {
    std::string s;
    for (unsigned t = 0; t < m->trianglecount; t++)
        s += (t ? ";" : "") + triangleOf(m, t);
    return s;
}

std::string tempPath(const std::string& name) {
    return testing::TempDir() + "glm_" + std::to_string(getpid()) + "_" + name;
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST(ObjReader, FilesNamedAfterTheirCase) {
    const ReadCase cases[] = {
        {"face_forms.obj", "1/0/0 2/0/0 3/0/0;1/1/0 2/2/0 3/3/0;1/1/1 2/2/2 3/3/3;1/0/4 2/0/5 3/0/6",
         "default:0:0,1,2,3;", "", ""},
        {"fan_4_and_5.obj",
         "1/1/1 2/2/1 3/3/1;1/1/1 3/3/1 4/4/1;1/0/0 2/0/0 3/0/0;1/0/0 3/0/0 4/0/0;1/0/0 4/0/0 5/0/0",
         "default:0:0,1,2,3,4;", "", ""},
        // The face runs on over lines until "g", whose line names the group " after".
        {"face_over_two_lines.obj", "1/0/0 2/0/0 3/0/0;1/0/0 3/0/0 4/0/0;1/0/0 4/0/0 5/0/0;3/0/0 4/0/0 5/0/0",
         " after:0:3;default:0:0,1,2;", "", ""},
        {"group_met_twice.obj",
         "1/0/0 2/0/0 3/0/0;1/0/0 3/0/0 4/0/0;2/0/0 3/0/0 4/0/0;1/0/0 2/0/0 4/0/0;4/0/0 3/0/0 2/0/0",
         ":0:4; tail:0:2; wing:0:1,3;default:0:0;", "", ""},
        {"crlf_line_ends.obj", "1/0/0 2/0/0 3/0/0", " hull:0:0;default:0:;",
         "glmFindMaterial():  can't find material \"x\".\n", ""},
        {"no_final_line_end.obj", "1/0/0 2/0/0 3/0/0", " last:0:0;default:0:;", "", ""},
        // The second face comes after the fourth vertex: -1 names it.
        {"negative_indices.obj", "1/1/1 2/2/1 3/2/1;1/0/0 2/0/0 4/0/0", "default:0:0,1;", "", ""},
        // Texture and normal indices that name nothing are left out; broken triangles are dropped.
        {"bad_indices.obj",
         "1/0/0 2/0/0 3/0/0;1/0/0 2/0/0 3/0/0;1/0/0 3/0/0 4/0/0;1/1/0 2/1/0 3/1/0;1/0/0 2/1/0 3/1/0;"
         "1/0/0 2/0/0 3/0/0;2/0/0 3/0/0 4/0/0",
         "default:0:0,1,2,3,4,5,6;", "",
         "glmReadOBJ() warning: line 7: 1 triangle(s) with a bad vertex or item dropped.\n"
         "glmReadOBJ() warning: line 8: 1 triangle(s) with a bad vertex or item dropped.\n"
         "glmReadOBJ() warning: line 9: 1 triangle(s) with a bad vertex or item dropped.\n"
         "glmReadOBJ() warning: line 10: 1 triangle(s) with a bad vertex or item dropped.\n"
         "glmReadOBJ() warning: line 12: 1 triangle(s) with a bad vertex or item dropped.\n"
         "glmReadOBJ() warning: line 13: 1 item(s) naming no such texture coordinate or normal.\n"
         "glmReadOBJ() warning: line 14: 3 item(s) naming no such texture coordinate or normal.\n"
         "glmReadOBJ() warning: line 15: face with fewer than three items ignored.\n"
         "glmReadOBJ() warning: line 16: 1 triangle(s) with a bad vertex or item dropped.\n"
         "glmReadOBJ() warning: line 17: 1 triangle(s) with a bad vertex or item dropped.\n"
         "glmReadOBJ() warning: 1 more warnings not listed.\n"},
        // "1/1/" and "1//", as exporters write them, give the indices they hold; no warning.
        {"empty_last_index.obj", "1/1/0 2/2/0 3/3/0;1/0/0 2/0/0 3/0/0;1/0/0 2/0/1 3/0/1;1/0/0 2/0/0 3/0/0",
         "default:0:0,1,2,3;", "", ""},
        // " hull" is named again after "usemtl red": the later line decides.
        {"usemtl_before_group.obj", "1/0/0 2/0/0 3/0/0;1/0/0 2/0/0 3/0/0;3/0/0 2/0/0 1/0/0",
         " fin:1:; hull:1:1,2;default:2:0;", "", ""},
        {"mtllib_after_usemtl.obj", "1/0/0 2/0/0 3/0/0;1/0/0 2/0/0 3/0/0", " b:0:1; a:1:0;default:0:;",
         "glmFindMaterial():  can't find material \"none\".\n", ""},
        // Names keep every byte; a message echoes control characters escaped, accents as they are.
        {"control_characters.obj", "1/0/0 2/0/0 3/0/0", " coque\x1b[2J:0:0;default:0:;",
         "glmFindMaterial():  can't find material \"rouge\xc3\xa9\\x1b[31m\\x7f\".\n", ""},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.file);
        std::string out, err;
        GlmModel* m = readData(c.file, &out, &err);
        EXPECT_EQ(trianglesOf(m), c.triangles);
        EXPECT_EQ(groupsOf(m), c.groups);
        EXPECT_EQ(out, ": open data file \"" + dataPath(c.file) + "\".\n" + c.out);
        EXPECT_EQ(err, c.err);
        // Whatever the file, what the model holds is usable by everything else.
        glmFacetNormals(m);
        glmVertexNormals(m, 90.0f);
        glmDelete(m);
    }
}

TEST(ObjReader, ArraysFromSlotOne) {
    GlmModel* m = readData("face_forms.obj");
    EXPECT_EQ(m->path, dataPath("face_forms.obj"));
    EXPECT_EQ(m->vertexcount, 6u);
    EXPECT_EQ(m->vertices.size(), 3u * 7);
    EXPECT_EQ(m->vertices[3 * 6 + 2], 1.0f);
    EXPECT_EQ(m->texcoordcount, 3u);
    EXPECT_EQ(m->texcoords.size(), 2u * 4);
    EXPECT_EQ(m->texcoords[2 * 3 + 1], 1.0f);
    EXPECT_EQ(m->normalcount, 6u);
    EXPECT_EQ(m->normals.size(), 3u * 7);
    EXPECT_EQ(m->normals[3 * 6 + 0], -1.0f);
    EXPECT_EQ(m->trianglecount, 4u);
    EXPECT_TRUE(m->facetnorms.empty() && m->facetnormcount == 0);
    EXPECT_TRUE(m->materials.empty() && m->materialcount == 0 && m->mtllib.empty());
    glmDelete(m);
    GlmModel* cube = readData("cube.obj"); // no "vt": no texture coordinates
    EXPECT_TRUE(cube->texcoords.empty() && cube->texcoordcount == 0);
    glmDelete(cube);
}

TEST(ObjReader, ShortStatementsFillWithZeros) {
    GlmModel* m = readData("short_statements.obj");
    ASSERT_EQ(m->vertexcount, 7u);
    const std::vector<float> v(m->vertices.begin() + 3, m->vertices.end());
    const std::vector<float> expected = {1, 2, 0, 3, 0,   0,      0, 0, 0,    4, 5,
                                         6, 7, 8, 0, 100, -0.25f, 8, 1, 0.5f, 5};
    EXPECT_EQ(v, expected);
    ASSERT_EQ(m->normalcount, 1u);
    EXPECT_EQ(std::vector<float>(m->normals.begin() + 3, m->normals.end()), (std::vector<float>{0.5f, 0, 0}));
    ASSERT_EQ(m->texcoordcount, 2u);
    EXPECT_EQ(std::vector<float>(m->texcoords.begin() + 2, m->texcoords.end()),
              (std::vector<float>{0, 0, 0.25f, 0.75f}));
    glmDelete(m);
}

TEST(ObjReader, LongNamesAndTokensAreKeptWhole) {
    std::string out;
    GlmModel* m = readData("long_names.obj", &out);
    EXPECT_EQ(m->groupcount, 2u);
    EXPECT_EQ(m->groups->name, " " + std::string(300, 'n'));
    EXPECT_NE(out.find("can't find material \"" + std::string(400, 'm') + "\""), std::string::npos);
    EXPECT_EQ(m->vertexcount, 4u);
    EXPECT_TRUE(std::isinf(m->vertices[3 * 4])); // two hundred digits
    EXPECT_EQ(m->trianglecount, 1u + 2001u);
    glmDelete(m);
}

TEST(ObjReader, NumbersAreThoseOfScanf) {
    // Every shape of number: the reader's shortcut and its general path must both give what "%f" gives.
    std::mt19937 rng(7);
    std::vector<std::string> tokens = {"0",          "-0",
                                       "1e38",       "3.4028236e38",
                                       "1e-46",      "1.17549435e-38",
                                       "0x1.8p1",    "-0X10",
                                       "+2.5",       "inf",
                                       "-nan",       "16777217",
                                       "16777216.5", "0.1",
                                       "123456789",  "1234.56789",
                                       ".000001",    "9999999.",
                                       "-.5",        "7e",
                                       "8.5x",       "9999999.9999999"};
    for (int k = 0; k < 3000; k++) {
        const int digits = 1 + int(rng() % 16), point = int(rng() % unsigned(digits + 1));
        std::string t = rng() % 2 ? "-" : "";
        for (int d = 0; d < digits; d++) {
            if (d == point)
                t += ".";
            t += char('0' + rng() % 10);
        }
        if (rng() % 5 == 0)
            t += "e" + std::to_string(int(rng() % 80) - 40);
        tokens.push_back(t);
    }
    std::string text;
    for (const std::string& t : tokens)
        text += "v " + t + " 0 0\n";
    const std::string path = tempPath("numbers.obj");
    writeFile(path, text);
    testing::internal::CaptureStdout();
    GlmModel* m = glmReadOBJ(path.c_str());
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(m->vertexcount, tokens.size());
    for (size_t i = 0; i < tokens.size(); i++) {
        float expected = 0;
        sscanf(tokens[i].c_str(), "%f", &expected);
        const float got = m->vertices[3 * (i + 1)];
        EXPECT_TRUE(memcmp(&got, &expected, sizeof got) == 0 || (std::isnan(got) && std::isnan(expected)))
            << tokens[i] << ": " << got << " instead of " << expected;
    }
    glmDelete(m);
    remove(path.c_str());
}

TEST(ObjReader, LargeFileReadsInRunsAsWhole) {
    // Megabytes of one block of statements, faces running on over lines among them: the file is read
    // in runs of a few megabytes, and every run must continue where the one before stopped.
    const std::string block = "v 1 2 3\nv 4 5 6\nvt 0.5 0.25\nf -2/-1 -1/-1\n -2/-1\n# a comment\n";
    std::string text;
    while (text.size() < (9u << 20))
        text += block;
    const unsigned blocks = unsigned(text.size() / block.size());
    text += "f 1 2\ng tail\nf 1 2 3"; // a face too short, on a line numbered across all the runs
    const std::string path = tempPath("large.obj");
    writeFile(path, text);
    std::string err;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    GlmModel* m = glmReadOBJ(path.c_str());
    testing::internal::GetCapturedStdout();
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(m->vertexcount, 2 * blocks);
    EXPECT_EQ(m->texcoordcount, blocks);
    ASSERT_EQ(m->trianglecount, blocks + 1);
    EXPECT_EQ(triangleOf(m, blocks - 1), std::to_string(2 * blocks - 1) + "/" + std::to_string(blocks) +
                                             "/0 " + std::to_string(2 * blocks) + "/" +
                                             std::to_string(blocks) + "/0 " + std::to_string(2 * blocks - 1) +
                                             "/" + std::to_string(blocks) + "/0");
    EXPECT_EQ(err, "glmReadOBJ() warning: line " + std::to_string(6 * blocks + 1) +
                       ": face with fewer than three items ignored.\n");
    EXPECT_EQ(m->groups->name, " tail");
    EXPECT_EQ(m->groups->triangles, std::vector<unsigned>{blocks});
    glmDelete(m);
    remove(path.c_str());
}

TEST(MtlReader, LibraryWithTwoMaterials) {
    GlmModel* m = readData("usemtl_before_group.obj");
    ASSERT_EQ(m->materialcount, 3u);
    const GlmMaterial& def = m->materials[0];
    EXPECT_EQ(def.name, "default");
    EXPECT_EQ(std::vector<float>(def.diffuse, def.diffuse + 4), (std::vector<float>{0.1f, 0.2f, 0.3f, 1.0f}));
    EXPECT_EQ(def.shininess, 65.0f);
    const GlmMaterial& red = m->materials[1];
    EXPECT_EQ(red.name, "red");
    EXPECT_EQ(std::vector<float>(red.ambient, red.ambient + 4), (std::vector<float>{0.5f, 0, 0, 1}));
    EXPECT_EQ(std::vector<float>(red.diffuse, red.diffuse + 4), (std::vector<float>{1, 0, 0, 1}));
    EXPECT_EQ(std::vector<float>(red.specular, red.specular + 4), (std::vector<float>{0.9f, 0.9f, 0.9f, 1}));
    EXPECT_EQ(red.shininess, 64.0f);
    const GlmMaterial& blue = m->materials[2];
    EXPECT_EQ(blue.name, "blue");
    EXPECT_EQ(std::vector<float>(blue.ambient, blue.ambient + 4), (std::vector<float>{0.2f, 0.2f, 0.2f, 1}));
    EXPECT_EQ(blue.shininess, 128.0f);
    glmDelete(m);
}

TEST(MtlReader, WithoutNewmtlAndShininess) {
    GlmModel* m = readData("library_without_newmtl.obj");
    ASSERT_EQ(m->materialcount, 1u);
    EXPECT_EQ(m->materials[0].name, "default");
    EXPECT_EQ(m->materials[0].ambient[0], 0.3f);
    EXPECT_EQ(m->materials[0].diffuse[0], 0.8f);
    EXPECT_EQ(m->materials[0].shininess, 0.0f);
    glmDelete(m);
    m = readData("ns_conversions.obj");
    ASSERT_EQ(m->materialcount, 6u);
    EXPECT_EQ(m->materials[1].shininess, 128.0f);
    EXPECT_EQ(m->materials[2].shininess, 64.0f);
    EXPECT_EQ(m->materials[3].shininess, 0.0f);
    EXPECT_EQ(m->materials[4].shininess, float(1.5 / 1000.0 * 128.0)); // "Ni" taken as shininess
    EXPECT_EQ(m->materials[5].shininess, 65.0f);
    // A "Kd" with two numbers sets two components; "Ns" with a word in place of its number, none.
    EXPECT_EQ(std::vector<float>(m->materials[5].diffuse, m->materials[5].diffuse + 4),
              (std::vector<float>{1, 1, 0.8f, 1}));
    glmDelete(m);
}

TEST(MtlReader, LibraryNextToAModelWithoutDirectory) {
    char old[4096];
    ASSERT_TRUE(getcwd(old, sizeof old));
    ASSERT_EQ(chdir(TEST_DATA_DIR), 0);
    testing::internal::CaptureStdout();
    GlmModel* m = glmReadOBJ("usemtl_before_group.obj");
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(chdir(old), 0);
    EXPECT_EQ(m->materialcount, 3u);
    glmDelete(m);
}

TEST(ObjReaderDeath, RefusedFilesEndWithStatus1) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A FIFO would block the reader and /dev/zero would never end: like a directory, they count as
    // files that cannot be opened, as a model and as its library. Fixed names: the death test's child
    // runs this body again and must find the same paths.
    const std::string fifo = testing::TempDir() + "glm_fifo.mtl";
    const std::string device = testing::TempDir() + "glm_device.mtl";
    const std::string names = testing::TempDir() + "glm_names_special.obj";
    remove(fifo.c_str());
    remove(device.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", device.c_str()), 0);
    const struct {
        std::string path, message;
    } cases[] = {
        {"tests/data/no_such_file.obj",
         "glmReadOBJ\\(\\) failed: can't open data file \"tests/data/no_such_file.obj\"\\.\n"},
        {TEST_DATA_DIR, "can't open data file"},
        {"/dev/zero", "can't open data file \"/dev/zero\""},
        {fifo, "can't open data file \"" + fifo + "\""},
        {dataPath("missing_library.obj"), "glmReadMTL\\(\\) failed: can't open material file \"" +
                                              dataPath("no_such_library.mtl") + "\"\\.\n"},
        {names + "|" + fifo, "can't open material file \"" + fifo + "\""},
        {names + "|" + device, "can't open material file \"" + device + "\""},
        // The message goes to standard output; the child sends it to standard error to be matched.
        {dataPath("unknown_token_vp.obj"), "glmFirstPass\\(\\): Unknown token \"vp\"\\.\n$"},
    };
    for (const auto& c : cases) {
        const size_t bar = c.path.find('|'); // a model naming the library after the bar
        if (bar != std::string::npos)
            writeFile(names, "mtllib " + c.path.substr(c.path.rfind('/') + 1) + "\nv 0 0 0\n");
        const std::string path = c.path.substr(0, bar);
        EXPECT_EXIT(
            {
                dup2(2, 1);
                glmReadOBJ(path.c_str());
            },
            testing::ExitedWithCode(1), c.message)
            << c.path;
    }
    remove(fifo.c_str());
    remove(device.c_str());
    remove(names.c_str());
}

namespace {

struct Ended {
    int status;
};

[[noreturn]] void throwEnded(int status) {
    throw Ended{status};
}

// Entries of /proc/self/fd, the directory's own among them.
size_t openFiles() {
    size_t n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d))
            n++;
        closedir(d);
    }
    return n;
}

} // namespace

TEST(ObjReader, ExitHookLetsAHarnessGoOnWithNothingLeft) {
    // A fuzzer points glmExit at a function that throws: the reading ends with the status the process
    // would have ended with, the message already printed, and the half-read model, its mapping and the
    // file released (the leak checker of the sanitizer build sees the first, the count of open files
    // the last).
    glmExit = throwEnded;
    const size_t before = openFiles();
    for (const char* name : {"unknown_token_vp.obj", "missing_library.obj", "no_such_file.obj", ""}) {
        int status = 0;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        try {
            glmReadOBJ(dataPath(name).c_str());
        } catch (const Ended& e) {
            status = e.status;
        }
        const std::string out =
            testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, 1) << name;
        EXPECT_NE(out.find("glm"), std::string::npos) << out;
    }
    EXPECT_EQ(openFiles(), before);
    glmExit = exit;
}

TEST(ModelChecks, SpoiltModelsStopWithWhatIsWrong) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A model changed by hand so that a count or an index names nothing: the function that would
    // follow it stops at once, naming what is wrong, rather than reading outside an array.
    const struct {
        const char* what;
        std::function<void(GlmModel*)> spoil, call;
        const char* message;
    } cases[] = {
        {"vertex normals, vertex index past the vertices",
         [](GlmModel* m) { m->triangles[3].vertexindices[1] = 9; },
         [](GlmModel* m) { glmVertexNormals(m, 90.0f); },
         "t.vertexindices\\[k\\] >= 1 && t.vertexindices\\[k\\] <= model->vertexcount"},
        {"facet normals, vertex index past the vertices",
         [](GlmModel* m) { m->triangles[0].vertexindices[0] = 9; }, [](GlmModel* m) { glmFacetNormals(m); },
         "t.vertexindices"},
        {"weld, vertex index 0", [](GlmModel* m) { m->triangles[0].vertexindices[0] = 0; },
         [](GlmModel* m) { glmWeld(m, 0.1f); }, "t.vertexindices"},
        {"draw, more triangles counted than held", [](GlmModel* m) { m->trianglecount++; },
         [](GlmModel* m) { glmDraw(m, 0); }, "model->triangles.size\\(\\) == model->trianglecount"},
        {"draw, a group listing no such triangle", [](GlmModel* m) { m->groups->triangles[0] = 12; },
         [](GlmModel* m) { glmDraw(m, 0); }, "t < model->trianglecount"},
        {"draw smooth, normal index past the normals",
         [](GlmModel* m) { m->triangles[5].normalindices[2] = 99; },
         [](GlmModel* m) { glmDraw(m, GlmModeSmooth); }, "t.normalindices\\[k\\] <= model->normalcount"},
        {"write, a count beside a shorter array", [](GlmModel* m) { m->vertexcount = 40; },
         [](GlmModel* m) { glmWriteOBJ(m, "/dev/null", 0); },
         "glmEntries\\(model->vertices, 3\\) == model->vertexcount"},
        {"write, a group's material past the materials", [](GlmModel* m) { m->groups->material = 7; },
         [](GlmModel* m) { glmWriteOBJ(m, "/dev/null", GlmModeMaterial); }, "group->material == 0"},
    };
    for (const auto& c : cases) {
        GlmModel* m = readData("cube.obj");
        glmFacetNormals(m);
        glmVertexNormals(m, 90.0f);
        c.spoil(m);
        EXPECT_DEATH(c.call(m), std::string("^glm:[0-9]+: failed assertion `") + c.message) << c.what;
        glmDelete(m);
    }
}
