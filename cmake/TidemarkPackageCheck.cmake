# Builds the Debian package of a build folder, unpacks it into a scratch root with dpkg -x and
# checks what is there: the files, the dependencies, and that the program runs from there.
# Run as: cmake -DBUILD_DIR=... -DSCRATCH=... -DVERSION=... -P TidemarkPackageCheck.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${SCRATCH})
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} --config ${BUILD_DIR}/CPackConfig.cmake
                        -B ${SCRATCH}/out
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${output}")
endif()
set(deb ${SCRATCH}/out/tidemark_${VERSION}_amd64.deb)
if(NOT EXISTS ${deb})
  message(FATAL_ERROR "no ${deb}:\n${output}")
endif()

execute_process(COMMAND dpkg-deb --field ${deb} Depends OUTPUT_VARIABLE depends
                RESULT_VARIABLE result)
foreach(library libc6 libqt6widgets6 libqt6core6)
  if(NOT result EQUAL 0 OR NOT depends MATCHES "${library}")
    message(FATAL_ERROR "the package does not depend on ${library}: ${depends}")
  endif()
endforeach()

set(root ${SCRATCH}/root)
execute_process(COMMAND dpkg -x ${deb} ${root} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "dpkg -x failed")
endif()
set(id org.example.Tidemark)
foreach(installed
    usr/bin/tidemark
    usr/share/applications/${id}.desktop
    usr/share/icons/hicolor/scalable/apps/${id}.svg
    usr/share/metainfo/${id}.metainfo.xml)
  if(NOT EXISTS ${root}/${installed})
    message(FATAL_ERROR "not in the package: ${installed}")
  endif()
endforeach()

# From the scratch root, with no display.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                        --unset=QT_QPA_PLATFORM ${root}/usr/bin/tidemark --version
                RESULT_VARIABLE result OUTPUT_VARIABLE version)
if(NOT result EQUAL 0 OR NOT version STREQUAL "Tidemark ${VERSION}\n")
  message(FATAL_ERROR "tidemark --version from the package: ${result} '${version}'")
endif()
