// The OBJ and MTL readers: every face form, fans, groups, materials, the fatal errors, hostile
// input, and a parallel reading that must equal the sequential one.
#include <dirent.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "glm.h"
#include "glm_test_util.h"

TEST(ObjReader, FaceForms) {
    std::string out;
    GlmModel* m = readData("face_forms.obj", &out);
    EXPECT_EQ(out, ": open data file \"" + dataPath("face_forms.obj") + "\".\n");
    EXPECT_EQ(m->path, dataPath("face_forms.obj"));
    EXPECT_EQ(m->vertexcount, 6u);
    EXPECT_EQ(m->texcoordcount, 3u);
    EXPECT_EQ(m->normalcount, 6u);
    ASSERT_EQ(m->trianglecount, 4u);
    EXPECT_EQ(triangleOf(m, 0), "1/0/0 2/0/0 3/0/0");
    EXPECT_EQ(triangleOf(m, 1), "1/1/0 2/2/0 3/3/0");
    EXPECT_EQ(triangleOf(m, 2), "1/1/1 2/2/2 3/3/3");
    EXPECT_EQ(triangleOf(m, 3), "1/0/4 2/0/5 3/0/6");
    EXPECT_EQ(m->vertices.size(), 3u * 7);
    EXPECT_EQ(m->vertices[3 * 6 + 2], 1.0f);
    EXPECT_EQ(m->texcoords.size(), 2u * 4);
    EXPECT_EQ(m->texcoords[2 * 3 + 1], 1.0f);
    EXPECT_EQ(m->normals.size(), 3u * 7);
    EXPECT_EQ(m->normals[3 * 6 + 0], -1.0f);
    EXPECT_TRUE(m->facetnorms.empty());
    EXPECT_EQ(m->facetnormcount, 0u);
    EXPECT_TRUE(m->materials.empty());
    EXPECT_EQ(m->materialcount, 0u);
    EXPECT_TRUE(m->mtllib.empty());
    EXPECT_EQ(groupsOf(m), "default:0:0,1,2,3;");
    glmDelete(m);
}

TEST(ObjReader, FansOfFourAndFive) {
    GlmModel* m = readData("fan_4_and_5.obj");
    ASSERT_EQ(m->trianglecount, 5u);
    EXPECT_EQ(triangleOf(m, 0), "1/1/1 2/2/1 3/3/1");
    EXPECT_EQ(triangleOf(m, 1), "1/1/1 3/3/1 4/4/1");
    EXPECT_EQ(triangleOf(m, 2), "1/0/0 2/0/0 3/0/0");
    EXPECT_EQ(triangleOf(m, 3), "1/0/0 3/0/0 4/0/0");
    EXPECT_EQ(triangleOf(m, 4), "1/0/0 4/0/0 5/0/0");
    glmDelete(m);
}

TEST(ObjReader, FaceOverTwoLinesEndsAtTheFirstWord) {
    GlmModel* m = readData("face_over_two_lines.obj");
    ASSERT_EQ(m->trianglecount, 4u);
    EXPECT_EQ(triangleOf(m, 2), "1/0/0 4/0/0 5/0/0");
    // "g" after the items on the same line names the group " after".
    EXPECT_EQ(groupsOf(m), " after:0:3;default:0:0,1,2;");
    glmDelete(m);
}

TEST(ObjReader, GroupMetTwiceCollectsItsLaterFaces) {
    GlmModel* m = readData("group_met_twice.obj");
    EXPECT_EQ(m->groupcount, 4u);
    EXPECT_EQ(groupsOf(m), ":0:4; tail:0:2; wing:0:1,3;default:0:0;");
    glmDelete(m);
}

TEST(ObjReader, LineEndsAndLastLine) {
    GlmModel* crlf = readData("crlf_line_ends.obj");
    EXPECT_EQ(groupsOf(crlf), " hull:0:0;default:0:;");
    GlmModel* last = readData("no_final_line_end.obj");
    EXPECT_EQ(groupsOf(last), " last:0:0;default:0:;");
    EXPECT_EQ(triangleOf(last, 0), "1/0/0 2/0/0 3/0/0");
    glmDelete(crlf);
    glmDelete(last);
}

TEST(ObjReader, NegativeIndicesCountBackFromWhatWasRead) {
    GlmModel* m = readData("negative_indices.obj");
    ASSERT_EQ(m->trianglecount, 2u);
    EXPECT_EQ(triangleOf(m, 0), "1/1/1 2/2/1 3/2/1");
    EXPECT_EQ(triangleOf(m, 1), "1/0/0 2/0/0 4/0/0"); // read after the fourth vertex
    glmDelete(m);
}

TEST(ObjReader, BadFacesAreDroppedWithAWarningNamingTheLine) {
    std::string err;
    GlmModel* m = readData("bad_indices.obj", nullptr, &err);
    ASSERT_EQ(m->trianglecount, 7u);
    EXPECT_EQ(triangleOf(m, 0), "1/0/0 2/0/0 3/0/0");
    EXPECT_EQ(triangleOf(m, 1), "1/0/0 2/0/0 3/0/0");
    EXPECT_EQ(triangleOf(m, 2), "1/0/0 3/0/0 4/0/0");
    EXPECT_EQ(triangleOf(m, 3), "1/1/0 2/1/0 3/1/0");
    EXPECT_EQ(triangleOf(m, 4), "1/0/0 2/1/0 3/1/0"); // texture index 2 left out
    EXPECT_EQ(triangleOf(m, 5), "1/0/0 2/0/0 3/0/0"); // normal indices without normals left out
    EXPECT_EQ(triangleOf(m, 6), "2/0/0 3/0/0 4/0/0");
    EXPECT_EQ(groupsOf(m), "default:0:0,1,2,3,4,5,6;");
    EXPECT_EQ(m->triangles.size(), 7u);
    EXPECT_EQ(err, "glmReadOBJ() warning: line 7: 1 triangle(s) with a bad vertex or item dropped.\n"
                   "glmReadOBJ() warning: line 8: 1 triangle(s) with a bad vertex or item dropped.\n"
                   "glmReadOBJ() warning: line 9: 1 triangle(s) with a bad vertex or item dropped.\n"
                   "glmReadOBJ() warning: line 10: 1 triangle(s) with a bad vertex or item dropped.\n"
                   "glmReadOBJ() warning: line 12: 1 triangle(s) with a bad vertex or item dropped.\n"
                   "glmReadOBJ() warning: line 13: 1 item(s) naming no such texture coordinate or normal.\n"
                   "glmReadOBJ() warning: line 14: 3 item(s) naming no such texture coordinate or normal.\n"
                   "glmReadOBJ() warning: line 15: face with fewer than three items ignored.\n"
                   "glmReadOBJ() warning: line 16: 1 triangle(s) with a bad vertex or item dropped.\n"
                   "glmReadOBJ() warning: line 17: 1 triangle(s) with a bad vertex or item dropped.\n"
                   "glmReadOBJ() warning: 1 more warnings not listed.\n");
    // What is left is usable by everything else.
    glmFacetNormals(m);
    glmVertexNormals(m, 90.0f);
    for (const GlmTriangle& t : m->triangles)
        for (unsigned n : t.normalindices)
            EXPECT_TRUE(n >= 1 && n <= m->normalcount);
    glmDelete(m);
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

TEST(ObjReader, WithoutGroupOrMaterials) {
    std::string out;
    GlmModel* m = readData("cube.obj", &out);
    EXPECT_EQ(m->groupcount, 1u);
    EXPECT_EQ(m->groups->name, "default");
    EXPECT_EQ(m->groups->trianglecount, 12u);
    EXPECT_TRUE(m->texcoords.empty());
    EXPECT_EQ(m->texcoordcount, 0u);
    glmDelete(m);
}

TEST(ObjReader, UsemtlBeforeAnyGroupSetsDefault) {
    std::string out;
    GlmModel* m = readData("usemtl_before_group.obj", &out);
    EXPECT_EQ(m->mtllib, "two_materials.mtl");
    ASSERT_EQ(m->materialcount, 3u);
    // " hull" is named again after "usemtl red": the later line decides.
    EXPECT_EQ(groupsOf(m), " fin:1:; hull:1:1,2;default:2:0;");
    EXPECT_EQ(out.find("can't find"), std::string::npos);
    glmDelete(m);
}

TEST(ObjReader, MtllibAfterUsemtlStillResolvesNames) {
    std::string out;
    GlmModel* m = readData("mtllib_after_usemtl.obj", &out);
    EXPECT_EQ(groupsOf(m), " b:0:1; a:1:0;default:0:;");
    EXPECT_EQ(out, ": open data file \"" + dataPath("mtllib_after_usemtl.obj") +
                       "\".\nglmFindMaterial():  can't find material \"none\".\n");
    glmDelete(m);
}

TEST(ObjReader, UsemtlWithoutLibraryMapsToZero) {
    std::string out;
    GlmModel* m = readData("crlf_line_ends.obj", &out);
    EXPECT_NE(out.find("glmFindMaterial():  can't find material \"x\".\n"), std::string::npos);
    EXPECT_TRUE(m->materials.empty());
    EXPECT_EQ(m->groups->material, 0u);
    glmDelete(m);
}

TEST(MtlReader, LibraryWithTwoMaterials) {
    GlmModel* m = readData("usemtl_before_group.obj");
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
    EXPECT_EQ(std::vector<float>(blue.specular, blue.specular + 4), (std::vector<float>{0, 0, 0, 1}));
    EXPECT_EQ(blue.shininess, 128.0f);
    glmDelete(m);
}

TEST(MtlReader, LibraryWithoutNewmtl) {
    GlmModel* m = readData("library_without_newmtl.obj");
    ASSERT_EQ(m->materialcount, 1u);
    EXPECT_EQ(m->materials[0].name, "default");
    EXPECT_EQ(m->materials[0].ambient[0], 0.3f);
    EXPECT_EQ(m->materials[0].diffuse[0], 0.8f);
    EXPECT_EQ(m->materials[0].shininess, 0.0f);
    glmDelete(m);
}

TEST(MtlReader, ShininessConversions) {
    GlmModel* m = readData("ns_conversions.obj");
    ASSERT_EQ(m->materialcount, 6u);
    EXPECT_EQ(m->materials[1].shininess, 128.0f);
    EXPECT_EQ(m->materials[2].shininess, 64.0f);
    EXPECT_EQ(m->materials[3].shininess, 0.0f);
    EXPECT_EQ(m->materials[4].shininess, float(1.5 / 1000.0 * 128.0)); // "Ni" taken as shininess
    EXPECT_FLOAT_EQ(m->materials[4].shininess, 0.192f);
    EXPECT_EQ(m->materials[5].shininess, 65.0f);
    // A "Kd" with two numbers sets two components.
    EXPECT_EQ(std::vector<float>(m->materials[5].diffuse, m->materials[5].diffuse + 4),
              (std::vector<float>{1, 1, 0.8f, 1}));
    glmDelete(m);
}

TEST(ObjReaderDeath, UnreadableFileEndsWithStatus1) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(glmReadOBJ("tests/data/no_such_file.obj"), testing::ExitedWithCode(1),
                "^glmReadOBJ\\(\\) failed: can't open data file \"tests/data/no_such_file.obj\"\\.\n$");
    EXPECT_EXIT(glmReadOBJ(TEST_DATA_DIR), testing::ExitedWithCode(1), "can't open data file");
}

TEST(ObjReaderDeath, UnknownTokenEndsWithStatus1) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The message goes to standard output; the child sends it to standard error to be matched.
    EXPECT_EXIT(
        {
            dup2(2, 1);
            glmReadOBJ(dataPath("unknown_token_vp.obj").c_str());
        },
        testing::ExitedWithCode(1), "glmFirstPass\\(\\): Unknown token \"vp\"\\.\n$");
}

TEST(ObjReaderDeath, MissingLibraryEndsWithStatus1) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string path = dataPath("no_such_library.mtl");
    EXPECT_EXIT(glmReadOBJ(dataPath("missing_library.obj").c_str()), testing::ExitedWithCode(1),
                "^glmReadMTL\\(\\) failed: can't open material file \"" + path + "\"\\.\n$");
}

TEST(MtlReader, LibraryNextToAModelWithoutDirectory) {
    // A model path without "/" looks for its library in the working directory.
    char old[4096];
    ASSERT_TRUE(getcwd(old, sizeof old));
    ASSERT_EQ(chdir(TEST_DATA_DIR), 0);
    testing::internal::CaptureStdout();
    GlmModel* m = glmReadOBJ("usemtl_before_group.obj");
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(chdir(old), 0);
    EXPECT_EQ(m->materialcount, 3u);
    EXPECT_EQ(glmDirName(m->path.c_str()), "");
    glmDelete(m);
}

namespace {

std::string tempPath(const std::string& name) {
    return testing::TempDir() + "glm_" + std::to_string(getpid()) + "_" + name;
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A file of every kind of statement, good and bad, with faces running over lines, to read in
// parts of every size.
std::string hostileText(unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    std::ostringstream s;
    s << "mtllib two_materials.mtl\n";
    int v = 0;
    for (int line = 0; line < 3000; line++) {
        switch (pick(12)) {
        case 0:
        case 1:
            s << "v " << pick(1000) / 7.0 << " " << -pick(100) << " " << pick(10) << "e-" << pick(40) << "\n";
            v++;
            break;
        case 2:
            s << "vn " << pick(9) << "." << pick(1000) << (pick(5) ? " 1 0\n" : "\n");
            break;
        case 3:
            s << "vt 0." << pick(100) << " " << (pick(4) ? "0.5" : "") << "\r\n";
            break;
        case 4:
        case 5:
        case 6: {
            s << "f";
            const int items = pick(7);
            const int form = pick(4);
            for (int k = 0; k < items; k++) {
                const int i = pick(v + 4) - (pick(5) ? 0 : v + 2);
                s << (pick(6) ? " " : "\n ") << i;
                if (form == 1)
                    s << "/" << pick(20);
                if (form == 2)
                    s << "/" << pick(20) << "/" << pick(20) - 3;
                if (form == 3)
                    s << "//" << pick(20);
            }
            s << (pick(3) ? "\n" : " ");
            break;
        }
        case 7:
            s << "g " << (pick(2) ? "wing" : "tail") << pick(4) << "\n";
            break;
        case 8:
            s << "usemtl " << (pick(2) ? "red" : "blue") << "\n";
            break;
        case 9:
            s << "# comment " << std::string(size_t(pick(300)), 'x') << "\n";
            break;
        case 10:
            s << "\n   \n";
            break;
        default:
            s << "s " << pick(3) << "\n";
            break;
        }
    }
    return s.str();
}

GlmModel* readQuiet(const std::string& path, unsigned parts, unsigned block, std::string* err) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    GlmModel* m = glmReadOBJWith(path.c_str(), parts, block);
    testing::internal::GetCapturedStdout();
    *err = testing::internal::GetCapturedStderr();
    return m;
}

} // namespace

TEST(ObjReader, PartsAndBlocksNeverChangeTheModel) {
    // The material library must sit beside the file.
    std::ifstream lib(dataPath("two_materials.mtl"));
    std::stringstream libText;
    libText << lib.rdbuf();
    writeFile(testing::TempDir() + "two_materials.mtl", libText.str());
    for (unsigned seed = 1; seed <= 3; seed++) {
        const std::string path = tempPath("hostile.obj");
        writeFile(path, hostileText(seed));
        std::string err1;
        GlmModel* one = readQuiet(path, 1, 1 << 20, &err1);
        EXPECT_GT(one->trianglecount, 100u);
        EXPECT_GT(one->groupcount, 4u);
        const struct { unsigned parts, block; } ways[] = {{2, 1 << 20}, {2, 4096}, {5, 64}, {16, 7}, {9, 1}};
        for (const auto& way : ways) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(way.parts) +
                         " parts of blocks of " + std::to_string(way.block));
            std::string err;
            GlmModel* other = readQuiet(path, way.parts, way.block, &err);
            expectSameModel(one, other);
            EXPECT_EQ(err1, err);
            glmDelete(other);
        }
        // Everything the model holds is in range.
        for (const GlmTriangle& t : one->triangles)
            for (int k = 0; k < 3; k++) {
                EXPECT_TRUE(t.vertexindices[k] >= 1 && t.vertexindices[k] <= one->vertexcount);
                EXPECT_LE(t.normalindices[k], one->normalcount);
                EXPECT_LE(t.texcoordindices[k], one->texcoordcount);
            }
        glmDelete(one);
        remove(path.c_str());
    }
    remove((testing::TempDir() + "two_materials.mtl").c_str());
}

TEST(ObjReaderDeath, FirstFatalLineInTheFileWinsWhateverThePart) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Many lines before and between, so that the two fatal lines fall in different parts.
    std::string filler;
    for (int i = 0; i < 400; i++)
        filler += "v 1 2 3\nf 1 1 1\n";
    const std::string unknownFirst = tempPath("unknown_first.obj");
    writeFile(unknownFirst, filler + "vx 1\n" + filler + "mtllib no_such_library.mtl\n" + filler);
    const std::string libraryFirst = tempPath("library_first.obj");
    writeFile(libraryFirst, filler + "mtllib no_such_library.mtl\n" + filler + "vx 1\n" + filler);
    for (unsigned parts : {1u, 3u, 8u}) {
        EXPECT_EXIT(
            {
                dup2(2, 1);
                glmReadOBJWith(unknownFirst.c_str(), parts, 256);
            },
            testing::ExitedWithCode(1), "glmFirstPass\\(\\): Unknown token \"vx\"\\.\n$");
        EXPECT_EXIT(glmReadOBJWith(libraryFirst.c_str(), parts, 256), testing::ExitedWithCode(1),
                    "^glmReadMTL\\(\\) failed: can't open material file \".*no_such_library.mtl\"\\.\n$");
    }
    remove(unknownFirst.c_str());
    remove(libraryFirst.c_str());
}

TEST(ObjReader, NumbersAreThoseOfScanf) {
    // Every shape of number: the reader's shortcut and its general path must both give what "%f" gives.
    std::mt19937 rng(7);
    std::vector<std::string> tokens = {
        "0",          "-0",    "1e38",      "3.4028236e38", "1e-46",   "1.17549435e-38",
        "0x1.8p1",    "-0X10", "+2.5",      "inf",          "-nan",    "16777217",
        "16777216.5", "0.1",   "123456789", "1234.56789",   ".000001", "9999999.",
        "-.5",        "7e",    "8.5x"};
    for (int k = 0; k < 3000; k++) {
        const int digits = 1 + int(rng() % 12), point = int(rng() % unsigned(digits + 1));
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
    std::string err;
    GlmModel* m = readQuiet(path, 1, 1 << 20, &err);
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
    // would have ended with, the message already printed, and the half-read model and the file released
    // (the leak checker of the sanitizer build sees the former, the count of open files the latter).
    glmExit = throwEnded;
    const size_t before = openFiles();
    for (const char* name : {"unknown_token_vp.obj", "missing_library.obj", "no_such_file.obj", ""}) {
        int status = 0;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        try {
            glmReadOBJWith(dataPath(name).c_str(), 3, 16);
        } catch (const Ended& e) {
            status = e.status;
        }
        const std::string out =
            testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, 1) << name;
        EXPECT_TRUE(out.find("Unknown token \"vp\"") != std::string::npos ||
                    out.find("can't open material file") != std::string::npos ||
                    out.find("can't open data file") != std::string::npos)
            << out;
    }
    EXPECT_EQ(openFiles(), before);
    glmExit = exit;
}

TEST(ObjReaderDeath, LibraryThatIsNotAFileEndsWithStatus1) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A FIFO would block the reader and /dev/zero would never end: both count as unopenable.
    // Fixed names: the death test's child runs this body again and must find the same paths.
    const std::string fifo = testing::TempDir() + "glm_fifo_library.mtl";
    const std::string device = testing::TempDir() + "glm_device_library.mtl";
    remove(fifo.c_str());
    remove(device.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", device.c_str()), 0);
    for (const std::string& library : {fifo, device}) {
        const std::string obj = testing::TempDir() + "glm_names_special_library.obj";
        writeFile(obj, "mtllib " + library.substr(library.rfind('/') + 1) + "\nv 0 0 0\n");
        EXPECT_EXIT(glmReadOBJ(obj.c_str()), testing::ExitedWithCode(1),
                    "^glmReadMTL\\(\\) failed: can't open material file \"" + library + "\"\\.\n$");
        remove(obj.c_str());
    }
    remove(fifo.c_str());
    remove(device.c_str());
}
