# Links the program a second time, later and into another folder, packs it
# there, and checks that the exe, the ZIP and SHA256SUMS come out byte for byte
# as the build's own; and that the exe carries no time stamp, no folder of this
# build and no compile date. The objects are the build's own: only the link and
# the packing are redone.
#
# BUILD_DIR: the build tree with the program and its package;
# SECOND_DIR, SECOND_TARGET: where and by which target the second package is made;
# NAME: the package's name without .zip; SOURCE_DIR: the source tree.

set(program PelmoraVantrel.exe)
set(first_exe "${BUILD_DIR}/${program}")
foreach(file "${first_exe}" "${BUILD_DIR}/${NAME}.zip" "${BUILD_DIR}/SHA256SUMS")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "No ${file}: build the 'package' target first")
  endif()
endforeach()

# A little-endian 32-bit field of a file, in hexadecimal.
function(read_dword file offset out)
  file(READ "${file}" bytes OFFSET ${offset} LIMIT 4 HEX)
  string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" swapped "${bytes}")
  set(${out} "0x${swapped}" PARENT_SCOPE)
endfunction()

# The PE header's time stamp and checksum.
function(read_pe_stamp file stamp_out checksum_out)
  read_dword("${file}" 60 header)
  math(EXPR header "${header}")
  math(EXPR stamp_at "${header} + 8")
  math(EXPR checksum_at "${header} + 24 + 64")
  read_dword("${file}" ${stamp_at} stamp)
  read_dword("${file}" ${checksum_at} checksum)
  set(${stamp_out} ${stamp} PARENT_SCOPE)
  set(${checksum_out} ${checksum} PARENT_SCOPE)
endfunction()

# The date of a ZIP's first entry, as its local header holds it (DOS date and time).
function(read_zip_date file out)
  file(READ "${file}" bytes OFFSET 10 LIMIT 4 HEX)
  string(REGEX REPLACE "(..)(..)(..)(..)" "0x\\2\\1;0x\\4\\3" words "${bytes}")
  list(GET words 0 time)
  list(GET words 1 date)
  math(EXPR year "(${date} >> 9) + 1980")
  math(EXPR month "(${date} >> 5) & 15")
  math(EXPR day "${date} & 31")
  math(EXPR hour "${time} >> 11")
  math(EXPR minute "(${time} >> 5) & 63")
  math(EXPR second "(${time} & 31) * 2")
  foreach(part month day hour minute second)
    if(${part} LESS 10)
      set(${part} "0${${part}}")
    endif()
  endforeach()
  set(${out} "${year}-${month}-${day} ${hour}:${minute}:${second} UTC" PARENT_SCOPE)
endfunction()

# The offset of the first byte where two files differ, in 4 KiB steps and then byte by byte.
function(first_difference a b out)
  file(SIZE "${a}" size_a)
  file(SIZE "${b}" size_b)
  set(offset 0)
  while(offset LESS size_a AND offset LESS size_b)
    file(READ "${a}" chunk_a OFFSET ${offset} LIMIT 4096 HEX)
    file(READ "${b}" chunk_b OFFSET ${offset} LIMIT 4096 HEX)
    if(NOT chunk_a STREQUAL chunk_b)
      string(LENGTH "${chunk_a}" length)
      set(at 0)
      while(at LESS length)
        string(SUBSTRING "${chunk_a}" ${at} 2 byte_a)
        string(SUBSTRING "${chunk_b}" ${at} 2 byte_b)
        if(NOT byte_a STREQUAL byte_b)
          math(EXPR found "${offset} + ${at} / 2")
          set(${out} "${found} (0x${byte_a} against 0x${byte_b})" PARENT_SCOPE)
          return()
        endif()
        math(EXPR at "${at} + 2")
      endwhile()
    endif()
    math(EXPR offset "${offset} + 4096")
  endwhile()
  set(${out} "the end of the shorter file" PARENT_SCOPE)
endfunction()

set(failures "")

# The build's SHA256SUMS checks its ZIP as `sha256sum -c` reads it.
file(READ "${BUILD_DIR}/SHA256SUMS" sums)
file(SHA256 "${BUILD_DIR}/${NAME}.zip" zip_hash)
message("SHA256SUMS of the build holds: ${sums}")
if(NOT sums STREQUAL "${zip_hash}  ${NAME}.zip\n")
  string(APPEND failures "SHA256SUMS does not read \"${zip_hash}  ${NAME}.zip\" and a line end\n")
endif()

# The second link comes in a later second than the first, so that a time
# stamp would differ: wait for the clock (as the file system reads it) to pass it.
file(TIMESTAMP "${first_exe}" first_linked "%s" UTC)
set(probe "${SECOND_DIR}.clock-probe")
foreach(attempt RANGE 50)
  file(TOUCH "${probe}")
  file(TIMESTAMP "${probe}" now "%s" UTC)
  if(now GREATER first_linked)
    break()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 0.2)
endforeach()
file(REMOVE "${probe}")
if(NOT now GREATER first_linked)
  message(FATAL_ERROR "The clock did not pass the first link's time (${first_linked}) within 10 s; it reads ${now}")
endif()

file(REMOVE_RECURSE "${SECOND_DIR}")
file(MAKE_DIRECTORY "${SECOND_DIR}")
execute_process(COMMAND ${CMAKE_COMMAND} --build "${BUILD_DIR}" --target ${SECOND_TARGET}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "Building ${SECOND_TARGET} failed (${result}):\n${output}")
endif()
set(second_exe "${SECOND_DIR}/${program}")
file(TIMESTAMP "${first_exe}" first_time "%Y-%m-%d %H:%M:%S" UTC)
file(TIMESTAMP "${second_exe}" second_time "%Y-%m-%d %H:%M:%S" UTC)
message("Linked at ${first_time} into ${BUILD_DIR}, and again at ${second_time} into ${SECOND_DIR}")

foreach(file ${program} ${NAME}.zip SHA256SUMS)
  set(first "${BUILD_DIR}/${file}")
  set(second "${SECOND_DIR}/${file}")
  file(SIZE "${first}" first_size)
  file(SIZE "${second}" second_size)
  file(SHA256 "${first}" first_hash)
  file(SHA256 "${second}" second_hash)
  message("${file}: ${first_size} bytes, sha256 ${first_hash}; again: ${second_size} bytes, sha256 ${second_hash}")
  if(NOT first_hash STREQUAL second_hash)
    first_difference("${first}" "${second}" where)
    string(APPEND failures "${file} differs between the two builds, first at byte ${where}\n")
  endif()
endforeach()
# The entries' date: a package made before the last commit carries that commit's time.
read_zip_date("${BUILD_DIR}/${NAME}.zip" first_date)
read_zip_date("${SECOND_DIR}/${NAME}.zip" second_date)
message("ZIP entries dated ${first_date}; again: ${second_date}")

read_pe_stamp("${first_exe}" first_stamp first_checksum)
read_pe_stamp("${second_exe}" second_stamp second_checksum)
message("PE time stamp ${first_stamp}, checksum ${first_checksum}; again: time stamp ${second_stamp}, checksum ${second_checksum}")
if(NOT first_stamp STREQUAL "0x00000000")
  string(APPEND failures "The PE header carries a time stamp: ${first_stamp}\n")
endif()

# No folder of this build in the exe, in narrow or in UTF-16 text.
file(READ "${first_exe}" exe_hex HEX)
foreach(folder "${SOURCE_DIR}" "${BUILD_DIR}")
  string(HEX "${folder}" narrow)
  string(REGEX REPLACE "(..)" "\\100" wide "${narrow}")
  foreach(form narrow wide)
    string(FIND "${exe_hex}" "${${form}}" at)
    if(NOT at EQUAL -1)
      math(EXPR at "${at} / 2")
      string(APPEND failures "The exe holds the folder ${folder} (${form} text) at byte ${at}\n")
    endif()
  endforeach()
endforeach()
# Nor a compile date or time as __DATE__ and __TIME__ write them.
file(STRINGS "${first_exe}" dates
     REGEX "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123][0-9] [12][0-9][0-9][0-9]|[0-2][0-9]:[0-5][0-9]:[0-5][0-9]")
if(dates)
  string(APPEND failures "The exe holds texts like a compile date or time: ${dates}\n")
endif()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message("Both builds give the same bytes")
