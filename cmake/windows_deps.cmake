# The dependencies scripts/build-windows cross-built from Debian's sources,
# as the targets the Linux build gets from find_package.
set(TARVIK_WINDOWS_DEPS "" CACHE PATH "Folder of the cross-built dependencies")
if(NOT EXISTS "${TARVIK_WINDOWS_DEPS}/lib/libsqlite3.a")
  message(FATAL_ERROR "No cross-built dependencies in '${TARVIK_WINDOWS_DEPS}': run scripts/build-windows")
endif()
set(_deps ${TARVIK_WINDOWS_DEPS})

add_library(SQLite::SQLite3 STATIC IMPORTED)
set_target_properties(SQLite::SQLite3 PROPERTIES IMPORTED_LOCATION ${_deps}/lib/libsqlite3.a
                      INTERFACE_INCLUDE_DIRECTORIES ${_deps}/include/sqlite3)

add_library(SQLiteCpp STATIC IMPORTED)
set_target_properties(SQLiteCpp PROPERTIES IMPORTED_LOCATION ${_deps}/lib/libSQLiteCpp.a
                      INTERFACE_INCLUDE_DIRECTORIES ${_deps}/include/sqlitecpp
                      INTERFACE_LINK_LIBRARIES SQLite::SQLite3)

# Header-only; its own folder, so nothing else of /usr/include comes along.
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                      INTERFACE_INCLUDE_DIRECTORIES ${_deps}/include/json)

foreach(_lib gtest gtest_main gmock gmock_main)
  add_library(GTest::${_lib} STATIC IMPORTED)
  set_target_properties(GTest::${_lib} PROPERTIES IMPORTED_LOCATION ${_deps}/lib/lib${_lib}.a
                        INTERFACE_INCLUDE_DIRECTORIES ${_deps}/include/gtest)
endforeach()
set_target_properties(GTest::gtest_main PROPERTIES INTERFACE_LINK_LIBRARIES GTest::gtest)
set_target_properties(GTest::gmock PROPERTIES INTERFACE_LINK_LIBRARIES GTest::gtest)
