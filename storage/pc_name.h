#pragma once
// This PC's name as the book's per-PC files carry it: KAKEIBO_PC when set,
// else the host name, reduced to a safe file-name part (safePcName).

#include <string>

std::string localPcName();
