# What identifies a program to Windows, from the project's one version and
# the Linux window's icon: VERSIONINFO, the icon in every size, and a manifest
# (asInvoker, per-monitor DPI awareness, long paths, the UTF-8 code page; the
# common controls 6 for a window).
#   corvane_windows_resources(TARGET "Description" [WINDOW])
set(CORVANE_WINDOWS_DIR ${CMAKE_CURRENT_LIST_DIR})

function(corvane_windows_resources target description)
  cmake_parse_arguments(PARSE_ARGV 2 arg "WINDOW" "" "")
  set(PROGRAM_NAME ${target})
  set(PROGRAM_DESCRIPTION ${description})
  set(WINDOWS_VERSION ${PROJECT_VERSION}.0)
  string(REPLACE "." "," WINDOWS_VERSION_COMMAS ${WINDOWS_VERSION})
  string(TIMESTAMP COPYRIGHT_YEAR "%Y" UTC)
  set(COMMON_CONTROLS "")
  if(arg_WINDOW)
    string(CONCAT COMMON_CONTROLS "\n  <dependency>\n    <dependentAssembly>\n"
           "      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"\n"
           "                        processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\n"
           "    </dependentAssembly>\n  </dependency>")
  endif()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources)
  configure_file(${CORVANE_WINDOWS_DIR}/version_info.rc.in ${dir}/version_info.rc @ONLY)
  configure_file(${CORVANE_WINDOWS_DIR}/program.manifest.in ${dir}/${target}.manifest @ONLY)
  configure_file(${CORVANE_WINDOWS_DIR}/program.rc.in ${dir}/program.rc @ONLY)
  set(icons)
  foreach(size 16 24 32 48 64 256)
    list(APPEND icons ${CORVANE_IMAGES_DIR}/usb-corvane-config-${size}.png)
  endforeach()
  add_custom_command(OUTPUT ${dir}/${target}.ico
    COMMAND python3 ${CORVANE_WINDOWS_DIR}/windows_images.py ico ${dir}/${target}.ico ${icons}
    DEPENDS ${CORVANE_WINDOWS_DIR}/windows_images.py ${icons})
  set_source_files_properties(${dir}/program.rc PROPERTIES OBJECT_DEPENDS ${dir}/${target}.ico)
  target_sources(${target} PRIVATE ${dir}/program.rc ${dir}/${target}.ico)
  add_dependencies(${target} corvane_images)
  target_include_directories(${target} PRIVATE ${dir})
endfunction()
