#include "core/WindowEntry.h"

namespace tavrel {

bool operator==(const WindowEntry& a, const WindowEntry& b) {
    return a.cgWindowID == b.cgWindowID;
}

}  // namespace tavrel
