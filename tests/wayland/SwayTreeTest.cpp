#include "platform/wayland/SwayTree.h"

#include <gtest/gtest.h>

#include <string>

namespace tavrel::wayland {
namespace {

// Two outputs' worth of tree, trimmed to what is read: the focused workspace "2" holds a
// floating window and a split; workspace "1" was used before it.
constexpr const char* kTree = R"({
  "id": 1, "type": "root", "focus": [4, 3],
  "nodes": [
    {"id": 3, "type": "output", "name": "__i3", "focus": [], "nodes": []},
    {"id": 4, "type": "output", "name": "HEADLESS-1", "focus": [6, 5], "nodes": [
      {"id": 5, "type": "workspace", "name": "1", "focus": [10], "nodes": [
        {"id": 10, "name": "mail", "app_id": "thunderbird", "shell": "xdg_shell", "pid": "7"}]},
      {"id": 6, "type": "workspace", "name": "2", "focus": [12, 11],
       "nodes": [
         {"id": 11, "type": "con", "focus": [14, 13], "nodes": [
           {"id": 13, "name": "left", "app_id": "foot", "shell": "xdg_shell", "pid": 4242},
           {"id": 14, "name": "right", "app_id": null, "shell": "xwayland",
            "window_properties": {"class": "XTerm"}}]}],
       "floating_nodes": [
         {"id": 12, "name": "float", "app_id": "mpv", "shell": "xdg_shell",
          "pid": 4294967297}]}]}]})";

TEST(SwayTree, ListsWindowsInFocusOrderAcrossWorkspacesAndFloatingWindows) {
    // A pid that is no process id (a string, beyond 32 bits) is none.
    const std::vector<TreeWindow> expected = {
        {"mpv", "float"}, {"XTerm", "right"}, {"foot", "left", 4242}, {"thunderbird", "mail"}};
    EXPECT_EQ(windowsByFocus(kTree), expected);
}

TEST(SwayTree, MatchesListedWindowsToTheTreesProcessesByAppIdAndTitle) {
    const std::vector<TreeWindow> tree = {
        {"", "term", 100}, {"", "other", 300}, {"foot", "term", 500}, {"", "term", 200}};
    const std::vector<std::pair<std::uint32_t, TreeWindow>> listed = {
        {7, {"", "term"}}, {8, {"", "term"}}, {9, {"", "other"}}, {10, {"", "gone"}}};
    const std::vector<std::pair<std::uint32_t, std::int32_t>> expected = {
        {7, 100}, {9, 300}, {8, 200}};
    EXPECT_EQ(matchProcesses(tree, listed), expected);
    EXPECT_EQ(matchFocusOrder(tree, listed), (std::vector<std::uint32_t>{7, 9, 8}));
}

TEST(SwayTree, ReadsHostileRepliesAsNothing) {
    for (const std::string bad : {"", "{", "[1,2]", R"({"nodes": 5, "focus": "x"})",
                                  R"({"nodes": [{"shell": 1, "name": 2, "app_id": []}]})"}) {
        EXPECT_LE(windowsByFocus(bad).size(), 1u) << bad;
        EXPECT_TRUE(activeOutputs(bad, bad).empty()) << bad;
        EXPECT_TRUE(commandError(bad).has_value()) << bad;
        EXPECT_FALSE(bindingCommand(bad).has_value()) << bad;
    }
    // A tree nested far deeper than any layout is cut off, not followed to a stack overflow.
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += R"({"nodes":[)";
    deep += R"({"shell":"xdg_shell","name":"t","app_id":"a"})";
    for (int i = 0; i < 100000; ++i)
        deep += "]}";
    EXPECT_TRUE(windowsByFocus(deep).empty());
}

TEST(SwayTree, ReadsOutputsCommandsAndBindings) {
    const auto outputs = activeOutputs(
        R"([{"name":"A","active":true,"focused":false,"rect":{"x":0,"y":0,"width":1920,"height":1080}},
            {"name":"B","active":false,"rect":{"x":1920,"y":0,"width":800,"height":600}},
            {"name":"C","active":true,"rect":{"x":1920,"y":0,"width":1280,"height":1024}}])",
        R"([{"output":"A","visible":true,"focused":false,"rect":{"x":0,"y":30,"width":1920,"height":1050}},
            {"output":"C","visible":true,"focused":true,"rect":{"x":1920,"y":0,"width":1280,"height":1024}},
            {"output":"A","visible":false,"focused":false,"rect":{"x":9,"y":9,"width":9,"height":9}}])");
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(outputs[0].usableRect, (Rect{{0, 30}, {1920, 1050}}));
    EXPECT_FALSE(outputs[0].focused);
    EXPECT_TRUE(outputs[1].focused);

    EXPECT_FALSE(commandError(R"([{"success":true},{"success":true}])"));
    EXPECT_EQ(commandError(R"([{"success":true},{"success":false,"error":"Unknown key"}])"),
              "Unknown key");
    EXPECT_EQ(bindingCommand(R"({"change":"run","binding":{"command":"nop tavrel-switch"}})"),
              "nop tavrel-switch");
    EXPECT_TRUE(isReload(R"({"change":"reload"})"));
    EXPECT_FALSE(isReload(R"({"change":"focus"})"));
}

}  // namespace
}  // namespace tavrel::wayland
