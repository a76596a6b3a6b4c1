// Raw PPM images: the header in its different layouts, and every way a file can fail to be one.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "glm.h"

namespace {
const std::vector<unsigned char> pixels = {0x00, 0x0a, 0x0d, 0xff, 0x23, 0x20,
                                           0x50, 0x36, 0x7f, 0x80, 0x01, 0xfe};

std::string dataPath(const char* name) {
    return std::string(TEST_DATA_DIR) + "/" + name;
}

struct PpmRead {
    std::unique_ptr<unsigned char[]> image;
    int width = -7;
    int height = -7;
    std::string errors; // what the read printed on standard error
};

PpmRead readPpm(const std::string& path) {
    PpmRead r;
    testing::internal::CaptureStderr();
    r.image.reset(glmReadPPM(path.c_str(), &r.width, &r.height));
    r.errors = testing::internal::GetCapturedStderr();
    return r;
}

// A failed read returns null, leaves the sizes alone and says why, naming the file.
void expectRefused(const char* name, const std::string& why) {
    SCOPED_TRACE(name);
    const std::string path = dataPath(name);
    const PpmRead r = readPpm(path);
    EXPECT_EQ(r.image, nullptr);
    EXPECT_EQ(r.width, -7);
    EXPECT_EQ(r.height, -7);
    EXPECT_EQ(r.errors, path + ": " + why + "\n");
}
} // namespace

TEST(PpmReader, HeaderLayouts) {
    for (const char* name :
         {"ppm-comment-header.ppm", "ppm-width-alone.ppm", "ppm-comment-before-max.ppm",
          "ppm-magic-with-values.ppm", "ppm-crlf-header.ppm", "ppm-blank-and-stray-lines.ppm",
          "ppm-long-comment.ppm", "ppm-long-magic-line.ppm"}) {
        SCOPED_TRACE(name);
        const PpmRead r = readPpm(dataPath(name));
        ASSERT_NE(r.image, nullptr) << r.errors;
        EXPECT_EQ(r.width, 2);
        EXPECT_EQ(r.height, 2);
        EXPECT_EQ(std::vector<unsigned char>(r.image.get(), r.image.get() + 12), pixels);
        EXPECT_EQ(r.errors, "");
    }
}

TEST(PpmReader, NotRawPpm) {
    expectRefused("ppm-ascii.ppm", "Not a raw PPM file");
    expectRefused("ppm-empty.ppm", "Not a raw PPM file");
}

TEST(PpmReader, MissingFileIsReportedLikePerror) {
    const std::string path = dataPath("no-such-image.ppm");
    const PpmRead r = readPpm(path);
    EXPECT_EQ(r.image, nullptr);
    EXPECT_EQ(r.width, -7);
    EXPECT_EQ(r.errors, path + ": No such file or directory\n");
}

TEST(PpmReader, HeaderThatNeverCompletes) {
    expectRefused("ppm-header-unfinished.ppm", "PPM header ends before its width, height and maximum value");
    expectRefused("ppm-header-without-numbers.ppm",
                  "PPM header ends before its width, height and maximum value");
}

TEST(PpmReader, SizesThatAreNotImages) {
    expectRefused("ppm-zero-width.ppm", "PPM image size 0 x 2 is not a positive size");
    expectRefused("ppm-negative-height.ppm", "PPM image size 2 x -2 is not a positive size");
    expectRefused("ppm-byte-count-overflow.ppm", "PPM image of 65536 x 65536 pixels is too large");
    expectRefused("ppm-number-overflow.ppm", "PPM image of 9223372036854775807 x 2 pixels is too large");
}

TEST(PpmReader, ShortRasterIsRefused) {
    expectRefused("ppm-short-raster.ppm", "PPM raster holds 11 of the 12 bytes its header announces");
    // 1.2 GB announced, 3 bytes present: refused after reading what is there, without allocating
    // what the header claims.
    expectRefused("ppm-hostile-size.ppm", "PPM raster holds 3 of the 1200000000 bytes its header announces");
}
