// The model library. One file, cut into sections by banner comments.
#include "glm.h"

// ============================================================================================
// Helpers, lookups and release
// ============================================================================================

// ============================================================================================
// Reading: MTL and OBJ
// ============================================================================================

// ============================================================================================
// Normals
// ============================================================================================

// ============================================================================================
// Bounds, unitize and scale
// ============================================================================================

// ============================================================================================
// Drawing and display lists
// ============================================================================================

// ============================================================================================
// Writing: OBJ and MTL
// ============================================================================================

// The headers these last sections need, kept here so that the sections above stay untouched.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

// The precondition check, for when this part of the file is built without the sections above.
#ifndef glmAssert
[[noreturn]] static void glmFail(unsigned line, const char* expr) {
    fprintf(stderr, "%s:%u: failed assertion `%s'\n", "glm", line, expr);
    fflush(stderr);
    abort();
}
#define glmAssert(e) ((e) ? (void)0 : glmFail(__LINE__, #e))
#define glmAssertArray(a) (!(a).empty() ? (void)0 : glmFail(__LINE__, #a))
#endif

// How many of the entries 1..count an array of `per` floats per entry really holds, so that a count
// which disagrees with its array never sends a loop past the array's end.
static unsigned glmHeld(unsigned count, const std::vector<float>& array, unsigned per) {
    const size_t slots = array.size() / per;
    return slots == 0 ? 0 : static_cast<unsigned>(std::min<size_t>(count, slots - 1));
}

// The three credit lines that open every file the library writes.
static void glmWriteCredits(FILE* file) {
    fprintf(file, "#  Rendezvous simulator, model library\n");
    fprintf(file, "#  Written by the simulator's developers\n");
    fprintf(file, "#  Shipped with the simulator's sources\n");
}

// Drops the parts of an output request the model cannot satisfy, warning about each, in this order.
static unsigned glmWriteMode(const GlmModel* model, unsigned mode) {
    if ((mode & GlmModeFlat) && model->facetnorms.empty()) {
        printf("glmWriteOBJ() warning: flat normal output requested with no facet normals defined.\n");
        mode &= ~GlmModeFlat;
    }
    if ((mode & GlmModeSmooth) && model->normals.empty()) {
        printf("glmWriteOBJ() warning: smooth normal output requested with no normals defined.\n");
        mode &= ~GlmModeSmooth;
    }
    if ((mode & GlmModeTexture) && model->texcoords.empty()) {
        printf("glmWriteOBJ() warning: texture coordinate output requested with no texture coordinates "
               "defined.\n");
        mode &= ~GlmModeTexture;
    }
    if ((mode & GlmModeFlat) && (mode & GlmModeSmooth)) {
        printf("glmWriteOBJ() warning: flat normal output requested and smooth normal output requested "
               "(using smooth).\n");
        mode &= ~GlmModeFlat;
    }
    if ((mode & GlmModeColor) && model->materials.empty()) {
        printf("glmWriteOBJ() warning: color output requested with no colors (materials) defined.\n");
        mode &= ~GlmModeColor;
    }
    if ((mode & GlmModeMaterial) && model->materials.empty()) {
        printf("glmWriteOBJ() warning: material output requested with no materials defined.\n");
        mode &= ~GlmModeMaterial;
    }
    if ((mode & GlmModeColor) && (mode & GlmModeMaterial)) {
        printf("glmWriteOBJ() warning: color and material output requested outputting only materials.\n");
        mode &= ~GlmModeColor;
    }
    return mode;
}

// One face line. With flat normals and texture coordinates together the corners take the
// vertex/texture/normal form with the facet normal at every corner, which the reader takes back.
static void glmWriteFace(FILE* file, const GlmTriangle& t, unsigned mode) {
    const unsigned* v = t.vertexindices;
    const unsigned* vt = t.texcoordindices;
    const unsigned* vn = t.normalindices;
    const unsigned fn = t.facetnormindex;
    const bool texture = mode & GlmModeTexture;
    if ((mode & GlmModeSmooth) && texture)
        fprintf(file, "f %u/%u/%u %u/%u/%u %u/%u/%u\n", v[0], vt[0], vn[0], v[1], vt[1], vn[1], v[2], vt[2],
                vn[2]);
    else if ((mode & GlmModeFlat) && texture)
        fprintf(file, "f %u/%u/%u %u/%u/%u %u/%u/%u\n", v[0], vt[0], fn, v[1], vt[1], fn, v[2], vt[2], fn);
    else if (texture)
        fprintf(file, "f %u/%u %u/%u %u/%u\n", v[0], vt[0], v[1], vt[1], v[2], vt[2]);
    else if (mode & GlmModeSmooth)
        fprintf(file, "f %u//%u %u//%u %u//%u\n", v[0], vn[0], v[1], vn[1], v[2], vn[2]);
    else if (mode & GlmModeFlat)
        fprintf(file, "f %u//%u %u//%u %u//%u\n", v[0], fn, v[1], fn, v[2], fn);
    else
        fprintf(file, "f %u %u %u\n", v[0], v[1], v[2]);
}

// Entries 1..count of a 3-float array as "<tag> x y z" lines.
static void glmWriteVectors(FILE* file, const char* tag, unsigned count, const std::vector<float>& array) {
    const unsigned held = glmHeld(count, array, 3);
    for (unsigned i = 1; i <= held; i++)
        fprintf(file, "%s %f %f %f\n", tag, array[3 * i], array[3 * i + 1], array[3 * i + 2]);
}

void glmWriteOBJ(GlmModel* model, const char* filename, unsigned mode) {
    glmAssert(model);
    mode = glmWriteMode(model, mode);

    FILE* file = fopen(filename, "w");
    if (!file) {
        fprintf(stderr, "glmWriteOBJ() failed: can't open file \"%s\" to write.\n", filename);
        exit(1);
    }
    fprintf(file, "#  \n");
    fprintf(file, "#  Wavefront OBJ generated by GLM library\n");
    fprintf(file, "#  \n");
    fprintf(file, "#  GLM library\n");
    glmWriteCredits(file);
    fprintf(file, "#  \n");

    if ((mode & GlmModeMaterial) && !model->mtllib.empty()) {
        fprintf(file, "\nmtllib %s\n\n", model->mtllib.c_str());
        glmWriteMTL(model, filename, model->mtllib.c_str());
    }

    fprintf(file, "\n");
    fprintf(file, "# %u vertices\n", model->vertexcount);
    glmWriteVectors(file, "v", model->vertexcount, model->vertices);

    if (mode & GlmModeSmooth) {
        fprintf(file, "\n");
        fprintf(file, "# %u normals\n", model->normalcount);
        glmWriteVectors(file, "vn", model->normalcount, model->normals);
    } else if (mode & GlmModeFlat) {
        fprintf(file, "\n");
        fprintf(file, "# %u normals\n", model->facetnormcount);
        glmWriteVectors(file, "vn", model->facetnormcount, model->facetnorms);
    }

    if (mode & GlmModeTexture) {
        fprintf(file, "\n");
        fprintf(file, "# %u texcoords\n", model->texcoordcount);
        const unsigned held = glmHeld(model->texcoordcount, model->texcoords, 2);
        for (unsigned i = 1; i <= held; i++)
            fprintf(file, "vt %f %f\n", model->texcoords[2 * i], model->texcoords[2 * i + 1]);
    }

    fprintf(file, "\n");
    fprintf(file, "# %u groups\n", model->groupcount);
    fprintf(file, "# %u faces (triangles)\n", model->trianglecount);
    fprintf(file, "\n");

    for (const GlmGroup* group = model->groups; group; group = group->next) {
        fprintf(file, "g %s\n", group->name.c_str());
        if (mode & GlmModeMaterial) {
            // A material index past the table (a model built by hand) falls back to "default", as an
            // unknown "usemtl" name does when reading.
            const unsigned m = group->material < model->materials.size() ? group->material : 0;
            fprintf(file, "usemtl %s\n", model->materials[m].name.c_str());
        }
        const size_t listed = std::min<size_t>(group->trianglecount, group->triangles.size());
        for (size_t i = 0; i < listed; i++)
            if (group->triangles[i] < model->triangles.size())
                glmWriteFace(file, model->triangles[group->triangles[i]], mode);
        fprintf(file, "\n");
    }
    fclose(file);
}

void glmWriteMTL(GlmModel* model, const char* modelpath, const char* mtllibname) {
    const std::string path = glmDirName(modelpath) + mtllibname;
    FILE* file = fopen(path.c_str(), "w");
    if (!file) {
        fprintf(stderr, "glmWriteMTL() failed: can't open file \"%s\".\n", path.c_str());
        exit(1);
    }
    fprintf(file, "#  \n");
    fprintf(file, "#  Wavefront MTL generated by GLM library\n");
    fprintf(file, "#  \n");
    fprintf(file, "#  GLM library\n");
    glmWriteCredits(file);
    fprintf(file, "#  \n\n");

    const size_t count = std::min<size_t>(model->materialcount, model->materials.size());
    for (size_t i = 0; i < count; i++) {
        const GlmMaterial& m = model->materials[i];
        fprintf(file, "newmtl %s\n", m.name.c_str());
        fprintf(file, "Ka %f %f %f\n", m.ambient[0], m.ambient[1], m.ambient[2]);
        fprintf(file, "Kd %f %f %f\n", m.diffuse[0], m.diffuse[1], m.diffuse[2]);
        fprintf(file, "Ks %f %f %f\n", m.specular[0], m.specular[1], m.specular[2]);
        // Back from the OpenGL range 0..128 to the file's 0..1000.
        fprintf(file, "Ns %f\n", m.shininess / 128.0 * 1000.0);
        fprintf(file, "\n");
    }
    fclose(file);
}

// ============================================================================================
// Texture coordinates
// ============================================================================================

// Points every corner of every grouped triangle at the texture coordinate of its vertex, or of its
// normal. Triangle indices past the model's table are skipped.
static void glmPointTexcoords(GlmModel* model, bool fromNormals) {
    for (const GlmGroup* group = model->groups; group; group = group->next) {
        const size_t listed = std::min<size_t>(group->trianglecount, group->triangles.size());
        for (size_t i = 0; i < listed; i++) {
            if (group->triangles[i] >= model->triangles.size())
                continue;
            GlmTriangle& t = model->triangles[group->triangles[i]];
            for (int j = 0; j < 3; j++)
                t.texcoordindices[j] = fromNormals ? t.normalindices[j] : t.vertexindices[j];
        }
    }
}

void glmLinearTexture(GlmModel* model) {
    glmAssert(model);
    model->texcoordcount = model->vertexcount;
    model->texcoords = std::vector<float>(2 * (size_t(model->texcoordcount) + 1), 0.0f);

    // A model without extent (every vertex at the origin) would give an infinite scale; it maps to the
    // middle of the texture instead. A model without vertices needs no dimensions at all.
    float k = 0.0f;
    if (model->vertexcount > 0) {
        float dimensions[3];
        glmDimensions(model, dimensions);
        const float m = glmAbs(glmMax(glmMax(dimensions[0], dimensions[1]), dimensions[2]));
        if (m != 0.0f)
            k = static_cast<float>(2.0 / m);
    }

    const unsigned held = glmHeld(model->vertexcount, model->vertices, 3);
    for (unsigned i = 1; i <= held; i++) {
        const float xk = model->vertices[3 * i] * k;
        const float zk = model->vertices[3 * i + 2] * k;
        model->texcoords[2 * i] = static_cast<float>((xk + 1.0) / 2.0);
        model->texcoords[2 * i + 1] = static_cast<float>((zk + 1.0) / 2.0);
    }
    glmPointTexcoords(model, false);
}

void glmSpheremapTexture(GlmModel* model) {
    glmAssert(model);
    glmAssertArray(model->normals);
    model->texcoordcount = model->normalcount;
    model->texcoords = std::vector<float>(2 * (size_t(model->texcoordcount) + 1), 0.0f);

    const unsigned held = glmHeld(model->normalcount, model->normals, 3);
    for (unsigned i = 1; i <= held; i++) {
        const float x = model->normals[3 * i];
        const float y = model->normals[3 * i + 1];
        const float z = model->normals[3 * i + 2];
        const float r = static_cast<float>(std::sqrt(static_cast<double>(z * z + y * y)));
        const float rho = static_cast<float>(std::sqrt(static_cast<double>(r * r + x * x)));
        float theta = 0.0f;
        float phi = 0.0f;
        if (r != 0.0f) {
            // On the axes the angles are fixed constants; the one for y = 0 sits two units in the
            // last place below pi/2, which keeps s just under one half.
            phi = x == 0.0f ? 1.5707964f : static_cast<float>(std::acos(static_cast<double>(x / rho)));
            theta = y == 0.0f ? 1.5707961f
                              : static_cast<float>(std::asin(static_cast<double>(y / r)) + 1.570796325);
        }
        model->texcoords[2 * i] = static_cast<float>(theta / 3.14159265);
        model->texcoords[2 * i + 1] = static_cast<float>(phi / 3.14159265);
    }
    glmPointTexcoords(model, true);
}

// ============================================================================================
// Welding and winding
// ============================================================================================

// Welding finds its candidates through a hash grid instead of comparing every vector with every
// representative found so far, and still gives exactly the result of that plain search: the
// lowest-numbered representative that glmEqual accepts wins, and a vector that matches none becomes
// the next representative.
//
// Cells are 2 * epsilon wide. A matching representative differs from the vector by less than epsilon
// on each axis, so its cell is one of at most two per axis around the vector (three when the rounding
// margin straddles a border). Representatives are pairwise at least epsilon apart on some axis, so a
// cell holds at most about eight of them: a lookup costs a few dozen comparisons whatever the input.
//
// Beyond 2^40 cells from the origin neighbouring floats are far more than epsilon apart, so such a
// coordinate can only match an equal one; it is keyed by its bits instead of a cell number, which
// keeps every key an exact 64-bit integer however small epsilon is.
static const double glmWeldFar = 1099511627776.0;        // 2^40 cells
static const int64_t glmWeldExactKey = int64_t(1) << 50; // plus a far coordinate's bits: its key
static const double glmWeldMargin = 1.0 / 256.0;         // well above the rounding of the cell quotients

struct GlmWeldAxis {
    int64_t lo, hi; // the first and last cell to search
};

struct GlmWeldSlot {
    unsigned head = 0; // the cell's newest representative; 0 while the slot is free
    uint32_t tag = 0;  // high half of the cell's hash, so that most foreign slots are passed at a glance
};

struct GlmWeldGrid {
    const float* reps = nullptr;    // the representatives, 3 floats each from entry 1
    double width = 0.0;             // of a cell: 2 * epsilon
    std::vector<unsigned> next;     // per representative: the one put before it in its cell, 0 at the end
    std::vector<GlmWeldSlot> table; // open addressing, power-of-two size, at most half full
};

// floor() for the quotients here, which stay well inside the range of int64_t; a plain cast is much
// cheaper than the library call on the hot path.
static int64_t glmWeldFloor(double q) {
    const int64_t t = int64_t(q);
    return t > q ? t - 1 : t;
}

// The key of a coordinate's cell along one axis.
static int64_t glmWeldCell(float v, double width) {
    const double q = v / width;
    if (std::fabs(q) >= glmWeldFar) {
        uint32_t bits;
        memcpy(&bits, &v, sizeof bits);
        return glmWeldExactKey + bits;
    }
    return glmWeldFloor(q);
}

// The cells along one axis where a representative matching the coordinate may lie.
static GlmWeldAxis glmWeldAxis(float v, double width) {
    const double q = v / width;
    if (std::fabs(q) >= glmWeldFar) {
        const int64_t key = glmWeldCell(v, width);
        return {key, key};
    }
    return {glmWeldFloor(q - 0.5 - glmWeldMargin), glmWeldFloor(q + 0.5 + glmWeldMargin)};
}

// The cell of a representative, worked out again from its coordinates rather than stored: the
// coordinates are needed next for the comparison anyway, and a stored key would be one more cache
// miss per lookup.
static void glmWeldHome(const GlmWeldGrid& grid, unsigned r, int64_t* key) {
    for (int k = 0; k < 3; k++)
        key[k] = glmWeldCell(grid.reps[3 * size_t(r) + k], grid.width);
}

static uint64_t glmWeldHash(const int64_t* key) {
    uint64_t h = uint64_t(key[0]) * 0x9E3779B97F4A7C15ull;
    h = (h ^ (h >> 29) ^ uint64_t(key[1])) * 0xBF58476D1CE4E5B9ull;
    h = (h ^ (h >> 32) ^ uint64_t(key[2])) * 0x94D049BB133111EBull;
    return h ^ (h >> 31);
}

// The slot of a cell: the one that holds it, or the free one where it would go.
static size_t glmWeldFind(const GlmWeldGrid& grid, const int64_t* key, uint64_t hash) {
    const size_t mask = grid.table.size() - 1;
    const uint32_t tag = uint32_t(hash >> 32);
    for (size_t s = size_t(hash) & mask;; s = (s + 1) & mask) {
        const GlmWeldSlot& slot = grid.table[s];
        if (slot.head == 0)
            return s;
        if (slot.tag == tag) {
            int64_t own[3];
            glmWeldHome(grid, slot.head, own);
            if (own[0] == key[0] && own[1] == key[1] && own[2] == key[2])
                return s;
        }
    }
}

static void glmWeldInsert(GlmWeldGrid& grid, unsigned r) {
    int64_t key[3];
    glmWeldHome(grid, r, key);
    const uint64_t hash = glmWeldHash(key);
    GlmWeldSlot& slot = grid.table[glmWeldFind(grid, key, hash)];
    grid.next[r] = slot.head;
    slot.head = r;
    slot.tag = uint32_t(hash >> 32);
}

// Welds vectors 1..n (3 floats each) into reps (room for n + 1 entries) and records in map[i] the
// representative of vector i. Returns the number of representatives.
static unsigned glmWeldInto(const float* vectors, unsigned n, float epsilon, float* reps, unsigned* map) {
    // With epsilon 0, negative or NaN nothing is equal (the test is strict), and a vector with an
    // infinite or NaN coordinate is equal to nothing: such vectors only ever start a representative of
    // their own and need no place in the grid.
    const bool merging = epsilon > 0.0f;
    GlmWeldGrid grid;
    if (merging) {
        grid.reps = reps;
        grid.width = 2.0 * double(epsilon);
        grid.next.resize(size_t(n) + 1);
        // Sized once for the most cells n vectors can fill, so that it never needs to grow.
        size_t slots = 1024;
        while (slots < 2 * size_t(n))
            slots *= 2;
        grid.table.resize(slots);
    }
    unsigned count = 0;
    for (unsigned i = 1; i <= n; i++) {
        const float* v = &vectors[3 * size_t(i)];
        const bool gridded = merging && std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
        unsigned found = 0;
        if (gridded) {
            GlmWeldAxis axis[3];
            for (int k = 0; k < 3; k++)
                axis[k] = glmWeldAxis(v[k], grid.width);
            // The candidate cells' slots are fetched from memory all at once before any is probed:
            // on a large grid each would otherwise be a cache miss of its own, one after the other.
            int64_t keys[27][3];
            uint64_t hashes[27];
            int cells = 0;
            const size_t mask = grid.table.size() - 1;
            for (int64_t a = axis[0].lo; a <= axis[0].hi; a++)
                for (int64_t b = axis[1].lo; b <= axis[1].hi; b++)
                    for (int64_t c = axis[2].lo; c <= axis[2].hi; c++) {
                        keys[cells][0] = a, keys[cells][1] = b, keys[cells][2] = c;
                        hashes[cells] = glmWeldHash(keys[cells]);
                        __builtin_prefetch(&grid.table[size_t(hashes[cells]) & mask]);
                        cells++;
                    }
            for (int cell = 0; cell < cells; cell++)
                for (unsigned r = grid.table[glmWeldFind(grid, keys[cell], hashes[cell])].head; r != 0;
                     r = grid.next[r])
                    if ((found == 0 || r < found) && glmEqual(&reps[3 * size_t(r)], v, epsilon))
                        found = r;
        }
        if (found == 0) {
            found = ++count;
            std::copy(v, v + 3, &reps[3 * size_t(found)]);
            if (gridded)
                glmWeldInsert(grid, found);
        }
        map[i] = found;
    }
    return count;
}

float* glmWeldVectors(float* vectors, unsigned* count, float epsilon) {
    const unsigned n = *count;
    float* copies = new float[3 * (size_t(n) + 1)]();
    std::vector<unsigned> map(size_t(n) + 1);
    *count = glmWeldInto(vectors, n, epsilon, copies, map.data());
    for (unsigned i = 1; i <= n; i++)
        vectors[3 * size_t(i)] = static_cast<float>(map[i]);
    return copies;
}

void glmWeld(GlmModel* model, float epsilon) {
    // The triangles are renumbered from the integer map rather than through the indices that
    // glmWeldVectors leaves in floats, so models beyond 2^24 vertices weld exactly too.
    const unsigned n = glmHeld(model->vertexcount, model->vertices, 3);
    std::vector<float> welded(3 * (size_t(n) + 1), 0.0f);
    std::vector<unsigned> map(size_t(n) + 1, 0u);
    const unsigned count = glmWeldInto(model->vertices.data(), n, epsilon, welded.data(), map.data());

    // An index past the old vertices (a model built by hand) becomes 0, "no vertex", rather than
    // silently naming one of the welded vertices.
    const size_t triangles = std::min<size_t>(model->trianglecount, model->triangles.size());
    for (size_t i = 0; i < triangles; i++)
        for (unsigned& v : model->triangles[i].vertexindices)
            v = v <= n ? map[v] : 0;

    welded.resize(3 * (size_t(count) + 1));
    welded.shrink_to_fit();
    model->vertices = std::move(welded);
    model->vertexcount = count;
}

void glmReverseWinding(GlmModel* model) {
    glmAssert(model);
    const size_t triangles = std::min<size_t>(model->trianglecount, model->triangles.size());
    for (size_t i = 0; i < triangles; i++) {
        GlmTriangle& t = model->triangles[i];
        std::swap(t.vertexindices[0], t.vertexindices[2]);
        if (model->normalcount != 0)
            std::swap(t.normalindices[0], t.normalindices[2]);
        if (model->texcoordcount != 0)
            std::swap(t.texcoordindices[0], t.texcoordindices[2]);
    }
    const unsigned facets = glmHeld(model->facetnormcount, model->facetnorms, 3);
    for (size_t k = 3; k < 3 * (size_t(facets) + 1); k++)
        model->facetnorms[k] = -model->facetnorms[k];
    const unsigned normals = glmHeld(model->normalcount, model->normals, 3);
    for (size_t k = 3; k < 3 * (size_t(normals) + 1); k++)
        model->normals[k] = -model->normals[k];
}

// ============================================================================================
// PPM images
// ============================================================================================

// Header lines are read at most 69 characters at a time; the rest of a longer line comes back as the
// next piece, except after the magic and in comments, whose rest is skipped so that digits in a long
// comment are never taken for header values. Returns false at the end of the file.
static bool glmPpmLine(FILE* file, std::string& line) {
    line.clear();
    int c;
    while (line.size() < 69 && (c = getc(file)) != EOF) {
        line.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    return !line.empty();
}

static void glmPpmSkipRest(FILE* file, const std::string& line) {
    if (line.back() == '\n')
        return;
    int c;
    while ((c = getc(file)) != EOF && c != '\n') {
    }
}

// Takes up to `want` integers from the start of a header line, as "%d %d %d" would, and returns how
// many it took. strtol keeps an overlong number from being undefined: it comes back as LONG_MAX or
// LONG_MIN, which the size checks reject.
static int glmPpmNumbers(const char* text, long* values, int want) {
    int got = 0;
    while (got < want) {
        char* end;
        const long value = strtol(text, &end, 10);
        if (end == text)
            break;
        values[got++] = value;
        text = end;
    }
    return got;
}

// Closes the file and gives the null result of a failed read, once the reason has been printed.
static unsigned char* glmPpmFail(FILE* file) {
    fclose(file);
    return nullptr;
}

unsigned char* glmReadPPM(const char* name, int* width, int* height) {
    FILE* file = fopen(name, "rb");
    if (!file) {
        perror(name);
        return nullptr;
    }
    std::string line;
    if (!glmPpmLine(file, line) || line.compare(0, 2, "P6") != 0) {
        fprintf(stderr, "%s: Not a raw PPM file\n", name);
        return glmPpmFail(file);
    }
    glmPpmSkipRest(file, line);

    // Width, height and maximum value, spread over the lines in any way. A line that holds no number
    // (blank, stray text) is passed over; a file that ends first is refused.
    long header[3] = {0, 0, 0};
    int found = 0;
    while (found < 3) {
        if (!glmPpmLine(file, line)) {
            fprintf(stderr, "%s: PPM header ends before its width, height and maximum value\n", name);
            return glmPpmFail(file);
        }
        if (line[0] == '#')
            glmPpmSkipRest(file, line);
        else
            found += glmPpmNumbers(line.c_str(), header + found, 3 - found);
    }
    // The maximum value is not used: every sample is one byte.
    const long w = header[0];
    const long h = header[1];
    if (w <= 0 || h <= 0) {
        fprintf(stderr, "%s: PPM image size %ld x %ld is not a positive size\n", name, w, h);
        return glmPpmFail(file);
    }
    // The byte count must fit an int, so that a caller sizing the texture in int arithmetic cannot
    // overflow either.
    if (w > INT_MAX / 3 / h) {
        fprintf(stderr, "%s: PPM image of %ld x %ld pixels is too large\n", name, w, h);
        return glmPpmFail(file);
    }

    // The raster is read in chunks of 16 MiB, so that a header announcing more than the file holds costs
    // at most one chunk more memory than the file itself. A short raster is refused rather than handed
    // out half empty.
    const size_t bytes = size_t(w) * size_t(h) * 3;
    std::vector<unsigned char> raster;
    while (raster.size() < bytes) {
        const size_t had = raster.size();
        raster.resize(had + std::min<size_t>(bytes - had, size_t(1) << 24));
        const size_t got = fread(raster.data() + had, 1, raster.size() - had, file);
        raster.resize(had + got);
        if (got == 0)
            break;
    }
    if (raster.size() < bytes) {
        fprintf(stderr, "%s: PPM raster holds %zu of the %zu bytes its header announces\n", name,
                raster.size(), bytes);
        return glmPpmFail(file);
    }
    fclose(file);

    unsigned char* pixels = new unsigned char[bytes];
    std::copy(raster.begin(), raster.end(), pixels);
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return pixels;
}
