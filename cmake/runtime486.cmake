# The runtime pieces that run inside the i686 saver, rebuilt for the 486 from the source of the
# installed toolchain's own version (cmake/runtime-source.sh fetches it once): the start-up object
# crt2.o, which runs at every start, and libgcc's unwinder with the C++ exception runtime, which
# run whenever an allocation fails and the saver catches it. The installed ones are built for the
# Pentium Pro. Each piece is also built a second time with the toolchain's default processor: that
# twin must disassemble to the installed piece, instruction for instruction (ctest
# runtime_486_source), which shows the rebuilt one is the same code built for an older processor.
#
# vesperine_runtime_for_486(TARGET) links TARGET with the rebuilt pieces. Without the source (no
# network at the first configure) TARGET keeps the installed pieces, which tests/pe rejects.

function(vesperine_runtime_source piece out)
  string(TOUPPER "VESPERINE_${piece}_SOURCE" variable)
  set(${variable} "" CACHE PATH
      "Source of the ${piece} runtime pieces; empty: cmake/runtime-source.sh fetches it")
  if(NOT IS_DIRECTORY "${${variable}}")
    execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/cmake/runtime-source.sh ${piece}
                    OUTPUT_VARIABLE folder OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE status ERROR_VARIABLE errors)
    if(status EQUAL 0)
      set(${variable} ${folder} CACHE PATH "" FORCE)
    else()
      message(WARNING "No ${piece} runtime source (${errors}): the i686 saver keeps the installed "
                      "pieces, which a 486 cannot run")
    endif()
  endif()
  set(${out} "${${variable}}" PARENT_SCOPE)
endfunction()

function(vesperine_runtime_for_486 target)
  if(NOT TARGET vesperine_runtime486)
    vesperine_build_runtime_486()
  endif()
  get_property(linked GLOBAL PROPERTY VESPERINE_RUNTIME_486)
  if(NOT linked)
    return()
  endif()
  add_dependencies(${target} vesperine_runtime486)
  # gcc takes crt2.o from the -B folder in place of the installed one; the rest are linked ahead
  # of the libraries, so the archives' own members are never pulled in.
  list(GET linked 0 crt2)
  get_filename_component(folder ${crt2} DIRECTORY)
  list(REMOVE_AT linked 0)
  target_link_options(${target} PRIVATE -B${folder}/ ${linked})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${crt2} ${linked})
endfunction()

function(vesperine_build_runtime_486)
  vesperine_runtime_source(crt crt)
  vesperine_runtime_source(gcc gcc)
  if(NOT crt OR NOT gcc)
    add_custom_target(vesperine_runtime486)
    return()
  endif()
  # The flags of the toolchain's own build of each piece (mingw-w64's crt Makefile, libgcc's
  # LIB2ADDEH rules, libstdc++'s); only the processor differs.
  set(crt_flags -std=gnu99 -D_CRTBLD -D_WIN32_WINNT=0x0f00 -D__MSVCRT_VERSION__=0x700
      -D__USE_MINGW_ANSI_STDIO=0 -D_SYSCRT=1 -DCRTDLL=1 -I${crt}/include)
  set(libgcc_flags -DIN_GCC -DCROSS_DIRECTORY_STRUCTURE -DIN_LIBGCC2 -fbuilding-libgcc
      -fno-stack-protector -fexceptions -DUSE_EMUTLS -I${PROJECT_SOURCE_DIR}/cmake/libgcc-config
      -I${gcc}/libgcc -I${gcc}/gcc -I${gcc}/include)
  set(libsupcxx_flags -fno-implicit-templates -ffunction-sections -fdata-sections -D_GNU_SOURCE
      -I${gcc}/libstdc++-v3/libsupc++ -I${gcc}/libgcc)
  set(libstdcxx_flags -std=gnu++11 ${libsupcxx_flags})
  set(crt_root ${crt})
  set(libgcc_root ${gcc}/libgcc)
  set(libsupcxx_root ${gcc}/libstdc++-v3/libsupc++)
  set(libstdcxx_root ${gcc}/libstdc++-v3/src/c++11)
  # Where each kind's installed pieces are: the file itself, or the archive they are members of.
  set(crt_installed crt2.o)
  set(libgcc_installed libgcc_eh.a)
  set(libsupcxx_installed libstdc++.a)
  set(libstdcxx_installed libstdc++.a)
  foreach(kind crt libgcc libsupcxx libstdcxx)
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/cmake/win32-threads.sh ${CMAKE_CXX_COMPILER}
                            -print-file-name=${${kind}_installed}
                    OUTPUT_VARIABLE ${kind}_installed OUTPUT_STRIP_TRAILING_WHITESPACE)
  endforeach()
  # object:kind:source; cow-string-inst holds the copy-on-write strings that std::logic_error and
  # its kin keep their messages in.
  set(pieces crt2.o:crt:crt/crtexe.c unwind-dw2.o:libgcc:unwind-dw2.c
      unwind-dw2-fde.o:libgcc:unwind-dw2-fde.c emutls.o:libgcc:emutls.c
      eh_personality.o:libsupcxx:eh_personality.cc eh_alloc.o:libsupcxx:eh_alloc.cc
      eh_catch.o:libsupcxx:eh_catch.cc cow-string-inst.o:libstdcxx:cow-string-inst.cc)
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/runtime486)
  file(GLOB config_headers ${PROJECT_SOURCE_DIR}/cmake/libgcc-config/*.h)
  set(linked "")
  set(twins "")
  foreach(piece IN LISTS pieces)
    string(REPLACE ":" ";" piece ${piece})
    list(GET piece 0 name)
    list(GET piece 1 kind)
    list(GET piece 2 source)
    set(source ${${kind}_root}/${source})
    set(compiler ${CMAKE_CXX_COMPILER})
    if(source MATCHES "\\.c$")
      set(compiler ${CMAKE_C_COMPILER})
    endif()
    foreach(build IN ITEMS 486 twin)
      set(processor "")
      if(build STREQUAL "486")
        set(processor -march=i486 -mtune=generic)
      endif()
      add_custom_command(OUTPUT ${folder}/${build}/${name}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}/${build}
        COMMAND ${PROJECT_SOURCE_DIR}/cmake/win32-threads.sh ${compiler} -O2 ${processor}
                ${${kind}_flags} -w -ffile-prefix-map=${gcc}/= -ffile-prefix-map=${crt}/=
                -c ${source}
                -o ${folder}/${build}/${name}
        DEPENDS ${source} ${config_headers} VERBATIM COMMAND_EXPAND_LISTS)
    endforeach()
    set(installed ${${kind}_installed})
    if(installed MATCHES "\\.a$")
      set(installed ${installed}:${name})
    endif()
    list(APPEND twins ${folder}/twin/${name}=${installed})
    list(APPEND linked ${folder}/486/${name})
    list(APPEND outputs ${folder}/486/${name} ${folder}/twin/${name})
  endforeach()
  add_custom_target(vesperine_runtime486 ALL DEPENDS ${outputs})
  # The first is crt2.o, the first piece. The twins are for ctest runtime_486_source
  # (tests/CMakeLists.txt).
  set_property(GLOBAL PROPERTY VESPERINE_RUNTIME_486 ${linked})
  set_property(GLOBAL PROPERTY VESPERINE_RUNTIME_TWINS ${twins})
endfunction()
