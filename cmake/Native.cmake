# The portable code over the simulated platform, and its unit tests.
file(GLOB TOVARA_SIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sim/*.cpp)
add_library(tovara_sim STATIC ${TOVARA_PORTABLE_SOURCES} ${TOVARA_SIM_SOURCES} ${TOVARA_EMBEDDED})
target_include_directories(tovara_sim PUBLIC ${CMAKE_SOURCE_DIR})
add_dependencies(tovara_sim tovara_carried)

# Measurements (bench/run.sh size); never part of the tests.
add_executable(unpack_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/unpack_bench.cpp)
target_link_libraries(unpack_bench PRIVATE tovara_sim)
set_target_properties(unpack_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
