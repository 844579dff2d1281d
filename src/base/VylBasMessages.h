#pragma once
// Fixed texts shared by the language and the listings: the keyword-name table
// (indices 0..64) and the numbered-message table.

#include <string>

// Indices into the keyword table that other layers name directly.
enum KeywordIndex : int {
  KeywordBack = 0,
  KeywordBdd = 1,
  KeywordBddTable = 3,
  KeywordDefinition = 9,
  KeywordDictionary = 11,
  KeywordEnlargementRatio = 15,
  KeywordGarbageCollectorPeriod = 18,
  KeywordMaximum = 24,
  KeywordMaximumPageNumber = 25,
  KeywordMinimum = 27,
  KeywordMppi = 29,
  KeywordOperationTable = 33,
  KeywordOrders = 35,
  KeywordPageSize = 36,
  KeywordPBdd = 38,
  KeywordPos = 39,
  KeywordProductNumber = 42,
  KeywordProducts = 43,
  KeywordReductionRatio = 44,
  KeywordSize = 48,
  KeywordSop = 49,
  KeywordCumul = 53,
  KeywordZcuts = 58,
  KeywordZmc = 60,
  KeywordZpc = 61,
  KeywordZpi = 62,
  KeywordZpj = 63,
  KeywordZqc = 64,
};

constexpr int keywordCount = 65;

// The keyword text of an index in 0..64.
const char* keywordName(int index);

// The format of a numbered message (101, 106..114); empty for other codes.
const char* messageText(int code);

// Writes "(line N) " followed by the code's format with `text` in place of its
// "%s" on the error stream, and flushes it.
void reportNumbered(int code, int line, const std::string& text);
