# cmake -DFILE=path -DLIMIT=bytes -P check-size.cmake: fails when FILE is
# larger than LIMIT bytes.
file(SIZE "${FILE}" size)
if(size GREATER LIMIT)
  message(FATAL_ERROR "${FILE}: ${size} bytes, over the limit of ${LIMIT}")
endif()
message(STATUS "${FILE}: ${size} bytes, within ${LIMIT}")
