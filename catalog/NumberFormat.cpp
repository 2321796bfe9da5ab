#include "NumberFormat.h"

#include <cmath>

QLocale NumberLocale() {
  QLocale locale(QLocale::Danish, QLocale::Denmark);
  locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
  return locale;
}

void UseCommaDecimalSeparator() { QLocale::setDefault(NumberLocale()); }

bool ToNumber(const QString& text, double* value) {
  bool ok = false;
  const double v = NumberLocale().toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

bool ToInteger(const QString& text, int* value) {
  bool ok = false;
  const int v = NumberLocale().toInt(text.trimmed(), &ok);
  if (!ok) return false;
  *value = v;
  return true;
}

QString FormatFixed2(double value) { return NumberLocale().toString(value, 'f', 2); }

QString FormatGeneral(double value) { return NumberLocale().toString(value, 'g', 15); }
