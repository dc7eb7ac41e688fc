# The release a technician installs: DctDrv-<version>-win32.zip, made by CPack from the install rules
# below (scripts/package runs it and puts the archive into dist/). What a release holds is listed
# here and nowhere else; the release test (tests/release) checks the archive that comes out.
if(NOT WIN32)
  return()
endif()

# The library goes as built: its JCLDEBUG section is what its trace files are written from.
set(DCT_RELEASE_AS_BUILT
  DctDrv)
# The tools go without their DWARF, megabytes that nothing at a station reads.
set(DCT_RELEASE_STRIPPED
  TermSim
  TermSimServer
  dcthost)
# Pages: the file in this tree, and its name in the archive.
set(DCT_RELEASE_PAGES
  docs/technician.md README.md
  docs/tracing.md tracing.md
  tools/termsim/README.md TermSim.md)

add_custom_target(release_files)
add_dependencies(release_files ${DCT_RELEASE_AS_BUILT} ${DCT_RELEASE_STRIPPED})

foreach(target IN LISTS DCT_RELEASE_AS_BUILT DCT_RELEASE_STRIPPED)
  install(FILES $<TARGET_FILE:${target}> DESTINATION . COMPONENT release)
endforeach()
foreach(target IN LISTS DCT_RELEASE_STRIPPED)
  install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/$<TARGET_FILE_NAME:${target}>\"
                  COMMAND_ERROR_IS_FATAL ANY)" COMPONENT release)
endforeach()
set(pages ${DCT_RELEASE_PAGES})
while(pages)
  list(POP_FRONT pages source name)
  install(FILES ${source} DESTINATION . RENAME ${name} COMPONENT release)
endwhile()
# Last, so that it covers every other file of the archive.
install(CODE [[
  set(dir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  file(GLOB files LIST_DIRECTORIES false RELATIVE "${dir}" "${dir}/*")
  list(REMOVE_ITEM files SHA256SUMS)
  list(SORT files)
  set(sums "")
  foreach(file IN LISTS files)
    file(SHA256 "${dir}/${file}" sum)
    string(APPEND sums "${sum}  ${file}\n")
  endforeach()
  file(WRITE "${dir}/SHA256SUMS" "${sums}")
]] COMPONENT release)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME DctDrv)
set(CPACK_PACKAGE_VERSION ${CMAKE_PROJECT_VERSION})
set(DCT_RELEASE_ARCHIVE DctDrv-${CMAKE_PROJECT_VERSION}-win32)
set(CPACK_PACKAGE_FILE_NAME ${DCT_RELEASE_ARCHIVE})
# The release component alone: nothing that another project's install rules add can slip in.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};DctDrv;release;/")
include(CPack)
