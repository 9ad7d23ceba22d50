#include "platform/Platform.h"

namespace tavrel {
namespace {
Platform& installed() {
    static Platform services;
    return services;
}
}  // namespace

Platform& platform() {
    return installed();
}
void installPlatform(const Platform& services) {
    installed() = services;
}

}  // namespace tavrel
