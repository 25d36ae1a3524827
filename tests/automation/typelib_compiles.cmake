# Runs tarvik_idl and compiles its IDL with widl, as the build does, into a
# scratch folder; fails on any error or an output that is not a type library.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
set(widl ${WIDL} --win64 -I${WIDL_INCLUDE} -L${STDOLE2_DIR})
foreach(step
    "${GENERATOR};${OUT}/TarvikInvoice.idl"
    "${widl};-t;-o;${OUT}/TarvikInvoice.tlb;${OUT}/TarvikInvoice.idl"
    "${widl};-h;-o;${OUT}/TarvikInvoice_tlb.h;${OUT}/TarvikInvoice.idl"
    "${widl};-u;-o;${OUT}/TarvikInvoice_i.c;${OUT}/TarvikInvoice.idl")
  execute_process(COMMAND ${step} RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_VARIABLE out)
  if(NOT rc EQUAL 0 OR err MATCHES "warning|error")
    message(FATAL_ERROR "${step}: ${rc}\n${out}\n${err}")
  endif()
endforeach()
file(READ ${OUT}/TarvikInvoice.tlb magic LIMIT 4 HEX)
if(NOT magic STREQUAL "4d534654")  # "MSFT"
  message(FATAL_ERROR "TarvikInvoice.tlb is no type library (starts with '${magic}')")
endif()
file(READ ${OUT}/TarvikInvoice_tlb.h header)
foreach(decl "_Invoice : public IDispatch" "_BackOrder : public IDispatch" "SeekRecord(")
  string(FIND "${header}" "${decl}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "TarvikInvoice_tlb.h lacks '${decl}'")
  endif()
endforeach()
message(STATUS "TarvikInvoice.idl compiles")
