# glossmith_install_python_module(): installs the glossmith package, for
# cmake --install. Its own function and policies, so that nothing leaks into
# the install script that includes it.
cmake_policy(VERSION 3.25)

# python: the interpreter built for; site_dir_script: site_dir.py; site_dir:
# the folder under the prefix, or empty to ask the interpreter; module: the
# built extension; python_files: the package's other files; libdir: the
# library's folder under the prefix when the module links it, else empty.
# strip: the strip program, used when installing stripped (CPack's packages).
function(glossmith_install_python_module python site_dir_script site_dir module python_files libdir
         strip)
  if(site_dir STREQUAL "")
    execute_process(COMMAND "${python}" -s -E "${site_dir_script}" "${CMAKE_INSTALL_PREFIX}"
                    OUTPUT_VARIABLE answer OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${python} cannot tell where its packages go under ${CMAKE_INSTALL_PREFIX}")
    endif()
    string(REPLACE "\n" ";" answer "${answer}")
    list(GET answer 0 site_dir)
    list(GET answer 1 searched)
    if(NOT searched STREQUAL "searched")
      message(NOTICE "-- ${python} does not look in ${CMAKE_INSTALL_PREFIX}/${site_dir}: "
                     "import glossmith with PYTHONPATH=${CMAKE_INSTALL_PREFIX}/${site_dir}")
    endif()
  endif()

  set(destination "${CMAKE_INSTALL_PREFIX}/${site_dir}/glossmith")
  file(INSTALL DESTINATION "${destination}" TYPE MODULE FILES "${module}"
       PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                   WORLD_READ WORLD_EXECUTE)
  get_filename_component(module_name "${module}" NAME)
  set(installed "$ENV{DESTDIR}${destination}/${module_name}")
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr" OR libdir STREQUAL "")
    # The system's library folder is searched anyway.
    file(RPATH_REMOVE FILE "${installed}")
  else()
    # Under any other prefix the module finds the library installed with it.
    file(RELATIVE_PATH to_libdir "${destination}" "${CMAKE_INSTALL_PREFIX}/${libdir}")
    file(RPATH_SET FILE "${installed}" NEW_RPATH "\$ORIGIN/${to_libdir}")
  endif()
  if(CMAKE_INSTALL_DO_STRIP AND strip)
    execute_process(COMMAND "${strip}" "${installed}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(INSTALL DESTINATION "${destination}" TYPE FILE FILES ${python_files})
endfunction()
