# TovaraSetup.exe and the pieces the Win32 test programs share with it.
# Size: the program has one thread, so local statics need no guard (a guard would pull in
# libstdc++'s exception machinery, its unwinder and the threads library); no unwind tables
# without exceptions; unused functions and data are dropped at link time.
set(TOVARA_WIN32_FLAGS -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables
    -ffunction-sections -fdata-sections -Os)
set(TOVARA_LINK_FLAGS -static -static-libgcc -static-libstdc++ -s -Wl,--no-insert-timestamp
    -Wl,--dynamicbase -Wl,--nxcompat -Wl,--gc-sections)

# Both Windows builds, the shipped i386 program and its x86-64 twin, take no warning: what
# one architecture warns about (a pointer cut to 32 bits, a format) is a fault in the other.
add_compile_options(-Werror)

file(GLOB TOVARA_WIN32_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/services/*_win32.cpp ${CMAKE_SOURCE_DIR}/window/*_win32.cpp
  ${CMAKE_SOURCE_DIR}/frame/*_win32.cpp)
list(FILTER TOVARA_WIN32_SOURCES EXCLUDE REGEX "winmain_win32\\.cpp$")

# Everything but the entry point: the test programs link it too.
add_library(tovara_core STATIC ${TOVARA_PORTABLE_SOURCES} ${TOVARA_WIN32_SOURCES} ${TOVARA_EMBEDDED})
target_compile_options(tovara_core PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${TOVARA_WIN32_FLAGS}>
  $<$<COMPILE_LANGUAGE:C>:-Os -fno-asynchronous-unwind-tables -ffunction-sections -fdata-sections>)
target_compile_definitions(tovara_core PUBLIC WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0600)
target_link_libraries(tovara_core PUBLIC ole32 gdi32 user32 kernel32 shell32)
if(TOVARA_EMBED_DEPENDS)
  add_dependencies(tovara_core ${TOVARA_EMBED_DEPENDS})
endif()

enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 936")
configure_file(${CMAKE_SOURCE_DIR}/frame/resources.rc.in ${CMAKE_BINARY_DIR}/resources.rc @ONLY)
add_executable(TovaraSetup WIN32 ${CMAKE_SOURCE_DIR}/frame/winmain_win32.cpp ${CMAKE_BINARY_DIR}/resources.rc)
target_compile_options(TovaraSetup PRIVATE ${TOVARA_WIN32_FLAGS})
target_link_libraries(TovaraSetup PRIVATE tovara_core)
# Entered at TovaraStart, without the C runtime's start-up files. Nothing may need the start-up
# code's fix-ups of data imported from DLLs: the link fails if anything would, and it fails on
# any warning (a misspelt entry symbol is only a warning, and the image would start anywhere).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TOVARA_ENTRY _TovaraStart@0)
else()
  set(TOVARA_ENTRY TovaraStart)
endif()
target_link_options(TovaraSetup PRIVATE ${TOVARA_LINK_FLAGS} -nostartfiles -Wl,-e,${TOVARA_ENTRY}
  -Wl,--disable-auto-import -Wl,--disable-runtime-pseudo-reloc -Wl,--fatal-warnings)
set_target_properties(TovaraSetup PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
# The carried files start on a page of the file, so that Wine maps them from the file as
# Windows does instead of reading them into private memory at start-up.
add_custom_command(TARGET TovaraSetup POST_BUILD
  COMMAND ${TOVARA_PYTHON} ${CMAKE_SOURCE_DIR}/cmake/page_align_section.py $<TARGET_FILE:TovaraSetup> .carried
  VERBATIM)
set_source_files_properties(${CMAKE_BINARY_DIR}/resources.rc PROPERTIES
  OBJECT_DEPENDS "${TOVARA_ICON_FILE};${CMAKE_SOURCE_DIR}/frame/TovaraSetup.manifest")
if(TOVARA_ICON_TARGET)
  add_dependencies(TovaraSetup ${TOVARA_ICON_TARGET})
endif()

# Measurements (bench/run.sh); never part of the tests.
add_executable(delay_bench ${CMAKE_SOURCE_DIR}/bench/delay_bench.cpp)
target_link_libraries(delay_bench PRIVATE tovara_core)
target_link_options(delay_bench PRIVATE -static -static-libgcc -static-libstdc++)
set_target_properties(delay_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_executable(unpack_bench ${CMAKE_SOURCE_DIR}/bench/unpack_bench.cpp)
target_link_libraries(unpack_bench PRIVATE tovara_core psapi)
target_link_options(unpack_bench PRIVATE -static -static-libgcc -static-libstdc++)
set_target_properties(unpack_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
