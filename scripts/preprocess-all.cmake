# Runs the preprocessor over every source of a compile database that lies outside the build
# folder: proves that each header the build includes can be found, without compiling.
# cmake -DBUILD=DIR -P preprocess-all.cmake
file(READ "${BUILD}/compile_commands.json" db)
string(JSON count LENGTH "${db}")
math(EXPR last "${count} - 1")
set(checked 0)
# Sources that include their own moc output ("name.moc") get an empty stand-in: moc runs only
# in the build, and what it writes includes nothing a package provides.
set(stubs "${BUILD}/preprocess-stubs")
file(MAKE_DIRECTORY "${stubs}")
foreach(i RANGE ${last})
  string(JSON file GET "${db}" ${i} file)
  string(JSON dir GET "${db}" ${i} directory)
  string(JSON command GET "${db}" ${i} command)
  cmake_path(IS_PREFIX BUILD "${file}" NORMALIZE generated)
  if(generated)
    continue()
  endif()
  # No object and no dependency file: their folders do not exist before the build.
  string(REGEX REPLACE " -(o|MT|MF) [^ ]+" "" command "${command}")
  string(REPLACE " -MD " " " command "${command}")
  file(STRINGS "${file}" mocs REGEX "^#include \"[^\"/]+\\.moc\"")
  foreach(line IN LISTS mocs)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" moc "${line}")
    file(TOUCH "${stubs}/${moc}")
  endforeach()
  string(APPEND command " -iquote ${stubs}")
  execute_process(COMMAND sh -c "${command} -E -o /dev/null"
    WORKING_DIRECTORY "${dir}" RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${file}:\n${err}")
  endif()
  math(EXPR checked "${checked} + 1")
endforeach()
message(STATUS "preprocessed ${checked} sources")
