#pragma once
// The journal's stamps: the local time now, "2026-12-24T10:00:00".

#include <string>

std::string localStamp();
