# The portable code over the simulated platform, and its unit tests.
file(GLOB TOVARA_SIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sim/*.cpp)
add_library(tovara_sim STATIC ${TOVARA_PORTABLE_SOURCES} ${TOVARA_SIM_SOURCES} ${TOVARA_EMBEDDED})
target_include_directories(tovara_sim PUBLIC ${CMAKE_SOURCE_DIR})
add_dependencies(tovara_sim tovara_carried)
