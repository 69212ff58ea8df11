#pragma once
// File helpers shared by every test program (no Qt): real bytes in real
// temporary folders.

#include <string>

// Reads a whole file as bytes; an empty string when it cannot be opened.
std::string readBytes(const std::string& path);
// Writes bytes to a file, replacing it.
void writeBytes(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// A fresh folder under the system's temporary directory, removed with the
// object.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};
