#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/AXElement.h"

namespace tavrel {

// A value of some other kind than the ones below (what a foreign property may hold).
struct OtherValue {
    friend bool operator==(const OtherValue&, const OtherValue&) = default;
};

using NumberMap = std::map<std::string, double>;
using ElementList = std::vector<AXElement>;

// A dynamically typed value as the window list and the accessibility interface answer
// them. A missing value and a value of the wrong kind mean the same to the core.
using Value = std::variant<std::monostate, bool, std::int64_t, double, std::string, NumberMap,
                           ElementList, OtherValue>;

// Exact readings: a number that the target type cannot represent exactly counts as missing.
std::optional<std::int32_t> valueAsInt32(const Value& v);
std::optional<std::uint32_t> valueAsUInt32(const Value& v);
std::optional<std::int64_t> valueAsInt64(const Value& v);
const std::string* valueAsString(const Value& v);
const NumberMap* valueAsNumberMap(const Value& v);
const ElementList* valueAsElements(const Value& v);
std::optional<bool> valueAsBool(const Value& v);

}  // namespace tavrel
