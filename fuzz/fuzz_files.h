// The fuzz targets hand their input to readers that take a path: each process writes it to files in
// a private directory, in memory where /dev/shm exists, removed again when the process ends.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

// The directory and the files made in it. Never destroyed: the exit handler that removes them runs
// after the static objects are gone.
struct Files {
    std::string dir;
    std::vector<std::string> made;
};

inline Files& files() {
    static Files* const all = [] {
        Files* f = new Files;
        for (const char* base : {"/dev/shm", "/tmp"}) {
            std::string pattern = std::string(base) + "/rendezvous-fuzz-XXXXXX";
            if (mkdtemp(&pattern[0])) {
                f->dir = pattern + "/";
                break;
            }
        }
        if (f->dir.empty()) {
            perror("fuzz: no temporary directory");
            abort();
        }
        std::atexit([] {
            for (const std::string& made : files().made)
                unlink(made.c_str());
            rmdir(files().dir.c_str());
        });
        return f;
    }();
    return *all;
}

// The path of `name` in the private directory; the file is removed at exit.
inline std::string path(const char* name) {
    Files& f = files();
    f.made.push_back(f.dir + name);
    return f.made.back();
}

// Replaces the file's contents by the bytes [data, data + size).
inline void write(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || fwrite(data, 1, size, f) != size || fclose(f) != 0) {
        perror(path.c_str());
        abort();
    }
}

} // namespace fuzz
