// Fuzzes the OBJ reader together with its MTL reader, then the operations a loaded model goes
// through. The input is an OBJ file, optionally followed by the separator line "#MTL" and the material
// library "fuzz.mtl" that the OBJ file may name ("mtllib fuzz.mtl"). Every function after the reading
// checks the model's counts and indices on entry, so a reading that leaves one wrong stops the run.
//
// A file the reader refuses (an unknown "v" statement, a library that cannot be opened) would end the
// process; glmExit is pointed at a function that throws instead, and the reading ends here.
#include "fuzz_files.h"
#include "glm.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Ended {
    int status;
};

[[noreturn]] void throwEnded(int status) {
    throw Ended{status};
}

const char separator[] = "\n#MTL\n";

// What the simulator and the tools do with a model once it is read.
void process(GlmModel* model, const std::string& out) {
    glmFacetNormals(model);
    glmVertexNormals(model, 90.0f);
    float dimensions[3];
    glmDimensions(model, dimensions);
    glmUnitize(model);
    glmLinearTexture(model);
    if (!model->normals.empty())
        glmSpheremapTexture(model);
    // Written without the material mode, which would also write the library the model names: a failure
    // there would leave the OBJ file open when Ended is thrown. The library is written on its own.
    glmWriteOBJ(model, out.c_str(), GlmModeFlat | GlmModeSmooth | GlmModeTexture);
    glmWriteMTL(model, out.c_str(), "out.mtl");
    glmWeld(model, 0.001f);
    glmReverseWinding(model);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    glmExit = throwEnded;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string obj = fuzz::path("fuzz.obj");
    static const std::string mtl = fuzz::path("fuzz.mtl");
    static const std::string out = fuzz::path("out.obj");
    static const std::string outmtl = fuzz::path("out.mtl");
    const uint8_t* end = data + size;
    const uint8_t* cut = static_cast<const uint8_t*>(memmem(data, size, separator, sizeof separator - 1));
    if (cut) {
        fuzz::write(obj, data, size_t(cut - data));
        fuzz::write(mtl, cut + sizeof separator - 1, size_t(end - cut) - (sizeof separator - 1));
    } else {
        fuzz::write(obj, data, size);
        unlink(mtl.c_str()); // a library named but not given cannot be opened
    }

    GlmModel* model = nullptr;
    try {
        model = glmReadOBJ(obj.c_str());
    } catch (const Ended&) {
        return 0;
    }
    process(model, out);
    glmDelete(model);
    return 0;
}
