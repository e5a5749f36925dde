# Delay-loaded system libraries for the Windows build: a program linked against
# zv_delay_<name> maps <name>.dll on its first call into it instead of at process start.
# The launcher idles for hours in the background; libraries that only the update flow or a
# rare event needs stay out of its memory and out of its start-up until then.
#
# The delay-import library is made at configure time from the toolchain's ordinary import
# library (its export names) with dlltool -y; the CRT's __delayLoadHelper2 does the loading.
if(NOT WIN32)
  return()
endif()

find_program(ZV_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
find_program(ZV_NM NAMES x86_64-w64-mingw32-nm REQUIRED)

function(zv_delay_import_library name)
  set(target zv_delay_${name})
  if(TARGET ${target})
    return()
  endif()
  find_library(ZV_IMPORT_LIB_${name} NAMES ${name} REQUIRED NO_CACHE)
  set(dir ${CMAKE_BINARY_DIR}/delay-import)
  set(def ${dir}/${name}.def)
  set(lib ${dir}/lib${name}_delay.a)
  file(MAKE_DIRECTORY ${dir})
  if(NOT EXISTS ${lib} OR ${ZV_IMPORT_LIB_${name}} IS_NEWER_THAN ${lib})
    execute_process(COMMAND ${ZV_DLLTOOL} -I ${ZV_IMPORT_LIB_${name}}
                    OUTPUT_VARIABLE dll OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${ZV_NM} ${ZV_IMPORT_LIB_${name}}
                    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    # Every "__imp_X" of the import library names one export X.
    string(REGEX MATCHALL "[ \t]I __imp_[^\r\n]+" imports "${symbols}")
    list(TRANSFORM imports REPLACE "^[ \t]I __imp_" "")
    list(REMOVE_DUPLICATES imports)
    list(SORT imports)
    list(JOIN imports "\n" exports)
    file(WRITE ${def} "LIBRARY ${dll}\nEXPORTS\n${exports}\n")
    execute_process(COMMAND ${ZV_DLLTOOL} -m i386:x86-64 -d ${def} -y ${lib} COMMAND_ERROR_IS_FATAL ANY)
  endif()
  add_library(${target} STATIC IMPORTED GLOBAL)
  # Its loader, __delayLoadHelper2, comes with the CRT (mingwex, linked by default).
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${lib})
endfunction()

foreach(name shell32 setupapi version wininet)
  zv_delay_import_library(${name})
endforeach()
