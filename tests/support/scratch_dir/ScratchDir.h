// A fresh folder under the system's temporary root for one test; it goes,
// with everything in it (links removed, not followed), at destruction.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

class ScratchDir {
public:
    ScratchDir() : path_((std::filesystem::temp_directory_path() / "vexmor-test-XXXXXX").string())
    {
        if (mkdtemp(path_.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(ScratchDir const&) = delete;
    ScratchDir& operator=(ScratchDir const&) = delete;

    std::string const& Path() const { return path_; }
    std::string operator/(std::string const& name) const { return path_ + "/" + name; }

    // Writes a file below the folder; returns its path.
    std::string Write(std::string const& name, std::string const& content) const
    {
        std::ofstream(*this / name, std::ios::binary) << content;
        return *this / name;
    }
    static std::string Read(std::string const& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static bool Exists(std::string const& path)
    {
        std::error_code ignored;
        return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
    }

private:
    std::string path_;
};
