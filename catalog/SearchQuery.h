// The search window's combined search: one engine search per filled-in edit, each
// kept in its own slot file, and the AND of them as the result.
#pragma once

#include <QString>
#include <cstdint>

struct TEngineState;

// The four search edits' texts, in search order.
struct TSearchTexts {
  QString ItemText;    // search field 100
  QString TypeNumber;  // search field 120
  QString ElNumber;    // search field 140
  QString Ean;         // search field 160
};

// The item-text edit's content as it is searched: blanks trimmed; a text with a
// hyphen becomes a phrase, its asterisks removed and the whole in double quotes, so
// that "ab-c*d" finds the word ab-cd rather than a range.
QString ItemTextQuery(const QString& edit_text);

// Clears the marks and quantities, searches every non-empty text in its field (slots
// 1 to 4), leaves the AND of them as the session's current bitmap and reloads the
// result view. Answers the hit count: 0 when every text is empty; when a search
// fails (Escape pressed during a wildcard scan, say) the result is emptied and the
// answer is the engine's code.
int32_t RunSearch(TEngineState& state, const TSearchTexts& texts);
