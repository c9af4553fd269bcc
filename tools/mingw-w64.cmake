# Cross-compiles for 64-bit Windows with Debian's mingw-w64 GCC, against the newer Windows headers, C
# runtime and image libraries that tools/install-windows-sdk.sh puts into one folder. The system's own
# mingw-w64 headers are too old for the framework's Windows code, so the compiler is kept off them.
set (CMAKE_SYSTEM_NAME Windows)
set (CMAKE_SYSTEM_PROCESSOR x86_64)

set (OV_WIN64_SYSROOT "/var/cache/ov_installer/win64-sysroot" CACHE PATH "Windows headers and libraries for the cross build")
list (APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES OV_WIN64_SYSROOT)
if (NOT EXISTS "${OV_WIN64_SYSROOT}/include/windows.h")
    message (FATAL_ERROR "No Windows headers in ${OV_WIN64_SYSROOT}: run tools/install-windows-sdk.sh first")
endif()

set (CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set (CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set (CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# The compiler's own C++ and GCC folders first, then the newer Windows headers in place of the system's.
execute_process (COMMAND "${CMAKE_CXX_COMPILER}" -print-file-name=include
                 OUTPUT_VARIABLE ov_gcc_include OUTPUT_STRIP_TRAILING_WHITESPACE)
set (ov_c_includes "-nostdinc -isystem ${ov_gcc_include} -isystem ${ov_gcc_include}-fixed -isystem ${OV_WIN64_SYSROOT}/include")
set (ov_cxx_includes "-isystem ${ov_gcc_include}/c++ -isystem ${ov_gcc_include}/c++/x86_64-w64-mingw32 -isystem ${ov_gcc_include}/c++/backward")
set (CMAKE_C_FLAGS_INIT "${ov_c_includes}")
set (CMAKE_CXX_FLAGS_INIT "-nostdinc ${ov_cxx_includes} ${ov_c_includes}")
set (CMAKE_RC_FLAGS_INIT "-I${OV_WIN64_SYSROOT}/include")

# Start files and the C runtime from the same release as the headers; everything linked statically, so
# the program is one file that needs no DLL of the compiler's.
set (ov_link "-B${OV_WIN64_SYSROOT}/lib/ -L${OV_WIN64_SYSROOT}/lib -static")
set (CMAKE_EXE_LINKER_FLAGS_INIT "${ov_link}")
set (CMAKE_SHARED_LINKER_FLAGS_INIT "${ov_link}")

# Test programs run under Wine, each in a fresh prefix.
set (CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")

set (CMAKE_FIND_ROOT_PATH "${OV_WIN64_SYSROOT}")
set (CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set (CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set (CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set (CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
