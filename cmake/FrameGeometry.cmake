# The build's default frame size, used when a run names none. Refuses sizes
# that no run could use: not positive whole numbers, or past the picture
# size that libavutil accepts ((width + 128) x (height + 128) below 2^31 / 8).
function(check_frame_geometry width height)
  foreach(value IN ITEMS ${width} ${height})
    if(NOT value MATCHES "^[0-9]+$" OR value EQUAL 0)
      message(FATAL_ERROR "Frame width and height must be positive whole numbers, got ${width}x${height}")
    endif()
  endforeach()
  math(EXPR padded_area "(${width} + 128) * (${height} + 128)")
  if(NOT padded_area LESS 268435455)
    message(FATAL_ERROR "Frame ${width}x${height} is too large for libavutil")
  endif()
endfunction()

# Bytes of one yuv420p frame as ffmpeg stores it: chroma planes of odd sizes
# are rounded up.
function(yuv420p_frame_size width height result)
  math(EXPR bytes "${width} * ${height} + 2 * ((${width} + 1) / 2) * ((${height} + 1) / 2)")
  set(${result} ${bytes} PARENT_SCOPE)
endfunction()
