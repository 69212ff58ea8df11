#pragma once
// Runs the built program in a temporary data folder as a user runs it from a
// shell: its exit code, standard output and standard error.
#include "tests/support/file_support.h"

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <tuple>

inline std::tuple<int, std::string, std::string> runZadud(const TempFolder& tmp,
                                                          const std::string& args) {
    const std::string line = "cd '" + tmp.path() + "' && " + ZADUD_BINARY + " " + args + " >'" +
                             tmp.file("out.txt") + "' 2>'" + tmp.file("err.txt") + "'";
    const int status = std::system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(tmp.file("out.txt")),
            readBytes(tmp.file("err.txt"))};
}
