// The platform's Collection object: 1-based items, optional unique keys
// compared without regard to case.
//   Add with a key already present: error 457.
//   Item / Remove with a bad position or unknown key: error 5.
#pragma once

#include <cstdint>

#include "platform/com.h"
#include "platform/variant.h"

namespace tarvik {

// The IID of this C++ interface (not the Windows platform's collection IID:
// the vtables differ). The object also answers IUnknown and IDispatch.
extern const IID IID_Collection;

// Late-bound members: Add(Item, [Key], [Before], [After]), Count, Item(Index)
// (the default member), Remove(Index); arguments may be named.
struct Collection : IDispatch {
  // Missing key/before/after: pass Variant::Missing() (the defaults do).
  virtual void Add(const Variant& item, const Variant& key = Variant::Missing(),
                   const Variant& before = Variant::Missing(),
                   const Variant& after = Variant::Missing()) = 0;
  virtual std::int32_t Count() = 0;
  // index: a number (1-based) or a key text.
  virtual Variant Item(const Variant& index) = 0;
  virtual void Remove(const Variant& index) = 0;

 protected:
  ~Collection() = default;
};

ComPtr<Collection> NewCollection();

}  // namespace tarvik
