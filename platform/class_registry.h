// The class registry: which library serves which class. Registration writes
// class id, program id, library path and threading model into a JSON file;
// CreateObject(progid) reads it, loads the library and asks its factory.
//
// The file is $TARVIK_CLASS_REGISTRY when set, else
// $XDG_CONFIG_HOME/tarvik/classes.json, else ~/.config/tarvik/classes.json.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/com.h"

namespace tarvik {

struct ClassRegistration {
  std::string clsid;      // registry form of the GUID
  std::string progid;     // as in tarvik/progids.h
  std::string library;    // absolute path of the in-process server
  std::string threading;  // "Apartment"
  std::vector<std::string> interfaces;  // "{iid} _Invoice"
  std::string typelib;    // "{libid} TarvikInvoice 1.0"
};

std::string ClassRegistryPath();
// Adds or replaces the entry of the same clsid. Throws AutomationError on I/O failure.
void RegisterClass(const ClassRegistration& reg);
// Removes the entry; false when it was not there.
bool UnregisterClass(const std::string& clsid);
std::optional<ClassRegistration> FindClassByProgId(const std::string& progid);
std::vector<ClassRegistration> RegisteredClasses();

// Loads the server of progid (once per library per process) and creates an
// object, returning its IDispatch. Failure: REGDB_E_CLASSNOTREG for an unknown
// progid, CLASS_E_CLASSNOTAVAILABLE, or the factory's code; out stays empty.
HRESULT CreateObject(const std::string& progid, ComPtr<IDispatch>* out);

}  // namespace tarvik
