// The model files' bytes on the desktop: mapped, not copied.
#include "glm_file.h"

#include <algorithm>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

// The file is mapped over a reservation a little longer, whose bytes after it read as zeros; a last
// line without a line end gets one there, in a private copy of that page. What has been read is
// unmapped every few megabytes, so that a large file never sits in memory whole beside its model.
bool glmEachRun(int fd, size_t size, size_t padding, void (*run)(const char*, const char*, void*),
                void* context) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE)), length = size + 1 + padding;
    char* map =
        static_cast<char*>(mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (map == MAP_FAILED)
        return false;
    struct Unmap { // also when a refused file ends the reading (see glmExit)
        char* map;
        size_t from, length;
        ~Unmap() { munmap(map + from, length - from); }
    } unmap{map, 0, length};
    if (size > 0 && mmap(map, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED, fd, 0) == MAP_FAILED)
        return false;
    size_t end = size;
    if (size > 0 && map[size - 1] != '\n')
        map[end++] = '\n';
    for (size_t at = 0; at < end;) {
        const size_t want = std::min(end, at + (size_t(4) << 20));
        const char* nl = static_cast<const char*>(memchr(map + want - 1, '\n', end - want + 1));
        run(map + at, nl + 1, context);
        at = size_t(nl + 1 - map);
        if ((at & ~(page - 1)) > unmap.from) {
            munmap(map + unmap.from, (at & ~(page - 1)) - unmap.from);
            unmap.from = at & ~(page - 1);
        }
    }
    return true;
}
