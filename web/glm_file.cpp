// The model files' bytes in the browser, which maps no file: read into memory, whole.
#include "glm_file.h"

#include <cerrno>
#include <unistd.h>
#include <vector>

bool glmEachRun(int fd, size_t size, size_t padding, void (*run)(const char*, const char*, void*),
                void* context) {
    std::vector<char> bytes(size + 1 + padding, '\0');
    size_t got = 0;
    while (got < size) { // from offset 0 each time: the reader reads a file twice
        const ssize_t n = pread(fd, bytes.data() + got, size - got, off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) // the file shrank since its size was taken: what is there is read
            break;
        got += size_t(n);
    }
    size_t end = got;
    if (end > 0 && bytes[end - 1] != '\n')
        bytes[end++] = '\n';
    if (end > 0)
        run(bytes.data(), bytes.data() + end, context);
    return true;
}
