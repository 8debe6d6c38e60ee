# Writes TW6_LINKER_SCRIPT: the linker's default script with the unwind tables of a few library
# objects no longer kept whatever happens, so that --gc-sections can drop their unused functions.
#
# Taken out are objects whose frames no exception of this program crosses:
# - string-inst.o and random.o: pulled in only by the chain below, never run (the program's own
#   strings are instantiated in its objects, C++20);
# - cow-string-inst.o and cow-stdexcept.o: the library's exception classes (std::logic_error
#   and its kin) and the reference-counted string that holds their message. An exception passes
#   through them only when memory runs out while an exception is being built; that ends the run
#   by std::terminate instead of the "Application Error" box.
# Every other object, the program's own included, keeps all its unwind tables.
set(TW6_LEAN_EH_OBJECTS string-inst.o random.o cow-string-inst.o cow-stdexcept.o)

execute_process(COMMAND ${CMAKE_CXX_COMPILER} -Wl,--verbose
                OUTPUT_VARIABLE linker_output ERROR_QUIET)
string(FIND "${linker_output}" "==================================================" first)
string(FIND "${linker_output}" "==================================================" last REVERSE)
if(first EQUAL -1 OR last EQUAL first)
  message(FATAL_ERROR "cannot read the linker's default script from ${CMAKE_CXX_COMPILER}")
endif()
math(EXPR from "${first} + 50")
math(EXPR length "${last} - ${from}")
string(SUBSTRING "${linker_output}" ${from} ${length} script)

set(kept "KEEP(*(.eh_frame*))")
string(FIND "${script}" "${kept}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the linker's default script has no \"${kept}\": see cmake/lean-eh-frame.cmake")
endif()
set(excluded "")
foreach(object ${TW6_LEAN_EH_OBJECTS})
  string(APPEND excluded " *libstdc++.a:${object}")
endforeach()
string(REPLACE "${kept}" "KEEP(*(EXCLUDE_FILE(${excluded}) .eh_frame*))\n    *(.eh_frame*)"
       script "${script}")
set(TW6_LINKER_SCRIPT ${CMAKE_BINARY_DIR}/TW6Maint.ld)
file(WRITE ${TW6_LINKER_SCRIPT} "${script}")
