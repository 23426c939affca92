# MinGW's GCC cannot promise a stack aligned to 32 or 64 bytes (GCC bug
# 54412): an aligned vector move to the stack may fault on Windows. Fails
# where an object makes one.
# cmake -DOBJDUMP=... "-DOBJECTS=a.obj;b.obj" -P aligned_moves.cmake

foreach(object IN LISTS OBJECTS)
  execute_process(COMMAND "${OBJDUMP}" -d "${object}" OUTPUT_VARIABLE code RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "aligned moves: objdump ${object} failed")
  endif()
  string(REGEX MATCHALL "vmov(dqa|aps|apd|ntdq|ntps|ntpd)(32|64)?[ \t][^\n]*\\(%r[sb]p" moves "${code}")
  if(moves)
    list(GET moves 0 first)
    message(FATAL_ERROR "aligned moves: ${object} moves vectors to the stack aligned: ${first}")
  endif()
endforeach()
