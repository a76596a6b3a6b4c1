// The one seam between the model library and the platform: how an open model file's bytes come into
// memory. The desktop maps them (glm_file.cpp); the browser, which has no file mapping, reads them
// (web/glm_file.cpp). Private to the library.
#pragma once

#include <cstddef>

// Calls run(begin, end, context) on runs of whole lines that together make the regular file open on
// fd, of `size` bytes. Every run ends with a '\n' (one is supplied after a last line without) and is
// followed by at least `padding` bytes that read as zeros. Returns false when the file cannot be
// brought into memory.
bool glmEachRun(int fd, size_t size, size_t padding, void (*run)(const char*, const char*, void*),
                void* context);
