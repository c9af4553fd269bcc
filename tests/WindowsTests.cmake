# The cross build's own additions (tools/build-windows.sh). The test programs above run under Wine, each
# in a fresh prefix (tools/wine-run.sh, the tool chain's emulator); the program's resources are read
# back from the built executable.
target_sources (ov_peversion_tests PRIVATE host/ExecutableResourcesTests.cpp)
target_include_directories (ov_peversion_tests PRIVATE "${CMAKE_BINARY_DIR}/generated")
target_link_libraries (ov_peversion_tests PRIVATE version)
target_compile_definitions (ov_peversion_tests PRIVATE OV_INSTALLER_EXE="Z:$<TARGET_FILE:ov_installer>")
add_dependencies (ov_peversion_tests ov_installer)

target_sources (ov_core_tests PRIVATE host/SystemHostWindowsTests.cpp)
