#include "sessions/texts.h"

#include <windows.h>

namespace {

// The languages beside English, by the primary language of Windows' display language.
struct Language {
    WORD primary;
    const Texts* texts;
};
const Language kLanguages[] = {
    {LANG_CHINESE, &kChineseTexts}, // Simplified Chinese, the language Hushvane speaks
};

// Every member of a table is a text, so a table is walked as the list of its texts.
constexpr int kTextCount = sizeof(Texts) / sizeof(const char*);
static_assert(sizeof(Texts) == kTextCount * sizeof(const char*), "a table holds texts alone");

} // namespace

Texts g_texts = kEnglishTexts;

const Texts* TextsFor(LANGID language) {
    for (const Language& known : kLanguages) {
        if (known.primary == PRIMARYLANGID(language)) {
            return known.texts;
        }
    }
    return &kEnglishTexts;
}

void ChooseTexts() {
    const char* const* from =
        reinterpret_cast<const char* const*>(TextsFor(GetUserDefaultUILanguage()));
    const char** to = reinterpret_cast<const char**>(&g_texts);
    for (int i = 0; i < kTextCount; ++i) {
        to[i] = from[i] != nullptr ? from[i] : to[i];
    }
}
