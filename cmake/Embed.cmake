# Carries a file inside the program image, read-only.
# tovara_embed(OUT_VAR NAME FILE [DEPENDS target...]) makes an assembler source that defines
# NAME_data (the bytes) and NAME_size (a 32-bit count) and appends it to OUT_VAR. In the
# Windows image the carried blocks have a section of their own, .carried; in the simulated
# platform's build they are writable data, so that tests can damage a block in place.
function(tovara_embed out_var name file)
  cmake_parse_arguments(E "" "" "DEPENDS" ${ARGN})
  set(src ${CMAKE_BINARY_DIR}/embed/${name}.S)
  file(WRITE ${src}.in
"#define TOVARA_CAT2(a, b) a##b
#define TOVARA_CAT(a, b) TOVARA_CAT2(a, b)
#define SYM(x) TOVARA_CAT(__USER_LABEL_PREFIX__, x)
#if defined(_WIN32)
    .section .carried,\"dr\"
#else
    .data
#endif
    .globl SYM(${name}_data)
    .globl SYM(${name}_size)
    .balign 16
SYM(${name}_data):
    .incbin \"${file}\"
SYM(${name}_end):
    .byte 0
    .balign 4
SYM(${name}_size):
    .long SYM(${name}_end) - SYM(${name}_data)
#if !defined(_WIN32)
    .section .note.GNU-stack,\"\",@progbits
#endif
")
  configure_file(${src}.in ${src} COPYONLY)
  # The objects are built by targets of the top directory; they must be rebuilt when the
  # carried file changes.
  set_source_files_properties(${src} DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTIES OBJECT_DEPENDS "${file}")
  set(${out_var} ${${out_var}} ${src} PARENT_SCOPE)
endfunction()
