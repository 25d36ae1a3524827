// Our own ITypeInfo, written from the member tables: where no automation
// runtime provides type libraries, the published interfaces describe
// themselves. The interface's type info is the vtable view of the dual
// interface (TKIND_INTERFACE: the published members only, each with its
// vtable offset and its [out, retval] parameter), as the type library's
// interface entry reads on Windows.
//
// Answered: GetTypeAttr, GetFuncDesc, GetNames, GetIDsOfNames, Invoke,
// GetDocumentation and the Release methods; for the class, also
// GetRefTypeOfImplType, GetImplTypeFlags and GetRefTypeInfo (its default
// interface). Everything else answers E_NOTIMPL: there are no variables,
// no binding (ITypeComp), no DLL entries and no containing ITypeLib object.
#include "automation/type_info.h"

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/type_library.h"
#include "platform/bstr.h"
#include "platform/com_object.h"
#include "platform/member_table.h"
#include "platform/type_info.h"
#include "tarvik/interfaces.h"

namespace tarvik::automation {
namespace {

constexpr WORD kInterfaceFlags = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                                 TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;

INVOKEKIND InvokeKindOf(MemberKind kind) {
  switch (kind) {
    case MemberKind::kGet:
      return INVOKE_PROPERTYGET;
    case MemberKind::kLet:
      return INVOKE_PROPERTYPUT;
    case MemberKind::kSet:
      return INVOKE_PROPERTYPUTREF;
    case MemberKind::kMethod:
    case MemberKind::kSub:
      return INVOKE_FUNC;
  }
  return INVOKE_FUNC;
}

// Case-insensitive, as automation names are.
bool SameName(std::string_view a, const OLECHAR* b) {
  if (!b) return false;
  std::size_t i = 0;
  for (; i < a.size(); ++i) {
    char16_t x = static_cast<unsigned char>(a[i]), y = b[i];
    if (y == 0) return false;
    if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
    if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
    if (x != y) return false;
  }
  return b[i] == 0;
}

// The handle of an enumeration referred to by a parameter: its position in
// the library's list, counted from 1 (0 is the class's default interface).
HREFTYPE EnumRef(std::string_view name) {
  HREFTYPE ref = 1;
  for (const PublishedEnum& e : PublishedEnums()) {
    if (e.name == name) return ref;
    ++ref;
  }
  return 0;
}

void SetOut(BSTR* out, std::string_view text) {
  if (out) *out = text.empty() ? nullptr : Bstr(text).detach();
}

// What every type info of ours answers alike; the descriptions are built
// once and live as long as the type info, so the Release methods free
// nothing. The objects themselves live for the process.
template <class Derived>
class TypeInfoBase : public ComObject<Derived, ITypeInfo> {
 public:
  void* QueryInterfaceExtra(REFIID riid) {
    return riid == IID_ITypeInfo ? static_cast<ITypeInfo*>(this) : nullptr;
  }

  HRESULT GetTypeAttr(TYPEATTR** attr) override {
    if (!attr) return E_INVALIDARG;
    *attr = &attr_;
    return S_OK;
  }
  HRESULT GetTypeComp(ITypeComp** comp) override { return NotHere(comp); }
  HRESULT GetVarDesc(UINT, VARDESC** desc) override {
    if (desc) *desc = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetDllEntry(MEMBERID, INVOKEKIND, BSTR* dll, BSTR* name, WORD* ordinal) override {
    if (dll) *dll = nullptr;
    if (name) *name = nullptr;
    if (ordinal) *ordinal = 0;
    return E_NOTIMPL;
  }
  HRESULT AddressOfMember(MEMBERID, INVOKEKIND, void** address) override {
    return NotHere(address);
  }
  HRESULT CreateInstance(IUnknown*, REFIID, void** object) override { return NotHere(object); }
  HRESULT GetMops(MEMBERID, BSTR* mops) override { return NotHere(mops); }
  HRESULT GetContainingTypeLib(ITypeLib** lib, UINT* index) override {
    if (index) *index = 0;
    return NotHere(lib);
  }
  void ReleaseTypeAttr(TYPEATTR*) override {}
  void ReleaseFuncDesc(FUNCDESC*) override {}
  void ReleaseVarDesc(VARDESC*) override {}

 protected:
  template <class T>
  static HRESULT NotHere(T** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }

  TYPEATTR attr_{};
};

// One published member as FUNCDESC, with the storage its pointers point into.
struct FuncBlock {
  FUNCDESC desc{};
  std::vector<ELEMDESC> params;
  std::unique_ptr<TYPEDESC[]> pointees;  // what VT_PTR parameters point to
};

class InterfaceTypeInfoImpl final : public TypeInfoBase<InterfaceTypeInfoImpl> {
 public:
  explicit InterfaceTypeInfoImpl(const PublishedInterface& itf)
      : itf_(itf), entries_(itf.members().entries()), funcs_(entries_.size()) {
    attr_.guid = *itf.iid;
    attr_.memidConstructor = MEMBERID_NIL;
    attr_.memidDestructor = MEMBERID_NIL;
    attr_.cbSizeInstance = sizeof(void*);
    attr_.typekind = TKIND_INTERFACE;
    attr_.cFuncs = static_cast<WORD>(entries_.size());
    attr_.cImplTypes = 1;  // IDispatch
    attr_.cbSizeVft = static_cast<WORD>((kDispatchSlots + entries_.size()) * sizeof(void*));
    attr_.cbAlignment = alignof(void*);
    attr_.wTypeFlags = kInterfaceFlags;
    attr_.wMajorVerNum = kLibraryMajor;
    attr_.wMinorVerNum = kLibraryMinor;
    for (std::size_t i = 0; i < entries_.size(); ++i) Describe(entries_[i], &funcs_[i]);
  }

  HRESULT GetFuncDesc(UINT index, FUNCDESC** desc) override {
    if (!desc) return E_INVALIDARG;
    *desc = nullptr;
    if (index >= funcs_.size()) return TYPE_E_ELEMENTNOTFOUND;
    *desc = &funcs_[index].desc;
    return S_OK;
  }

  HRESULT GetNames(MEMBERID id, BSTR* names, UINT max_names, UINT* count) override {
    if (!names || !count) return E_INVALIDARG;
    *count = 0;
    const MemberEntry* e = Find(id);
    if (!e) return TYPE_E_ELEMENTNOTFOUND;
    if (max_names == 0) return S_OK;
    names[(*count)++] = Bstr(e->name).detach();
    for (const ParamInfo& p : e->signature.params) {
      if (*count == max_names) break;
      names[(*count)++] = Bstr(p.name).detach();
    }
    return S_OK;
  }

  HRESULT GetRefTypeOfImplType(UINT, HREFTYPE* ref) override {
    // The base is IDispatch, described by the platform's own library.
    if (ref) *ref = 0;
    return E_NOTIMPL;
  }
  HRESULT GetImplTypeFlags(UINT, INT* flags) override {
    if (flags) *flags = 0;
    return E_NOTIMPL;
  }
  HRESULT GetRefTypeInfo(HREFTYPE, ITypeInfo** info) override { return NotHere(info); }

  HRESULT GetIDsOfNames(OLECHAR** names, UINT count, MEMBERID* ids) override {
    if (!names || !ids) return E_INVALIDARG;
    if (count == 0) return S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = MEMBERID_NIL;
    const MemberEntry* member = nullptr;
    for (const MemberEntry& e : entries_) {
      if (SameName(e.name, names[0])) {
        member = &e;
        break;
      }
    }
    if (!member) return DISP_E_UNKNOWNNAME;
    ids[0] = member->dispid;
    HRESULT h = S_OK;
    // Parameters are numbered by position among the member's parameters.
    for (UINT i = 1; i < count; ++i) {
      const std::vector<ParamInfo>& params = member->signature.params;
      for (std::size_t p = 0; p < params.size(); ++p) {
        if (SameName(params[p].name, names[i])) ids[i] = static_cast<MEMBERID>(p);
      }
      if (ids[i] == MEMBERID_NIL) h = DISP_E_UNKNOWNNAME;
    }
    return h;
  }

  HRESULT Invoke(void* instance, MEMBERID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excep, UINT* arg_err) override {
    if (!instance) return E_INVALIDARG;
    return itf_.members().Invoke(instance, id, flags, params, result, excep, arg_err);
  }

  HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* help_context,
                           BSTR* help_file) override {
    if (help_context) *help_context = 0;
    if (help_file) *help_file = nullptr;
    if (id == MEMBERID_NIL) {
      SetOut(name, itf_.name);
      SetOut(doc, {});
      return S_OK;
    }
    const MemberEntry* e = Find(id);
    if (!e) {
      SetOut(name, {});
      SetOut(doc, {});
      return TYPE_E_ELEMENTNOTFOUND;
    }
    SetOut(name, e->name);
    SetOut(doc, e->signature.help);
    return S_OK;
  }

 private:
  const MemberEntry* Find(MEMBERID id) const {
    for (const MemberEntry& e : entries_) {
      if (e.dispid == id) return &e;
    }
    return nullptr;
  }

  static void Describe(const MemberEntry& e, FuncBlock* block) {
    const std::vector<ParamInfo>& params = e.signature.params;
    block->params.resize(params.size());
    block->pointees = std::make_unique<TYPEDESC[]>(params.size());
    for (std::size_t i = 0; i < params.size(); ++i) {
      const ParamInfo& p = params[i];
      TYPEDESC value{};
      value.vt = p.vt;
      if (p.vt == VT_USERDEFINED) value.hreftype = EnumRef(p.user_type);
      ELEMDESC& elem = block->params[i];
      elem = ELEMDESC{};
      if (p.by_ref) {
        block->pointees[i] = value;
        elem.tdesc.vt = VT_PTR;
        elem.tdesc.lptdesc = &block->pointees[i];
      } else {
        elem.tdesc = value;
      }
      elem.paramdesc.wParamFlags = p.flags;
    }
    FUNCDESC& d = block->desc;
    d.memid = e.dispid;
    d.lprgelemdescParam = block->params.empty() ? nullptr : block->params.data();
    d.funckind = FUNC_PUREVIRTUAL;
    d.invkind = InvokeKindOf(e.kind);
    d.callconv = CC_STDCALL;
    d.cParams = static_cast<SHORT>(params.size());
    d.oVft = static_cast<SHORT>(e.signature.slot * sizeof(void*));
    d.elemdescFunc.tdesc.vt = VT_HRESULT;
  }

  const PublishedInterface& itf_;
  const std::vector<MemberEntry>& entries_;
  std::vector<FuncBlock> funcs_;
};

class ClassTypeInfoImpl final : public TypeInfoBase<ClassTypeInfoImpl> {
 public:
  ClassTypeInfoImpl(const PublishedInterface& itf, ComPtr<ITypeInfo> default_interface)
      : itf_(itf), default_(std::move(default_interface)) {
    attr_.guid = *itf.clsid;
    attr_.memidConstructor = MEMBERID_NIL;
    attr_.memidDestructor = MEMBERID_NIL;
    attr_.typekind = TKIND_COCLASS;
    attr_.cImplTypes = 1;
    attr_.cbAlignment = alignof(void*);
    attr_.wTypeFlags = TYPEFLAG_FCANCREATE;
    attr_.wMajorVerNum = kLibraryMajor;
    attr_.wMinorVerNum = kLibraryMinor;
  }

  HRESULT GetFuncDesc(UINT, FUNCDESC** desc) override {
    if (desc) *desc = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetNames(MEMBERID, BSTR*, UINT, UINT* count) override {
    if (count) *count = 0;
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* ref) override {
    if (!ref) return E_INVALIDARG;
    *ref = 0;
    return index == 0 ? S_OK : TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetImplTypeFlags(UINT index, INT* flags) override {
    if (!flags) return E_INVALIDARG;
    *flags = index == 0 ? IMPLTYPEFLAG_FDEFAULT : 0;
    return index == 0 ? S_OK : TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetRefTypeInfo(HREFTYPE ref, ITypeInfo** info) override {
    if (!info) return E_INVALIDARG;
    *info = nullptr;
    if (ref != 0) return TYPE_E_ELEMENTNOTFOUND;
    *info = ComPtr<ITypeInfo>(default_).detach();
    return S_OK;
  }
  HRESULT GetIDsOfNames(OLECHAR**, UINT, MEMBERID*) override { return DISP_E_UNKNOWNNAME; }
  HRESULT Invoke(void*, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* help_context,
                           BSTR* help_file) override {
    if (help_context) *help_context = 0;
    if (help_file) *help_file = nullptr;
    SetOut(doc, {});
    SetOut(name, id == MEMBERID_NIL ? itf_.class_name : std::string_view());
    return id == MEMBERID_NIL ? S_OK : TYPE_E_ELEMENTNOTFOUND;
  }

 private:
  const PublishedInterface& itf_;
  ComPtr<ITypeInfo> default_;
};

struct Described {
  ComPtr<ITypeInfo> interface_info;
  ComPtr<ITypeInfo> class_info;
};

// Built once, on first use, for the life of the process; the descriptions
// never change, so any thread may read them.
const std::vector<Described>& AllDescribed() {
  static const std::vector<Described> all = [] {
    std::vector<Described> v;
    for (const PublishedInterface& itf : PublishedInterfaces()) {
      ComPtr<ITypeInfo> info = MakeCom<InterfaceTypeInfoImpl>(itf);
      ComPtr<ITypeInfo> cls = MakeCom<ClassTypeInfoImpl>(itf, info);
      v.push_back({info, cls});
    }
    return v;
  }();
  return all;
}

std::int32_t Hand(const GUID& iid, ITypeInfo** info, ComPtr<ITypeInfo> Described::*which) {
  if (!info) return E_INVALIDARG;
  *info = nullptr;
  std::span<const PublishedInterface> itfs = PublishedInterfaces();
  for (std::size_t i = 0; i < itfs.size(); ++i) {
    if (*itfs[i].iid == iid) {
      *info = ComPtr<ITypeInfo>(AllDescribed()[i].*which).detach();
      return S_OK;
    }
  }
  return TYPE_E_ELEMENTNOTFOUND;
}

}  // namespace

std::int32_t InterfaceTypeInfo(const GUID& iid, ITypeInfo** info) {
  return Hand(iid, info, &Described::interface_info);
}

std::int32_t ClassTypeInfo(const GUID& iid, ITypeInfo** info) {
  return Hand(iid, info, &Described::class_info);
}

}  // namespace tarvik::automation
