# cmake -DDIST=<folder> -DEXPECTED=<a,b,...> -P CheckDist.cmake
# Fails unless the folder holds exactly the expected files: the deliverables
# and nothing else.
string(REPLACE "," ";" expected "${EXPECTED}")
list(SORT expected)
file(GLOB found RELATIVE ${DIST} ${DIST}/*)
list(SORT found)
message(STATUS "${DIST}: ${found}")
if(NOT found STREQUAL expected)
  set(extra ${found})
  list(REMOVE_ITEM extra ${expected})
  set(missing ${expected})
  if(found)
    list(REMOVE_ITEM missing ${found})
  endif()
  message(FATAL_ERROR "dist/ should hold ${expected}; not declared: ${extra}; missing: ${missing}")
endif()
