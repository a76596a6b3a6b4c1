// The readers: OBJ and MTL files named after their case, files that end the process, numbers, a file
// read in several runs, and PPM images.
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>

#include "glm_test_util.h"

static std::string opened(const std::string& path) {
    return ": open data file \"" + dataPath(path) + "\".\n";
}

TEST(ObjReader, FilesNamedAfterTheirCase) {
    // Each file's triangles, its groups, and what the reader printed after its opening line.
    const struct {
        const char *file, *triangles, *groups, *said;
    } cases[] = {
        {"face_forms.obj", "1/0/0 2/0/0 3/0/0;1/1/0 2/2/0 3/3/0;1/1/1 2/2/2 3/3/3;1/0/4 2/0/5 3/0/6;",
         "default:0:0,1,2,3;", ""},
        {"fan_4_and_5.obj",
         "1/1/1 2/2/1 3/3/1;1/1/1 3/3/1 4/4/1;1/0/0 2/0/0 3/0/0;1/0/0 3/0/0 4/0/0;1/0/0 4/0/0 5/0/0;",
         "default:0:0,1,2,3,4;", ""},
        // The face runs on over lines until "g", whose line names the group " after".
        {"face_over_two_lines.obj",
         "1/0/0 2/0/0 3/0/0;1/0/0 3/0/0 4/0/0;1/0/0 4/0/0 5/0/0;3/0/0 4/0/0 5/0/0;",
         " after:0:3;default:0:0,1,2;", ""},
        {"group_met_twice.obj",
         "1/0/0 2/0/0 3/0/0;1/0/0 3/0/0 4/0/0;2/0/0 3/0/0 4/0/0;1/0/0 2/0/0 4/0/0;4/0/0 3/0/0 2/0/0;",
         ":0:4; tail:0:2; wing:0:1,3;default:0:0;", ""},
        {"crlf_line_ends.obj", "1/0/0 2/0/0 3/0/0;", " hull:0:0;default:0:;",
         "glmFindMaterial():  can't find material \"x\".\n"},
        // The second face comes after the fourth vertex: -1 names it.
        {"negative_indices.obj", "1/1/1 2/2/1 3/2/1;1/0/0 2/0/0 4/0/0;", "default:0:0,1;", ""},
        // Texture and normal indices that name nothing are left out; broken triangles are dropped.
        {"bad_indices.obj",
         "1/0/0 2/0/0 3/0/0;1/0/0 2/0/0 3/0/0;1/0/0 3/0/0 4/0/0;1/1/0 2/1/0 3/1/0;1/0/0 2/1/0 3/1/0;"
         "1/0/0 2/0/0 3/0/0;2/0/0 3/0/0 4/0/0;",
         "default:0:0,1,2,3,4,5,6;",
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
        {"empty_last_index.obj", "1/1/0 2/2/0 3/3/0;1/0/0 2/0/0 3/0/0;1/0/0 2/0/1 3/0/1;1/0/0 2/0/0 3/0/0;",
         "default:0:0,1,2,3;", ""},
        // " hull" is named again after "usemtl red": the later line decides.
        {"usemtl_before_group.obj", "1/0/0 2/0/0 3/0/0;1/0/0 2/0/0 3/0/0;3/0/0 2/0/0 1/0/0;",
         " fin:1:; hull:1:1,2;default:2:0;", ""},
        {"mtllib_after_usemtl.obj", "1/0/0 2/0/0 3/0/0;1/0/0 2/0/0 3/0/0;", " b:0:1; a:1:0;default:0:;",
         "glmFindMaterial():  can't find material \"none\".\n"},
        // Names keep every byte; a message echoes control characters escaped, accents as they are.
        {"control_characters.obj", "1/0/0 2/0/0 3/0/0;", " coque\x1b[2J:0:0;default:0:;",
         "glmFindMaterial():  can't find material \"rouge\xc3\xa9\\x1b[31m\\x7f\".\n"}};
    for (const auto& c : cases) {
        std::string said;
        GlmModel* m = readData(c.file, &said);
        EXPECT_EQ(trianglesOf(m) + groupsOf(m) + said,
                  c.triangles + std::string(c.groups) + opened(c.file) + c.said);
        glmFacetNormals(m); // which checks that every index the model holds names an entry
        glmDelete(m);
    }
}

TEST(ObjReader, ValuesAndMaterials) {
    GlmModel* m = readData("short_statements.obj"); // numbers a statement lacks read as 0
    EXPECT_EQ(m->vertices, (std::vector<float>{0, 0, 0, 1, 2, 0, 3,   0,      0, 0, 0,    0,
                                               4, 5, 6, 7, 8, 0, 100, -0.25f, 8, 1, 0.5f, 5}));
    EXPECT_EQ(m->normals, (std::vector<float>{0, 0, 0, 0.5f, 0, 0}));
    EXPECT_EQ(m->texcoords, (std::vector<float>{0, 0, 0, 0, 0.25f, 0.75f}));
    glmDelete(m);
    m = readData("usemtl_before_group.obj"); // "Kd" with four numbers sets three, with two sets two
    std::string materials; // each "name { Ka, Kd, Kd, Kd, alpha, Ks, Ns }", of the other colours the first
    for (const GlmMaterial& x : m->materials)
        materials += x.name + testing::PrintToString(
                                  std::vector<float>{x.ambient[0], x.diffuse[0], x.diffuse[1], x.diffuse[2],
                                                     x.diffuse[3], x.specular[0], x.shininess});
    EXPECT_EQ(materials, "default{ 0.2, 0.1, 0.2, 0.3, 1, 0, 65 }red{ 0.5, 1, 0, 0, 1, 0.9, 64 }blue{ 0.2, "
                         "0, 0, 1, 1, 0, 128 }zero{ 0.2, 0.8, 0.8, 0.8, 1, 0, 0 }density{ 0.2, 0.8, 0.8, "
                         "0.8, 1, 0, 0.192 }word{ 0.2, 1, 1, 0.8, 1, 0, 65 }");
    glmDelete(m);
}

TEST(GlmExit, RefusedFilesEndWithStatus1AndLeaveNothingOpen) {
    // A FIFO would block the reader and /dev/zero would never end: like a directory, they count as files
    // that cannot be opened, as a model and as its library. Nothing the reading opened stays open.
    const std::string fifo = tempFile("fifo.mtl"), zero = tempFile("zero.mtl");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600) | symlink("/dev/zero", zero.c_str()), 0);
    const std::string names[] = {tempFile("fifo.obj", "mtllib " + fifo.substr(testing::TempDir().size())),
                                 tempFile("zero.obj", "mtllib " + zero.substr(testing::TempDir().size()))};
    const auto files = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto before = files();
    for (const std::string& model :
         {dataPath("no_such_file.obj"), std::string(TEST_DATA_DIR), std::string("/dev/zero"), fifo})
        EXPECT_EQ(printed([&] { glmReadOBJ(model.c_str()); }),
                  "glmReadOBJ() failed: can't open data file \"" + model + "\".\n ended 1");
    for (const auto& [model, library] :
         {std::pair(dataPath("missing_library.obj"), dataPath("no_such_library.mtl")),
          std::pair(names[0], fifo), std::pair(names[1], zero)})
        EXPECT_EQ(printed([&] { glmReadOBJ(model.c_str()); }),
                  opened(model) + "glmReadMTL() failed: can't open material file \"" + library +
                      "\".\n ended 1");
    EXPECT_EQ(printed([] { glmReadOBJ(dataPath("unknown_token_vp.obj").c_str()); }),
              opened("unknown_token_vp.obj") + "glmFirstPass(): Unknown token \"vp\".\n ended 1");
    EXPECT_EQ(files(), before);
    // Nor can a path through the FIFO, as if it were a directory, be written.
    GlmModel* cube = readData("cube.obj");
    EXPECT_EQ(printed([&] { glmWriteOBJ(cube, (fifo + "/x.obj").c_str(), 0); }),
              "glmWriteOBJ() failed: can't open file \"" + fifo + "/x.obj\" to write.\n ended 1");
    glmDelete(cube);
    for (const std::string& path : {fifo, zero, names[0], names[1]})
        remove(path.c_str());
}

TEST(ObjReader, LargeFileOfEveryShapeOfNumber) {
    // Megabytes of vertices, each with a face wrapped over two lines: the file is read in runs of a few
    // megabytes, each of which must go on where the one before stopped, its lines counted across them.
    // Every shape of number: the reader's shortcut and its general path must both give what "%f" gives.
    std::vector<std::string> tokens = {"-0",      "1e38", "3.4028236e38", "1e-46", "0x1.8p1",
                                       "-0X10",   "+2.5", "inf",          "-nan",  "16777217",
                                       ".000001", "-.5",  "7e",           "8.5x",  "9999999.9999999"};
    std::mt19937 rng(7);
    while (tokens.size() < 3000) {
        const int digits = 1 + int(rng() % 16), point = int(rng() % unsigned(digits + 1));
        std::string t = rng() % 2 ? "-" : "";
        for (int d = 0; d < digits; d++)
            t += (d == point ? "." : "") + std::string(1, char('0' + rng() % 10));
        tokens.push_back(rng() % 5 ? t : t + "e" + std::to_string(int(rng() % 80) - 40));
    }
    std::string text;
    unsigned n = 0;
    for (; text.size() < (9u << 20); n++)
        text += "v " + tokens[n % tokens.size()] + " 0 0\nf -1 -1\n -1\n";
    text += "f 1 2";
    std::string said;
    GlmModel* m = readData(tempFile("large.obj", text), &said);
    remove(tempFile("large.obj").c_str());
    EXPECT_EQ(said, opened(tempFile("large.obj")) + "glmReadOBJ() warning: line " +
                        std::to_string(3 * n + 1) + ": face with fewer than three items ignored.\n");
    ASSERT_EQ(m->trianglecount, n);
    for (unsigned i = 0; i < n; i++) {
        float expected = 0;
        sscanf(tokens[i % tokens.size()].c_str(), "%f", &expected);
        const float got = m->vertices[3 * (i + 1)];
        ASSERT_TRUE(memcmp(&got, &expected, sizeof got) == 0 || (std::isnan(got) && std::isnan(expected)))
            << tokens[i % tokens.size()] << ": " << got << " instead of " << expected;
        const unsigned* v = m->triangles[i].vertexindices;
        ASSERT_TRUE(v[0] == i + 1 && v[1] == i + 1 && v[2] == i + 1) << "triangle " << i;
    }
    glmDelete(m);
}

TEST(PpmReader, FilesNamedAfterTheirCase) {
    // What the reader said after the file's name, nothing for the 2 x 2 image of these 12 bytes; a
    // failed read returns null and leaves the sizes alone.
    const std::string pixels("\x00\x0a\x0d\xff\x23\x20\x50\x36\x7f\x80\x01\xfe", 12);
    const std::string fifo = tempFile("image.ppm"),
                      header = "PPM header ends before its width, height and maximum value";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::vector<std::pair<std::string, std::string>> cases = {
        {"ppm-ascii.ppm", "Not a raw PPM file"},
        {"ppm-empty.ppm", "Not a raw PPM file"},
        {"no-such-image.ppm", "No such file or directory"},
        {fifo, "Not a regular file"},        // which would block a reader waiting for a writer
        {"/dev/zero", "Not a regular file"}, // which would never end
        {"ppm-header-unfinished.ppm", header},
        {"ppm-header-without-numbers.ppm", header},
        {"ppm-zero-width.ppm", "PPM image size 0 x 2 is not a positive size"},
        {"ppm-negative-height.ppm", "PPM image size 2 x -2 is not a positive size"},
        {"ppm-byte-count-overflow.ppm", "PPM image of 65536 x 65536 pixels is too large"},
        {"ppm-number-overflow.ppm", "PPM image of 9223372036854775807 x 2 pixels is too large"},
        {"ppm-short-raster.ppm", "PPM raster holds 11 of the 12 bytes its header announces"},
        {"ppm-hostile-size.ppm", "PPM raster holds 3 of the 1200000000 bytes its header announces"}};
    for (const char* file :
         {"ppm-comment-header.ppm", "ppm-width-alone.ppm", "ppm-comment-before-max.ppm",
          "ppm-magic-with-values.ppm", "ppm-crlf-header.ppm", "ppm-blank-and-stray-lines.ppm",
          "ppm-long-comment.ppm", "ppm-long-magic-line.ppm"})
        cases.push_back({file, ""});
    for (const auto& [file, said] : cases) {
        int width = -7, height = -7;
        std::unique_ptr<unsigned char[]> image;
        EXPECT_EQ(printed([&] { image.reset(glmReadPPM(dataPath(file).c_str(), &width, &height)); }),
                  said.empty() ? "" : dataPath(file) + ": " + said + "\n");
        const std::string got = std::to_string(width) + " x " + std::to_string(height);
        EXPECT_EQ(image ? got + " " + std::string(image.get(), image.get() + 12) : got,
                  said.empty() ? "2 x 2 " + pixels : "-7 x -7")
            << file;
    }
    remove(fifo.c_str());
}
