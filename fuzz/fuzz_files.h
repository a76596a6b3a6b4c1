// The fuzz targets hand their input to readers that take a path: each process writes it to files in a
// private directory, in memory where /dev/shm exists, removed with them when the process ends.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

// The private directory, made on first use. Never destroyed: the exit handler that removes it runs
// after the static objects are gone.
inline const std::string& dir() {
    static const std::string* const made = [] {
        for (const char* base : {"/dev/shm", "/tmp"}) {
            std::string pattern = std::string(base) + "/rendezvous-fuzz-XXXXXX";
            if (mkdtemp(&pattern[0])) {
                std::atexit([] { std::filesystem::remove_all(dir()); });
                return new std::string(pattern + "/");
            }
        }
        perror("fuzz: no temporary directory");
        abort();
    }();
    return *made;
}

inline std::string path(const char* name) {
    return dir() + name;
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
