#pragma once
#include <vector>

#include "core/WindowEntry.h"

namespace tavrel::WindowEnumerator {

// The switchable windows now on screen, front-most first. Never fails; possibly empty.
std::vector<WindowEntry> enumerate();

}  // namespace tavrel::WindowEnumerator
