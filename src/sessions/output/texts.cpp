#include "sessions/output/texts.h"

#include "sessions/output/format.h"

const Texts* g_texts = &kEnglishTexts;

// Simplified Chinese, the language Hushvane speaks, for every Chinese display language.
const Texts* TextsFor(LANGID language) {
    return PRIMARYLANGID(language) == LANG_CHINESE ? &kChineseTexts : &kEnglishTexts;
}

void ChooseTexts() {
    g_texts = TextsFor(GetUserDefaultUILanguage());
}

FailureText DescribeFailure(const FailedCall& failed) {
    FailureText described = {};
    FormatText(described.text, ARRAYSIZE(described.text), failed ? Text().failure : "", failed.name,
               failed.status);
    return described;
}
