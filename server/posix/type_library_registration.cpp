// Without a system registry of type libraries, the class registry entry
// (which names the library id) is all there is to register; type
// information is answered by the objects themselves.
#include "server/type_library_registration.h"

namespace tarvik::server {

HRESULT RegisterTypeLibrary(const std::string&) { return S_OK; }
HRESULT UnregisterTypeLibrary() { return S_OK; }

}  // namespace tarvik::server
