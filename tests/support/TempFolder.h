#pragma once
// A folder of the test's own under the system's temporary folder, removed with everything
// in it when the test ends. Header only: the store's and the companion program's tests use
// it without Qt.
#include <filesystem>
#include <random>
#include <string>

class TempFolder {
public:
    TempFolder()
    {
        path_ = std::filesystem::temp_directory_path() / ("wingtrail-test-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string folder() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};
