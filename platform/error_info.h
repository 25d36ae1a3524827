// Error info objects: the platform's way for a member that failed to say
// why, beside the HRESULT it returned. The interfaces stand in the platform's
// vtable order with its IIDs, and the three functions have its signatures, so
// a client on Windows reads our errors with its own GetErrorInfo.
//
//   The callee: CreateErrorInfo, fill it, SetErrorInfo(0, info), fail.
//   The caller: on a failed HRESULT, GetErrorInfo(0, &info) takes the record
//   (the thread has none afterwards); S_FALSE when there is none.
//
// One pending record per thread. Our own implementation on Linux
// (platform/posix/error_info.cpp); oleaut32's on Windows.
#pragma once

#include "platform/bstr.h"
#include "platform/com.h"

namespace tarvik {

// {1CF2B120-547D-101B-8E65-08002B2BD119}
inline constexpr IID IID_IErrorInfo = {
    0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
// {22F03340-547D-101B-8E65-08002B2BD119}
inline constexpr IID IID_ICreateErrorInfo = {
    0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
// {DF0B3D60-548F-101B-8E65-08002B2BD119}
inline constexpr IID IID_ISupportErrorInfo = {
    0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

// Read side. Each text comes back as a new BSTR the caller frees.
struct IErrorInfo : IUnknown {
  virtual HRESULT GetGUID(GUID* guid) = 0;  // the interface that defined the error
  virtual HRESULT GetSource(BSTR* source) = 0;
  virtual HRESULT GetDescription(BSTR* description) = 0;
  virtual HRESULT GetHelpFile(BSTR* help_file) = 0;
  virtual HRESULT GetHelpContext(DWORD* help_context) = 0;

 protected:
  ~IErrorInfo() = default;
};

// Write side; the texts are copied.
struct ICreateErrorInfo : IUnknown {
  virtual HRESULT SetGUID(REFIID guid) = 0;
  virtual HRESULT SetSource(OLECHAR* source) = 0;
  virtual HRESULT SetDescription(OLECHAR* description) = 0;
  virtual HRESULT SetHelpFile(OLECHAR* help_file) = 0;
  virtual HRESULT SetHelpContext(DWORD help_context) = 0;

 protected:
  ~ICreateErrorInfo() = default;
};

// An object says which of its interfaces leave error info on failure:
// S_OK for those, S_FALSE for the others.
struct ISupportErrorInfo : IUnknown {
  virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;

 protected:
  ~ISupportErrorInfo() = default;
};

// reserved must be 0. info nullptr clears the thread's record.
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info);
// Hands the thread's record over (the caller owns the reference) and clears
// it; S_FALSE with *info nullptr when there is none.
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info);
// A new, empty record to fill; QueryInterface it for IErrorInfo.
HRESULT CreateErrorInfo(ICreateErrorInfo** info);

}  // namespace tarvik
