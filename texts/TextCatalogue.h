// The three-language text catalogue: every text the program shows, by entry
// number. Standard library only; texts are UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "texts/Entries.h"

// The user-interface languages; the values are the stored ones.
enum class Language : int32_t { English = 0, Swedish = 1, German = 2 };
inline constexpr int kLanguageCount = 3;
inline constexpr int kCatalogueEntries = 260;

// The current user-interface language; always one of the three.
extern Language LanguageIndex;

class TextCatalogue {
public:
    // Fills every entry of every language; entries that quote the piece
    // marker (the file dialog filters) are made with `marker`.
    void Build(const std::string& marker);
    // Entry n of language lang; the empty text for unused numbers and for n
    // outside 0..259. A language outside the three reads English.
    const std::string& Text(Language lang, int n) const;
    const std::string& Text(Language lang, Entry entry) const { return Text(lang, EntryNumber(entry)); }

private:
    std::array<std::array<std::string, kCatalogueEntries>, kLanguageCount> entries_;
};

// The program's single catalogue.
TextCatalogue& Catalogue();
void BuildCatalogue(const std::string& marker);
// Entry n of the program's catalogue in LanguageIndex's language, with the
// same bounds as TextCatalogue::Text.
const std::string& CatalogueText(int n);
const std::string& CatalogueText(Entry entry);
// The text with its first '&' removed.
std::string StripAccessKey(const std::string& text);

// The How It Works text as the window shows it: 100 lines, each a catalogue
// entry number, with -1 for the empty line between two paragraphs.
const std::vector<int>& HelpLineOrder();
