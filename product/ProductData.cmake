# Reads the product definition, product/product.json, into OV_<key> variables for the build, and writes
# the C++ header that states the same values for the program. Included before project(), so the project's
# version comes from the file too.

set (OV_PRODUCT_JSON "${CMAKE_CURRENT_LIST_DIR}/product.json")
set_property (DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${OV_PRODUCT_JSON}")
file (READ "${OV_PRODUCT_JSON}" ov_product_json)

# A value as a C++ string literal; what a literal cannot hold as typed is refused rather than escaped.
function (ov_cxx_literal out value)
    if (value MATCHES "[\"\\\\\n\r\t]")
        message (FATAL_ERROR "${OV_PRODUCT_JSON}: the value \"${value}\" holds a quote, backslash or control character")
    endif()
    set (${out} "\"${value}\"" PARENT_SCOPE)
endfunction()

function (ov_product_value out)
    string (JSON value ERROR_VARIABLE error GET "${ov_product_json}" ${ARGN})
    if (error)
        message (FATAL_ERROR "${OV_PRODUCT_JSON}: ${error}")
    endif()
    set (${out} "${value}" PARENT_SCOPE)
endfunction()

foreach (key productIdentifier pluginVersion platformSuffix applicationName applicationVersion companyName bundleId
             makerFolderName settingsFileName productPageAddress manualAddress communityInvite supportEmailAddress
             makerNotice)
    ov_product_value (OV_${key} ${key})
    ov_cxx_literal (OV_${key}_LITERAL "${OV_${key}}")
endforeach()

# The format table: one C++ initialiser per row, and the archive file names for the resource catalogue.
string (JSON OV_NUM_FORMATS LENGTH "${ov_product_json}" formats)
set (OV_FORMAT_ROWS "")
set (OV_FORMAT_ARCHIVES "")
math (EXPR ov_last_format "${OV_NUM_FORMATS} - 1")
foreach (index RANGE ${ov_last_format})
    set (row "")
    foreach (field name extension settingsKey defaultSubfolder moduleFolder archive icon)
        ov_product_value (value formats ${index} ${field})
        ov_cxx_literal (literal "${value}")
        string (APPEND row "${literal}, ")
    endforeach()
    ov_product_value (carriesVersion formats ${index} moduleCarriesVersion)
    if (carriesVersion STREQUAL "ON")
        string (APPEND row "true")
    elseif (carriesVersion STREQUAL "OFF")
        string (APPEND row "false")
    else()
        message (FATAL_ERROR "${OV_PRODUCT_JSON}: moduleCarriesVersion of format ${index} is not true or false")
    endif()
    string (APPEND OV_FORMAT_ROWS "    { ${row} },\n")
    ov_product_value (archive formats ${index} archive)
    list (APPEND OV_FORMAT_ARCHIVES "${archive}")
endforeach()

configure_file ("${CMAKE_CURRENT_LIST_DIR}/ProductDefinition.h.in"
                "${CMAKE_BINARY_DIR}/generated/product/ProductDefinition.h" @ONLY)
unset (ov_product_json)
