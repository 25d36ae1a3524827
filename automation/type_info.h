// Type information of the published interfaces, as IDispatch::GetTypeInfo
// and IProvideClassInfo::GetClassInfo hand it out. On Windows it comes from
// the type library in the DLL's own resources (automation/win/); elsewhere
// it is built from the member tables (automation/posix/). Either way it is
// the same description the type library was compiled from.
//
// Written in forward declarations only, so that the Windows unit can include
// it beside <windows.h> without our runtime headers.
#pragma once

#include <cstdint>

namespace tarvik {
struct GUID;
struct ITypeInfo;
}  // namespace tarvik

namespace tarvik::automation {

// The type info of published interface `iid`, with a new reference in
// *info. TYPE_E_ELEMENTNOTFOUND for an interface the library does not
// publish; the library's own failure (a missing resource) as it came.
std::int32_t InterfaceTypeInfo(const GUID& iid, ITypeInfo** info);

// The type info of the class whose default interface is `iid` (a coclass:
// its name is the class name scripts show, "Invoice").
std::int32_t ClassTypeInfo(const GUID& iid, ITypeInfo** info);

}  // namespace tarvik::automation
