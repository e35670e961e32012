# glossmith_static_runtime(<target>): links the C++ runtime (libstdc++ and
# libgcc) into <target> instead of loading it at start.
#
# glossmith-cli is started once per input in scripts, and a short input is
# over in a few milliseconds: binding libstdc++.so took about 0.8 ms of every
# start on a virtual machine (2.2 against 1.4 ms for a one-line file, from
# spawn to exit).
# libglossmith exports only its C functions (its version script hides the
# rest), so its copy of the runtime stays private to it, and no C++ object,
# exception or allocation crosses between it and its caller. Sanitizer builds
# keep the shared runtime, which their interceptors expect.
function(glossmith_static_runtime target)
  if(NOT GLOSSMITH_SANITIZE AND NOT GLOSSMITH_SANITIZE_THREAD)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()
