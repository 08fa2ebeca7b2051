#include "sessions/output/texts.h"

const Texts* g_texts = &kEnglishTexts;

// Simplified Chinese, the language Hushvane speaks, for every Chinese display language.
const Texts* TextsFor(LANGID language) {
    return PRIMARYLANGID(language) == LANG_CHINESE ? &kChineseTexts : &kEnglishTexts;
}

void ChooseTexts() {
    g_texts = TextsFor(GetUserDefaultUILanguage());
}
