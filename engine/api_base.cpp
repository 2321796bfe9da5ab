// The base-and-session family: opening and closing bases, creating, cancelling and
// destroying sessions.
#include <memory>
#include <string>

#include "base.h"
#include "codec.h"
#include "lodex32_errors.h"
#include "fileset.h"
#include "format/post.h"
#include "lodex32.h"
#include "registry.h"
#include "schema_bounds.h"
#include "session.h"
#include "wordindex.h"

namespace lodex {
namespace {

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

// Opens a base. The number is taken first, so a failed open uses one up; the base is
// registered only once it is complete, so no other thread ever sees it half built and a
// failed open leaves nothing registered (its files close with the base record).
int32_t OpenBase(const char* base_dir, const char* alt_dir, const char* temp_dir) {
  auto base = std::make_shared<Base>();
  int32_t number = 0;
  if (int32_t rc = TakeBaseNumber(number)) return rc;
  base->number = number;

  base->base_dir = Text(base_dir);
  base->alt_dir = Text(alt_dir);
  base->temp_dir = Text(temp_dir);
  base->has_alt_dir = alt_dir != nullptr;

  const Directories dirs{base->base_dir, base->alt_dir, base->temp_dir, base->has_alt_dir};
  if (int32_t rc = OpenFileSet(dirs, number, base->files)) return rc;

  // A model that cannot be built would leave the decoders without tables; such a base
  // is refused with the weight file's code rather than decoded wrongly later.
  if (int32_t rc = OpenRecordCodec(base->files.charfreq.get(), base->files.wordfreq.get(),
                                   base->codec);
      rc < 0) {
    return rc;
  }

  if (int32_t rc = ReadSchema(base->files.meta.get(), base->schema)) return rc;
  // Nothing is sized by the schema before its counts are known to fit the files.
  const BaseFileSizes sizes = MeasureBaseFiles(base->files, base->schema.total_records);
  if (int32_t rc = CheckSchemaBounds(base->schema, sizes)) return rc;
  BuildNormalisers(base->schema);
  base->bitmap_bytes = format::BitmapBytes(base->schema.total_records);

  if (int32_t rc = LoadWordIndex(*base); rc < 0) return rc;

  if (int32_t rc = RegisterBase(base)) return rc;
  return number;
}

}  // namespace
}  // namespace lodex

using namespace lodex;

extern "C" LODEX_API int32_t APIOpenBaseEx(const char* base_dir, const char* alt_dir,
                                           const char* temp_dir, int32_t /*reserved*/) {
  try {
    return OpenBase(base_dir, alt_dir, temp_dir);
  } catch (...) {
    return FAULT_OpenClose;
  }
}

extern "C" LODEX_API int32_t APIOpenBase(const char* base_dir, const char* temp_dir,
                                         int32_t reserved) {
  return APIOpenBaseEx(base_dir, nullptr, temp_dir, reserved);
}

// Unlinks the base; its files, schema, decoders and locks are released with the base
// record, at once unless an operation of another thread still holds it, then when that
// operation ends. Sessions are not touched.
extern "C" LODEX_API int32_t APICloseBase(int32_t number) {
  try {
    std::shared_ptr<Base> base;
    if (int32_t rc = UnregisterBase(number, base)) return rc;
    base.reset();
    return 0;
  } catch (...) {
    return FAULT_OpenClose;
  }
}

extern "C" LODEX_API int32_t APICreateSession(int32_t base_number) {
  BaseRef ref = LookupBase(base_number);
  if (ref.error) return ref.error;
  try {
    auto session = std::make_shared<Session>();
    session->base_number = base_number;
    session->Init(*ref.base);
    if (int32_t rc = RegisterSession(session)) return rc;
    return session->number;
  } catch (...) {
    // Out of memory for the session's buffers: nothing was registered, and nothing may
    // leave the C interface as an exception.
    return FAULT_OpenClose;
  }
}

extern "C" LODEX_API int32_t APICopySession(int32_t /*ignored*/) { return ERROR_NotImplemented; }

extern "C" LODEX_API int32_t APICancelSession(int32_t session) { return CancelSession(session); }

extern "C" LODEX_API int32_t APIDestroySession(int32_t number) {
  try {
    std::shared_ptr<Session> session;
    return UnregisterSession(number, session);
  } catch (...) {
    // Out of memory for the registry's new table: the session stays registered.
    return FAULT_OpenClose;
  }
}
