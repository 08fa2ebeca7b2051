#include "sessions/output/texts.h"

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

} // namespace

const Texts* g_texts = &kEnglishTexts;

const Texts* TextsFor(LANGID language) {
    for (const Language& known : kLanguages) {
        if (known.primary == PRIMARYLANGID(language)) {
            return known.texts;
        }
    }
    return &kEnglishTexts;
}

void ChooseTexts() {
    g_texts = TextsFor(GetUserDefaultUILanguage());
}
