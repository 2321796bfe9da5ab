// Finding a window's controls by object name in the tests; a missing one ends the test
// program, since every later step would only fail less clearly.
#pragma once

#include <QString>
#include <QWidget>
#include <QtGlobal>

template <class T>
T* NamedChild(const QWidget* window, const char* name) {
  T* child = window->findChild<T*>(QString::fromLatin1(name));
  if (!child) qFatal("no control %s", name);
  return child;
}
