# Pads the installer image with zero bytes up to the trailer offset, so the
# file list appended after it starts where the installer seeks. An image
# already larger than the offset would overlap the list: fail, and remove it
# so that the next build does not take it as up to date.
file(SIZE "${IMAGE}" size)
if(size GREATER OFFSET)
  file(REMOVE "${IMAGE}")
  message(FATAL_ERROR "installer image is ${size} bytes, more than the trailer offset ${OFFSET}")
endif()
execute_process(COMMAND truncate -s ${OFFSET} "${IMAGE}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE "${IMAGE}")
  message(FATAL_ERROR "could not pad ${IMAGE} to ${OFFSET} bytes")
endif()
message(STATUS "installer image: ${size} bytes, padded to ${OFFSET}")
