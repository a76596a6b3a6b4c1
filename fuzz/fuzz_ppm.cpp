// Fuzzes glmReadPPM: the input is the image file.
#include "fuzz_files.h"
#include "glm.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = fuzz::path("image.ppm");
    fuzz::write(file, data, size);
    int width = -1, height = -1;
    unsigned char* pixels = glmReadPPM(file.c_str(), &width, &height);
    if (!pixels) {
        if (width != -1 || height != -1) // a failed read leaves the size alone
            abort();
        return 0;
    }
    if (width <= 0 || height <= 0)
        abort();
    // The buffer must hold the whole raster: its first and last bytes are read.
    const size_t bytes = size_t(width) * size_t(height) * 3;
    volatile unsigned char edge = pixels[0] ^ pixels[bytes - 1];
    (void)edge;
    delete[] pixels;
    return 0;
}
