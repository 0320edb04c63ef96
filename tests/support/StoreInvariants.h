// Checks every structural promise of the text store; returns a description of the first
// broken one, or an empty string.
#pragma once

#include "editor/TextStore.h"

#include <string>

namespace kvx::test {

std::string CheckStore(TTextStore& store);

} // namespace kvx::test
