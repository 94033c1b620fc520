# Builds the tool for one frame geometry, refusing geometries whose frame
# size does not fit the signed 32-bit arithmetic it is computed in.
function(check_frame_geometry width height)
  foreach(value IN ITEMS ${width} ${height})
    if(NOT value MATCHES "^[0-9]+$" OR value EQUAL 0)
      message(FATAL_ERROR "Frame width and height must be positive whole numbers, got ${width}x${height}")
    endif()
  endforeach()
  math(EXPR area "${width} * ${height}")
  if(NOT area LESS_EQUAL 715827882)
    message(FATAL_ERROR "Frame ${width}x${height} is too large: width x height x 3 must fit in a signed 32-bit integer")
  endif()
endfunction()

function(add_framesplice_tool target width height)
  check_frame_geometry(${width} ${height})
  add_executable(${target}
    ${PROJECT_SOURCE_DIR}/src/main.cpp
    ${PROJECT_SOURCE_DIR}/src/frame_copy.cpp
    ${PROJECT_SOURCE_DIR}/src/file_open.cpp)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(${target} PRIVATE FRAMESPLICE_WIDTH=${width} FRAMESPLICE_HEIGHT=${height})
endfunction()
