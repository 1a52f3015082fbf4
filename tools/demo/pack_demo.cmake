# Packs the demo members with the archivers this machine has, one archive
# per program found; a missing program only leaves its archive out.
#   cmake -DMEMBERS=... -DDEMO=... -DLHA=... -DGCAB=... -DARJ=... -P pack_demo.cmake
set(names bell-high.wav bell-low.wav waves/chord.wav)
foreach(archive sounds.lzh sounds.cab sounds.arj)
  file(REMOVE ${DEMO}/${archive})
endforeach()
if(LHA)
  execute_process(COMMAND ${LHA} a ${DEMO}/sounds.lzh ${names} WORKING_DIRECTORY ${MEMBERS}
    RESULT_VARIABLE result OUTPUT_QUIET)
endif()
if(GCAB)
  execute_process(COMMAND ${GCAB} -c -z ${DEMO}/sounds.cab ${names} WORKING_DIRECTORY ${MEMBERS}
    RESULT_VARIABLE result OUTPUT_QUIET)
endif()
if(ARJ)
  execute_process(COMMAND ${ARJ} a -y ${DEMO}/sounds.arj ${names} WORKING_DIRECTORY ${MEMBERS}
    RESULT_VARIABLE result OUTPUT_QUIET)
endif()
foreach(archive sounds.lzh sounds.cab sounds.arj)
  if(NOT EXISTS ${DEMO}/${archive})
    message(STATUS "Demo folder: ${archive} left out (no packer for it on this machine)")
  endif()
endforeach()
