# The Windows program under Wine, driven on Xvfb like the Linux build above (e2e/wine_e2e.py). Given the
# ov_installer.exe that tools/build-windows.sh makes; each scenario is skipped (77), saying why, while that
# file or Wine is missing.
set (OV_WINDOWS_INSTALLER "" CACHE FILEPATH "The Windows program for the end-to-end tests under Wine (empty: none)")

if (OV_WINDOWS_INSTALLER)
    foreach (scenario first_start install_restart shift_uninstall settings_support failure_reason)
        add_test (NAME e2e.win.${scenario}
                  COMMAND "${Python3_EXECUTABLE}" "${CMAKE_CURRENT_LIST_DIR}/wine_e2e.py" ${scenario})
        set_tests_properties (e2e.win.${scenario} PROPERTIES
            LABELS "e2e;windows"
            TIMEOUT 300
            SKIP_RETURN_CODE 77
            ENVIRONMENT "OV_WINDOWS_INSTALLER=${OV_WINDOWS_INSTALLER};OV_INSTALLER=$<TARGET_FILE:ov_installer>;OV_ARCHIVE_DIR=${OV_ARCHIVE_DIR};OV_E2E_XTOOL=$<TARGET_FILE:ov_e2e_xtool>;OV_SOURCE_DIR=${PROJECT_SOURCE_DIR};OV_E2E_OUTPUT=${CMAKE_CURRENT_BINARY_DIR}/e2e")
    endforeach()
endif()
