#pragma once
// A fresh folder in the system's temporary folder (/tmp) for one test, removed with
// everything in it afterwards. Paths are UTF-8 text on every system.
#include <string>
#include <vector>

namespace quavrel::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }   // without trailing "/"
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string readFile(const std::string& path);   // throws std::runtime_error when unreadable
void writeFile(const std::string& path, const std::string& bytes);
// The names in `folder`, sorted; links and folders included.
std::vector<std::string> namesIn(const std::string& folder);

}  // namespace quavrel::test
