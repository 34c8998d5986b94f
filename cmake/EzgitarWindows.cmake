# What every Windows program of ours carries: a manifest that makes UTF-8
# its code page, so that argv and the narrow C library calls speak UTF-8 as
# they do on Linux. `ezgitar_windows_program(<target>)` adds it; the window
# and the command line both use it.
function(ezgitar_windows_program target)
  set(EZGITAR_MANIFEST_NAME ${target})
  set(dir ${PROJECT_BINARY_DIR}/win32/${target})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/ezgitar.manifest.in ${dir}/${target}.manifest @ONLY)
  # 1 is the process's own manifest, 24 the manifest resource type.
  file(CONFIGURE OUTPUT ${dir}/${target}-manifest.rc
       CONTENT "1 24 \"${dir}/${target}.manifest\"\n")
  target_sources(${target} PRIVATE ${dir}/${target}-manifest.rc)
endfunction()

# CLI11 and fmt as headers only, from a folder of their own: Debian's
# package files would put /usr/include, and with it glibc's headers, on the
# cross compiler's path.
function(ezgitar_windows_header_libraries)
  set(staged ${PROJECT_BINARY_DIR}/staged-include)
  file(COPY /usr/include/CLI /usr/include/fmt DESTINATION ${staged})
  add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staged})
  add_library(fmt::fmt INTERFACE IMPORTED GLOBAL)
  set_target_properties(fmt::fmt PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staged}
                        INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY)
endfunction()
