#pragma once
// Where no desktop session is logged in (a start from a console, over ssh,
// under a test display), XDG_RUNTIME_DIR is unset and Qt says so on every
// start. A private folder of the user's own stands in for it, made as Qt
// would make it; Qt's other warnings still show.

// Sets XDG_RUNTIME_DIR to a private folder under the temporary folder when
// it is unset; false (and nothing set) when no such folder can be had.
bool usePrivateRuntimeDir();
