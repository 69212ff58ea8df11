#include "tests/support/test_support.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

TempDir::TempDir() = default;

std::string TempDir::path() const { return dir_.path().toStdString(); }

std::string TempDir::file(const std::string& name) const { return path() + "/" + name; }
