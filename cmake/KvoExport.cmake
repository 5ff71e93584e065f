# kvoexp_add_export(<target>
#                   SCENES <scene>...
#                   OUTPUT_DIR <dir>
#                   [OPTIONS <kvoexp option>...]
#                   [KEEP_STALE])
#
# Adds <target>, built by default, with one build step per scene:
#
#   kvoexp <OPTIONS> -q --prune --depfile <step>.d --depfile-target <step>.stamp
#          -o <OUTPUT_DIR>/<scene name> <scene>
#
# followed by touching <step>.stamp, the step's declared output: the .kvo files
# are unknown before the export, and Ninja takes only declared outputs as the
# depfile's targets.
# where <scene name> is the scene file's name without its extension (kvoexp's
# {scene}). Each step owns its folder: --prune removes the .kvo files of objects
# no longer in the scene (KEEP_STALE leaves them). With a Ninja generator the
# step is re-run when the scene or any file its import read changes (an OBJ's
# .mtl, a glTF's .bin, the textures it names), through the depfile; with other
# generators only when the scene file changes. The program is
# KVOEXP_EXECUTABLE, a path or a target, found on the PATH when unset. Relative
# scenes are taken from the current source directory, a relative OUTPUT_DIR from
# the current binary directory.
include_guard(GLOBAL)

# Depfile paths are absolute, so the step is the same under any policy; NEW
# spares the warning about the unset policy.
cmake_policy(PUSH)
cmake_policy(SET CMP0116 NEW)

function(kvoexp_add_export target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "KEEP_STALE" "OUTPUT_DIR" "SCENES;OPTIONS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kvoexp_add_export: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_SCENES)
    message(FATAL_ERROR "kvoexp_add_export(${target}): no SCENES given")
  endif()
  if(NOT arg_OUTPUT_DIR)
    message(FATAL_ERROR "kvoexp_add_export(${target}): no OUTPUT_DIR given")
  endif()
  if(NOT KVOEXP_EXECUTABLE)
    find_program(KVOEXP_EXECUTABLE kvoexp REQUIRED)
  endif()
  get_filename_component(out_dir "${arg_OUTPUT_DIR}" ABSOLUTE
                         BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  set(step_dir "${CMAKE_CURRENT_BINARY_DIR}/kvoexp_${target}")
  file(MAKE_DIRECTORY "${step_dir}")
  set(prune --prune)
  if(arg_KEEP_STALE)
    set(prune)
  endif()
  set(stamps)
  set(stems)
  foreach(scene IN LISTS arg_SCENES)
    get_filename_component(scene "${scene}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    get_filename_component(name "${scene}" NAME)
    # The name without its last extension; a leading dot is no extension.
    set(stem "${name}")
    if(name MATCHES "^(.+)\\.[^.]*$")
      set(stem "${CMAKE_MATCH_1}")
    endif()
    if(stem IN_LIST stems)
      message(FATAL_ERROR "kvoexp_add_export(${target}): two scenes export into ${out_dir}/${stem}")
    endif()
    list(APPEND stems "${stem}")
    set(stamp "${step_dir}/${stem}.stamp")
    set(depfile "${step_dir}/${stem}.d")
    set(depfile_args)
    if(CMAKE_GENERATOR MATCHES "Ninja")
      set(depfile_args DEPFILE "${depfile}")
    endif()
    add_custom_command(
      OUTPUT "${stamp}"
      COMMAND "${KVOEXP_EXECUTABLE}" ${arg_OPTIONS} -q ${prune} --depfile "${depfile}"
              --depfile-target "${stamp}" -o "${out_dir}/${stem}" "${scene}"
      COMMAND "${CMAKE_COMMAND}" -E touch "${stamp}"
      DEPENDS "${scene}" "${KVOEXP_EXECUTABLE}"
      ${depfile_args}
      COMMENT "kvoexp: ${name} -> ${out_dir}/${stem}"
      VERBATIM)
    list(APPEND stamps "${stamp}")
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${stamps})
endfunction()

cmake_policy(POP)
