# Guest programs for tests and benchmarks are real ARM/Thumb machine code,
# assembled here with the GNU cross binutils.
#
#   vandrel_guest(<name> <source.s> [ADDRESS <load address, default 0x08000000>])
#
# produces ${VANDREL_GUEST_DIR}/<name>.gba (a raw image for that address) and a
# target guest_<name>; the target `guests` builds them all.

find_program(ARM_AS arm-none-eabi-as REQUIRED)
find_program(ARM_LD arm-none-eabi-ld REQUIRED)
find_program(ARM_OBJCOPY arm-none-eabi-objcopy REQUIRED)
set(VANDREL_GUEST_DIR "${CMAKE_BINARY_DIR}/guest")
file(MAKE_DIRECTORY "${VANDREL_GUEST_DIR}")
if(NOT TARGET guests)
  add_custom_target(guests ALL)
endif()

function(vandrel_guest name source)
  cmake_parse_arguments(ARG "" "ADDRESS" "" ${ARGN})
  if(NOT ARG_ADDRESS)
    set(ARG_ADDRESS 0x08000000)
  endif()
  get_filename_component(src "${source}" ABSOLUTE)
  set(obj "${VANDREL_GUEST_DIR}/${name}.o")
  set(elf "${VANDREL_GUEST_DIR}/${name}.elf")
  set(img "${VANDREL_GUEST_DIR}/${name}.gba")
  add_custom_command(OUTPUT "${img}"
    COMMAND ${ARM_AS} -mcpu=arm7tdmi -o "${obj}" "${src}"
    COMMAND ${ARM_LD} -Ttext=${ARG_ADDRESS} -e ${ARG_ADDRESS} -o "${elf}" "${obj}"
    COMMAND ${ARM_OBJCOPY} -O binary "${elf}" "${img}"
    DEPENDS "${src}"
    COMMENT "Assembling guest program ${name}"
    VERBATIM)
  add_custom_target(guest_${name} DEPENDS "${img}")
  add_dependencies(guests guest_${name})
endfunction()
