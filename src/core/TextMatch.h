#pragma once
#include <memory>
#include <string>
#include <string_view>

namespace tavrel {

// The filter's rule: typed text matches a row's text when its characters occur there in order,
// adjacent or not, ignoring case (Unicode's default lower-casing, the same in every locale).
// Characters are what a reader sees as one (a letter with its combining marks), compared by
// canonical equivalence, so a plain "e" never stands for an "é".
//
// One matcher serves every pass over the rows: its Unicode machinery is made once and its
// buffers are reused, because the whole list is filtered again on every key press.
class TextMatcher {
  public:
    TextMatcher();
    ~TextMatcher();
    TextMatcher(const TextMatcher&) = delete;
    TextMatcher& operator=(const TextMatcher&) = delete;

    // UTF-8, as typed; lower-cased here.
    void setQuery(std::string_view query);

    // UTF-8; lower-cased here. An empty query matches every text.
    bool matches(std::string_view text);

  private:
    struct Unicode;

    bool matchesAscii(std::string_view text);

    std::string query_;
    bool printableAsciiQuery_ = true;
    std::string lowered_;
    std::unique_ptr<Unicode> unicode_;
};

}  // namespace tavrel
