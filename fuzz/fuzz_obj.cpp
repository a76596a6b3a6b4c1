// Fuzzes the OBJ reader together with its MTL reader, then the operations a loaded model goes
// through. The input is an OBJ file, optionally followed by the separator line "#MTL" and the material
// library "fuzz.mtl" that the OBJ file may name ("mtllib fuzz.mtl").
//
// Each input is read twice: in one part and one block, as the simulator reads a file this small (a
// block of exactly the file's size, rather than the simulator's 256 KiB one, whose zeroing would take
// most of the run's time), and cut into three parts read in blocks of a few bytes. The reader promises
// the same model and the same messages whatever the parts and blocks, so any difference between the
// two is a defect and stops the run.
//
// A file the reader refuses (an unknown "v" statement, a library that cannot be opened) would end the
// process; glmExit is pointed at a function that throws instead, and the reading ends here.
#include "fuzz_files.h"
#include "glm.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Ended {
    int status;
};

[[noreturn]] void throwEnded(int status) {
    throw Ended{status};
}

const char separator[] = "\n#MTL\n";

// The model, or null with the status the reader would have ended the process with; what the reading
// printed on standard output and standard error goes to `messages`.
GlmModel* read(const std::string& obj, unsigned parts, unsigned blocksize, int& status,
               std::string& messages) {
    static const std::string log = fuzz::path("messages.txt");
    fflush(stdout);
    fflush(stderr);
    const int out = dup(1), err = dup(2);
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 1);
    dup2(fd, 2);
    close(fd);
    GlmModel* model = nullptr;
    status = 0;
    try {
        model = glmReadOBJWith(obj.c_str(), parts, blocksize);
    } catch (const Ended& e) {
        status = e.status;
    }
    fflush(stdout);
    fflush(stderr);
    dup2(out, 1);
    dup2(err, 2);
    close(out);
    close(err);
    messages.clear();
    if (FILE* f = fopen(log.c_str(), "rb")) {
        char block[4096];
        for (size_t n; (n = fread(block, 1, sizeof block, f)) > 0;)
            messages.append(block, n);
        fclose(f);
    }
    return model;
}

[[noreturn]] void differ(const char* what) {
    fprintf(stderr, "fuzz_obj: the two readings differ in %s\n", what);
    abort();
}

// Floats are compared bit for bit, so that NaNs read from the file compare too.
template <class T> bool same(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && (a.empty() || memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

void compare(const GlmModel& a, const GlmModel& b) {
    if (a.mtllib != b.mtllib)
        differ("mtllib");
    if (a.vertexcount != b.vertexcount || !same(a.vertices, b.vertices))
        differ("vertices");
    if (a.normalcount != b.normalcount || !same(a.normals, b.normals))
        differ("normals");
    if (a.texcoordcount != b.texcoordcount || !same(a.texcoords, b.texcoords))
        differ("texcoords");
    if (a.trianglecount != b.trianglecount || a.triangles.size() != b.triangles.size())
        differ("trianglecount");
    for (size_t i = 0; i < a.triangles.size(); i++)
        if (memcmp(&a.triangles[i], &b.triangles[i], sizeof(GlmTriangle)) != 0)
            differ("triangles");
    if (a.materialcount != b.materialcount || a.materials.size() != b.materials.size())
        differ("materialcount");
    for (size_t i = 0; i < a.materials.size(); i++) {
        const GlmMaterial &m = a.materials[i], &n = b.materials[i];
        if (m.name != n.name || memcmp(m.diffuse, n.diffuse, sizeof m.diffuse) != 0 ||
            memcmp(m.ambient, n.ambient, sizeof m.ambient) != 0 ||
            memcmp(m.specular, n.specular, sizeof m.specular) != 0 ||
            memcmp(&m.shininess, &n.shininess, sizeof m.shininess) != 0)
            differ("materials");
    }
    if (a.groupcount != b.groupcount)
        differ("groupcount");
    const GlmGroup *g = a.groups, *h = b.groups;
    for (; g && h; g = g->next, h = h->next)
        if (g->name != h->name || g->trianglecount != h->trianglecount || g->triangles != h->triangles ||
            g->material != h->material)
            differ("groups");
    if (g || h)
        differ("the group list");
}

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

    int status = 0, split = 0;
    std::string said, splitsaid;
    GlmModel* whole = read(obj, 1, unsigned(size) + 1, status, said);
    GlmModel* parts = read(obj, 3, 1 + unsigned(size % 16), split, splitsaid);
    if ((whole == nullptr) != (parts == nullptr) || status != split)
        differ("whether the file is refused");
    if (said != splitsaid)
        differ("their messages");
    if (whole) {
        compare(*whole, *parts);
        process(whole, out);
        glmDelete(whole);
        glmDelete(parts);
    }
    return 0;
}
