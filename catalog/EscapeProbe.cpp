#include "EscapeProbe.h"

#include <QGuiApplication>
#include <cstdint>
#include <mutex>
#include <vector>

#include "lodex32.h"

#if defined(LODEX_HAVE_XCB)
#include <xcb/xcb.h>

namespace {

constexpr xcb_keysym_t kEscapeKeysym = 0xff1b;

// The probe keeps a connection of its own, so that the engine can ask from whatever
// thread it runs on without touching the toolkit's event queue.
struct XKeyboard {
  std::mutex lock;
  xcb_connection_t* connection = nullptr;
  std::vector<xcb_keycode_t> escape_keys;
};

XKeyboard& Keyboard() {
  static XKeyboard keyboard;
  return keyboard;
}

std::vector<xcb_keycode_t> FindEscapeKeys(xcb_connection_t* connection) {
  std::vector<xcb_keycode_t> keys;
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const int first = setup->min_keycode;
  const int count = setup->max_keycode - setup->min_keycode + 1;
  xcb_get_keyboard_mapping_reply_t* mapping = xcb_get_keyboard_mapping_reply(
      connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, count), nullptr);
  if (mapping == nullptr) return keys;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping);
  const int per_key = mapping->keysyms_per_keycode;
  const int total = xcb_get_keyboard_mapping_keysyms_length(mapping);
  for (int i = 0; i < total; ++i) {
    if (syms[i] == kEscapeKeysym && per_key > 0) {
      keys.push_back(static_cast<xcb_keycode_t>(first + i / per_key));
    }
  }
  free(mapping);
  return keys;
}

int32_t EscapeIsDown() {
  XKeyboard& keyboard = Keyboard();
  std::lock_guard<std::mutex> guard(keyboard.lock);
  if (keyboard.connection == nullptr) return 0;
  xcb_query_keymap_reply_t* keymap = xcb_query_keymap_reply(
      keyboard.connection, xcb_query_keymap(keyboard.connection), nullptr);
  if (keymap == nullptr) return 0;
  int32_t down = 0;
  for (xcb_keycode_t key : keyboard.escape_keys) {
    if (keymap->keys[key / 8] & (1u << (key % 8))) down = 1;
  }
  free(keymap);
  return down;
}

}  // namespace

bool InstallEscapeProbe() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
  XKeyboard& keyboard = Keyboard();
  {
    std::lock_guard<std::mutex> guard(keyboard.lock);
    if (keyboard.connection == nullptr) {
      xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
      if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
      }
      keyboard.escape_keys = FindEscapeKeys(connection);
      keyboard.connection = connection;
    }
    if (keyboard.escape_keys.empty()) return false;
  }
  LodexSetEscapeProbe(EscapeIsDown);
  return true;
}

void RemoveEscapeProbe() {
  LodexSetEscapeProbe(nullptr);
  XKeyboard& keyboard = Keyboard();
  std::lock_guard<std::mutex> guard(keyboard.lock);
  if (keyboard.connection != nullptr) xcb_disconnect(keyboard.connection);
  keyboard.connection = nullptr;
  keyboard.escape_keys.clear();
}

#else

bool InstallEscapeProbe() { return false; }
void RemoveEscapeProbe() {}

#endif
