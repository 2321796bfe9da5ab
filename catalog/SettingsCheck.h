// Checks a set of catalogue settings before they are saved: the base opens with the engine,
// the text table and the six images are where the program will look for them, and a
// discount-code file loads. Each problem found is one sentence for the user that names what
// is wrong (from the text table, with built-in English where the table has no entry).
#pragma once

#include <QString>
#include <QStringList>

#include "CatalogSettings.h"

// The problems of the settings, in the order checked; empty when they can be used.
QStringList CheckSettings(const FolderSettings& folders, const QString& language);

// Each folder value ends with '/' so that file names can be appended to it; an empty value
// stays empty.
QString WithTrailingSeparator(const QString& folder);
