#pragma once
// Where no desktop session is logged in (a start from a console, over ssh,
// under a test display), XDG_RUNTIME_DIR is unset and Qt says so on every
// start, though it finds a folder of its own. That one line is dropped;
// every other message of Qt's goes where it went before. The variable itself
// is left alone: the book's lock is found by it.

void dropRuntimeDirWarning();
