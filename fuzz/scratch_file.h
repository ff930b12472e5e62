#pragma once
// The one file a fuzz target writes each input to, for readers that take a path.

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace fuzzing {

// One file per process, removed when the run ends.
class ScratchFile {
  public:
    ScratchFile()
        : path_((std::filesystem::temp_directory_path() /
                 ("ferrox-fuzz-" + std::to_string(std::random_device{}()) + ".txt"))
                    .string()) {}
    ~ScratchFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

inline const std::string& ScratchPath() {
    static const ScratchFile file;
    return file.path();
}

inline void Save(std::string_view bytes) {
    std::ofstream(ScratchPath(), std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace fuzzing
