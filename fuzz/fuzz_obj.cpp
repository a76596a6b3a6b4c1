// Fuzzes the OBJ reader together with its MTL reader, then the operations a loaded model goes
// through. The input is an OBJ file, optionally followed by the separator line "#MTL" and the material
// library "fuzz.mtl" that the OBJ file may name ("mtllib fuzz.mtl"). Every function after the reading
// checks the model's counts and indices on entry, so a reading that leaves one wrong stops the run.
// A file the reader refuses would end the process: glmExit throws instead, and the reading ends here.
#include "fuzz_files.h"
#include "glm.h"

#include <unistd.h>

#include <cstring>

// What the simulator and the tools do with a model once it is read.
static void process(GlmModel* model, const std::string& out) {
    glmFacetNormals(model);
    glmVertexNormals(model, 90.0f);
    float dimensions[3];
    glmDimensions(model, dimensions);
    glmUnitize(model);
    glmLinearTexture(model);
    if (!model->normals.empty())
        glmSpheremapTexture(model);
    // Without the material mode, which would also write the library the model names: a failure there
    // would leave the OBJ file open when glmExit throws. The library is written on its own.
    glmWriteOBJ(model, out.c_str(), GlmModeFlat | GlmModeSmooth | GlmModeTexture);
    glmWriteMTL(model, out.c_str(), "out.mtl");
    glmWeld(model, 0.001f);
    glmReverseWinding(model);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    glmExit = [](int status) { throw status; };
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string obj = fuzz::path("fuzz.obj"), mtl = fuzz::path("fuzz.mtl"),
                             out = fuzz::path("out.obj");
    static const char separator[] = "\n#MTL\n";
    const size_t cut = sizeof separator - 1;
    const uint8_t* at = static_cast<const uint8_t*>(memmem(data, size, separator, cut));
    fuzz::write(obj, data, at ? size_t(at - data) : size);
    if (at)
        fuzz::write(mtl, at + cut, size_t(data + size - at) - cut);
    else
        unlink(mtl.c_str()); // a library named but not given cannot be opened
    GlmModel* model = nullptr;
    try {
        model = glmReadOBJ(obj.c_str());
    } catch (int) {
        return 0;
    }
    process(model, out);
    glmDelete(model);
    return 0;
}
