#include "platform/Value.h"

#include <cmath>
#include <limits>

namespace tavrel {
namespace {

template <typename Int>
std::optional<Int> exactInteger(const Value& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v)) {
        if (*i < static_cast<std::int64_t>(std::numeric_limits<Int>::min()))
            return std::nullopt;
        if (*i > 0 && static_cast<std::uint64_t>(*i) > std::numeric_limits<Int>::max()) {
            return std::nullopt;
        }
        return static_cast<Int>(*i);
    }
    if (const auto* d = std::get_if<double>(&v)) {
        // Compare in long double: every value of the integer types below is exact there.
        const long double x = *d;
        if (!std::isfinite(*d) || std::trunc(x) != x)
            return std::nullopt;
        if (x < static_cast<long double>(std::numeric_limits<Int>::min()) ||
            x > static_cast<long double>(std::numeric_limits<Int>::max())) {
            return std::nullopt;
        }
        return static_cast<Int>(x);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::int32_t> valueAsInt32(const Value& v) {
    return exactInteger<std::int32_t>(v);
}
std::optional<std::uint32_t> valueAsUInt32(const Value& v) {
    return exactInteger<std::uint32_t>(v);
}
std::optional<std::int64_t> valueAsInt64(const Value& v) {
    return exactInteger<std::int64_t>(v);
}
const std::string* valueAsString(const Value& v) {
    return std::get_if<std::string>(&v);
}
const NumberMap* valueAsNumberMap(const Value& v) {
    return std::get_if<NumberMap>(&v);
}
const ElementList* valueAsElements(const Value& v) {
    return std::get_if<ElementList>(&v);
}
std::optional<bool> valueAsBool(const Value& v) {
    if (const auto* b = std::get_if<bool>(&v))
        return *b;
    return std::nullopt;
}

}  // namespace tavrel
