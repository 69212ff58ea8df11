#pragma once
// Helpers shared by the test programs: temporary folders with real files.

#include <QTemporaryDir>
#include <string>

// Reads a whole file as bytes; an empty string when it cannot be opened.
std::string readBytes(const std::string& path);
// Writes bytes to a file, replacing it.
void writeBytes(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// A temporary folder that is removed with the object.
class TempDir {
public:
    TempDir();
    std::string path() const;
    std::string file(const std::string& name) const;

private:
    QTemporaryDir dir_;
};
