#pragma once
#include "core/WindowEntry.h"

namespace tavrel::WindowActivator {

// Brings the entry's application forward and raises its window. Every failure is silent.
void activate(const WindowEntry& entry);

}  // namespace tavrel::WindowActivator
