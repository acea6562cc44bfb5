# Every subsystem is built twice: once for Vandrel and once, with
# VANDREL_OLDER_VARIANT defined, for Ostrel.  The variant is a compile-time
# choice, so the two flavours never share an object file.
#
#   vandrel_subsystem(<name> DEPENDS <lower subsystems...> [LIBS <external targets...>])
#
# creates the targets sub_<name> and sub_<name>_ostrel from every source in the calling directory.
# Static objects (options, translated texts) register themselves from their
# constructors, so the programs and tests link the subsystems whole
# (vandrel_link_subsystems) and the linker never drops one.

set(VANDREL_FLAVOURS "" "_ostrel")

function(vandrel_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPENDS;LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
    "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp"
    "${CMAKE_CURRENT_SOURCE_DIR}/*.S")
  foreach(flavour IN LISTS VANDREL_FLAVOURS)
    set(target "sub_${name}${flavour}")
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC "${CMAKE_SOURCE_DIR}/src")
    if(flavour STREQUAL "_ostrel")
      target_compile_definitions(${target} PUBLIC VANDREL_OLDER_VARIANT=1)
    endif()
    foreach(dep IN LISTS ARG_DEPENDS)
      target_link_libraries(${target} PUBLIC "$<LINK_LIBRARY:WHOLE_ARCHIVE,sub_${dep}${flavour}>")
    endforeach()
    if(ARG_LIBS)
      target_link_libraries(${target} PUBLIC ${ARG_LIBS})
    endif()
  endforeach()
endfunction()

# Links the named subsystems (and everything below them) whole into target.
#   vandrel_link_subsystems(<target> <flavour: "" or "_ostrel"> <subsystems...>)
function(vandrel_link_subsystems target flavour)
  foreach(sub IN LISTS ARGN)
    target_link_libraries(${target} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,sub_${sub}${flavour}>")
  endforeach()
endfunction()
