// The model library. One file, cut into sections by banner comments.
#include "glm.h"

#include <GL/gl.h>
#include <fast_float/fast_float.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>

// A failed precondition: report it under the library's own name and stop at once. The message
// names the failed expression as the caller wrote it.
[[noreturn]] static void glmFail(unsigned line, const char* expr) {
    fprintf(stderr, "%s:%u: failed assertion `%s'\n", "glm", line, expr);
    fflush(stderr);
    abort();
}

// glmAssert(p) for pointers and conditions; glmAssertArray(model->normals) for the model's arrays,
// which are vectors (empty meaning absent), so that the message still reads "model->normals".
#define glmAssert(e) ((e) ? (void)0 : glmFail(__LINE__, #e))
#define glmAssertArray(a) (!(a).empty() ? (void)0 : glmFail(__LINE__, #a))

void (*glmExit)(int status) = exit;

// Ends the process through the hook; exit still follows should the hook return.
[[noreturn]] static void glmEnd(int status) {
    glmExit(status);
    exit(status);
}

// ============================================================================================
// Helpers, lookups and release
// ============================================================================================

namespace {

// Reserves room for n elements of v. Room of 64 KiB or more has its pages mapped in one call
// before its first touch, in 2 MiB pages where it spans them: a model of a million triangles
// would otherwise take tens of thousands of 4 KiB page faults, which cost tens of microseconds
// each on a virtual machine. (Both calls are only advice: where they fail nothing changes.)
template <class T> void glmReserve(std::vector<T>& v, size_t n) {
    v.reserve(n);
    const size_t bytes = n * sizeof(T);
    if (bytes < (64u << 10))
        return;
    const uintptr_t page = 4096;
    void* b = reinterpret_cast<void*>((uintptr_t(v.data()) + page - 1) & ~(page - 1));
    const size_t length = ((uintptr_t(v.data()) + bytes) & ~(page - 1)) - uintptr_t(b);
    if (bytes >= (2u << 20))
        madvise(b, length, MADV_HUGEPAGE);
    madvise(b, length, MADV_POPULATE_WRITE);
}

// Gives v n value-initialised elements in fresh storage.
template <class T> void glmAllocate(std::vector<T>& v, size_t n) {
    std::vector<T> fresh;
    glmReserve(fresh, n);
    fresh.resize(n);
    v.swap(fresh);
}

} // namespace

float glmMax(float a, float b) {
    return b > a ? b : a;
}

float glmAbs(float f) {
    return f < 0 ? -f : f;
}

float glmDot(const float* u, const float* v) {
    glmAssert(u);
    glmAssert(v);
    return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
}

void glmCross(const float* u, const float* v, float* n) {
    glmAssert(u);
    glmAssert(v);
    glmAssert(n);
    n[0] = u[1] * v[2] - u[2] * v[1];
    n[1] = u[2] * v[0] - u[0] * v[2];
    n[2] = u[0] * v[1] - u[1] * v[0];
}

void glmNormalize(float* v) {
    glmAssert(v);
    const float length = float(std::sqrt(double(v[0] * v[0] + v[1] * v[1] + v[2] * v[2])));
    // Only a degenerate triangle has a zero normal; it stays zero rather than turning into NaNs.
    if (length == 0.0f)
        return;
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
}

int glmEqual(const float* u, const float* v, float epsilon) {
    return glmAbs(u[0] - v[0]) < epsilon && glmAbs(u[1] - v[1]) < epsilon && glmAbs(u[2] - v[2]) < epsilon;
}

GlmGroup* glmFindGroup(GlmModel* model, const char* name) {
    glmAssert(model);
    for (GlmGroup* group = model->groups; group; group = group->next)
        if (group->name == name)
            return group;
    return nullptr;
}

GlmGroup* glmAddGroup(GlmModel* model, const char* name) {
    GlmGroup* group = glmFindGroup(model, name);
    if (group)
        return group;
    group = new GlmGroup;
    group->name = name;
    group->next = model->groups;
    model->groups = group;
    model->groupcount++;
    return group;
}

unsigned glmFindMaterial(GlmModel* model, const char* name) {
    for (unsigned i = 0; i < model->materialcount && i < model->materials.size(); i++)
        if (model->materials[i].name == name)
            return i;
    printf("glmFindMaterial():  can't find material \"%s\".\n", name);
    return 0;
}

std::string glmDirName(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash ? std::string(path, slash + 1) : std::string();
}

void glmDelete(GlmModel* model) {
    glmAssert(model);
    GlmGroup* group = model->groups;
    while (group) {
        GlmGroup* next = group->next;
        delete group;
        group = next;
    }
    delete model;
}

// ============================================================================================
// Reading: MTL and OBJ
// ============================================================================================
//
// Both readers work on whole lines held in memory, each run of lines ending with a '\n' (one is
// added after a last line that has none), so scanning stops at a line end without a bounds test.
// A statement takes its numbers or name from its own line, so a short line never borrows from
// the next one; only a face may run on over several lines, item after item, until a token that
// is not an item. The OBJ reader keeps its two passes but reads the file in large blocks and cuts
// it into parts, one thread each: the first pass counts each part on its own; the counts are added
// up in file order, which also gives every part the state a reading of the whole file has at its
// beginning; the second pass then fills each part's own slots of the model. The result is the
// same, byte for byte and message for message, whatever the number of parts.

namespace {

// Byte classes: 1 for a blank inside a line (a '\r' is one, so "\r\n" ends a line as "\n" does),
// 2 for the line end; a token ends at either.
struct ByteClasses {
    unsigned char of[256] = {};
    constexpr ByteClasses() {
        for (char c : {' ', '\t', '\r', '\v', '\f'})
            of[static_cast<unsigned char>(c)] = 1;
        of[static_cast<unsigned char>('\n')] = 2;
    }
};
constexpr ByteClasses byteClasses;

inline bool isBlank(char c) {
    return byteClasses.of[static_cast<unsigned char>(c)] == 1;
}

inline bool isEnd(char c) {
    return byteClasses.of[static_cast<unsigned char>(c)] != 0;
}

// The decimal digits that begin the 8 bytes at p, at most 8 of them: their count, and their value
// in value. The 8 bytes are taken as one integer and all their digits converted at once; the
// runs of lines handed to the parsers are followed by at least 8 readable bytes.
inline unsigned eightDigits(const char* p, uint64_t& value) {
    uint64_t chunk;
    memcpy(&chunk, p, 8);
    const uint64_t t = chunk ^ 0x3030303030303030ull; // '0' to '9' become 0 to 9
    // A byte above 9 gets its top bit set; a carry out of it only disturbs the bytes after it.
    const uint64_t other = ((t + 0x7676767676767676ull) | t) & 0x8080808080808080ull;
    const unsigned n = other ? unsigned(__builtin_ctzll(other)) / 8 : 8;
    if (n == 0) {
        value = 0;
        return 0;
    }
    uint64_t d = t << (8 * (8 - n)); // the digits to the top, zeros (leading ones) below
    d = (d * 10 + (d >> 8)) & 0x00FF00FF00FF00FFull;
    d = (d * 100 + (d >> 16)) & 0x0000FFFF0000FFFFull;
    value = (d * 10000 + (d >> 32)) & 0xFFFFFFFFull;
    return n;
}

inline const char* skipBlanks(const char* p) {
    while (isBlank(*p))
        ++p;
    return p;
}

inline const char* tokenEnd(const char* p) {
    while (!isEnd(*p))
        ++p;
    return p;
}

// The '\n' that ends the line p is on; the run [p, e) ends with one.
inline const char* lineEnd(const char* p, const char* e) {
    return static_cast<const char*>(memchr(p, '\n', size_t(e - p)));
}

// The first word after p on its line, e.g. the name after "usemtl"; empty when there is none.
std::string firstWord(const char* p) {
    p = skipBlanks(p);
    return std::string(p, tokenEnd(p));
}

// One number as "%f" reads it: the longest prefix of the token at p that strtof accepts, rounded
// the same way. Returns the end of the number, or p when there is none.
const char* readFloatSlow(const char* p, float& out) {
    const char* e = tokenEnd(p);
    const char* q = p;
    if (*q == '+') { // from_chars takes no plus sign
        ++q;
        if (*q == '+' || *q == '-')
            return p;
    }
    const auto r = fast_float::from_chars(q, e, out);
    if (r.ec != std::errc())
        return p;
    // from_chars knows no hexadecimal ("0x1p3" stops after its 0); strtof reads those rare ones.
    const bool zero = (r.ptr - q == 1 && q[0] == '0') || (r.ptr - q == 2 && q[0] == '-' && q[1] == '0');
    if (zero && (*r.ptr == 'x' || *r.ptr == 'X')) {
        const std::string token(p, e);
        char* end = nullptr;
        out = strtof(token.c_str(), &end);
        return p + (end - token.c_str());
    }
    return r.ptr;
}

// The same, with a shortcut for the common "-1.234567": at most 7 digits on each side of one
// point, together an integer below 2^24, no exponent. That integer and the power of ten are exact
// floats, so their quotient, rounded once by the division, is the correctly rounded value.
inline const char* readFloat(const char* p, float& out) {
    static const float tens[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};
    const char* q = p + (*p == '-');
    uint64_t mantissa, fraction = 0;
    const unsigned whole = eightDigits(q, mantissa);
    unsigned decimals = 0;
    q += whole;
    if (*q == '.') {
        decimals = eightDigits(q + 1, fraction);
        q += 1 + decimals;
    }
    if (whole + decimals == 0 || whole == 8 || decimals == 8 || !isEnd(*q))
        return readFloatSlow(p, out);
    static const uint64_t scale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
    mantissa = mantissa * scale[decimals] + fraction;
    if (mantissa >= (1u << 24))
        return readFloatSlow(p, out);
    const float value = float(mantissa) / tens[decimals];
    out = *p == '-' ? -value : value;
    return q;
}

// Up to n numbers from the rest of the line at p, into out. With allZero the numbers missing (too
// few, or a word in their place) become 0; otherwise they keep their values. Returns where the
// reading stopped.
const char* readFloats(const char* p, float* out, int n, bool allZero) {
    int k = 0;
    for (; k < n; ++k) {
        p = skipBlanks(p);
        const char* q = readFloat(p, out[k]);
        if (q == p)
            break;
        p = q;
    }
    for (; allZero && k < n; ++k)
        out[k] = 0.0f;
    return p;
}

// Calls f(keyword, keyword end) for the first token of every line of [p, e), which ends with '\n'.
template <class F> void forEachStatement(const char* p, const char* e, F f) {
    while (p < e) {
        const char* k = skipBlanks(p);
        if (*k != '\n')
            f(k, tokenEnd(k));
        p = lineEnd(k, e) + 1;
    }
}

} // namespace

void glmReadMTL(GlmModel* model, const char* name) {
    const std::string path = glmDirName(model->path.c_str()) + name;
    // Only a regular file is a library: an "mtllib" naming a FIFO, a device such as /dev/zero or a
    // directory would block or never end. Opened without blocking, so a FIFO is refused, not waited on.
    FILE* file = nullptr;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        file = fdopen(fd, "rb");
    if (!file) {
        if (fd >= 0)
            close(fd);
        fprintf(stderr, "glmReadMTL() failed: can't open material file \"%s\".\n", path.c_str());
        glmEnd(1);
    }
    // Material libraries are small: one string holds the file for both passes.
    std::string text;
    char block[65536];
    for (size_t n; (n = fread(block, 1, sizeof block, file)) > 0;)
        text.append(block, n);
    fclose(file);
    text += '\n';
    const size_t size = text.size();
    text.append(8, '\0'); // readable after the end, see eightDigits
    const char* begin = text.data();
    const char* end = begin + size;

    unsigned count = 1;
    forEachStatement(begin, end, [&](const char* k, const char*) { count += *k == 'n'; });
    model->materials.assign(count, GlmMaterial());
    model->materialcount = count;
    model->materials[0].name = "default";

    unsigned current = 0;
    forEachStatement(begin, end, [&](const char* k, const char* ke) {
        GlmMaterial& m = model->materials[current];
        const char second = ke - k > 1 ? k[1] : '\0';
        float ns;
        if (*k == 'n') {
            current++; // a "newmtl" without a name makes a material with the empty name
            model->materials[current].name = firstWord(ke);
        } else if (*k == 'N') {
            if (readFloats(ke, &ns, 1, false) != ke)
                m.shininess = float(double(ns) / 1000.0 * 128.0);
        } else if (*k == 'K' && second == 'd') {
            readFloats(ke, m.diffuse, 3, false);
        } else if (*k == 'K' && second == 'a') {
            readFloats(ke, m.ambient, 3, false);
        } else if (*k == 'K' && second == 's') {
            readFloats(ke, m.specular, 3, false);
        }
    });
}

namespace {

// How a face writes its items: "v", "v/t", "v/t/n" or "v//n". A face takes the form of its first
// item; an item of another form, or malformed ("1/", "2x"), is Bad.
enum Form : unsigned char { FormBad, FormV, FormVT, FormVTN, FormVN };

// One corner of a face, its indices resolved; ok is false when any of them is unusable.
struct Corner {
    unsigned v = 0, t = 0, n = 0;
    bool ok = false;
};

// Where a reading stands.
struct ObjCursor {
    unsigned vertices = 0, normals = 0, texcoords = 0; // "v", "vn", "vt" statements met so far
    unsigned triangles = 0;                            // triangles met so far, dropped ones included
    unsigned group = 0;                                // current group (see ObjPart)
    unsigned line = 1;                                 // line being read
    // The face being read: it stays open until a token that is not an item.
    bool face = false;
    unsigned faceline = 0; // line of its keyword
    unsigned items = 0;    // items read so far
    unsigned dropped = 0;  // triangles dropped for an unusable corner
    unsigned cleared = 0;  // items whose texture or normal index named nothing
    Form form = FormBad;   // form of its first item
    Corner first, last;    // the fan's first corner and the latest corner
};

// A "g", "usemtl" or "mtllib" line, or an unknown "v..." keyword, as the first pass meets it; the
// parts' events are acted on in file order once every part is counted.
struct ObjEvent {
    enum Kind : unsigned char { Group, Material, Library, Unknown } kind;
    unsigned group;   // Group: the part's own number for the group
    std::string name; // Material, Library: the name; Unknown: the keyword
};

// One part of the file, read by one thread in each pass: whole lines from begin to end. Every
// part begins with a line whose first token is not a face item, so no face runs on from one part
// into the next and the part's first statement reads the same whatever came before it.
struct ObjPart {
    uint64_t begin = 0, end = 0;
    // First pass, counted from the part's own beginning. Its groups are numbered in the part:
    // 0 stands for the group that is current where the part begins, whatever it is.
    ObjCursor counted;
    std::vector<std::string> groups = {std::string()};
    std::unordered_map<std::string, unsigned> groupnumbers;
    std::vector<unsigned> groupcounts = {0}; // triangles counted in each of the part's groups
    std::vector<ObjEvent> events;
    // Second pass: the state at begin, built from the parts before; groups are the model's.
    ObjCursor start;
    std::vector<unsigned> fill;        // triangles each group of the model held at begin
    std::vector<std::string> warnings; // the first few, printed in file order once all are read
    size_t warned = 0;                 // warnings, listed or not
    size_t dropped = 0;                // triangles dropped
};

struct ObjReader {
    GlmModel* model = nullptr;
    int fd = -1;
    size_t blocksize = 0;
    unsigned threads = 1;                             // reading the parts
    std::vector<GlmGroup*> groups;                    // the model's, in order of creation
    std::unordered_map<std::string, unsigned> byname; // group name -> number
    // "g" (group >= 0) and "usemtl" (group < 0) lines in file order; materials are resolved from
    // them once the library is read, wherever the file names it.
    struct Use {
        int group;
        std::string material;
    };
    std::vector<Use> uses;
    std::vector<ObjPart> parts;
};

// Reads bytes [pos, end) of a file in blocks of whole lines; a line longer than a block is read
// on until its end, whatever its length.
struct LineBlocks {
    int fd;
    uint64_t pos, end;
    size_t block;
    std::vector<char> buf;
    size_t used = 0, cut = 0; // bytes in buf; bytes handed out by the last call
    uint64_t at = 0;          // file offset of buf[0]

    // The next run of whole lines, as [b, e), e[-1] being '\n' and at least 8 bytes readable
    // after e; false at the end. A read error ends the range.
    bool next(const char*& b, const char*& e) {
        if (cut) {
            memmove(buf.data(), buf.data() + cut, used - cut);
            used -= cut;
            cut = 0;
        }
        at = pos - used;
        if (buf.empty())
            glmReserve(buf, 2 * block + 8);
        for (;;) {
            if (pos >= end) {
                if (used == 0)
                    return false;
                if (buf[used - 1] != '\n') // the file's last line has no line end of its own
                    buf[used++] = '\n';
                cut = used;
                break;
            }
            const size_t want = size_t(std::min<uint64_t>(block, end - pos));
            if (buf.size() < used + want + 8)
                buf.resize(used + want + 8);
            const ssize_t n = pread(fd, buf.data() + used, want, off_t(pos));
            if (n <= 0) {
                end = pos;
                continue;
            }
            const void* nl = memrchr(buf.data() + used, '\n', size_t(n));
            used += size_t(n);
            pos += uint64_t(n);
            if (nl) {
                cut = size_t(static_cast<const char*>(nl) - buf.data()) + 1;
                break;
            }
        }
        b = buf.data();
        e = b + cut;
        return true;
    }
};

// An item begins with an integer; the face goes on while the next token does.
inline bool isItem(const char* p) {
    p += *p == '-' || *p == '+';
    return unsigned(*p - '0') < 10;
}

// The end of the item token at p, for the first pass, which only counts items. Items are mostly
// digits and slashes: those are passed over eight at a time, and the token goes on from the first
// other byte.
inline const char* itemEnd(const char* p) {
    for (;; p += 8) {
        uint64_t chunk;
        memcpy(&chunk, p, 8);
        // The top bit of each byte from '/' (0x2F) to '9' (0x39); bytes above 0x7F kept apart.
        const uint64_t low = chunk & 0x7F7F7F7F7F7F7F7Full;
        const uint64_t inside =
            (low + 0x5151515151515151ull) & ~(low + 0x4646464646464646ull) & ~chunk & 0x8080808080808080ull;
        const uint64_t other = ~inside & 0x8080808080808080ull;
        if (other)
            return tokenEnd(p + __builtin_ctzll(other) / 8);
    }
}

// An index as written, signed; values beyond any array stay beyond it rather than wrap. Returns
// the end of its digits, or null when there are none.
inline const char* readIndex(const char* p, long long& out) {
    const bool negative = *p == '-';
    p += *p == '-' || *p == '+';
    uint64_t value;
    const unsigned n = eightDigits(p, value);
    if (n == 0)
        return nullptr;
    p += n;
    for (unsigned d; n == 8 && (d = unsigned(*p - '0')) < 10; ++p)
        if (value < (1ull << 40))
            value = value * 10 + d;
    out = negative ? -static_cast<long long>(value) : static_cast<long long>(value);
    return p;
}

// The item at p: its form and its three indices (vertex, texture, normal), 0 where absent.
// Returns the end of the item's token.
const char* readItem(const char* p, Form& form, long long* index) {
    index[0] = index[1] = index[2] = 0;
    form = FormBad;
    const char* q = readIndex(p, index[0]);
    if (q && isEnd(*q)) {
        form = FormV;
    } else if (q && *q == '/') {
        if (q[1] == '/') {
            q = readIndex(q + 2, index[2]);
            form = q && isEnd(*q) ? FormVN : FormBad;
        } else if ((q = readIndex(q + 1, index[1]))) {
            if (isEnd(*q))
                form = FormVT;
            else if (*q == '/' && (q = readIndex(q + 1, index[2])) && isEnd(*q))
                form = FormVTN;
        }
    }
    return tokenEnd(q ? q : p);
}

// An index counted from 1, or back from the latest element met so far when negative; 0 when it
// names no element of the array.
inline unsigned resolve(long long index, unsigned sofar, unsigned total) {
    if (index > 0)
        return index <= total ? unsigned(index) : 0;
    if (index < 0 && -index <= sofar)
        return unsigned(sofar + index + 1);
    return 0;
}

// Stores the item at p of the open face, and the triangle it closes; returns the item's end.
const char* storeItem(ObjReader& r, ObjCursor& c, std::vector<unsigned>& fill, const char* p) {
    GlmModel& m = *r.model;
    long long index[3];
    Form form;
    p = readItem(p, form, index);
    if (++c.items == 1)
        c.form = form;
    // A corner needs its vertex and the face's form. A texture or normal index that names nothing
    // is left out (0, the corner has none) rather than losing the triangle.
    Corner k;
    k.v = resolve(index[0], c.vertices, m.vertexcount);
    k.t = resolve(index[1], c.texcoords, m.texcoordcount);
    k.n = resolve(index[2], c.normals, m.normalcount);
    k.ok = form == c.form && form != FormBad && k.v;
    c.cleared += k.ok && (((form == FormVT || form == FormVTN) && !k.t) ||
                          ((form == FormVN || form == FormVTN) && !k.n));
    if (c.items == 1)
        c.first = k;
    if (c.items >= 3) {
        const unsigned t = c.triangles++;
        GlmGroup* group = r.groups[c.group];
        // The bounds hold unless the file changed between the passes.
        if (t < m.triangles.size() && fill[c.group] < group->triangles.size()) {
            group->triangles[fill[c.group]++] = t;
            if (c.first.ok && c.last.ok && k.ok) {
                GlmTriangle& tri = m.triangles[t];
                const Corner* corner[3] = {&c.first, &c.last, &k};
                for (int i = 0; i < 3; i++) {
                    tri.vertexindices[i] = corner[i]->v;
                    tri.texcoordindices[i] = corner[i]->t;
                    tri.normalindices[i] = corner[i]->n;
                }
            } else {
                c.dropped++; // left with vertex index 0, and removed once the read is over
            }
        }
    }
    c.last = k;
    return p;
}

// A broken file lists its first few warnings and counts the rest.
const size_t listedWarnings = 10;

void warn(ObjPart& part, const char* format, unsigned line, unsigned count) {
    if (part.warned++ >= listedWarnings)
        return;
    char text[160];
    snprintf(text, sizeof text, format, line, count);
    part.warnings.push_back(text);
}

void closeFace(ObjCursor& c, ObjPart& part) {
    c.face = false;
    part.dropped += c.dropped;
    if (c.items < 3)
        warn(part, "glmReadOBJ() warning: line %u: face with fewer than three items ignored.\n", c.faceline,
             0);
    if (c.dropped)
        warn(part, "glmReadOBJ() warning: line %u: %u triangle(s) with a bad vertex or item dropped.\n",
             c.faceline, c.dropped);
    if (c.cleared)
        warn(part, "glmReadOBJ() warning: line %u: %u item(s) naming no such texture coordinate or normal.\n",
             c.faceline, c.cleared);
}

// Reads the run of whole lines [p, e) of a part: the first pass counts (Fill false), the second
// stores. Returns false where the first pass meets an unknown keyword: the part ends there.
template <bool Fill> bool objRun(ObjReader& r, ObjPart& part, ObjCursor& c, const char* p, const char* e) {
    GlmModel& m = *r.model;
    while (p < e) {
        p = skipBlanks(p);
        if (*p == '\n') {
            c.line++;
            p++;
            continue;
        }
        if (c.face) {
            if (isItem(p)) {
                if constexpr (Fill) {
                    p = storeItem(r, c, part.fill, p);
                } else {
                    if (++c.items >= 3) {
                        c.triangles++;
                        part.groupcounts[c.group]++;
                    }
                    p = itemEnd(p);
                }
                continue;
            }
            if constexpr (Fill)
                closeFace(c, part);
            c.face = false;
        }
        const char* ke = tokenEnd(p);
        const char second = ke - p > 1 ? p[1] : '\0';
        switch (*p) {
        case 'f':
            c.face = true;
            c.faceline = c.line;
            c.items = c.dropped = c.cleared = 0;
            p = ke;
            continue;
        case 'v':
            if (second == '\0') {
                c.vertices++;
                if constexpr (Fill)
                    if (c.vertices <= m.vertexcount)
                        ke = readFloats(ke, &m.vertices[3 * size_t(c.vertices)], 3, true);
            } else if (second == 'n') {
                c.normals++;
                if constexpr (Fill)
                    if (c.normals <= m.normalcount)
                        ke = readFloats(ke, &m.normals[3 * size_t(c.normals)], 3, true);
            } else if (second == 't') {
                c.texcoords++;
                if constexpr (Fill)
                    if (c.texcoords <= m.texcoordcount)
                        ke = readFloats(ke, &m.texcoords[2 * size_t(c.texcoords)], 2, true);
            } else if constexpr (!Fill) {
                part.events.push_back({ObjEvent::Unknown, 0, std::string(p, ke)});
                return false;
            }
            break;
        case 'g': {
            // The name is the rest of the line, blanks included, without its line end.
            const char* le = lineEnd(ke, e);
            std::string name(ke, le > ke && le[-1] == '\r' ? le - 1 : le);
            if constexpr (Fill) {
                const auto found = r.byname.find(name);
                if (found != r.byname.end()) // it is, unless the file changed between the passes
                    c.group = found->second;
            } else {
                auto found = part.groupnumbers.find(name);
                if (found == part.groupnumbers.end()) {
                    found = part.groupnumbers.emplace(name, unsigned(part.groups.size())).first;
                    part.groups.push_back(std::move(name));
                    part.groupcounts.push_back(0);
                }
                c.group = found->second;
                part.events.push_back({ObjEvent::Group, c.group, std::string()});
            }
            break;
        }
        case 'm':
            if constexpr (!Fill) {
                // A line without a name is ignored.
                std::string library = firstWord(ke);
                if (!library.empty())
                    part.events.push_back({ObjEvent::Library, 0, std::move(library)});
            }
            break;
        case 'u':
            if constexpr (!Fill)
                part.events.push_back({ObjEvent::Material, 0, firstWord(ke)});
            break;
        default: // comments and every statement without a meaning here
            break;
        }
        p = lineEnd(ke, e);
    }
    return true;
}

// Where the parts begin: near equal shares of the file, each moved on to the next line whose
// first token is not a face item (a file that is one long face stays one part).
std::vector<uint64_t> objBoundaries(int fd, uint64_t size, unsigned parts) {
    std::vector<uint64_t> begins = {0};
    for (unsigned i = 1; i < parts; i++) {
        const uint64_t target = size * i / parts;
        if (target <= begins.back())
            continue;
        LineBlocks blocks{fd, target - 1, size, 1u << 16, {}};
        const char *b, *e;
        bool partial = true; // the line that target - 1 is on
        uint64_t found = 0;
        while (!found && blocks.next(b, e)) {
            for (const char* p = b; p < e && !found; p = lineEnd(p, e) + 1) {
                if (partial) {
                    partial = false;
                    continue;
                }
                const char* k = skipBlanks(p);
                if (*k != '\n' && !isItem(k))
                    found = blocks.at + uint64_t(p - b);
            }
        }
        if (found > begins.back() && found < size)
            begins.push_back(found);
    }
    return begins;
}

void objFirstPass(ObjReader& r, ObjPart& part) {
    LineBlocks blocks{r.fd, part.begin, part.end, r.blocksize, {}};
    const char *b, *e;
    while (blocks.next(b, e))
        if (!objRun<false>(r, part, part.counted, b, e))
            return;
    part.end = blocks.pos; // the last part reads to the end of the file, wherever that is now
}

// Acts on the parts' events in file order and adds up their counts: creates the groups, reads
// the material library, ends the process at an unknown keyword, and gives every part the state
// that a reading of the whole file would have at its beginning.
void objMergeCounts(ObjReader& r) {
    GlmModel& m = *r.model;
    ObjCursor total;
    for (ObjPart& part : r.parts) {
        part.start = total;
        part.fill.reserve(r.groups.size());
        for (const GlmGroup* g : r.groups)
            part.fill.push_back(g->trianglecount);
        std::vector<unsigned> model(part.groups.size(), 0); // the model's number of each part group
        model[0] = total.group;
        for (ObjEvent& event : part.events) {
            switch (event.kind) {
            case ObjEvent::Group: {
                const std::string& name = part.groups[event.group];
                auto found = r.byname.find(name);
                if (found == r.byname.end()) {
                    GlmGroup* group = new GlmGroup;
                    group->name = name;
                    group->next = m.groups;
                    m.groups = group;
                    m.groupcount++;
                    found = r.byname.emplace(name, unsigned(r.groups.size())).first;
                    r.groups.push_back(group);
                }
                model[event.group] = found->second;
                r.uses.push_back({int(found->second), std::string()});
                break;
            }
            case ObjEvent::Material:
                r.uses.push_back({-1, std::move(event.name)});
                break;
            case ObjEvent::Library: // a second library replaces the first
                m.mtllib = event.name;
                glmReadMTL(&m, event.name.c_str());
                break;
            case ObjEvent::Unknown:
                printf("glmFirstPass(): Unknown token \"%s\".\n", event.name.c_str());
                glmEnd(1);
            }
        }
        for (size_t k = 0; k < part.groups.size(); k++)
            r.groups[model[k]]->trianglecount += part.groupcounts[k];
        total.vertices += part.counted.vertices;
        total.normals += part.counted.normals;
        total.texcoords += part.counted.texcoords;
        total.triangles += part.counted.triangles;
        total.line += part.counted.line - 1;
        total.group = model[part.counted.group];
    }
    m.vertexcount = total.vertices;
    m.normalcount = total.normals;
    m.texcoordcount = total.texcoords;
    m.trianglecount = total.triangles;
}

void objSecondPass(ObjReader& r, ObjPart& part) {
    ObjCursor c = part.start;
    part.fill.resize(r.groups.size(), 0);
    LineBlocks blocks{r.fd, part.begin, part.end, r.blocksize, {}};
    const char *b, *e;
    while (blocks.next(b, e))
        objRun<true>(r, part, c, b, e);
    if (c.face) // the next part's first token ends it
        closeFace(c, part);
}

// Runs pass(r, part) for every part on r.threads threads, this one among them, each taking the
// next part not yet taken: faces cost more to count than vertices, so parts of equal size are not
// equal work. The parts write to disjoint slots of the model, so they need no lock.
void forEachPart(ObjReader& r, void (*pass)(ObjReader&, ObjPart&)) {
    std::atomic<size_t> next{0};
    const auto work = [&r, &next, pass] {
        for (size_t i; (i = next++) < r.parts.size();)
            pass(r, r.parts[i]);
    };
    std::vector<std::thread> threads;
    for (unsigned k = 1; k < r.threads; k++) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) { // no more threads to be had: fewer do the work
            break;
        }
    }
    work();
    for (std::thread& t : threads)
        t.join();
}

// Removes the triangles the second pass left without a vertex, renumbering the groups' lists.
void dropBadTriangles(GlmModel& m) {
    const unsigned dropped = ~0u;
    std::vector<unsigned> renumber(m.triangles.size(), dropped);
    unsigned kept = 0;
    for (size_t t = 0; t < m.triangles.size(); t++)
        if (m.triangles[t].vertexindices[0] != 0) {
            renumber[t] = kept;
            m.triangles[kept++] = m.triangles[t];
        }
    m.triangles.resize(kept);
    m.triangles.shrink_to_fit();
    m.trianglecount = kept;
    for (GlmGroup* g = m.groups; g; g = g->next) {
        unsigned n = 0;
        for (unsigned old : g->triangles)
            if (renumber[old] != dropped)
                g->triangles[n++] = renumber[old];
        g->triangles.resize(n);
        g->triangles.shrink_to_fit();
        g->trianglecount = n;
    }
}

} // namespace

GlmModel* glmReadOBJWith(const char* filename, unsigned parts, unsigned blocksize) {
    const int fd = open(filename, O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        fprintf(stderr, "glmReadOBJ() failed: can't open data file \"%s\".\n", filename);
        if (fd >= 0)
            close(fd);
        glmEnd(1);
    }
    printf(": open data file \"%s\".\n", filename);
    const uint64_t size = uint64_t(st.st_size);
    const unsigned cores = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    if (parts == 0) // four per core, none smaller than a few megabytes
        parts = unsigned(std::max<uint64_t>(1, std::min<uint64_t>(4 * cores, size >> 22)));

    GlmModel* model = new GlmModel;
    model->path = filename;
    // Until the model is handed out, a glmExit that throws (see glm.h) takes it and the file along.
    struct Unfinished {
        GlmModel* model;
        int fd;
        ~Unfinished() {
            if (model) {
                glmDelete(model);
                close(fd);
            }
        }
    } unfinished{model, fd};
    ObjReader r;
    r.model = model;
    r.fd = fd;
    r.blocksize = blocksize ? blocksize : 1;
    r.threads = std::min(parts, cores);
    GlmGroup* group = new GlmGroup;
    group->name = "default";
    model->groups = group;
    model->groupcount = 1;
    r.groups.push_back(group);
    r.byname.emplace("default", 0);

    const std::vector<uint64_t> begins = objBoundaries(fd, size, parts);
    r.parts.resize(begins.size());
    for (size_t i = 0; i < begins.size(); i++) {
        r.parts[i].begin = begins[i];
        r.parts[i].end = i + 1 < begins.size() ? begins[i + 1] : UINT64_MAX;
    }
    forEachPart(r, objFirstPass);
    objMergeCounts(r);

    unsigned material = 0;
    GlmGroup* current = r.groups[0];
    for (const ObjReader::Use& use : r.uses) {
        if (use.group >= 0)
            current = r.groups[size_t(use.group)];
        else
            material = glmFindMaterial(model, use.material.c_str());
        current->material = material;
    }

    // The triangles, most of the model's memory, get theirs on a thread of their own meanwhile.
    std::thread triangles;
    if (r.threads > 1)
        triangles = std::thread([model] { glmAllocate(model->triangles, model->trianglecount); });
    else
        glmAllocate(model->triangles, model->trianglecount);
    glmAllocate(model->vertices, 3 * (size_t(model->vertexcount) + 1));
    if (model->normalcount)
        glmAllocate(model->normals, 3 * (size_t(model->normalcount) + 1));
    if (model->texcoordcount)
        glmAllocate(model->texcoords, 2 * (size_t(model->texcoordcount) + 1));
    for (GlmGroup* g : r.groups)
        glmAllocate(g->triangles, g->trianglecount);
    if (triangles.joinable())
        triangles.join();

    forEachPart(r, objSecondPass);
    close(fd);
    unfinished.model = nullptr;

    // Warnings in file order: the first few, then how many more.
    size_t warned = 0;
    for (const ObjPart& part : r.parts) {
        for (const std::string& text : part.warnings)
            if (warned++ < listedWarnings)
                fputs(text.c_str(), stderr);
        warned += part.warned - part.warnings.size();
    }
    if (warned > listedWarnings)
        fprintf(stderr, "glmReadOBJ() warning: %zu more warnings not listed.\n", warned - listedWarnings);
    for (const ObjPart& part : r.parts)
        if (part.dropped) {
            dropBadTriangles(*model);
            break;
        }
    return model;
}

GlmModel* glmReadOBJ(const char* filename) {
    return glmReadOBJWith(filename, 0, 256u << 10); // blocks that stay in the cache while parsed
}

// ============================================================================================
// Normals
// ============================================================================================

void glmFacetNormals(GlmModel* model) {
    glmAssert(model);
    glmAssertArray(model->vertices);
    model->facetnormcount = model->trianglecount;
    glmAllocate(model->facetnorms, 3 * (size_t(model->trianglecount) + 1));
    const float* vertices = model->vertices.data();
    for (unsigned k = 0; k < model->trianglecount; k++) {
        GlmTriangle& t = model->triangles[k];
        t.facetnormindex = k + 1;
        const float* p0 = &vertices[3 * size_t(t.vertexindices[0])];
        const float* p1 = &vertices[3 * size_t(t.vertexindices[1])];
        const float* p2 = &vertices[3 * size_t(t.vertexindices[2])];
        const float u[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
        const float v[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
        float* n = &model->facetnorms[3 * (size_t(k) + 1)];
        glmCross(u, v, n);
        glmNormalize(n);
    }
}

void glmVertexNormals(GlmModel* model, float angle) {
    glmAssert(model);
    glmAssertArray(model->facetnorms);
    const float threshold = float(std::cos(angle * 3.141592653589793 / 180.0));
    const unsigned vertexcount = model->vertexcount;
    const unsigned trianglecount = model->trianglecount;
    GlmTriangle* triangles = model->triangles.data();
    const float* facetnorms = model->facetnorms.data();

    // The uses of each vertex, one per triangle corner, newest triangle first: vertex i's uses are
    // use[first[i]] to use[first[i + 1] - 1], each the triangle's number times 3 plus the corner.
    // Counting gives each vertex the end of its run; filling from the end, oldest corner first,
    // walks first[i] back to the start of the run.
    std::vector<unsigned> first;
    glmAllocate(first, size_t(vertexcount) + 2);
    for (unsigned k = 0; k < trianglecount; k++)
        for (unsigned v : triangles[k].vertexindices)
            if (v >= 1 && v <= vertexcount)
                first[v]++;
    for (size_t i = 1; i < first.size(); i++)
        first[i] += first[i - 1];
    std::vector<unsigned> use;
    glmAllocate(use, first.back());
    for (unsigned k = 0; k < trianglecount; k++)
        for (unsigned corner = 0; corner < 3; corner++) {
            const unsigned v = triangles[k].vertexindices[corner];
            if (v >= 1 && v <= vertexcount)
                use[--first[v]] = 3 * k + corner;
        }
    std::vector<unsigned char> averaged; // for the uses of one vertex

    std::vector<float> normals;
    glmAllocate(normals, 3 * (3 * size_t(trianglecount) + 1));
    unsigned slot = 1;
    for (unsigned i = 1; i <= vertexcount; i++) {
        const unsigned b = first[i], e = first[i + 1];
        if (b == e) {
            fprintf(stderr, "glmVertexNormals(): vertex w/o a triangle\n");
            continue;
        }
        averaged.resize(e - b);
        const float* reference = &facetnorms[3 * size_t(triangles[use[b] / 3].facetnormindex)];
        float sum[3] = {0.0f, 0.0f, 0.0f};
        bool any = false;
        for (unsigned u = b; u < e; u++) {
            const float* n = &facetnorms[3 * size_t(triangles[use[u] / 3].facetnormindex)];
            averaged[u - b] = glmDot(n, reference) > threshold;
            if (averaged[u - b]) {
                sum[0] += n[0];
                sum[1] += n[1];
                sum[2] += n[2];
                any = true;
            }
        }
        unsigned shared = 0;
        if (any) {
            glmNormalize(sum);
            memcpy(&normals[3 * size_t(slot)], sum, sizeof sum);
            shared = slot++;
        }
        // Each use sets the corner it came from, so a triangle that names the vertex twice still
        // gets a normal at both corners.
        for (unsigned u = b; u < e; u++) {
            GlmTriangle& t = triangles[use[u] / 3];
            if (averaged[u - b]) {
                t.normalindices[use[u] % 3] = shared;
            } else {
                memcpy(&normals[3 * size_t(slot)], &facetnorms[3 * size_t(t.facetnormindex)],
                       3 * sizeof(float));
                t.normalindices[use[u] % 3] = slot++;
            }
        }
    }
    model->normalcount = slot - 1;
    glmAllocate(model->normals, 3 * size_t(slot));
    std::copy(normals.begin(), normals.begin() + 3 * size_t(slot), model->normals.begin());
}

// ============================================================================================
// Bounds, unitize and scale
// ============================================================================================

namespace {

// The largest and smallest coordinate on each axis, from vertex 1 on, and the spans |max| + |min|.
void glmSpans(const GlmModel* model, float* maxv, float* minv, float* spans) {
    const float* v = model->vertices.data();
    for (int a = 0; a < 3; a++)
        maxv[a] = minv[a] = v[3 + a];
    for (unsigned i = 2; i <= model->vertexcount; i++)
        for (int a = 0; a < 3; a++) {
            if (maxv[a] < v[3 * size_t(i) + a])
                maxv[a] = v[3 * size_t(i) + a];
            if (minv[a] > v[3 * size_t(i) + a])
                minv[a] = v[3 * size_t(i) + a];
        }
    for (int a = 0; a < 3; a++)
        spans[a] = glmAbs(maxv[a]) + glmAbs(minv[a]);
}

} // namespace

float glmUnitize(GlmModel* model) {
    glmAssert(model);
    glmAssertArray(model->vertices);
    if (model->vertexcount == 0) // nothing to centre or scale
        return 1.0f;
    float maxv[3], minv[3], spans[3];
    glmSpans(model, maxv, minv, spans);
    float centre[3];
    for (int a = 0; a < 3; a++)
        centre[a] = float(double(maxv[a] + minv[a]) / 2.0);
    // A model without extent (one point) is only centred: its factor stays 1 rather than infinite.
    float scale = float(2.0 / double(glmMax(glmMax(spans[0], spans[1]), spans[2])));
    if (!std::isfinite(scale))
        scale = 1.0f;
    float* v = model->vertices.data();
    for (size_t i = 1; i <= model->vertexcount; i++)
        for (int a = 0; a < 3; a++) {
            v[3 * i + a] -= centre[a];
            v[3 * i + a] *= scale;
        }
    return scale;
}

void glmDimensions(GlmModel* model, float* dimensions) {
    glmAssert(model);
    glmAssertArray(model->vertices);
    glmAssert(dimensions);
    if (model->vertexcount == 0) {
        dimensions[0] = dimensions[1] = dimensions[2] = 0.0f;
        return;
    }
    float maxv[3], minv[3];
    glmSpans(model, maxv, minv, dimensions);
}

void glmScale(GlmModel* model, float scale) {
    float* v = model->vertices.data();
    for (size_t i = 1; i <= model->vertexcount; i++)
        for (int a = 0; a < 3; a++)
            v[3 * i + a] *= scale;
}

// ============================================================================================
// Drawing and display lists
// ============================================================================================

void glmDraw(GlmModel* model, unsigned mode) {
    glmAssert(model);
    glmAssertArray(model->vertices);
    if ((mode & GlmModeFlat) && model->facetnorms.empty()) {
        printf("glmDraw() warning: flat render mode requested with no facet normals defined.\n");
        mode &= ~GlmModeFlat;
    }
    if ((mode & GlmModeSmooth) && model->normals.empty()) {
        printf("glmDraw() warning: smooth render mode requested with no normals defined.\n");
        mode &= ~GlmModeSmooth;
    }
    if ((mode & GlmModeTexture) && model->texcoords.empty()) {
        printf("glmDraw() warning: texture render mode requested with no texture coordinates defined.\n");
        mode &= ~GlmModeTexture;
    }
    if ((mode & GlmModeFlat) && (mode & GlmModeSmooth)) {
        printf("glmDraw() warning: flat render mode requested and smooth render mode requested (using "
               "smooth).\n");
        mode &= ~GlmModeFlat;
    }
    if ((mode & GlmModeColor) && model->materials.empty()) {
        printf("glmDraw() warning: color render mode requested with no materials defined.\n");
        mode &= ~GlmModeColor;
    }
    if ((mode & GlmModeMaterial) && model->materials.empty()) {
        printf("glmDraw() warning: material render mode requested with no materials defined.\n");
        mode &= ~GlmModeMaterial;
    }
    if ((mode & GlmModeColor) && (mode & GlmModeMaterial)) {
        printf("glmDraw() warning: color and material render mode requested using only material mode.\n");
        mode &= ~GlmModeColor;
    }

    if (mode & GlmModeColor)
        glEnable(GL_COLOR_MATERIAL);
    else if (mode & GlmModeMaterial)
        glDisable(GL_COLOR_MATERIAL);

    const float* vertices = model->vertices.data();
    const float* normals = model->normals.data();
    const float* texcoords = model->texcoords.data();
    const float* facetnorms = model->facetnorms.data();
    for (const GlmGroup* group = model->groups; group; group = group->next) {
        if (mode & (GlmModeMaterial | GlmModeColor)) {
            // A library read again after the groups were named may hold fewer materials.
            const unsigned index = group->material < model->materials.size() ? group->material : 0;
            const GlmMaterial& material = model->materials[index];
            if (mode & GlmModeMaterial) {
                glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material.ambient);
                glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material.diffuse);
                glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material.specular);
                glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material.shininess);
            }
            if (mode & GlmModeColor)
                glColor3fv(material.diffuse);
        }
        glBegin(GL_TRIANGLES);
        for (unsigned i = 0; i < group->trianglecount; i++) {
            const GlmTriangle& t = model->triangles[group->triangles[i]];
            if (mode & GlmModeFlat)
                glNormal3fv(&facetnorms[3 * size_t(t.facetnormindex)]);
            for (int corner = 0; corner < 3; corner++) {
                if (mode & GlmModeSmooth)
                    glNormal3fv(&normals[3 * size_t(t.normalindices[corner])]);
                if (mode & GlmModeTexture)
                    glTexCoord2fv(&texcoords[2 * size_t(t.texcoordindices[corner])]);
                glVertex3fv(&vertices[3 * size_t(t.vertexindices[corner])]);
            }
        }
        glEnd();
    }
}

unsigned glmList(GlmModel* model, unsigned mode) {
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glmDraw(model, mode);
    glEndList();
    return list;
}

// ============================================================================================
// Writing: OBJ and MTL
// ============================================================================================

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
        glmEnd(1);
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
        glmEnd(1);
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
