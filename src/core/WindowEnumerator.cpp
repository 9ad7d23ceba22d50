#include "core/WindowEnumerator.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "core/CanonicalText.h"
#include "platform/Platform.h"

namespace tavrel::WindowEnumerator {
namespace {

inline constexpr std::uint32_t kListOptions =
    kCGWindowListOptionOnScreenOnly | kCGWindowListExcludeDesktopElements;
inline constexpr double kMinimumWidth = 80.0;
inline constexpr double kMinimumHeight = 40.0;

// What the panel shows of an application, fixed the first time its process is seen.
struct AppMeta {
    std::string name;
    Image icon;
    std::optional<std::string> bundleID;
};

// Asked of the platform at most once per process id for the life of the program; a failed
// look-up is remembered too. Touched from the main thread only.
std::unordered_map<std::int32_t, AppMeta>& metaCache() {
    static std::unordered_map<std::int32_t, AppMeta> cache;
    return cache;
}

const AppMeta& appMeta(std::int32_t pid, std::string_view ownerName) {
    auto& cache = metaCache();
    if (const auto hit = cache.find(pid); hit != cache.end())
        return hit->second;
    AppMeta meta{std::string(ownerName), nullptr, std::nullopt};
    if (const auto app =
            platform().runningApplications->runningApplicationWithProcessIdentifier(pid)) {
        if (auto name = app->localizedName())
            meta.name = std::move(*name);
        meta.icon = app->icon();
        meta.bundleID = app->bundleIdentifier();
    }
    return cache.emplace(pid, std::move(meta)).first->second;
}

// Keys made once: a look-up by a C string would build a temporary string per record.
const std::string kLayerKey{kCGWindowLayer};
const std::string kOwnerPidKey{kCGWindowOwnerPID};
const std::string kNumberKey{kCGWindowNumber};
const std::string kNameKey{kCGWindowName};
const std::string kBoundsKey{kCGWindowBounds};
const std::string kOwnerNameKey{kCGWindowOwnerName};

// A missing key reads as an empty value, which no reader accepts: missing and wrong kind are
// the same.
const Value& field(const WindowInfo& record, const std::string& key) {
    static const Value missing;
    const auto it = record.find(key);
    return it == record.end() ? missing : it->second;
}

// A size that is missing or not a number (NaN) is no proof of a usable window.
bool largeEnough(const WindowInfo& record) {
    const NumberMap* bounds = valueAsNumberMap(field(record, kBoundsKey));
    if (bounds == nullptr)
        return true;
    const auto height = bounds->find("Height");
    const auto width = bounds->find("Width");
    return height != bounds->end() && height->second >= kMinimumHeight && width != bounds->end() &&
           width->second >= kMinimumWidth;
}

// A record that passed the tests made before the duplicate test.
struct Candidate {
    std::int32_t pid;
    std::uint32_t number;
    const std::string* title;
};

// The tests in their order; the first that fails skips the record before it leaves a trace.
std::optional<Candidate> candidate(const WindowInfo& record, std::int32_t ownPid) {
    if (valueAsInt64(field(record, kLayerKey)) != 0)
        return std::nullopt;
    const std::optional<std::int32_t> pid = valueAsInt32(field(record, kOwnerPidKey));
    if (!pid || *pid == ownPid)
        return std::nullopt;
    const std::optional<std::uint32_t> number = valueAsUInt32(field(record, kNumberKey));
    if (!number)
        return std::nullopt;
    const std::string* title = valueAsString(field(record, kNameKey));
    if (title == nullptr || title->empty() || !largeEnough(record))
        return std::nullopt;
    return Candidate{*pid, *number, title};
}

}  // namespace

std::vector<WindowEntry> enumerate() {
    const std::optional<WindowInfoList> records =
        platform().windowServer->copyWindowInfo(kListOptions, kCGNullWindowID);
    if (!records)
        return {};
    const std::int32_t ownPid = platform().processInfo->processIdentifier();
    std::unordered_map<std::int32_t, std::unordered_set<std::string>> seenTitles;
    std::vector<WindowEntry> entries;
    entries.reserve(records->size());
    for (const WindowInfo& record : *records) {
        const std::optional<Candidate> window = candidate(record, ownPid);
        // A title is claimed only by a window that passed every other test.
        if (!window || !seenTitles[window->pid].insert(canonicalForm(*window->title)).second)
            continue;
        const std::string* ownerName = valueAsString(field(record, kOwnerNameKey));
        const AppMeta& meta = appMeta(window->pid, ownerName ? *ownerName : std::string_view());
        entries.push_back(
            {window->number, window->pid, meta.name, meta.icon, *window->title, meta.bundleID});
    }
    return entries;
}

}  // namespace tavrel::WindowEnumerator
