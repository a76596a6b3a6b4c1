// glm — the model library: a Wavefront OBJ model in memory, with its MTL materials.
//
// State: none of its own. Everything lives in the GlmModel record that glmReadOBJ creates; the
// caller owns it and releases it with glmDelete. Functions change the record they are given and
// nothing else. No locks: the simulator calls the library from its one GUI thread.
//
// Indexing: vertices, normals, texture coordinates and facet normals are stored from slot 1
// (slot 0 is never used, so an index 0 in a triangle means "this corner has none"); triangles and
// materials are indexed from 0. An empty vector stands for an array the model does not have.
//
// Failures: a failed precondition writes "glm:LINE: failed assertion `EXPR'" to standard error and
// aborts, and so does a model whose counts disagree with its arrays or whose indices name no entry
// (checked on entry of every function that follows them); a file that cannot be opened or written,
// or an OBJ file with an unknown "v" statement, ends the process with status 1 through glmExit. Only
// regular files are read: a FIFO, a device or a directory counts as a file that cannot be opened.
#pragma once

#include <string>
#include <vector>

// Mode bits for glmDraw, glmList and glmWriteOBJ; 0 means positions only.
enum GlmMode : unsigned {
    GlmModeFlat = 1,      // facet normal of each triangle
    GlmModeSmooth = 2,    // per-corner vertex normals
    GlmModeTexture = 4,   // per-corner texture coordinates
    GlmModeColor = 8,     // group material's diffuse colour as a plain colour
    GlmModeMaterial = 16, // group's full material
};

struct GlmMaterial {
    std::string name;                             // "default" for entry 0
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};  // MTL Kd
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};  // MTL Ka
    float specular[4] = {0.0f, 0.0f, 0.0f, 1.0f}; // MTL Ks
    float emission[4] = {0.0f, 0.0f, 0.0f, 0.0f}; // never set by the readers
    float shininess = 65.0f;                      // OpenGL 0..128 (MTL Ns scaled by 128/1000)
};

struct GlmTriangle {
    unsigned vertexindices[3] = {0, 0, 0};   // into vertices, in winding order
    unsigned normalindices[3] = {0, 0, 0};   // into normals; 0 when the face gave none
    unsigned texcoordindices[3] = {0, 0, 0}; // into texcoords; 0 when the face gave none
    unsigned facetnormindex = 0;             // into facetnorms; triangle k gets k + 1
};

struct GlmGroup {
    std::string name;                // as read from the "g" line
    unsigned trianglecount = 0;      // number of entries in triangles
    std::vector<unsigned> triangles; // indices into the model's triangles, file order
    unsigned material = 0;           // index into the model's materials; 0 when none named
    GlmGroup* next = nullptr;        // owned by the model; the list runs newest group first
};

struct GlmModel {
    std::string path;                     // the path given to glmReadOBJ
    std::string mtllib;                   // material library named by "mtllib"; empty when none
    unsigned vertexcount = 0;             // number of vertices
    std::vector<float> vertices;          // 3 per slot, vertexcount + 1 slots
    unsigned normalcount = 0;             // number of normals
    std::vector<float> normals;           // 3 per slot, normalcount + 1 slots, or empty
    unsigned texcoordcount = 0;           // number of texture coordinates
    std::vector<float> texcoords;         // 2 per slot, texcoordcount + 1 slots, or empty
    unsigned facetnormcount = 0;          // number of facet normals (trianglecount once computed)
    std::vector<float> facetnorms;        // 3 per slot, facetnormcount + 1 slots, or empty
    unsigned trianglecount = 0;           // number of triangles
    std::vector<GlmTriangle> triangles;   // all triangles, file order, from 0
    unsigned materialcount = 0;           // including "default" at index 0
    std::vector<GlmMaterial> materials;   // empty when the file names no material library
    unsigned groupcount = 0;              // groups in the list
    GlmGroup* groups = nullptr;           // head of the list, owned by the model
    float origin[3] = {0.0f, 0.0f, 0.0f}; // zero; nothing reads it
};

// Where the library ends the process, after printing its message: exit by default. A harness that
// feeds the readers many hostile files in one process (a fuzzer) points it at a function that throws
// instead, so that the reading after such a file goes on; the reader in progress then releases what it
// had allocated. The function must not return (if it does, the process still ends).
extern void (*glmExit)(int status);

// ---- Vector helpers (a vector is 3 floats) ----
float glmMax(float a, float b);                              // b when b > a, else a
float glmAbs(float f);                                       // -f when f < 0, else f
float glmDot(const float* u, const float* v);                // u . v in single precision
void glmCross(const float* u, const float* v, float* n);     // n = u x v; n must not alias u or v
void glmNormalize(float* v);                                 // unit length in place; zero stays zero
int glmEqual(const float* u, const float* v, float epsilon); // 1 when every |u[k]-v[k]| < epsilon

// ---- Lookups and release ----
GlmGroup* glmFindGroup(GlmModel* model, const char* name);
GlmGroup* glmAddGroup(GlmModel* model, const char* name);
unsigned glmFindMaterial(GlmModel* model, const char* name);
std::string glmDirName(const char* path); // up to and including the last '/'
void glmDelete(GlmModel* model);

// ---- Reading ----
GlmModel* glmReadOBJ(const char* filename);         // never null; unreadable file exits 1
void glmReadMTL(GlmModel* model, const char* name); // name as written on the mtllib line

// ---- Normals, bounds ----
void glmFacetNormals(GlmModel* model);
void glmVertexNormals(GlmModel* model, float angle); // angle in degrees
float glmUnitize(GlmModel* model);                   // returns the scale factor applied
void glmDimensions(GlmModel* model, float* dimensions);
void glmScale(GlmModel* model, float scale);

// ---- Drawing (needs a current GL context) ----
void glmDraw(GlmModel* model, unsigned mode);
unsigned glmList(GlmModel* model, unsigned mode);

// ---- Writing ----
void glmWriteOBJ(GlmModel* model, const char* filename, unsigned mode);
void glmWriteMTL(GlmModel* model, const char* modelpath, const char* mtllibname);

// ---- Texture coordinates, welding, winding ----
void glmLinearTexture(GlmModel* model);
void glmSpheremapTexture(GlmModel* model);
float* glmWeldVectors(float* vectors, unsigned* count, float epsilon); // caller frees with delete[]
void glmWeld(GlmModel* model, float epsilon);
void glmReverseWinding(GlmModel* model);

// ---- Images ----
unsigned char* glmReadPPM(const char* name, int* width, int* height); // caller frees with delete[]
