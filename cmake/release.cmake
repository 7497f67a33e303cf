# The release: the 32-bit product and a short read-me in qinglan-<version>.zip
# in the build tree (`cmake --build build/i686 --target release`). The
# executable is the one this tree builds, with the hosts it was configured for.
set(QL_RELEASE_VERSION 1.2)

if(NOT QL_ARCH STREQUAL "i686")
  add_custom_target(release
    COMMAND ${CMAKE_COMMAND} -E echo "The release holds the 32-bit program: build it in the i686 tree."
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
  return()
endif()

# What the read-me says about this build's endpoints.
foreach(n 1 2 3 4 5)
  set(QL_R_HOST${n} "${QL_CHANNEL${n}_HOST}")
  if(QL_R_HOST${n} STREQUAL "")
    set(QL_R_HOST${n} "-")
  endif()
endforeach()
if(QL_MANIFEST_HOST STREQUAL "")
  set(QL_R_UPDATE_ZH "本版本不检查更新。")
  set(QL_R_UPDATE_EN "This build does not check for updates.")
else()
  set(QL_R_UPDATE_ZH "启动时从 ${QL_MANIFEST_HOST} 检查更新；无法读取更新信息时程序会直接退出，有新版本时会打开 ${QL_WEBSITE_URL}。")
  set(QL_R_UPDATE_EN "At start it checks ${QL_MANIFEST_HOST} for a newer version; when that cannot be read the program ends at once, and a newer version opens ${QL_WEBSITE_URL}.")
endif()

set(stage_root ${CMAKE_BINARY_DIR}/release)
set(stage ${stage_root}/qinglan-${QL_RELEASE_VERSION})
set(readme ${stage_root}/README.txt)
# CR LF and a byte-order mark: Notepad on any Windows shows it as written.
configure_file(${PROJECT_SOURCE_DIR}/cmake/release-readme.txt.in ${readme} @ONLY NEWLINE_STYLE CRLF)
set(zip ${CMAKE_BINARY_DIR}/qinglan-${QL_RELEASE_VERSION}.zip)
add_custom_command(OUTPUT ${zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:qinglan> ${readme} ${stage}
  COMMAND ${CMAKE_STRIP} --strip-all ${stage}/qinglan.exe
  COMMAND ${CMAKE_COMMAND} -E rm -f ${zip}
  COMMAND ${CMAKE_COMMAND} -E chdir ${stage_root}
          ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip -- qinglan-${QL_RELEASE_VERSION}
  DEPENDS qinglan ${readme}
  COMMENT "Packing ${zip}"
  VERBATIM)
add_custom_target(release DEPENDS ${zip})
