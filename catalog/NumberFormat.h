// The program's number format: the whole program writes and reads numbers with the
// comma as decimal separator and without thousands separators.
#pragma once

#include <QLocale>
#include <QString>

QLocale NumberLocale();
// Makes NumberLocale the process's default locale.
void UseCommaDecimalSeparator();
bool ToNumber(const QString& text, double* value);
bool ToInteger(const QString& text, int* value);
// The pattern "0.00": two decimals, e.g. "1234,50".
QString FormatFixed2(double value);
// Up to 15 significant digits without trailing zeros, e.g. "24,6" or "180".
QString FormatGeneral(double value);
