// Table-driven IDispatch, as the platform's own DispInvoke does it: a
// MemberTable lists an interface's members (name, kind, dispid, an invoke
// thunk) and answers GetIDsOfNames and Invoke from that list. Every object
// with late-bound members uses it, so name matching, kind matching and the
// error boundary (a failed member answers DISP_E_EXCEPTION with EXCEPINFO
// filled from the error record it left) exist once.
//
// Typed thunks generated from member-function pointers live one floor up
// (automation/dispatch_table.h); objects of this floor write theirs by hand.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "platform/com.h"
#include "platform/com_object.h"
#include "platform/error.h"
#include "platform/member_signature.h"
#include "platform/variant.h"

namespace tarvik {

// kGet and kMethod answer METHOD or PROPERTYGET (callers pass both for a
// function call and a property read); kSub, a procedure without a result,
// answers METHOD only.
enum class MemberKind { kGet, kLet, kSet, kMethod, kSub };

// Invokes one member on `self` (the interface pointer as void*). Sets
// *member_failed when the error came from the member itself rather than from
// argument checking; the member then left its error record (Guard).
using MemberThunk = HRESULT (*)(void* self, const DISPPARAMS& params, VARIANT* result,
                                UINT* arg_err, bool* member_failed);

struct MemberEntry {
  std::string_view name;
  MemberKind kind;
  MemberThunk invoke;
  DISPID dispid = DISPID_UNKNOWN;  // DISPID_UNKNOWN: assigned by MemberTable
  // The names of the arguments, in order, without the result; for a let or
  // set the last one is the value. A caller names argument i by DISPID i;
  // the value of a put only as DISPID_PROPERTYPUT.
  std::vector<std::string_view> params = {};
  // For type information; left empty by objects published without it.
  MemberSignature signature = {};
};

class MemberTable {
 public:
  // Entries in interface order. Entries sharing a name (a property's get and
  // let) share one dispid; entries without one get 1, 2, ... by first
  // appearance.
  explicit MemberTable(std::vector<MemberEntry> entries);

  // Case-insensitive. names[0] is the member; names[1..] are argument names
  // of that member, each answered with its position (0, 1, ...). An unknown
  // name gets DISPID_UNKNOWN and the call DISP_E_UNKNOWNNAME; the others
  // are still filled.
  HRESULT GetIDsOfNames(OLECHAR** names, UINT count, DISPID* ids) const;
  // Named arguments (cNamedArgs, besides DISPID_PROPERTYPUT of a put) are
  // put in their positions before the member sees them; those left out
  // arrive as Missing. A name outside the member's arguments, or one given
  // twice or also by position, answers DISP_E_PARAMNOTFOUND with its index
  // in *arg_err.
  HRESULT Invoke(void* self, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excep, UINT* arg_err) const;

  const std::vector<MemberEntry>& entries() const { return entries_; }
  // DISPID_UNKNOWN when the name is not a member.
  DISPID DispIdOf(std::string_view name) const;

 private:
  // The position of the member's argument of that name, or DISPID_UNKNOWN.
  DISPID ArgumentId(DISPID member, std::u16string_view name) const;

  std::vector<MemberEntry> entries_;
};

// The argument at natural position i (rgvarg holds them in reverse).
inline const VARIANT& ArgAt(const DISPPARAMS& p, UINT i) { return p.rgvarg[p.cArgs - 1 - i]; }
// The same, Missing when the caller left an optional argument out.
inline Variant OptionalArg(const DISPPARAMS& p, UINT i) {
  return i < p.cArgs ? Variant(ArgAt(p, i)) : Variant::Missing();
}

// Runs f under Guard for a member taking min_args to max_args arguments; for
// hand-written thunks.
template <class F>
HRESULT RunMember(const DISPPARAMS& p, UINT min_args, UINT max_args, bool* member_failed,
                  F&& f) {
  if (p.cArgs < min_args || p.cArgs > max_args) return DISP_E_BADPARAMCOUNT;
  HRESULT h = Guard(std::forward<F>(f));
  if (Failed(h)) *member_failed = true;
  return h;
}

// IDispatch of interface I answered from I's member table, which the
// interface's own unit defines:
//   template <> const MemberTable& TableDispatch<Collection>::Members() { ... }
template <class I>
class TableDispatch : public NoTypeInfo<I> {
 public:
  HRESULT GetIDsOfNames(REFIID, OLECHAR** names, UINT count, LCID, DISPID* ids) override {
    return Members().GetIDsOfNames(names, count, ids);
  }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excep, UINT* arg_err) override {
    return Members().Invoke(static_cast<I*>(this), id, flags, params, result, excep, arg_err);
  }

  static const MemberTable& Members();
};

}  // namespace tarvik
