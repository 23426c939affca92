# Checks the built programs for the hardening Debian gives its own: PIE,
# full RELRO (read-only relocations, bound at start), a stack protector, and
# functions fortified where the compiler cannot prove a call safe (seen in a
# probe built with the same flags).
# cmake -DREADELF=... -DPROBE=... -DPROGRAMS="a;b" -P hardening.cmake

function(read_elf binary what out)
  execute_process(COMMAND "${READELF}" ${what} -W "${binary}" OUTPUT_VARIABLE text RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "hardening: readelf ${what} ${binary} failed")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(require text pattern what)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "hardening: ${what}")
  endif()
endfunction()

foreach(program IN LISTS PROGRAMS)
  read_elf("${program}" --file-header header)
  read_elf("${program}" --dynamic dynamic)
  read_elf("${program}" --program-headers segments)
  read_elf("${program}" --dyn-syms symbols)
  require("${header}" "Type: +DYN" "${program} is not position-independent")
  require("${dynamic}" "FLAGS_1\\)[^\n]* PIE" "${program} is not a PIE")
  require("${dynamic}" "BIND_NOW|FLAGS_1\\)[^\n]* NOW" "${program} does not bind at start (no BIND_NOW)")
  require("${segments}" "GNU_RELRO" "${program} has no read-only relocations (no RELRO)")
  require("${symbols}" "__stack_chk_fail" "${program} has no stack protector")
endforeach()
read_elf("${PROBE}" --dyn-syms probe)
require("${probe}" "__strcpy_chk" "functions are not fortified: the probe calls no __strcpy_chk")
