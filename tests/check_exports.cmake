# Fails when the shared library exports a symbol outside its facade.
# -DLIB=<path> -DALLOWED=<regex matched against demangled symbol names>
execute_process(COMMAND nm -D --defined-only -C ${LIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REPLACE "\n" ";" lines "${symbols}")
set(stray "")
foreach(line IN LISTS lines)
  if(line STREQUAL "")
    continue()
  endif()
  # Address, type letter, name.
  string(REGEX REPLACE "^[0-9a-f]+ [A-Za-z] " "" name "${line}")
  # Run-time type data of standard-library and Qt classes is emitted by the
  # compiler (UBSan's checks add more of it); it carries no code of ours.
  if(name MATCHES "^(typeinfo( name)?|vtable) for (std::|Q)")
    continue()
  endif()
  # Standard-library templates instantiated here keep their default
  # visibility, and the linker adds its section markers.
  # AddressSanitizer marks each exported global with an __odr_asan twin.
  if(name MATCHES "^__odr_asan")
    continue()
  endif()
  if(name MATCHES "(^| )std::" OR name MATCHES "^(__bss_start|_edata|_end|_init|_fini)$")
    continue()
  endif()
  if(NOT name MATCHES "${ALLOWED}")
    string(APPEND stray "  ${name}\n")
  endif()
endforeach()
if(NOT stray STREQUAL "")
  message(FATAL_ERROR "${LIB} exports symbols outside its facade:\n${stray}")
endif()
message(STATUS "${LIB}: only facade symbols exported")
