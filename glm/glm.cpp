// The model library. One file, cut into sections by banner comments.
#include "glm.h"
#include "glm_file.h"

#include <GL/gl.h>
#include <fast_float/fast_float.h>
#include <fcntl.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>
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

// Text read from a file, fit to be echoed in a message: control characters become \xNN, so that a
// file cannot drive the terminal; every other byte, those of accented letters included, stays.
static std::string glmEscape(const std::string& text) {
    std::string out;
    for (const unsigned char c : text) {
        char hex[5];
        snprintf(hex, sizeof hex, c < 0x20 || c == 0x7f ? "\\x%02x" : "%c", c);
        out += hex;
    }
    return out;
}

// ==== Helpers, lookups, release and the model's consistency ======================================

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
    if (length != 0.0f)
        for (int a = 0; a < 3; a++)
            v[a] /= length;
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

// A new group at the head of the list.
static GlmGroup* glmNewGroup(GlmModel* model, std::string name) {
    model->groupcount++;
    return model->groups = new GlmGroup{std::move(name), 0, {}, 0, model->groups};
}

GlmGroup* glmAddGroup(GlmModel* model, const char* name) {
    GlmGroup* group = glmFindGroup(model, name);
    return group ? group : glmNewGroup(model, name);
}

unsigned glmFindMaterial(GlmModel* model, const char* name) {
    glmAssert(model->materials.size() == model->materialcount);
    for (unsigned i = 0; i < model->materialcount; i++)
        if (model->materials[i].name == name)
            return i;
    printf("glmFindMaterial():  can't find material \"%s\".\n", glmEscape(name).c_str());
    return 0;
}

std::string glmDirName(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash ? std::string(path, slash + 1) : std::string();
}

void glmDelete(GlmModel* model) {
    glmAssert(model);
    for (GlmGroup* group = model->groups; group;)
        delete std::exchange(group, group->next); // the group, once its successor is taken
    delete model;
}

// The entries of an array of `per` floats indexed from 1: none when it is empty, and SIZE_MAX when
// it is not slot 0 plus whole entries.
static size_t glmEntries(const std::vector<float>& array, size_t per) {
    return array.empty() ? 0 : array.size() % per == 0 ? array.size() / per - 1 : SIZE_MAX;
}

// The record keeps each count beside its array, and its triangles and groups hold indices into
// them: a model changed by hand may disagree with itself. Every function that follows counts or
// indices checks them once on entry, so that such a model stops at once with what is wrong rather
// than reading or writing outside an array: the counts always, and the indices it follows. A vertex
// index must name a vertex: 0 is wrong there too, as no reading makes it.
constexpr unsigned FollowVertices = 1, FollowNormals = 2, FollowTexcoords = 4, FollowFacets = 8,
                   FollowGroups = 16;

static void glmCheck(const GlmModel* model, unsigned follows) {
    glmAssert(model);
    glmAssert(glmEntries(model->vertices, 3) == model->vertexcount);
    glmAssert(glmEntries(model->normals, 3) == model->normalcount);
    glmAssert(glmEntries(model->texcoords, 2) == model->texcoordcount);
    glmAssert(glmEntries(model->facetnorms, 3) == model->facetnormcount);
    glmAssert(model->triangles.size() == model->trianglecount);
    glmAssert(model->materials.size() == model->materialcount);
    for (const GlmTriangle& t : model->triangles) {
        for (int k = 0; k < 3; k++) {
            if (follows & FollowVertices)
                glmAssert(t.vertexindices[k] >= 1 && t.vertexindices[k] <= model->vertexcount);
            if (follows & FollowNormals)
                glmAssert(t.normalindices[k] <= model->normalcount);
            if (follows & FollowTexcoords)
                glmAssert(t.texcoordindices[k] <= model->texcoordcount);
        }
        if (follows & FollowFacets)
            glmAssert(t.facetnormindex <= model->facetnormcount);
    }
    for (const GlmGroup* group = model->groups; group && (follows & FollowGroups); group = group->next) {
        glmAssert(group->triangles.size() == group->trianglecount);
        for (const unsigned t : group->triangles)
            glmAssert(t < model->trianglecount);
        glmAssert(group->material == 0 || group->material < model->materialcount);
    }
}

// ==== Reading: MTL and OBJ =======================================================================

// Both readers work on runs of whole lines in memory, each ending with a '\n' and followed by at
// least glmPadding readable bytes, so that scans stop at a line end without a bounds test and take 8
// or 16 bytes at a step. A statement takes its numbers or name from its own line; only a face runs
// on over lines, item after item, until a token that is not an item.

namespace {

const size_t glmPadding = 32;

// White space: a '\r' is a blank, so that "\r\n" ends a line as "\n" does; a token ends at either.
inline bool isEnd(char c) {
    return c == ' ' || unsigned(c - '\t') <= unsigned('\r' - '\t');
}

inline const char* skipBlanks(const char* p) {
    while (*p != '\n' && isEnd(*p))
        ++p;
    return p;
}

inline const char* tokenEnd(const char* p) {
    while (!isEnd(*p))
        ++p;
    return p;
}

// The 16 bytes at p, a bit each (bit i for p[i]): line ends, blanks, digits.
struct Bytes16 {
    unsigned end, blank, digit;
};

#ifdef __SSE2__
inline Bytes16 classify16(const char* p) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const auto within = [x](char low, char span) { // bytes from low to low + span
        const __m128i d = _mm_sub_epi8(x, _mm_set1_epi8(low));
        return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(span)), d)));
    };
    const unsigned end = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8('\n'))));
    const unsigned space = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8(' '))));
    return {end, (space | within('\t', '\r' - '\t')) & ~end, within('0', 9)};
}
#else
inline Bytes16 classify16(const char* p) {
    Bytes16 b{0, 0, 0};
    for (unsigned i = 0; i < 16; i++) {
        b.end |= unsigned(p[i] == '\n') << i;
        b.blank |= unsigned(p[i] != '\n' && isEnd(p[i])) << i;
        b.digit |= unsigned(unsigned(p[i] - '0') < 10) << i;
    }
    return b;
}
#endif

// The '\n' that ends the line p is on, 16 bytes at a step.
inline const char* lineEnd(const char* p) {
    for (; *p != '\n'; p += 16)
        if (const unsigned end = classify16(p).end)
            return p + __builtin_ctz(end);
    return p;
}

// The decimal digits that begin the 8 bytes at p, at most 8 of them: their count, and their value
// in value. The 8 bytes are taken as one integer and all their digits converted at once.
inline unsigned eightDigits(const char* p, uint64_t& value) {
    uint64_t t;
    memcpy(&t, p, 8);
    t ^= 0x3030303030303030ull; // '0' to '9' become 0 to 9, the first byte lowest
    // A byte above 9 gets its top bit set; a carry out of it only disturbs the bytes after it.
    const uint64_t other = ((t + 0x7676767676767676ull) | t) & 0x8080808080808080ull;
    const unsigned n = other ? unsigned(__builtin_ctzll(other)) / 8 : 8;
    uint64_t d = n ? t << (8 * (8 - n)) : 0; // the digits to the top, zeros (leading ones) below
    d = (d * 10 + (d >> 8)) & 0x00FF00FF00FF00FFull;
    d = (d * 100 + (d >> 16)) & 0x0000FFFF0000FFFFull;
    value = (d * 10000 + (d >> 32)) & 0xFFFFFFFFull;
    return n;
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
    const char* q = p + (*p == '+'); // from_chars takes no plus sign
    if (q > p && (*q == '+' || *q == '-'))
        return p;
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

// The same, with a shortcut for plain decimals such as "-1.234567": at most 7 digits on each side of
// the point, no exponent. The digits make an integer m below 10^14, exact in a double; m times the
// double nearest 10^-d lies within 2^-52 of m / 10^d, which lies at least 2^-47 away from any point
// halfway between two floats, so rounding that product to float rounds m / 10^d correctly.
inline const char* readFloat(const char* p, float& out) {
    static const double tenths[] = {1, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7};
    static const uint64_t tens[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
    const unsigned sign = *p == '-';
    const char* q = p + sign;
    uint64_t m = 0, fraction = 0;
    for (; unsigned(*q - '0') < 10 && q - p - sign < 8; ++q) // mostly a digit or two
        m = m * 10 + unsigned(*q - '0');
    const unsigned whole = unsigned(q - p) - sign;
    unsigned decimals = 0;
    if (*q == '.') {
        decimals = eightDigits(q + 1, fraction);
        q += 1 + decimals;
    }
    if (whole + decimals == 0 || whole == 8 || decimals == 8 || !isEnd(*q))
        return readFloatSlow(p, out);
    // The sign is set as a bit: a branch on it would be mispredicted half the time.
    const float value = float(double(m * tens[decimals] + fraction) * tenths[decimals]);
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    bits |= uint32_t(sign) << 31;
    memcpy(&out, &bits, sizeof out);
    return q;
}

// Up to n numbers from the rest of the line at p, into out. With allZero those missing (too few, or
// a word in their place) become 0; otherwise they keep their values. Returns where reading stopped.
const char* readFloats(const char* p, float* out, int n, bool allZero) {
    int k = 0;
    for (; k < n; k++) {
        p = skipBlanks(p);
        const char* q = readFloat(p, out[k]);
        if (q == p)
            break;
        p = q;
        if (!isEnd(*p)) { // a number that stops inside its token: no number follows
            k++;
            break;
        }
    }
    for (; allZero && k < n; ++k)
        out[k] = 0.0f;
    return p;
}

// Opens a file to read and gives its size, or -1 with errno set, 0 for a file that is not a regular
// one. Only a regular file will do: a FIFO, a device such as /dev/zero or a directory would block or
// never end. Opened without blocking, so that a FIFO is refused rather than waited on.
int openRegular(const char* path, size_t& size) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        close(fd);
        errno = 0;
        return -1;
    }
    size = fd >= 0 ? size_t(st.st_size) : 0;
    return fd;
}

struct FileCloser { // also when a refused file ends the reading (see glmExit)
    int fd;
    ~FileCloser() { close(fd); }
};

// Calls run(begin, end) on runs of whole lines that together make the file, each run followed by
// glmPadding bytes that read as zeros. How the bytes come into memory is the platform's (glm_file.h).
template <class Run> bool eachRun(int fd, size_t size, Run run) {
    return glmEachRun(
        fd, size, glmPadding, [](const char* b, const char* e, void* f) { (*static_cast<Run*>(f))(b, e); },
        &run);
}

} // namespace

void glmReadMTL(GlmModel* model, const char* name) {
    const std::string path = glmDirName(model->path.c_str()) + name;
    size_t size = 0;
    const int fd = openRegular(path.c_str(), size);
    const FileCloser closing{fd};
    // Each statement of the file to f(keyword, keyword end), once for each pass.
    const auto statements = [fd, size](auto f) {
        return eachRun(fd, size, [&f](const char* p, const char* e) {
            for (; p < e; p = lineEnd(p) + 1)
                if (*(p = skipBlanks(p)) != '\n')
                    f(p, tokenEnd(p));
        });
    };
    unsigned count = 1;
    if (fd < 0 || !statements([&count](const char* k, const char*) { count += *k == 'n'; })) {
        fprintf(stderr, "glmReadMTL() failed: can't open material file \"%s\".\n", glmEscape(path).c_str());
        glmEnd(1);
    }
    model->materials.assign(count, GlmMaterial());
    model->materialcount = count;
    model->materials[0].name = "default";
    unsigned current = 0;
    statements([model, &current](const char* k, const char* ke) {
        GlmMaterial& m = model->materials[current];
        const char second = ke - k > 1 ? k[1] : '\0';
        float ns;
        if (*k == 'n' && current + 1 < model->materialcount) { // the file may have changed since
            current++; // a "newmtl" without a name makes a material with the empty name
            model->materials[current].name = firstWord(ke);
        } else if (*k == 'N' && readFloats(ke, &ns, 1, false) != skipBlanks(ke)) {
            m.shininess = float(double(ns) / 1000.0 * 128.0);
        } else if (*k == 'K' && (second == 'd' || second == 'a' || second == 's')) {
            readFloats(ke, second == 'd' ? m.diffuse : second == 'a' ? m.ambient : m.specular, 3, false);
        }
    });
}

// The OBJ reader makes two passes over the file, each one loop over its lines that switches on the
// first byte of a line and hands the rest to one function per statement. The first counts, creates
// the groups and reads the material library; the arrays are then reserved at those sizes, and the
// second fills them, appending in file order, so that nothing is cleared before it is written.

namespace {

// How a face writes its items: "v", "v/t", "v/t/n" or "v//n". A face takes the form of its first
// item; an item of another form, or malformed ("2x", "1/2/3/4"), is Bad. An index left empty at the
// end, as exporters write "1/1/" or "1//", is no index: those read as "1/1" and as "1//n" without n.
enum Form : unsigned char { FormBad, FormV, FormVT, FormVTN, FormVN };

struct Corner { // a corner of a face, its indices resolved; v is 0 when it is unusable
    unsigned v = 0, t = 0, n = 0;
};

struct ObjReader {
    GlmModel* model = nullptr;
    bool fill = false;                                 // false in the first pass, which counts
    GlmGroup* initial = nullptr;                       // "default", current where each pass begins
    GlmGroup* group = nullptr;                         // current group
    unsigned material = 0;                             // current material (second pass)
    unsigned line = 1;                                 // line being read
    unsigned vertices = 0, normals = 0, texcoords = 0; // "v", "vn", "vt" statements met so far
    std::unordered_map<std::string, GlmGroup*> byname; // the groups (first pass)
    std::vector<GlmGroup*> groupAt;                    // the group of each "g" line, in file order
    size_t groupsMet = 0;                              // "g" lines met so far (second pass)
    // The face being read, open until a token that is not an item.
    bool face = false;
    unsigned faceline = 0, items = 0;  // line of its keyword; items read so far
    unsigned dropped = 0, cleared = 0; // triangles dropped; items naming no texture or normal
    Form form = FormBad;               // form of its first item
    Corner first, last;                // the fan's first corner and the latest one
    size_t warned = 0;                 // warnings, listed or not
};

// An item begins with an integer; the face goes on while the next token does.
inline bool isItem(const char* p) {
    p += *p == '-' || *p == '+';
    return unsigned(*p - '0') < 10;
}

// Counts, 16 bytes at a step, the tokens from p that begin with a digit, up to the line end or to
// the first token that begins otherwise (a signed index, or a keyword), which it returns. p begins
// a token or a run of blanks.
const char* countDigitTokens(const char* p, unsigned& tokens) {
    for (unsigned before = 1;; p += 16) { // before: the byte before p is a blank
        const Bytes16 b = classify16(p);
        unsigned starts = ~(b.blank | b.end) & ((b.blank << 1) | before) & 0xFFFF;
        const unsigned stop = b.end | (starts & ~b.digit);
        for (unsigned s = stop ? starts & ((stop & -stop) - 1) : starts; s; s &= s - 1)
            tokens++; // a loop: without the POPCNT instruction __builtin_popcount is a library call
        if (stop)
            return p + __builtin_ctz(stop);
        before = b.blank >> 15;
    }
}

// First pass: counts the items of the open face from p to the end of the line or to a token that is
// not an item, which it returns. Each item from the third on is a triangle.
const char* countItems(ObjReader& r, const char* p) {
    const unsigned before = r.items > 2 ? r.items - 2 : 0;
    for (p = countDigitTokens(p, r.items); *p != '\n' && isItem(p);
         p = countDigitTokens(tokenEnd(p), r.items))
        r.items++;
    const unsigned triangles = (r.items > 2 ? r.items - 2 : 0) - before;
    r.model->trianglecount += triangles;
    r.group->trianglecount += triangles;
    return p;
}

// A "v", "vn" or "vt" line: counted in the first pass, where any other keyword beginning with "v"
// ends the reading; in the second, its three numbers, or two, appended to their array, 0 for those
// the line lacks. A line beyond the first pass's count (the file grew since) is skipped.
const char* vector(ObjReader& r, const char* k, const char* ke) {
    GlmModel& m = *r.model;
    const char second = ke - k > 1 ? k[1] : '\0';
    if (second != '\0' && second != 'n' && second != 't') {
        if (r.fill)
            return ke;
        printf("glmFirstPass(): Unknown token \"%s\".\n", glmEscape(std::string(k, ke)).c_str());
        glmEnd(1);
    }
    unsigned& met = second == 'n' ? r.normals : second == 't' ? r.texcoords : r.vertices;
    const unsigned count = second == 'n' ? m.normalcount : second == 't' ? m.texcoordcount : m.vertexcount;
    if (r.fill && met == count)
        return ke;
    met++;
    if (!r.fill)
        return ke;
    std::vector<float>& array = second == 'n' ? m.normals : second == 't' ? m.texcoords : m.vertices;
    float xyz[3];
    const int n = second == 't' ? 2 : 3;
    ke = readFloats(ke, xyz, n, true);
    array.insert(array.end(), xyz, xyz + n);
    return ke;
}

// A "g" line: the name is the rest of the line, blanks included, without its line end. The first
// pass finds or creates the group; the second makes it current with the current material.
void group(ObjReader& r, const char* ke) {
    if (r.fill) {
        if (r.groupsMet < r.groupAt.size()) // it is, unless the file changed between the passes
            r.group = r.groupAt[r.groupsMet++];
        r.group->material = r.material;
        return;
    }
    const char* le = lineEnd(ke);
    std::string name(ke, le > ke && le[-1] == '\r' ? le - 1 : le);
    GlmGroup*& group = r.byname[name];
    if (!group)
        group = glmNewGroup(r.model, std::move(name));
    r.group = group;
    r.groupAt.push_back(group);
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
    for (p += n; n == 8 && unsigned(*p - '0') < 10; ++p)
        if (value < (uint64_t(1) << 40))
            value = value * 10 + unsigned(*p - '0');
    out = negative ? -static_cast<long long>(value) : static_cast<long long>(value);
    return p;
}

// The item at p: its form and its three indices (vertex, texture, normal), 0 where it gives none;
// given has bit k set when it writes index k. Returns the end of the item's token.
const char* readItem(const char* p, Form& form, long long* index, unsigned& given) {
    // The usual item first, "v/t/n" with three plain indices, read without the steps the others need.
    uint64_t a, b, c;
    const unsigned na = eightDigits(p, a), nb = na && p[na] == '/' ? eightDigits(p + na + 1, b) : 0;
    const unsigned nc = nb && p[na + nb + 1] == '/' ? eightDigits(p + na + nb + 2, c) : 0;
    if (nc && na < 8 && nb < 8 && nc < 8 && isEnd(p[na + nb + nc + 2])) {
        index[0] = (long long)a, index[1] = (long long)b, index[2] = (long long)c;
        given = 7;
        form = FormVTN;
        return p + na + nb + nc + 2;
    }
    // Otherwise up to three indices apart by '/', each of which may be empty.
    index[0] = index[1] = index[2] = 0;
    given = 0;
    const char* q = p;
    for (int slashes = 0;; q++, slashes++) {
        if (const char* end = readIndex(q, index[slashes])) {
            given |= 1u << slashes;
            q = end;
        }
        if (slashes == 2 || *q != '/') {
            if (!(given & 1) || !isEnd(*q))
                form = FormBad;
            else if (slashes == 2 && !(given & 2))
                form = FormVN;
            else
                form = given & 4 ? FormVTN : given & 2 ? FormVT : FormV;
            return tokenEnd(q);
        }
    }
}

// An index counted from 1, or back from the latest element met so far when negative; 0 when it
// names no element of the array.
inline unsigned resolve(long long index, unsigned sofar, unsigned total) {
    if (index > 0)
        return index <= total ? unsigned(index) : 0;
    return index < 0 && -index <= sofar ? unsigned(sofar + index + 1) : 0;
}

// Second pass: reads the items of the open face from p to the end of the line or to a token that is
// not an item, which it returns, and stores the triangles they close. The face's state is worked on
// in locals.
const char* fillItems(ObjReader& r, const char* p) {
    GlmModel& m = *r.model;
    unsigned items = r.items, dropped = r.dropped, cleared = r.cleared;
    Corner first = r.first, last = r.last;
    Form form = r.form;
    for (p = skipBlanks(p); *p != '\n' && isItem(p); p = skipBlanks(p)) {
        long long index[3];
        unsigned given;
        Form itemForm;
        p = readItem(p, itemForm, index, given);
        if (++items == 1)
            form = itemForm;
        // A corner needs its vertex and the face's form. A texture or normal index that names
        // nothing is left out (0, the corner has none) rather than losing the triangle.
        Corner k;
        k.t = resolve(index[1], r.texcoords, m.texcoordcount);
        k.n = resolve(index[2], r.normals, m.normalcount);
        k.v = itemForm == form && itemForm != FormBad ? resolve(index[0], r.vertices, m.vertexcount) : 0;
        cleared += k.v && (((given & 2) && !k.t) || ((given & 4) && !k.n));
        if (items == 1)
            first = k;
        else if (items >= 3 && first.v && last.v && k.v && m.triangles.size() < m.trianglecount) {
            r.group->triangles.push_back(unsigned(m.triangles.size()));
            m.triangles.push_back(
                {{first.v, last.v, k.v}, {first.n, last.n, k.n}, {first.t, last.t, k.t}, 0});
        } else if (items >= 3) {
            dropped++; // also where the file grew between the passes
        }
        last = k;
    }
    r.items = items, r.dropped = dropped, r.cleared = cleared;
    r.first = first, r.last = last, r.form = form;
    return p;
}

// A broken file lists its first few warnings and counts the rest.
const size_t listedWarnings = 10;

// The open face ends at a token that is not an item; the second pass warns of what it held wrong.
void closeFace(ObjReader& r) {
    r.face = false;
    const auto warn = [&r](const char* format, unsigned count) {
        if (r.fill && r.warned++ < listedWarnings)
            fprintf(stderr, format, r.faceline, count);
    };
    if (r.items < 3)
        warn("glmReadOBJ() warning: line %u: face with fewer than three items ignored.\n", 0);
    if (r.dropped)
        warn("glmReadOBJ() warning: line %u: %u triangle(s) with a bad vertex or item dropped.\n", r.dropped);
    if (r.cleared)
        warn("glmReadOBJ() warning: line %u: %u item(s) naming no such texture coordinate or normal.\n",
             r.cleared);
}

// Reads the run of whole lines [p, e): the first pass counts (Fill false), the second stores.
template <bool Fill> void readRun(ObjReader& r, const char* p, const char* e) {
    while (p < e) {
        p = skipBlanks(p);
        if (*p == '\n') {
            r.line++;
            p++;
            continue;
        }
        if (r.face && isItem(p)) { // the face goes on from the line before
            p = Fill ? fillItems(r, p) : countItems(r, p);
            continue;
        }
        if (r.face)
            closeFace(r);
        const char* ke = tokenEnd(p);
        switch (*p) {
        case 'f':
            r.face = true;
            r.faceline = r.line;
            r.items = r.dropped = r.cleared = 0;
            p = Fill ? fillItems(r, ke) : countItems(r, ke);
            continue;
        case 'v':
            ke = vector(r, p, ke);
            break;
        case 'g':
            group(r, ke);
            break;
        case 'm': // the library is read at once; a second one replaces the first
            if (!Fill && !firstWord(ke).empty()) {
                r.model->mtllib = firstWord(ke);
                glmReadMTL(r.model, r.model->mtllib.c_str());
            }
            break;
        case 'u':
            if (Fill)
                r.group->material = r.material = glmFindMaterial(r.model, firstWord(ke).c_str());
            break;
        default: // comments and every statement without a meaning here
            break;
        }
        p = lineEnd(ke);
    }
}

} // namespace

GlmModel* glmReadOBJ(const char* filename) {
    size_t size = 0;
    const int fd = openRegular(filename, size);
    if (fd >= 0)
        printf(": open data file \"%s\".\n", filename);
    const FileCloser closing{fd};
    // Until the model is handed out, a glmExit that throws (see glm.h) releases it.
    std::unique_ptr<GlmModel, void (*)(GlmModel*)> owned(new GlmModel, glmDelete);
    GlmModel* model = owned.get();
    model->path = filename;
    ObjReader r;
    r.model = model;
    r.initial = r.byname["default"] = glmAddGroup(model, "default");
    // Room for an array's entries and its slot 0; normals and texture coordinates stay empty without.
    const auto reserve = [](std::vector<float>& array, unsigned count, unsigned per, bool always) {
        array.reserve(per * (size_t(count) + 1));
        array.assign(count || always ? per : 0, 0.0f);
    };
    for (bool fill : {false, true}) {
        if (fill) {
            model->vertexcount = r.vertices;
            model->normalcount = r.normals;
            model->texcoordcount = r.texcoords;
            reserve(model->vertices, model->vertexcount, 3, true);
            reserve(model->normals, model->normalcount, 3, false);
            reserve(model->texcoords, model->texcoordcount, 2, false);
            model->triangles.reserve(model->trianglecount);
            for (GlmGroup* g = model->groups; g; g = g->next)
                g->triangles.reserve(g->trianglecount);
        }
        r.fill = fill;
        r.line = 1;
        r.vertices = r.normals = r.texcoords = 0;
        r.group = r.initial;
        const auto run = [&r](const char* b, const char* e) {
            r.fill ? readRun<true>(r, b, e) : readRun<false>(r, b, e);
        };
        if (fd < 0 || !eachRun(fd, size, run)) {
            fprintf(stderr, "glmReadOBJ() failed: can't open data file \"%s\".\n", filename);
            glmEnd(1);
        }
        if (r.face)
            closeFace(r);
    }
    if (r.warned > listedWarnings)
        fprintf(stderr, "glmReadOBJ() warning: %zu more warnings not listed.\n", r.warned - listedWarnings);
    // What was stored: fewer triangles where some were dropped, and arrays filled up with zeros should
    // the file have shrunk between the passes.
    model->vertices.resize(3 * (size_t(model->vertexcount) + 1));
    model->normals.resize(model->normalcount ? 3 * (size_t(model->normalcount) + 1) : 0);
    model->texcoords.resize(model->texcoordcount ? 2 * (size_t(model->texcoordcount) + 1) : 0);
    model->trianglecount = unsigned(model->triangles.size());
    for (GlmGroup* g = model->groups; g; g = g->next)
        g->trianglecount = unsigned(g->triangles.size());
    return owned.release();
}

// ==== Normals ====================================================================================

void glmFacetNormals(GlmModel* model) {
    glmAssert(model);
    glmAssertArray(model->vertices);
    glmCheck(model, FollowVertices);
    model->facetnormcount = model->trianglecount;
    model->facetnorms.assign(3 * (size_t(model->trianglecount) + 1), 0.0f);
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
    glmCheck(model, FollowVertices | FollowFacets);
    const float threshold = float(std::cos(angle * 3.141592653589793 / 180.0));
    const unsigned vertexcount = model->vertexcount, trianglecount = model->trianglecount;
    GlmTriangle* triangles = model->triangles.data();
    const float* facetnorms = model->facetnorms.data();

    // The uses of each vertex, one per triangle corner, newest triangle first: vertex i's uses are
    // use[first[i]] to use[first[i + 1] - 1], each the triangle's number times 3 plus the corner.
    // Counting gives each vertex the end of its run; filling from the end, oldest corner first,
    // walks first[i] back to the start of the run.
    std::vector<unsigned> first(size_t(vertexcount) + 2, 0);
    for (unsigned k = 0; k < trianglecount; k++)
        for (unsigned v : triangles[k].vertexindices)
            first[v]++;
    for (size_t i = 1; i < first.size(); i++)
        first[i] += first[i - 1];
    std::vector<unsigned> use(first.back());
    for (unsigned k = 0; k < trianglecount; k++)
        for (unsigned corner = 0; corner < 3; corner++)
            use[--first[triangles[k].vertexindices[corner]]] = 3 * k + corner;
    std::vector<unsigned char> averaged; // for the uses of one vertex

    std::vector<float> normals(3 * (3 * size_t(trianglecount) + 1));
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
            if (averaged[u - b])
                for (int a = 0; a < 3; a++)
                    sum[a] += n[a];
            any = any || averaged[u - b];
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
    model->normals.assign(normals.begin(), normals.begin() + 3 * size_t(slot));
}

// ==== Bounds, unitize and scale ==================================================================

namespace {

// The largest and smallest coordinate on each axis, from vertex 1 on, and the spans |max| + |min|;
// all zero for a model without vertices.
void glmSpans(const GlmModel* model, float* maxv, float* minv, float* spans) {
    const float* v = model->vertices.data();
    for (int a = 0; a < 3; a++)
        maxv[a] = minv[a] = model->vertexcount ? v[3 + a] : 0.0f;
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
    glmCheck(model, 0);
    float maxv[3], minv[3], spans[3];
    glmSpans(model, maxv, minv, spans);
    float centre[3];
    for (int a = 0; a < 3; a++)
        centre[a] = float(double(maxv[a] + minv[a]) / 2.0);
    // A model without extent (one point, or none) is only centred: its factor stays 1, not infinite.
    float scale = float(2.0 / double(glmMax(glmMax(spans[0], spans[1]), spans[2])));
    if (!std::isfinite(scale))
        scale = 1.0f;
    float* v = model->vertices.data();
    for (size_t i = 1; i <= model->vertexcount; i++)
        for (int a = 0; a < 3; a++)
            v[3 * i + a] = (v[3 * i + a] - centre[a]) * scale;
    return scale;
}

void glmDimensions(GlmModel* model, float* dimensions) {
    glmAssert(model);
    glmAssertArray(model->vertices);
    glmAssert(dimensions);
    glmCheck(model, 0);
    float maxv[3], minv[3];
    glmSpans(model, maxv, minv, dimensions);
}

void glmScale(GlmModel* model, float scale) {
    glmCheck(model, 0);
    float* v = model->vertices.data();
    for (size_t i = 1; i <= model->vertexcount; i++)
        for (int a = 0; a < 3; a++)
            v[3 * i + a] *= scale;
}

// ==== Drawing and display lists ==================================================================

// Drops the parts of a drawing or writing request that the model cannot satisfy, in this order,
// printing the caller's text for each: no facet normals, no normals, no texture coordinates, flat and
// smooth both asked (smooth wins), no materials for colour, none for materials, colour and material
// both asked (material wins).
static unsigned glmReconcile(const GlmModel* model, unsigned mode, const char* const (&says)[7]) {
    const struct {
        bool lacks;
        unsigned wants, drops;
    } rules[7] = {{model->facetnorms.empty(), GlmModeFlat, GlmModeFlat},
                  {model->normals.empty(), GlmModeSmooth, GlmModeSmooth},
                  {model->texcoords.empty(), GlmModeTexture, GlmModeTexture},
                  {true, GlmModeFlat | GlmModeSmooth, GlmModeFlat},
                  {model->materials.empty(), GlmModeColor, GlmModeColor},
                  {model->materials.empty(), GlmModeMaterial, GlmModeMaterial},
                  {true, GlmModeColor | GlmModeMaterial, GlmModeColor}};
    for (int k = 0; k < 7; k++)
        if (rules[k].lacks && (mode & rules[k].wants) == rules[k].wants) {
            fputs(says[k], stdout);
            mode &= ~rules[k].drops;
        }
    return mode;
}

void glmDraw(GlmModel* model, unsigned mode) {
    glmAssert(model);
    glmAssertArray(model->vertices);
    static const char* const says[7] = {
        "glmDraw() warning: flat render mode requested with no facet normals defined.\n",
        "glmDraw() warning: smooth render mode requested with no normals defined.\n",
        "glmDraw() warning: texture render mode requested with no texture coordinates defined.\n",
        "glmDraw() warning: flat render mode requested and smooth render mode requested (using smooth).\n",
        "glmDraw() warning: color render mode requested with no materials defined.\n",
        "glmDraw() warning: material render mode requested with no materials defined.\n",
        "glmDraw() warning: color and material render mode requested using only material mode.\n"};
    mode = glmReconcile(model, mode, says);
    glmCheck(model, FollowVertices | FollowGroups | (mode & GlmModeSmooth ? FollowNormals : 0) |
                        (mode & GlmModeTexture ? FollowTexcoords : 0) |
                        (mode & GlmModeFlat ? FollowFacets : 0));
    if (mode & GlmModeColor)
        glEnable(GL_COLOR_MATERIAL);
    else if (mode & GlmModeMaterial)
        glDisable(GL_COLOR_MATERIAL);

    for (const GlmGroup* group = model->groups; group; group = group->next) {
        if (mode & (GlmModeMaterial | GlmModeColor)) {
            const GlmMaterial& material = model->materials[group->material];
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
                glNormal3fv(&model->facetnorms[3 * size_t(t.facetnormindex)]);
            for (int corner = 0; corner < 3; corner++) {
                if (mode & GlmModeSmooth)
                    glNormal3fv(&model->normals[3 * size_t(t.normalindices[corner])]);
                if (mode & GlmModeTexture)
                    glTexCoord2fv(&model->texcoords[2 * size_t(t.texcoordindices[corner])]);
                glVertex3fv(&model->vertices[3 * size_t(t.vertexindices[corner])]);
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

// ==== Writing: OBJ and MTL =======================================================================

// The lines that open every file the library writes, after the one that names its kind.
static const char* const glmCredits = "#  \n#  GLM library\n#  Rendezvous simulator, model library\n"
                                      "#  Written by the simulator's developers\n"
                                      "#  Shipped with the simulator's sources\n#  \n";

// One face line. With flat normals and texture coordinates together the corners take the
// vertex/texture/normal form with the facet normal at every corner, which the reader takes back.
static void glmWriteFace(FILE* file, const GlmTriangle& t, unsigned mode) {
    const unsigned facet[3] = {t.facetnormindex, t.facetnormindex, t.facetnormindex};
    const unsigned* n = mode & GlmModeSmooth ? t.normalindices : mode & GlmModeFlat ? facet : nullptr;
    fputc('f', file);
    for (int k = 0; k < 3; k++) {
        fprintf(file, " %u", t.vertexindices[k]);
        if (mode & GlmModeTexture)
            fprintf(file, "/%u", t.texcoordindices[k]);
        if (n)
            fprintf(file, mode & GlmModeTexture ? "/%u" : "//%u", n[k]);
    }
    fputc('\n', file);
}

// A blank line, "# <count> <what>", then entries 1..count of an array of `per` floats as lines
// "<tag> x y z", or "<tag> u v".
static void glmWriteArray(FILE* file, const char* what, const char* tag, unsigned count, size_t per,
                          const std::vector<float>& array) {
    fprintf(file, "\n# %u %s\n", count, what);
    for (size_t i = per; i < per * (size_t(count) + 1); i += per) {
        fputs(tag, file);
        for (size_t k = i; k < i + per; k++)
            fprintf(file, " %f", array[k]);
        fputc('\n', file);
    }
}

void glmWriteOBJ(GlmModel* model, const char* filename, unsigned mode) {
    glmCheck(model, FollowGroups);
    static const char* const says[7] = {
        "glmWriteOBJ() warning: flat normal output requested with no facet normals defined.\n",
        "glmWriteOBJ() warning: smooth normal output requested with no normals defined.\n",
        "glmWriteOBJ() warning: texture coordinate output requested with no texture coordinates defined.\n",
        ("glmWriteOBJ() warning: flat normal output requested and smooth normal output requested (using "
         "smooth).\n"),
        "glmWriteOBJ() warning: color output requested with no colors (materials) defined.\n",
        "glmWriteOBJ() warning: material output requested with no materials defined.\n",
        "glmWriteOBJ() warning: color and material output requested outputting only materials.\n"};
    mode = glmReconcile(model, mode, says);

    FILE* file = fopen(filename, "w");
    if (!file) {
        fprintf(stderr, "glmWriteOBJ() failed: can't open file \"%s\" to write.\n", filename);
        glmEnd(1);
    }
    fprintf(file, "#  \n#  Wavefront OBJ generated by GLM library\n%s", glmCredits);

    if ((mode & GlmModeMaterial) && !model->mtllib.empty()) {
        fprintf(file, "\nmtllib %s\n\n", model->mtllib.c_str());
        glmWriteMTL(model, filename, model->mtllib.c_str());
    }

    glmWriteArray(file, "vertices", "v", model->vertexcount, 3, model->vertices);
    if (mode & GlmModeSmooth)
        glmWriteArray(file, "normals", "vn", model->normalcount, 3, model->normals);
    else if (mode & GlmModeFlat)
        glmWriteArray(file, "normals", "vn", model->facetnormcount, 3, model->facetnorms);
    if (mode & GlmModeTexture)
        glmWriteArray(file, "texcoords", "vt", model->texcoordcount, 2, model->texcoords);
    fprintf(file, "\n# %u groups\n# %u faces (triangles)\n\n", model->groupcount, model->trianglecount);

    for (const GlmGroup* group = model->groups; group; group = group->next) {
        fprintf(file, "g %s\n", group->name.c_str());
        if (mode & GlmModeMaterial)
            fprintf(file, "usemtl %s\n", model->materials[group->material].name.c_str());
        for (const unsigned t : group->triangles)
            glmWriteFace(file, model->triangles[t], mode);
        fprintf(file, "\n");
    }
    fclose(file);
}

void glmWriteMTL(GlmModel* model, const char* modelpath, const char* mtllibname) {
    glmCheck(model, 0);
    const std::string path = glmDirName(modelpath) + mtllibname;
    FILE* file = fopen(path.c_str(), "w");
    if (!file) {
        // The library's name comes from the model's file.
        fprintf(stderr, "glmWriteMTL() failed: can't open file \"%s\".\n", glmEscape(path).c_str());
        glmEnd(1);
    }
    fprintf(file, "#  \n#  Wavefront MTL generated by GLM library\n%s\n", glmCredits);

    for (const GlmMaterial& m : model->materials) {
        fprintf(file, "newmtl %s\n", m.name.c_str());
        fprintf(file, "Ka %f %f %f\n", m.ambient[0], m.ambient[1], m.ambient[2]);
        fprintf(file, "Kd %f %f %f\n", m.diffuse[0], m.diffuse[1], m.diffuse[2]);
        fprintf(file, "Ks %f %f %f\n", m.specular[0], m.specular[1], m.specular[2]);
        // Back from the OpenGL range 0..128 to the file's 0..1000.
        fprintf(file, "Ns %f\n\n", m.shininess / 128.0 * 1000.0);
    }
    fclose(file);
}

// ==== Texture coordinates ========================================================================

// Points every corner of every grouped triangle at the texture coordinate of its vertex, or of its
// normal.
static void glmPointTexcoords(GlmModel* model, bool fromNormals) {
    for (const GlmGroup* group = model->groups; group; group = group->next)
        for (const unsigned k : group->triangles) {
            GlmTriangle& t = model->triangles[k];
            for (int j = 0; j < 3; j++)
                t.texcoordindices[j] = fromNormals ? t.normalindices[j] : t.vertexindices[j];
        }
}

void glmLinearTexture(GlmModel* model) {
    glmCheck(model, FollowGroups);
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

    model->texcoordcount = model->vertexcount;
    model->texcoords = std::vector<float>(2 * (size_t(model->texcoordcount) + 1), 0.0f);
    for (unsigned i = 1; i <= model->vertexcount; i++) {
        const float xk = model->vertices[3 * i] * k;
        const float zk = model->vertices[3 * i + 2] * k;
        model->texcoords[2 * i] = float((xk + 1.0) / 2.0);
        model->texcoords[2 * i + 1] = float((zk + 1.0) / 2.0);
    }
    glmPointTexcoords(model, false);
}

void glmSpheremapTexture(GlmModel* model) {
    glmAssert(model);
    glmAssertArray(model->normals);
    glmCheck(model, FollowGroups);
    model->texcoordcount = model->normalcount;
    model->texcoords = std::vector<float>(2 * (size_t(model->texcoordcount) + 1), 0.0f);
    for (unsigned i = 1; i <= model->normalcount; i++) {
        const float x = model->normals[3 * i], y = model->normals[3 * i + 1], z = model->normals[3 * i + 2];
        const float r = float(std::sqrt(double(z * z + y * y)));
        const float rho = float(std::sqrt(double(r * r + x * x)));
        float theta = 0.0f, phi = 0.0f;
        if (r != 0.0f) {
            // On the axes the angles are fixed constants; the one for y = 0 sits two units in the
            // last place below pi/2, which keeps s just under one half.
            phi = x == 0.0f ? 1.5707964f : float(std::acos(double(x / rho)));
            theta = y == 0.0f ? 1.5707961f : float(std::asin(double(y / r)) + 1.570796325);
        }
        model->texcoords[2 * i] = float(theta / 3.14159265);
        model->texcoords[2 * i + 1] = float(phi / 3.14159265);
    }
    glmPointTexcoords(model, true);
}

// ==== Welding and winding ========================================================================

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

// The keys of the cells along one axis within `reach` cells of a coordinate: with reach 0 its own
// cell, with a half and the margin those where a representative matching it may lie.
static GlmWeldAxis glmWeldCells(float v, double width, double reach) {
    const double q = v / width;
    if (std::fabs(q) < glmWeldFar)
        return {glmWeldFloor(q - reach), glmWeldFloor(q + reach)};
    uint32_t bits;
    memcpy(&bits, &v, sizeof bits);
    return {glmWeldExactKey + bits, glmWeldExactKey + bits};
}

// The cell of a representative, worked out again from its coordinates rather than stored: the
// coordinates are needed next for the comparison anyway, and a stored key would be one more cache
// miss per lookup.
static void glmWeldHome(const GlmWeldGrid& grid, unsigned r, int64_t* key) {
    for (int k = 0; k < 3; k++)
        key[k] = glmWeldCells(grid.reps[3 * size_t(r) + k], grid.width, 0.0).lo;
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
                axis[k] = glmWeldCells(v[k], grid.width, 0.5 + glmWeldMargin);
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
    glmCheck(model, FollowVertices);
    const unsigned n = model->vertexcount;
    std::vector<float> welded(3 * (size_t(n) + 1), 0.0f);
    std::vector<unsigned> map(size_t(n) + 1, 0u);
    const unsigned count = glmWeldInto(model->vertices.data(), n, epsilon, welded.data(), map.data());
    for (GlmTriangle& t : model->triangles)
        for (unsigned& v : t.vertexindices)
            v = map[v];
    model->vertices = std::vector<float>(welded.begin(), welded.begin() + 3 * (size_t(count) + 1));
    model->vertexcount = count;
}

void glmReverseWinding(GlmModel* model) {
    glmCheck(model, 0);
    for (GlmTriangle& t : model->triangles) {
        std::swap(t.vertexindices[0], t.vertexindices[2]);
        if (model->normalcount != 0)
            std::swap(t.normalindices[0], t.normalindices[2]);
        if (model->texcoordcount != 0)
            std::swap(t.texcoordindices[0], t.texcoordindices[2]);
    }
    for (size_t k = 3; k < model->facetnorms.size(); k++)
        model->facetnorms[k] = -model->facetnorms[k];
    for (size_t k = 3; k < model->normals.size(); k++)
        model->normals[k] = -model->normals[k];
}

// ==== PPM images =================================================================================

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
    if (line.back() != '\n')
        for (int c = getc(file); c != EOF && c != '\n';)
            c = getc(file);
}

// Takes up to `want` integers from the start of a header line, as "%d %d %d" would, and returns how
// many it took. strtol keeps an overlong number from being undefined: it comes back as LONG_MAX or
// LONG_MIN, which the size checks reject.
static int glmPpmNumbers(const char* text, long* values, int want) {
    int got = 0;
    for (char* end; got < want; text = end) {
        values[got] = strtol(text, &end, 10);
        if (end == text)
            break;
        got++;
    }
    return got;
}

unsigned char* glmReadPPM(const char* name, int* width, int* height) {
    // Opened as the model files are: a FIFO or a device, which would block or never end, is refused
    // like a file that cannot be read, in the words of perror.
    size_t size = 0;
    const int fd = openRegular(name, size);
    const std::unique_ptr<FILE, int (*)(FILE*)> closing(fd >= 0 ? fdopen(fd, "rb") : nullptr, fclose);
    FILE* file = closing.get();
    if (!file) {
        fprintf(stderr, "%s: %s\n", name, errno ? strerror(errno) : "Not a regular file");
        if (fd >= 0)
            close(fd);
        return nullptr;
    }
    std::string line;
    if (!glmPpmLine(file, line) || line.compare(0, 2, "P6") != 0) {
        fprintf(stderr, "%s: Not a raw PPM file\n", name);
        return nullptr;
    }
    glmPpmSkipRest(file, line);

    // Width, height and maximum value, spread over the lines in any way. A line that holds no number
    // (blank, stray text) is passed over; a file that ends first is refused.
    long header[3] = {0, 0, 0};
    for (int found = 0; found < 3;) {
        if (!glmPpmLine(file, line)) {
            fprintf(stderr, "%s: PPM header ends before its width, height and maximum value\n", name);
            return nullptr;
        }
        if (line[0] == '#')
            glmPpmSkipRest(file, line);
        else
            found += glmPpmNumbers(line.c_str(), header + found, 3 - found);
    }
    // The maximum value is not used: every sample is one byte.
    const long w = header[0], h = header[1];
    if (w <= 0 || h <= 0) {
        fprintf(stderr, "%s: PPM image size %ld x %ld is not a positive size\n", name, w, h);
        return nullptr;
    }
    // The byte count must fit an int, so that a caller sizing the texture in int arithmetic cannot
    // overflow either.
    if (w > INT_MAX / 3 / h) {
        fprintf(stderr, "%s: PPM image of %ld x %ld pixels is too large\n", name, w, h);
        return nullptr;
    }
    // A raster shorter than the header announces is refused, before anything is allocated when the
    // file's size already says so.
    const size_t bytes = size_t(w) * size_t(h) * 3, at = size_t(ftell(file));
    const size_t held = size > at ? size - at : 0;
    unsigned char* pixels = held >= bytes ? new unsigned char[bytes] : nullptr;
    const size_t got = pixels ? fread(pixels, 1, bytes, file) : held;
    if (got < bytes) {
        fprintf(stderr, "%s: PPM raster holds %zu of the %zu bytes its header announces\n", name, got, bytes);
        delete[] pixels;
        return nullptr;
    }
    *width = int(w);
    *height = int(h);
    return pixels;
}
