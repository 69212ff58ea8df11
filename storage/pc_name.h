#pragma once
// This PC's name for the files it alone writes in a shared folder: the
// environment's KAKEIBO_PC when set (two copies on one machine, tests),
// else the host name.

#include <string>

std::string thisPcName();
// The same as this PC's files carry it (safePcName).
std::string thisPcFileName();
