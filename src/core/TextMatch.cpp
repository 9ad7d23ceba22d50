#include "core/TextMatch.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utext.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace tavrel {
namespace {

bool isAscii(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

bool isPrintableAscii(char c) {
    return c >= 0x20 && c <= 0x7E;
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Into a reused buffer: ill-formed bytes become U+FFFD. UTF-16 never needs more code units
// than UTF-8 has bytes.
void decodeUtf8(std::string_view utf8, icu::UnicodeString& out) {
    // Titles are bounded long before this; the cap only keeps the length representable.
    const auto length =
        static_cast<std::int32_t>(std::min<std::size_t>(utf8.size(), INT32_MAX / 2));
    char16_t* buffer = out.getBuffer(std::max(length, 1));
    if (buffer == nullptr) {
        out.remove();
        return;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::int32_t written = 0;
    u_strFromUTF8WithSub(buffer, out.getCapacity(), &written, utf8.data(), length, 0xFFFD, nullptr,
                         &status);
    out.releaseBuffer(U_SUCCESS(status) ? written : 0);
}

}  // namespace

// The general case: any text, any query. Text is lower-cased and put in composed form (NFC)
// as a whole; the pieces of a composed text cut at character boundaries are composed too, so
// comparing pieces code unit by code unit is comparing them by canonical equivalence.
struct TextMatcher::Unicode {
    Unicode() {
        UErrorCode status = U_ZERO_ERROR;
        nfc = icu::Normalizer2::getNFCInstance(status);
        if (U_FAILURE(status))
            nfc = nullptr;
        status = U_ZERO_ERROR;
        characters.reset(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status))
            characters.reset();
    }
    ~Unicode() { utext_close(&textView); }
    Unicode(const Unicode&) = delete;
    Unicode& operator=(const Unicode&) = delete;

    bool matches(std::string_view foldedQuery, std::string_view utf8) {
        if (!queryReady)
            prepareQuery(foldedQuery);
        fold(utf8, text);
        if (text.indexOf(query) >= 0)
            return true;
        return firstUnitsInOrder() && charactersInOrder();
    }

    void fold(std::string_view utf8, icu::UnicodeString& out) {
        decodeUtf8(utf8, scratch);
        scratch.toLower(icu::Locale::getRoot());
        UErrorCode status = U_ZERO_ERROR;
        if (nfc != nullptr && !nfc->isNormalized(scratch, status) && U_SUCCESS(status)) {
            nfc->normalize(scratch, out, status);
            if (U_SUCCESS(status))
                return;
        }
        out.swap(scratch);
    }

    void prepareQuery(std::string_view utf8) {
        fold(utf8, query);
        queryCharacters.clear();
        if (!setText(query))
            return;
        std::int32_t start = characters->first();
        for (std::int32_t end = characters->next(); end != icu::BreakIterator::DONE;
             start = end, end = characters->next())
            queryCharacters.emplace_back(query, start, end - start);
        queryReady = true;
    }

    bool setText(const icu::UnicodeString& s) {
        if (!characters)
            return false;
        UErrorCode status = U_ZERO_ERROR;
        utext_openConstUnicodeString(&textView, &s, &status);
        if (U_SUCCESS(status))
            characters->setText(&textView, status);
        return U_SUCCESS(status);
    }

    // Cheap refusal before segmenting: each query character's first code unit must occur,
    // in order, in the text for the characters themselves to.
    bool firstUnitsInOrder() const {
        std::int32_t from = 0;
        for (const auto& character : queryCharacters) {
            const std::int32_t found = text.indexOf(character.charAt(0), from);
            if (found < 0)
                return false;
            from = found + 1;
        }
        return true;
    }

    bool charactersInOrder() {
        if (!queryReady || !setText(text))
            return false;
        std::size_t next = 0;
        std::int32_t start = characters->first();
        for (std::int32_t end = characters->next();
             end != icu::BreakIterator::DONE && next < queryCharacters.size();
             start = end, end = characters->next()) {
            if (text.compare(start, end - start, queryCharacters[next]) == 0)
                ++next;
        }
        return next == queryCharacters.size();
    }

    const icu::Normalizer2* nfc = nullptr;
    std::unique_ptr<icu::BreakIterator> characters;
    UText textView = UTEXT_INITIALIZER;
    bool queryReady = false;
    icu::UnicodeString query;
    std::vector<icu::UnicodeString> queryCharacters;
    icu::UnicodeString text;
    icu::UnicodeString scratch;
};

TextMatcher::TextMatcher() = default;
TextMatcher::~TextMatcher() = default;

void TextMatcher::setQuery(std::string_view query) {
    printableAsciiQuery_ = std::all_of(query.begin(), query.end(), isPrintableAscii);
    query_.clear();
    if (printableAsciiQuery_)
        std::transform(query.begin(), query.end(), std::back_inserter(query_), lowerAscii);
    else
        query_.assign(query);
    if (unicode_)
        unicode_->queryReady = false;
}

bool TextMatcher::matches(std::string_view text) {
    if (query_.empty())
        return true;
    // Typed text is printable ASCII and most titles are ASCII: there every byte is a character
    // of its own and lower-casing is byte-wise, so the general machinery is not needed.
    if (printableAsciiQuery_ && std::all_of(text.begin(), text.end(), isAscii))
        return matchesAscii(text);
    if (!unicode_)
        unicode_ = std::make_unique<Unicode>();
    return unicode_->matches(query_, text);
}

bool TextMatcher::matchesAscii(std::string_view text) {
    lowered_.clear();
    std::transform(text.begin(), text.end(), std::back_inserter(lowered_), lowerAscii);
    const std::string_view lowered(lowered_);
    if (lowered.find(query_) != std::string_view::npos)
        return true;
    std::size_t from = 0;
    for (const char c : query_) {
        const std::size_t found = lowered.find(c, from);
        if (found == std::string_view::npos)
            return false;
        from = found + 1;
    }
    return true;
}

}  // namespace tavrel
