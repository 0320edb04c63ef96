// The program's name and version as the build gives them, set on the application object
// once at start-up, so the about box, --version and the window captions agree.
#pragma once

#include <QString>

namespace kvx {

// The CMake project version of this build ("0.1.0").
QString BuildVersion();

// Sets the application's name, display name ("KOVEX LIGHT") and version (the build's).
void SetApplicationInfo();

// The version text the about box shows: the application's version, "?" when it has none.
QString VersionText();

} // namespace kvx
