# Installs the build into a scratch prefix and checks what landed there, with the desktop's own
# validators. Run as: cmake -DBUILD_DIR=... -DPREFIX=... -P TidemarkInstallCheck.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(id org.example.Tidemark)
foreach(installed
    bin/tidemark
    share/applications/${id}.desktop
    share/icons/hicolor/scalable/apps/${id}.svg
    share/metainfo/${id}.metainfo.xml)
  if(NOT EXISTS ${PREFIX}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

file(STRINGS ${PREFIX}/share/applications/${id}.desktop entry)
foreach(line "Exec=tidemark" "Icon=${id}")
  if(NOT line IN_LIST entry)
    message(FATAL_ERROR "the desktop entry lacks ${line}")
  endif()
endforeach()

foreach(check
    "desktop-file-validate;${PREFIX}/share/applications/${id}.desktop"
    "appstreamcli;validate;--no-net;--explain;${PREFIX}/share/metainfo/${id}.metainfo.xml")
  list(GET check 0 tool)
  find_program(tool_path ${tool})
  if(NOT tool_path)
    message(FATAL_ERROR "${tool} is needed for this check (scripts/install-deps.sh installs it)")
  endif()
  list(POP_FRONT check)
  execute_process(COMMAND ${tool_path} ${check} RESULT_VARIABLE result)
  unset(tool_path CACHE)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${tool} rejected what was installed")
  endif()
endforeach()
