# Installs the build into a temporary prefix, builds a small consumer with
# find_package(NuvrixConfigService) and runs it: it loads the installed
# plug-in with dlopen and reads a value from the installed defaults. Also
# checks that pkg-config finds the package. Run with cmake -P.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run_step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${out}\n${err}")
  endif()
  set(step_output "${out}" PARENT_SCOPE)
endfunction()

run_step("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
run_step("consumer configure" ${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${WORK_DIR}/build -G ${GENERATOR}
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
run_step("consumer build" ${CMAKE_COMMAND} --build ${WORK_DIR}/build)
file(MAKE_DIRECTORY ${WORK_DIR}/config ${WORK_DIR}/local)
run_step("consumer run" ${CMAKE_COMMAND} -E env
  NUVRIX_CONFIG_DIR=${WORK_DIR}/config NUVRIX_LOCAL_APP_DIR=${WORK_DIR}/local
  NUVRIX_RESOURCES_DIR=${prefix}/share/nuvrix NUVRIX_LOG_LEVEL=1
  ${WORK_DIR}/build/consumer Meetings_Enabled)
if(NOT step_output STREQUAL "Meetings_Enabled=true from nuvrix-config-defaults.xml\n")
  message(FATAL_ERROR "unexpected consumer output: ${step_output}")
endif()
run_step("pkg-config" ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/lib/pkgconfig
  pkg-config --cflags --libs nuvrix-configservice)
# The include directories it names must hold the host's and the plug-in's
# headers.
string(REGEX MATCHALL "-I[^ \n]+" include_flags "${step_output}")
foreach(header unified/UnifiedFactory.h ConfigService.h)
  set(found FALSE)
  foreach(flag ${include_flags})
    string(SUBSTRING "${flag}" 2 -1 directory)
    if(EXISTS ${directory}/${header})
      set(found TRUE)
    endif()
  endforeach()
  if(NOT found)
    message(FATAL_ERROR "pkg-config names no directory holding ${header}: ${step_output}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
