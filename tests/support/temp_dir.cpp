#include "tests/support/temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace quavrel::test {
namespace {

namespace fs = std::filesystem;

// Paths are UTF-8 text, also where the system's own code page is another.
fs::path pathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string textOf(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

TempDir::TempDir()
{
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = fs::temp_directory_path() / ("quavrel-test-" + std::to_string(random() % 1000000));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = textOf(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot create a folder for the test");
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::permissions(pathOf(path_), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(pathOf(path_), ec);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(pathOf(path), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(pathOf(path), std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(pathOf(folder)))
        names.push_back(textOf(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace quavrel::test
