// A fresh directory under the system's temporary directory for one test, removed with everything in it
// when the test ends; and whole-file reads and writes in binary, for comparing exact bytes.
#pragma once

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

namespace glimmerfen::test {

class TempDir {
public:
    TempDir() {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "glimmerfen-";
        if (info != nullptr) {
            name += std::string(info->test_suite_name()) + "-" + info->name();
        }
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') {
                c = '_';
            }
        }
        std::random_device random;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                (name + "-" + std::to_string(random()) + "-" + std::to_string(stamp % 1000000));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // A file in the directory, as the narrow path the platform functions take.
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A program's folder in a temporary directory, with the paths of its log and the log's temporary copy.
class LogFolder {
public:
    // Ends with the directory separator, as the program's own exeDir does.
    std::string ExeDir() const { return (dir_.Path() / "").string(); }
    std::string LogPath() const { return dir_.File("log.txt"); }
    std::string TempPath() const { return dir_.File("log_tmp.txt"); }
    bool TempExists() const { return std::filesystem::exists(dir_.Path() / "log_tmp.txt"); }

protected:
    TempDir dir_;
};

} // namespace glimmerfen::test
